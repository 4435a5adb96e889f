// The Qt back end against the control-model contract.
#include "ui/control_contract.h"
#include "ui/qt/qt_backend.h"

namespace tessaril::test {

namespace {
void install_qt() {
  ui::install_qt_backend();
  ui::set_qt_automatic_answers(true);
}
}  // namespace

INSTANTIATE_TEST_SUITE_P(Qt, ControlContract, testing::Values(ContractBackEnd{"qt", install_qt, ui::qt_driver}));

}  // namespace tessaril::test

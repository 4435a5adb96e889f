// The Win32 back end against the control-model contract.
#include "ui/control_contract.h"
#include "ui/win32/win32_backend.h"

namespace tessaril::test {

namespace {
void install_win32() {
  ui::install_win32_backend();
  ui::set_win32_automatic_answers(true);
}
}  // namespace

INSTANTIATE_TEST_SUITE_P(Win32, ControlContract,
                         testing::Values(ContractBackEnd{"win32", install_win32, ui::win32_driver}));

}  // namespace tessaril::test

// The headless back end against the control-model contract.
#include "ui/control_contract.h"
#include "ui/headless/headless_backend.h"

namespace tessaril::test {

INSTANTIATE_TEST_SUITE_P(Headless, ControlContract,
                         testing::Values(ContractBackEnd{"headless", ui::install_headless_backend, ui::headless_driver}));

}  // namespace tessaril::test

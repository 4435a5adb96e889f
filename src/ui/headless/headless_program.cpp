#include "ui/headless/headless_program.h"

#include "ui/headless/headless_backend.h"
#include "ui/script/script_host.h"

namespace tessaril::ui {

int run_headless(const shell::ProgramOptions& options, std::istream& input, std::ostream& out, std::ostream& err) {
  install_headless_backend();
  return run_dialogs_with_script(options, headless_driver(), input, out, err);
}

}  // namespace tessaril::ui

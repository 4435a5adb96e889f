#include "ui/qt/qt_program.h"

#include <cstdlib>
#include <cstring>
#include <string_view>

#include "ui/qt/qt_backend.h"
#include "ui/script/script_host.h"

namespace tessaril::ui {

namespace {

bool set(const char* name) {
  const char* value = std::getenv(name);
  return value && *value;
}

}  // namespace

bool display_available() {
  if (set("QT_QPA_PLATFORM")) {
    const std::string_view platform = std::getenv("QT_QPA_PLATFORM");
    if (platform.substr(0, 3) == "xcb") return set("DISPLAY");
    if (platform.substr(0, 7) == "wayland") return set("WAYLAND_DISPLAY");
    return true;
  }
  return set("DISPLAY") || set("WAYLAND_DISPLAY");
}

int run_qt(const shell::ProgramOptions& options, std::istream& input, std::ostream& out, std::ostream& err) {
  prepare_qt_application();
  install_qt_backend();
  if (options.script_path.empty()) return shell::run_program(options);
  set_qt_automatic_answers(true);
  return run_dialogs_with_script(options, qt_driver(), input, out, err);
}

}  // namespace tessaril::ui

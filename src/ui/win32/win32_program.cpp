#include "ui/win32/win32_program.h"

#include <ostream>

#include "ui/script/script_host.h"
#include "ui/win32/win32_api.h"
#include "ui/win32/win32_backend.h"

namespace tessaril::ui {

namespace {

// A console that Windows opened for this program alone (started from
// Explorer) would stand beside the dialogs for nothing.
void leave_own_console() {
  DWORD processes[2];
  if (GetConsoleWindow() && GetConsoleProcessList(processes, 2) == 1) FreeConsole();
}

}  // namespace

bool win32_display_available() {
  HWND probe = CreateWindowExA(0, "STATIC", "", platform::WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
  if (!probe) return false;
  DestroyWindow(probe);
  return true;
}

int run_win32(const shell::ProgramOptions& options, std::istream& input, std::ostream& out, std::ostream& err) {
  if (!win32_display_available()) {
    err << "tessaril: no window can be made for the dialogs (under Wine: no X display, DISPLAY);\n"
           "run them headless: tessaril --headless --script FILE\n";
    return shell::EXIT_USAGE;
  }
  // The manifest asks for the common controls 6; they are registered here.
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  install_win32_backend();
  if (options.script_path.empty()) {
    leave_own_console();
    return shell::run_program(options);
  }
  set_win32_automatic_answers(true);
  return run_dialogs_with_script(options, win32_driver(), input, out, err);
}

}  // namespace tessaril::ui

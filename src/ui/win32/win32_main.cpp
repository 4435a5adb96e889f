// `tessaril.exe`: the dialogs as Windows dialogs, and --headless.
#include <csignal>
#include <iostream>
#include <string>

#include "shell/info_options.h"
#include "shell/program.h"
#include "shell/stop_signal.h"
#include "ui/headless/headless_program.h"
#include "ui/win32/win32_api.h"
#include "ui/win32/win32_program.h"

namespace {

// The console's events other than Ctrl+C (which the C runtime turns into
// SIGINT) stop the program in order as well. Closing the console window,
// logging off or shutting down ends the process once the handler returns
// (Windows waits about 5 s), so the handler gives the program that long to
// stop. A second event finds the stop noted and lets Windows end the process.
BOOL WINAPI on_console_event(DWORD event) {
  if (tessaril::shell::stop_signal() != 0) return FALSE;
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      tessaril::shell::request_stop(SIGINT);
      return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      tessaril::shell::request_stop(SIGTERM);
      Sleep(5000);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

int main(int argc, char** argv) {
  using namespace tessaril;
  shell::ProgramOptions options;
  int code = 0;
  if (!shell::read_command_line(argc, argv, options, std::cout, std::cerr, code)) return code;
  SetConsoleCtrlHandler(on_console_event, TRUE);
  if (options.headless) return ui::run_headless(options, std::cin, std::cout, std::cerr);
  return ui::run_win32(options, std::cin, std::cout, std::cerr);
}

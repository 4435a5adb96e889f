#include "shell/program.h"


#include "link/link_threads.h"
#include "platform/controls.h"
#include "platform/serial.h"
#include "shell/dialog_handles.h"
#include "shell/layout_tables.h"
#include "shell/port_dialog.h"

namespace tessaril::shell {

namespace {

// --fast-timeouts: percent of the real total read time-outs.
constexpr int fast_timeout_percent = 5;

}  // namespace

std::string usage_text() {
  return "usage: tessaril [--headless] [--script FILE] [--trace]\n"
         "  (no option)       the desktop GUI (needs a display)\n"
         "  --headless        run the dialogs without a window, played by a script\n"
         "  --script FILE     play the script in FILE: on the windows of the GUI, or\n"
         "                    headless (default there: standard input)\n"
         "  --trace           print traffic lines and result fields as they change\n"
         "  --fast-timeouts   (for tests) port read time-outs at 1/20 of their length\n";
}

bool parse_program_options(int argc, const char* const* argv, ProgramOptions& options, std::string& error) {
  options = ProgramOptions{};
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--headless") {
      options.headless = true;
    } else if (arg == "--trace") {
      options.trace = true;
    } else if (arg == "--fast-timeouts") {
      options.fast_timeouts = true;
    } else if (arg == "--help" || arg == "-h") {
      options.help = true;
    } else if (arg == "--script") {
      if (i + 1 >= argc || std::string(argv[i + 1]).empty()) {
        error = "--script needs a file";
        return false;
      }
      options.script_path = argv[++i];
    } else {
      error = "unknown option \"" + arg + "\"";
      return false;
    }
  }
  return true;
}

int run_program(const ProgramOptions& options) {
  if (options.fast_timeouts) platform::set_serial_timeout_scale(fast_timeout_percent);
  platform::run_dialog(port_dialog_template, platform::no_dialog, port_dialog_proc, 0);
  port_dialog.store(platform::no_dialog);
  // The fatal-error notice ends the dialog without stopping the threads;
  // none may outlive the program's end, and they are stopped here, on the
  // way out, rather than by a destructor at exit.
  if (link::send_thread_running() || link::receive_thread_running()) link::stop_link_threads(platform::no_dialog);
  return 0;
}

}  // namespace tessaril::shell

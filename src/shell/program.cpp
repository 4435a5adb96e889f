#include "shell/program.h"

#include "link/kermit_transfer.h"
#include "link/link_threads.h"
#include "link/serial_port.h"
#include "link/session.h"
#include "platform/controls.h"
#include "platform/serial.h"
#include "shell/config.h"
#include "shell/dialog_handles.h"
#include "shell/dialog_session.h"
#include "shell/layout_tables.h"
#include "shell/port_dialog.h"
#include "shell/stop_signal.h"
#include "status/status_codes.h"

namespace tessaril::shell {

namespace {

// --fast-timeouts: percent of the real total read time-outs.
constexpr int FAST_TIMEOUT_PERCENT = 5;

}  // namespace

std::string usage_text() {
  return "usage: tessaril [--headless] [--script FILE] [--trace] [--junit FILE] [--port DEVICE]\n"
         "       tessaril --list-ports | --list-controls | --version | --help\n"
         "  (no option)       the desktop GUI (needs a display)\n"
         "  --headless        run the dialogs without a window, played by a script\n"
         "  --script FILE     play the script in FILE: on the windows of the GUI, or\n"
         "                    headless (default there: standard input)\n"
         "  --trace           print traffic lines and result fields as they change\n"
         "  --junit FILE      write a JUnit XML report of the script's test cases to FILE\n"
         "  --port DEVICE     the COM number typed in the port dialog opens DEVICE for this run\n"
         "                    (a path such as /dev/serial/by-id/usb-...; COMn on Windows)\n"
         "  --list-ports      print the serial ports of this system and the COM numbers\n"
         "                    that buc_setup.ini maps\n"
         "  --list-controls   print every control: id, dialog, kind, caption, short name\n"
         "  --version         print the version\n"
         "  --help, -h        print this text\n"
         "  --fast-timeouts   (for tests) port read time-outs at 1/20 of their length\n"
         "\n"
         "Script lines (ID: a control id, short name or \"caption\"; see --list-controls):\n"
         "  click ID | set ID TEXT | get ID | checked ID | shown ID | list ID\n"
         "  wait [MS] | sleep MS | choose PATH|- | close | echo TEXT | # comment\n"
         "  expect ID TEXT | expect ID ~REGEX | expect-list ID ~REGEX\n"
         "  case NAME | repeat N ... end | include FILE\n"
         "\n"
         "Exit status: 0 done, every expectation passed; 1 no dialog open or the dialogs\n"
         "would not close; 2 bad command line or malformed script line (nothing is sent);\n"
         "3 an expectation failed; 130 / 143 stopped by SIGINT / SIGTERM (a Kermit transfer\n"
         "under way is cancelled on the line first, the log and the report are finished).\n";
}

std::string version_text() { return std::string("tessaril ") + TESSARIL_VERSION + "\n"; }

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
    } else if (arg == "--version") {
      options.version = true;
    } else if (arg == "--list-controls") {
      options.list_controls = true;
    } else if (arg == "--list-ports") {
      options.list_ports = true;
    } else if (arg == "--script" || arg == "--junit" || arg == "--port") {
      if (i + 1 >= argc || std::string(argv[i + 1]).empty()) {
        error = arg + (arg == "--port" ? " needs a device" : " needs a file");
        return false;
      }
      std::string& value = arg == "--script" ? options.script_path
                           : arg == "--junit" ? options.junit_path
                                              : options.port_device;
      value = argv[++i];
    } else {
      error = "unknown option \"" + arg + "\"";
      return false;
    }
  }
  return true;
}

int run_program(const ProgramOptions& options) {
  if (options.fast_timeouts) platform::set_serial_timeout_scale(FAST_TIMEOUT_PERCENT);
  if (!options.port_device.empty()) platform::set_serial_device_override(options.port_device);
  (void)read_config();  // a missing file leaves the defaults, silently
  seed_product_id();
  status::init_status_table();
  reset_fatal_notice();

  link::Session session(log_settings_from_config());
  session.dialog_sleep = platform::sleep_serving_calls;
  CommandDialogView view(session);
  session.subscribe(&view);
  link::install_kermit_transfers(session);
  set_dialog_session(&session, &view);
  link::start_link_threads(session);

  install_stop_signals();
  StopWatcher watcher(session);
  platform::run_dialog(port_dialog_template, platform::NO_DIALOG, port_dialog_proc, 0);
  port_dialog.store(platform::NO_DIALOG);
  watcher.finish();
  // The fatal-error notice ends the dialog without stopping the threads;
  // none may outlive the session, and they are stopped here, on the way out.
  link::stop_link_threads(session);
  link::close_serial_port(session);
  set_dialog_session(nullptr, nullptr);
  remove_stop_signals();
  return stop_signal() != 0 ? stop_exit_code(stop_signal()) : 0;
}

}  // namespace tessaril::shell

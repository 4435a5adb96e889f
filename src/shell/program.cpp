#include "shell/program.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <thread>

#include "link/link_state.h"
#include "link/link_threads.h"
#include "platform/clock.h"
#include "platform/controls.h"
#include "platform/serial.h"
#include "shell/dialog_handles.h"
#include "shell/control_ids.h"
#include "shell/layout_tables.h"
#include "shell/port_dialog.h"
#include "ui/headless/headless_backend.h"
#include "ui/headless/script_player.h"

namespace tessaril::shell {

namespace {

// After the port dialog has ended the player is either closing up or blocked
// reading input that has not ended; this long it may take to finish.
constexpr int player_finish_ms = 5000;

// --fast-timeouts: percent of the real total read time-outs.
constexpr int fast_timeout_percent = 5;

bool read_whole_file(const std::string& path, std::string& text) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  std::ostringstream buffer;
  buffer << file.rdbuf();
  text = buffer.str();
  return !file.bad();
}

}  // namespace

std::string usage_text() {
  return "usage: tessaril --headless [--script FILE] [--trace]\n"
         "  --headless        run the dialogs without a window, played by a script\n"
         "  --script FILE     read the script from FILE (default: standard input)\n"
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

int run_headless(const ProgramOptions& options, std::istream& input, std::ostream& out, std::ostream& err) {
  std::istringstream file_script;
  std::istream* script = &input;
  if (!options.script_path.empty()) {
    std::string text;
    if (!read_whole_file(options.script_path, text)) {
      err << "tessaril: cannot read the script " << options.script_path << '\n';
      return exit_usage;
    }
    // A typo at the end of a file must not leave a half-run test on the device.
    std::istringstream check(text);
    std::string error;
    if (int line = ui::check_script(check, error)) {
      err << "tessaril: script line " << line << ": " << error << '\n';
      return ui::script_malformed;
    }
    file_script.str(text);
    script = &file_script;
  }

  if (options.fast_timeouts) platform::set_serial_timeout_scale(fast_timeout_percent);
  ui::install_headless_backend();
  ui::ScriptOptions player_options;
  player_options.watched_ids = {IDC_HEX_LIST,      IDC_TEXT_LIST,     IDC_RESULT_FRAME1,
                                IDC_RESULT_FRAME2, IDC_RESULT_FRAME3, IDC_RESULT_KERMIT};
  player_options.trace = options.trace;
  player_options.link_busy = [] {
    return link::tx_command.load() != link::TX_IDLE || link::rx_command.load() != link::RX_IDLE;
  };
  player_options.leave_button = IDC_RETURN_TO_MENU;

  std::atomic<bool> player_done{false};
  int code = ui::script_ok;
  std::thread player([&] {
    code = ui::run_script(*script, player_options, out, err);
    player_done.store(true);
    // The player closes every dialog before it ends. One that would not go
    // holds the dialog thread, and the program could never end by itself.
    const int64_t deadline = platform::monotonic_ms() + player_finish_ms;
    while (ui::top_dialog() != platform::no_dialog && platform::monotonic_ms() < deadline) platform::sleep_ms(10);
    if (ui::top_dialog() != platform::no_dialog) {
      err << "tessaril: the dialogs did not close; ending the program\n";
      out.flush();
      err.flush();
      std::_Exit(ui::script_failed);
    }
  });

  platform::run_dialog(port_dialog_template, platform::no_dialog, port_dialog_proc, 0);
  port_dialog.store(platform::no_dialog);
  // The fatal-error notice ends the dialog without stopping the threads;
  // none may outlive the program's end.
  if (link::send_thread_running() || link::receive_thread_running()) link::stop_link_threads(platform::no_dialog);

  const int64_t deadline = platform::monotonic_ms() + player_finish_ms;
  while (!player_done.load() && platform::monotonic_ms() < deadline) platform::sleep_ms(10);
  if (!player_done.load()) {
    // The dialogs are gone and the player waits for input that has not
    // ended: nothing it could still read can act. End the process here, as
    // the thread cannot be interrupted inside its read. The dialogs closed
    // as they should, and nothing the script asked for failed so far.
    // (Not fflush(nullptr): that would wait for the lock of stdin, which the
    // player's read holds.)
    out.flush();
    err.flush();
    std::_Exit(ui::script_ok);
  }
  player.join();
  return code;
}

int program_main(int argc, const char* const* argv) {
  ProgramOptions options;
  std::string error;
  if (!parse_program_options(argc, argv, options, error)) {
    std::cerr << "tessaril: " << error << '\n' << usage_text();
    return exit_usage;
  }
  if (options.help) {
    std::cout << usage_text();
    return 0;
  }
  if (!options.headless) {
    std::cerr << "tessaril: the desktop GUI is not built in this version.\n"
                 "Run the dialogs headless, played by a script:\n"
                 "  tessaril --headless --script FILE   (or the script on standard input)\n"
              << usage_text();
    return exit_usage;
  }
  return run_headless(options, std::cin, std::cout, std::cerr);
}

}  // namespace tessaril::shell

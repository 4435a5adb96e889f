#include "ui/script/script_host.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <cstdlib>
#include <ostream>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "link/link_state.h"
#include "link/link_threads.h"
#include "platform/clock.h"
#include "shell/control_ids.h"
#include "shell/dialog_session.h"
#include "shell/stop_signal.h"
#include "ui/script/script_plan.h"
#include "ui/script/script_player.h"
#include "ui/script/script_report.h"

namespace tessaril::ui {

namespace {

// After the port dialog has ended the player is either closing up or blocked
// reading input that has not ended; this long it may take to finish.
constexpr int PLAYER_FINISH_MS = 5000;

}  // namespace

const std::vector<int>& watched_controls() {
  static const std::vector<int> ids = {shell::IDC_HEX_LIST,      shell::IDC_TEXT_LIST,     shell::IDC_RESULT_FRAME1,
                                       shell::IDC_RESULT_FRAME2, shell::IDC_RESULT_FRAME3, shell::IDC_RESULT_KERMIT};
  return ids;
}

int run_dialogs_with_script(const shell::ProgramOptions& options, const UiDriver& driver, std::istream& input,
                            std::ostream& out, std::ostream& err) {
  ScriptPlan plan;
  const bool from_file = !options.script_path.empty();
  if (from_file) {
    // A typo at the end of a file, or in a file it includes, must not leave a
    // half-run test on the device.
    PlanError error;
    if (!load_plan_file(options.script_path, plan, error)) {
      if (error.top_line == 0) {
        err << "tessaril: " << error.message << '\n';
        return shell::EXIT_USAGE;
      }
      err << "tessaril: " << describe(error) << '\n';
      return SCRIPT_MALFORMED;
    }
  }

  // A report that could not be written at the end would lose the run: the
  // file must be writable before anything runs.
  if (!options.junit_path.empty()) {
    std::ofstream probe(options.junit_path, std::ios::app);
    if (!probe) {
      err << "tessaril: cannot write the JUnit report " << options.junit_path << ": " << std::generic_category().message(errno) << '\n';
      return shell::EXIT_USAGE;
    }
  }

  ScriptReport report;
  const std::string& path = options.script_path;
  report.name = from_file ? path.substr(path.find_last_of('/') + 1) : "standard input";
  ScriptOptions player_options;
  player_options.driver = &driver;
  player_options.watched_ids = watched_controls();
  player_options.trace = options.trace;
  // The session answers whether anything is under way, the link event the
  // dialog has still to handle included (it may start the next step).
  player_options.link_busy = [] { return shell::dialog_link_busy(); };
  player_options.leave_button = shell::IDC_RETURN_TO_MENU;
  player_options.report = &report;
  player_options.keep_traffic = !options.junit_path.empty();
  std::atomic<bool> reading_input{false};
  player_options.reading_input = &reading_input;
  player_options.stopping = [] {
    const int signal_number = shell::stop_signal();
    return signal_number == 0 ? std::string() : "stopped by " + shell::stop_signal_name(signal_number);
  };

  std::atomic<bool> player_done{false};
  int code = SCRIPT_OK;
  std::thread player([&] {
    code = from_file ? run_plan(plan, player_options, out, err) : run_script(input, player_options, out, err);
    if (!options.junit_path.empty()) {
      std::string reason;
      if (!write_junit_file(report, options.junit_path, reason)) {
        err << "tessaril: cannot write the JUnit report " << options.junit_path << ": " << reason << '\n';
        if (code == SCRIPT_OK || code == SCRIPT_EXPECTATIONS_FAILED) code = SCRIPT_FAILED;
      }
    }
    player_done.store(true);
    // The player closes every dialog before it ends. One that would not go
    // holds the dialog thread, and the program could never end by itself.
    const int64_t deadline = platform::monotonic_ms() + PLAYER_FINISH_MS;
    while (driver.top_dialog() != platform::NO_DIALOG && platform::monotonic_ms() < deadline) platform::sleep_ms(10);
    if (driver.top_dialog() != platform::NO_DIALOG) {
      err << "tessaril: the dialogs did not close; ending the program\n";
      out.flush();
      err.flush();
      std::_Exit(SCRIPT_FAILED);
    }
  });

  // Not 0 when a signal stopped the program: that is its exit code, once
  // the player has written its report.
  const int program_code = shell::run_program(options);

  const int64_t deadline = platform::monotonic_ms() + PLAYER_FINISH_MS;
  while (!player_done.load() && platform::monotonic_ms() < deadline) platform::sleep_ms(10);
  if (!player_done.load()) {
    // The dialogs are gone and the player has not finished. Waiting for
    // input that has not ended, nothing it could still read can act: end
    // the process here, as the thread cannot be interrupted inside its read;
    // the dialogs closed as they should and nothing asked for failed so far.
    // Waiting for anything else (a dialog that never opened), it is stuck,
    // and the script did not run: that is a failure.
    // (Not fflush(nullptr): that would wait for the lock of stdin, which the
    // player's read holds.)
    const bool on_input = reading_input.load();
    if (!on_input && program_code == 0) err << "tessaril: the dialogs ended before the script did\n";
    out.flush();
    err.flush();
    std::_Exit(program_code != 0 ? program_code : on_input ? SCRIPT_OK : SCRIPT_FAILED);
  }
  player.join();
  return program_code != 0 ? program_code : code;
}

}  // namespace tessaril::ui

// The script player: plays the user of the program's dialogs from a script
// (script_parser.h has the grammar), on whichever UI back end runs them.
//
// How it works: the dialogs run on the program's main thread (the dialog
// thread) under a UI back end, which the player reaches through its driver
// table (ui_driver.h); the player runs on a thread of its own. It waits for
// the first dialog, then plays the steps of a plan read whole
// (script_plan.h), or standard input a line or a repeat block at a time, and
// does what each says on the dialog thread, in order:
// - A click or a close is handed to the dialog thread and the player goes on
//   as soon as the dialog thread has taken it: a click may run for long (ENTER
//   runs the command dialog until "Return to Menu"), and a script must be
//   able to act inside the dialog it opened. The dialog on top is looked up
//   when the click is served, so "click 201" then "click 4011" presses ENTER
//   and then a button of the command dialog ENTER opened.
// - get, set, checked, shown and list run on the dialog thread too, after
//   everything handed over before them, and the player waits for them.
// - wait watches the link: idle is no message or task queued for a dialog,
//   the link busy test false, and none of the watched controls (traffic
//   lists, result fields) changed for quiet_ms, confirmed by a round trip
//   through the dialog thread (which may be inside a handler's sleep). It
//   looks every millisecond, so it ends as soon as the dialogs are done.
// - expect and expect-list read the control on the dialog thread as get and
//   list do. A pass is counted; a failure is counted and printed as one line
//   ("FAIL script line 9 (pass 3): frame1 (2401) held "...", expected ...")
//   and the script goes on. case starts a test case of the report
//   (script_report.h); repeat runs its block again straight away, adding no
//   pause of its own.
// With trace on, every line added to a watched list box and every change of
// a watched text control is printed as it happens ("ID:LINE", "ID=TEXT"), as
// is every change of a dialog's caption ("caption=TEXT", transfer progress),
// from whichever thread made it. Output lines are whole and flushed.
//
// At the end of the input the player closes what is open as a user would:
// the leave button of every dialog above the first one ("Return to Menu"),
// then WM_CLOSE to the first one, and waits for it to end.
//
// Texts typed are converted from UTF-8 to CP932, texts printed from CP932 to
// UTF-8. Paths given to choose are file-system paths and passed unchanged.
#pragma once

#include <atomic>
#include <functional>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "ui/script/script_parser.h"
#include "ui/script/script_plan.h"
#include "ui/script/script_report.h"
#include "ui/script/ui_driver.h"

namespace tessaril::ui {

struct ScriptOptions {
  // The back end the dialogs run on. Required.
  const UiDriver* driver = nullptr;
  // Controls whose changes wait's quiet time watches and trace prints.
  std::vector<int> watched_ids;
  bool trace = false;
  // True while the link has work in hand; may be empty (never busy).
  std::function<bool()> link_busy;
  // The button that leaves a dialog opened on top of the first ("Return to Menu").
  int leave_button = 0;
  // Filled with the test cases and expectations when given.
  ScriptReport* report = nullptr;
  // Keep the traffic of each case in the report (for a JUnit file): at most
  // TRAFFIC_LIMIT bytes a case, the lines past it counted, not kept.
  bool keep_traffic = false;
  // How long a command waits for the dialog thread to take it, and how long
  // the closing at the end waits for each dialog to go.
  int dialog_timeout_ms = 60000;
  int close_timeout_ms = 30000;
  // Quiet time wait asks of the watched controls. 0 is right when link_busy
  // covers every hand-over (the link threads stay busy until their message
  // is posted), as the program's does.
  int quiet_ms = 0;
  // Set while the player waits for the next line of its input (run_script),
  // so that a host can tell a player blocked on input from one stuck.
  std::atomic<bool>* reading_input = nullptr;
  // Why the program is being stopped ("stopped by SIGINT"), empty while it
  // is not; may be empty. A stopped player runs no further line, ends its
  // waits and sleeps, reports the reason in the case it was in, and leaves
  // the closing of the dialogs to the program (a transfer may still be
  // finishing its cancel).
  std::function<std::string()> stopping;
};

// Exit codes of run_script.
inline constexpr int SCRIPT_OK = 0;
inline constexpr int SCRIPT_FAILED = 1;     // the dialogs were gone or did not answer
inline constexpr int SCRIPT_MALFORMED = 2;  // a malformed line
inline constexpr int SCRIPT_EXPECTATIONS_FAILED = 3;  // ran to its end, an expectation failed

// Checks every line without running anything. Returns 0 (the line number of
// the first malformed line otherwise, with its message in error).
int check_script(std::istream& in, std::string& error);

// Plays the script from `in` against the running dialogs, a line or a
// repeat block at a time; prints to out, reports problems to err as
// "tessaril: script line N: ...". A failed expectation prints its "FAIL ..."
// line to out and the script goes on; at the end "N passed, N failed" is
// printed when the script checked anything. Returns one of the exit codes
// above: malformed before dialog problems before failed expectations.
// Closes the dialogs at the end of the input and after a malformed line.
// Call from a thread other than the dialog thread.
int run_script(std::istream& in, const ScriptOptions& options, std::ostream& out, std::ostream& err);

// The same for a plan read and checked whole (script_plan.h).
int run_plan(const ScriptPlan& plan, const ScriptOptions& options, std::ostream& out, std::ostream& err);

}  // namespace tessaril::ui

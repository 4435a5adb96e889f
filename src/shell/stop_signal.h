// Stopping the program by a signal: SIGINT (Ctrl+C) or SIGTERM (a kill, a
// CI runner cancelling its job).
//
// How it works: the handlers only note the signal, in a lock-free word; a
// second signal ends the process at once. While run_program runs, a
// StopWatcher thread looks at the note every STOP_POLL_MS and, once it is
// set, stops the program the way an engineer would: a Kermit transfer under
// way is asked to quit as "KerTrns Quit" asks it (cancelled on the line, its
// file closed with a discard, its ending logged and reported), and the link
// is awaited until it is at rest (the status frame that follows an ending
// answered), up to STOP_SETTLE_LIMIT_MS; then the command dialog leaves by
// "Return to Menu" and the port dialog is closed, which ends run_program. A script
// player sees the dialogs go and finishes its report. The program then exits
// with stop_exit_code. Dialogs that do not go within STOP_CLOSE_LIMIT_MS end
// the process there, with that code.
//
// On Windows the C runtime turns Ctrl+C in a console into SIGINT; SIGTERM is
// never raised there, and closing the console window is a console event of
// its own (the Win32 back end hands it to request_stop).
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "link/session.h"

namespace tessaril::shell {

constexpr int64_t STOP_POLL_MS = 20;
// A quit drain may read for DRAIN_LIMIT_MS (kermit_transfer.h); some room
// for the packet in hand, the ending and the status frame after it.
constexpr int64_t STOP_SETTLE_LIMIT_MS = 15000;
constexpr int64_t STOP_CLOSE_LIMIT_MS = 10000;

// Installs the handlers of SIGINT and SIGTERM; remove_stop_signals puts the
// earlier ones back.
void install_stop_signals();
void remove_stop_signals();

// What a handler does: notes the signal unless one is noted already. For
// other sources of a stop (a console event) and for tests.
void request_stop(int signal_number);
// The signal noted, or 0.
int stop_signal();
// Forgets the note (a program run in a test process, again).
void clear_stop_request();

// 128 + the signal's number, as a shell reports a program a signal ended.
int stop_exit_code(int signal_number);
// "SIGINT", "SIGTERM", or "signal N".
std::string stop_signal_name(int signal_number);

// The thread that stops the program once a signal is noted; finish() (or
// the destructor) ends it once the port dialog is over.
class StopWatcher {
 public:
  explicit StopWatcher(link::Session& session);
  ~StopWatcher();
  StopWatcher(const StopWatcher&) = delete;
  StopWatcher& operator=(const StopWatcher&) = delete;
  void finish();

 private:
  void run();
  link::Session& session_;
  std::atomic<bool> over_{false};
  std::thread thread_;
};

}  // namespace tessaril::shell

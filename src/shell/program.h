// The program: its options and the run of its dialogs.
//
// How it works: each UI back end has its own `main` (ui/headless/,
// ui/qt/, ui/win32/). It reads the command line with
// parse_program_options, installs its back end, and calls run_program on
// the thread that is to be the dialog thread. run_program reads the
// configuration, builds the session (link/session.h) with the command
// dialog's view subscribed, starts its link threads, shows the
// port-selection dialog (template 101) modally, which opens the command
// dialog on ENTER, and returns when the port dialog has ended, with the link
// threads stopped and joined. A script, if
// any, plays the dialogs from a thread of its own (ui/script/).
//
// --fast-timeouts is for the end-to-end tests: the total read time-outs of
// the port shrink to 1/20 (a missing answer costs 1.9 s instead of 38.4 s).
// Without it the program keeps the real time-outs.
//
// Include order: platform < status < kermit < link < commands < shell < ui.
// This folder is shell: it includes every folder but ui; it knows no UI back
// end.
#pragma once

#include <string>

namespace tessaril::shell {

struct ProgramOptions {
  bool headless = false;
  bool trace = false;
  bool help = false;
  bool version = false;
  bool list_controls = false;
  bool list_ports = false;
  bool fast_timeouts = false;  // tests only: port read time-outs at 1/20
  std::string script_path;  // empty: standard input
  std::string junit_path;   // --junit: where the JUnit report goes
  std::string port_device;  // --port: the device every COM number opens this run
};

// Exit codes: 0 all well; 1 the dialogs were gone or would not close; 2 a bad
// command line or a malformed script line; 3 the script ran to its end and an
// expectation failed. (The script player returns the same numbers.)
inline constexpr int EXIT_USAGE = 2;

// Reads the command line. False with a message in error for an unknown
// option or a --script without its file.
bool parse_program_options(int argc, const char* const* argv, ProgramOptions& options, std::string& error);

// The usage text: every option, the exit codes and the script grammar in short.
std::string usage_text();

// "tessaril 0.1.0".
std::string version_text();

// Runs the port-selection dialog on the calling thread with the installed
// back end until it ends; the link threads are stopped before it returns,
// whatever ended the dialog. SIGINT and SIGTERM meanwhile stop it in order
// (stop_signal.h). Returns 0, or stop_exit_code of the signal that stopped it.
int run_program(const ProgramOptions& options);

}  // namespace tessaril::shell

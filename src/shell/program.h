// The program entry: what `main` does.
//
// How it works: `tessaril --headless [--script FILE] [--trace]` installs the
// headless UI back end, starts the script player on a thread of its own and
// runs the port-selection dialog (template 101) modally on the main thread,
// which is the dialog thread from then on. The player reads its commands from
// FILE or from standard input and, at the end of its input, closes the
// dialogs as a user would ("Return to Menu", then the port dialog's close
// box); the port dialog's end ends the program with exit code 0. A script
// FILE is checked whole before anything runs; a malformed line exits 2 with a
// message naming the line.
//
// --fast-timeouts is for the end-to-end tests: the total read time-outs of
// the port shrink to 1/20 (a missing answer costs 1.9 s instead of 38.4 s).
// Without it the program keeps the real time-outs.
//
// Without --headless the program would show the desktop GUI, which this
// version does not contain: it says so, shows how to run headless, and exits 2.
#pragma once

#include <iosfwd>
#include <string>

namespace tessaril::shell {

struct ProgramOptions {
  bool headless = false;
  bool trace = false;
  bool help = false;
  bool fast_timeouts = false;  // tests only: port read time-outs at 1/20
  std::string script_path;  // empty: standard input
};

// Exit codes besides the script player's (0, 1, 2).
inline constexpr int exit_usage = 2;

// Reads the command line. False with a message in error for an unknown
// option or a --script without its file.
bool parse_program_options(int argc, const char* const* argv, ProgramOptions& options, std::string& error);

// The usage text.
std::string usage_text();

// Runs the dialogs headless with the script from options.script_path or from
// `input`; returns the exit code. The link threads are stopped before it
// returns, whatever ended the port dialog.
int run_headless(const ProgramOptions& options, std::istream& input, std::ostream& out, std::ostream& err);

// main: parses the command line and runs the program. Returns the exit code.
int program_main(int argc, const char* const* argv);

}  // namespace tessaril::shell

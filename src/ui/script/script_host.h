// The program's dialogs with a script playing them: what every back end's
// `main` does once its back end is installed.
//
// How it works: a script FILE is read and checked whole, with the files it
// includes, before anything runs (a malformed line exits 2 naming the file
// and line, nothing reaches the device). With --junit the report of the
// script's test cases is written when the player has finished. The player starts on a thread of its own and the calling thread
// becomes the dialog thread through shell::run_program. At the end of its
// input the player closes the dialogs as a user would; the port dialog's end
// ends the program. Should the dialogs not close, or the player wait for
// input that never ends after the dialogs are gone, the process ends after
// five seconds with the player's verdict so far. A signal that stops the
// program (shell/stop_signal.h) stops the player too: the case it was in
// reports "stopped by SIGINT", the report is written, and the exit code is
// the program's (128 + the signal's number).
#pragma once

#include <iosfwd>
#include <vector>

#include "shell/program.h"
#include "ui/script/ui_driver.h"

namespace tessaril::ui {

// Runs the dialogs with the script from options.script_path or from `input`
// on the installed back end, reached through `driver`; returns the exit code.
int run_dialogs_with_script(const shell::ProgramOptions& options, const UiDriver& driver, std::istream& input,
                            std::ostream& out, std::ostream& err);

// The controls whose changes `wait` watches and --trace prints: the two
// traffic lists and the four result fields.
const std::vector<int>& watched_controls();

}  // namespace tessaril::ui

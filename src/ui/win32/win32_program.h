// The program with the Win32 back end: the dialogs as Windows dialogs for a
// person, or played by a script on the real dialogs.
//
// How it works: tessaril.exe is a console program, so that --headless,
// --script and the informational options print where they were started
// from, and a command prompt waits for their exit code. Started from
// Explorer for the dialogs alone, it lets go of the console window that
// Windows opened for it (one no other program shares), which then closes.
#pragma once

#include <iosfwd>

#include "shell/program.h"

namespace tessaril::ui {

// True when a window can be made. Windows always has a desktop; Wine needs
// an X display, and without one every dialog would fail to open.
bool win32_display_available();

// Runs the dialogs on the calling thread: for a person, or with the script
// of options.script_path (its open-file dialogs and message boxes answered
// from the script). Returns the exit code; shell::EXIT_USAGE with a message
// when no window can be made.
int run_win32(const shell::ProgramOptions& options, std::istream& input, std::ostream& out, std::ostream& err);

}  // namespace tessaril::ui

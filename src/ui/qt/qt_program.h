// The program with the Qt back end: the dialogs as windows for a person, or
// played by a script on the real windows.
#pragma once

#include <iosfwd>

#include "shell/program.h"

namespace tessaril::ui {

// True when a window system can be reached: QT_QPA_PLATFORM names a platform
// that needs none (offscreen, minimal, vnc) or DISPLAY / WAYLAND_DISPLAY is
// set. Without one the toolkit would abort.
bool display_available();

// Runs the dialogs on the QApplication the caller made: for a person, or
// with the script of options.script_path (its open-file dialogs and message
// boxes answered from the script). Returns the exit code.
int run_qt(const shell::ProgramOptions& options, std::istream& input, std::ostream& out, std::ostream& err);

}  // namespace tessaril::ui

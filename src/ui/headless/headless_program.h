// The program with the headless back end: the dialogs as in-memory control
// stores, played by a script from a file or from standard input.
#pragma once

#include <iosfwd>

#include "shell/program.h"

namespace tessaril::ui {

// Installs the headless back end and runs the dialogs with the script from
// options.script_path or from `input`; returns the exit code.
int run_headless(const shell::ProgramOptions& options, std::istream& input, std::ostream& out, std::ostream& err);

}  // namespace tessaril::ui

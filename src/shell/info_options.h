// The options that print something and end the program: --help, --version,
// --list-controls and --list-ports. Every back end's main calls
// print_information before it starts its dialogs.
//
// How it works: --list-controls prints one line per control of both dialogs:
// id, dialog, kind, the caption a script names it by (in quotes) and its
// short name, "hidden" for controls created hidden. --list-ports prints the
// system's serial ports (platform/serial_ports.h), one a line, each with the
// COM number that reaches it ("COM3 (buc_setup.ini)", or the built-in
// COMn = /dev/ttyS<n-1>), then the COM numbers of buc_setup.ini whose device
// is none of those ports (a pseudo-terminal, a missing adapter) with where
// they lead.
#pragma once

#include <iosfwd>
#include <string>

#include "shell/program.h"

namespace tessaril::shell {

// True when an option asked for information; it is printed to out and the
// program ends with exit_code.
bool print_information(const ProgramOptions& options, std::ostream& out, int& exit_code);

// What every back end's main does first: reads the command line into
// options; a bad one is reported to err with the usage text, an option that
// asks for information is answered on out. False when the program ends
// there, with exit_code.
bool read_command_line(int argc, const char* const* argv, ProgramOptions& options, std::ostream& out,
                       std::ostream& err, int& exit_code);

// The text of --list-controls and --list-ports; ini_path is buc_setup.ini.
std::string control_list_text();
std::string port_list_text(const std::string& ini_path);

}  // namespace tessaril::shell

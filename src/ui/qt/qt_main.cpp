// `tessaril` with both back ends: the desktop GUI (Qt), and --headless.
#include <QApplication>

#include <iostream>
#include <string>

#include "shell/info_options.h"
#include "shell/program.h"
#include "ui/headless/headless_program.h"
#include "ui/qt/qt_program.h"

int main(int argc, char** argv) {
  using namespace tessaril;
  shell::ProgramOptions options;
  int code = 0;
  if (!shell::read_command_line(argc, argv, options, std::cout, std::cerr, code)) return code;
  if (options.headless) return ui::run_headless(options, std::cin, std::cout, std::cerr);
  if (!ui::display_available()) {
    std::cerr << "tessaril: no display for the desktop GUI (DISPLAY is not set); "
                 "run the dialogs without one: tessaril --headless --script FILE\n";
    return shell::EXIT_USAGE;
  }
  // Qt's own options have been refused above; only the program's name is passed on.
  int qt_argc = 1;
  QApplication app(qt_argc, argv);
  return ui::run_qt(options, std::cin, std::cout, std::cerr);
}

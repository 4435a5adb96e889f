// `tessaril` built with the headless back end only.
#include <iostream>
#include <string>

#include "shell/info_options.h"
#include "shell/program.h"
#include "ui/headless/headless_program.h"

int main(int argc, char** argv) {
  using namespace tessaril;
  shell::ProgramOptions options;
  int code = 0;
  if (!shell::read_command_line(argc, argv, options, std::cout, std::cerr, code)) return code;
  if (!options.headless) {
    std::cerr << "tessaril: the desktop GUI is not built in this version.\n"
                 "Run the dialogs headless, played by a script:\n"
                 "  tessaril --headless --script FILE   (or the script on standard input)\n"
              << shell::usage_text();
    return shell::EXIT_USAGE;
  }
  return ui::run_headless(options, std::cin, std::cout, std::cerr);
}

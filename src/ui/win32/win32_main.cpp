// `tessaril.exe`: the dialogs as Windows dialogs, and --headless.
#include <iostream>
#include <string>

#include "shell/info_options.h"
#include "shell/program.h"
#include "ui/headless/headless_program.h"
#include "ui/win32/win32_program.h"

int main(int argc, char** argv) {
  using namespace tessaril;
  shell::ProgramOptions options;
  int code = 0;
  if (!shell::read_command_line(argc, argv, options, std::cout, std::cerr, code)) return code;
  if (options.headless) return ui::run_headless(options, std::cin, std::cout, std::cerr);
  return ui::run_win32(options, std::cin, std::cout, std::cerr);
}

// Program entry: the dialogs and their start-up are in shell/program.h.
#include "shell/program.h"

int main(int argc, char** argv) { return tessaril::shell::program_main(argc, argv); }

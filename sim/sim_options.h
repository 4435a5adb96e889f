// Command-line options of tessaril-bucsim.
#pragma once

#include <string>

namespace tessaril::sim {

struct Options {
  std::string device;    // empty: create a pseudo-terminal
  std::string link;      // symbolic link to the pseudo-terminal
  int baud = 0;          // device rate; pacing of the pseudo-terminal's output
  std::string scenario;  // scenario file
  std::string folder = ".";
  int gap_ms = 100;      // quiet time that ends a frame that has no END
  bool verbose = false;
  bool quiet = false;
  bool help = false;
};

// False with a message in error for a bad command line.
bool parse_options(int argc, char** argv, Options& options, std::string& error);

extern const char* const usage_text;

}  // namespace tessaril::sim

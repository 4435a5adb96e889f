#include "sim_options.h"

#include <cstdlib>

namespace tessaril::sim {

const char* const usage_text =
    "Usage: tessaril-bucsim [options]\n"
    "\n"
    "Plays a BUC on a serial line: answers every command frame of the\n"
    "catalogue (codes 0x01-0x14, 0x60, 0x61, 0x74-0x7F) with success, the\n"
    "sequence number echoed, the extended header for 0x70-0x7F, and announces\n"
    "a calibration file of its folder for 0x0E and 0x79.\n"
    "\n"
    "It plays the Kermit peer of the file transfers: after its answer to\n"
    "0x0A it receives the host's file into its folder (under a temporary name\n"
    "until the file is whole); after its answer to 0x0C (data \"NAME,size\") it\n"
    "sends NAME from its folder. One line per transfer tells the direction,\n"
    "name, bytes, packets, retries and outcome. A command frame from the host\n"
    "ends a transfer and is answered. Scenario lines \"kermit ...\" set its\n"
    "send-init parameters and packet faults, or turn transfers off.\n"
    "\n"
    "Without --device it creates a pseudo-terminal and prints its path on the\n"
    "first line of output:\n"
    "  tessaril-bucsim: playing the BUC on /dev/pts/7\n"
    "Point the host at that path (buc_setup.ini, section [ports], COM1=/dev/pts/7)\n"
    "or at the link made with --link. Pseudo-terminals are Linux-only: on\n"
    "Windows give a COM port, --device COM5, a real one or one end of a virtual\n"
    "null-modem pair whose other end the host opens.\n"
    "\n"
    "Options:\n"
    "  --link PATH        also make a symbolic link PATH to the pseudo-terminal\n"
    "                     or the device (removed on exit; Linux only)\n"
    "  --device PATH      play on a real serial device instead (8N1): /dev/ttyUSB0,\n"
    "                     COM3\n"
    "  --baud N           rate of --device (default 38400); with a pseudo-terminal,\n"
    "                     pace the answers, and the Kermit transfers both ways,\n"
    "                     to N baud (default: no pacing)\n"
    "  --scenario FILE    per-command response codes, data, delays and faults,\n"
    "                     and the Kermit settings (see sim/README.md)\n"
    "  --folder DIR       folder of the calibration files (*.xml, *.gz) announced\n"
    "                     by 0x0E and 0x79, of the files it sends and of those it\n"
    "                     receives by Kermit (default: the current folder)\n"
    "  --gap MS           quiet time that ends a frame sent without its END\n"
    "                     code (default 100)\n"
    "  -v, --verbose      print every frame in hex\n"
    "  -q, --quiet        print only the first line\n"
    "  -h, --help         this text\n"
    "\n"
    "Stop it with Ctrl+C. Exit status: 0 after a signal, 2 for a bad command line\n"
    "or scenario, 1 when the line cannot be opened.\n";

namespace {
bool number(const char* text, int& value) {
  char* end = nullptr;
  long v = std::strtol(text, &end, 10);
  if (!*text || *end || v < 0 || v > 100000000) return false;
  value = static_cast<int>(v);
  return true;
}
}  // namespace

bool parse_options(int argc, char** argv, Options& options, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) {
        error = arg + " needs a value";
        return false;
      }
      out = argv[++i];
      return true;
    };
    std::string text;
    if (arg == "-h" || arg == "--help") {
      options.help = true;
    } else if (arg == "-v" || arg == "--verbose") {
      options.verbose = true;
    } else if (arg == "-q" || arg == "--quiet") {
      options.quiet = true;
    } else if (arg == "--link") {
      if (!value(options.link)) return false;
    } else if (arg == "--device") {
      if (!value(options.device)) return false;
    } else if (arg == "--scenario") {
      if (!value(options.scenario)) return false;
    } else if (arg == "--folder") {
      if (!value(options.folder)) return false;
    } else if (arg == "--baud" || arg == "--gap") {
      if (!value(text)) return false;
      int& target = arg == "--baud" ? options.baud : options.gap_ms;
      if (!number(text.c_str(), target) || (arg == "--baud" && target == 0)) {
        error = "bad value for " + arg + ": " + text;
        return false;
      }
    } else {
      error = "unknown option " + arg;
      return false;
    }
  }
  return true;
}

}  // namespace tessaril::sim

// Windows has no pseudo-terminals: the simulator plays on a COM port there,
// a real one or an end of a virtual null-modem pair.
#include "sim_line.h"

namespace tessaril::sim {

namespace {
const char* const NO_PTY =
    "pseudo-terminals are Linux-only; on Windows play on a COM port: --device COMn (a real port, or one end of a "
    "virtual null-modem pair whose other end the host opens)";
}  // namespace

bool open_pty_line(Line&, std::string& error) {
  error = NO_PTY;
  return false;
}

bool make_line_link(Line&, const std::string&, std::string& error) {
  error = std::string("--link: ") + NO_PTY;
  return false;
}

void close_pty(Line&) {}
int read_pty(Line&, uint8_t*, int, int) { return -1; }
bool write_pty(Line&, const uint8_t*, int) { return false; }

}  // namespace tessaril::sim

// The simulator's pseudo-terminal: the master is the device's end, the slave
// the host's, held open so that a host that closes it causes no hang-up.
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "sim_line.h"

namespace tessaril::sim {

bool open_pty_line(Line& line, std::string& error) {
  line.master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (line.master < 0 || ::grantpt(line.master) != 0 || ::unlockpt(line.master) != 0) {
    error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
    return false;
  }
  const char* name = ::ptsname(line.master);
  if (!name) {
    error = std::string("ptsname: ") + std::strerror(errno);
    return false;
  }
  line.path = name;
  line.slave_keep = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (line.slave_keep < 0) {
    error = line.path + ": " + std::strerror(errno);
    return false;
  }
  termios tio{};
  ::tcgetattr(line.slave_keep, &tio);
  ::cfmakeraw(&tio);
  ::tcsetattr(line.slave_keep, TCSANOW, &tio);
  ::tcgetattr(line.master, &tio);
  ::cfmakeraw(&tio);
  ::tcsetattr(line.master, TCSANOW, &tio);
  return true;
}

bool make_line_link(Line& line, const std::string& link_path, std::string& error) {
  ::unlink(link_path.c_str());  // an old link from an earlier run
  if (::symlink(line.path.c_str(), link_path.c_str()) != 0) {
    error = link_path + ": " + std::strerror(errno);
    return false;
  }
  line.link = link_path;
  return true;
}

void close_pty(Line& line) {
  if (!line.link.empty()) ::unlink(line.link.c_str());
  if (line.slave_keep >= 0) ::close(line.slave_keep);
  if (line.master >= 0) ::close(line.master);
}

int read_pty(Line& line, uint8_t* buffer, int capacity, int timeout_ms) {
  pollfd p{line.master, POLLIN, 0};
  int r = ::poll(&p, 1, timeout_ms);
  if (r < 0) return errno == EINTR ? 0 : -1;
  if (r == 0) return 0;
  ssize_t n = ::read(line.master, buffer, static_cast<size_t>(capacity));
  if (n < 0) return errno == EINTR || errno == EAGAIN ? 0 : -1;
  return static_cast<int>(n);
}

bool write_pty(Line& line, const uint8_t* bytes, int count) {
  int done = 0;
  while (done < count) {
    ssize_t n = ::write(line.master, bytes + done, static_cast<size_t>(count - done));
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      return false;
    }
    done += static_cast<int>(n);
  }
  return true;
}

}  // namespace tessaril::sim

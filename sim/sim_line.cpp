#include "sim_line.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/clock.h"

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

bool open_device_line(Line& line, const std::string& device, int baud, std::string& error) {
  std::string reason;
  line.port = platform::serial_open(device, reason);
  if (line.port == platform::INVALID_SERIAL) {
    error = device + ": " + reason;
    return false;
  }
  if (!platform::serial_configure(line.port, baud, 8, reason)) {
    error = device + ": " + reason;
    return false;
  }
  line.path = device;
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

void close_line(Line& line) {
  if (!line.link.empty()) ::unlink(line.link.c_str());
  if (line.slave_keep >= 0) ::close(line.slave_keep);
  if (line.master >= 0) ::close(line.master);
  platform::serial_close(line.port);
  line = Line{};
}

int read_line(Line& line, uint8_t* buffer, int capacity, int timeout_ms) {
  if (line.port != platform::INVALID_SERIAL) {
    platform::SerialTimeouts t;
    t.interval_ms = 2;
    t.total_constant_ms = timeout_ms > 0 ? timeout_ms : 1;
    platform::serial_set_timeouts(line.port, t);
    return platform::serial_read(line.port, buffer, capacity);
  }
  pollfd p{line.master, POLLIN, 0};
  int r = ::poll(&p, 1, timeout_ms);
  if (r < 0) return errno == EINTR ? 0 : -1;
  if (r == 0) return 0;
  ssize_t n = ::read(line.master, buffer, static_cast<size_t>(capacity));
  if (n < 0) return errno == EINTR || errno == EAGAIN ? 0 : -1;
  return static_cast<int>(n);
}

namespace {
bool write_all(Line& line, const uint8_t* bytes, int count) {
  if (line.port != platform::INVALID_SERIAL) return platform::serial_write(line.port, bytes, count) == count;
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
}  // namespace

bool write_line(Line& line, const uint8_t* bytes, int count) {
  if (line.pace_baud <= 0 || line.port != platform::INVALID_SERIAL) return write_all(line, bytes, count);
  // 10 bits a byte (start, 8 data, stop); chunks of about 2 ms keep the gaps
  // well below the host's 10-ms interval time-out at usual rates.
  const int per_chunk = std::max(1, line.pace_baud / 10 / 500);
  const int64_t start = platform::monotonic_ms();
  for (int done = 0; done < count;) {
    int n = std::min(per_chunk, count - done);
    if (!write_all(line, bytes + done, n)) return false;
    done += n;
    const int64_t due = start + static_cast<int64_t>(done) * 10000 / line.pace_baud;
    platform::sleep_ms(due - platform::monotonic_ms());
  }
  return true;
}

void pace_read(Line& line, int count) {
  if (line.pace_baud <= 0 || line.port != platform::INVALID_SERIAL || count <= 0) return;
  const double now = static_cast<double>(platform::monotonic_ms());
  line.read_due_ms = std::max(line.read_due_ms, now) + count * 10000.0 / line.pace_baud;
  platform::sleep_ms(static_cast<int64_t>(line.read_due_ms - now));
}

}  // namespace tessaril::sim

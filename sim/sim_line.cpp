// The simulator's line, the same on every OS: a real device through the
// platform's serial ports, or the pseudo-terminal of sim_line_pty_*.cpp.
#include "sim_line.h"

#include <algorithm>

#include "platform/clock.h"

namespace tessaril::sim {

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

void close_line(Line& line) {
  close_pty(line);
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
  return read_pty(line, buffer, capacity, timeout_ms);
}

namespace {
bool write_all(Line& line, const uint8_t* bytes, int count) {
  if (line.port != platform::INVALID_SERIAL) return platform::serial_write(line.port, bytes, count) == count;
  return write_pty(line, bytes, count);
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

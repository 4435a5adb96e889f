// Serial ports on POSIX: termios for the line, poll for the Windows time-out
// rules, a wake pipe per port for cancelling blocked calls.
//
// Each open port is an entry of a process-wide table, keyed by a handle number
// that is never reused. A call takes a shared reference to the entry under the
// table lock and then works on the entry's descriptor without the lock; close
// removes the entry from the table, cancels it and waits until no call holds
// it, and only then closes the descriptor. The descriptor number can thus be
// reused only after the last call that knew it has left.
#include "platform/serial.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include "platform/clock.h"
#include "platform/posix/serial_baud.h"

namespace tessaril::platform {

namespace {

struct Port {
  int fd = -1;
  int wake_read = -1;   // readable once the port is cancelled
  int wake_write = -1;
  std::atomic<bool> cancelled{false};
  std::mutex timeouts_lock;
  SerialTimeouts timeouts;
  ~Port() {
    if (fd >= 0) ::close(fd);
    if (wake_read >= 0) ::close(wake_read);
    if (wake_write >= 0) ::close(wake_write);
  }
};

std::mutex table_lock;
std::condition_variable table_changed;  // a call released its reference
std::map<SerialHandle, std::shared_ptr<Port>> table;
SerialHandle last_handle = invalid_serial;
std::atomic<int> timeout_scale{100};

std::shared_ptr<Port> find(SerialHandle handle) {
  std::lock_guard<std::mutex> lock(table_lock);
  auto it = table.find(handle);
  return it == table.end() ? nullptr : it->second;
}

// A call's reference; dropping it tells a waiting close.
struct PortUse {
  std::shared_ptr<Port> port;
  explicit PortUse(SerialHandle handle) : port(find(handle)) {}
  ~PortUse() {
    if (!port) return;
    std::lock_guard<std::mutex> lock(table_lock);
    port.reset();
    table_changed.notify_all();
  }
  PortUse(const PortUse&) = delete;
  PortUse& operator=(const PortUse&) = delete;
};

std::string system_text(int error) { return serial_system_text(error); }

// A deadline in monotonic ms, or -1 for none.
int64_t total_deadline(int multiplier, int constant, int count) {
  if (multiplier <= 0 && constant <= 0) return -1;
  int64_t total = static_cast<int64_t>(multiplier > 0 ? multiplier : 0) * count + (constant > 0 ? constant : 0);
  int scale = timeout_scale.load();
  total = total * scale / 100;
  if (total < 1) total = 1;
  return monotonic_ms() + total;
}

enum class Wait { Ready, Timeout, Cancelled, Failed };

// Waits until fd has `events`, the port is cancelled or timeout_ms passes
// (-1: no limit).
Wait wait_for(Port& port, short events, int64_t timeout_ms) {
  for (;;) {
    if (port.cancelled.load()) return Wait::Cancelled;
    pollfd fds[2] = {{port.fd, events, 0}, {port.wake_read, POLLIN, 0}};
    int limit = timeout_ms < 0 ? -1 : static_cast<int>(timeout_ms > INT32_MAX ? INT32_MAX : timeout_ms);
    int r = ::poll(fds, 2, limit);
    if (r < 0) {
      if (errno == EINTR) continue;
      return Wait::Failed;
    }
    if (port.cancelled.load() || (fds[1].revents & POLLIN)) return Wait::Cancelled;
    if (r == 0) return Wait::Timeout;
    if (fds[0].revents & events) return Wait::Ready;
    // POLLHUP or POLLERR without data: the device has gone.
    if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) return Wait::Failed;
  }
}

}  // namespace

std::string serial_system_text(int error) {
  std::string text = std::strerror(error);
  // Serial devices belong to the group dialout on Debian and its kin: the
  // usual reason a port that exists will not open.
  if (error == EACCES || error == EPERM)
    text += " (serial ports belong to the group dialout: add your user with"
            " 'sudo usermod -aG dialout $USER' and log in again)";
  return text;
}

SerialHandle serial_open(const std::string& device, std::string& error_text) {
  auto port = std::make_shared<Port>();
  port->fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (port->fd < 0) {
    error_text = system_text(errno);
    return invalid_serial;
  }
  // Windows opens a port exclusively; a second program on the same line
  // would steal half of every answer.
  if (::flock(port->fd, LOCK_EX | LOCK_NB) != 0) {
    error_text = errno == EWOULDBLOCK ? "Device or resource busy (in use by another program)" : system_text(errno);
    return invalid_serial;
  }
  if (!::isatty(port->fd)) {
    error_text = "Not a serial device";
    return invalid_serial;
  }
  termios tio{};
  if (::tcgetattr(port->fd, &tio) != 0) {
    error_text = system_text(errno);
    return invalid_serial;
  }
  // Raw mode as cfmakeraw sets it, keeping the flow-control bits the driver
  // reports except IXON (see the header).
  const tcflag_t keep_iflag = tio.c_iflag & (IXOFF);
  const tcflag_t keep_cflag = tio.c_cflag & (CRTSCTS);
  ::cfmakeraw(&tio);
  tio.c_iflag = (tio.c_iflag & ~(IXON | IXOFF | IXANY)) | keep_iflag;
  tio.c_cflag = (tio.c_cflag & ~CRTSCTS) | keep_cflag | CLOCAL | CREAD;
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  if (::tcsetattr(port->fd, TCSANOW, &tio) != 0) {
    error_text = system_text(errno);
    return invalid_serial;
  }
  int pipe_fds[2];
  if (::pipe2(pipe_fds, O_CLOEXEC | O_NONBLOCK) != 0) {
    error_text = system_text(errno);
    return invalid_serial;
  }
  port->wake_read = pipe_fds[0];
  port->wake_write = pipe_fds[1];
  std::lock_guard<std::mutex> lock(table_lock);
  SerialHandle handle = ++last_handle;
  if (handle <= invalid_serial) {  // 2^31 opens: out of numbers rather than reuse one
    --last_handle;
    error_text = "Too many ports opened";
    return invalid_serial;
  }
  table[handle] = std::move(port);
  return handle;
}

bool serial_configure(SerialHandle handle, int baud_rate, int byte_size, std::string& error_text) {
  PortUse use(handle);
  if (!use.port) {
    error_text = "Port not open";
    return false;
  }
  tcflag_t size_flag;
  switch (byte_size) {
    case 5: size_flag = CS5; break;
    case 6: size_flag = CS6; break;
    case 7: size_flag = CS7; break;
    case 8: size_flag = CS8; break;
    default:
      error_text = "Unsupported byte size " + std::to_string(byte_size);
      return false;
  }
  termios tio{};
  if (::tcgetattr(use.port->fd, &tio) != 0) {
    error_text = system_text(errno);
    return false;
  }
  tio.c_cflag = (tio.c_cflag & ~(CSIZE | PARENB | PARODD | CSTOPB)) | size_flag;
  if (::tcsetattr(use.port->fd, TCSANOW, &tio) != 0) {
    error_text = system_text(errno);
    return false;
  }
  int error = set_baud_rate(use.port->fd, baud_rate);
  if (error != 0) {
    error_text = "Baud rate " + std::to_string(baud_rate) + ": " + system_text(error);
    return false;
  }
  return true;
}

int serial_baud_rate(SerialHandle handle) {
  PortUse use(handle);
  return use.port ? get_baud_rate(use.port->fd) : 0;
}

bool serial_set_timeouts(SerialHandle handle, const SerialTimeouts& timeouts) {
  PortUse use(handle);
  if (!use.port) return false;
  std::lock_guard<std::mutex> lock(use.port->timeouts_lock);
  use.port->timeouts = timeouts;
  return true;
}

namespace {
// The time-outs in force for one call: a copy, so that a concurrent change
// applies from the next call on.
SerialTimeouts timeouts_of(Port& port) {
  std::lock_guard<std::mutex> lock(port.timeouts_lock);
  return port.timeouts;
}
}  // namespace

int serial_read(SerialHandle handle, uint8_t* buffer, int count) {
  PortUse use(handle);
  if (!use.port || use.port->cancelled.load()) return -1;
  if (count <= 0 || !buffer) return 0;
  Port& port = *use.port;
  const SerialTimeouts t = timeouts_of(port);
  const int64_t deadline = total_deadline(t.total_multiplier_ms, t.total_constant_ms, count);
  int got = 0;
  while (got < count) {
    int64_t wait_ms = -1;
    if (deadline >= 0) {
      wait_ms = deadline - monotonic_ms();
      if (wait_ms <= 0) break;
    }
    // After the first byte the read also ends on a quiet line.
    if (got > 0 && t.interval_ms > 0 && (wait_ms < 0 || wait_ms > t.interval_ms)) wait_ms = t.interval_ms;
    Wait w = wait_for(port, POLLIN, wait_ms);
    if (w == Wait::Timeout) {
      if (got > 0 && t.interval_ms > 0) break;
      continue;  // the total deadline is checked at the top
    }
    if (w == Wait::Cancelled) return got > 0 ? got : -1;
    if (w == Wait::Failed) return got > 0 ? got : -1;
    ssize_t n = ::read(port.fd, buffer + got, static_cast<size_t>(count - got));
    if (n > 0) {
      got += static_cast<int>(n);
    } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
      return got > 0 ? got : -1;  // end of file or I/O error: the device has gone
    }
  }
  return got;
}

int serial_write(SerialHandle handle, const uint8_t* bytes, int count) {
  PortUse use(handle);
  if (!use.port || use.port->cancelled.load()) return -1;
  if (count <= 0 || !bytes) return 0;
  Port& port = *use.port;
  const SerialTimeouts t = timeouts_of(port);
  const int64_t deadline = total_deadline(t.write_total_multiplier_ms, t.write_total_constant_ms, count);
  int done = 0;
  while (done < count) {
    ssize_t n = ::write(port.fd, bytes + done, static_cast<size_t>(count - done));
    if (n > 0) {
      done += static_cast<int>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) break;
    int64_t wait_ms = -1;
    if (deadline >= 0) {
      wait_ms = deadline - monotonic_ms();
      if (wait_ms <= 0) break;
    }
    if (wait_for(port, POLLOUT, wait_ms) != Wait::Ready) {
      if (deadline >= 0 && monotonic_ms() < deadline && !port.cancelled.load()) continue;
      break;
    }
  }
  return done > 0 ? done : -1;
}

void serial_cancel(SerialHandle handle) {
  PortUse use(handle);
  if (!use.port) return;
  use.port->cancelled.store(true);
  const uint8_t wake = 1;
  [[maybe_unused]] ssize_t r = ::write(use.port->wake_write, &wake, 1);
}

bool serial_is_open(SerialHandle handle) {
  PortUse use(handle);
  return use.port && !use.port->cancelled.load();
}

void serial_close(SerialHandle handle) {
  std::shared_ptr<Port> port;
  {
    std::lock_guard<std::mutex> lock(table_lock);
    auto it = table.find(handle);
    if (it == table.end()) return;
    port = std::move(it->second);
    table.erase(it);
  }
  port->cancelled.store(true);
  const uint8_t wake = 1;
  [[maybe_unused]] ssize_t r = ::write(port->wake_write, &wake, 1);
  // Cancelled calls leave at once; the bound only guards against a call that
  // hangs in the driver. Should one still hold the port, the descriptor is
  // closed when it lets go, never before.
  std::unique_lock<std::mutex> lock(table_lock);
  table_changed.wait_for(lock, std::chrono::milliseconds(2000), [&] { return port.use_count() == 1; });
  lock.unlock();
  port.reset();
}

void set_serial_timeout_scale(int percent) { timeout_scale.store(percent > 0 ? percent : 100); }

}  // namespace tessaril::platform

// Serial ports on POSIX: termios for the line, poll for the Windows time-out
// rules, a wake pipe per port that ends a blocked poll when the port is
// cancelled. The handle table around it is serial_handles.cpp.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

#include "platform/clock.h"
#include "platform/posix/serial_baud.h"
#include "platform/serial_os.h"

namespace tessaril::platform::os {

struct OsPort {
  int fd = -1;
  int wake_read = -1;  // readable once the port is cancelled
  int wake_write = -1;
  ~OsPort() {
    if (fd >= 0) ::close(fd);
    if (wake_read >= 0) ::close(wake_read);
    if (wake_write >= 0) ::close(wake_write);
  }
};

namespace {

std::string system_text(int error) { return serial_system_text(error); }

enum class Wait { Ready, Timeout, Cancelled, Failed };

// Waits until fd has `events`, the port is cancelled or timeout_ms passes
// (-1: no limit).
Wait wait_for(OsPort& port, short events, int64_t timeout_ms, const std::atomic<bool>& cancelled) {
  for (;;) {
    if (cancelled.load()) return Wait::Cancelled;
    pollfd fds[2] = {{port.fd, events, 0}, {port.wake_read, POLLIN, 0}};
    int limit = timeout_ms < 0 ? -1 : static_cast<int>(timeout_ms > INT32_MAX ? INT32_MAX : timeout_ms);
    int r = ::poll(fds, 2, limit);
    if (r < 0) {
      if (errno == EINTR) continue;
      return Wait::Failed;
    }
    if (cancelled.load() || (fds[1].revents & POLLIN)) return Wait::Cancelled;
    if (r == 0) return Wait::Timeout;
    if (fds[0].revents & events) return Wait::Ready;
    // POLLHUP or POLLERR without data: the device has gone.
    if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) return Wait::Failed;
  }
}

OsPort* fail(OsPort* port, std::string& error_text, const std::string& text) {
  error_text = text;
  delete port;
  return nullptr;
}

}  // namespace

OsPort* open_port(const std::string& device, std::string& error_text) {
  auto* port = new OsPort;
  port->fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (port->fd < 0) return fail(port, error_text, system_text(errno));
  // Windows opens a port exclusively; a second program on the same line
  // would steal half of every answer.
  if (::flock(port->fd, LOCK_EX | LOCK_NB) != 0)
    return fail(port, error_text,
                errno == EWOULDBLOCK ? "Device or resource busy (in use by another program)" : system_text(errno));
  if (!::isatty(port->fd)) return fail(port, error_text, "Not a serial device");
  termios tio{};
  if (::tcgetattr(port->fd, &tio) != 0) return fail(port, error_text, system_text(errno));
  // Raw mode as cfmakeraw sets it, keeping the flow-control bits the driver
  // reports except IXON (see serial.h).
  const tcflag_t keep_iflag = tio.c_iflag & (IXOFF);
  const tcflag_t keep_cflag = tio.c_cflag & (CRTSCTS);
  ::cfmakeraw(&tio);
  tio.c_iflag = (tio.c_iflag & ~(IXON | IXOFF | IXANY)) | keep_iflag;
  tio.c_cflag = (tio.c_cflag & ~CRTSCTS) | keep_cflag | CLOCAL | CREAD;
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  if (::tcsetattr(port->fd, TCSANOW, &tio) != 0) return fail(port, error_text, system_text(errno));
  int pipe_fds[2];
  if (::pipe2(pipe_fds, O_CLOEXEC | O_NONBLOCK) != 0) return fail(port, error_text, system_text(errno));
  port->wake_read = pipe_fds[0];
  port->wake_write = pipe_fds[1];
  return port;
}

void close_port(OsPort* port) { delete port; }

bool configure_port(OsPort& port, int baud_rate, int byte_size, std::string& error_text) {
  const tcflag_t size_flag = byte_size == 5 ? CS5 : byte_size == 6 ? CS6 : byte_size == 7 ? CS7 : CS8;
  termios tio{};
  if (::tcgetattr(port.fd, &tio) != 0) {
    error_text = system_text(errno);
    return false;
  }
  tio.c_cflag = (tio.c_cflag & ~(CSIZE | PARENB | PARODD | CSTOPB)) | size_flag;
  if (::tcsetattr(port.fd, TCSANOW, &tio) != 0) {
    error_text = system_text(errno);
    return false;
  }
  int error = set_baud_rate(port.fd, baud_rate);
  if (error != 0) {
    error_text = "Baud rate " + std::to_string(baud_rate) + ": " + system_text(error);
    return false;
  }
  return true;
}

int port_baud_rate(const OsPort& port) { return get_baud_rate(port.fd); }

int read_available(OsPort& port, uint8_t* buffer, int max, int64_t deadline, const std::atomic<bool>& cancelled) {
  for (;;) {
    int64_t wait_ms = -1;
    if (deadline >= 0) {
      wait_ms = deadline - monotonic_ms();
      if (wait_ms <= 0) return 0;
    }
    const Wait w = wait_for(port, POLLIN, wait_ms, cancelled);
    if (w == Wait::Timeout) continue;  // the deadline is checked at the top
    if (w == Wait::Cancelled || w == Wait::Failed) return -1;
    const ssize_t n = ::read(port.fd, buffer, static_cast<size_t>(max));
    if (n > 0) return static_cast<int>(n);
    // End of file or an I/O error: the device has gone.
    if (n == 0 || (errno != EAGAIN && errno != EINTR)) return -1;
  }
}

void flush_input(OsPort& port) { ::tcflush(port.fd, TCIFLUSH); }

int write_port(OsPort& port, const uint8_t* bytes, int count, int64_t deadline, const std::atomic<bool>& cancelled) {
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
    if (wait_for(port, POLLOUT, wait_ms, cancelled) != Wait::Ready) {
      if (deadline >= 0 && monotonic_ms() < deadline && !cancelled.load()) continue;
      break;
    }
  }
  return done > 0 ? done : -1;
}

void wake_port(OsPort& port) {
  const uint8_t wake = 1;
  [[maybe_unused]] ssize_t r = ::write(port.wake_write, &wake, 1);
}

}  // namespace tessaril::platform::os

namespace tessaril::platform {

std::string serial_system_text(int error) {
  // Not strerror: another thread may reuse its buffer.
  std::string text = std::generic_category().message(error);
  // Serial devices belong to the group dialout on Debian and its kin: the
  // usual reason a port that exists will not open.
  if (error == EACCES || error == EPERM)
    text += " (serial ports belong to the group dialout: add your user with"
            " 'sudo usermod -aG dialout $USER' and log in again)";
  return text;
}

}  // namespace tessaril::platform

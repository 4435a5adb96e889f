#include "support/pty_pair.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <stdexcept>

namespace tessaril::test {

PtyPair::PtyPair() {
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
  if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) throw std::runtime_error("posix_openpt failed");
  const char* name = ::ptsname(master_);
  if (!name) throw std::runtime_error("ptsname failed");
  slave_path_ = name;
  slave_keep_ = ::open(slave_path_.c_str(), O_RDWR | O_NOCTTY);
  if (slave_keep_ < 0) throw std::runtime_error("cannot open pty slave");
  termios tio{};
  ::tcgetattr(slave_keep_, &tio);
  ::cfmakeraw(&tio);
  ::tcsetattr(slave_keep_, TCSANOW, &tio);
}

PtyPair::~PtyPair() {
  if (slave_keep_ >= 0) ::close(slave_keep_);
  if (master_ >= 0) ::close(master_);
}

void PtyPair::device_write(const std::vector<uint8_t>& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      throw std::runtime_error("pty master write failed");
    }
    done += static_cast<size_t>(n);
  }
}

std::vector<uint8_t> PtyPair::device_read(size_t count, int timeout_ms) {
  std::vector<uint8_t> out;
  while (out.size() < count) {
    pollfd p{master_, POLLIN, 0};
    int r = ::poll(&p, 1, timeout_ms);
    if (r <= 0 || !(p.revents & POLLIN)) break;
    uint8_t buf[512];
    ssize_t n = ::read(master_, buf, std::min(sizeof buf, count - out.size()));
    if (n <= 0) break;
    out.insert(out.end(), buf, buf + n);
  }
  return out;
}

void PtyPair::close_master() {
  if (master_ >= 0) ::close(master_);
  master_ = -1;
}

}  // namespace tessaril::test

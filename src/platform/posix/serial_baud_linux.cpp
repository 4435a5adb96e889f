#include "platform/posix/serial_baud.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>

namespace tessaril::platform {

int set_baud_rate(int fd, int baud_rate) {
  if (baud_rate <= 0) return EINVAL;
  struct termios2 tio {};
  if (::ioctl(fd, TCGETS2, &tio) != 0) return errno;
  tio.c_cflag = (tio.c_cflag & ~CBAUD) | BOTHER;
  tio.c_cflag = (tio.c_cflag & ~(CBAUD << IBSHIFT)) | (BOTHER << IBSHIFT);
  tio.c_ispeed = static_cast<speed_t>(baud_rate);
  tio.c_ospeed = static_cast<speed_t>(baud_rate);
  if (::ioctl(fd, TCSETS2, &tio) != 0) return errno;
  // A driver that cannot reach the rate keeps another one without failing.
  struct termios2 check {};
  if (::ioctl(fd, TCGETS2, &check) != 0) return errno;
  if (check.c_ospeed == 0) return EINVAL;
  return 0;
}

int get_baud_rate(int fd) {
  struct termios2 tio {};
  if (::ioctl(fd, TCGETS2, &tio) != 0) return 0;
  return static_cast<int>(tio.c_ospeed);
}

}  // namespace tessaril::platform

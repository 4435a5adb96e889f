#include "link/frame_write.h"

#include "platform/serial.h"

namespace tessaril::link {

namespace {
int accepted(platform::SerialHandle port, const uint8_t* bytes, int count) {
  int n = platform::serial_write(port, bytes, count);
  return n > 0 ? n : 0;
}
}  // namespace

int write_frame(platform::SerialHandle port, const uint8_t* encoded, int length, int split) {
  if (!encoded || length <= 0) return 0;
  if (split == 0 || length <= SPLIT_AT) return accepted(port, encoded, length);
  int first = accepted(port, encoded, SPLIT_AT);
  return first + accepted(port, encoded + SPLIT_AT, length - SPLIT_AT);
}

}  // namespace tessaril::link

#include "link/frame_write.h"

#include "link/link_state.h"
#include "platform/serial.h"

namespace tessaril::link {

namespace {
int accepted(const uint8_t* bytes, int count) {
  int n = platform::serial_write(com_handle.load(), bytes, count);
  return n > 0 ? n : 0;
}
}  // namespace

int write_frame(const uint8_t* encoded, int length, int split) {
  if (!encoded || length <= 0) return 0;
  if (split == 0 || length <= SPLIT_AT) return accepted(encoded, length);
  int first = accepted(encoded, SPLIT_AT);
  return first + accepted(encoded + SPLIT_AT, length - SPLIT_AT);
}

}  // namespace tessaril::link

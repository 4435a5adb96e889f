#include "support/frames.h"

#include "link/frame_codec.h"

namespace tessaril::test {

Bytes make_frame(uint8_t code, uint8_t status, uint16_t seq, const Bytes& data) {
  Bytes f(data.size() + link::FRAME_OVERHEAD);
  link::build_frame(code, status, seq, code >= 0x70 && code <= 0x7F, data.data(), data.size(), f.data());
  return f;
}

Bytes with_bad_crc(Bytes frame) {
  frame[frame.size() - 2] ^= 0x01;
  return frame;
}

Bytes encode(const Bytes& raw) {
  Bytes out(raw.empty() ? 0 : 2 * raw.size());
  out.resize(link::rfc1055_encode(raw.data(), raw.size(), out.data()));
  return out;
}

Bytes decode(const Bytes& wire) {
  Bytes out(wire.size());
  out.resize(link::rfc1055_decode(wire.data(), wire.size(), out.data()));
  return out;
}

}  // namespace tessaril::test

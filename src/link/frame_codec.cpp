#include "link/frame_codec.h"

#include <array>

namespace tessaril::link {

namespace {

constexpr std::array<uint16_t, 256> make_crc_table() {
  std::array<uint16_t, 256> table{};
  for (unsigned i = 0; i < 256; ++i) {
    unsigned reg = i;
    for (int bit = 0; bit < 8; ++bit) reg = (reg & 1) ? (reg >> 1) ^ 0x8408u : reg >> 1;
    table[i] = static_cast<uint16_t>(reg);
  }
  return table;
}

constexpr std::array<uint16_t, 256> table_values = make_crc_table();
static_assert(table_values[1] == 0x1189 && table_values[2] == 0x2312 && table_values[3] == 0x329B);

uint16_t crc_step(uint16_t reg, uint8_t b) {
  return static_cast<uint16_t>((reg >> 8) ^ crc_table[(reg ^ b) & 0xFF]);
}

}  // namespace

const uint16_t crc_table[256] = {
#define ROW(i) table_values[(i)], table_values[(i) + 1], table_values[(i) + 2], table_values[(i) + 3]
    ROW(0),   ROW(4),   ROW(8),   ROW(12),  ROW(16),  ROW(20),  ROW(24),  ROW(28),  ROW(32),  ROW(36),  ROW(40),
    ROW(44),  ROW(48),  ROW(52),  ROW(56),  ROW(60),  ROW(64),  ROW(68),  ROW(72),  ROW(76),  ROW(80),  ROW(84),
    ROW(88),  ROW(92),  ROW(96),  ROW(100), ROW(104), ROW(108), ROW(112), ROW(116), ROW(120), ROW(124), ROW(128),
    ROW(132), ROW(136), ROW(140), ROW(144), ROW(148), ROW(152), ROW(156), ROW(160), ROW(164), ROW(168), ROW(172),
    ROW(176), ROW(180), ROW(184), ROW(188), ROW(192), ROW(196), ROW(200), ROW(204), ROW(208), ROW(212), ROW(216),
    ROW(220), ROW(224), ROW(228), ROW(232), ROW(236), ROW(240), ROW(244), ROW(248), ROW(252),
#undef ROW
};

uint16_t frame_crc(const uint8_t* bytes, size_t count) {
  uint16_t reg = CRC_INIT;
  for (size_t i = 0; i < count; ++i) reg = crc_step(reg, bytes[i]);
  return reg;
}

bool frame_crc_ok(const uint8_t* frame, size_t total) {
  if (total < 3) return false;
  // Header and data, then the stored CRC low byte before its high byte: the
  // stored order is the reverse of the usual X.25 order.
  uint16_t reg = frame_crc(frame, total - 3);
  reg = crc_step(reg, frame[total - 2]);
  reg = crc_step(reg, frame[total - 3]);
  return reg == CRC_GOOD_RESIDUE;
}

size_t rfc1055_encode(const uint8_t* raw, size_t count, uint8_t* out) {
  if (count == 0) return 0;
  size_t n = 0;
  for (size_t i = 0; i + 1 < count; ++i) {
    if (raw[i] == END) {
      out[n++] = ESC;
      out[n++] = ESC_END;
    } else if (raw[i] == ESC) {
      out[n++] = ESC;
      out[n++] = ESC_ESC;
    } else {
      out[n++] = raw[i];
    }
  }
  out[n++] = raw[count - 1];
  return n;
}

size_t rfc1055_decode(const uint8_t* encoded, size_t count, uint8_t* out) {
  if (count == 0) return 0;
  size_t n = 0;
  size_t i = 0;
  while (i + 1 < count) {
    if (encoded[i] == ESC && encoded[i + 1] == ESC_END) {
      out[n++] = END;
      i += 2;
    } else if (encoded[i] == ESC && encoded[i + 1] == ESC_ESC) {
      out[n++] = ESC;
      i += 2;
    } else {
      out[n++] = encoded[i++];
    }
  }
  // The last byte is always copied, even when an escape pair used it: the
  // result never exceeds count since every pair wrote one byte for two.
  out[n++] = encoded[count - 1];
  return n;
}

size_t finish_frame(uint8_t* frame, size_t length) {
  const uint16_t fcs = static_cast<uint16_t>(frame_crc(frame, length) ^ 0xFFFF);
  frame[length] = static_cast<uint8_t>(fcs >> 8);
  frame[length + 1] = static_cast<uint8_t>(fcs & 0xFF);
  frame[length + 2] = END;
  return length + 3;
}

size_t build_frame(uint8_t code, uint8_t status, uint16_t seq, bool extended, const uint8_t* data, size_t data_len,
                   uint8_t* out) {
  out[0] = code;
  if (extended) {
    out[1] = 0x10;
    out[2] = static_cast<uint8_t>((data_len + 6) & 0xFF);
    out[3] = status;
  } else {
    out[1] = status;
    out[2] = static_cast<uint8_t>(seq >> 8);
    out[3] = static_cast<uint8_t>(seq & 0xFF);
  }
  out[4] = static_cast<uint8_t>(data_len >> 8);
  out[5] = static_cast<uint8_t>(data_len & 0xFF);
  for (size_t i = 0; i < data_len; ++i) out[FRAME_HEADER + i] = data[i];
  return finish_frame(out, FRAME_HEADER + data_len);
}

}  // namespace tessaril::link

// One command frame as a value: what a builder makes and the editor shows.
//
// How it works: a frame is its six header bytes, its data bytes, the check
// value and the END code. build_frame lays out the header in the form the
// command code asks for (standard: status, sequence number; extended for
// 0x70..0x7F: tag 0x10, low byte of data length + 6, status), puts the data
// text and its terminating NUL into the data field and computes the
// CRC-16/X.25 over header and data. frame_bytes turns the value into the
// bytes that go on the wire, CRC high byte first, cut to the 300 bytes a
// transmit buffer holds. Nothing here touches a control or a global: the
// sequence number and the END code are parameters.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "link/frame_codec.h"

namespace tessaril::commands {

// Byte 1 of a standard header and byte 3 of an extended one.
inline constexpr uint8_t HEADER_TAG = 0x00;
// Byte 1 of an extended header.
inline constexpr uint8_t EXT_HEADER_TAG = 0x10;

// The longest data field a 300-byte frame holds. A longer data text keeps its
// declared length, but its bytes from here on are sent as the editor's filler
// (0x30, the last one 0x00): the frame is cut at 300 bytes anyway, and this
// is what the editor shows and sends for such a field.
constexpr int DATA_CAPACITY = static_cast<int>(link::FRAME_MAX - link::FRAME_OVERHEAD);  // 291

struct Frame {
  std::array<uint8_t, link::FRAME_HEADER> header{};
  std::vector<uint8_t> data;  // as many bytes as the header's data length says
  uint16_t crc = 0;           // the complemented register, sent high byte first
  uint8_t end_code = link::END;

  bool operator==(const Frame&) const = default;
};

// A frame of command `code` with sequence number seq (shown only by the
// standard header). With with_data the data field is text and its NUL, else
// it is empty and text is not read.
Frame build_frame(uint8_t code, bool with_data, std::string_view text, uint16_t seq, uint8_t end_code = link::END);

// Header, data, CRC high, CRC low and END code, cut to FRAME_MAX bytes.
std::vector<uint8_t> frame_bytes(const Frame& frame);

}  // namespace tessaril::commands

// Frames for the tests, built and taken apart with the codec of the link.
#pragma once

#include <cstdint>
#include <vector>

namespace tessaril::test {

using Bytes = std::vector<uint8_t>;

// A raw frame: header (standard form, or the extended form for codes
// 0x70-0x7F), data, CRC high byte first, END.
Bytes make_frame(uint8_t code, uint8_t status, uint16_t seq, const Bytes& data);
// The same frame with its CRC spoiled.
Bytes with_bad_crc(Bytes frame);
// The wire form of a raw frame, and back.
Bytes encode(const Bytes& raw);
Bytes decode(const Bytes& wire);

}  // namespace tessaril::test

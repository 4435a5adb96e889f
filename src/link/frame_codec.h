// Command frames: layout constants, CRC-16/X.25 and the RFC 1055 framing.
//
// A frame is a six-byte header, `data_len` data bytes, the CRC (high byte
// first) and one END code: `data_len` + 9 bytes. On the wire it is escaped as
// RFC 1055 says, with two departures that the device relies on: no END is
// written in front of the frame, and the frame's own last byte (its END code)
// is never escaped. These functions are pure: bytes in, bytes out, no port.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tessaril::link {

constexpr uint8_t END = 0xC0;
constexpr uint8_t ESC = 0xDB;
constexpr uint8_t ESC_END = 0xDC;
constexpr uint8_t ESC_ESC = 0xDD;

constexpr size_t FRAME_HEADER = 6;
constexpr size_t FRAME_OVERHEAD = 9;  // header, CRC, END code
constexpr size_t FRAME_MAX = 300;     // the longest frame the host builds
// Every byte but the last may double when escaped.
constexpr size_t FRAME_ENC_MAX = 2 * (FRAME_MAX - 1) + 1;  // 599
constexpr size_t ANSWER_READ_MAX = 255;  // an answer is read in one piece of at most this

constexpr uint16_t CRC_INIT = 0xFFFF;
constexpr uint16_t CRC_GOOD_RESIDUE = 0xF0B8;

// The byte-wise table of the reflected CCITT polynomial 0x8408.
extern const uint16_t crc_table[256];

// The CRC register after feeding `count` bytes, starting from 0xFFFF. The
// frame's check value is this register complemented.
uint16_t frame_crc(const uint8_t* bytes, size_t count);

// True when a decoded frame of `total` bytes, whose last three are CRC high,
// CRC low and END code, carries a good CRC. Fewer than three bytes: false.
bool frame_crc_ok(const uint8_t* frame, size_t total);

// Appends the check value (high byte first) and the END code to the
// `length` bytes of header and data in frame, which must hold length + 3
// bytes; returns length + 3.
size_t finish_frame(uint8_t* frame, size_t length);

// Lays out a whole frame in out (data_len + 9 bytes): the standard header
// (code, status, sequence number high and low) or, with `extended`, the
// extended one (code, 0x10, low byte of data_len + 6, status); then the
// 16-bit data length, the data, the check value and END. Requests take the
// extended form for codes 0x70-0x7F, answers for codes from 0xF0 up.
// Returns data_len + 9.
size_t build_frame(uint8_t code, uint8_t status, uint16_t seq, bool extended, const uint8_t* data, size_t data_len,
                   uint8_t* out);

// Writes the wire form of `count` raw bytes to out, which must hold
// 2 * (count - 1) + 1 bytes; returns the encoded length. count 0 writes
// nothing and reads nothing.
size_t rfc1055_encode(const uint8_t* raw, size_t count, uint8_t* out);

// Undoes the escapes of one received buffer (the whole buffer is one frame;
// malformed escapes pass through as data); returns the decoded length, never
// more than count. count 0 writes nothing.
size_t rfc1055_decode(const uint8_t* encoded, size_t count, uint8_t* out);

}  // namespace tessaril::link

// Finding the answer to the frame written among the bytes the line brings.
//
// How it works: the receive thread gathers what it reads and hands it here
// piece by piece. A piece ends at a raw END code (an END inside a frame is
// escaped, so the first raw one closes a frame). Within a piece, the answer
// starts at the first byte with bit 7 set from which the rest decodes to a
// frame whose length is the one its header announces; bytes in front of it
// are stale (what is left of a Kermit packet, line noise). Past the first
// byte a frame must also carry a good CRC or the awaited code, so that a
// stale byte that happens to look like a header is not taken for one.
//
// A frame is the awaited answer when its code is the written frame's code
// with bit 7 set and its sequence number (standard header only) is not that
// of an earlier frame: the device echoes the sequence number, so an answer
// whose number lies up to STRAY_WINDOW frames back answers one of those.
// Anything else is a stray: an answer sent twice, one that came late, our own
// frame on a looped-back line. These functions are pure.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tessaril::link {

// What the link knows of the frame it wrote last, packed into one word so
// that the send thread can hand it over atomically: bit 31 set when a frame
// was written, bits 16-23 its code, bit 24 set for the standard header, bits
// 0-15 its sequence number.
uint32_t written_frame_mark(const uint8_t* raw, int raw_len);

struct ExpectedAnswer {
  bool known = false;  // false: any frame is taken as the answer
  uint8_t code = 0;    // the written code with bit 7 set
  bool has_seq = false;
  uint16_t seq = 0;
};

ExpectedAnswer expected_answer(uint32_t mark);

constexpr int STRAY_WINDOW = 256;

enum class PieceKind {
  NeedMore,  // no END yet: the piece may still be arriving
  Stale,     // bytes in front of a frame, or an END-closed piece that is no frame
  Stray,     // a whole frame that is not the awaited answer
  Answer,    // the awaited answer, up to and including its END
  Unframed,  // the last piece ends in END but holds no frame: judged as it is
};

struct Piece {
  PieceKind kind = PieceKind::NeedMore;
  size_t length = 0;  // bytes from the front that the piece takes
};

// The next piece at the front of `count` gathered bytes.
Piece next_piece(const uint8_t* bytes, size_t count, const ExpectedAnswer& expected);

// True when a decoded frame of `length` bytes answers the expected frame.
bool answers(const uint8_t* frame, size_t length, const ExpectedAnswer& expected);

}  // namespace tessaril::link

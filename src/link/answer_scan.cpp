#include "link/answer_scan.h"

#include "link/answer_check.h"
#include "link/frame_codec.h"

namespace tessaril::link {

namespace {

constexpr uint32_t MARK_WRITTEN = 0x80000000u;
constexpr uint32_t MARK_STANDARD = 0x01000000u;
constexpr uint8_t EXTENDED_TAG = 0x10;
constexpr uint8_t ANSWER_BIT = 0x80;

bool extended_request(const uint8_t* raw, int raw_len) {
  return raw_len >= 2 && raw[0] >= 0x70 && raw[0] <= 0x7F && raw[1] == EXTENDED_TAG;
}

// The decoded form of bytes[0, count) when it is a whole frame of the length
// its header announces; 0 otherwise.
size_t frame_shape(const uint8_t* bytes, size_t count, uint8_t* decoded) {
  if (count < FRAME_OVERHEAD || count > FRAME_ENC_MAX) return 0;
  const size_t m = rfc1055_decode(bytes, count, decoded);
  if (m < FRAME_OVERHEAD) return 0;
  const size_t announced = static_cast<size_t>(decoded[4]) * 256 + decoded[5] + FRAME_OVERHEAD;
  return m == announced ? m : 0;
}

// Sequence numbers run 1..0xFFFF and wrap to 1: how many frames back `seq` is.
int frames_back(uint16_t written, uint16_t seq) { return (written - seq + 0xFFFF) % 0xFFFF; }

}  // namespace

uint32_t written_frame_mark(const uint8_t* raw, int raw_len) {
  if (!raw || raw_len < 1) return 0;
  uint32_t mark = MARK_WRITTEN | static_cast<uint32_t>(raw[0]) << 16;
  if (raw_len >= 4 && !extended_request(raw, raw_len)) mark |= MARK_STANDARD | (raw[2] << 8 | raw[3]);
  return mark;
}

ExpectedAnswer expected_answer(uint32_t mark) {
  ExpectedAnswer e;
  if (!(mark & MARK_WRITTEN)) return e;
  e.known = true;
  e.code = static_cast<uint8_t>((mark >> 16 & 0xFF) | ANSWER_BIT);
  e.has_seq = (mark & MARK_STANDARD) != 0;
  e.seq = static_cast<uint16_t>(mark & 0xFFFF);
  return e;
}

bool answers(const uint8_t* frame, size_t length, const ExpectedAnswer& expected) {
  if (!expected.known) return true;
  if (length < FRAME_HEADER || frame[0] != expected.code) return false;
  // Extended answers carry no sequence number; neither does a device that
  // answers 0 there, which no frame of ours carries.
  if (!expected.has_seq || frame[0] >= ANSWER_EXTENDED_FIRST) return true;
  const auto seq = static_cast<uint16_t>(frame[2] << 8 | frame[3]);
  if (seq == expected.seq || seq == 0) return true;
  const int back = frames_back(expected.seq, seq);
  return back < 1 || back > STRAY_WINDOW;
}

Piece next_piece(const uint8_t* bytes, size_t count, const ExpectedAnswer& expected) {
  uint8_t decoded[FRAME_ENC_MAX];
  // Pieces that hold no frame run together into one stale stretch.
  size_t from = 0;
  for (;;) {
    size_t end = from;
    while (end < count && bytes[end] != END) ++end;
    if (end == count) return from > 0 ? Piece{PieceKind::Stale, from} : Piece{PieceKind::NeedMore, 0};
    const size_t piece_end = end + 1;
    for (size_t start = from; start + FRAME_OVERHEAD <= piece_end; ++start) {
      if (!(bytes[start] & ANSWER_BIT)) continue;
      const size_t m = frame_shape(bytes + start, piece_end - start, decoded);
      if (m == 0) continue;
      // Behind stale bytes a look-alike must prove itself.
      if (start > 0 && decoded[0] != expected.code && !frame_crc_ok(decoded, m)) continue;
      if (start > 0) return {PieceKind::Stale, start};
      return {answers(decoded, m, expected) ? PieceKind::Answer : PieceKind::Stray, piece_end};
    }
    if (piece_end == count) return from > 0 ? Piece{PieceKind::Stale, from} : Piece{PieceKind::Unframed, piece_end};
    from = piece_end;
  }
}

}  // namespace tessaril::link

#include "kermit/kermit_line.h"

#include <cstdint>

#include "platform/serial.h"

namespace tessaril::kermit {

namespace {

// MARK, the longest packet, its end of line and a pad: what a whole packet
// puts on the line.
int whole_packet(const KermitState* k) { return k->recv_maxlen + 4; }

}  // namespace

int feed_packet_byte(const KermitState* k, PacketReader* reader, uint8_t byte, char* buf) {
  const uint8_t ch = k->line_parity ? (byte & 127) : byte;
  if (k->ctrlc_abort && ch == 3) {
    if (++reader->ctrlc_run >= 3) return -1;
  } else {
    reader->ctrlc_run = 0;
  }
  if (reader->stored < 0) {
    if (ch == static_cast<uint8_t>(k->recv_mark)) {
      reader->stored = 0;
      return READ_GO_ON;
    }
    if (++reader->skipped >= whole_packet(k)) return -2;
    return READ_GO_ON;
  }
  if (ch == static_cast<uint8_t>(k->recv_mark)) {
    // A second mark does not restart the packet, but a line of nothing but
    // marks must not keep the read going.
    if (++reader->dropped + reader->stored >= whole_packet(k)) return 0;
    return READ_GO_ON;
  }
  if (ch == static_cast<uint8_t>(k->recv_eol) || ch == 10) {
    buf[reader->stored] = '\0';
    return reader->stored;
  }
  // recv_maxlen + 1 bytes fit (the buffer holds them and a terminator); the
  // marks dropped count toward a whole packet's worth as well.
  if (reader->stored > k->recv_maxlen || reader->stored >= RSLOT_BUF - 2 ||
      reader->stored + reader->dropped + 1 >= whole_packet(k))
    return 0;
  buf[reader->stored++] = static_cast<char>(byte);
  return READ_GO_ON;
}

int readpkt(KermitState* k, char* buf, int /*len*/) {
  if (!buf || !platform::serial_is_open(k->port)) return -1;
  PacketReader reader;
  for (;;) {
    uint8_t byte = 0;
    int got = platform::serial_read(k->port, &byte, 1);
    if (got < 0) return -1;
    if (got == 0) return -2;
    int result = feed_packet_byte(k, &reader, byte, buf);
    if (result != READ_GO_ON) return result;
  }
}

int tx_data(KermitState* k, const char* bytes, int count) {
  if (count <= 0) return 0;
  const int budget = k->write_budget;
  int calls = 0;
  const auto* p = reinterpret_cast<const uint8_t*>(bytes);
  while (count > 0) {
    if (calls >= budget) return -1;
    ++calls;
    int written = platform::serial_write(k->port, p, count);
    if (written > 0) {
      p += written;
      count -= written;
    }
  }
  return 0;
}

}  // namespace tessaril::kermit

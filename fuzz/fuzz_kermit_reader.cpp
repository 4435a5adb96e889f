// The Kermit packet reader over a byte stream, and the verification of each
// packet it ends.
//
// Input: byte 0 the reader's and the verifier's settings (parity, Ctrl-C
// abort, direction, block check, forced CRC, awaiting the init's answer),
// byte 1 the longest packet accepted (10-94); the rest is the line. Checked:
// every read ends within two packets' worth of bytes; a packet stored holds
// no mark and no end of line and fits recv_maxlen + 1 bytes of a buffer of
// exactly RSLOT_BUF bytes; three Ctrl-C end a read only when asked for; the
// verifier never reads past the terminator (the rest of the slot is poisoned
// under AddressSanitizer); and a packet it accepts is exactly the packet that
// spkt builds from its sequence number, type and data with the block check
// that matched (only a SEQ character beyond '_' differs: it names no sequence
// number, and the engine's sequence check never matches it).
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "kermit/kermit_line.h"
#include "kermit/kermit_packet.h"

using namespace tessaril;
using namespace tessaril::kermit;

namespace {

std::string sent;  // what spkt handed to the line

int capture(KermitState*, const char* bytes, int count) {
  sent.assign(bytes, static_cast<size_t>(count));
  return 0;
}

// The packet rebuilt from what the verifier took out of it.
void check_rebuilt(const KermitState& k, const std::string& body, const RecvSlot& s) {
  const int chk = s.length - 2 - s.data_len;
  FUZZ_CHECK(chk >= 1 && chk <= 3, "the check matched has 1 to 3 characters");
  auto q = std::make_unique<KermitState>();
  init_crc_tables(q.get());
  q->bct = static_cast<int16_t>(chk);
  q->send_mark = k.recv_mark;
  q->send_eol = k.recv_eol;
  q->tx_data = capture;
  FUZZ_CHECK(spkt(s.type, s.seq, s.data_len, s.data, q.get()) == 0, "spkt sends");
  const std::string expected = std::string(1, static_cast<char>(k.recv_mark)) + body + static_cast<char>(k.recv_eol);
  FUZZ_CHECK(sent == expected, "an accepted packet is the packet spkt builds from it");
}

void check_packet(KermitState& k, const std::string& body) {
  const int n = static_cast<int>(body.size());
  char* slot = k.rslot_buf[0];
  std::memcpy(slot, body.data(), body.size());
  slot[n] = '\0';
  // Whatever lies after the terminator is not part of the packet.
  ASAN_POISON_MEMORY_REGION(slot + n + 1, RSLOT_BUF - n - 1);
  const PacketCheck c = verify_packet(&k, 0, n);
  ASAN_UNPOISON_MEMORY_REGION(slot + n + 1, RSLOT_BUF - n - 1);
  const RecvSlot& s = k.rslots[0];
  if (c != PacketCheck::ok && c != PacketCheck::peer_error) return;
  FUZZ_CHECK(n >= 4, "an accepted packet has LEN, SEQ, TYPE and a check");
  FUZZ_CHECK(s.length == n - 1 && s.data == slot + 3, "LEN counts the bytes that arrived");
  FUZZ_CHECK(s.data_len >= 0 && s.data[s.data_len] == '\0', "the data field ends where the check begins");
  FUZZ_CHECK(c == PacketCheck::ok || s.type == 'E', "only an 'E' is a peer error");
  // A SEQ character beyond '_' names no sequence number: the engine's
  // sequence check (0-63) never takes it for one.
  if (s.seq > 63) return;
  check_rebuilt(k, body, s);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in{data, size};
  const uint8_t flags = in.take();
  auto k = std::make_unique<KermitState>();
  init_crc_tables(k.get());
  k->line_parity = flags & 1;
  k->ctrlc_abort = (flags >> 1) & 1;
  k->direction = static_cast<int16_t>((flags >> 2) & 1 ? 2 : 1);
  k->bct = static_cast<int16_t>(1 + (flags >> 3) % 3);
  k->force_crc = (flags >> 5) & 1;
  if ((flags >> 6) & 1) k->state = S_AWAIT_INIT_ACK;
  k->recv_maxlen = 10 + in.take() % 85;
  const int whole = k->recv_maxlen + 4;

  std::unique_ptr<char[]> buf(new char[RSLOT_BUF]);
  PacketReader reader;
  int consumed = 0;  // bytes of the current read
  int ctrlc = 0;     // Ctrl-C bytes in a row
  while (in.size > 0) {
    const uint8_t byte = in.take();
    ++consumed;
    const uint8_t seen = k->line_parity ? (byte & 127) : byte;
    ctrlc = seen == 3 ? ctrlc + 1 : 0;
    const int result = feed_packet_byte(k.get(), &reader, byte, buf.get());
    if (result == READ_GO_ON) {
      FUZZ_CHECK(consumed < 2 * whole, "a read ends within two packets' worth of bytes");
      continue;
    }
    if (result == -1) FUZZ_CHECK(k->ctrlc_abort && ctrlc >= 3, "three Ctrl-C end a read, only when asked");
    FUZZ_CHECK(result >= -2 && result <= k->recv_maxlen + 1, "a packet fits recv_maxlen + 1 bytes");
    if (result > 0) {
      FUZZ_CHECK(buf[result] == '\0', "the packet is terminated");
      for (int i = 0; i < result; ++i) {
        const uint8_t b = k->line_parity ? (buf[i] & 127) : static_cast<uint8_t>(buf[i]);
        FUZZ_CHECK(b != k->recv_mark && b != k->recv_eol && b != 10, "no mark and no end of line inside");
      }
      check_packet(*k, std::string(buf.get(), static_cast<size_t>(result)));
    }
    reader = PacketReader{};
    consumed = 0;
    ctrlc = 0;
  }
  return 0;
}

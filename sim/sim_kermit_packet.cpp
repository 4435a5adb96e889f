#include "sim_kermit_packet.h"

#include <algorithm>

namespace tessaril::sim::peer {

uint16_t kermit_crc(const uint8_t* bytes, size_t count) {
  // Bit by bit on purpose: the host computes this with tables, and two ways
  // of working it out should agree only when both are right.
  uint16_t crc = 0;
  for (size_t i = 0; i < count; ++i) {
    crc ^= bytes[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0x8408) : static_cast<uint16_t>(crc >> 1);
  }
  return crc;
}

Bytes block_check(int type, const uint8_t* bytes, size_t count) {
  if (type == 3) {
    const uint16_t crc = kermit_crc(bytes, count);
    return {tochar((crc >> 12) & 0x0F), tochar((crc >> 6) & 0x3F), tochar(crc & 0x3F)};
  }
  unsigned sum = 0;
  for (size_t i = 0; i < count; ++i) sum += bytes[i];
  if (type == 2) return {tochar(static_cast<int>((sum >> 6) & 0x3F)), tochar(static_cast<int>(sum & 0x3F))};
  return {tochar(static_cast<int>((sum + ((sum & 0xC0) >> 6)) & 0x3F))};
}

Bytes build_packet(const Packet& packet, int check_type, const Framing& framing) {
  Bytes wire(static_cast<size_t>(framing.npad), framing.padc);
  wire.push_back(SOH);
  const size_t from = wire.size();
  wire.push_back(tochar(static_cast<int>(packet.data.size()) + 2 + check_type));
  wire.push_back(tochar(packet.seq & 63));
  wire.push_back(static_cast<uint8_t>(packet.type));
  wire.insert(wire.end(), packet.data.begin(), packet.data.end());
  const Bytes check = block_check(check_type, wire.data() + from, wire.size() - from);
  wire.insert(wire.end(), check.begin(), check.end());
  wire.push_back(framing.eol);
  return wire;
}

ReadEvent reader_push(PacketReader& reader, uint8_t byte) {
  reader.ctrl_c = byte == CANCEL_BYTE ? reader.ctrl_c + 1 : 0;
  if (reader.ctrl_c >= 3) {
    reader = PacketReader{};
    return ReadEvent::Cancel;
  }
  if (byte == SOH) {
    reader.phase = 1;
    reader.text.clear();
    return ReadEvent::None;
  }
  if (reader.phase == 0) return ReadEvent::None;
  reader.text.push_back(byte);
  if (reader.phase == 1) {
    const int len = unchar(byte);
    // At least SEQ, TYPE and one check character; 0 to 2 would announce an
    // extended-length packet, which this device does not take.
    if (len < 3 || len > MAX_LEN) {
      reader.phase = 0;
      return ReadEvent::BadLen;
    }
    reader.need = len;
    reader.phase = 2;
    return ReadEvent::None;
  }
  if (--reader.need > 0) return ReadEvent::None;
  reader.phase = 0;
  return ReadEvent::Packet;
}

char packet_type(const Bytes& text) { return text.size() >= 3 ? static_cast<char>(text[2]) : '\0'; }

int packet_seq(const Bytes& text) { return text.size() >= 2 ? unchar(text[1]) : -1; }

bool open_packet(const Bytes& text, int check_type, Packet& packet) {
  if (text.empty()) return false;
  const int len = unchar(text[0]);
  const int data_len = len - 2 - check_type;
  if (data_len < 0 || text.size() != static_cast<size_t>(len) + 1) return false;
  const size_t checked = 3 + static_cast<size_t>(data_len);
  const Bytes expected = block_check(check_type, text.data(), checked);
  if (!std::equal(expected.begin(), expected.end(), text.begin() + static_cast<std::ptrdiff_t>(checked))) return false;
  const int seq = unchar(text[1]);
  if (seq < 0 || seq > 63) return false;
  packet.seq = seq;
  packet.type = static_cast<char>(text[2]);
  packet.data.assign(text.begin() + 3, text.begin() + static_cast<std::ptrdiff_t>(checked));
  return true;
}

}  // namespace tessaril::sim::peer

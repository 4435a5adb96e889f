// Kermit packets as the simulated BUC writes and reads them.
//
// How it works: a packet on the line is MARK (SOH), LEN, SEQ, TYPE, DATA,
// CHECK and the end-of-line character, optionally preceded by pad characters.
// LEN is tochar of the number of characters after it, the check included;
// SEQ is tochar of the sequence number 0..63. The check covers LEN through the
// last data character and is one of three kinds: type 1, a 6-bit folded sum in
// one character; type 2, a 12-bit sum in two; type 3, the Kermit CRC-CCITT
// (reflected polynomial 0x8408, start 0) in three characters of 4, 6 and 6
// bits. The reader is fed one byte at a time. It hunts for SOH, takes LEN,
// then exactly LEN more characters, so it finds the end of a packet by its
// length and not by its end-of-line character. A SOH inside a packet starts
// the packet again. Three 0x03 bytes in a row, in or out of a packet, are the
// host's cancel sequence.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tessaril::sim::peer {

using Bytes = std::vector<uint8_t>;

constexpr uint8_t SOH = 0x01;
constexpr uint8_t CANCEL_BYTE = 0x03;
constexpr int MAX_LEN = 94;   // the largest LEN a normal packet can carry
constexpr int MIN_MAXL = 10;  // the shortest packets either side may ask for

constexpr uint8_t tochar(int x) { return static_cast<uint8_t>(x + 32); }
// The value of a character that tochar made; negative for a control character.
constexpr int unchar(uint8_t c) { return static_cast<int>(c) - 32; }
constexpr uint8_t ctl(uint8_t c) { return static_cast<uint8_t>(c ^ 64); }

// CRC-CCITT as the Kermit check of type 3 computes it.
uint16_t kermit_crc(const uint8_t* bytes, size_t count);

// The check characters of type 1, 2 or 3 over bytes.
Bytes block_check(int type, const uint8_t* bytes, size_t count);

struct Packet {
  int seq = 0;
  char type = 0;
  Bytes data;
};

struct Framing {
  uint8_t eol = 13;  // the end-of-line character the other side asked for
  int npad = 0;      // pad characters the other side asked for before each packet
  uint8_t padc = 0;
};

// The packet as it goes on the line.
Bytes build_packet(const Packet& packet, int check_type, const Framing& framing);

struct PacketReader {
  int phase = 0;   // 0 hunting for SOH, 1 awaiting LEN, 2 in the packet
  int need = 0;    // characters still to come after LEN
  Bytes text;      // LEN and what followed it
  int ctrl_c = 0;  // 0x03 bytes in a row
};

enum class ReadEvent {
  None,     // nothing complete yet
  Packet,   // reader.text holds LEN and LEN characters
  BadLen,   // a LEN character no packet can have
  Cancel,   // the third 0x03 in a row
};

ReadEvent reader_push(PacketReader& reader, uint8_t byte);

// Takes apart the text of a packet (LEN and what followed it) with a check of
// check_type. False when the lengths do not add up or the check differs.
bool open_packet(const Bytes& text, int check_type, Packet& packet);

// The TYPE and SEQ of a packet text before its check is known, for choosing
// the check; type 0 when the text is too short.
char packet_type(const Bytes& text);
int packet_seq(const Bytes& text);

}  // namespace tessaril::sim::peer

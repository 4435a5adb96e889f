// The send-init exchange: the parameters each side announces and what the
// two of them agree on.
//
// How it works: the data field of an 'S' packet, and of the acknowledgement
// that answers it, lists MAXL, TIME, NPAD, PADC, EOL, QCTL, QBIN, CHKT, REPT
// and CAPAS, one character each, in that order. A field the packet does not
// carry takes the protocol's default: MAXL 80, no padding, EOL CR, QCTL '#',
// no 8th-bit prefix, block check 1, no repeat prefix, no capabilities. So a
// field that was cut off is never in force. Each side announces what it takes
// (MAXL, TIME, padding, EOL, its own QCTL), and the sender of a packet obeys
// the other side's values. The optional features need both sides:
//   - block check: the type both announced, else type 1;
//   - repeat prefix: the same prefix character on both sides;
//   - 8th-bit prefix: one side names a prefix character and the other says
//     'Y' or names the same character;
//   - attribute packets: capability bit 8 on both sides.
// A prefix character is one of 33-62 or 96-126, and the three prefixes in
// force must differ from each other and from either side's QCTL.
#pragma once

#include "sim_kermit_packet.h"

namespace tessaril::sim::peer {

constexpr int CAPAS_ATTRIBUTES = 8;
// The time-out used before the other side's TIME is known, and for a TIME of 0.
constexpr int FALLBACK_TIMER_MS = 1000;

struct InitParams {
  int maxl = 80;
  int time = 5;
  int npad = 0;
  uint8_t padc = 0;
  uint8_t eol = 13;
  uint8_t qctl = '#';
  uint8_t qbin = 'N';
  int chkt = 1;
  uint8_t rept = ' ';
  int capas = 0;
};

struct Agreement {
  int check = 1;
  bool qbin_on = false;
  uint8_t qbin = 0;
  bool rept_on = false;
  uint8_t rept = 0;
  bool attributes = false;
  uint8_t my_qctl = '#';     // prefixes control characters in what this side sends
  uint8_t their_qctl = '#';  // prefixes them in what the other side sends
  int their_maxl = 80;       // the longest packet the other side takes, 10..94
  int timer_ms = FALLBACK_TIMER_MS;  // the other side's TIME
  Framing framing;           // the other side's EOL and padding
};

// True for a character that may serve as a prefix.
bool prefix_char(uint8_t c);

// The ten fields MAXL..CAPAS as they go into the data field.
Bytes encode_params(const InitParams& params);
// The fields of a received data field; missing or meaningless ones take the
// protocol's defaults.
InitParams decode_params(const Bytes& data);

Agreement agree(const InitParams& mine, const InitParams& theirs);

}  // namespace tessaril::sim::peer

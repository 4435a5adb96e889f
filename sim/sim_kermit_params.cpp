#include "sim_kermit_params.h"

#include <algorithm>

namespace tessaril::sim::peer {

bool prefix_char(uint8_t c) { return (c >= 33 && c <= 62) || (c >= 96 && c <= 126); }

Bytes encode_params(const InitParams& p) {
  return {tochar(p.maxl),
          tochar(p.time),
          tochar(p.npad),
          ctl(p.padc),
          tochar(p.eol),
          p.qctl,
          p.qbin,
          static_cast<uint8_t>('0' + p.chkt),
          p.rept,
          tochar(p.capas)};
}

InitParams decode_params(const Bytes& d) {
  InitParams p;
  const size_t n = d.size();
  // Printable characters only: a control byte in the field is meaningless.
  auto value = [&](size_t i) { return i < n && d[i] >= 32 && d[i] <= 126 ? unchar(d[i]) : -1; };
  if (value(0) > 0) p.maxl = std::min(value(0), MAX_LEN);
  if (value(1) >= 0) p.time = value(1);
  if (value(2) >= 0) p.npad = value(2);
  if (n > 3) p.padc = ctl(d[3]);
  if (value(4) >= 1 && value(4) < 32) p.eol = static_cast<uint8_t>(value(4));
  if (n > 5 && prefix_char(d[5])) p.qctl = d[5];
  if (n > 6) p.qbin = d[6];
  if (n > 7 && d[7] >= '1' && d[7] <= '3') p.chkt = d[7] - '0';
  if (n > 8) p.rept = d[8];
  if (value(9) >= 0) p.capas = value(9);
  return p;
}

Agreement agree(const InitParams& mine, const InitParams& theirs) {
  Agreement a;
  a.my_qctl = mine.qctl;
  a.their_qctl = theirs.qctl;
  a.check = mine.chkt == theirs.chkt ? mine.chkt : 1;
  auto free_prefix = [&](uint8_t c) { return prefix_char(c) && c != mine.qctl && c != theirs.qctl; };
  a.rept_on = free_prefix(mine.rept) && mine.rept == theirs.rept;
  a.rept = a.rept_on ? mine.rept : 0;
  uint8_t q = 0;
  if (prefix_char(mine.qbin) && (theirs.qbin == 'Y' || theirs.qbin == mine.qbin)) {
    q = mine.qbin;
  } else if (mine.qbin == 'Y' && prefix_char(theirs.qbin)) {
    q = theirs.qbin;
  }
  a.qbin_on = q != 0 && free_prefix(q) && !(a.rept_on && q == a.rept);
  a.qbin = a.qbin_on ? q : 0;
  a.attributes = (mine.capas & CAPAS_ATTRIBUTES) && (theirs.capas & CAPAS_ATTRIBUTES);
  a.their_maxl = std::clamp(theirs.maxl, MIN_MAXL, MAX_LEN);
  a.timer_ms = theirs.time > 0 ? theirs.time * 1000 : FALLBACK_TIMER_MS;
  a.framing = Framing{theirs.eol, theirs.npad, theirs.padc};
  return a;
}

}  // namespace tessaril::sim::peer

#include "kermit/kermit_packet.h"

#include <algorithm>
#include <cstring>

namespace tessaril::kermit {

namespace {

constexpr uint16_t crc_lo_values[16] = {0x0000, 0x1189, 0x2312, 0x329B, 0x4624, 0x57AD, 0x6536, 0x74BF,
                                        0x8C48, 0x9DC1, 0xAF5A, 0xBED3, 0xCA6C, 0xDBE5, 0xE97E, 0xF8F7};

// Prefix characters the protocol allows: printable, and not a letter or digit.
bool valid_prefix(char c) {
  auto u = static_cast<uint8_t>(c);
  return (u >= 33 && u <= 62) || (u >= 96 && u <= 126);
}

// The peer's MAXL field.
int maxl_field(char c) {
  int maxl = unchar(c);
  if (maxl == 0) maxl = 80;  // blank: the protocol's default
  return std::clamp(maxl, 10, MAX_PACKET);
}

uint16_t sum_of(const char* text, int count) {
  uint16_t s = 0;
  for (int i = 0; i < count; ++i) s = static_cast<uint16_t>(s + static_cast<uint8_t>(text[i]));
  return s;
}

// Compares the `chk` check characters at `check` with the text before them,
// character by character: a check character with a stray high bit is a
// damaged packet, even where its bits would add up to the right value.
bool check_matches(const KermitState* k, const char* text, int count, const char* check, int chk) {
  switch (chk) {
    case 1:
      return check[0] == tochar(check_type1(text, count));
    case 2: {
      const uint16_t s = check_type2(text, count);
      return check[0] == tochar((s >> 6) & 63) && check[1] == tochar(s & 63);
    }
    case 3: {
      const uint16_t crc = check_type3(k, text, count);
      return check[0] == tochar((crc >> 12) & 15) && check[1] == tochar((crc >> 6) & 63) &&
             check[2] == tochar(crc & 63);
    }
    default:
      return false;
  }
}

}  // namespace

void init_crc_tables(KermitState* k) {
  for (int i = 0; i < 16; ++i) {
    k->crc_hi_nibble[i] = static_cast<uint16_t>(i * 0x1081);
    k->crc_lo_nibble[i] = crc_lo_values[i];
  }
}

uint16_t check_type1(const char* text, int count) {
  uint16_t s = sum_of(text, count);
  return static_cast<uint16_t>((s + ((s >> 6) & 3)) & 63);
}

uint16_t check_type1(const char* text) { return check_type1(text, static_cast<int>(std::strlen(text))); }

uint16_t check_type2(const char* text, int count) { return sum_of(text, count); }

uint16_t check_type2(const char* text) { return check_type2(text, static_cast<int>(std::strlen(text))); }

uint16_t check_type3(const KermitState* k, const char* text, int count) {
  uint16_t crc = 0;
  for (int i = 0; i < count; ++i) {
    unsigned x = (static_cast<uint8_t>(text[i]) ^ crc) & 0xFF;
    crc = static_cast<uint16_t>(k->crc_hi_nibble[(x >> 4) & 15] ^ k->crc_lo_nibble[x & 15] ^ (crc >> 8));
  }
  return crc;
}

uint16_t check_type3(const KermitState* k, const char* text) {
  return check_type3(k, text, static_cast<int>(std::strlen(text)));
}

int check_length(const KermitState* k) {
  if (k->force_crc) return 3;
  return (k->bct >= 1 && k->bct <= 3) ? k->bct : 1;
}

int max_data_for_peer(const KermitState* k) {
  int maxl = std::clamp<int>(k->send_maxlen, 10, MAX_PACKET);
  return maxl - check_length(k) - 2;
}

int init_fields_for_peer(const KermitState* k) {
  const int chk = k->force_crc ? 3 : 1;  // init packets travel with check 1
  return std::clamp(std::clamp<int>(k->send_maxlen, 10, MAX_PACKET) - chk - 2, 0, PARAM_TEXT_SIZE - 1);
}

int spkt(char type, int seq, int len, const char* data, KermitState* k) {
  if (len < 0) len = data ? static_cast<int>(std::strlen(data)) : 0;
  if (!data) len = 0;
  const int chk = check_length(k);
  // LEN = data + check + 2 stays within the peer's MAXL (and so printable):
  // the callers fit their fields, this only makes sure.
  len = std::min(len, max_data_for_peer(k));

  char* p = k->out_packet;
  p[0] = static_cast<char>(k->send_mark & 0xFF);
  p[1] = tochar(len + chk + 2);
  p[2] = tochar(seq & 63);
  p[3] = type;
  if (len > 0) std::memcpy(p + 4, data, static_cast<size_t>(len));
  int end = 4 + len;
  const char* text = p + 1;
  const int text_len = end - 1;
  switch (chk) {
    case 1:
      p[end++] = tochar(check_type1(text, text_len));
      break;
    case 2: {
      uint16_t s = check_type2(text, text_len);
      p[end++] = tochar((s >> 6) & 63);
      p[end++] = tochar(s & 63);
      break;
    }
    default: {
      uint16_t crc = check_type3(k, text, text_len);
      p[end++] = tochar((crc >> 12) & 15);
      p[end++] = tochar((crc >> 6) & 63);
      p[end++] = tochar(crc & 63);
      break;
    }
  }
  p[end++] = static_cast<char>(k->send_eol & 0xFF);
  p[end] = '\0';
  k->send_seq = static_cast<int16_t>(seq & 63);
  k->out_packet_len = end;
  if (!k->tx_data) return -1;
  return k->tx_data(k, p, end);
}

int ack(KermitState* k, int seq, const char* text) {
  int len = text ? static_cast<int>(std::strlen(text)) : 0;
  len = std::min(len, max_data_for_peer(k));
  int result = spkt('Y', seq, len, text, k);
  std::memcpy(k->last_ack, k->out_packet, sizeof k->last_ack);
  k->last_ack_len = k->out_packet_len;
  if (result == 0) k->recv_seq = static_cast<int16_t>((k->recv_seq + 1) % 64);
  return result;
}

int resend_ack(KermitState* k) {
  if (k->last_ack_len <= 0) return 0;
  if (!k->tx_data) return -1;
  return k->tx_data(k, k->last_ack, k->last_ack_len);
}

bool count_retry(KermitState* k, int slot) {
  if (slot < 0 || slot >= RSLOT_COUNT) return false;
  RecvSlot& s = k->rslots[slot];
  const int before = s.retries;
  if (s.retries < INT16_MAX) ++s.retries;
  return before > k->retry_limit;
}

int send_nak(KermitState* k, int seq, int slot) {
  int result = spkt('N', seq, 0, nullptr, k);
  return count_retry(k, slot) ? -1 : result;
}

int send_error(const char* text, KermitState* k) {
  if (!k->force_crc) k->bct = 1;
  int len = text ? static_cast<int>(std::strlen(text)) : 0;
  len = std::min(len, max_data_for_peer(k));
  return spkt('E', 0, len, text, k);
}

int resend_last(KermitState* k) {
  if (k->out_packet_len <= 0) return 0;
  if (!k->tx_data) return -1;
  return k->tx_data(k, k->out_packet, k->out_packet_len);
}

int next_seq(KermitState* k) {
  k->send_seq = static_cast<int16_t>((k->send_seq + 1) % 64);
  k->xdata = k->xdata_area;
  return 0;
}

int rpar(KermitState* k, char type) {
  if (type != 'S' && type != 'Y') return -1;
  char* t = k->param_text;
  t[0] = tochar(MAX_PACKET);
  t[1] = tochar(k->own_timeout);
  t[2] = tochar(0);
  t[3] = ctl(0);
  t[4] = tochar(k->recv_eol);
  t[5] = k->send_ctl_prefix;
  if (k->ebq == 'Y' && k->line_parity) k->ebq = '&';
  t[6] = k->ebq;
  t[7] = k->force_crc ? '5' : static_cast<char>('0' + k->bct);
  t[8] = k->rpt_prefix;
  t[9] = tochar(k->capability_bits);
  t[10] = tochar(k->window_size);
  // What does not fit the peer's packets does not go out (and is not in
  // force: answer_send_init). The fields are known by their place, so none
  // can be skipped to keep a later one: CAPAS, the tenth, needs MAXL 13 with
  // check 1; below that the peer learns nothing of our attribute packets and
  // sends none, and the size is judged without them.
  const int n = init_fields_for_peer(k);
  t[n] = '\0';

  int16_t saved = k->bct;
  if (!k->force_crc) k->bct = 1;
  int result = type == 'S' ? spkt('S', 0, n, t, k) : ack(k, 0, t);
  k->bct = saved;
  return result;
}

void peer_params(KermitState* k, const char* data, int len) {
  const char* p = data;
  if (len > 0) k->send_maxlen = maxl_field(p[0]);
  if (len > 1) k->peer_timeout = unchar(p[1]);
  if (len > 4) {
    // The peer's end of packet must be a control character other than our mark.
    int eol = unchar(p[4]);
    k->send_eol = static_cast<int16_t>((eol == 0 || eol > 31 || eol == k->send_mark) ? 13 : eol);
  }
  if (len > 5) k->recv_ctl_prefix = valid_prefix(p[5]) ? p[5] : '#';
  // 8th-bit prefixing is in force only with a prefix that cannot be taken for
  // the control or the repeat prefix; any other QBIN means none, and is
  // never echoed: our answer then says 'N'.
  k->ebqflg = 0;
  if (len > 6) {
    const char rept = len > 8 ? p[8] : '\0';
    char q = p[6];
    if (q == 'Y' && k->line_parity) q = '&';  // the peer is willing and we asked
    if (valid_prefix(q) && q != k->recv_ctl_prefix && q != k->send_ctl_prefix && q != rept) {
      k->ebq = q;
      k->line_parity = 1;
      k->ebqflg = 1;
    } else {
      k->ebq = q == 'Y' ? 'Y' : 'N';
    }
  }
  int b = len > 7 ? p[7] - '0' : 1;
  k->bct = static_cast<int16_t>(k->force_crc ? 3 : (b >= 1 && b <= 3) ? b : 1);
  k->rpt_on = 0;
  if (len > 8) {
    char rp = p[8];
    // A repeat prefix equal to a quoting prefix could not be told apart.
    if (valid_prefix(rp) && rp != k->recv_ctl_prefix && rp != k->send_ctl_prefix &&
        !(k->ebqflg && rp == k->ebq)) {
      k->rpt_prefix = rp;
      k->rpt_on = 1;
    }
  }
  if (len <= 9) {
    // No CAPAS field: the peer takes neither attribute packets nor windows.
    k->capability_bits = static_cast<uint16_t>(k->capability_bits & ~(8u | 4u));
    return;
  }
  int i = 9;
  int v = unchar(p[i]);
  uint16_t caps = k->capability_bits;
  caps = static_cast<uint16_t>(caps & ~2u);
  if (!(v & 4)) caps = static_cast<uint16_t>(caps & ~4u);
  if (!(v & 8)) caps = static_cast<uint16_t>(caps & ~8u);
  caps = static_cast<uint16_t>(caps & ~(16u | 32u));
  k->capability_bits = caps;
  while ((unchar(p[i]) & 1) && i + 1 < len) ++i;  // further CAPAS bytes are skipped
  ++i;
  if ((k->capability_bits & 4) && i < len) {
    int w = std::clamp(unchar(p[i]), 1, 31);
    k->window_size = static_cast<int16_t>(w);
    if (w > 1 && w > k->retry_limit) k->retry_limit = static_cast<int16_t>(w + 1);
  }
}

int answer_send_init(KermitState* k, const char* data, int len) {
  // The peer's MAXL first: it decides how much of our answer the peer gets.
  if (len > 0) k->send_maxlen = maxl_field(data[0]);
  peer_params(k, data, std::min(len, init_fields_for_peer(k)));
  return rpar(k, 'Y');
}

void take_send_init_answer(KermitState* k, const char* data, int len) {
  const int16_t proposed = k->bct;
  const int16_t parity = k->line_parity;
  const int offered = static_cast<int>(strnlen(k->param_text, PARAM_TEXT_SIZE));
  const char our_rpt = offered > 8 ? k->param_text[8] : ' ';
  const char our_ebq = offered > 6 ? k->param_text[6] : 'N';
  peer_params(k, data, len);
  // A peer that names another block check than the one proposed expects
  // both sides to fall back to type 1; one that names another repeat prefix,
  // or another 8th-bit prefix where we named one, uses none.
  if (!k->force_crc && k->bct != proposed) k->bct = 1;
  if (k->rpt_on && k->rpt_prefix != our_rpt) {
    k->rpt_on = 0;
    k->rpt_prefix = our_rpt;
  }
  if (k->ebqflg && our_ebq != 'Y' && k->ebq != our_ebq) {
    k->ebqflg = 0;
    k->ebq = 'N';
    k->line_parity = parity;
  }
}

PacketCheck verify_packet(KermitState* k, int r_slot, int n) {
  RecvSlot& s = k->rslots[r_slot];
  char* buf = k->rslot_buf[r_slot];
  n = std::min(n, RSLOT_BUF - 1);
  s.length = n;
  if (n < 4) return PacketCheck::too_short;

  const int len = unchar(buf[0]);
  s.length = len;
  s.seq = static_cast<int16_t>(unchar(buf[1]));
  s.type = buf[2];
  s.data = buf + 3;
  s.data_len = 0;
  if (k->direction == 2 && (s.type == 'N' || s.type == 'Y')) return PacketCheck::ignored;

  // LEN must account for exactly the bytes that arrived after it: a byte lost,
  // added or cut off by a stray end of line makes the packet damaged, and the
  // check is never read from outside what was received.
  if (len != n - 1) return PacketCheck::damaged;

  const bool init_packet = s.type == 'S' || k->state == S_AWAIT_INIT_ACK;
  int chk = k->force_crc ? 3 : check_length(k);
  if (init_packet && !k->force_crc) chk = 1;
  // An init packet is read with check 1; one from a peer that runs CRCs from
  // its very first packet (CHKT '5') is read with check 3 as well.
  const int tries[2] = {init_packet ? 1 : chk, init_packet ? 3 : 0};

  for (int c : tries) {
    if (c == 0 || len < c + 2) continue;
    const int datalen = len - c - 2;
    const char* check = buf + 3 + datalen;
    if (check_matches(k, buf, 3 + datalen, check, c)) {
      if (init_packet && c == 3 && !(datalen > 7 && s.data[7] == '5')) continue;
      if (init_packet && datalen > 7 && s.data[7] == '5') k->force_crc = 1;
      buf[3 + datalen] = '\0';
      s.data_len = datalen;
      return s.type == 'E' ? PacketCheck::peer_error : PacketCheck::ok;
    }
  }

  // Error packets travel with block check 1 whatever check is in force.
  if (s.type == 'E' && chk > 1 && len >= 3) {
    const int datalen = len - 3;
    if (unchar(buf[3 + datalen]) == check_type1(buf, 3 + datalen)) {
      buf[3 + datalen] = '\0';
      s.data_len = datalen;
      return PacketCheck::peer_error;
    }
  }
  return PacketCheck::damaged;
}

}  // namespace tessaril::kermit

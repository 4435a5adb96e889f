// Kermit data fields for the fuzz targets: bytes encoded as a side with a
// given set of prefixes sends them, and fields decoded as the other side
// reads them, each side with records of its own.
//
// How it works: encode_fields runs getpkt over the bytes and checks every
// field it builds: never longer than the peer's MAXL allows, and no control
// byte in it (so no MARK and no end of line). decode_fields hands each field
// to decode_data and collects what writefile receives through an output
// buffer of exactly `out_size` bytes.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "kermit/kermit_encode.h"
#include "kermit/kermit_state.h"

namespace tessaril::fuzz {

// The prefixes one side sends with: what the other side decodes with.
struct Prefixes {
  char ctl = '#';
  bool eighth_bit = false;
  char ebq = '&';
  bool repeat = false;
  char rpt = '~';
};

// An engine record with the prefixes in force, for encoding (sending) or
// decoding.
inline std::unique_ptr<kermit::KermitState> coding_state(const Prefixes& p, bool sending) {
  auto k = std::make_unique<kermit::KermitState>();
  (sending ? k->send_ctl_prefix : k->recv_ctl_prefix) = p.ctl;
  k->ebqflg = p.eighth_bit ? 1 : 0;
  k->line_parity = p.eighth_bit ? 1 : 0;
  k->ebq = p.ebq;
  k->rpt_on = p.repeat ? 1 : 0;
  k->rpt_prefix = p.rpt;
  return k;
}

inline std::string written;  // what writefile received

inline int collect(kermit::KermitState*, const char* bytes, int count) {
  written.append(bytes, static_cast<size_t>(count));
  return 0;
}

inline std::vector<std::string> encode_fields(const Prefixes& p, int maxl, int bct, std::string bytes) {
  auto k = coding_state(p, true);
  k->send_maxlen = maxl;
  k->bct = static_cast<int16_t>(bct);
  k->zinptr = bytes.data();
  k->zincnt = static_cast<int32_t>(bytes.size());
  k->s_first = 1;
  kermit::KermitResult r;
  std::vector<std::string> fields;
  for (int n; (n = kermit::getpkt(k.get(), &r)) > 0;) {
    FUZZ_CHECK(n <= kermit::field_capacity(k.get()) && n + bct + 2 <= maxl, "a field fits the peer's MAXL");
    for (int i = 0; i < n; ++i) {
      const int c7 = k->xdata[i] & 127;
      FUZZ_CHECK(c7 >= 32 && c7 != 127, "no control byte in a data field");
    }
    fields.emplace_back(k->xdata, static_cast<size_t>(n));
  }
  return fields;
}

inline std::string decode_fields(const Prefixes& p, const std::vector<std::string>& fields, int out_size) {
  auto k = coding_state(p, false);
  std::unique_ptr<char[]> out(new char[static_cast<size_t>(out_size)]);
  k->out_buf = out.get();
  k->out_buf_size = out_size;
  k->writefile = collect;
  kermit::KermitResult r;
  written.clear();
  for (const std::string& f : fields) {
    auto field = exact_copy(f, true);
    FUZZ_CHECK(kermit::decode_data(k.get(), &r, 1, field.get()) == 0, "decoding into the file succeeds");
  }
  written.append(k->out_buf, static_cast<size_t>(k->out_buf_count));
  return written;
}

}  // namespace tessaril::fuzz

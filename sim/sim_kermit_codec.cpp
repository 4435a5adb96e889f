#include "sim_kermit_codec.h"

namespace tessaril::sim::peer {

namespace {

constexpr size_t MAX_RUN = 94;
constexpr size_t MIN_RUN = 3;  // a run of two costs as much as two units

void encode_unit(const Agreement& a, uint8_t b, Bytes& unit) {
  unit.clear();
  if (a.qbin_on && (b & 0x80)) {
    unit.push_back(a.qbin);
    b &= 0x7F;
  }
  const uint8_t c7 = b & 0x7F;
  if (c7 < 32 || c7 == 127) {
    unit.push_back(a.my_qctl);
    b = ctl(b);
  } else if (c7 == a.my_qctl || (a.qbin_on && c7 == a.qbin) || (a.rept_on && c7 == a.rept)) {
    unit.push_back(a.my_qctl);
  }
  unit.push_back(b);
}

}  // namespace

size_t encode_field(const Agreement& a, const Bytes& bytes, size_t from, size_t capacity, Bytes& field) {
  field.clear();
  Bytes unit;
  size_t i = from;
  while (i < bytes.size()) {
    size_t run = 1;
    if (a.rept_on)
      while (i + run < bytes.size() && run < MAX_RUN && bytes[i + run] == bytes[i]) ++run;
    encode_unit(a, bytes[i], unit);
    const bool repeat = run >= MIN_RUN;
    const size_t cost = unit.size() + (repeat ? 2 : 0);
    if (field.size() + cost > capacity) break;
    if (repeat) {
      field.push_back(a.rept);
      field.push_back(tochar(static_cast<int>(run)));
    } else {
      run = 1;
    }
    field.insert(field.end(), unit.begin(), unit.end());
    i += run;
  }
  return i - from;
}

bool decode_field(const Agreement& a, const Bytes& field, Bytes& out) {
  // Control characters travel prefixed; one in the field itself was never encoded.
  for (uint8_t c : field)
    if ((c & 0x7F) < 32 || (c & 0x7F) == 127) return false;
  size_t i = 0;
  const size_t n = field.size();
  while (i < n) {
    int count = 1;
    if (a.rept_on && field[i] == a.rept) {
      if (i + 2 >= n) return false;
      count = unchar(field[i + 1]);
      if (count < 1 || count > static_cast<int>(MAX_RUN)) return false;
      i += 2;
    }
    uint8_t high = 0;
    if (a.qbin_on && field[i] == a.qbin) {
      if (++i >= n) return false;
      high = 0x80;
    }
    uint8_t c = field[i];
    if (c == a.their_qctl) {
      if (++i >= n) return false;
      c = field[i];
      const uint8_t c7 = c & 0x7F;
      // '?' to '_' stand for the control characters; anything else after the
      // prefix is a prefix character sent as itself.
      if (c7 >= 63 && c7 <= 95) c = ctl(c);
    }
    ++i;
    out.insert(out.end(), static_cast<size_t>(count), static_cast<uint8_t>(c | high));
  }
  return true;
}

}  // namespace tessaril::sim::peer

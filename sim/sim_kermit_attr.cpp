#include "sim_kermit_attr.h"

namespace tessaril::sim::peer {

namespace {

Bytes entry(char tag, const std::string& value) {
  Bytes e;
  e.push_back(static_cast<uint8_t>(tag));
  e.push_back(tochar(static_cast<int>(value.size())));
  for (char c : value) e.push_back(static_cast<uint8_t>(c));
  return e;
}

bool decimal(const Bytes& field, size_t from, size_t count, int64_t& value) {
  if (count == 0 || count > 18) return false;
  value = 0;
  for (size_t i = from; i < from + count; ++i) {
    if (field[i] < '0' || field[i] > '9') return false;
    value = value * 10 + (field[i] - '0');
  }
  return true;
}

}  // namespace

std::vector<Bytes> build_attributes(int64_t size, size_t capacity) {
  std::vector<Bytes> fields;
  Bytes field;
  for (const Bytes& e : {entry('"', "B8"), entry('1', std::to_string(size))}) {
    if (e.size() > capacity) continue;
    if (field.size() + e.size() > capacity) {
      fields.push_back(field);
      field.clear();
    }
    field.insert(field.end(), e.begin(), e.end());
  }
  if (!field.empty()) fields.push_back(field);
  return fields;
}

bool parse_attributes(const Bytes& field, Attributes& attributes) {
  for (size_t i = 0; i < field.size();) {
    if (i + 2 > field.size()) return false;
    const char tag = static_cast<char>(field[i]);
    const int len = unchar(field[i + 1]);
    if (len < 0 || i + 2 + static_cast<size_t>(len) > field.size()) return false;
    if (tag == '1') {
      int64_t value = 0;
      if (!decimal(field, i + 2, static_cast<size_t>(len), value)) return false;
      attributes.size = value;
    }
    i += 2 + static_cast<size_t>(len);
  }
  return true;
}

}  // namespace tessaril::sim::peer

// The file announcement of answers 0x8E and 0xF9: "name,size" and a zero byte.
//
// Input: the answer's data field. Checked: the parser reads only the field
// (an exact-size copy) and writes only the 40-byte name; the name is always
// terminated within 29 characters; an accepted announcement has a printable
// name (a zero byte would make the host ask for another file than the one
// checked) that ends in ".XML" or ".GZ", and a size of at most six digits;
// and written out again as "NAME,SIZE" it is read back the same.
#include <cstring>
#include <string>

#include "fuzz_check.h"
#include "link/answer_check.h"
#include "link/link_state.h"

using namespace tessaril;

namespace {

bool ends_with(const char* name, const char* suffix) {
  const size_t n = std::strlen(name);
  const size_t s = std::strlen(suffix);
  return n >= s && std::memcmp(name + n - s, suffix, s) == 0;
}

struct Parsed {
  bool ok;
  std::string name;
  int32_t size;
};

Parsed parse(const std::string& field) {
  auto data = fuzz::exact_copy(field, false);
  std::unique_ptr<char[]> name(new char[link::FILE_NAME_CAPACITY]);
  std::memset(name.get(), 'x', link::FILE_NAME_CAPACITY);
  int32_t size = -1;
  const bool ok = link::parse_file_announcement(reinterpret_cast<const uint8_t*>(data.get()),
                                                static_cast<int>(field.size()), name.get(), size);
  const size_t length = strnlen(name.get(), link::FILE_NAME_CAPACITY);
  FUZZ_CHECK(length <= static_cast<size_t>(link::ANNOUNCED_NAME_MAX), "the name is terminated, 29 at most");
  return Parsed{ok, std::string(name.get(), length), size};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const Parsed p = parse(std::string(reinterpret_cast<const char*>(data), size));
  if (!p.ok) return 0;
  FUZZ_CHECK(fuzz::printable(p.name.data(), p.name.size()), "an accepted name is printable");
  FUZZ_CHECK(ends_with(p.name.c_str(), ".XML") || ends_with(p.name.c_str(), ".GZ"), "an accepted name ends .XML/.GZ");
  FUZZ_CHECK(p.size >= 0 && p.size <= 999999, "an accepted size has six digits at most");

  // Upper-casing lowers every byte from 0x60 up, so only a name without such
  // bytes reads back unchanged.
  for (char c : p.name)
    if (static_cast<uint8_t>(c) >= 0x60) return 0;
  std::string again = p.name + "," + std::to_string(p.size);
  again.push_back('\0');
  const Parsed q = parse(again);
  FUZZ_CHECK(q.ok && q.name == p.name && q.size == p.size, "an accepted announcement reads back the same");
  return 0;
}

// The frame editor's number fields: entries, size fields and decimal fields.
//
// Input: byte 0 how many characters of an entry count (-16 to 239), the rest
// the text typed. Checked against the C library, which these readers stand
// in for: an entry reads as strtoul("0x" + entry, 16) keeps its low 8 bits, a
// size field as strtoul(text, 0) in 32 bits, a decimal field as strtol(text,
// 10) clamped to 32 bits (the C library of the platform reads with 64-bit
// longs, so 32-bit saturation is applied to its result). And the text a
// builder writes for a byte reads back as that byte.
#include <cerrno>
#include <cstdlib>
#include <string>
#include <string_view>

#include "commands/entry_text.h"
#include "fuzz_check.h"

using namespace tessaril;

namespace {

constexpr uint64_t U32_MAX = 0xFFFFFFFFu;

// strtoul of a 32-bit C library: the magnitude saturates, a minus sign negates.
uint32_t strtoul32(const std::string& text, int base) {
  const char* p = text.c_str();
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  const bool negative = *p == '-';
  if (*p == '+' || *p == '-') ++p;
  // strtoull would take blanks and a sign here too; after a sign they end the number.
  if (*p == '+' || *p == '-' || *p == ' ' || (*p >= '\t' && *p <= '\r')) return 0;
  errno = 0;
  const unsigned long long magnitude = std::strtoull(p, nullptr, base);
  if (errno == ERANGE || magnitude > U32_MAX) return static_cast<uint32_t>(U32_MAX);
  return negative ? static_cast<uint32_t>(0u - static_cast<uint32_t>(magnitude)) : static_cast<uint32_t>(magnitude);
}

int32_t strtol32(const std::string& text) {
  const long long v = std::strtoll(text.c_str(), nullptr, 10);
  return v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : static_cast<int32_t>(v);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in{data, size};
  const int max_chars = static_cast<int>(in.take()) - 16;
  const std::string typed = in.rest(64);
  // The editor reads a control's text as a C string: it ends at a zero byte.
  const std::string text = typed.substr(0, typed.find('\0'));
  auto exact = fuzz::exact_copy(text, false);
  const std::string_view view(exact.get(), text.size());

  const std::string entry = "0x" + text.substr(0, static_cast<size_t>(max_chars < 0 ? 0 : max_chars));
  FUZZ_CHECK(commands::entry_byte(view, max_chars) == (strtoul32(entry, 16) & 0xFF), "an entry reads as strtoul");
  FUZZ_CHECK(commands::size_field_value(view) == strtoul32(text, 0), "a size field reads as strtoul");
  FUZZ_CHECK(commands::decimal_value(view) == strtol32(text), "a decimal field reads as strtol");

  const uint8_t byte = size > 0 ? data[0] : 0;
  const commands::EntryText written = commands::entry_text(byte);
  FUZZ_CHECK(commands::entry_byte(written.text) == byte, "a written byte reads back");
  return 0;
}

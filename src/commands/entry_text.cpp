#include "commands/entry_text.h"

namespace tessaril::commands {

namespace {

constexpr uint64_t U32_MAX = 0xFFFFFFFFu;

int digit_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 99;
}

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

struct Digits {
  uint32_t value;
  bool overflow;
};

// Digits of base from pos on, saturating at 32 bits like strtoul on Windows.
Digits read_digits(std::string_view text, size_t pos, int base) {
  uint64_t value = 0;
  bool overflow = false;
  for (; pos < text.size(); ++pos) {
    const int d = digit_value(text[pos]);
    if (d >= base) break;
    if (!overflow) {
      value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
      overflow = value > U32_MAX;
    }
  }
  return overflow ? Digits{static_cast<uint32_t>(U32_MAX), true} : Digits{static_cast<uint32_t>(value), false};
}

// Numbers are read as the C library reads them: leading blanks, then an
// optional sign. Moves pos past both; true for a '-'.
bool skip_blanks_and_sign(std::string_view text, size_t& pos) {
  while (pos < text.size() && is_blank(text[pos])) ++pos;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) return text[pos++] == '-';
  return false;
}

}  // namespace

uint8_t entry_byte(std::string_view text, int max_chars) {
  if (max_chars < 0) max_chars = 0;
  if (text.size() > static_cast<size_t>(max_chars)) text = text.substr(0, static_cast<size_t>(max_chars));
  // The entry reads as "0x" + text: hex digits straight after the prefix.
  return static_cast<uint8_t>(read_digits(text, 0, 16).value & 0xFF);
}

EntryText entry_text(uint8_t byte) {
  static constexpr char hex[] = "0123456789ABCDEF";
  return EntryText{{hex[byte >> 4], hex[byte & 0x0F], '\0'}};
}

uint32_t size_field_value(std::string_view text) {
  size_t pos = 0;
  const bool negative = skip_blanks_and_sign(text, pos);
  int base = 10;
  if (pos < text.size() && text[pos] == '0') {
    if (pos + 2 < text.size() && (text[pos + 1] == 'x' || text[pos + 1] == 'X') && digit_value(text[pos + 2]) < 16) {
      base = 16;
      pos += 2;
    } else {
      base = 8;
    }
  }
  const Digits d = read_digits(text, pos, base);
  // An overflow reads as the largest value whatever the sign, as strtoul has it.
  if (d.overflow || !negative) return d.value;
  return static_cast<uint32_t>(0u - d.value);
}

int32_t decimal_value(std::string_view text) {
  size_t pos = 0;
  const bool negative = skip_blanks_and_sign(text, pos);
  int64_t value = 0;
  for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
    value = value * 10 + (text[pos] - '0');
    if (value > int64_t{INT32_MAX} + 1) value = int64_t{INT32_MAX} + 1;  // clamped below
  }
  if (negative) value = -value;
  if (value > INT32_MAX) return INT32_MAX;
  return static_cast<int32_t>(value);
}

}  // namespace tessaril::commands

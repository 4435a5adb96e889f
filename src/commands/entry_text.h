// How the texts of the frame editor's edits and the wait fields become numbers.
//
// How it works: an editor entry is one byte in hex without prefix ("C0");
// it is read as if "0x" stood in front of it, up to the first character that
// is not a hex digit, and its low 8 bits are the byte, so "" and "zz" read
// 0x00, "1" reads 0x01 and "1FF" reads 0xFF. The number is held in 32 bits
// and saturates as a 32-bit strtoul does, so a long entry reads the same on
// every platform. The size fields read an unsigned number whose base follows
// its prefix ("0x" hex, leading "0" octal, else decimal); a minus sign wraps
// as it does for strtoul. The wait fields read a signed decimal number.
// All functions are pure: text in, number out.
#pragma once

#include <cstdint>
#include <string_view>

namespace tessaril::commands {

// The byte an editor entry stands for. Only the first max_chars characters count.
uint8_t entry_byte(std::string_view text, int max_chars = 9);

// The text a builder writes for a byte: two upper-case hex digits.
struct EntryText {
  char text[3];
};
EntryText entry_text(uint8_t byte);

// A size field (header size, data size, header-data wait) as an unsigned
// 32-bit number, base by prefix, leading blanks skipped.
uint32_t size_field_value(std::string_view text);

// A signed decimal number as the dialog's number fields are read (waits in
// ms, "Cycle", the port number): leading blanks and a sign skipped, digits up
// to the first other character, clamped to the 32-bit range; "" reads 0.
int32_t decimal_value(std::string_view text);

}  // namespace tessaril::commands

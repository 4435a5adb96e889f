// Editor entries and size fields read as the device's engineers type them:
// hex without prefix for bytes, base by prefix for sizes, signed decimal for
// waits; anything else gives a defined number.
#include "commands/entry_text.h"

#include <gtest/gtest.h>

namespace tessaril::commands {
namespace {

TEST(CommandsEntryText, EntryReadsHexDigitsUpToTheFirstOtherCharacter) {
  EXPECT_EQ(entry_byte("C0"), 0xC0);
  EXPECT_EQ(entry_byte("c0"), 0xC0);
  EXPECT_EQ(entry_byte("1"), 0x01);
  EXPECT_EQ(entry_byte("1FF"), 0xFF);  // the low 8 bits
  EXPECT_EQ(entry_byte("12zz"), 0x12);
  EXPECT_EQ(entry_byte(""), 0x00);
  EXPECT_EQ(entry_byte("zz"), 0x00);
  EXPECT_EQ(entry_byte("*"), 0x00);
  EXPECT_EQ(entry_byte(" 1F"), 0x00);    // "0x 1F" stops at the blank
  EXPECT_EQ(entry_byte("0x1F"), 0x00);   // "0x0x1F" stops at the second x
  EXPECT_EQ(entry_byte("\x83\x41"), 0x00);  // a CP932 character
}

TEST(CommandsEntryText, EntryCountsOnlyItsReadLimitAndSaturatesAt32Bits) {
  EXPECT_EQ(entry_byte("00000000F", 9), 0x0F);
  EXPECT_EQ(entry_byte("00000000F", 7), 0x00);
  EXPECT_EQ(entry_byte("123456789", 9), 0xFF);  // beyond 32 bits: all ones, as strtoul
  EXPECT_EQ(entry_byte("12345678", 9), 0x78);
  EXPECT_EQ(entry_byte("AB", 0), 0x00);
}

TEST(CommandsEntryText, BuildersWriteTwoUpperCaseDigits) {
  EXPECT_STREQ(entry_text(0x00).text, "00");
  EXPECT_STREQ(entry_text(0x0A).text, "0A");
  EXPECT_STREQ(entry_text(0xC0).text, "C0");
  for (int b = 0; b < 256; ++b) EXPECT_EQ(entry_byte(entry_text(static_cast<uint8_t>(b)).text), b);
}

TEST(CommandsEntryText, SizeFieldsTakeTheirBaseFromThePrefix) {
  EXPECT_EQ(size_field_value("6"), 6u);
  EXPECT_EQ(size_field_value("0x10"), 16u);
  EXPECT_EQ(size_field_value("0X1f"), 31u);
  EXPECT_EQ(size_field_value("010"), 8u);
  EXPECT_EQ(size_field_value("09"), 0u);  // octal stops at the 9
  EXPECT_EQ(size_field_value("0x"), 0u);
  EXPECT_EQ(size_field_value("  12"), 12u);
  EXPECT_EQ(size_field_value("12abc"), 12u);
  EXPECT_EQ(size_field_value(""), 0u);
  EXPECT_EQ(size_field_value("abc"), 0u);
}

TEST(CommandsEntryText, NegativeAndHugeSizesBecomeHugeUnsignedValues) {
  // What matters is that these are far above 300, where the editor caps them.
  EXPECT_EQ(size_field_value("-1"), 0xFFFFFFFFu);
  EXPECT_EQ(size_field_value("-300"), 0xFFFFFED4u);
  EXPECT_EQ(size_field_value("99999999999"), 0xFFFFFFFFu);
  EXPECT_EQ(size_field_value("-99999999999"), 0xFFFFFFFFu);
}

TEST(CommandsEntryText, WaitFieldsAreSignedDecimal) {
  EXPECT_EQ(decimal_value(" "), 0);
  EXPECT_EQ(decimal_value(""), 0);
  EXPECT_EQ(decimal_value("6000"), 6000);
  EXPECT_EQ(decimal_value("  19"), 19);
  EXPECT_EQ(decimal_value("-20"), -20);
  EXPECT_EQ(decimal_value("0x20"), 0);
  EXPECT_EQ(decimal_value("99999999999"), 2147483647);
  EXPECT_EQ(decimal_value("-99999999999"), -2147483647 - 1);
  EXPECT_EQ(decimal_value("  +42x"), 42);
  EXPECT_EQ(decimal_value("x1"), 0);
}

}  // namespace
}  // namespace tessaril::commands

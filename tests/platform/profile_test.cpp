// Profile look-ups against real INI files, with the answers the Windows
// profile functions give.
#include "platform/profile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/temp_folder.h"
#include "support/under_wine.h"

namespace tessaril::platform {
namespace {

using test::TempFolder;

std::string lookup(const std::string& path, const char* section, const char* key, const char* def = "dflt",
                   int capacity = 64, int* result = nullptr) {
  char buffer[300];
  std::memset(buffer, 'X', sizeof buffer);
  int n = profile_string(section, key, def, buffer, capacity, path);
  if (result) *result = n;
  EXPECT_EQ(static_cast<size_t>(n), std::strlen(buffer)) << "result must count the bytes copied";
  EXPECT_EQ(buffer[capacity], 'X') << "wrote past the capacity";
  return buffer;
}

TEST(PlatformProfile, NamesMatchWithoutCaseAndBlanksAroundNamesAndValuesGo) {
  TempFolder dir;
  std::string ini = dir.write("a.ini",
                              "[Section1]\n"
                              "  Bit_Rate  =   9600  \n"
                              "\tname\t=\tA B C\t\n"
                              "[ other ]\n"
                              "k=v\n");
  EXPECT_EQ(lookup(ini, "section1", "BIT_RATE"), "9600");
  EXPECT_EQ(lookup(ini, "SECTION1", "name"), "A B C");
  EXPECT_EQ(lookup(ini, "  section1 ", " name "), "A B C");
  EXPECT_EQ(lookup(ini, "OTHER", "K"), "v");
  EXPECT_EQ(lookup(ini, "other", "bit_rate"), "dflt") << "a key of another section is not found";
}

TEST(PlatformProfile, MissingFileSectionOrKeyGivesTheDefault) {
  TempFolder dir;
  std::string ini = dir.write("a.ini", "[s]\nk=1\n");
  EXPECT_EQ(lookup(dir.file("none.ini"), "s", "k"), "dflt");
  EXPECT_EQ(lookup(ini, "t", "k"), "dflt");
  EXPECT_EQ(lookup(ini, "s", "j"), "dflt");
  EXPECT_EQ(lookup(ini, "s", "j", nullptr), "") << "a null default is empty";
  EXPECT_EQ(lookup(ini, "s", "j", "pad   "), "pad") << "trailing spaces of the default are dropped";
  EXPECT_EQ(lookup(ini, "s", "", "d"), "d") << "an empty key name is never found";
  EXPECT_EQ(lookup(dir.path(), "s", "k"), "dflt") << "a folder is no profile";
}

TEST(PlatformProfile, EmptyValueIsNotTheDefaultButAKeyWithoutEqualsIs) {
  TempFolder dir;
  std::string ini = dir.write("a.ini", "[s]\nempty=\nbare\n");
  EXPECT_EQ(lookup(ini, "s", "empty"), "");
  EXPECT_EQ(lookup(ini, "s", "bare"), "dflt");
  EXPECT_EQ(profile_int("s", "empty", 77, ini), 77) << "an empty number gives the default";
}

TEST(PlatformProfile, TextIsCutToCapacityMinusOne) {
  TempFolder dir;
  std::string ini = dir.write("a.ini", "[s]\nk=0123456789\n");
  int n = 0;
  EXPECT_EQ(lookup(ini, "s", "k", "d", 4, &n), "012");
  EXPECT_EQ(n, 3);
  EXPECT_EQ(lookup(ini, "s", "k", "d", 11, &n), "0123456789");
  EXPECT_EQ(n, 10);
  EXPECT_EQ(lookup(ini, "s", "k", "d", 1, &n), "");
  EXPECT_EQ(n, 0);
  EXPECT_EQ(lookup(ini, "s", "none", "000000", 4, &n), "000") << "the default is cut as well";
  EXPECT_EQ(n, 3);

  char untouched[4] = {'Q', 'Q', 'Q', 'Q'};
  EXPECT_EQ(profile_string("s", "k", "d", untouched, 0, ini), 0);
  EXPECT_EQ(untouched[0], 'Q') << "capacity 0 writes nothing";
  EXPECT_EQ(profile_string("s", "k", "d", nullptr, 10, ini), 0);
}

TEST(PlatformProfile, LineEndsBomCommentsAndNoEndOfLineComments) {
  TempFolder dir;
  std::string crlf = dir.write("crlf.ini", "\xEF\xBB\xBF[s]\r\n; k=commented\r\nk=crlf\r\nlast=end");
  EXPECT_EQ(lookup(crlf, "s", "k"), "crlf") << "no CR may stay on the value";
  EXPECT_EQ(lookup(crlf, "s", "last"), "end") << "a last line without line end";

  std::string lf = dir.write("lf.ini", "  ;[s]\n[s]\nk=1 ; not a comment\n#k=2\n");
  EXPECT_EQ(lookup(lf, "s", "k"), "1 ; not a comment");
  EXPECT_EQ(lookup(lf, "s", "#k"), "2") << "'#' starts no comment on Windows";

  // Without the mark being skipped the first section would be "\xEF\xBB\xBF[s]".
  std::string bom_only = dir.write("bom.ini", "\xEF\xBB\xBF[first]\nk=bom\n");
  EXPECT_EQ(lookup(bom_only, "first", "k"), "bom");
}

TEST(PlatformProfile, MatchingQuotesAreDropped) {
  TempFolder dir;
  std::string ini = dir.write("a.ini",
                              "[s]\n"
                              "dq=\"  padded  \"\n"
                              "sq='x'\n"
                              "mixed=\"x'\n"
                              "one=\"\n"
                              "inner=a\"b\"\n");
  EXPECT_EQ(lookup(ini, "s", "dq"), "  padded  ");
  EXPECT_EQ(lookup(ini, "s", "sq"), "x");
  EXPECT_EQ(lookup(ini, "s", "mixed"), "\"x'");
  EXPECT_EQ(lookup(ini, "s", "one"), "\"");
  EXPECT_EQ(lookup(ini, "s", "inner"), "a\"b\"");
}

TEST(PlatformProfile, FirstSectionAndFirstKeyWin) {
  TempFolder dir;
  std::string ini = dir.write("a.ini", "top=before\n[s]\nk=1\nK=2\n[S]\nk=3\nonly_later=4\n");
  EXPECT_EQ(lookup(ini, "s", "k"), "1");
  EXPECT_EQ(lookup(ini, "s", "only_later"), "dflt");
  EXPECT_EQ(lookup(ini, "", "top"), "before") << "lines before any header form the unnamed section";
}

TEST(PlatformProfile, GarbageNeverBreaksTheLookUp) {
  TempFolder dir;
  std::string junk;
  for (int i = 0; i < 5000; ++i) junk += static_cast<char>((i * 131 + 7) % 256);
  std::string ini = dir.write("junk.ini", junk + "\n[s\n]]]\n[=]\n===\n[s]\nk=ok\n" + std::string(100000, 'v') + "\n");
  EXPECT_EQ(lookup(ini, "s", "k"), "ok");
  EXPECT_EQ(lookup(ini, "s", "none"), "dflt");

  // A NUL ends a value, not the file.
  if (test::under_wine()) GTEST_SKIP() << "Wine's profile functions stop reading the file at a NUL";
  std::string nul = dir.write("nul.ini", std::string("[s]\nk=a\0b\nj=1\n", 15));
  EXPECT_EQ(lookup(nul, "s", "k"), "a");
  EXPECT_EQ(lookup(nul, "s", "j"), "1");
}

TEST(PlatformProfile, EitherSeparatorInThePath) {
  TempFolder dir;
  dir.write("a.ini", "[s]\nk=found\n");
  std::string backslashed = dir.path() + "\\a.ini";
  EXPECT_EQ(lookup(backslashed, "s", "k"), "found");
}

TEST(PlatformProfile, NullNamesListSectionsOrKeys) {
  TempFolder dir;
  std::string ini = dir.write("a.ini", "[one]\na=1\n;c=2\nb\n[two]\n[three]\n");
  char buffer[64];
  int n = profile_string(nullptr, nullptr, "d", buffer, sizeof buffer, ini);
  EXPECT_EQ(std::string(buffer, static_cast<size_t>(n) + 1), std::string("one\0two\0three\0\0", 15));
  EXPECT_EQ(buffer[n], '\0');

  n = profile_string("missing", nullptr, "d", buffer, sizeof buffer, ini);
  EXPECT_EQ(std::string(buffer), "d");
  if (test::under_wine()) GTEST_SKIP() << "Wine lists no key without '=' and cuts a list in its own way";

  n = profile_string("ONE", nullptr, "d", buffer, sizeof buffer, ini);
  EXPECT_EQ(std::string(buffer, static_cast<size_t>(n) + 1), std::string("a\0b\0\0", 5)) << "comments are left out";

  // Too small: the list is cut and ends in two NULs, the result is capacity - 2.
  n = profile_string(nullptr, nullptr, "d", buffer, 7, ini);
  EXPECT_EQ(n, 5);
  EXPECT_EQ(std::string(buffer, 7), std::string("one\0t\0\0", 7));
}

struct IntCase {
  const char* value;  // nullptr: the key is absent
  int32_t expected;
};

TEST(PlatformProfile, IntegersReadAsWindowsReadsThem) {
  const IntCase cases[] = {
      {nullptr, 55},       // absent: default
      {"", 55},            // empty: default
      {"12", 12},          {"  12  ", 12},     {"+7", 7},
      {"-5", -5},          {"12abc", 12},      {"abc", 0},
      {"-", 0},            {"0x10", 0},        {"007", 7},
      {"\"42\"", 42},      // quotes go before the number is read
      {"2147483647", 2147483647},
      {"-2147483648", INT32_MIN},
      {"4294967295", -1},  // 32-bit wrap-around
      {"4294967296", 0},
      // Only 29 characters count: the trailing 1 is beyond them.
      {"00000000000000000000000000001", 1},
      {"000000000000000000000000000001", 0},
  };
  TempFolder dir;
  for (const IntCase& c : cases) {
    std::string text = "[section1]\n";
    if (c.value) text += std::string("key=") + c.value + "\n";
    std::string ini = dir.write("i.ini", text);
    // Wine reads a "0x" prefix as hexadecimal; Windows stops at the x.
    const bool wine_hex = test::under_wine() && c.value && std::string(c.value) == "0x10";
    EXPECT_EQ(profile_int("SECTION1", "KEY", 55, ini), wine_hex ? 16 : c.expected) << (c.value ? c.value : "(absent)");
  }
  EXPECT_EQ(profile_int("s", "k", -3, dir.file("none.ini")), -3);
}

}  // namespace
}  // namespace tessaril::platform

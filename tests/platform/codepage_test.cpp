// CP932 conversion: the system's texts as bytes, and back for display.
#include "platform/codepage.h"

#include <gtest/gtest.h>

#include <string>

namespace tessaril::platform {
namespace {

struct Known {
  const char* utf8;
  std::string cp932;
};

// Byte values from the CP932 code chart.
TEST(PlatformCodepage, KnownTextsConvertToTheirCp932Bytes) {
  const Known known[] = {
      {"未定義エラー", "\x96\xA2\x92\xE8\x8B\x60\x83\x47\x83\x89\x81\x5B"},
      {"【ERROR】", "\x81\x79" "ERROR" "\x81\x7A"},
      {"ＯＫ", "\x82\x6E\x82\x6A"},
      {"ソ表", "\x83\x5C\x95\x5C"},  // second bytes equal to '\\'
      {"～", "\x81\x60"},            // FULLWIDTH TILDE, where CP932 and Shift_JIS part ways
      {"C:\\buc_sim\\", "C:\\buc_sim\\"},
      {"", ""},
  };
  for (const Known& k : known) {
    EXPECT_EQ(utf8_to_cp932(k.utf8), k.cp932) << k.utf8;
    EXPECT_EQ(cp932_to_utf8(k.cp932), k.utf8) << k.utf8;
  }
}

TEST(PlatformCodepage, RoundTripOfTheSystemsTexts) {
  const char* texts[] = {
      "【ERROR】A2:Kermit受信ファイル名不一致",
      "プログラム実行継続不可能なエラーが発生しました。\nエラーコードを記録してプログラムを終了します。\n",
      "A3:監視情報ソケット3・クローズ",
      "終了確認",
  };
  for (const char* t : texts) {
    std::string bytes = utf8_to_cp932(t);
    EXPECT_NE(bytes, t);
    EXPECT_EQ(cp932_to_utf8(bytes), t);
  }
}

TEST(PlatformCodepage, UnconvertibleInputIsMarkedNotDropped) {
  EXPECT_EQ(utf8_to_cp932("a\xF0\x9F\x98\x80" "b"), "a?b") << "an emoji has no CP932 form";
  EXPECT_EQ(utf8_to_cp932("\u00E9 \u00DF"), "? ?") << "no look-alike letter stands in";
  EXPECT_EQ(utf8_to_cp932("\u2015"), "\x81\x5C") << "the horizontal bar of the progress caption";
  EXPECT_EQ(utf8_to_cp932("a\xFF" "b"), "a\xFF" "b") << "a stray byte passes as it is";
  EXPECT_EQ(utf8_to_cp932("表\xE3\x81"), "\x95\x5C\xE3\x81") << "a cut sequence at the end passes";
  EXPECT_EQ(cp932_to_utf8("A\x81"), "A\xEF\xBF\xBD") << "a lead byte without its trail";
  EXPECT_EQ(cp932_to_utf8("\xA0Z"), "\xEF\xBF\xBDZ");
  // A long text crosses the converter's internal chunks.
  std::string many;
  for (int i = 0; i < 500; ++i) many += "表";
  EXPECT_EQ(cp932_to_utf8(utf8_to_cp932(many)), many);
}

}  // namespace
}  // namespace tessaril::platform

// The status-code table, the result words and the once-only fatal notice.
// The numbers are what the link threads post and the sequencer compares, so
// they are written here as plain literals: renumbering a code must fail here.
#include "status/status_codes.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/codepage.h"

namespace tessaril::status {
namespace {

std::string text_utf8(const StatusEntry& e) { return platform::cp932_to_utf8(e.text); }

class StatusTable : public ::testing::Test {
 protected:
  void SetUp() override { init_status_table(); }
};

TEST_F(StatusTable, RowsNumberedFromTheUndefinedErrorToErr300) {
  ASSERT_EQ(sizeof status_table / sizeof status_table[0], 301u);
  EXPECT_EQ(status_table[0].code, 0x99999999u);
  EXPECT_EQ(status_table[0].index, 0);
  EXPECT_EQ(text_utf8(status_table[0]), "未定義エラー");
  EXPECT_EQ(status_table[300].code, 0x10880000u);
  EXPECT_EQ(status_table[300].index, 300);
  EXPECT_STREQ(status_table[300].text, "ERR300");
  for (int i = 0; i < 301; ++i) EXPECT_EQ(status_table[i].index, i);
}

TEST_F(StatusTable, CodesRunByGroupAndBitWithTenRowsInGroups6To9) {
  struct Group {
    uint32_t group;
    int rows;
  };
  const Group groups[] = {{0x000, 20}, {0x001, 20}, {0x002, 20}, {0x003, 20}, {0x004, 20}, {0x005, 20},
                          {0x006, 10}, {0x007, 10}, {0x008, 10}, {0x009, 10}, {0x00A, 20}, {0x00B, 20},
                          {0x100, 20}, {0x101, 20}, {0x102, 20}, {0x104, 20}, {0x108, 20}};
  int row = 1;
  for (const Group& g : groups)
    for (int bit = 0; bit < g.rows; ++bit, ++row)
      EXPECT_EQ(status_table[row].code, (g.group << 20) | (1u << bit)) << "row " << row;
  EXPECT_EQ(row, 301);
}

TEST_F(StatusTable, TextsAreCp932AndTheLongestHas39Bytes) {
  size_t longest = 0;
  for (const StatusEntry& e : status_table) {
    size_t n = std::strlen(e.text);
    longest = std::max(longest, n);
    // An empty text is a single NUL and the rest of the field is clear.
    for (size_t i = n; i < sizeof e.text; ++i) ASSERT_EQ(e.text[i], '\0') << std::hex << e.code;
  }
  EXPECT_EQ(longest, 39u);
  // 【 is 0x81 0x79 in CP932: the texts are bytes of the code page, not UTF-8.
  EXPECT_EQ(std::string(status_table[22].text, 2), "\x81\x79");
}

TEST_F(StatusTable, RowsTheSpecialCasesNameHoldTheirTexts) {
  struct Pinned {
    int row;
    uint32_t code;
    const char* text;
  };
  const Pinned pinned[] = {
      {1, 0x1, "A1:ソケット1切断"},
      {13, 0x1000, "A1:RESERVE2"},
      {26, 0x100020, "A1:RESERVE2"},
      {19, 0x40000, "A1:RESERVE8"},
      {37, 0x110000, "A1:RESERVE8"},
      {21, 0x100001, "A1:コマンド送信ＯＫ"},
      {23, 0x100004, "【ERROR】A1:コマンド送信サイズエラー"},
      {36, 0x108000, "【ERROR】A1:Kermit送信途中ブレーク"},
      {41, 0x200001, "A2:応答受信ＯＫ"},
      {44, 0x200008, "【ERROR】A2:応答受信タイムアウト"},
      {53, 0x201000, "【ERROR】A2:Kermit受信ファイル名不一致"},
      {60, 0x280000, "A2:KER2_RESERVE11"},
      {72, 0x300800, "M:"},
      {74, 0x302000, "M:ERR74"},
      {75, 0x304000, ""},
      {121, 0x600001, ""},
      {160, 0x900200, ""},
      {181, 0xB00001, "181"},
      {233, 0x10101000, "233"},
      {234, 0x10102000, "ERR234"},
      {255, 0x10204000, "255"},
      {256, 0x10208000, "ERR256"},
      {267, 0x10400040, "ソケット・初期化エラー"},
      {277, 0x10410000, "A3:監視情報回線の受信データエラー"},
      {278, 0x10420000, ""},
      {281, 0x10800001, "【ERROR】.ini初期設定ファイル無し"},
      {285, 0x10800010, "【ERROR】アップデータ・ITEMサイズエラー"},
      {286, 0x10800020, "ERR286"},
  };
  for (const Pinned& p : pinned) {
    EXPECT_EQ(status_table[p.row].code, p.code) << "row " << p.row;
    EXPECT_EQ(text_utf8(status_table[p.row]), p.text) << "row " << p.row;
  }
}

TEST_F(StatusTable, ErrorTextsOfTheSerialGroupsCarryTheMark) {
  // In groups 0x001 and 0x002 every code that is not an OK or a reserve is an error.
  for (int row = 21; row <= 60; ++row) {
    std::string t = text_utf8(status_table[row]);
    bool plain = t.find("ＯＫ") != std::string::npos || t.find("正常") != std::string::npos ||
                 t.find("RESERVE") != std::string::npos;
    EXPECT_EQ(t.rfind("【ERROR】", 0) == 0, !plain) << "row " << row << ": " << t;
  }
}

TEST_F(StatusTable, NamedConstantsKeepTheirNumbers) {
  EXPECT_EQ(ST_CMD_SEND_OK, 0x100001u);
  EXPECT_EQ(ST_CMD_SEND_SIZE_ERR, 0x100004u);
  EXPECT_EQ(ST_KERMIT_SEND_OK, 0x100040u);
  EXPECT_EQ(ST_KERMIT_SEND_TIMEOUT, 0x100200u);
  EXPECT_EQ(ST_KERMIT_SEND_INIT_ERR, 0x100800u);
  EXPECT_EQ(ST_KERMIT_SEND_BREAK, 0x108000u);
  EXPECT_EQ(ST_SEND_RESERVE11, 0x180000u);
  EXPECT_EQ(ST_ANS_RECV_OK, 0x200001u);
  EXPECT_EQ(ST_ANS_RECV_SIZE_ERR, 0x200004u);
  EXPECT_EQ(ST_ANS_RECV_TIMEOUT, 0x200008u);
  EXPECT_EQ(ST_KERMIT_RECV_OK, 0x200040u);
  EXPECT_EQ(ST_KERMIT_RECV_NAME_MISMATCH, 0x201000u);
  EXPECT_EQ(ST_KERMIT_RECV_BREAK, 0x208000u);
  EXPECT_EQ(ST_KER2_RESERVE11, 0x280000u);
  EXPECT_EQ(ST_INI_FILE_MISSING, 0x10800001u);
  // Every named constant of the two serial groups is a row of the table.
  const uint32_t named[] = {ST_CMD_SEND_OK,         ST_CMD_SEND_ERR,           ST_CMD_SEND_TIMEOUT,
                            ST_CMD_SEND_OTHER_ERR,  ST_SEND_RESERVE2,          ST_KERMIT_SEND_ERR,
                            ST_KERMIT_SEND_SIZE_ERR, ST_KERMIT_SEND_OTHER_ERR, ST_KERMIT_SEND_NAME_MISMATCH,
                            ST_KERMIT_SEND_SIZE_MISMATCH, ST_KERMIT_SEND_CANCEL, ST_SEND_RESERVE8,
                            ST_SEND_RESERVE9,       ST_SEND_RESERVE10,         ST_ANS_RECV_ERR,
                            ST_ANS_RECV_OTHER_ERR,  ST_ANS2_RESERVE2,          ST_KERMIT_RECV_ERR,
                            ST_KERMIT_RECV_SIZE_ERR, ST_KERMIT_RECV_TIMEOUT,   ST_KERMIT_RECV_OTHER_ERR,
                            ST_KERMIT_RECV_INIT_ERR, ST_KERMIT_RECV_SIZE_MISMATCH, ST_KERMIT_RECV_CANCEL,
                            ST_KER2_RESERVE8,       ST_KER2_RESERVE9,          ST_KER2_RESERVE10};
  for (uint32_t code : named) {
    const StatusEntry* e = find_status(code);
    ASSERT_NE(e, nullptr) << std::hex << code;
    EXPECT_EQ(e->code, code);
  }
  EXPECT_EQ(find_status(0x100003), nullptr) << "combined codes name nothing";
  EXPECT_EQ(find_status(0), nullptr);
}

TEST(StatusResultWords, EachKermitOutcomeHasItsWord) {
  struct Case {
    uint32_t code;
    const char* word;
  };
  const Case cases[] = {
      {0x100040, "SND_OK"},    {0x100080, "SND_NG"},    {0x100100, "SND_NG"},     {0x100800, "INI_NG"},
      {0x101000, "S_FILE_NG"}, {0x102000, "S_FILE_NG"}, {0x104000, "SND_CANSEL"}, {0x108000, "SND_BREAK"},
      {0x200040, "RCV_OK"},    {0x200080, "RCV_NG"},    {0x200100, "RCV_NG"},     {0x200800, "INI_NG"},
      {0x201000, "R_FILE_NG"}, {0x202000, "R_FILE_NG"}, {0x204000, "RCV_CANCEL"}, {0x208000, "RCV_BREAK"},
      {0x100200, "SND_TMO"},   {0x200200, "RCV_TMO"},
  };
  for (const Case& c : cases) {
    ASSERT_NE(result_word(c.code), nullptr) << std::hex << c.code;
    EXPECT_STREQ(result_word(c.code), c.word) << std::hex << c.code;
  }
  // Codes that end no transfer have none.
  for (uint32_t code : {0x100001u, 0x200001u, 0x100400u, 0x200400u, 0x10800001u, 0u})
    EXPECT_EQ(result_word(code), nullptr) << std::hex << code;
}

}  // namespace
}  // namespace tessaril::status

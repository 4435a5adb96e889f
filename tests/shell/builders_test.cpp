// The button builders: the exact frame each puts into the editor, the
// sequence number, and the presets of the sequence controls.
#include <gtest/gtest.h>

#include <cstring>

#include "command_dialog_fixture.h"
#include "commands/command_table.h"
#include "link/frame_codec.h"

namespace tessaril::commands::test {
namespace {

using Bytes = std::vector<uint8_t>;

class CommandsBuilders : public CommandDialogTest {};

TEST_F(CommandsBuilders, GetFaultStatusRightAfterOpeningIsTheNineByteFrame) {
  build(4011);
  EXPECT_EQ(header_entries(), (std::vector<std::string>{"01", "00", "00", "01", "00", "00"}));
  EXPECT_EQ(text(IDC_HEADER_SIZE), "6");
  EXPECT_EQ(text(IDC_DATA_SIZE), "0");
  for (int i = 0; i < VISIBLE_DATA_ENTRIES; ++i) EXPECT_EQ(text(IDC_DATA_FIRST + i), "*");
  EXPECT_EQ(text(IDC_CRC_HIGH), "A9");
  EXPECT_EQ(text(IDC_CRC_LOW), "78");
  EXPECT_EQ(text(IDC_END_CODE), "C0");
  EXPECT_EQ(editor_frame(), (Bytes{0x01, 0x00, 0x00, 0x01, 0x00, 0x00, 0xA9, 0x78, 0xC0}));
  EXPECT_EQ(seq_no.load(), 2);
}

TEST_F(CommandsBuilders, SequenceNumberAdvancesPerBuildAndWrapsToOne) {
  build(4021);
  build(4031);
  EXPECT_EQ(header_entries()[2], "00");
  EXPECT_EQ(header_entries()[3], "02");
  seq_no.store(0x1234);
  build(4041);
  EXPECT_EQ(header_entries()[2], "12");
  EXPECT_EQ(header_entries()[3], "34");
  seq_no.store(0xFFFF);
  build(4041);
  EXPECT_EQ(header_entries()[2], "FF");
  EXPECT_EQ(header_entries()[3], "FF");
  build(4041);
  EXPECT_EQ(header_entries()[2], "00");
  EXPECT_EQ(header_entries()[3], "01");  // 0 is never used
  EXPECT_EQ(next_seq_no(0xFFFE), 0xFFFF);
  EXPECT_EQ(next_seq_no(0xFFFF), 1);
}

TEST_F(CommandsBuilders, ExtendedHeaderHidesButStillAdvancesTheSequenceNumber) {
  build(4011);  // seq 1
  build(4211);  // NOP, seq 2 not shown
  EXPECT_EQ(header_entries(), (std::vector<std::string>{"7F", "10", "06", "00", "00", "00"}));
  build(4011);
  EXPECT_EQ(header_entries()[3], "03");
}

TEST_F(CommandsBuilders, ExtendedHeaderCarriesLengthPlusSix) {
  build(4301);  // Set Overtemp limit, "85.0"
  EXPECT_EQ(header_entries(), (std::vector<std::string>{"76", "10", "10", "00", "00", "0A"}));
  EXPECT_EQ(data_field(editor_frame()), with_nul("TEMP=85.0"));

  build(4281);  // Set FAN Control Temperature, "30.0" and "20.0"
  EXPECT_EQ(text(IDC_DATA_SIZE), "21");
  EXPECT_EQ(header_entries()[2], "1B");
  EXPECT_EQ(data_field(editor_frame()), with_nul("TEMP=30.0,HTEMP=20.0"));
}

TEST_F(CommandsBuilders, EveryButtonBuildsAWellFormedFrame) {
  for (const CommandEntry& e : command_table) {
    const uint16_t seq = seq_no.load();
    build(e.button_id);
    const Bytes frame = editor_frame();
    ASSERT_GE(frame.size(), 9u) << e.caption;
    const size_t n = frame.size() - 9;
    EXPECT_EQ(frame[0], e.code) << e.caption;
    EXPECT_EQ((frame[4] << 8) | frame[5], static_cast<int>(n)) << e.caption;
    if (is_extended_code(e.code)) {
      EXPECT_EQ(frame[1], 0x10) << e.caption;
      EXPECT_EQ(frame[2], (n + 6) & 0xFF) << e.caption;
      EXPECT_EQ(frame[3], 0x00) << e.caption;
    } else {
      EXPECT_EQ(frame[1], 0x00) << e.caption;
      EXPECT_EQ((frame[2] << 8) | frame[3], seq) << e.caption;
    }
    EXPECT_TRUE(link::frame_crc_ok(frame.data(), frame.size())) << e.caption;
    EXPECT_EQ(frame.back(), 0xC0) << e.caption;
    if (e.source == DataSource::None) {
      EXPECT_EQ(n, 0u) << e.caption;
    } else {
      EXPECT_EQ(frame[frame.size() - 4], 0x00) << e.caption << ": the data ends in its NUL";
    }
    EXPECT_EQ(seq_no.load(), next_seq_no(seq)) << e.caption;
  }
}

TEST_F(CommandsBuilders, RadioGroupsGiveTheTextOfTheSelectedButton) {
  struct Case {
    int button;
    std::initializer_list<int> group;
    int selected;
    const char* text;
  };
  const Case cases[] = {
      {4071, {IDC_HIGHBAND, IDC_LOWBAND}, IDC_HIGHBAND, "highband"},
      {4071, {IDC_HIGHBAND, IDC_LOWBAND}, IDC_LOWBAND, "lowband"},
      {4191, {IDC_PA_ENABLED, IDC_PA_DISABLED}, IDC_PA_ENABLED, "enabled"},
      {4191, {IDC_PA_ENABLED, IDC_PA_DISABLED}, IDC_PA_DISABLED, "disabled"},
      {4192, {IDC_RHAND, IDC_LHAND}, IDC_RHAND, "rhand"},
      {4192, {IDC_RHAND, IDC_LHAND}, IDC_LHAND, "lhand"},
      {4291, {IDC_FAN_NORMAL, IDC_FAN_ON, IDC_FAN_OFF}, IDC_FAN_NORMAL, "normal"},
      {4291, {IDC_FAN_NORMAL, IDC_FAN_ON, IDC_FAN_OFF}, IDC_FAN_ON, "on"},
      {4291, {IDC_FAN_NORMAL, IDC_FAN_ON, IDC_FAN_OFF}, IDC_FAN_OFF, "off"},
      {4271, {IDC_CAL_EX_FILE_1, IDC_CAL_EX_FILE_2}, IDC_CAL_EX_FILE_2, "2"},
      {4221, {IDC_RESTART_NEW, IDC_RESTART_OLD}, IDC_RESTART_OLD, "old"},
      {4221, {IDC_RESTART_NEW, IDC_RESTART_OLD}, IDC_RESTART_NEW, "new"},
  };
  for (const Case& c : cases) {
    select_radio(c.group, c.selected);
    build(c.button);
    EXPECT_EQ(data_field(editor_frame()), with_nul(c.text)) << c.text;
    EXPECT_EQ(text(IDC_DATA_SIZE), std::to_string(std::strlen(c.text) + 1)) << c.text;
  }
}

TEST_F(CommandsBuilders, TypedInputsAreCutAtTheirReadLimits) {
  set(IDC_LO_FREQUENCY, "28.050");
  build(4081);
  EXPECT_EQ(data_field(editor_frame()), with_nul("28.050GHz"));  // sent whatever the label asks
  set(IDC_LO_FREQUENCY, "12345678901234567890123");
  build(4081);
  EXPECT_EQ(data_field(editor_frame()), with_nul("1234567890123456789GHz"));
  set(IDC_OVERTEMP, "123.4567");
  build(4301);
  EXPECT_EQ(data_field(editor_frame()), with_nul("TEMP=123.45"));
  set(IDC_LO_FREQUENCY, "");
  build(4081);
  EXPECT_EQ(data_field(editor_frame()), with_nul("GHz"));
}

TEST_F(CommandsBuilders, FileCommandsBeforeAnySelectionSendTheStars) {
  for (int button : {4101, 4151, 4161}) {
    build(button);
    EXPECT_EQ(data_field(editor_frame()), (Bytes{0x2A, 0x2C, 0x2A, 0x00})) << button;
  }
}

TEST_F(CommandsBuilders, KermitStatusUpperCasesTheNameOnlyWhileNoSequenceRuns) {
  set(IDC_STATUS_FILE_NAME, "cal_data.xml");
  build(4111);
  EXPECT_EQ(data_field(editor_frame()), with_nul("CAL_DATA.XML"));
  S().frame_slot.store(2);
  build(4111);
  EXPECT_EQ(data_field(editor_frame()), with_nul("cal_data.xml"));
}

TEST_F(CommandsBuilders, ReceiveFileUpperCasesTheNameButNotTheSize) {
  set(IDC_RECV_FILE_NAME, "a~b`c{z}.gz");
  set(IDC_RECV_FILE_SIZE, "12x");
  build(4121);
  EXPECT_EQ(data_field(editor_frame()), with_nul("A^B@C[Z].GZ,12x"));
}

TEST_F(CommandsBuilders, UpcaseNameLowersExactlyTheBytes60To7F) {
  std::string all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
  const std::string up = upcase_name(all);
  for (int b = 1; b < 256; ++b) {
    const int expected = (b >= 0x60 && b <= 0x7F) ? b - 0x20 : b;
    EXPECT_EQ(static_cast<unsigned char>(up[static_cast<size_t>(b - 1)]), expected) << b;
  }
  char in_place[] = "cal\x83~.xml";
  upcase_name(in_place);
  EXPECT_STREQ(in_place, "CAL\x83^.XML");
}

TEST_F(CommandsBuilders, WriteProductIdSendsFiftyBytesAndKeepsTheTexts) {
  set(IDC_BPN, "ABCDEFGHIJKLM");
  set(IDC_MID, "XY");
  set(IDC_BSN, "123456789");
  set(IDC_FID, "F00001");
  build(4231);
  const std::string expected = "BPN=ABCDEFGHIJKLM,MID=XY,BSN=123456789,FID=F00001";
  EXPECT_EQ(text(IDC_DATA_SIZE), "50");
  const Bytes frame = editor_frame();
  EXPECT_EQ(data_field(frame), with_nul(expected));
  EXPECT_TRUE(link::frame_crc_ok(frame.data(), frame.size()));
  // The first 30 bytes are on screen, the rest is held behind it.
  EXPECT_EQ(text(IDC_DATA_LAST), "31");  // expected[29] is the first digit of the BSN
  EXPECT_STREQ(slot_frame_text(1).entry[49], "00");
  EXPECT_STREQ(product_id.bpn_text, "ABCDEFGHIJKLM");
  EXPECT_STREQ(product_id.fid_text, "F00001");
}

TEST_F(CommandsBuilders, ProductIdTextsKeepTheirCapacities) {
  set(IDC_BPN, std::string(40, 'B'));
  set(IDC_MID, "MMMMMM");
  set(IDC_BSN, std::string(20, 'S'));
  set(IDC_FID, std::string(20, 'F'));
  build(4231);
  EXPECT_EQ(std::string(product_id.bpn_text), std::string(14, 'B'));
  EXPECT_EQ(std::string(product_id.mid_text), "MMM");
  EXPECT_EQ(std::string(product_id.bsn_text), std::string(10, 'S'));
  EXPECT_EQ(std::string(product_id.fid_text), std::string(7, 'F'));
  EXPECT_EQ(data_field(editor_frame()),
            with_nul("BPN=" + std::string(14, 'B') + ",MID=MMM,BSN=" + std::string(10, 'S') + ",FID=" + std::string(7, 'F')));
}

TEST_F(CommandsBuilders, LongFileNamesOfTheCalibrationGroupArriveWhole) {
  // Beyond thirty bytes, and beyond what a 57-entry slot could hold.
  const std::string name = "CALIBRATION_DATA_FOR_BUC_UNIT_0001.XML";  // 38 characters
  set(IDC_CAL_FILE_NAME, name);
  set(IDC_CAL_FILE_SIZE, "123456789012345678901234567890123456789");
  build(4151);
  EXPECT_EQ(data_field(editor_frame()), with_nul(name + ",123456789012345678901234567890123456789"));
}

TEST_F(CommandsBuilders, PlainPresetUnticksKermitAndBlanksTheWaits) {
  check(IDC_SEND_FRAME2, true);
  check(IDC_SEND_FRAME3, true);
  check(IDC_TRNS_TMO_ERR, true);
  build(4011);
  EXPECT_FALSE(checked(IDC_KERMIT_TRNS));
  EXPECT_TRUE(checked(IDC_SEND_FRAME2));
  EXPECT_TRUE(checked(IDC_SEND_FRAME3));
  EXPECT_TRUE(checked(IDC_TRNS_TMO_ERR));
  EXPECT_EQ(text(IDC_WAIT_FRAME1), " ");
  EXPECT_EQ(text(IDC_WAIT_KERMIT), " ");
  EXPECT_EQ(text(IDC_KERMIT_TMO), "1000");
}

TEST_F(CommandsBuilders, ResetPresetsUntickAllFourBoxes) {
  for (int box : {IDC_SEND_FRAME2, IDC_SEND_FRAME3, IDC_KERMIT_TRNS, IDC_TRNS_TMO_ERR}) check(box, true);
  build(4071);
  for (int box : {IDC_SEND_FRAME2, IDC_SEND_FRAME3, IDC_KERMIT_TRNS, IDC_TRNS_TMO_ERR}) EXPECT_FALSE(checked(box));
  EXPECT_EQ(text(IDC_WAIT_FRAME1), " ");
  EXPECT_EQ(text(IDC_KERMIT_TMO), "1000");

  for (int box : {IDC_SEND_FRAME2, IDC_SEND_FRAME3, IDC_KERMIT_TRNS, IDC_TRNS_TMO_ERR}) check(box, true);
  set(IDC_WAIT_FRAME1, "250");
  set(IDC_WAIT_KERMIT, "350");
  set(IDC_KERMIT_TMO, "450");
  for (int button : {4111, 4281}) {  // reset, waits kept
    build(button);
    for (int box : {IDC_SEND_FRAME2, IDC_SEND_FRAME3, IDC_KERMIT_TRNS, IDC_TRNS_TMO_ERR}) EXPECT_FALSE(checked(box));
    EXPECT_EQ(text(IDC_WAIT_FRAME1), "250");
    EXPECT_EQ(text(IDC_WAIT_KERMIT), "350");
    EXPECT_EQ(text(IDC_KERMIT_TMO), "450");
  }
}

TEST_F(CommandsBuilders, ChainPresetsFollowTheirChainBox) {
  struct Case {
    int button, box;
    const char *w1, *w2;
  };
  for (const Case& c : {Case{4121, 5121, "100", " "}, Case{4141, 5141, "100", "100"}, Case{4151, 5151, "100", "4000"},
                        Case{4161, 5161, "100", "6000"}, Case{4271, 5271, "100", "100"}}) {
    for (bool chained : {true, false}) {
      check(c.box, chained);
      check(IDC_TRNS_TMO_ERR, true);
      build(c.button);
      EXPECT_EQ(checked(IDC_SEND_FRAME2), chained) << c.button;
      EXPECT_EQ(checked(IDC_SEND_FRAME3), chained) << c.button;
      EXPECT_EQ(checked(IDC_KERMIT_TRNS), chained) << c.button;
      EXPECT_TRUE(checked(IDC_TRNS_TMO_ERR)) << c.button;
      EXPECT_EQ(text(IDC_WAIT_FRAME1), c.w1) << c.button;
      EXPECT_EQ(text(IDC_WAIT_KERMIT), c.w2) << c.button;
      EXPECT_EQ(text(IDC_KERMIT_TMO), "1000") << c.button;
    }
  }
}

TEST_F(CommandsBuilders, StartFileTransferPresetDependsOnItsChainBox) {
  check(IDC_TRNS_TMO_ERR, true);
  check(5101, true);
  build(4101);
  EXPECT_TRUE(checked(IDC_SEND_FRAME2));
  EXPECT_FALSE(checked(IDC_SEND_FRAME3));
  EXPECT_TRUE(checked(IDC_KERMIT_TRNS));
  EXPECT_TRUE(checked(IDC_TRNS_TMO_ERR));
  EXPECT_EQ(text(IDC_WAIT_FRAME1), "6000");
  EXPECT_EQ(text(IDC_WAIT_KERMIT), " ");
  EXPECT_EQ(text(IDC_KERMIT_TMO), "1000");
  check(5101, false);
  check(IDC_SEND_FRAME3, true);
  build(4101);
  EXPECT_FALSE(checked(IDC_SEND_FRAME2));
  EXPECT_FALSE(checked(IDC_SEND_FRAME3));
  EXPECT_FALSE(checked(IDC_KERMIT_TRNS));
}

TEST_F(CommandsBuilders, UnknownIdsTouchNothing) {
  set(IDC_HEADER_FIRST, "AB");
  const uint16_t seq = seq_no.load();
  EXPECT_FALSE(build_command_for_button(dialog, S(), 4102));
  EXPECT_FALSE(build_command_for_button(dialog, S(), 4012));
  EXPECT_EQ(text(IDC_HEADER_FIRST), "AB");
  EXPECT_EQ(seq_no.load(), seq);
}

TEST_F(CommandsBuilders, AButtonBuilderClearsWhatALongerFrameLeftBehind) {
  set(IDC_BPN, "ABCDEFGHIJKLM");
  build(4231);  // 50 data bytes
  build(4071);  // "highband", 9 bytes
  EXPECT_STREQ(slot_frame_text(1).entry[9], "*");
  EXPECT_STREQ(slot_frame_text(1).entry[49], "*");
  EXPECT_EQ(text(IDC_DATA_FIRST + 9), "*");
  EXPECT_EQ(data_field(editor_frame()), with_nul("highband"));
}

}  // namespace
}  // namespace tessaril::commands::test

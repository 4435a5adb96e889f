// The frame editor and its buttons: what "Send" hands to the send thread for
// every state of the editor, the CRC entries, "Reset State", "KerTrns Quit",
// and text in the edits that no builder would write.
#include <gtest/gtest.h>

#include "command_dialog_fixture.h"
#include "link/frame_codec.h"

namespace tessaril::commands::test {
namespace {

using Bytes = std::vector<uint8_t>;

class CommandsFrameEditor : public CommandDialogTest {};

const Bytes fault_status = {0x01, 0x00, 0x00, 0x01, 0x00, 0x00, 0xA9, 0x78, 0xC0};

TEST_F(CommandsFrameEditor, SendHandsFrameOneToTheSendThread) {
  build(4011);
  S().frame_slot.store(3);
  on_send(dialog, S());
  EXPECT_EQ(step_raw(1), fault_status);
  EXPECT_EQ(step_enc(1), fault_status);  // nothing to escape; the END is never escaped
  EXPECT_EQ(S().seq_params[link::SEQ_RAW_LEN + 1].load(), 9);
  EXPECT_EQ(S().seq_params[link::SEQ_ENC_LEN + 1].load(), 9);
  EXPECT_EQ(S().frame_slot.load(), 1);
  EXPECT_EQ(S().tx_command.load(), link::TX_SEND_FRAME);
  for (int id : {IDC_RESULT_FRAME1, IDC_RESULT_FRAME2, IDC_RESULT_FRAME3, IDC_RESULT_KERMIT}) EXPECT_EQ(text(id), " ");
}

TEST_F(CommandsFrameEditor, CrcAndEndCodeBoxesLeaveTheirBytesOut) {
  build(4011);
  check(IDC_CRC_ENABLE, false);
  on_send(dialog, S());
  EXPECT_EQ(step_raw(1), (Bytes{0x01, 0x00, 0x00, 0x01, 0x00, 0x00, 0xC0}));
  check(IDC_CRC_ENABLE, true);
  check(IDC_END_ENABLE, false);
  on_send(dialog, S());
  EXPECT_EQ(step_raw(1), (Bytes{0x01, 0x00, 0x00, 0x01, 0x00, 0x00, 0xA9, 0x78}));
  EXPECT_EQ(S().seq_params[link::SEQ_RAW_LEN + 1].load(), 8);
}

TEST_F(CommandsFrameEditor, SendKeepsAStaleCrcUntilRecalc) {
  build(4071);  // "highband"
  const std::string crc_high = text(IDC_CRC_HIGH), crc_low = text(IDC_CRC_LOW);
  set(IDC_DATA_FIRST, "4C");  // 'h' becomes 'L'
  on_send(dialog, S());
  Bytes sent = step_raw(1);
  EXPECT_EQ(sent[6], 0x4C);
  EXPECT_FALSE(link::frame_crc_ok(sent.data(), sent.size()));
  EXPECT_EQ(text(IDC_CRC_HIGH), crc_high);
  EXPECT_EQ(text(IDC_CRC_LOW), crc_low);

  on_crc_recalc(dialog);
  on_send(dialog, S());
  sent = step_raw(1);
  EXPECT_TRUE(link::frame_crc_ok(sent.data(), sent.size()));
  EXPECT_EQ(data_field(sent), with_nul("Lighband"));
}

TEST_F(CommandsFrameEditor, EmptyDataEntriesReadAsZeroDigitsAndTheLastAsNul) {
  build(4011);
  set(IDC_DATA_SIZE, "5");
  set(IDC_DATA_FIRST + 0, "41");
  set(IDC_DATA_FIRST + 2, "42");
  on_crc_recalc(dialog);
  const Bytes frame = editor_frame();
  EXPECT_EQ(data_field(frame), (Bytes{0x41, 0x30, 0x42, 0x30, 0x00}));
  EXPECT_TRUE(link::frame_crc_ok(frame.data(), frame.size()));
}

TEST_F(CommandsFrameEditor, ShiftJisBytesOfAFileNameAreShownAndSentAsTheyAre) {
  set(IDC_STATUS_FILE_NAME, "\x83\x65\x83\x58\x83\x67.xml");
  build(4111);
  EXPECT_EQ(text(IDC_DATA_FIRST), "83");
  // The trail byte 0x65 lies in 0x60..0x7F, which upcase_name lowers like any other.
  EXPECT_EQ(text(IDC_DATA_FIRST + 1), "45");
  on_send(dialog, S());
  const Bytes data = data_field(step_raw(1));
  ASSERT_EQ(data.size(), 11u);
  EXPECT_EQ(data[0], 0x83);
}

TEST_F(CommandsFrameEditor, ResetStateClearsTheHeaderButLeavesTheDataOnScreen) {
  build(4071);  // "highband": data size 9
  check(IDC_SEND_FRAME2, true);
  S().tx_command.store(link::TX_KERMIT_SEND);
  S().rx_command.store(link::RX_AWAIT_ANSWER);
  S().frame_slot.store(3);
  on_reset_state(dialog, S());
  EXPECT_EQ(header_entries(), (std::vector<std::string>(6, "00")));
  EXPECT_EQ(text(IDC_CRC_HIGH), "00");
  EXPECT_EQ(text(IDC_CRC_LOW), "00");
  EXPECT_EQ(text(IDC_END_CODE), "C0");
  EXPECT_EQ(text(IDC_DATA_FIRST), "68");
  EXPECT_EQ(text(IDC_DATA_SIZE), "9");
  EXPECT_EQ(text(IDC_HEADER_SIZE), "6");
  for (int id : {IDC_RESULT_FRAME1, IDC_RESULT_FRAME2, IDC_RESULT_FRAME3, IDC_RESULT_KERMIT}) EXPECT_EQ(text(id), " ");
  EXPECT_EQ(S().tx_command.load(), 0);
  EXPECT_EQ(S().rx_command.load(), 0);
  EXPECT_EQ(S().frame_slot.load(), 1);

  on_send(dialog, S());
  const Bytes sent = step_raw(1);
  Bytes expected(6, 0x00);
  for (uint8_t b : with_nul("highband")) expected.push_back(b);
  expected.insert(expected.end(), {0x00, 0x00, 0xC0});
  EXPECT_EQ(sent, expected);
}

TEST_F(CommandsFrameEditor, WaitsBecomeTicksAndNegativeWaitsCountZero) {
  build(4011);
  set(IDC_WAIT_FRAME1, "6000");
  set(IDC_WAIT_KERMIT, "19");
  set(IDC_KERMIT_TMO, "1000");
  on_send(dialog, S());
  EXPECT_EQ(S().step_wait_ticks(1).load(), 300);
  EXPECT_EQ(S().step_wait_ticks(2).load(), 5);
  EXPECT_EQ(S().step_wait_ticks(3).load(), 0);
  EXPECT_EQ(S().step_wait_ticks(4).load(), 5);
  EXPECT_EQ(S().kermit_tmo_count.load(), 5);

  set(IDC_WAIT_FRAME1, "-20");
  set(IDC_WAIT_KERMIT, " ");
  set(IDC_KERMIT_TMO, "-99999");
  on_send(dialog, S());
  EXPECT_EQ(S().step_wait_ticks(1).load(), 0);
  EXPECT_EQ(S().step_wait_ticks(3).load(), 0);
  EXPECT_EQ(S().kermit_tmo_count.load(), 0);

  set(IDC_WAIT_FRAME1, "1234567");  // six characters are read
  on_send(dialog, S());
  EXPECT_EQ(S().step_wait_ticks(1).load(), 123456 / 20);
}

TEST_F(CommandsFrameEditor, SendPassesTheTimeOutTestAndTheHeaderSplit) {
  build(4011);
  check(IDC_TRNS_TMO_ERR, true);
  set(IDC_HEADER_DATA_WAIT, "3");
  on_send(dialog, S());
  EXPECT_EQ(S().tmo_test_tx.load(), 1);
  EXPECT_EQ(S().tmo_test_rx.load(), 1);
  EXPECT_EQ(S().split_header().load(), 3);
  check(IDC_TRNS_TMO_ERR, false);
  set(IDC_HEADER_DATA_WAIT, "0");
  on_send(dialog, S());
  EXPECT_EQ(S().tmo_test_tx.load(), 0);
  EXPECT_EQ(S().tmo_test_rx.load(), 0);
  EXPECT_EQ(S().split_header().load(), 0);
}

TEST_F(CommandsFrameEditor, HeaderSizesAboveSixReadOnIntoTheDataEntries) {
  build(4011);
  set(IDC_HEADER_SIZE, "8");
  set(IDC_DATA_FIRST, "AA");
  set(IDC_DATA_FIRST + 1, "BB");
  on_send(dialog, S());
  const Bytes sent = step_raw(1);
  ASSERT_EQ(sent.size(), 11u);
  EXPECT_EQ(sent[6], 0xAA);
  EXPECT_EQ(sent[7], 0xBB);

  set(IDC_HEADER_SIZE, "40");  // positions past the last data entry read 0x00
  set(IDC_DATA_LAST, "CC");
  on_send(dialog, S());
  const Bytes long_header = step_raw(1);
  ASSERT_EQ(long_header.size(), 43u);
  EXPECT_EQ(long_header[35], 0xCC);
  for (size_t k = 36; k < 40; ++k) EXPECT_EQ(long_header[k], 0x00) << k;
}

TEST_F(CommandsFrameEditor, OversizedFieldsAreCappedAndTheFrameCutAt300) {
  build(4011);
  for (const char* size : {"-1", "999999", "0x7FFF", "300"}) {
    set(IDC_DATA_SIZE, size);
    on_send(dialog, S());
    const Bytes sent = step_raw(1);
    ASSERT_EQ(sent.size(), 300u) << size;
    EXPECT_EQ(S().seq_params[link::SEQ_RAW_LEN + 1].load(), 300) << size;
    EXPECT_EQ(sent[6], 0x30) << size;  // empty entries read as "0"
    EXPECT_EQ(sent[299], 0x30) << size;  // the cut falls before the last data byte
  }
  set(IDC_HEADER_SIZE, "-1");
  set(IDC_DATA_SIZE, "-1");
  on_crc_recalc(dialog);  // covers at most 300 + 300 bytes, and returns
  on_send(dialog, S());
  EXPECT_EQ(step_raw(1).size(), 300u);
}

TEST_F(CommandsFrameEditor, ADataFieldAtTheLimitKeepsItsLastBytes) {
  build(4011);
  set(IDC_DATA_SIZE, "291");  // 6 + 291 + 3 = 300
  set(IDC_DATA_FIRST + 0, "C0");
  set(IDC_DATA_FIRST + 1, "DB");
  on_crc_recalc(dialog);
  on_send(dialog, S());
  const Bytes sent = step_raw(1);
  ASSERT_EQ(sent.size(), 300u);
  EXPECT_EQ(sent[296], 0x00);  // the data's closing NUL
  EXPECT_EQ(sent[299], 0xC0);
  EXPECT_TRUE(link::frame_crc_ok(sent.data(), sent.size()));
  const Bytes enc = step_enc(1);
  size_t escaped = 0;
  for (size_t i = 0; i + 1 < sent.size(); ++i) escaped += (sent[i] == 0xC0 || sent[i] == 0xDB) ? 1 : 0;
  EXPECT_GE(escaped, 2u);
  EXPECT_EQ(enc.size(), sent.size() + escaped);  // the END itself is never escaped
  EXPECT_EQ(S().seq_params[link::SEQ_ENC_LEN + 1].load(), static_cast<int>(enc.size()));
  Bytes decoded(enc.size());
  decoded.resize(link::rfc1055_decode(enc.data(), enc.size(), decoded.data()));
  EXPECT_EQ(decoded, sent);
}

TEST_F(CommandsFrameEditor, AnyTextInTheEntriesGivesADefinedFrame) {
  build(4011);
  set(IDC_DATA_SIZE, "4");
  set(IDC_DATA_FIRST + 0, std::string(500, 'F'));
  set(IDC_DATA_FIRST + 1, "\x82\xa0\x82\xa2");
  set(IDC_DATA_FIRST + 2, "");
  set(IDC_HEADER_FIRST, "0x41");
  set(IDC_CRC_HIGH, "not hex");
  set(IDC_END_CODE, "");
  on_send(dialog, S());
  const Bytes sent = step_raw(1);
  // 9 characters of "FFF..." saturate to all ones: 0xFF. The CP932 and empty
  // entries read 0x00; the last data byte is a NUL.
  EXPECT_EQ(sent, (Bytes{0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x78, 0x00}));
  EXPECT_EQ(slot_frame_text(1).entry[0][ENTRY_TEXT_SIZE - 1], '\0');
}

TEST_F(CommandsFrameEditor, KermitQuitAsksOnlyARunningTransferToStop) {
  on_kermit_quit(dialog, S());
  EXPECT_EQ(S().kermit_quit_request.load(), 0);
  S().tx_command.store(link::TX_SEND_FRAME);
  on_kermit_quit(dialog, S());
  EXPECT_EQ(S().kermit_quit_request.load(), 0);
  S().tx_command.store(link::TX_KERMIT_SEND);
  on_kermit_quit(dialog, S());
  EXPECT_EQ(S().kermit_quit_request.load(), 1);
  S().kermit_quit_request.store(0);
  S().tx_command.store(0);
  S().rx_command.store(link::RX_KERMIT_RECEIVE);
  on_kermit_quit(dialog, S());
  EXPECT_EQ(S().kermit_quit_request.load(), 1);
}

}  // namespace
}  // namespace tessaril::commands::test

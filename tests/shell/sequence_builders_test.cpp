// The sequence builders: the frames of Frames 2 and 3 as they reach the
// transmit buffers, without disturbing Frame 1's data on screen.
#include <gtest/gtest.h>

#include "command_dialog_fixture.h"
#include "link/frame_codec.h"

namespace tessaril::commands::test {
namespace {

using Bytes = std::vector<uint8_t>;

class CommandsSequenceBuilders : public CommandDialogTest {};

// A standard-header frame with the given data text and its CRC.
Bytes expected_frame(uint8_t code, uint16_t seq, const std::string& text, bool with_data = true) {
  const size_t n = with_data ? text.size() + 1 : 0;
  Bytes f;
  f.reserve(link::FRAME_MAX);
  for (int b : {static_cast<int>(code), 0x00, seq >> 8, seq & 0xFF, static_cast<int>(n >> 8), static_cast<int>(n & 0xFF)})
    f.push_back(static_cast<uint8_t>(b));
  for (size_t i = 0; i < n; ++i) f.push_back(i < text.size() ? static_cast<uint8_t>(text[i]) : 0x00);
  const uint16_t crc = static_cast<uint16_t>(~link::frame_crc(f.data(), f.size()));
  f.push_back(static_cast<uint8_t>(crc >> 8));
  f.push_back(static_cast<uint8_t>(crc & 0xFF));
  f.push_back(0xC0);
  return f;
}

TEST_F(CommandsSequenceBuilders, TransferStartFrameGoesIntoItsStepAndShowsTheFile) {
  build(4151);  // Frame 1: Set Calibration File, seq 1
  const uint16_t seq = seq_no.load();
  const int enc_len = build_transfer_start_frame(dialog, S(), 2, "CAL_DATA.XML", 12345);
  EXPECT_EQ(step_raw(2), expected_frame(0x0A, seq, "CAL_DATA.XML,12345"));
  EXPECT_EQ(enc_len, S().seq_params[link::SEQ_ENC_LEN + 2].load());
  EXPECT_EQ(S().seq_params[link::SEQ_RAW_LEN + 2].load(), 9 + 19);
  EXPECT_EQ(text(IDC_TRANSFER_FILE_NAME), "CAL_DATA.XML");
  EXPECT_EQ(text(IDC_TRANSFER_FILE_SIZE), "12345");
  EXPECT_EQ(seq_no.load(), next_seq_no(seq));
  // Frame 1's data stays on screen; the editor's header shows Frame 2.
  EXPECT_EQ(text(IDC_DATA_FIRST), "2A");
  EXPECT_EQ(header_entries()[0], "0A");
  EXPECT_EQ(text(IDC_DATA_SIZE), "19");
}

TEST_F(CommandsSequenceBuilders, StatusFrameSendsTheNameUnchangedAndWhole) {
  // A name of 30 characters: longer than the status frame's slot could once hold.
  const std::string name = "calibration_data_unit_0001.xml";
  build(4011);
  const uint16_t seq = seq_no.load();
  build_status_frame(dialog, S(), 3, name.c_str());
  EXPECT_EQ(step_raw(3), expected_frame(0x0B, seq, name));
  EXPECT_EQ(text(IDC_STATUS_FILE_NAME), name);
  EXPECT_EQ(text(IDC_DATA_FIRST), "*");  // slot 3 is not shown
}

TEST_F(CommandsSequenceBuilders, ReceiveFrameCarriesTheAnnouncedFile) {
  build(4141);
  const uint16_t seq = seq_no.load();
  build_receive_frame(dialog, S(), 2, "BUC_CAL.GZ", 4096);
  EXPECT_EQ(step_raw(2), expected_frame(0x0C, seq, "BUC_CAL.GZ,4096"));
}

TEST_F(CommandsSequenceBuilders, LatchResetRebuildsTheCurrentStep) {
  build(4091);
  const uint16_t seq = seq_no.load();
  const int enc_len = build_latch_reset_frame(dialog, S(), 1);
  EXPECT_EQ(step_raw(1), expected_frame(0x09, seq, "", false));
  EXPECT_EQ(enc_len, S().seq_params[link::SEQ_ENC_LEN + 1].load());
}

TEST_F(CommandsSequenceBuilders, EncodedLengthCountsTheEscapes) {
  build(4011);
  const char name[] = "\xC0\xDB.BIN";
  const int enc_len = build_status_frame(dialog, S(), 2, name);
  const Bytes raw = step_raw(2);
  size_t escaped = 0;
  for (size_t i = 0; i + 1 < raw.size(); ++i) escaped += (raw[i] == 0xC0 || raw[i] == 0xDB) ? 1 : 0;
  EXPECT_GE(escaped, 2u);
  EXPECT_EQ(enc_len, static_cast<int>(raw.size() + escaped));
  EXPECT_EQ(step_enc(2).size(), static_cast<size_t>(enc_len));
}

TEST_F(CommandsSequenceBuilders, TheEndCodeEntryIsTakenAsItStands) {
  build(4011);
  set(IDC_END_CODE, "7E");
  build_latch_reset_frame(dialog, S(), 2);
  const Bytes raw = step_raw(2);
  ASSERT_EQ(raw.size(), 9u);
  EXPECT_EQ(raw[8], 0x7E);
  EXPECT_EQ(text(IDC_END_CODE), "7E");
}

TEST_F(CommandsSequenceBuilders, StepsOutsideOneToFourAreRefused) {
  build(4011);
  const uint16_t seq = seq_no.load();
  const Bytes step1 = step_raw(1);
  EXPECT_EQ(build_status_frame(dialog, S(), 5, "X"), 0);
  EXPECT_EQ(build_latch_reset_frame(dialog, S(), 0), 0);
  EXPECT_EQ(build_receive_frame(dialog, S(), -1, "X", 1), 0);
  EXPECT_EQ(seq_no.load(), seq);
  EXPECT_EQ(step_raw(1), step1);
  // Step 4 exists; its table is that of slot 3.
  const int enc_len = build_status_frame(dialog, S(), 4, "K.BIN");
  EXPECT_GT(enc_len, 0);
  EXPECT_EQ(step_raw(4), expected_frame(0x0B, seq, "K.BIN"));
}

TEST_F(CommandsSequenceBuilders, ANullOrUnterminatedNameStaysInBounds) {
  build(4011);
  EXPECT_GT(build_status_frame(dialog, S(), 2, nullptr), 0);
  EXPECT_EQ(data_field(step_raw(2)), with_nul(""));
  // A name with no terminator within any data field's reach is read no further.
  std::string long_name(400, 'N');
  EXPECT_GT(build_status_frame(dialog, S(), 2, long_name.c_str()), 0);
  EXPECT_EQ(step_raw(2).size(), link::FRAME_MAX);
}

}  // namespace
}  // namespace tessaril::commands::test

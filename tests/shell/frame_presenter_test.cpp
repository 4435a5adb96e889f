// The editor as a view of a frame: a frame shown reads back as the same
// bytes, in every slot; what the engineer types afterwards is what goes out;
// and the sequence builders store what their slot reads back.
#include <gtest/gtest.h>

#include <string>

#include "command_dialog_fixture.h"
#include "commands/command_frames.h"
#include "commands/entry_text.h"

namespace tessaril::commands::test {
namespace {

using Bytes = std::vector<uint8_t>;

class CommandsFramePresenter : public CommandDialogTest {
 protected:
  // The slot's frame as the edits hold it: header size 6, the shown data
  // size, CRC and END code.
  Bytes read_back(int slot) const {
    uint8_t raw[link::FRAME_MAX];
    const int n = read_editor_frame(dialog, slot, raw, 6, data_size_field(dialog, 6), true, true);
    return Bytes(raw, raw + n);
  }
};

TEST_F(CommandsFramePresenter, AShownFrameReadsBackAsItsBytes) {
  const std::string product = "BPN=ABCDEFGHIJKLM,MID=XY,BSN=123456789,FID=F00001";  // 50 bytes with the NUL
  const Frame frames[] = {
      command_frame(*find_command(4011), "", 0xC0DB),  // standard, bytes to escape in the header
      command_frame(*find_command(4301), "TEMP=85.0", 9),  // extended
      command_frame(*find_command(4231), product, 0x0203),  // longer than the thirty visible entries
      build_frame(0x0B, true, "A", 1, 0x7E),
  };
  for (int slot : {1, 2, 3}) {
    for (const Frame& f : frames) {
      show_frame(dialog, slot, f, EndCodeEntry::Write);
      EXPECT_EQ(read_back(slot), frame_bytes(f)) << "slot " << slot << ", code " << int{f.header[0]};
      EXPECT_EQ(editor_crc(dialog, slot), f.crc) << "slot " << slot << ": \"CRC Recalc.\" keeps the CRC";
    }
  }
  // Slots 2 and 3 leave the visible data entries to Frame 1.
  show_frame(dialog, 1, frames[2], EndCodeEntry::Write);
  show_frame(dialog, 2, frames[1], EndCodeEntry::Write);
  EXPECT_EQ(text(IDC_DATA_FIRST), "42");
  EXPECT_EQ(text(IDC_DATA_LAST), "31");
}

TEST_F(CommandsFramePresenter, KeepLeavesTheEndCodeEntryAsTyped) {
  set(IDC_END_CODE, "7e");
  show_frame(dialog, 2, latch_reset_frame(1, 0x7E), EndCodeEntry::Keep);
  EXPECT_EQ(text(IDC_END_CODE), "7e");
  show_frame(dialog, 2, latch_reset_frame(1), EndCodeEntry::Write);
  EXPECT_EQ(text(IDC_END_CODE), "C0");
}

TEST_F(CommandsFramePresenter, WhatIsTypedOverABuiltFrameIsWhatIsSent) {
  build(4071);  // "highband", seq 1
  set(IDC_HEADER_FIRST, "55");
  set(IDC_DATA_FIRST + 1, "*");
  set(IDC_CRC_LOW, "1");
  set(IDC_END_CODE, "7E");
  on_send(dialog, S());
  Bytes expected = {0x55, 0x00, 0x00, 0x01, 0x00, 0x09, 'h', 0x30, 'g', 'h', 'b', 'a', 'n', 'd', 0x00};
  expected.push_back(entry_byte(text(IDC_CRC_HIGH)));
  expected.insert(expected.end(), {0x01, 0x7E});
  EXPECT_EQ(step_raw(1), expected);
}

TEST_F(CommandsFramePresenter, SequenceFramesStoreWhatTheirSlotReadsBack) {
  struct Case {
    int slot;
    std::string name;
  };
  // Short, beyond the visible entries, past a data field's room (filler on the
  // wire), and past 300 declared bytes (the size field itself is capped).
  for (const Case& c : {Case{2, "K.BIN"}, Case{1, std::string(40, 'a')}, Case{3, std::string(291, 'n')},
                        Case{2, std::string(400, 'x')}}) {
    build(4011);
    build_transfer_start_frame(dialog, S(), c.slot, c.name.c_str(), 1234567890);
    EXPECT_EQ(step_raw(c.slot), read_back(c.slot)) << c.name.size() << " in slot " << c.slot;
  }
}

}  // namespace
}  // namespace tessaril::commands::test

// The frames of the catalogue built without a dialog, against frames laid
// out byte by byte (their CRCs worked out bit by bit, apart from the table).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "commands/command_frames.h"

namespace tessaril::commands {
namespace {

using Bytes = std::vector<uint8_t>;

const CommandEntry& row(int button_id) { return *find_command(button_id); }

TEST(CommandsFrames, BuiltFramesAreTheKnownBytes) {
  struct Case {
    const char* what;
    Frame frame;
    Bytes bytes;
  };
  const Case cases[] = {
      {"Get Fault Status, seq 1", command_frame(row(4011), "", 1),
       {0x01, 0x00, 0x00, 0x01, 0x00, 0x00, 0xA9, 0x78, 0xC0}},
      {"NOP: extended, no data, seq not shown", command_frame(row(4211), "", 7),
       {0x7F, 0x10, 0x06, 0x00, 0x00, 0x00, 0xF0, 0xDD, 0xC0}},
      {"Set Overtemp limit: extended, length + 6", command_frame(row(4301), "TEMP=85.0", 3),
       {0x76, 0x10, 0x10, 0x00, 0x00, 0x0A, 0x54, 0x45, 0x4D, 0x50, 0x3D, 0x38, 0x35, 0x2E, 0x30, 0x00, 0x7D, 0x3E, 0xC0}},
      {"Set Local Oscillator: standard with data", command_frame(row(4081), "28.050GHz", 0x1234),
       {0x08, 0x00, 0x12, 0x34, 0x00, 0x0A, 0x32, 0x38, 0x2E, 0x30, 0x35, 0x30, 0x47, 0x48, 0x7A, 0x00, 0xB0, 0x4B, 0xC0}},
      {"Start File Transfer, seq 0xFFFF", transfer_start_frame(0xFFFF, "CAL.XML", 4096),
       {0x0A, 0x00, 0xFF, 0xFF, 0x00, 0x0D, 0x43, 0x41, 0x4C, 0x2E, 0x58, 0x4D, 0x4C, 0x2C, 0x34, 0x30, 0x39, 0x36,
        0x00, 0x33, 0xA1, 0xC0}},
      {"Kermit status of an empty name: the NUL alone", status_frame(0x00C0, ""),
       {0x0B, 0x00, 0x00, 0xC0, 0x00, 0x01, 0x00, 0xD8, 0xF3, 0xC0}},
      {"Reset Status Latch", latch_reset_frame(0x0102), {0x09, 0x00, 0x01, 0x02, 0x00, 0x00, 0x7B, 0xFF, 0xC0}},
  };
  for (const Case& c : cases) EXPECT_EQ(frame_bytes(c.frame), c.bytes) << c.what;
}

TEST(CommandsFrames, TheEndCodeIsTheCallersAndOutsideTheCrc) {
  const Bytes c0 = frame_bytes(receive_frame(5, "A.GZ", 1));
  const Bytes other = frame_bytes(receive_frame(5, "A.GZ", 1, 0x7E));
  ASSERT_EQ(other.size(), c0.size());
  EXPECT_EQ(other.back(), 0x7E);
  EXPECT_EQ(Bytes(other.begin(), other.end() - 1), Bytes(c0.begin(), c0.end() - 1));
}

TEST(CommandsFrames, AnOverlongFieldKeepsItsLengthAndIsCutAt300) {
  // 291 name characters, ",12" and the NUL: 295 data bytes declared.
  const Frame f = transfer_start_frame(1, std::string(400, 'N'), 12);
  EXPECT_EQ(f.header[4], 0x01);
  EXPECT_EQ(f.header[5], 0x27);
  ASSERT_EQ(f.data.size(), 295u);
  EXPECT_EQ(f.data[290], 'N');
  // Past the room of a data field the bytes are filler, the last the NUL.
  EXPECT_EQ(f.data[291], 0x30);
  EXPECT_EQ(f.data[293], 0x30);
  EXPECT_EQ(f.data[294], 0x00);
  const Bytes wire = frame_bytes(f);
  ASSERT_EQ(wire.size(), link::FRAME_MAX);
  EXPECT_EQ(wire[299], 0x30);
}

}  // namespace
}  // namespace tessaril::commands

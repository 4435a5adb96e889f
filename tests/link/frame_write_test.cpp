// write_frame on a real serial line (a pseudo-terminal, or a COM pair on Windows): whole, split, and frames too short
// to split.
#include <gtest/gtest.h>

#include <memory>

#include "link/frame_write.h"
#include "link/link_fixture.h"
#include "link/link_state.h"
#include "platform/serial.h"
#include "support/line_pair.h"

namespace tessaril::test {
namespace {

using namespace tessaril::link;

class LinkFrameWriteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (line.limits().no_line) GTEST_SKIP() << line.limits().no_line;
    std::string error;
    port = platform::serial_open(line.port_path(), error);
    ASSERT_NE(port, platform::INVALID_SERIAL) << error;
  }
  void TearDown() override {
    if (port != platform::INVALID_SERIAL) platform::serial_close(port);
  }
  LinePair line;
  platform::SerialHandle port = platform::INVALID_SERIAL;
};

TEST_F(LinkFrameWriteTest, WholeAndSplitWritesDeliverEveryByte) {
  const Bytes frame = encode(make_frame(0x0F, 0, 0x1234, {0xC0, 0xDB, 'a', 'b', 'c'}));
  for (int split : {0, 1, 500}) {
    EXPECT_EQ(write_frame(port, frame.data(), static_cast<int>(frame.size()), split), static_cast<int>(frame.size()));
    EXPECT_EQ(line.device_read(frame.size(), 1000), frame) << split;
  }
}

TEST_F(LinkFrameWriteTest, ShortFramesGoOutWholeWithoutReadingPastThem) {
  for (int length = 0; length <= 7; ++length) {
    // Exactly `length` bytes on the heap: a read past them trips the sanitizer.
    std::unique_ptr<uint8_t[]> bytes(new uint8_t[length > 0 ? length : 1]);
    for (int i = 0; i < length; ++i) bytes[i] = static_cast<uint8_t>(0x30 + i);
    EXPECT_EQ(write_frame(port, bytes.get(), length, 1), length);
    Bytes got = line.device_read(static_cast<size_t>(length), length > 0 ? 1000 : 50);
    EXPECT_EQ(got, Bytes(bytes.get(), bytes.get() + length));
  }
  EXPECT_EQ(write_frame(port, nullptr, 5, 1), 0);
  uint8_t one = 1;
  EXPECT_EQ(write_frame(port, &one, -3, 0), 0);
}

TEST_F(LinkFrameWriteTest, AClosedPortAcceptsNothing) {
  const platform::SerialHandle closed = port;
  platform::serial_close(closed);
  port = platform::INVALID_SERIAL;
  const Bytes frame = encode(make_frame(0x01, 0, 1, {}));
  EXPECT_EQ(write_frame(closed, frame.data(), static_cast<int>(frame.size()), 0), 0);
  EXPECT_EQ(write_frame(closed, frame.data(), static_cast<int>(frame.size()), 1), 0);
}

}  // namespace
}  // namespace tessaril::test

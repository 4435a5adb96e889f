// Command-frame codec: published CRC vectors, the device's framing rules and
// randomized round trips.
#include "link/frame_codec.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace tessaril::link {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes encode(const Bytes& raw) {
  Bytes out(raw.empty() ? 1 : 2 * raw.size());
  out.resize(rfc1055_encode(raw.data(), raw.size(), out.data()));
  return out;
}

Bytes decode(const Bytes& enc) {
  Bytes out(enc.size() + 1);
  out.resize(rfc1055_decode(enc.data(), enc.size(), out.data()));
  return out;
}

// A frame of the given header and data with its CRC and END code, built as
// the frame editor builds it.
Bytes make_frame(const Bytes& header_and_data) {
  Bytes f = header_and_data;
  f.resize(f.size() + 3);
  finish_frame(f.data(), header_and_data.size());
  return f;
}

TEST(LinkFrameCrc, PublishedX25CheckValueAndTableStart) {
  const char* check = "123456789";
  uint16_t reg = frame_crc(reinterpret_cast<const uint8_t*>(check), 9);
  EXPECT_EQ(reg ^ 0xFFFF, 0x906E);
  EXPECT_EQ(crc_table[0], 0x0000);
  EXPECT_EQ(crc_table[1], 0x1189);
  EXPECT_EQ(crc_table[2], 0x2312);
  EXPECT_EQ(crc_table[3], 0x329B);
  EXPECT_EQ(crc_table[255], 0x0F78);  // last entry of the FCS-16 table
}

TEST(LinkFrameCrc, GetFaultStatusFrameWithoutData) {
  Bytes frame = make_frame({0x01, 0x00, 0x00, 0x01, 0x00, 0x00});
  EXPECT_EQ(frame, (Bytes{0x01, 0x00, 0x00, 0x01, 0x00, 0x00, 0xA9, 0x78, 0xC0}));
  EXPECT_TRUE(frame_crc_ok(frame.data(), frame.size()));
}

TEST(LinkFrameCrc, EveryBitFlipOutsideTheEndCodeIsCaught) {
  Bytes frame = make_frame({0x0A, 0x00, 0x12, 0x34, 0x00, 0x05, 'H', 'E', 'L', 'L', 'O'});
  ASSERT_TRUE(frame_crc_ok(frame.data(), frame.size()));
  for (size_t i = 0; i + 1 < frame.size(); ++i) {
    for (int bit = 0; bit < 8; ++bit) {
      Bytes bad = frame;
      bad[i] ^= static_cast<uint8_t>(1u << bit);
      EXPECT_FALSE(frame_crc_ok(bad.data(), bad.size())) << "byte " << i << " bit " << bit;
    }
  }
  Bytes other_end = frame;
  other_end.back() = 0x55;
  EXPECT_TRUE(frame_crc_ok(other_end.data(), other_end.size()));
}

TEST(LinkFrameCrc, TooShortFramesAreRejectedWithoutReadingOutside) {
  uint8_t two[2] = {0xFF, 0xFF};
  EXPECT_FALSE(frame_crc_ok(two, 2));
  EXPECT_FALSE(frame_crc_ok(two, 0));
}

TEST(LinkRfc1055, DeviceFramingVectors) {
  EXPECT_EQ(encode({0x01, 0xC0, 0xDB, 0xC0}), (Bytes{0x01, 0xDB, 0xDC, 0xDB, 0xDD, 0xC0}));
  EXPECT_EQ(encode({0x01, 0x02, 0xDB}), (Bytes{0x01, 0x02, 0xDB}));  // last byte never escaped
  EXPECT_EQ(encode({0xC0}), (Bytes{0xC0}));

  EXPECT_EQ(decode({0x01, 0xDB, 0x41, 0xC0}), (Bytes{0x01, 0xDB, 0x41, 0xC0}));  // stray escape
  EXPECT_EQ(decode({0x01, 0xDB, 0xDC}), (Bytes{0x01, 0xC0, 0xDC}));  // pair uses the last byte, copied again
  EXPECT_EQ(decode({0xC0, 0x01, 0xC0}), (Bytes{0xC0, 0x01, 0xC0}));  // a leading END is frame data
  EXPECT_EQ(decode({0xDB}), (Bytes{0xDB}));
}

TEST(LinkRfc1055, EmptyInputWritesAndReadsNothing) {
  uint8_t out[2] = {0x5A, 0x5A};
  EXPECT_EQ(rfc1055_encode(nullptr, 0, out), 0u);
  EXPECT_EQ(rfc1055_decode(nullptr, 0, out), 0u);
  EXPECT_EQ(out[0], 0x5A);
}

TEST(LinkRfc1055, WorstCaseFrameFitsTheEncodedBuffer) {
  Bytes raw(FRAME_MAX, 0xC0);
  Bytes out(FRAME_ENC_MAX);
  EXPECT_EQ(rfc1055_encode(raw.data(), raw.size(), out.data()), FRAME_ENC_MAX);
  EXPECT_EQ(decode(out), raw);
}

TEST(LinkRfc1055, RandomFramesSurviveTheRoundTrip) {
  std::mt19937 rng(20261207);
  std::uniform_int_distribution<int> len(1, static_cast<int>(FRAME_MAX));
  // Bias toward the two special bytes so that escapes are frequent.
  std::uniform_int_distribution<int> pick(0, 9);
  std::uniform_int_distribution<int> any(0, 255);
  for (int round = 0; round < 2000; ++round) {
    Bytes raw(static_cast<size_t>(len(rng)));
    for (auto& b : raw) {
      int p = pick(rng);
      b = p == 0 ? 0xC0 : p == 1 ? 0xDB : p == 2 ? 0xDC : static_cast<uint8_t>(any(rng));
    }
    // The last byte is never escaped, so a raw 0xDB before a final
    // 0xDC/0xDD would read back as an escape pair: frames end in an END code.
    raw.back() = END;
    Bytes enc = encode(raw);
    ASSERT_LE(enc.size(), 2 * raw.size() - 1);
    ASSERT_EQ(decode(enc), raw) << "round " << round;
  }
}

}  // namespace
}  // namespace tessaril::link

// Properties of the frame codec over random frames of every length: the
// RFC 1055 round trip, no END code before a frame's last byte on the wire,
// and decoders that never write past their buffers, whatever they are given.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "link/answer_check.h"
#include "link/frame_codec.h"
#include "link/session.h"
#include "status/command_log.h"
#include "status/status_codes.h"

namespace tessaril::link {
namespace {

using Bytes = std::vector<uint8_t>;
constexpr size_t GUARD = 16;
constexpr uint8_t FILL = 0x5A;

// Byte mixes: anything, the framing bytes only, and mostly END codes.
struct Mix {
  const char* label;
  Bytes palette;  // empty: every byte value
};
const Mix mixes[] = {
    {"any byte", {}},
    {"framing bytes", {END, ESC, ESC_END, ESC_ESC}},
    {"mostly END", {END, END, END, 0x41}},
};

Bytes random_bytes(std::mt19937& rng, const Mix& mix, size_t n) {
  Bytes b(n);
  for (auto& x : b) x = mix.palette.empty() ? static_cast<uint8_t>(rng()) : mix.palette[rng() % mix.palette.size()];
  return b;
}

// A buffer of `size` bytes followed by a guard; intact() says whether the
// guard is untouched.
struct Guarded {
  Bytes bytes;
  explicit Guarded(size_t size) : bytes(size + GUARD, FILL) {}
  uint8_t* data() { return bytes.data(); }
  bool intact() const {
    return std::all_of(bytes.end() - GUARD, bytes.end(), [](uint8_t b) { return b == FILL; });
  }
};

TEST(LinkFrameProperties, RoundTripWithoutEndCodesBeforeTheLastByte) {
  std::mt19937 rng(1055);
  for (const Mix& mix : mixes) {
    for (int round = 0; round < 3000; ++round) {
      const Bytes raw = random_bytes(rng, mix, 1 + rng() % FRAME_MAX);
      Guarded enc(2 * raw.size() - 1);
      const size_t e = rfc1055_encode(raw.data(), raw.size(), enc.data());
      ASSERT_TRUE(enc.intact()) << mix.label;
      ASSERT_TRUE(std::find(enc.bytes.begin(), enc.bytes.begin() + static_cast<long>(e) - 1, END) ==
                  enc.bytes.begin() + static_cast<long>(e) - 1)
          << mix.label << ": END before the last byte";
      Guarded dec(e);
      const size_t d = rfc1055_decode(enc.data(), e, dec.data());
      ASSERT_TRUE(dec.intact()) << mix.label;
      ASSERT_EQ(Bytes(dec.bytes.begin(), dec.bytes.begin() + static_cast<long>(d)), raw) << mix.label;
    }
  }
}

// Whatever a read holds, the decoder and the length check write at most as
// many bytes as were read, and a usable answer is exactly as long as its
// header says.
TEST(LinkFrameProperties, DecodersStayInsideTheirBuffers) {
  Session session(status::LogSettings{"/dev/null/tessaril-test/", 7, 1000});  // no log files, no observers
  std::mt19937 rng(2024);
  for (const Mix& mix : mixes) {
    for (int round = 0; round < 3000; ++round) {
      const Bytes read = random_bytes(rng, mix, 1 + rng() % ANSWER_READ_MAX);
      Guarded dec(read.size());
      ASSERT_LE(rfc1055_decode(read.data(), read.size(), dec.data()), read.size());
      ASSERT_TRUE(dec.intact()) << mix.label;
      Guarded checked(read.size());
      const AnswerLength a = check_answer_length(session, read.data(), static_cast<int>(read.size()), checked.data());
      ASSERT_TRUE(checked.intact()) << mix.label;
      if (a.status == status::ST_ANS_RECV_OK) {
        ASSERT_EQ(a.length, checked.bytes[4] * 256 + checked.bytes[5] + static_cast<int>(FRAME_OVERHEAD));
      }
    }
  }
}

}  // namespace
}  // namespace tessaril::link

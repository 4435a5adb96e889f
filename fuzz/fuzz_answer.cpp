// An answer read from the line: RFC 1055 decoding, the length check and the
// verdict, on the whole read and on the pieces a line may cut it into.
//
// Input: byte 0 says how many cuts (0-3) split the read, the next bytes
// where; the rest is the read (at most 255 bytes, as the receive thread
// reads). Checked: the decoder stays inside a buffer of the read's size; a
// usable length is exactly what the header announces; the verdict agrees
// with a CRC recomputed by finish_frame; "ok" needs response code 0x01 and,
// for an announcement, a printable name with its extension and a size of at
// most six digits; a decoded frame encodes and decodes back to itself with no
// END code before its last byte; a first piece is never taken for a
// different frame than the whole read.
#include <algorithm>
#include <cstring>
#include <vector>

#include "fuzz_check.h"
#include "link/answer_check.h"
#include "link/session.h"
#include "link/frame_codec.h"
#include "status/command_log.h"
#include "status/status_codes.h"

using namespace tessaril;
using tessaril::fuzz::Input;

namespace {

constexpr int32_t KNOWN_SIZE = -12345;  // what an earlier announcement left

bool ends_with(const char* name, const char* suffix) {
  const size_t n = std::strlen(name);
  const size_t s = std::strlen(suffix);
  return n >= s && std::memcmp(name + n - s, suffix, s) == 0;
}

void check_verdict(const uint8_t* frame, int length) {
  const link::AnswerVerdict v = link::judge_answer(frame, length, KNOWN_SIZE);
  FUZZ_CHECK(v.text != nullptr, "every answer gets a text");

  // The CRC as the frame builder computes it.
  std::vector<uint8_t> rebuilt(frame, frame + length);
  link::finish_frame(rebuilt.data(), static_cast<size_t>(length) - 3);
  const bool crc_good = rebuilt[length - 3] == frame[length - 3] && rebuilt[length - 2] == frame[length - 2];
  FUZZ_CHECK(crc_good == link::frame_crc_ok(frame, static_cast<size_t>(length)), "CRC check agrees with the builder");
  if (!crc_good) {
    FUZZ_CHECK(!v.ok && std::strcmp(v.text, link::CRC_NG_TEXT) == 0, "a bad CRC reads CRC_NG");
  } else {
    const int code = link::response_code(frame);
    FUZZ_CHECK(v.text == link::response_text(code), "the text of the response code");
    FUZZ_CHECK(!v.ok || code == link::RESPONSE_SUCCESS, "ok only for success");
  }

  const bool announcing = frame[0] == link::ANSWER_GET_CAL_FILE || frame[0] == link::ANSWER_GET_CAL_FILE_EX;
  FUZZ_CHECK(v.announces_file == announcing, "announcements are the answers 0x8E and 0xF9");
  if (!announcing) {
    FUZZ_CHECK(v.file_size == KNOWN_SIZE && v.file_name[0] == '\0', "other answers announce nothing");
    FUZZ_CHECK(v.ok == (crc_good && link::response_code(frame) == link::RESPONSE_SUCCESS), "ok is CRC and code");
    return;
  }
  const size_t name_len = strnlen(v.file_name, sizeof v.file_name);
  FUZZ_CHECK(name_len <= static_cast<size_t>(link::ANNOUNCED_NAME_MAX), "the name is terminated, 29 at most");
  if (v.ok) {
    FUZZ_CHECK(fuzz::printable(v.file_name, name_len), "an accepted name is printable");
    FUZZ_CHECK(ends_with(v.file_name, ".XML") || ends_with(v.file_name, ".GZ"), "an accepted name has its extension");
    FUZZ_CHECK(v.file_size >= 0 && v.file_size <= 999999, "an accepted size has six digits at most");
  }
}

void check_round_trip(const uint8_t* frame, int length) {
  const auto n = static_cast<size_t>(length);
  std::unique_ptr<uint8_t[]> encoded(new uint8_t[2 * n - 1]);
  const size_t e = link::rfc1055_encode(frame, n, encoded.get());
  FUZZ_CHECK(e >= n && e <= 2 * n - 1, "encoded length");
  FUZZ_CHECK(std::find(encoded.get(), encoded.get() + e - 1, link::END) == encoded.get() + e - 1,
             "no END code before the last byte");
  std::unique_ptr<uint8_t[]> decoded(new uint8_t[e]);
  const size_t d = link::rfc1055_decode(encoded.get(), e, decoded.get());
  FUZZ_CHECK(d == n && std::memcmp(decoded.get(), frame, n) == 0, "decode(encode(frame)) == frame");
}

struct Read {
  link::AnswerLength answer;
  std::vector<uint8_t> decoded;  // the usable bytes
};

// One read handed to the length check; returns what was usable.
Read check_read(const uint8_t* bytes, size_t count) {
  std::unique_ptr<uint8_t[]> received(new uint8_t[count]);
  std::memcpy(received.get(), bytes, count);
  std::unique_ptr<uint8_t[]> decoded(new uint8_t[count]);  // the documented size: as many as were read
  const int n = static_cast<int>(count);
  // The "Rcv:" lines go to a folder that cannot exist: no files pile up.
  static link::Session session(status::LogSettings{"/dev/null/tessaril-fuzz/", 7, 1000});
  const link::AnswerLength a = link::check_answer_length(session, received.get(), n, decoded.get());
  FUZZ_CHECK(a.status == status::ST_ANS_RECV_OK || a.status == status::ST_ANS_RECV_SIZE_ERR, "a receive status");
  Read r{a, {}};
  if (n < static_cast<int>(link::FRAME_OVERHEAD)) {
    FUZZ_CHECK(a.status == status::ST_ANS_RECV_SIZE_ERR, "a short read is a size error");
    return r;
  }
  FUZZ_CHECK(a.length >= 0 && a.length <= n, "the decoded length never exceeds the read");
  if (a.status != status::ST_ANS_RECV_OK) return r;
  const int announced = decoded[4] * 256 + decoded[5] + static_cast<int>(link::FRAME_OVERHEAD);
  FUZZ_CHECK(a.length == announced, "a usable answer has the length its header announces");
  r.decoded.assign(decoded.get(), decoded.get() + a.length);
  check_verdict(decoded.get(), a.length);
  check_round_trip(decoded.get(), a.length);
  return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Input in{data, size};
  const int cuts = in.take() % 4;
  std::vector<size_t> at;
  for (int i = 0; i < cuts; ++i) at.push_back(in.take());
  const std::string bytes = in.rest(link::ANSWER_READ_MAX);
  if (bytes.empty()) return 0;
  const auto* read = reinterpret_cast<const uint8_t*>(bytes.data());

  const Read whole = check_read(read, bytes.size());

  // The pieces, each taken as a read of its own.
  for (size_t& p : at) p %= bytes.size();
  std::sort(at.begin(), at.end());
  at.push_back(bytes.size());
  size_t from = 0;
  for (size_t to : at) {
    if (to <= from) continue;
    const Read piece = check_read(read + from, to - from);
    // A first piece shorter than the whole read may pass only as the same
    // frame (its last byte, the END code, may differ when a cut split an
    // escape pair).
    if (from == 0 && to < bytes.size() && piece.answer.status == status::ST_ANS_RECV_OK &&
        whole.answer.status == status::ST_ANS_RECV_OK) {
      FUZZ_CHECK(piece.decoded.size() == whole.decoded.size() &&
                     std::equal(piece.decoded.begin(), piece.decoded.end() - 1, whole.decoded.begin()),
                 "a cut read is the whole frame or no frame");
    }
    from = to;
  }
  return 0;
}

// decode_data under every combination of prefixes, into the file and into
// the name.
//
// Input: byte 0 switches (repeat prefixing, 8th-bit prefixing, a writefile
// that fails, check type), bytes 1-3 the control, 8th-bit and repeat
// prefixes, byte 4 the output buffer's size (1-128), byte 5 the MAXL the
// round trip encodes for, byte 6 after how many writes writefile fails; the
// rest is the received data field. Checked: the output buffer (exactly its
// size) is never overrun, also after a failed write; a failed write is
// reported; the name gets the same bytes as the file, or a failure when they
// do not fit 1023 characters or hold a zero byte, and nothing after the name
// in the record is touched (poisoned under AddressSanitizer); and with a
// prefix set that the parameter exchange can agree on, the bytes encode into
// fields that fit the MAXL and decode back to themselves.
#include <cstring>
#include <string>

#include "fuzz_check.h"
#include "kermit/kermit_encode.h"
#include "kermit_coding.h"

using namespace tessaril;
using namespace tessaril::kermit;
using fuzz::Prefixes;

namespace {

constexpr size_t FIELD_MAX = 300;  // a real field has at most 91 characters

int writes_left = 0;

int failing_write(KermitState* k, const char* bytes, int count) {
  if (writes_left-- <= 0) return -1;
  return fuzz::collect(k, bytes, count);
}

// What the parameter exchange can agree on: printable prefixes the protocol
// allows, no two alike.
bool valid_prefix(char c) {
  const auto u = static_cast<uint8_t>(c);
  return (u >= 33 && u <= 62) || (u >= 96 && u <= 126);
}
bool agreeable(const Prefixes& p) {
  if (!valid_prefix(p.ctl)) return false;
  if (p.eighth_bit && (!valid_prefix(p.ebq) || p.ebq == p.ctl || (p.repeat && p.ebq == p.rpt))) return false;
  return !p.repeat || (valid_prefix(p.rpt) && p.rpt != p.ctl);
}

std::unique_ptr<KermitState> decoder(const Prefixes& p) { return coding_state(p, false); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in{data, size};
  const uint8_t flags = in.take();
  Prefixes p;
  p.repeat = flags & 1;
  p.eighth_bit = (flags >> 1) & 1;
  p.ctl = static_cast<char>(in.take());
  p.ebq = static_cast<char>(in.take());
  p.rpt = static_cast<char>(in.take());
  const int out_size = 1 + in.take() % 128;
  const int maxl = 10 + in.take() % 85;
  const int fail_after = in.take() % 4;
  const auto field = fuzz::exact_copy(in.rest(FIELD_MAX), true);

  // Into the file, through an output buffer of exactly out_size bytes.
  auto k = decoder(p);
  std::unique_ptr<char[]> out(new char[static_cast<size_t>(out_size)]);
  k->out_buf = out.get();
  k->out_buf_size = out_size;
  k->writefile = fuzz::collect;
  fuzz::written.clear();
  KermitResult r;
  FUZZ_CHECK(decode_data(k.get(), &r, 1, field.get()) == 0, "decoding into the file succeeds");
  FUZZ_CHECK(k->out_buf_count >= 0 && k->out_buf_count < out_size, "the output buffer is flushed when full");
  const std::string bytes = fuzz::written + std::string(out.get(), static_cast<size_t>(k->out_buf_count));

  if ((flags >> 2) & 1) {
    auto f = decoder(p);
    f->out_buf = out.get();
    f->out_buf_size = out_size;
    f->writefile = failing_write;
    writes_left = fail_after;
    fuzz::written.clear();
    const bool fails = bytes.size() >= static_cast<size_t>(fail_after + 1) * static_cast<size_t>(out_size);
    FUZZ_CHECK(decode_data(f.get(), &r, 1, field.get()) == (fails ? -1 : 0), "a failed write is reported");
    FUZZ_CHECK(f->out_buf_count <= out_size, "no byte past the output buffer");
    FUZZ_CHECK(fuzz::written == bytes.substr(0, fuzz::written.size()), "what was written is what was decoded");
  }

  // Into the name: the same bytes, or a failure when they do not fit.
  auto n = decoder(p);
  auto named = std::make_unique<KermitResult>();
  // Only the name may be written: what follows it in the record is poisoned.
  char* after = named->filedate;
  const size_t rest = sizeof(KermitResult) - static_cast<size_t>(after - reinterpret_cast<char*>(named.get()));
  ASAN_POISON_MEMORY_REGION(after, rest);
  const int result = decode_data(n.get(), named.get(), 0, field.get());
  ASAN_UNPOISON_MEMORY_REGION(after, rest);
  if (bytes.find('\0') != std::string::npos) {
    FUZZ_CHECK(result == -1, "a name with a zero byte is a failure");
  } else if (bytes.size() < static_cast<size_t>(FILE_NAME_SIZE)) {
    FUZZ_CHECK(result == 0 && std::memcmp(named->file_name, bytes.data(), bytes.size()) == 0 &&
                   named->file_name[bytes.size()] == '\0',
               "the name gets the bytes the file gets");
  } else {
    FUZZ_CHECK(result == -1, "a name that does not fit is a failure");
  }

  if (!agreeable(p)) return 0;
  const int bct = 1 + (flags >> 3) % 3;
  const auto fields = fuzz::encode_fields(p, maxl, bct, bytes);
  FUZZ_CHECK(fuzz::decode_fields(p, fields, out_size) == bytes, "decode(encode(bytes)) == bytes");
  return 0;
}

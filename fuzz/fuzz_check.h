// What every fuzz target shares: a result check that stops the run, the
// settings taken from the input's first bytes, and exact-size copies.
//
// How it works: a target reads its settings (prefixes, lengths, modes) from
// the first bytes of the input with Input::take and treats the rest as the
// bytes under test. Each target copies those bytes into a heap block of
// exactly their size, so that AddressSanitizer reports a decoder that reads
// or writes one byte too far. FUZZ_CHECK stops the process with the failed
// condition and a short reason: libFuzzer keeps the input as a crash, and
// the replay test (replay_main.cpp) fails.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#if defined(__has_include)
#if __has_include(<sanitizer/asan_interface.h>)
#include <sanitizer/asan_interface.h>
#endif
#endif
#ifndef ASAN_POISON_MEMORY_REGION
#define ASAN_POISON_MEMORY_REGION(addr, size) ((void)(addr), (void)(size))
#define ASAN_UNPOISON_MEMORY_REGION(addr, size) ((void)(addr), (void)(size))
#endif

#define FUZZ_CHECK(condition, reason)                                                                 \
  do {                                                                                                \
    if (!(condition)) {                                                                               \
      std::fprintf(stderr, "%s:%d: check failed: %s (%s)\n", __FILE__, __LINE__, #condition, reason); \
      std::abort();                                                                                   \
    }                                                                                                 \
  } while (0)

namespace tessaril::fuzz {

// The input, consumed from the front.
struct Input {
  const uint8_t* data;
  size_t size;

  // The next byte, 0 once the input is used up.
  uint8_t take() {
    if (size == 0) return 0;
    --size;
    return *data++;
  }
  // The rest, at most `limit` bytes.
  std::string rest(size_t limit = SIZE_MAX) const {
    return std::string(reinterpret_cast<const char*>(data), size < limit ? size : limit);
  }
};

// A heap block of exactly bytes.size() bytes (plus a terminator when asked),
// holding the bytes.
inline std::unique_ptr<char[]> exact_copy(const std::string& bytes, bool terminated) {
  std::unique_ptr<char[]> block(new char[bytes.size() + (terminated ? 1 : 0)]);
  for (size_t i = 0; i < bytes.size(); ++i) block[i] = bytes[i];
  if (terminated) block[bytes.size()] = '\0';
  return block;
}

// True when no byte of the text is a control byte (below 0x20, or DEL).
inline bool printable(const char* text, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    const auto c = static_cast<uint8_t>(text[i]);
    if (c < 0x20 || c == 0x7F) return false;
  }
  return true;
}

}  // namespace tessaril::fuzz

// Kermit attribute packets ('A'): what the device tells about a file it
// sends, and what it reads from the host's.
//
// How it works: an attribute field is a list of entries, each a tag
// character, tochar(length) and that many characters of value, not
// prefix-encoded. The device sends the type '"' "B8" (binary, 8-bit) and the
// size in bytes, tag '1' with the decimal digits. It reads the exact size '1'
// and skips every other tag (a size in kilobytes cannot be checked to the byte). Several 'A'
// packets may follow one another when the entries do not fit one data field;
// an entry is never split, and one that cannot fit even an empty field is left
// out.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim_kermit_packet.h"

namespace tessaril::sim::peer {

// The data fields of the 'A' packets for a binary file of `size` bytes.
std::vector<Bytes> build_attributes(int64_t size, size_t capacity);

struct Attributes {
  std::optional<int64_t> size;
};

// False for a field whose entry runs past its end or whose size is no
// decimal number.
bool parse_attributes(const Bytes& field, Attributes& attributes);

}  // namespace tessaril::sim::peer

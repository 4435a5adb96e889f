// Handing an encoded frame to the port.
#pragma once

#include <cstdint>

#include "platform/serial.h"

namespace tessaril::link {

// Writes `length` encoded bytes to `port`. split == 0: one write of the
// whole frame. split != 0: one write of the first 6 bytes (the header when it
// holds no byte that needed escaping), then one of the rest, with no pause
// between them. A frame of 6 bytes or fewer has nothing after its header: it
// goes out in one write, and no write of zero bytes follows.
// Returns the number of bytes the port accepted, summed over the writes (a
// failed write counts 0); the caller treats anything but `length` as a short
// write. A negative length writes nothing.
int write_frame(platform::SerialHandle port, const uint8_t* encoded, int length, int split);

// The split point of a split write.
constexpr int SPLIT_AT = 6;

}  // namespace tessaril::link

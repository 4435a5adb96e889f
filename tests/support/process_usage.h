// What the test process holds and has spent, for checks that a piece of work
// leaves nothing open behind it and does not spin: the open descriptors
// (Linux) or handles (Windows), and the processor time used so far.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tessaril::test {

size_t open_handle_count();
int64_t process_cpu_ms();

}  // namespace tessaril::test

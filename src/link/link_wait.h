// Waits of the link threads that end promptly when the thread must let go.
#pragma once

#include <cstdint>

namespace tessaril::link {

// Why a thread must stop waiting: returns true to end the wait.
using WaitBreak = bool (*)(const void* context);

// Sleeps ms milliseconds in slices of at most 10 ms, ending early when
// `should_end` says so. On the dialog thread the slices serve the control
// calls of the link threads (platform::sleep_serving_calls). A negative ms counts as 0. Returns true when the full
// time passed, false when the wait was ended.
bool wait_ms(int64_t ms, WaitBreak should_end, const void* context);

// ticks * 20 ms, computed without overflow.
int64_t ticks_to_ms(int32_t ticks);

}  // namespace tessaril::link

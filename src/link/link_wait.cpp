#include "link/link_wait.h"

#include <algorithm>

#include "link/link_state.h"
#include "platform/clock.h"
#include "platform/controls.h"

namespace tessaril::link {

bool wait_ms(int64_t ms, WaitBreak should_end, const void* context) {
  if (ms < 0) ms = 0;
  const int64_t end = platform::monotonic_ms() + ms;
  for (;;) {
    if (should_end && should_end(context)) return false;
    int64_t left = end - platform::monotonic_ms();
    if (left <= 0) return true;
    // On the dialog thread (stopping the threads, closing the port) a worker
    // may be inside a control call that the dialog thread must serve.
    platform::sleep_serving_calls(std::min<int64_t>(left, 10));
  }
}

int64_t ticks_to_ms(int32_t ticks) { return static_cast<int64_t>(ticks) * TICK_MS; }

}  // namespace tessaril::link

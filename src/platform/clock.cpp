#include "platform/clock.h"

#include <atomic>

#include "platform/clock_os.h"

namespace tessaril::platform {

namespace {
std::atomic<LocalTimeSource> time_source{nullptr};
}  // namespace

LocalTime local_time() {
  LocalTimeSource source = time_source.load(std::memory_order_acquire);
  return source ? source() : os::system_local_time();
}

void set_local_time_source(LocalTimeSource source) { time_source.store(source, std::memory_order_release); }

}  // namespace tessaril::platform

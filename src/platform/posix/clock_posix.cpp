#include <sys/time.h>

#include <chrono>
#include <ctime>
#include <thread>

#include "platform/clock.h"
#include "platform/clock_os.h"

namespace tessaril::platform {

namespace os {

LocalTime system_local_time() {
  timeval tv{};
  gettimeofday(&tv, nullptr);
  std::tm tm{};
  time_t secs = tv.tv_sec;
  localtime_r(&secs, &tm);
  return LocalTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
                   static_cast<int>(tv.tv_usec / 1000)};
}

}  // namespace os

void sleep_ms(int64_t ms) {
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

int64_t monotonic_ms() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace tessaril::platform

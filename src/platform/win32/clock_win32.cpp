// Local time from GetLocalTime (milliseconds included), Sleep, and the
// monotonic tick count.
#include <windows.h>

#include <atomic>

#include "platform/clock.h"

namespace tessaril::platform {

namespace {
std::atomic<LocalTimeSource> time_source{nullptr};

LocalTime system_local_time() {
  SYSTEMTIME st{};
  GetLocalTime(&st);
  return LocalTime{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds};
}
}  // namespace

LocalTime local_time() {
  LocalTimeSource source = time_source.load(std::memory_order_acquire);
  return source ? source() : system_local_time();
}

void set_local_time_source(LocalTimeSource source) { time_source.store(source, std::memory_order_release); }

void sleep_ms(int64_t ms) {
  // Sleep takes a DWORD, and INFINITE (0xFFFFFFFF) would never return.
  while (ms > 0) {
    DWORD part = ms > 0x7FFFFFFF ? 0x7FFFFFFFu : static_cast<DWORD>(ms);
    Sleep(part);
    ms -= part;
  }
}

int64_t monotonic_ms() { return static_cast<int64_t>(GetTickCount64()); }

}  // namespace tessaril::platform

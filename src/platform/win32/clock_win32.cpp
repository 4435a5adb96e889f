// Local time from GetLocalTime (milliseconds included), Sleep, and the
// monotonic performance counter.
#include <windows.h>

#include "platform/clock.h"
#include "platform/clock_os.h"

namespace tessaril::platform {

namespace os {

LocalTime system_local_time() {
  SYSTEMTIME st{};
  GetLocalTime(&st);
  return LocalTime{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds};
}

}  // namespace os

void sleep_ms(int64_t ms) {
  // Sleep takes a DWORD, and INFINITE (0xFFFFFFFF) would never return.
  while (ms > 0) {
    DWORD part = ms > 0x7FFFFFFF ? 0x7FFFFFFFu : static_cast<DWORD>(ms);
    Sleep(part);
    ms -= part;
  }
}

// The performance counter, not the tick count, which steps every 10-16 ms
// and would end read deadlines up to a step early.
int64_t monotonic_ms() {
  static const int64_t frequency = [] {
    LARGE_INTEGER f{};
    QueryPerformanceFrequency(&f);
    return static_cast<int64_t>(f.QuadPart);
  }();
  LARGE_INTEGER now{};
  QueryPerformanceCounter(&now);
  // Seconds and the rest apart, so that the product cannot overflow.
  const int64_t ticks = now.QuadPart;
  return ticks / frequency * 1000 + ticks % frequency * 1000 / frequency;
}

}  // namespace tessaril::platform

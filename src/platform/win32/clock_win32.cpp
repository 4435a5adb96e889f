// Local time from GetLocalTime (milliseconds included), Sleep, and the
// monotonic tick count.
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

int64_t monotonic_ms() { return static_cast<int64_t>(GetTickCount64()); }

}  // namespace tessaril::platform

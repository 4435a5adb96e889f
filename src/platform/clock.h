// Local time, sleeping and a monotonic clock.
#pragma once

#include <cstdint>

namespace tessaril::platform {

// The fields of the Windows SYSTEMTIME the system uses, in local time.
struct LocalTime {
  int year = 0;
  int month = 0;   // 1..12
  int day = 0;     // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
};

LocalTime local_time();

// Tests replace the clock to write lines "either side of midnight"; a null
// function restores the system clock. Not for use while threads call local_time.
using LocalTimeSource = LocalTime (*)();
void set_local_time_source(LocalTimeSource source);

// Sleeps ms milliseconds; a negative value sleeps 0.
void sleep_ms(int64_t ms);

// Milliseconds from an arbitrary start, never going back.
int64_t monotonic_ms();

}  // namespace tessaril::platform

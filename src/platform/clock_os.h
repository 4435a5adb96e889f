// The per-OS half of the clock, private to the platform layer: clock.cpp
// keeps the replaceable time source, each OS reads its own local time
// (posix/clock_posix.cpp, win32/clock_win32.cpp).
#pragma once

#include "platform/clock.h"

namespace tessaril::platform::os {

LocalTime system_local_time();

}  // namespace tessaril::platform::os

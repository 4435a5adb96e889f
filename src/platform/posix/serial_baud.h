// Baud rates on Linux: any rate the driver accepts, standard or not, through
// the termios2 interface (BOTHER). Kept apart because <asm/termbits.h>
// cannot share a file with <termios.h>.
#pragma once

namespace tessaril::platform {

// Sets the input and output rate of an open tty; 0 or the errno value.
int set_baud_rate(int fd, int baud_rate);

// The output rate the driver reports, 0 when unknown.
int get_baud_rate(int fd);

}  // namespace tessaril::platform

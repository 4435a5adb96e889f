// The per-OS half of the serial ports, private to the platform layer.
//
// How it works: serial_handles.cpp keeps the handle table, the cancel mark,
// the time-outs and the waiting close; it calls these functions for the
// line itself. Each OS implements them once (posix/serial_posix.cpp,
// win32/serial_win32.cpp). A call gets the port's cancel mark so that a
// blocked read or write can end as soon as the mark is set; os_cancel wakes
// a call that is blocked in the system at that moment.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "platform/serial.h"

namespace tessaril::platform::os {

struct OsPort;

// Opens the device exclusively in raw mode, no parity, one stop bit.
// nullptr with the system's reason in error_text on failure.
OsPort* open_port(const std::string& device, std::string& error_text);

// Releases the port. No call is inside it any more.
void close_port(OsPort* port);

// Baud rate (also non-standard ones) and byte size 5-8; false with the
// reason when the driver refuses.
bool configure_port(OsPort& port, int baud_rate, int byte_size, std::string& error_text);

// The baud rate the driver reports, 0 when unknown.
int port_baud_rate(const OsPort& port);

// Waits until at least one byte is there, until the monotonic deadline (-1:
// none) or until `cancelled` is set, then reads what the driver holds, up to
// max bytes, without waiting for more. Returns the bytes read, 0 when the
// deadline passed first, -1 when the port was cancelled or has failed. The
// time-out rules of serial_read are built on it in serial_handles.cpp.
int read_available(OsPort& port, uint8_t* buffer, int max, int64_t deadline, const std::atomic<bool>& cancelled);

// Discards the received bytes the driver holds.
void flush_input(OsPort& port);

// Writes count bytes until done, the deadline (-1: none), a failure or the
// cancel mark. Returns the bytes written, -1 when none could be.
int write_port(OsPort& port, const uint8_t* bytes, int count, int64_t deadline, const std::atomic<bool>& cancelled);

// Wakes a read or write blocked in the system. Safe from any thread while
// the port is open; called after the cancel mark is set.
void wake_port(OsPort& port);

}  // namespace tessaril::platform::os

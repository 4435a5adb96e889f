// Serial ports.
//
// How it works: a port is opened by its device name and addressed afterwards
// by a SerialHandle, a number that names one open period of one port and is
// never given out again within the process. The handle is not the system's
// descriptor: every read and write looks the number up, and a number whose
// port has been closed simply fails. So a thread that still holds the handle
// of a closed port can never read or write another file that happens to get
// the old descriptor number (a log file, the next port).
//
// A read takes from the driver whatever the line holds, in one call, and
// keeps what the caller did not ask for for the next read: reading a packet
// byte by byte costs one driver call per burst, not per byte. A caller that
// read past what belongs to it (the bytes behind an answer's END code) puts
// them back with serial_unread.
//
// Reads follow the Windows COMMTIMEOUTS rules the system is written against:
// a read of n bytes returns when n bytes came, when the line has been quiet
// for `interval_ms` after the first byte, or when `total_multiplier_ms` * n +
// `total_constant_ms` have passed (0 bytes then). A zero interval or a zero
// total means that limit is not used. Writes wait until the driver took every
// byte, or until `write_total_*` run out when those are set (the Windows
// default: no write time-out).
//
// serial_cancel wakes every read and write blocked on the port at once and
// makes every later one fail, until the port is closed: it is how a port is
// closed under running threads (cancel, let them go idle, close) and how the
// link threads are stopped in the middle of a long read. serial_close cancels,
// waits for calls still inside the port to leave, then releases the port.
//
// The port always runs raw (no echo, no line editing, no character
// translation), without parity and with one stop bit; hardware flow control
// and the sending of XOFF are left as the driver reports them. Software flow
// control on output (IXON) is part of the terminal's line processing and is
// switched off: it would swallow the bytes 0x11 and 0x13 of binary frames.
//
// Tests shorten the total read time-outs of every port through
// set_serial_timeout_scale; the program never calls it and keeps the values
// it sets.
//
// Include order: platform < status < kermit < link < commands < shell < ui.
// This folder is platform, the lowest layer: it includes nothing of the other
// folders.
#pragma once

#include <cstdint>
#include <string>

namespace tessaril::platform {

using SerialHandle = int32_t;
constexpr SerialHandle INVALID_SERIAL = 0;

struct SerialTimeouts {
  int interval_ms = 0;          // quiet time after the first byte that ends a read
  int total_multiplier_ms = 0;  // per byte asked for
  int total_constant_ms = 0;
  int write_total_multiplier_ms = 0;  // 0 and 0: writes have no time-out
  int write_total_constant_ms = 0;
};

// Opens a device ("/dev/ttyUSB0", "COM3", "\\.\COM12") for reading and
// writing, exclusively for this process, in raw mode. On failure returns
// INVALID_SERIAL and puts the system's text for the reason into error_text
// ("No such file or directory", "Device or resource busy", ...).
[[nodiscard]] SerialHandle serial_open(const std::string& device, std::string& error_text);

// The system's text for an error number as serial_open gives it; on Linux a
// permission error names the group dialout that serial devices belong to.
std::string serial_system_text(int error);

// Sets the baud rate (any rate the driver accepts, also non-standard ones),
// the data bits (5 to 8), no parity and one stop bit. False with the reason
// in error_text when the driver refuses the setting; the port then keeps its
// previous setting.
bool serial_configure(SerialHandle handle, int baud_rate, int byte_size, std::string& error_text);

// The baud rate the driver reports for the port, 0 when unknown.
int serial_baud_rate(SerialHandle handle);

// Sets the time-outs of later reads and writes. False for a closed port.
bool serial_set_timeouts(SerialHandle handle, const SerialTimeouts& timeouts);

// Reads up to count bytes under the time-out rules above. Returns the number
// of bytes read (0 when the time-out passed without data), or -1 when the port
// is closed, cancelled or has failed (a vanished device, a pseudo-terminal
// whose other end closed). A failed read returns at once: callers that loop
// must pause themselves.
[[nodiscard]] int serial_read(SerialHandle handle, uint8_t* buffer, int count);

// Puts count bytes back in front of what the next read returns. False for
// a closed port.
bool serial_unread(SerialHandle handle, const uint8_t* bytes, int count);

// Discards every received byte not yet read: the driver's and those put
// back. A port is flushed when it opens, so that what a device sent before
// (the rest of a transfer broken off) is not read as the first answer.
void serial_flush_input(SerialHandle handle);

// Writes count bytes. Returns the number of bytes the driver accepted (fewer
// than count when the port was cancelled, the write time-out passed or the
// device failed part-way), or -1 when nothing could be written because the
// port is closed, cancelled or has failed.
[[nodiscard]] int serial_write(SerialHandle handle, const uint8_t* bytes, int count);

// Wakes every read and write blocked on the port and makes later ones fail at
// once. Does nothing for a closed port. Safe from any thread.
void serial_cancel(SerialHandle handle);

// True while the handle names an open port that has not been cancelled.
bool serial_is_open(SerialHandle handle);

// Cancels, waits for the calls still inside the port to return, and closes the
// port. The handle is dead afterwards; a second close does nothing.
void serial_close(SerialHandle handle);

// The device of COM port number n.
// Windows: "COM<n>", and "\\.\COM<n>" from 10 up, the only form under which
// those ports open.
// Linux: the optional section "ports" of the configuration file ini_path,
// keys COM1, COM2, ... whose values are device paths:
//
//   [ports]
//   COM3=/dev/ttyUSB0
//   COM7=/dev/serial/by-id/usb-FTDI_FT232R_A1B2C3-if00-port0
//
// Without an entry COM<n> is /dev/ttyS<n-1>, the numbering of the PC's own
// serial ports (COM1 is /dev/ttyS0); n of 0 or less without an entry names no device (empty).
std::string serial_device_name(int port_number, const std::string& ini_path);

// For this run every COM number names `device` (the command line's --port),
// ahead of the configuration file; "" goes back to the file's mapping.
void set_serial_device_override(const std::string& device);

// Test hook: scales the total read time-outs (multiplier and constant) of
// every port by percent / 100, at least 1 ms. 100 restores the real values.
// The interval time-out is not scaled: it separates one answer from the next.
void set_serial_timeout_scale(int percent);

}  // namespace tessaril::platform

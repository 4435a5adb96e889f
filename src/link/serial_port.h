// Opening and closing the port of the command dialog.
//
// How it works: the engineer types a port number n in the port-selection
// dialog; platform::serial_device_name turns it into a device name ("COM3",
// "\\.\COM12" on Windows; on Linux the section "ports" of buc_setup.ini or
// /dev/ttyS<n-1>, see platform/serial.h).
//
// A port that fails to open does not stop the command dialog from opening:
// the failure then shows as short writes and empty reads. It is not silent
// either: a line naming the device and the system's reason goes to the
// session's observers as a note (the hex traffic list shows it) and into the
// command log.
//
// Closing is safe under running threads: both command words are cleared, the
// port's I/O is cancelled (a blocked read or write returns at once), the
// threads are given up to 2000 ms to go idle, then the port is closed and
// `com_handle` marked invalid. Handles are never reused, so no thread can
// touch another file through the old port, and an old read cannot swallow the
// first answer after the next open.
#pragma once

#include <string>

#include "platform/serial.h"

namespace tessaril::link {

struct Session;

// The fixed read time-outs of the command port: 10 ms interval, 150 ms per
// byte plus 150 ms (38 400 ms for a 255-byte read with no data).
platform::SerialTimeouts command_port_timeouts();

// Opens the device of port_number with bit_rate and bit_len (low byte), no
// parity, one stop bit and the fixed read time-outs; stores the handle in
// the session's `com_handle` (a port still open is closed first). On failure `com_handle`
// is invalid and error_text holds "Cannot open <device>: <reason>" (or
// "Cannot set up <device>: <reason>" when the driver refused the settings;
// the port stays open then, as far as it works). The caller shows that text
// with report_port_error once the command dialog is up, since the list box
// belongs to that dialog.
bool open_serial_port(Session& s, int port_number, int bit_rate, int bit_len, const std::string& ini_path,
                      std::string& error_text);

// Reports a port failure: a note in the traffic and the command log, and the
// port's state to the observers.
void report_port_error(Session& s, const std::string& error_text);

// The safe close described above. Does nothing when no port is open.
void close_serial_port(Session& s);

}  // namespace tessaril::link

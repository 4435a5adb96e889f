// The simulator's end of the serial line: a pseudo-terminal it creates (the
// host opens the printed slave path; Linux only) or a real serial device
// ("/dev/ttyUSB0", "COM3").
#pragma once

#include <cstdint>
#include <string>

#include "platform/serial.h"

namespace tessaril::sim {

struct Line {
  int master = -1;      // pseudo-terminal master
  int slave_keep = -1;  // the slave, held open so a host that closes it causes no hang-up
  platform::SerialHandle port = platform::INVALID_SERIAL;  // real device
  std::string path;                                        // what the host opens
  std::string link;                                        // symbolic link made to path, removed at the end
  int pace_baud = 0;                                       // 0: write at once
  double read_due_ms = 0;                                  // when the bytes paced in so far have all arrived
};

// Creates a pseudo-terminal in raw mode. False with the reason in error
// (always on Windows, which has none).
bool open_pty_line(Line& line, std::string& error);
// Opens a real device at baud (8 data bits, no parity, one stop bit).
bool open_device_line(Line& line, const std::string& device, int baud, std::string& error);
// Makes a symbolic link at link_path to the line's path (replacing an old
// link). Linux only.
bool make_line_link(Line& line, const std::string& link_path, std::string& error);
void close_line(Line& line);

// Reads what is there, waiting at most timeout_ms for the first byte.
// 0 on time-out, -1 when the line failed.
int read_line(Line& line, uint8_t* buffer, int capacity, int timeout_ms);
// Writes all bytes, paced to pace_baud (10 bits per byte) when set.
bool write_line(Line& line, const uint8_t* bytes, int count);
// With pace_baud set, waits until `count` bytes just read could have arrived
// at that rate after the bytes paced in before them: a pseudo-terminal hands
// over at once what a serial line takes its time to deliver.
void pace_read(Line& line, int count);

// The pseudo-terminal's own calls, one file per OS (sim_line_pty_posix.cpp,
// sim_line_pty_win32.cpp); the functions above use them.
void close_pty(Line& line);
int read_pty(Line& line, uint8_t* buffer, int capacity, int timeout_ms);
bool write_pty(Line& line, const uint8_t* bytes, int count);

}  // namespace tessaril::sim

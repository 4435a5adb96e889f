// The command log: every frame written and every answer read, as time-stamped
// lines in the two traffic list boxes of the command dialog and in one log
// file per day.
//
// How it works: the four log_* functions build the text of a line ("Snd:" or
// "Rcv:" and either the bytes in hex or the frame's data field as characters)
// and hand it to append_log_line with list box 225 (hex) or 226 (text) of
// the command dialog. append_log_line stamps the line with the local time
// ("hh:mm:ss.mmm text"), adds it to the list box, then, under the log_busy
// mark, appends it to the file cmd_log_folder + "Clog" + YYYYMMDD +
// ".txt" of today's date and rotates the folder. The folder and the two
// bounds are the log settings handed in by init_command_log once the
// configuration has been read.
//
// - List box: sorted by text, so the time stamp keeps one day's lines in
//   order. Before a line is added, item 0 is deleted when the box holds
//   logline_max - 1 lines or more, or 9999; the box thus keeps at most
//   logline_max - 1 lines (at least one), never more than 9999. The list box
//   gets the line without its line break; the file gets it with one.
// - File: the date is read again under the mark, so a line written after
//   midnight opens the next day's file. When the file cannot be opened the
//   folder is created (with its parents) and the open tried once more. A file
//   that still cannot be opened is skipped: the line has reached the list
//   box, the rotation still runs, nothing is reported.
// - Rotation: when the folder holds more than logfile_max (at least 1) files
//   named Clog????????.txt, the one with the oldest date in its name is
//   deleted (one per line written). The date is taken from the name, not from
//   the order of the directory search, and today's file is never deleted.
// - Both link threads call append_log_line. log_busy is taken with a
//   compare-and-exchange and polled every 25 ms while another writer holds it;
//   log_date and log_path belong to its holder. The list-box calls go through
//   the control layer, which serves them as the dialog thread would.
// - Paths and lines have no fixed length; the hex line of the longest frame
//   (599 encoded bytes) is written whole.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "platform/controls.h"

namespace tessaril::status {

// The traffic list boxes of the command dialog.
inline constexpr int IDC_HEX_LIST = 225;   // "RFC1055 Frame DATA (Hex Code)"
inline constexpr int IDC_TEXT_LIST = 226;  // "DATA Segment (Ascii Code)"

// Hard bound of a traffic list box, whatever logline_max says.
inline constexpr int LOG_LIST_LIMIT = 9999;

// Date of the current log file as YYYYMMDD; 20120101 until the first line.
extern int32_t log_date;
// Full name of the current log file; empty until the first line.
extern std::string log_path;
// 1 while a writer appends to the file and rotates the folder.
extern std::atomic<int32_t> log_busy;

// Where the log goes and how much it keeps: cmd_log_folder, logfile_max and
// logline_max of buc_setup.ini.
struct LogSettings {
  std::string folder;          // prefix of the file names, ends with a separator
  int32_t file_max = 7;        // daily files kept
  int32_t line_max = 1000;     // bound of the traffic list boxes
};

// Takes the settings, sets log_date to 20120101, clears log_path and
// log_busy. Called by the port dialog's initialisation, before the link
// threads start.
void init_command_log(const LogSettings& settings);

// The settings in force (tests).
const LogSettings& log_settings();

// Adds "hh:mm:ss.mmm text" to the list box and to today's log file, then
// rotates the log folder. Safe to call from both link threads.
void append_log_line(platform::DialogHandle dialog, int list_box_id, std::string_view text);

// The line builders, called by the link threads with the frame just written
// or read. Hex: "Snd:"/"Rcv:" and " %02X" per byte. Text: "Snd:"/"Rcv:" and
// the data field (frame bytes 6 to count - 4) as characters, up to its first
// zero byte; a send frame shorter than 9 bytes or a received frame shorter
// than 10 gives the bare prefix. Each goes to list box 225 (hex) or 226
// (text) of the dialog given (the command dialog). The 20-ms pause after a
// send line is the send thread's.
void log_send_hex(platform::DialogHandle dialog, const uint8_t* bytes, size_t count);
void log_send_text(platform::DialogHandle dialog, const uint8_t* bytes, size_t count);
void log_recv_hex(platform::DialogHandle dialog, const uint8_t* bytes, size_t count);
void log_recv_text(platform::DialogHandle dialog, const uint8_t* bytes, size_t count);

// The pieces of a line, for the builders above and for tests.
std::string hex_line(std::string_view prefix, const uint8_t* bytes, size_t count);
std::string data_field_line(std::string_view prefix, const uint8_t* bytes, size_t count, size_t min_count);
// "hh:mm:ss.mmm " + text, without a line break.
std::string stamped_line(const platform::LocalTime& time, std::string_view text);
// YYYYMMDD of a local time.
int32_t date_number(const platform::LocalTime& time);
// folder + "Clog" + date + ".txt", in the native form.
std::string log_file_path(const std::string& folder, int32_t date);

}  // namespace tessaril::status

// The command log: every frame written and every answer read, as time-stamped
// lines in one log file per day.
//
// How it works: the session turns every frame it writes or reads into lines
// ("Snd:" or "Rcv:" and either the bytes in hex or the frame's data field as
// characters, built by hex_line and data_field_line), stamps them with the
// local time ("hh:mm:ss.mmm text") and shows them in the traffic lists; a
// CommandLog then appends each stamped line to the file cmd_log_folder +
// "Clog" + YYYYMMDD + ".txt" of today's date and rotates the folder. The
// folder and the two bounds are the log settings, taken from the
// configuration.
//
// - File: the date is read again when the line is written, so a line written
//   after midnight opens the next day's file. When the file cannot be opened
//   the folder is created (with its parents) and the open tried once more. A
//   file that still cannot be opened is skipped: the line has reached the
//   traffic list, the rotation still runs, nothing is reported.
// - Rotation: when the folder holds more than logfile_max (at least 1) files
//   named Clog????????.txt, the one with the oldest date in its name is
//   deleted (one per line written). The date is taken from the name, not from
//   the order of the directory search, and today's file is never deleted.
// - Both link threads write lines; a writer waits for the other on a lock.
//   The current date and file name belong to the lock's holder.
// - Paths and lines have no fixed length; the hex line of the longest frame
//   (599 encoded bytes) is written whole.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/clock.h"

namespace tessaril::status {

// Hard bound of a traffic list box, whatever logline_max says.
inline constexpr int LOG_LIST_LIMIT = 9999;

// Where the log goes and how much it keeps: cmd_log_folder, logfile_max and
// logline_max of buc_setup.ini.
struct LogSettings {
  std::string folder;          // prefix of the file names, ends with a separator
  int32_t file_max = 7;        // daily files kept
  int32_t line_max = 1000;     // bound of the traffic list boxes
};

class CommandLog {
 public:
  explicit CommandLog(const LogSettings& settings = {});

  // Takes new settings; the next line opens its file afresh.
  void configure(const LogSettings& settings);
  LogSettings settings() const;

  // Appends a stamped line (stamped_line) to today's log file, then rotates
  // the log folder. Safe to call from both link threads.
  void append(std::string_view line);

  // Date of the current log file as YYYYMMDD (20120101 until the first
  // line) and its full name (empty until then).
  int32_t date() const;
  std::string path() const;

 private:
  mutable std::mutex lock_;
  LogSettings settings_;
  int32_t date_;
  std::string path_;
};

// The pieces of a line. Hex: the prefix ("Snd:"/"Rcv:") and " %02X" per
// byte. Data field: the prefix and the data field (frame bytes 6 to
// count - 4) as characters, up to its first zero byte; a frame shorter than
// min_count (9 sent, 10 received) gives the bare prefix.
std::string hex_line(std::string_view prefix, const uint8_t* bytes, size_t count);
std::string data_field_line(std::string_view prefix, const uint8_t* bytes, size_t count, size_t min_count);
// "hh:mm:ss.mmm " + text, without a line break.
std::string stamped_line(const platform::LocalTime& time, std::string_view text);
// YYYYMMDD of a local time.
int32_t date_number(const platform::LocalTime& time);
// folder + "Clog" + date + ".txt", in the native form.
std::string log_file_path(const std::string& folder, int32_t date);

}  // namespace tessaril::status

#include "status/command_log.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "platform/files.h"

namespace tessaril::status {

namespace {

constexpr int32_t START_LOG_DATE = 20120101;

// cmd_log_folder is a prefix of the file names: the part up to its last
// separator is the folder searched and created, the rest starts every name.
struct LogPrefix {
  std::string folder;       // empty for the current directory
  std::string name_prefix;  // usually empty
};

LogPrefix split_prefix(const LogSettings& settings) {
  std::string prefix = platform::native_path(settings.folder);
  size_t cut = prefix.find_last_of("/\\");
  if (cut == std::string::npos) return LogPrefix{std::string(), prefix};
  return LogPrefix{prefix.substr(0, cut + 1), prefix.substr(cut + 1)};
}

std::FILE* open_for_append(const std::string& path, const LogPrefix& prefix) {
  std::FILE* f = std::fopen(path.c_str(), "a");
  if (f || prefix.folder.empty()) return f;
  // Users expect their logs to appear: make the folder on first use (or again
  // after someone removed it) and try once more.
  if (!platform::make_folders(prefix.folder)) return nullptr;
  return std::fopen(path.c_str(), "a");
}

void append_to_file(const std::string& path, const LogPrefix& prefix, std::string_view line) {
  std::FILE* f = open_for_append(path, prefix);
  if (!f) return;  // the line has reached the list box; the file is skipped
  // So is a file that cannot take it: the log reports nothing of its own.
  (void)std::fwrite(line.data(), 1, line.size(), f);
  (void)std::fputc('\n', f);
  (void)std::fclose(f);
}

// Deletes the file with the oldest date in its name when the folder holds more
// than logfile_max daily files. The directory search of Linux returns names in
// no useful order, so the date in the name decides; every name matched has
// the same length, so the smallest name carries the oldest date.
void rotate(const LogSettings& settings, const LogPrefix& prefix, int32_t today) {
  std::vector<std::string> names = platform::find_files(prefix.folder, prefix.name_prefix + "Clog????????.txt");
  const size_t keep = static_cast<size_t>(std::max<int32_t>(settings.file_max, 1));
  if (names.size() <= keep) return;
  const std::string todays = prefix.name_prefix + "Clog" + std::to_string(today) + ".txt";
  std::string oldest;
  for (const std::string& name : names)
    if (name != todays && (oldest.empty() || name < oldest)) oldest = name;
  if (!oldest.empty()) platform::remove_file(prefix.folder + oldest);
}

}  // namespace

CommandLog::CommandLog(const LogSettings& settings) : settings_(settings), date_(START_LOG_DATE) {}

void CommandLog::configure(const LogSettings& settings) {
  std::lock_guard<std::mutex> lock(lock_);
  settings_ = settings;
  date_ = START_LOG_DATE;
  path_.clear();
}

LogSettings CommandLog::settings() const {
  std::lock_guard<std::mutex> lock(lock_);
  return settings_;
}

int32_t CommandLog::date() const {
  std::lock_guard<std::mutex> lock(lock_);
  return date_;
}

std::string CommandLog::path() const {
  std::lock_guard<std::mutex> lock(lock_);
  return path_;
}

void CommandLog::append(std::string_view line) {
  std::lock_guard<std::mutex> lock(lock_);
  // The date is read again here: a writer that waited for the lock across
  // midnight opens the new day's file.
  const int32_t today = date_number(platform::local_time());
  if (today != date_ || path_.empty()) {
    date_ = today;
    path_ = log_file_path(settings_.folder, today);
  }
  const LogPrefix prefix = split_prefix(settings_);
  append_to_file(path_, prefix, line);
  rotate(settings_, prefix, today);
}

std::string stamped_line(const platform::LocalTime& time, std::string_view text) {
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d.%03d", time.hour, time.minute, time.second, time.millisecond);
  std::string line = stamp;
  line += ' ';
  line.append(text);
  return line;
}

int32_t date_number(const platform::LocalTime& time) { return time.year * 10000 + time.month * 100 + time.day; }

std::string log_file_path(const std::string& folder, int32_t date) {
  return platform::native_path(folder + "Clog" + std::to_string(date) + ".txt");
}

std::string hex_line(std::string_view prefix, const uint8_t* bytes, size_t count) {
  static constexpr char digits[] = "0123456789ABCDEF";
  std::string line(prefix);
  if (!bytes) return line;
  line.reserve(prefix.size() + 3 * count);
  for (size_t i = 0; i < count; ++i) {
    line += ' ';
    line += digits[bytes[i] >> 4];
    line += digits[bytes[i] & 0x0F];
  }
  return line;
}

std::string data_field_line(std::string_view prefix, const uint8_t* bytes, size_t count, size_t min_count) {
  std::string line(prefix);
  if (!bytes || count < min_count || count < 9) return line;
  // The data field: after the six header bytes, before the CRC and end code.
  for (size_t i = 6; i < count - 3 && bytes[i] != 0; ++i) line += static_cast<char>(bytes[i]);
  return line;
}

}  // namespace tessaril::status

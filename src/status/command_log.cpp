#include "status/command_log.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "platform/files.h"

namespace tessaril::status {

int32_t log_date = 20120101;
std::string log_path;
std::atomic<int32_t> log_busy{0};

namespace {
LogSettings settings;
}  // namespace

namespace {

constexpr int32_t START_LOG_DATE = 20120101;
constexpr int64_t BUSY_POLL_MS = 25;

// cmd_log_folder is a prefix of the file names: the part up to its last
// separator is the folder searched and created, the rest starts every name.
struct LogPrefix {
  std::string folder;       // empty for the current directory
  std::string name_prefix;  // usually empty
};

LogPrefix split_prefix() {
  std::string prefix = platform::native_path(settings.folder);
  size_t cut = prefix.find_last_of("/\\");
  if (cut == std::string::npos) return LogPrefix{std::string(), prefix};
  return LogPrefix{prefix.substr(0, cut + 1), prefix.substr(cut + 1)};
}

void take_busy_mark() {
  int32_t expected = 0;
  while (!log_busy.compare_exchange_strong(expected, 1, std::memory_order_acquire)) {
    expected = 0;
    platform::sleep_ms(BUSY_POLL_MS);
  }
}

void release_busy_mark() { log_busy.store(0, std::memory_order_release); }

std::FILE* open_for_append(const std::string& path, const LogPrefix& prefix) {
  std::FILE* f = std::fopen(path.c_str(), "a");
  if (f || prefix.folder.empty()) return f;
  // Users expect their logs to appear: make the folder on first use (or again
  // after someone removed it) and try once more.
  if (!platform::make_folders(prefix.folder)) return nullptr;
  return std::fopen(path.c_str(), "a");
}

void append_to_file(const std::string& line) {
  LogPrefix prefix = split_prefix();
  std::FILE* f = open_for_append(log_path, prefix);
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
void rotate(int32_t today) {
  LogPrefix prefix = split_prefix();
  std::vector<std::string> names = platform::find_files(prefix.folder, prefix.name_prefix + "Clog????????.txt");
  const size_t keep = static_cast<size_t>(std::max<int32_t>(settings.file_max, 1));
  if (names.size() <= keep) return;
  const std::string todays = prefix.name_prefix + "Clog" + std::to_string(today) + ".txt";
  std::string oldest;
  for (const std::string& name : names)
    if (name != todays && (oldest.empty() || name < oldest)) oldest = name;
  if (!oldest.empty()) platform::remove_file(prefix.folder + oldest);
}

void trim_list_box(platform::DialogHandle dialog, int list_box_id, int& count) {
  const int64_t limit = static_cast<int64_t>(settings.line_max) - 1;
  // A box never empties itself to make room: logline_max of 1 or less keeps one line.
  while (count > 0 && (count >= limit || count >= LOG_LIST_LIMIT)) {
    if (platform::list_delete(dialog, list_box_id, 0) < 0) break;
    --count;
  }
}

}  // namespace

void init_command_log(const LogSettings& new_settings) {
  settings = new_settings;
  log_date = START_LOG_DATE;
  log_path.clear();
  log_busy.store(0, std::memory_order_release);
}

const LogSettings& log_settings() { return settings; }

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

void append_log_line(platform::DialogHandle dialog, int list_box_id, std::string_view text) {
  const std::string line = stamped_line(platform::local_time(), text);

  int count = platform::list_count(dialog, list_box_id);
  trim_list_box(dialog, list_box_id, count);
  platform::list_add(dialog, list_box_id, line);
  platform::list_set_selection(dialog, list_box_id, count);

  take_busy_mark();
  // The date is read again here: a writer that waited for the mark across
  // midnight opens the new day's file.
  const int32_t today = date_number(platform::local_time());
  if (today != log_date || log_path.empty()) {
    log_date = today;
    log_path = log_file_path(settings.folder, today);
  }
  append_to_file(line);
  rotate(today);
  release_busy_mark();
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

void log_send_hex(platform::DialogHandle dialog, const uint8_t* bytes, size_t count) {
  append_log_line(dialog, IDC_HEX_LIST, hex_line("Snd:", bytes, count));
}

void log_send_text(platform::DialogHandle dialog, const uint8_t* bytes, size_t count) {
  append_log_line(dialog, IDC_TEXT_LIST, data_field_line("Snd:", bytes, count, 9));
}

void log_recv_hex(platform::DialogHandle dialog, const uint8_t* bytes, size_t count) {
  append_log_line(dialog, IDC_HEX_LIST, hex_line("Rcv:", bytes, count));
}

void log_recv_text(platform::DialogHandle dialog, const uint8_t* bytes, size_t count) {
  append_log_line(dialog, IDC_TEXT_LIST, data_field_line("Rcv:", bytes, count, 10));
}

}  // namespace tessaril::status

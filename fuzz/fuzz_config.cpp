// The configuration reader on any "buc_setup.ini", and the profile look-ups
// that list sections and keys.
//
// Input: the file, written into a folder of its own that is the current
// directory while it is read. Checked: read_config finds it; every text value
// is terminated within its field; the values read, written out again as a
// clean file (texts in quotes, so that blanks and quotes inside survive),
// read back the same; and the lists of section and key names fit buffers of
// exactly their capacity, end in a zero byte, and are the full lists cut.
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "fuzz_check.h"
#include "platform/profile.h"
#include "shell/config.h"

using namespace tessaril;

namespace {

// A folder of our own, removed at exit. It is the current directory only
// while a file is read: libFuzzer reads and writes its corpus by relative paths.
std::filesystem::path folder;

void make_folder() {
  const auto unique = std::to_string(reinterpret_cast<uintptr_t>(&folder)) + "-" + std::to_string(std::rand());
  folder = std::filesystem::temp_directory_path() / ("tessaril-fuzz-config-" + unique);
  std::filesystem::create_directories(folder);
  std::atexit([] {
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
  });
}

struct InFolder {
  std::filesystem::path previous = std::filesystem::current_path();
  InFolder() { std::filesystem::current_path(folder); }
  ~InFolder() { std::filesystem::current_path(previous); }
};

void write_file(const std::string& bytes) {
  // A new file each time: rewriting one in place makes the file system
  // flush it to disk on every close.
  std::filesystem::remove(folder / "buc_setup.ini");
  std::ofstream out(folder / "buc_setup.ini", std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

template <size_t N>
void check_text(const char (&field)[N]) {
  FUZZ_CHECK(std::memchr(field, '\0', N) != nullptr, "a text value is terminated within its field");
}

template <size_t N>
std::string quoted(const char* key, const char (&field)[N]) {
  return std::string(key) + "=\"" + field + "\"\n";
}

std::string number(const char* key, int32_t value) { return std::string(key) + "=" + std::to_string(value) + "\n"; }

std::string clean_file(const shell::AppConfig& c) {
  return "[section1]\n" + number("sio_port", c.sio_port) + number("bit_rate", c.bit_rate) +
         number("bit_len", c.bit_len) + number("stop_len", c.stop_len) + quoted("parity", c.parity) +
         quoted("flow_ctl", c.flow_ctl) + quoted("bpn", c.bpn_text) + quoted("MID", c.mid_text) +
         quoted("bsn", c.bsn_text) + quoted("fid", c.fid_text) + number("rty_tmr", c.rty_tmr) +
         quoted("cfg_folder", c.cfg_folder) + quoted("cmd_log_folder", c.cmd_log_folder) +
         number("logfile_max", c.logfile_max) + number("logline_max", c.logline_max);
}

bool same(const shell::AppConfig& a, const shell::AppConfig& b) {
  return a.sio_port == b.sio_port && a.bit_rate == b.bit_rate && a.bit_len == b.bit_len && a.stop_len == b.stop_len &&
         !std::strcmp(a.parity, b.parity) && !std::strcmp(a.flow_ctl, b.flow_ctl) &&
         !std::strcmp(a.bpn_text, b.bpn_text) && !std::strcmp(a.mid_text, b.mid_text) &&
         !std::strcmp(a.bsn_text, b.bsn_text) && !std::strcmp(a.fid_text, b.fid_text) && a.rty_tmr == b.rty_tmr &&
         !std::strcmp(a.cfg_folder, b.cfg_folder) && !std::strcmp(a.cmd_log_folder, b.cmd_log_folder) &&
         a.logfile_max == b.logfile_max && a.logline_max == b.logline_max;
}

// A list of names into a buffer of exactly `capacity` bytes: the full list
// when it fits, else the full list cut, and always a zero byte at the end.
void check_list(const char* section, int capacity) {
  const std::string path = shell::config_path();
  std::string full(1 << 16, '\0');
  const int full_n =
      platform::profile_string(section, nullptr, nullptr, full.data(), static_cast<int>(full.size()), path);
  FUZZ_CHECK(full_n >= 0 && full_n + 1 < static_cast<int>(full.size()), "the whole list fits 64 KiB");
  std::unique_ptr<char[]> buf(new char[static_cast<size_t>(capacity)]);
  const int n = platform::profile_string(section, nullptr, nullptr, buf.get(), capacity, path);
  FUZZ_CHECK(n >= 0 && n < capacity && buf[n] == '\0', "a list is terminated within its buffer");
  FUZZ_CHECK(std::memcmp(buf.get(), full.data(), static_cast<size_t>(n)) == 0, "a cut list is the list's start");
  FUZZ_CHECK(n == full_n || n == capacity - 2 || capacity < 2, "a list is whole or cut to capacity - 2");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = (make_folder(), true);
  (void)ready;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  write_file(bytes);
  const InFolder here;
  FUZZ_CHECK(shell::read_config() == 0, "the file is found");
  const shell::AppConfig first = shell::app_config;
  check_text(first.parity);
  check_text(first.flow_ctl);
  check_text(first.bpn_text);
  check_text(first.mid_text);
  check_text(first.bsn_text);
  check_text(first.fid_text);
  check_text(first.cfg_folder);
  check_text(first.cmd_log_folder);

  const int capacity = 1 + static_cast<int>(size % 97);
  check_list(nullptr, capacity);
  check_list(shell::CONFIG_SECTION, capacity);

  write_file(clean_file(first));
  FUZZ_CHECK(shell::read_config() == 0, "the clean file is found");
  FUZZ_CHECK(same(first, shell::app_config), "the values read back the same from a clean file");
  return 0;
}

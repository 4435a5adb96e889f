// Profile look-ups (POSIX): the file is parsed into its sections and entries on each
// call, then the request is answered the way the Windows functions answer it.
#include "platform/profile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "platform/files.h"

namespace tessaril::platform {

namespace {

struct Entry {
  std::string_view key;
  std::string_view value;
  bool has_value;  // false for a line without '='
};

struct Section {
  std::string_view name;
  std::vector<Entry> entries;
};

// Windows counts Ctrl-Z (the old end-of-file mark) as a blank too.
bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == 0x1A; }

// Names and values end at a NUL, as the C strings Windows keeps them in.
std::string_view c_string(std::string_view s) { return s.substr(0, s.find('\0')); }

std::string_view trim(std::string_view s) {
  while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
  return s;
}

char ascii_lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool same_name(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
  return true;
}

// The whole file, or empty when it cannot be read. A directory opens for
// reading on Linux, so only plain files count.
std::string read_file(const std::string& path) {
  std::string name = native_path(path);
  if (file_size(name) < 0) return {};
  std::FILE* f = std::fopen(name.c_str(), "rb");
  if (!f) return {};
  std::string bytes;
  char chunk[4096];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes.append(chunk, n);
  (void)std::fclose(f);  // read only: nothing to lose
  return bytes;
}

// Splits the text into sections; the views point into `text`.
std::vector<Section> parse(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  std::vector<Section> sections;
  sections.push_back(Section{std::string_view(), {}});  // entries before any header
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    line = trim(line);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      size_t close = line.rfind(']');
      if (close != std::string_view::npos) {
        sections.push_back(Section{trim(c_string(line.substr(1, close - 1))), {}});
        continue;
      }
      // no closing bracket: Windows takes the line as a key
    }
    size_t eq = line.find('=');
    if (eq == std::string_view::npos) {
      sections.back().entries.push_back(Entry{c_string(line), std::string_view(), false});
    } else {
      sections.back().entries.push_back(
          Entry{trim(c_string(line.substr(0, eq))), trim(c_string(line.substr(eq + 1))), true});
    }
  }
  return sections;
}

// Only the first section of a name is searched, as on Windows.
const Section* find_section(const std::vector<Section>& sections, std::string_view name) {
  for (const Section& s : sections)
    if (same_name(s.name, name)) return &s;
  return nullptr;
}

const Entry* find_entry(const Section& section, std::string_view key) {
  for (const Entry& e : section.entries)
    if (same_name(e.key, key)) return &e;
  return nullptr;
}

std::string_view strip_quotes(std::string_view v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) return v.substr(1, v.size() - 2);
  return v;
}

int copy_cut(std::string_view text, char* buffer, int capacity) {
  size_t n = std::min(text.size(), static_cast<size_t>(capacity - 1));
  if (n > 0) std::memcpy(buffer, text.data(), n);  // a null default has no data at all
  buffer[n] = '\0';
  return static_cast<int>(n);
}

// A list of names, each NUL-terminated, then one more NUL; cut as Windows cuts.
int copy_list(const std::vector<std::string_view>& names, char* buffer, int capacity) {
  std::string joined;
  for (std::string_view n : names) {
    joined.append(n);
    joined.push_back('\0');
  }
  if (joined.size() + 1 <= static_cast<size_t>(capacity)) {
    std::memcpy(buffer, joined.data(), joined.size());
    buffer[joined.size()] = '\0';
    return static_cast<int>(joined.size());
  }
  if (capacity < 2) {
    buffer[0] = '\0';
    return 0;
  }
  size_t keep = static_cast<size_t>(capacity - 2);
  std::memcpy(buffer, joined.data(), keep);
  buffer[keep] = '\0';
  buffer[keep + 1] = '\0';
  return static_cast<int>(keep);
}

std::string_view default_text(const char* default_value) {
  std::string_view d = default_value ? std::string_view(default_value) : std::string_view();
  while (!d.empty() && d.back() == ' ') d.remove_suffix(1);
  return strip_quotes(d);
}

}  // namespace

int profile_string(const char* section, const char* key, const char* default_value, char* buffer, int capacity,
                   const std::string& path) {
  if (!buffer || capacity < 1) return 0;
  std::string bytes = read_file(path);
  std::vector<Section> sections = parse(bytes);

  if (!section) {
    std::vector<std::string_view> names;
    for (size_t i = 1; i < sections.size(); ++i) names.push_back(sections[i].name);
    return copy_list(names, buffer, capacity);
  }
  const Section* s = find_section(sections, trim(section));
  if (!key) {
    if (!s) return copy_cut(default_text(default_value), buffer, capacity);
    std::vector<std::string_view> names;
    for (const Entry& e : s->entries)
      if (!e.key.empty()) names.push_back(e.key);
    return copy_list(names, buffer, capacity);
  }
  std::string_view key_name = trim(key);
  const Entry* e = (s && !key_name.empty()) ? find_entry(*s, key_name) : nullptr;
  if (!e || !e->has_value) return copy_cut(default_text(default_value), buffer, capacity);
  return copy_cut(strip_quotes(e->value), buffer, capacity);
}

int32_t profile_int(const char* section, const char* key, int32_t default_value, const std::string& path) {
  // Windows reads the value into a buffer of 30 characters first.
  char text[30];
  if (!section || !key) return default_value;
  if (profile_string(section, key, "", text, sizeof text, path) == 0) return default_value;
  const char* p = text;
  while (is_blank(*p)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  // Unsigned arithmetic wraps as the Windows conversion does.
  uint32_t value = 0;
  for (; *p >= '0' && *p <= '9'; ++p) value = value * 10u + static_cast<uint32_t>(*p - '0');
  if (negative) value = 0u - value;
  return static_cast<int32_t>(value);
}

}  // namespace tessaril::platform

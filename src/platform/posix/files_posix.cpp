#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "platform/files.h"

namespace tessaril::platform {

namespace {

bool wildcard_match(const char* pattern, const char* name) {
  const char* star = nullptr;
  const char* resume = nullptr;
  while (*name) {
    if (*pattern == '?' || *pattern == *name) {
      ++pattern;
      ++name;
    } else if (*pattern == '*') {
      star = pattern++;
      resume = name;
    } else if (star) {
      pattern = star + 1;
      name = ++resume;
    } else {
      return false;
    }
  }
  while (*pattern == '*') ++pattern;
  return *pattern == '\0';
}

char ascii_lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool equal_nocase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
  return true;
}

bool is_plain_file(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string folder_or_dot(const std::string& folder) { return folder.empty() ? std::string(".") : native_path(folder); }

std::string join(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  std::string f = native_path(folder);
  if (f.back() != '/') f += '/';
  return f + name;
}

}  // namespace

char path_separator() { return '/'; }

bool is_path_separator(char c) { return c == '/' || c == '\\'; }

const char* default_cfg_folder() { return "buc_cfg/"; }
const char* default_cmd_log_folder() { return "cmd_log/"; }

std::string native_path(const std::string& path) {
  std::string out = path;
  for (char& c : out)
    if (c == '\\') c = '/';
  return out;
}

std::vector<std::string> find_files(const std::string& folder, const std::string& pattern) {
  std::vector<std::string> names;
  DIR* dir = ::opendir(folder_or_dot(folder).c_str());
  if (!dir) return names;
  while (dirent* entry = ::readdir(dir)) {
    std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    if (!wildcard_match(pattern.c_str(), name.c_str())) continue;
    if (!is_plain_file(join(folder, name))) continue;
    names.push_back(name);
  }
  ::closedir(dir);
  return names;
}

int64_t file_size(const std::string& path) {
  struct stat st {};
  if (::stat(native_path(path).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  return static_cast<int64_t>(st.st_size);
}

std::string find_file_nocase(const std::string& folder, const std::string& name) {
  if (name.empty()) return {};
  if (is_plain_file(join(folder, name))) return name;
  std::string found;
  DIR* dir = ::opendir(folder_or_dot(folder).c_str());
  if (!dir) return {};
  while (dirent* entry = ::readdir(dir)) {
    std::string candidate = entry->d_name;
    if (equal_nocase(candidate, name) && is_plain_file(join(folder, candidate))) {
      found = candidate;
      break;
    }
  }
  ::closedir(dir);
  return found;
}

bool make_folders(const std::string& folder) {
  std::string path = native_path(folder);
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  if (path.empty()) return true;
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  size_t cut = path.find_last_of('/');
  if (cut != std::string::npos && cut > 0 && !make_folders(path.substr(0, cut))) return false;
  if (::mkdir(path.c_str(), 0777) == 0) return true;
  return errno == EEXIST && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool remove_file(const std::string& path) { return std::remove(native_path(path).c_str()) == 0; }

bool rename_file(const std::string& from, const std::string& to) {
  return std::rename(native_path(from).c_str(), native_path(to).c_str()) == 0;
}

NewFile::~NewFile() { close(); }

bool NewFile::create(const std::string& path) {
  close();
  const std::string p = native_path(path);
  // lstat: a symbolic link is judged as itself, never by what it points to.
  struct stat st {};
  if (::lstat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ::unlink(p.c_str());
  const int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  handle_ = fd;
  failed_ = false;
  return true;
}

bool NewFile::write(const char* bytes, size_t count) {
  if (!is_open() || failed_) return false;
  while (count > 0) {
    const ssize_t n = ::write(static_cast<int>(handle_), bytes, count);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      failed_ = true;
      return false;
    }
    bytes += n;
    count -= static_cast<size_t>(n);
  }
  return true;
}

bool NewFile::close() {
  if (!is_open()) return false;
  const int fd = static_cast<int>(handle_);
  handle_ = CLOSED;
  return ::close(fd) == 0;
}

std::string current_folder() {
  std::string buffer(4096, '\0');
  if (!::getcwd(buffer.data(), buffer.size())) return ".";
  buffer.resize(std::char_traits<char>::length(buffer.c_str()));
  return buffer;
}

std::string base_name(const std::string& path) {
  size_t cut = path.find_last_of("/\\");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

}  // namespace tessaril::platform

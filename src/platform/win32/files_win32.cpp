// Files and folders through the Windows calls: FindFirstFileA/FindNextFileA
// for the wildcard search, GetFileAttributesExA for sizes, MoveFileExA.
// Windows matches names without regard to case itself.
#include <windows.h>

#include <string>

#include "platform/files.h"

namespace tessaril::platform {

namespace {

bool attributes(const std::string& path, WIN32_FILE_ATTRIBUTE_DATA& data) {
  return GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) != 0;
}

bool is_folder(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  return attributes(path, data) && (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::string join(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  std::string f = native_path(folder);
  if (!is_path_separator(f.back())) f += '\\';
  return f + name;
}

// Calls visit(name) for every plain file matching pattern in folder, until
// visit returns false.
template <typename Visit>
void for_each_file(const std::string& folder, const std::string& pattern, Visit visit) {
  WIN32_FIND_DATAA found{};
  HANDLE search = FindFirstFileA(join(folder, pattern).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    if (!visit(std::string(found.cFileName))) break;
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

char ascii_lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool equal_nocase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
  return true;
}

}  // namespace

char path_separator() { return '\\'; }

bool is_path_separator(char c) { return c == '/' || c == '\\'; }

const char* default_cfg_folder() { return "C:\\buc_sim\\buc_cfg\\"; }
const char* default_cmd_log_folder() { return "C:\\buc_sim\\cmd_log\\"; }

std::string native_path(const std::string& path) {
  std::string out = path;
  for (char& c : out)
    if (c == '/') c = '\\';
  return out;
}

std::vector<std::string> find_files(const std::string& folder, const std::string& pattern) {
  std::vector<std::string> names;
  for_each_file(folder, pattern, [&](const std::string& name) {
    names.push_back(name);
    return true;
  });
  return names;
}

int64_t file_size(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!attributes(native_path(path), data) || (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return -1;
  return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::string find_file_nocase(const std::string& folder, const std::string& name) {
  if (name.empty()) return {};
  // A case-sensitive file system under Windows (Wine's) may hold both
  // "cal.xml" and "CAL.XML": the exact name wins.
  std::string found;
  for_each_file(folder, "*", [&](const std::string& candidate) {
    if (candidate == name) {
      found = candidate;
      return false;
    }
    if (found.empty() && equal_nocase(candidate, name)) found = candidate;
    return true;
  });
  return found;
}

bool make_folders(const std::string& folder) {
  std::string path = native_path(folder);
  while (path.size() > 1 && path.back() == '\\') path.pop_back();
  if (path.empty() || (path.size() == 2 && path[1] == ':')) return true;
  if (is_folder(path)) return true;
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (attributes(path, data)) return false;  // a file of that name
  size_t cut = path.find_last_of('\\');
  if (cut != std::string::npos && cut > 0 && !make_folders(path.substr(0, cut))) return false;
  if (CreateDirectoryA(path.c_str(), nullptr)) return true;
  return GetLastError() == ERROR_ALREADY_EXISTS && is_folder(path);
}

bool remove_file(const std::string& path) { return DeleteFileA(native_path(path).c_str()) != 0; }

bool rename_file(const std::string& from, const std::string& to) {
  // Replaces an existing file, as rename() does on Linux.
  return MoveFileExA(native_path(from).c_str(), native_path(to).c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

NewFile::~NewFile() { close(); }

bool NewFile::create(const std::string& path) {
  close();
  const std::string p = native_path(path);
  // A reparse point (a symbolic link or junction) is never removed or
  // followed; CREATE_NEW then fails on it, as on a folder.
  const DWORD a = GetFileAttributesA(p.c_str());
  if (a != INVALID_FILE_ATTRIBUTES && !(a & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
    DeleteFileA(p.c_str());
  HANDLE h = CreateFileA(p.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  handle_ = reinterpret_cast<intptr_t>(h);
  failed_ = false;
  return true;
}

bool NewFile::write(const char* bytes, size_t count) {
  if (!is_open() || failed_) return false;
  HANDLE h = reinterpret_cast<HANDLE>(handle_);
  while (count > 0) {
    const DWORD chunk = count > 0x40000000u ? 0x40000000u : static_cast<DWORD>(count);
    DWORD written = 0;
    if (!WriteFile(h, bytes, chunk, &written, nullptr) || written == 0) {
      failed_ = true;
      return false;
    }
    bytes += written;
    count -= written;
  }
  return true;
}

bool NewFile::close() {
  if (!is_open()) return false;
  HANDLE h = reinterpret_cast<HANDLE>(handle_);
  handle_ = CLOSED;
  return CloseHandle(h) != 0;
}

std::string current_folder() {
  DWORD n = GetCurrentDirectoryA(0, nullptr);
  if (n == 0) return ".";
  std::string buffer(n, '\0');
  DWORD written = GetCurrentDirectoryA(n, buffer.data());
  if (written == 0 || written >= n) return ".";
  buffer.resize(written);
  return buffer;
}

std::string base_name(const std::string& path) {
  size_t cut = path.find_last_of("/\\");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

}  // namespace tessaril::platform

// Files and folders.
//
// Paths are byte strings as the system holds them. On Linux both '/' and '\'
// are accepted as separators in a configured folder; on Windows both are
// native. Names stored by the system are upper-cased, while Linux file systems
// match case exactly, hence find_file_nocase.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tessaril::platform {

// The separator the system writes into paths it builds.
char path_separator();

// True for '/' and, on every platform, '\\'.
bool is_path_separator(char c);

// Converts any separator of the other convention into the native one
// (on Linux "C:\a\b\" stays as it is apart from the separators).
std::string native_path(const std::string& path);

// The folders buc_setup.ini's cfg_folder and cmd_log_folder name when the
// file does not. Windows: "C:\buc_sim\buc_cfg\" and "C:\buc_sim\cmd_log\".
// Linux, where those paths mean nothing: "buc_cfg/" and "cmd_log/", next to
// buc_setup.ini in the current directory.
const char* default_cfg_folder();
const char* default_cmd_log_folder();

// The names (not paths) of the plain files in folder whose names match the
// Windows wildcard pattern ('*' any run, '?' one character, no case rules
// beyond exact matching), in the order the directory search returns them.
// An empty folder means the current directory. A missing folder gives none.
std::vector<std::string> find_files(const std::string& folder, const std::string& pattern);

// The size of a file in bytes, or -1 when it does not exist or is no plain file.
int64_t file_size(const std::string& path);

// The name under which `name` exists in folder, compared without regard to
// ASCII case; exact matches win. Empty when there is none.
std::string find_file_nocase(const std::string& folder, const std::string& name);

// Creates folder and any missing parents. True when it exists afterwards.
bool make_folders(const std::string& folder);

bool remove_file(const std::string& path);

// Replaces `to` if it exists.
bool rename_file(const std::string& from, const std::string& to);

// A file created new for writing, never an existing file and never through a
// link: a stale plain file of the name is removed first, and anything else
// standing there (a symbolic link, a folder) makes the creation fail, so
// nothing is ever written outside the name asked for. Closes on destruction.
class NewFile {
 public:
  NewFile() = default;
  ~NewFile();
  NewFile(const NewFile&) = delete;
  NewFile& operator=(const NewFile&) = delete;

  // Closes a file still open first. False when the file could not be created.
  [[nodiscard]] bool create(const std::string& path);
  // False when not every byte was written, the file is not open, or an
  // earlier write failed (the file then has a hole: it stays failed).
  [[nodiscard]] bool write(const char* bytes, size_t count);
  // True when the file was open and closed cleanly.
  bool close();
  bool is_open() const { return handle_ != CLOSED; }
  // True once a write failed since the file was created.
  bool failed() const { return failed_; }

 private:
  static constexpr intptr_t CLOSED = -1;
  intptr_t handle_ = CLOSED;  // a descriptor, or a HANDLE on Windows
  bool failed_ = false;
};

// The process's current directory, ending without a separator.
std::string current_folder();

// The last component of a path (after the last separator of either kind).
std::string base_name(const std::string& path);

}  // namespace tessaril::platform

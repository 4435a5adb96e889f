// The transfer file: the one file the host sends to the device by Kermit.
//
// How it works: a successful "File Select" (file_select.h) replaces it; the
// sequence builders announce its name and size, the link's Kermit send
// transmits it and, at the end of a send, stores the name the transfer
// reported. The device sees only the upper-cased base name, while the send
// opens the file the engineer chose by its full path: a file of the same name
// in the working folder may be an old image.
//
// A session keeps it in a TransferFileSlot, shared by the dialog thread and
// the link threads: its words are read and written under its lock only.
#pragma once

#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/files.h"

namespace tessaril::link {

// Room of the transfer file's name, terminator included.
constexpr int TX_FILE_NAME_CAPACITY = 40;

// A consistent copy of the transfer file.
struct TransferFile {
  char name[TX_FILE_NAME_CAPACITY];
  int32_t size;
  std::string path;
};

class TransferFileSlot {
 public:
  TransferFile get() const {
    std::lock_guard<std::mutex> lock(lock_);
    TransferFile f{};
    std::memcpy(f.name, name_, sizeof f.name);
    f.size = size_;
    f.path = path_;
    return f;
  }

  // Replaces the transfer file; a name longer than the room is cut at it.
  void set(const char* name, int32_t size, const std::string& path) {
    std::lock_guard<std::mutex> lock(lock_);
    size_t n = name ? strnlen(name, TX_FILE_NAME_CAPACITY - 1) : 0;
    std::memcpy(name_, name ? name : "", n);
    name_[n] = '\0';
    size_ = size;
    path_ = path;
  }

  // Stores the name a Kermit send reported at its end. A name other than the
  // chosen one no longer names the chosen file, so the full path is dropped.
  void set_reported_name(const char* name) {
    char reported[TX_FILE_NAME_CAPACITY] = {};
    if (name) std::memcpy(reported, name, strnlen(name, TX_FILE_NAME_CAPACITY - 1));
    std::lock_guard<std::mutex> lock(lock_);
    if (std::strcmp(reported, name_) == 0) return;
    std::memcpy(name_, reported, sizeof reported);
    path_.clear();
  }

  // The file the Kermit send opens: the chosen full path while it is known;
  // otherwise the name looked up in the working folder without regard to
  // case (the stored name is upper-cased, Linux file names keep their case).
  // Empty when there is no such file.
  std::string open_path() const {
    TransferFile f = get();
    if (!f.path.empty()) return f.path;
    if (f.name[0] == '\0') return {};
    return platform::find_file_nocase("", f.name);
  }

 private:
  mutable std::mutex lock_;
  char name_[TX_FILE_NAME_CAPACITY] = {};  // upper-cased base name
  int32_t size_ = 0;                       // low 32 bits of the size
  std::string path_;                       // the full path chosen
};

}  // namespace tessaril::link

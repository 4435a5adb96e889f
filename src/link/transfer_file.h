// The transfer file: the one file the host sends to the device by Kermit.
//
// How it works: a successful "File Select" (file_select.h) replaces it; the
// sequence builders announce its name and size, the link's Kermit send
// transmits it and, at the end of a send, stores the name the transfer
// reported. The device sees only the upper-cased base name, while the send
// opens the file the engineer chose by its full path: a file of the same name
// in the working folder may be an old image.
//
// The words are shared by the dialog thread and the link threads: read and
// write them under `tx_file_lock` (transfer_file and set_transfer_file do).
#pragma once

#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/files.h"

namespace tessaril::link {

// Room of the transfer file's name, terminator included.
constexpr int TX_FILE_NAME_CAPACITY = 40;

inline std::mutex tx_file_lock;
inline char tx_file_name[TX_FILE_NAME_CAPACITY] = {};  // upper-cased base name
inline int32_t tx_file_size = 0;                       // low 32 bits of the size
inline std::string tx_file_path;                       // the full path chosen

// A consistent copy of the transfer file.
struct TransferFile {
  char name[TX_FILE_NAME_CAPACITY];
  int32_t size;
  std::string path;
};

inline TransferFile transfer_file() {
  std::lock_guard<std::mutex> lock(tx_file_lock);
  TransferFile f{};
  std::memcpy(f.name, tx_file_name, sizeof f.name);
  f.size = tx_file_size;
  f.path = tx_file_path;
  return f;
}

// Replaces the transfer file; a name longer than the room is cut at it.
inline void set_transfer_file(const char* name, int32_t size, const std::string& path) {
  std::lock_guard<std::mutex> lock(tx_file_lock);
  size_t n = name ? strnlen(name, TX_FILE_NAME_CAPACITY - 1) : 0;
  std::memcpy(tx_file_name, name ? name : "", n);
  tx_file_name[n] = '\0';
  tx_file_size = size;
  tx_file_path = path;
}

// Stores the name a Kermit send reported at its end. A name other than the
// chosen one no longer names the chosen file, so the full path is dropped.
inline void set_transfer_file_name(const char* name) {
  char reported[TX_FILE_NAME_CAPACITY] = {};
  if (name) std::memcpy(reported, name, strnlen(name, TX_FILE_NAME_CAPACITY - 1));
  std::lock_guard<std::mutex> lock(tx_file_lock);
  if (std::strcmp(reported, tx_file_name) == 0) return;
  std::memcpy(tx_file_name, reported, sizeof reported);
  tx_file_path.clear();
}

// The file the Kermit send opens: the chosen full path while it is known;
// otherwise `tx_file_name` looked up in the working folder without regard to
// case (the stored name is upper-cased, Linux file names keep their case).
// Empty when there is no such file.
inline std::string transfer_file_open_path() {
  TransferFile f = transfer_file();
  if (!f.path.empty()) return f.path;
  if (f.name[0] == '\0') return {};
  return platform::find_file_nocase("", f.name);
}

}  // namespace tessaril::link

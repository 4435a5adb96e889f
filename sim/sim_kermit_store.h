// The device's files on the Kermit side: what it sends comes from its
// folder, what it receives goes into it.
//
// How it works: a received file is written under a hidden temporary name in
// the folder (".kermit-NAME.part") and takes its real name only when it is
// complete, so a broken transfer never leaves a file that looks whole, and an
// older file of the same name stays until the new one has arrived. The name
// comes from the host and is refused unless it is a plain name inside the
// folder: not empty, at most 255 bytes, no '/', '\' or ':', no control
// character or DEL, and no leading '.' (which also keeps it apart from the
// temporary names). A file to send is looked up ignoring case, as the host
// asks for names in upper case, and read whole.
#pragma once

#include <cstdio>
#include <string>

#include "sim_kermit_packet.h"

namespace tessaril::sim::peer {

bool safe_file_name(const std::string& name);

// Owns its open file: moved, never copied, and an unfinished file is removed
// when the record goes away.
struct IncomingFile {
  std::string path;       // where it goes when complete
  std::string temp_path;  // where it is written meanwhile
  std::FILE* file = nullptr;
  int64_t bytes = 0;

  IncomingFile() = default;
  IncomingFile(IncomingFile&& other) noexcept;
  IncomingFile& operator=(IncomingFile&& other) noexcept;
  IncomingFile(const IncomingFile&) = delete;
  IncomingFile& operator=(const IncomingFile&) = delete;
  ~IncomingFile();
};

// Creates the temporary file for `name` in folder; false with the reason.
bool incoming_open(IncomingFile& in, const std::string& folder, const std::string& name, std::string& error);
bool incoming_write(IncomingFile& in, const Bytes& bytes);
// Closes the file and gives it its name; false (and nothing left behind) when that fails.
bool incoming_commit(IncomingFile& in);
// Closes and removes the temporary file, if one is open.
void incoming_discard(IncomingFile& in);

// Reads the file `name` of folder, found ignoring case; false when there is
// none or the name is not a plain file name. real_name is the name as the folder has it.
bool read_outgoing(const std::string& folder, const std::string& name, std::string& real_name, Bytes& content);

}  // namespace tessaril::sim::peer

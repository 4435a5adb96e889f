#include "sim_kermit_store.h"

#include <fstream>
#include <iterator>
#include <utility>

#include "platform/files.h"

namespace tessaril::sim::peer {

namespace {
constexpr size_t NAME_MAX_BYTES = 255;
}

bool safe_file_name(const std::string& name) {
  if (name.empty() || name.size() > NAME_MAX_BYTES || name[0] == '.') return false;
  for (char ch : name) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 32 || c == 127 || c == '/' || c == '\\' || c == ':') return false;
  }
  return true;
}

IncomingFile::IncomingFile(IncomingFile&& other) noexcept
    : path(std::move(other.path)), temp_path(std::move(other.temp_path)), file(other.file), bytes(other.bytes) {
  other.file = nullptr;
}

IncomingFile& IncomingFile::operator=(IncomingFile&& other) noexcept {
  if (this != &other) {
    incoming_discard(*this);
    path = std::move(other.path);
    temp_path = std::move(other.temp_path);
    file = other.file;
    bytes = other.bytes;
    other.file = nullptr;
  }
  return *this;
}

IncomingFile::~IncomingFile() { incoming_discard(*this); }

bool incoming_open(IncomingFile& in, const std::string& folder, const std::string& name, std::string& error) {
  incoming_discard(in);
  if (!safe_file_name(name)) {
    error = "a name that is not a plain file name";
    return false;
  }
  const std::string base = folder.empty() ? "." : folder;
  in.path = base + "/" + name;
  in.temp_path = base + "/.kermit-" + name + ".part";
  in.bytes = 0;
  in.file = std::fopen(in.temp_path.c_str(), "wb");
  if (!in.file) {
    error = "cannot create " + in.temp_path;
    return false;
  }
  return true;
}

bool incoming_write(IncomingFile& in, const Bytes& bytes) {
  if (!in.file) return false;
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), in.file) != bytes.size()) return false;
  in.bytes += static_cast<int64_t>(bytes.size());
  return true;
}

bool incoming_commit(IncomingFile& in) {
  if (!in.file) return false;
  const bool closed = std::fclose(in.file) == 0;
  in.file = nullptr;
  if (closed && platform::rename_file(in.temp_path, in.path)) return true;
  platform::remove_file(in.temp_path);
  return false;
}

void incoming_discard(IncomingFile& in) {
  if (!in.file) return;
  (void)std::fclose(in.file);  // the partial file is removed next
  in.file = nullptr;
  platform::remove_file(in.temp_path);
}

bool read_outgoing(const std::string& folder, const std::string& name, std::string& real_name, Bytes& content) {
  // The host's name must not reach outside the folder either way.
  if (!safe_file_name(name)) return false;
  real_name = platform::find_file_nocase(folder, name);
  if (real_name.empty()) return false;
  std::ifstream in((folder.empty() ? "." : folder) + "/" + real_name, std::ios::binary);
  if (!in) return false;
  content.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

}  // namespace tessaril::sim::peer

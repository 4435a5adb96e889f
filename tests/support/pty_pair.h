// A real pseudo-terminal pair for tests of the serial layer: the master end
// plays the device, the slave end's path is what the program opens.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tessaril::test {

class PtyPair {
 public:
  PtyPair();  // master opened with posix_openpt, raw mode on the slave side
  ~PtyPair();
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  const std::string& slave_path() const { return slave_path_; }
  int master_fd() const { return master_; }

  // Writes all bytes to the master (the device side).
  void device_write(const std::vector<uint8_t>& bytes);
  // Reads from the master until `count` bytes came or `timeout_ms` passed
  // without any byte arriving.
  std::vector<uint8_t> device_read(size_t count, int timeout_ms);
  // Closes the master end, as a device that vanishes.
  void close_master();

 private:
  int master_ = -1;
  int slave_keep_ = -1;  // keeps the slave open so the master never sees a hang-up early
  std::string slave_path_;
};

}  // namespace tessaril::test

// A real folder under the system's temporary directory, removed with its
// contents when the object goes out of scope.
#pragma once

#include <string>

namespace tessaril::test {

class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // The folder's path, without a trailing separator.
  const std::string& path() const { return path_; }
  // path() + "/" + name
  std::string file(const std::string& name) const;
  // Writes bytes to a file in the folder; returns its path.
  std::string write(const std::string& name, const std::string& bytes) const;
  // Reads a whole file; empty when missing.
  static std::string read(const std::string& path);

 private:
  std::string path_;
};

// Runs the calling test's body in `folder` as the current directory and goes
// back on destruction. Tests that rely on the current directory must not run
// in parallel within one process (CTest runs each case in its own process).
class ScopedCurrentFolder {
 public:
  explicit ScopedCurrentFolder(const std::string& folder);
  ~ScopedCurrentFolder();
  ScopedCurrentFolder(const ScopedCurrentFolder&) = delete;
  ScopedCurrentFolder& operator=(const ScopedCurrentFolder&) = delete;

 private:
  std::string previous_;
};

}  // namespace tessaril::test

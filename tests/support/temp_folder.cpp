#include "support/temp_folder.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace tessaril::test {

// A new folder of a random name under the temporary directory (TMPDIR on
// Linux, TEMP on Windows); creating it is what claims the name.
TempFolder::TempFolder() {
  std::filesystem::path base = std::filesystem::temp_directory_path();
  std::random_device seed;
  std::mt19937_64 random(seed());
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::filesystem::path candidate = base / ("tessaril-test-" + std::to_string(random() % 1000000000000ULL));
    std::error_code ec;
    if (std::filesystem::create_directory(candidate, ec)) {
      path_ = candidate.string();
      return;
    }
  }
  throw std::runtime_error("no temporary folder could be made under " + base.string());
}

TempFolder::~TempFolder() {
  std::error_code ec;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(path_, ec);
}

std::string TempFolder::file(const std::string& name) const { return path_ + "/" + name; }

std::string TempFolder::write(const std::string& name, const std::string& bytes) const {
  std::string p = file(name);
  std::ofstream out(p, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return p;
}

std::string TempFolder::read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

ScopedCurrentFolder::ScopedCurrentFolder(const std::string& folder) {
  previous_ = std::filesystem::current_path().string();
  std::filesystem::current_path(folder);
}

ScopedCurrentFolder::~ScopedCurrentFolder() {
  std::error_code ec;
  std::filesystem::current_path(previous_, ec);
}

}  // namespace tessaril::test

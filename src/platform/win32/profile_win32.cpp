// Profile look-ups through GetPrivateProfileIntA / GetPrivateProfileStringA.
// Windows looks for a file named without a folder in the Windows folder, so
// a relative path is made full against the current folder first.
#include <windows.h>

#include "platform/files.h"
#include "platform/profile.h"

namespace tessaril::platform {

namespace {

std::string full_path(const std::string& path) {
  std::string native = native_path(path);
  DWORD n = GetFullPathNameA(native.c_str(), 0, nullptr, nullptr);
  if (n == 0) return native;
  std::string full(n, '\0');
  DWORD written = GetFullPathNameA(native.c_str(), n, full.data(), nullptr);
  if (written == 0 || written >= n) return native;
  full.resize(written);
  return full;
}

}  // namespace

int profile_string(const char* section, const char* key, const char* default_value, char* buffer, int capacity,
                   const std::string& path) {
  if (!buffer || capacity < 1) return 0;
  return static_cast<int>(GetPrivateProfileStringA(section, key, default_value, buffer,
                                                   static_cast<DWORD>(capacity), full_path(path).c_str()));
}

int32_t profile_int(const char* section, const char* key, int32_t default_value, const std::string& path) {
  return static_cast<int32_t>(GetPrivateProfileIntA(section, key, default_value, full_path(path).c_str()));
}

}  // namespace tessaril::platform

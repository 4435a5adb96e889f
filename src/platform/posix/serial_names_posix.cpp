#include <string>

#include "platform/profile.h"
#include "platform/serial.h"

namespace tessaril::platform {

std::string serial_device_name(int port_number, const std::string& ini_path) {
  const std::string key = "COM" + std::to_string(port_number);
  char device[1024];
  int n = profile_string("ports", key.c_str(), "", device, static_cast<int>(sizeof device), ini_path);
  if (n > 0) return std::string(device, static_cast<size_t>(n));
  return "/dev/ttyS" + std::to_string(port_number > 0 ? port_number - 1 : 0);
}

}  // namespace tessaril::platform

#include <string>

#include "platform/profile.h"
#include "platform/serial.h"

namespace tessaril::platform {

std::string serial_device_name(int port_number, const std::string& ini_path) {
  const std::string key = "COM" + std::to_string(port_number);
  char device[1024];
  int n = profile_string("ports", key.c_str(), "", device, static_cast<int>(sizeof device), ini_path);
  if (n > 0) return std::string(device, static_cast<size_t>(n));
  // COM0 has no serial port of its own: it must not open COM1's device.
  if (port_number <= 0) return {};
  return "/dev/ttyS" + std::to_string(port_number - 1);
}

}  // namespace tessaril::platform

#include <string>

#include "platform/profile.h"
#include "platform/serial.h"

namespace tessaril::platform {

namespace {
// Set once at start-up, before the dialogs and the link threads run.
std::string device_override;
}  // namespace

void set_serial_device_override(const std::string& device) { device_override = device; }

std::string serial_device_name(int port_number, const std::string& ini_path) {
  if (!device_override.empty()) return device_override;
  const std::string key = "COM" + std::to_string(port_number);
  char device[1024];
  int n = profile_string("ports", key.c_str(), "", device, static_cast<int>(sizeof device), ini_path);
  if (n > 0) return std::string(device, static_cast<size_t>(n));
  // COM0 has no serial port of its own: it must not open COM1's device.
  if (port_number <= 0) return {};
  return "/dev/ttyS" + std::to_string(port_number - 1);
}

}  // namespace tessaril::platform

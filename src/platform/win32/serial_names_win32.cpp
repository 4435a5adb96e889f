#include <string>

#include "platform/serial.h"

namespace tessaril::platform {

namespace {
// Set once at start-up, before the dialogs and the link threads run.
std::string device_override;
}  // namespace

void set_serial_device_override(const std::string& device) { device_override = device; }

// Windows names its ports itself; the configuration file's [ports] section is
// the Linux mapping and is not read here.
std::string serial_device_name(int port_number, const std::string& /*ini_path*/) {
  if (!device_override.empty()) return device_override;
  if (port_number <= 0) return {};  // COM0 is no port
  const std::string name = "COM" + std::to_string(port_number);
  // Only COM1 to COM9 are in the DOS name space; higher numbers open
  // through the device name space.
  return port_number < 10 ? name : "\\\\.\\" + name;
}

}  // namespace tessaril::platform

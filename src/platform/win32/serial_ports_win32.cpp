// The serial ports of a Windows machine: the values of the registry key
// HARDWARE\DEVICEMAP\SERIALCOMM, one per port the drivers registered, named
// after the driver's device ("\Device\Serial0", "\Device\VCP0") and holding
// the port's name ("COM3").
#include <windows.h>

#include <algorithm>
#include <cstdlib>

#include "platform/serial_ports.h"

namespace tessaril::platform {

namespace {

int port_number(const std::string& name) {
  return name.size() > 3 ? static_cast<int>(std::strtol(name.c_str() + 3, nullptr, 10)) : 0;
}

}  // namespace

std::vector<SerialPortInfo> list_serial_ports() {
  std::vector<SerialPortInfo> ports;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS)
    return ports;
  for (DWORD i = 0;; ++i) {
    char device[256];
    BYTE name[256];
    DWORD device_size = sizeof device;
    DWORD name_size = sizeof name - 1;
    DWORD type = 0;
    const LONG r = RegEnumValueA(key, i, device, &device_size, nullptr, &type, name, &name_size);
    if (r == ERROR_MORE_DATA) continue;  // not a port name of any sensible length
    if (r != ERROR_SUCCESS) break;
    if (type != REG_SZ || name_size == 0) continue;
    name[name_size] = 0;
    SerialPortInfo info;
    info.path = reinterpret_cast<const char*>(name);
    info.device = device;
    ports.push_back(std::move(info));
  }
  RegCloseKey(key);
  std::sort(ports.begin(), ports.end(), [](const SerialPortInfo& a, const SerialPortInfo& b) {
    const int na = port_number(a.path), nb = port_number(b.path);
    return na != nb ? na < nb : a.path < b.path;
  });
  return ports;
}

std::string resolve_device_path(const std::string& path) {
  std::string name = path;
  if (name.rfind("\\\\.\\", 0) == 0) name.erase(0, 4);
  char target[1024];
  // The first of the NUL-separated targets is the one in force.
  if (QueryDosDeviceA(name.c_str(), target, sizeof target) == 0) return {};
  return target;
}

}  // namespace tessaril::platform

// The serial ports this system has, for --list-ports.
//
// How it works (Linux): the names udev makes under /dev/serial/by-id come
// first, each with the device it points to; then every tty device that sysfs
// shows backed by a driver and that no by-id name reached. Ports of the
// serial core (ttyS*) count only when their port type is known: the 8250
// driver registers placeholder ports with type 0 where no UART answers. For
// a USB adapter the USB vendor and product ids and the product text come
// from the USB device above the tty in sysfs.
//
// Tests give a fake tree through the environment: TESSARIL_SYSFS_ROOT stands
// for /sys and TESSARIL_DEV_ROOT for /dev. Symbolic links inside the tree
// should be relative, as the kernel's are.
//
// Windows (its own back end): the names the registry key
// HARDWARE\DEVICEMAP\SERIALCOMM lists.
#pragma once

#include <string>
#include <vector>

namespace tessaril::platform {

struct SerialPortInfo {
  std::string path;     // what a user gives: "/dev/serial/by-id/usb-...", "/dev/ttyS0", "COM3"
  std::string device;   // the device the path leads to ("/dev/ttyUSB0"); "" when path is the device
  std::string usb_id;   // "0403:6001", "" when not USB
  std::string product;  // the USB product text, "" when none
};

// In a stable order: by-id names sorted, then devices sorted by name.
std::vector<SerialPortInfo> list_serial_ports();

// Where a path leads after every symbolic link; "" when it leads nowhere.
std::string resolve_device_path(const std::string& path);

}  // namespace tessaril::platform

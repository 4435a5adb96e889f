#include <dirent.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "platform/serial_ports.h"

namespace tessaril::platform {

namespace {

std::string env_or(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  return value && *value ? value : fallback;
}

std::vector<std::string> entries(const std::string& folder) {
  std::vector<std::string> names;
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return names;
  while (dirent* e = ::readdir(dir)) {
    const std::string name = e->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

bool exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

// The first line of a sysfs attribute, "" when there is none.
std::string attribute(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  while (!line.empty() && (line.back() == '\n' || line.back() == ' ')) line.pop_back();
  return line;
}

std::string base_name(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

struct Tree {
  std::string sys = env_or("TESSARIL_SYSFS_ROOT", "/sys");
  std::string dev = env_or("TESSARIL_DEV_ROOT", "/dev");

  // A tty that a driver really backs.
  bool backed(const std::string& tty) const {
    const std::string node = sys + "/class/tty/" + tty;
    if (!exists(node + "/device/driver")) return false;
    // Serial-core ports have a type; 0 (PORT_UNKNOWN) is a placeholder.
    const std::string type = attribute(node + "/type");
    return type.empty() || type != "0";
  }

  // USB vendor:product and product text of the device above the tty.
  void usb_of(const std::string& tty, SerialPortInfo& info) const {
    char real[PATH_MAX];
    if (!::realpath((sys + "/class/tty/" + tty + "/device").c_str(), real)) return;
    char root[PATH_MAX];
    const std::string top = ::realpath(sys.c_str(), root) ? root : sys;
    for (std::string at = real; at.size() > top.size() && at.compare(0, top.size(), top) == 0;
         at.erase(at.find_last_of('/'))) {
      const std::string vendor = attribute(at + "/idVendor");
      const std::string product_id = attribute(at + "/idProduct");
      if (vendor.empty() || product_id.empty()) continue;
      info.usb_id = vendor + ":" + product_id;
      info.product = attribute(at + "/product");
      return;
    }
  }
};

}  // namespace

std::string resolve_device_path(const std::string& path) {
  char real[PATH_MAX];
  return ::realpath(path.c_str(), real) ? std::string(real) : std::string();
}

std::vector<SerialPortInfo> list_serial_ports() {
  const Tree tree;
  std::vector<SerialPortInfo> ports;
  std::vector<std::string> reached;  // tty names shown through a by-id name
  const std::string by_id = tree.dev + "/serial/by-id";
  for (const std::string& name : entries(by_id)) {
    SerialPortInfo info;
    info.path = by_id + "/" + name;
    const std::string real = resolve_device_path(info.path);
    if (real.empty()) continue;  // a dangling link: the adapter is gone
    const std::string tty = base_name(real);
    info.device = tree.dev + "/" + tty;
    tree.usb_of(tty, info);
    reached.push_back(tty);
    ports.push_back(std::move(info));
  }
  for (const std::string& tty : entries(tree.sys + "/class/tty")) {
    if (std::find(reached.begin(), reached.end(), tty) != reached.end() || !tree.backed(tty)) continue;
    SerialPortInfo info;
    info.path = tree.dev + "/" + tty;
    tree.usb_of(tty, info);
    ports.push_back(std::move(info));
  }
  return ports;
}

}  // namespace tessaril::platform

#include "shell/info_options.h"

#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <vector>

#include "platform/profile.h"
#include "platform/serial.h"
#include "platform/serial_ports.h"
#include "shell/config.h"
#include "shell/control_names.h"

namespace tessaril::shell {

namespace {

// The [ports] entries of buc_setup.ini: "COM3" and its device.
struct Mapping {
  int number = 0;
  std::string key;
  std::string device;
  std::string resolved;
  bool shown = false;
};

std::vector<Mapping> ini_mappings(const std::string& ini_path) {
  std::vector<Mapping> out;
  char keys[8192];
  const int n = platform::profile_string("ports", nullptr, "", keys, static_cast<int>(sizeof keys), ini_path);
  for (int i = 0; i < n;) {
    const std::string key(keys + i);
    i += static_cast<int>(key.size()) + 1;
    if (key.size() < 4 || (key.compare(0, 3, "COM") != 0 && key.compare(0, 3, "com") != 0)) continue;
    Mapping m;
    m.key = key;
    m.number = static_cast<int>(std::strtol(key.c_str() + 3, nullptr, 10));
    char device[1024];
    const int len = platform::profile_string("ports", key.c_str(), "", device, static_cast<int>(sizeof device), ini_path);
    if (len <= 0) continue;
    m.device.assign(device, static_cast<size_t>(len));
    m.resolved = platform::resolve_device_path(m.device);
    out.push_back(std::move(m));
  }
  return out;
}

}  // namespace

std::string control_list_text() {
  std::string text;
  char line[256];
  for (const ControlListing& c : list_controls()) {
    const std::string caption = c.caption.empty() ? "-" : "\"" + c.caption + "\"";
    std::snprintf(line, sizeof line, "%5d  %d  %-12s  %-40s  %-13s%s\n", c.id, c.dialog, c.kind, caption.c_str(),
                  c.short_name.empty() ? "-" : c.short_name.c_str(), c.shown ? "" : "  hidden");
    std::string row = line;
    while (!row.empty() && row[row.size() - 2] == ' ') row.erase(row.size() - 2, 1);
    text += row;
  }
  return text;
}

std::string port_list_text(const std::string& ini_path) {
  std::vector<Mapping> mappings = ini_mappings(ini_path);
  std::string text;
  for (const platform::SerialPortInfo& port : platform::list_serial_ports()) {
    std::string line = port.path;
    if (!port.device.empty()) line += " -> " + port.device;
    if (!port.usb_id.empty()) line += "  usb " + port.usb_id;
    if (!port.product.empty()) line += " \"" + port.product + "\"";
    const std::string real = platform::resolve_device_path(port.path);
    bool mapped = false;
    for (Mapping& m : mappings) {
      if (m.resolved.empty() || m.resolved != real) continue;
      line += "  " + m.key + " (buc_setup.ini)";
      m.shown = mapped = true;
    }
    // Without an entry of its own COM n is /dev/ttyS<n-1>.
    const std::string base = port.path.substr(port.path.rfind('/') + 1);
    if (!mapped && port.device.empty() && base.compare(0, 4, "ttyS") == 0 && base.size() > 4) {
      const int number = static_cast<int>(std::strtol(base.c_str() + 4, nullptr, 10)) + 1;
      bool taken = false;
      for (const Mapping& m : mappings) taken = taken || m.number == number;
      if (!taken) line += "  COM" + std::to_string(number);
    }
    text += line + "\n";
  }
  for (const Mapping& m : mappings) {
    if (m.shown) continue;
    std::string line = m.key + " (buc_setup.ini) " + m.device;
    if (m.resolved.empty())
      line += "  (not present)";
    else if (m.resolved != m.device)
      line += " -> " + m.resolved;
    text += line + "\n";
  }
  return text;
}

bool print_information(const ProgramOptions& options, std::ostream& out, int& exit_code) {
  exit_code = 0;
  if (options.help) {
    out << usage_text();
  } else if (options.version) {
    out << version_text();
  } else if (options.list_controls) {
    out << control_list_text();
  } else if (options.list_ports) {
    out << port_list_text(config_path());
  } else {
    return false;
  }
  return true;
}

bool read_command_line(int argc, const char* const* argv, ProgramOptions& options, std::ostream& out,
                       std::ostream& err, int& exit_code) {
  std::string error;
  if (!parse_program_options(argc, argv, options, error)) {
    err << "tessaril: " << error << '\n' << usage_text();
    exit_code = EXIT_USAGE;
    return false;
  }
  return !print_information(options, out, exit_code);
}

}  // namespace tessaril::shell

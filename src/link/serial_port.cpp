#include "link/serial_port.h"

#include "link/session.h"

namespace tessaril::link {

namespace {
constexpr int IDLE_WAIT_MS = 2000;
}  // namespace

platform::SerialTimeouts command_port_timeouts() {
  platform::SerialTimeouts t;
  t.interval_ms = 10;
  t.total_multiplier_ms = 150;
  t.total_constant_ms = 150;
  return t;  // write time-outs stay unset, as the driver has them
}

bool open_serial_port(Session& s, int port_number, int bit_rate, int bit_len, const std::string& ini_path,
                      std::string& error_text) {
  close_serial_port(s);
  error_text.clear();
  const std::string device = platform::serial_device_name(port_number, ini_path);
  if (device.empty()) {
    error_text = "Cannot open COM" + std::to_string(port_number) +
                 ": no device for this port number (give one as COM" + std::to_string(port_number) +
                 "=<device> in the section ports of buc_setup.ini)";
    return false;
  }
  std::string reason;
  platform::SerialHandle port = platform::serial_open(device, reason);
  if (port == platform::INVALID_SERIAL) {
    error_text = "Cannot open COM" + std::to_string(port_number) + " (" + device + "): " + reason;
    return false;
  }
  bool ok = platform::serial_configure(port, bit_rate, bit_len & 0xFF, reason);
  if (!ok) error_text = "Cannot set up " + device + ": " + reason;
  platform::serial_set_timeouts(port, command_port_timeouts());
  // What the device sent before (the rest of a transfer broken off by
  // "Return to Menu") is not the answer to our first frame.
  platform::serial_flush_input(port);
  s.epoch.fetch_add(1);
  s.com_handle.store(port);
  s.report_port_state(PortState::Opened, device);
  return ok;
}

void report_port_error(Session& s, const std::string& error_text) {
  if (error_text.empty()) return;
  s.report_note(error_text);
  if (s.com_handle.load() == platform::INVALID_SERIAL) s.report_port_state(PortState::OpenFailed, error_text);
}

void close_serial_port(Session& s) {
  const platform::SerialHandle port = s.com_handle.load();
  if (port == platform::INVALID_SERIAL) return;
  s.tx_command.store(TX_IDLE);
  s.rx_command.store(RX_IDLE);
  s.epoch.fetch_add(1);
  // Wake what a thread is doing on the port and let it go idle before the
  // port goes away.
  s.wake_threads();
  platform::serial_cancel(port);
  s.dialog_wait(IDLE_WAIT_MS, [&] { return !s.tx_busy.load() && !s.rx_busy.load(); });
  s.com_handle.store(platform::INVALID_SERIAL);
  platform::serial_close(port);
  s.report_port_state(PortState::Closed, {});
}

}  // namespace tessaril::link

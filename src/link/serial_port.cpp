#include "link/serial_port.h"

#include "link/link_state.h"
#include "link/link_threads.h"
#include "link/link_wait.h"
#include "status/command_log.h"

namespace tessaril::link {

namespace {
constexpr int IDLE_WAIT_MS = 2000;
bool threads_idle(const void*) { return !send_thread_busy() && !receive_thread_busy(); }
}  // namespace

platform::SerialTimeouts command_port_timeouts() {
  platform::SerialTimeouts t;
  t.interval_ms = 10;
  t.total_multiplier_ms = 150;
  t.total_constant_ms = 150;
  return t;  // write time-outs stay unset, as the driver has them
}

bool open_serial_port(int port_number, int bit_rate, int bit_len, const std::string& ini_path,
                      std::string& error_text) {
  close_serial_port();
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
  advance_port_epoch();
  com_handle.store(port);
  return ok;
}

void report_port_error(const std::string& error_text) {
  if (error_text.empty()) return;
  status::append_log_line(command_dialog.load(), status::IDC_HEX_LIST, error_text);
}

void close_serial_port() {
  const platform::SerialHandle port = com_handle.load();
  if (port == platform::INVALID_SERIAL) return;
  tx_command.store(TX_IDLE);
  rx_command.store(RX_IDLE);
  advance_port_epoch();
  // Wake what a thread is doing on the port and let it go idle before the
  // port goes away.
  platform::serial_cancel(port);
  wait_ms(IDLE_WAIT_MS, threads_idle, nullptr);
  com_handle.store(platform::INVALID_SERIAL);
  platform::serial_close(port);
}

}  // namespace tessaril::link

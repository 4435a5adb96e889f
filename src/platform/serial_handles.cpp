// The serial ports' handle table, the same on every OS.
//
// Each open port is an entry of a process-wide table, keyed by a handle number
// that is never reused. A call takes a shared reference to the entry under the
// table lock and then works on the port without the lock; close removes the
// entry from the table, cancels it and waits until no call holds it, and only
// then releases the port. So the system's descriptor or handle of a closed
// port can be reused only after the last call that knew it has left.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>

#include "platform/clock.h"
#include "platform/serial.h"
#include "platform/serial_os.h"

namespace tessaril::platform {

namespace {

struct Port {
  os::OsPort* os = nullptr;
  std::atomic<bool> cancelled{false};
  std::mutex timeouts_lock;
  SerialTimeouts timeouts;
  // Bytes read from the driver that no caller has taken yet: a read takes
  // what the line holds, which may be more than it asked for, and callers
  // may put bytes back.
  std::mutex input_lock;
  std::deque<uint8_t> pending;
  ~Port() {
    if (os) os::close_port(os);
  }
};

std::mutex table_lock;
std::condition_variable table_changed;  // a call released its reference
std::map<SerialHandle, std::shared_ptr<Port>> table;
SerialHandle last_handle = INVALID_SERIAL;
std::atomic<int> timeout_scale{100};

std::shared_ptr<Port> find(SerialHandle handle) {
  std::lock_guard<std::mutex> lock(table_lock);
  auto it = table.find(handle);
  return it == table.end() ? nullptr : it->second;
}

// A call's reference; dropping it tells a waiting close.
struct PortUse {
  std::shared_ptr<Port> port;
  explicit PortUse(SerialHandle handle) : port(find(handle)) {}
  ~PortUse() {
    if (!port) return;
    std::lock_guard<std::mutex> lock(table_lock);
    port.reset();
    table_changed.notify_all();
  }
  PortUse(const PortUse&) = delete;
  PortUse& operator=(const PortUse&) = delete;
};

// A deadline in monotonic ms, or -1 for none.
int64_t total_deadline(int multiplier, int constant, int count) {
  if (multiplier <= 0 && constant <= 0) return -1;
  int64_t total = static_cast<int64_t>(multiplier > 0 ? multiplier : 0) * count + (constant > 0 ? constant : 0);
  total = total * timeout_scale.load() / 100;
  if (total < 1) total = 1;
  return monotonic_ms() + total;
}

// The time-outs in force for one call: a copy, so that a concurrent change
// applies from the next call on.
SerialTimeouts timeouts_of(Port& port) {
  std::lock_guard<std::mutex> lock(port.timeouts_lock);
  return port.timeouts;
}

// What a read asks of the driver at least: a packet's worth and more, so
// that a caller reading byte by byte costs one driver call per burst.
constexpr int READ_CHUNK = 512;

int take_pending(Port& port, uint8_t* buffer, int count) {
  std::lock_guard<std::mutex> lock(port.input_lock);
  const int n = std::min(count, static_cast<int>(port.pending.size()));
  std::copy_n(port.pending.begin(), n, buffer);
  port.pending.erase(port.pending.begin(), port.pending.begin() + n);
  return n;
}

void keep_pending(Port& port, const uint8_t* bytes, int count) {
  std::lock_guard<std::mutex> lock(port.input_lock);
  port.pending.insert(port.pending.end(), bytes, bytes + count);
}

void cancel(Port& port) {
  port.cancelled.store(true);
  os::wake_port(*port.os);
}

}  // namespace

SerialHandle serial_open(const std::string& device, std::string& error_text) {
  auto port = std::make_shared<Port>();
  port->os = os::open_port(device, error_text);
  if (!port->os) return INVALID_SERIAL;
  std::lock_guard<std::mutex> lock(table_lock);
  SerialHandle handle = ++last_handle;
  if (handle <= INVALID_SERIAL) {  // 2^31 opens: out of numbers rather than reuse one
    --last_handle;
    error_text = "Too many ports opened";
    return INVALID_SERIAL;
  }
  table[handle] = std::move(port);
  return handle;
}

bool serial_configure(SerialHandle handle, int baud_rate, int byte_size, std::string& error_text) {
  PortUse use(handle);
  if (!use.port) {
    error_text = "Port not open";
    return false;
  }
  if (byte_size < 5 || byte_size > 8) {
    error_text = "Unsupported byte size " + std::to_string(byte_size);
    return false;
  }
  return os::configure_port(*use.port->os, baud_rate, byte_size, error_text);
}

int serial_baud_rate(SerialHandle handle) {
  PortUse use(handle);
  return use.port ? os::port_baud_rate(*use.port->os) : 0;
}

bool serial_set_timeouts(SerialHandle handle, const SerialTimeouts& timeouts) {
  PortUse use(handle);
  if (!use.port) return false;
  std::lock_guard<std::mutex> lock(use.port->timeouts_lock);
  use.port->timeouts = timeouts;
  return true;
}

int serial_read(SerialHandle handle, uint8_t* buffer, int count) {
  PortUse use(handle);
  if (!use.port || use.port->cancelled.load()) return -1;
  if (count <= 0 || !buffer) return 0;
  Port& port = *use.port;
  const SerialTimeouts t = timeouts_of(port);
  const int64_t deadline = total_deadline(t.total_multiplier_ms, t.total_constant_ms, count);
  int got = take_pending(port, buffer, count);
  int64_t last_byte = got > 0 ? monotonic_ms() : -1;
  uint8_t chunk[READ_CHUNK];
  while (got < count) {
    // After the first byte the read also ends when the line has been quiet
    // for the interval.
    int64_t until = deadline;
    if (got > 0 && t.interval_ms > 0) {
      const int64_t quiet = last_byte + t.interval_ms;
      if (until < 0 || quiet < until) until = quiet;
    }
    if (until >= 0 && monotonic_ms() >= until) break;
    const int n = os::read_available(*port.os, chunk, READ_CHUNK, until, port.cancelled);
    if (n < 0) return got > 0 ? got : -1;
    if (n == 0) continue;  // `until` passed: the check above ends the read
    const int taken = std::min(n, count - got);
    std::memcpy(buffer + got, chunk, static_cast<size_t>(taken));
    got += taken;
    if (n > taken) keep_pending(port, chunk + taken, n - taken);
    last_byte = monotonic_ms();
  }
  return got;
}

bool serial_unread(SerialHandle handle, const uint8_t* bytes, int count) {
  PortUse use(handle);
  if (!use.port) return false;
  if (count <= 0 || !bytes) return true;
  std::lock_guard<std::mutex> lock(use.port->input_lock);
  use.port->pending.insert(use.port->pending.begin(), bytes, bytes + count);
  return true;
}

void serial_flush_input(SerialHandle handle) {
  PortUse use(handle);
  if (!use.port) return;
  std::lock_guard<std::mutex> lock(use.port->input_lock);
  use.port->pending.clear();
  os::flush_input(*use.port->os);
}

int serial_write(SerialHandle handle, const uint8_t* bytes, int count) {
  PortUse use(handle);
  if (!use.port || use.port->cancelled.load()) return -1;
  if (count <= 0 || !bytes) return 0;
  const SerialTimeouts t = timeouts_of(*use.port);
  const int64_t deadline = total_deadline(t.write_total_multiplier_ms, t.write_total_constant_ms, count);
  return os::write_port(*use.port->os, bytes, count, deadline, use.port->cancelled);
}

void serial_cancel(SerialHandle handle) {
  PortUse use(handle);
  if (use.port) cancel(*use.port);
}

bool serial_is_open(SerialHandle handle) {
  PortUse use(handle);
  return use.port && !use.port->cancelled.load();
}

void serial_close(SerialHandle handle) {
  std::shared_ptr<Port> port;
  {
    std::lock_guard<std::mutex> lock(table_lock);
    auto it = table.find(handle);
    if (it == table.end()) return;
    port = std::move(it->second);
    table.erase(it);
  }
  cancel(*port);
  // Cancelled calls leave at once; the bound only guards against a call that
  // hangs in the driver. Should one still hold the port, it is released when
  // that call lets go, never before.
  std::unique_lock<std::mutex> lock(table_lock);
  table_changed.wait_for(lock, std::chrono::milliseconds(2000), [&] { return port.use_count() == 1; });
  lock.unlock();
  port.reset();
}

void set_serial_timeout_scale(int percent) { timeout_scale.store(percent > 0 ? percent : 100); }

}  // namespace tessaril::platform

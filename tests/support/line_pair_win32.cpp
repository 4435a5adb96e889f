#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

#include "platform/serial.h"
#include "support/line_pair.h"
#include "support/under_wine.h"

namespace tessaril::test {

namespace {

HANDLE open_end(const std::string& name) {
  HANDLE h =
      CreateFileA(("\\\\.\\" + name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE)
    throw std::runtime_error("cannot open " + name + " of the COM pair: error " + std::to_string(GetLastError()));
  return h;
}

// Reads until count bytes came or a read of up to timeout_ms brought none.
std::vector<uint8_t> read_end(HANDLE h, size_t count, int timeout_ms) {
  COMMTIMEOUTS t{};
  t.ReadIntervalTimeout = 5;
  t.ReadTotalTimeoutConstant = static_cast<DWORD>(timeout_ms);
  SetCommTimeouts(h, &t);
  std::vector<uint8_t> out;
  while (out.size() < count) {
    uint8_t buffer[512];
    DWORD n = 0;
    const DWORD want = static_cast<DWORD>(std::min(sizeof buffer, count - out.size()));
    if (!ReadFile(h, buffer, want, &n, nullptr) || n == 0) break;
    out.insert(out.end(), buffer, buffer + n);
  }
  return out;
}

}  // namespace

struct LinePair::Ends {
  LineLimits limits;
  std::string port;
  HANDLE device = INVALID_HANDLE_VALUE;
};

namespace {

// What a test left on the line, both ways: drained when the pair is made and
// again when it goes, for the next user of the COM pair (not always a LinePair).
void drain(LinePair::Ends& e) {
  HANDLE port = CreateFileA(("\\\\.\\" + e.port).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                            nullptr);
  if (port != INVALID_HANDLE_VALUE) {
    read_end(port, SIZE_MAX, 30);
    CloseHandle(port);
  }
  if (e.device != INVALID_HANDLE_VALUE) read_end(e.device, SIZE_MAX, 30);
}

}  // namespace

LinePair::LinePair() : ends_(std::make_unique<Ends>()) {
  Ends& e = *ends_;
  const bool wine = under_wine();
  e.limits.shared_open = wine ? "Wine does not refuse a second open of a COM port (Windows does)" : nullptr;
  e.limits.standard_rates = wine ? "Wine's serial driver runs the standard baud rates only" : nullptr;
  e.limits.cannot_vanish =
      "the device end of a null-modem pair outlives the test (under Wine a vanished device "
      "reads as silence)";
  const char* pair = std::getenv("TESSARIL_TEST_COM_PAIR");
  const std::string names = pair ? pair : "";
  const size_t comma = names.find(',');
  if (comma == std::string::npos) {
    e.limits.no_line = "no COM pair: TESSARIL_TEST_COM_PAIR=COMa,COMb names none (scripts/test-windows sets it)";
    return;
  }
  e.port = names.substr(0, comma);
  e.device = open_end(names.substr(comma + 1));
  drain(e);
}

LinePair::~LinePair() {
  if (ends_->device == INVALID_HANDLE_VALUE) return;
  drain(*ends_);
  CloseHandle(ends_->device);
}

const LineLimits& LinePair::limits() const { return ends_->limits; }
const std::string& LinePair::port_path() const { return ends_->port; }

std::string route_com_port(int, const LinePair& pair) {
  platform::set_serial_device_override(pair.port_path());
  return {};
}

void LinePair::device_write(const std::vector<uint8_t>& bytes) {
  DWORD done = 0;
  if (!WriteFile(ends_->device, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr) || done != bytes.size())
    throw std::runtime_error("write at the device end of the COM pair failed");
}

std::vector<uint8_t> LinePair::device_read(size_t count, int timeout_ms) {
  return read_end(ends_->device, count, timeout_ms);
}

void LinePair::vanish() {
  CloseHandle(ends_->device);
  ends_->device = INVALID_HANDLE_VALUE;
}

}  // namespace tessaril::test

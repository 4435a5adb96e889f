// Serial ports on Windows: the COM port API with overlapped I/O. Every read
// and write waits on its own completion and on the port's cancel event, so a
// cancel ends it at once; a transfer that is still running then is cancelled
// with CancelIoEx. Overlapped handles also let the receive thread's read and
// the send thread's write run at the same time, where a synchronous handle
// makes the write wait for the read.
//
// The read time-outs are kept here, as the POSIX back end keeps them with
// poll, and not by the driver's COMMTIMEOUTS: drivers differ in how they
// apply them to overlapped reads (Wine's ignores the totals and ends a read
// when any byte is there). The driver runs without time-outs; a read waits
// for data with a one-byte read, then takes what the driver holds
// (ClearCommError's cbInQue), which completes at once. A one-byte read that
// is cancelled either got its byte or did not: no byte is lost between the
// driver and a cancel.
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <vector>

#include "platform/clock.h"
#include "platform/serial_os.h"

namespace tessaril::platform::os {

struct OsPort {
  HANDLE handle = INVALID_HANDLE_VALUE;
  HANDLE cancel = nullptr;  // manual-reset event, set once the port is cancelled
  ~OsPort() {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    if (cancel) CloseHandle(cancel);
  }
};

namespace {

std::string last_error_text() { return serial_system_text(static_cast<int>(GetLastError())); }

OsPort* fail(OsPort* port, std::string& error_text, const std::string& text) {
  error_text = text;
  delete port;
  return nullptr;
}

// "COM12" opens only as "\\.\COM12"; the long form serves every number, so a
// bare COM name of any number is given that form.
std::string win32_path(const std::string& device) {
  if (device.size() < 4 || device.size() > 6) return device;
  for (size_t i = 0; i < 3; ++i)
    if (std::toupper(static_cast<unsigned char>(device[i])) != "COM"[i]) return device;
  for (size_t i = 3; i < device.size(); ++i)
    if (!std::isdigit(static_cast<unsigned char>(device[i]))) return device;
  return "\\\\.\\" + device;
}

enum class Io { Done, Timeout, Cancelled, Failed };

struct Transfer {
  Io outcome = Io::Failed;
  DWORD bytes = 0;  // also when the transfer was cut short
};

// How long a transfer may take to come back after CancelIoEx. Under Wine a
// cancelled serial read now and then never comes back; the thread must not
// hang on it for ever.
constexpr DWORD CANCEL_GRACE_MS = 2000;

// What the driver holds while a transfer is under way: its OVERLAPPED, its
// event and the bytes, apart from the caller's buffer. A transfer whose
// cancel never comes back is left to the driver with all of it (a few dozen
// bytes, never freed): the driver may still write into it or signal it.
struct InFlight {
  OVERLAPPED ov{};
  std::vector<uint8_t> bytes;
};

// One overlapped read or write of count bytes, waited for until it completes,
// wait_ms pass (-1: no limit) or the port is cancelled.
Transfer transfer(OsPort& port, bool write, uint8_t* bytes, DWORD count, int64_t wait_ms,
                  const std::atomic<bool>& cancelled) {
  Transfer result;
  if (cancelled.load()) {
    result.outcome = Io::Cancelled;
    return result;
  }
  auto io = std::make_unique<InFlight>();
  // An event of its own: a read and a write may be under way at once.
  io->ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (!io->ov.hEvent) return result;
  if (write) io->bytes.assign(bytes, bytes + count);
  else io->bytes.resize(count);
  OVERLAPPED* ov = &io->ov;
  BOOL started = write ? WriteFile(port.handle, io->bytes.data(), count, nullptr, ov)
                       : ReadFile(port.handle, io->bytes.data(), count, nullptr, ov);
  if (!started && GetLastError() != ERROR_IO_PENDING) {
    CloseHandle(ov->hEvent);
    return result;
  }
  Io ending = Io::Done;
  if (!started) {
    const HANDLE events[2] = {ov->hEvent, port.cancel};
    const DWORD limit = wait_ms < 0 ? INFINITE : static_cast<DWORD>(std::min<int64_t>(wait_ms, INFINITE - 1));
    const DWORD woke = WaitForMultipleObjects(2, events, FALSE, limit);
    if (woke != WAIT_OBJECT_0) {
      ending = woke == WAIT_TIMEOUT ? Io::Timeout : woke == WAIT_OBJECT_0 + 1 ? Io::Cancelled : Io::Failed;
      CancelIoEx(port.handle, ov);
      // The driver gives the transfer back with the bytes it moved before
      // the cancel; one that does not is lost to us (see CANCEL_GRACE_MS).
      if (WaitForSingleObject(ov->hEvent, CANCEL_GRACE_MS) != WAIT_OBJECT_0) {
        (void)io.release();
        result.outcome = Io::Failed;
        return result;
      }
    }
  }
  if (GetOverlappedResult(port.handle, ov, &result.bytes, TRUE)) {
    result.outcome = Io::Done;  // it completed before the cancel reached it
  } else {
    const bool cut_short = ending == Io::Timeout || ending == Io::Cancelled;
    result.outcome = cut_short && GetLastError() == ERROR_OPERATION_ABORTED ? ending : Io::Failed;
  }
  if (!write && result.bytes > 0) std::copy_n(io->bytes.data(), result.bytes, bytes);
  CloseHandle(ov->hEvent);
  return result;
}

// Bytes the driver holds already; 0 when none or when it cannot tell.
DWORD queued_bytes(OsPort& port) {
  DWORD errors = 0;
  COMSTAT status{};
  return ClearCommError(port.handle, &errors, &status) ? status.cbInQue : 0;
}

}  // namespace

OsPort* open_port(const std::string& device, std::string& error_text) {
  auto* port = new OsPort;
  // Share mode 0: Windows opens a port for one program at a time.
  port->handle = CreateFileA(win32_path(device).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             FILE_FLAG_OVERLAPPED, nullptr);
  if (port->handle == INVALID_HANDLE_VALUE) return fail(port, error_text, last_error_text());
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(port->handle, &dcb)) return fail(port, error_text, "Not a serial device");
  // Raw, as the POSIX back end's cfmakeraw: no NUL stripping, no error
  // characters, no output stopped by XOFF (0x11 and 0x13 are data in a
  // binary frame), and no I/O aborted by a line error that an earlier
  // program asked for (a framing error would end a read as a port failure;
  // the frame's CRC judges the bytes). Hardware flow control and the
  // sending of XOFF stay.
  dcb.fBinary = TRUE;
  dcb.fAbortOnError = FALSE;
  dcb.fParity = FALSE;
  dcb.fNull = FALSE;
  dcb.fErrorChar = FALSE;
  dcb.fOutX = FALSE;
  dcb.Parity = NOPARITY;
  dcb.StopBits = ONESTOPBIT;
  if (!SetCommState(port->handle, &dcb)) return fail(port, error_text, last_error_text());
  // No driver time-outs: a read ends when its bytes are there (see above).
  COMMTIMEOUTS none{};
  if (!SetCommTimeouts(port->handle, &none)) return fail(port, error_text, last_error_text());
  port->cancel = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (!port->cancel) return fail(port, error_text, last_error_text());
  return port;
}

void close_port(OsPort* port) { delete port; }

bool configure_port(OsPort& port, int baud_rate, int byte_size, std::string& error_text) {
  DCB before{};
  before.DCBlength = sizeof before;
  if (!GetCommState(port.handle, &before)) {
    error_text = last_error_text();
    return false;
  }
  DCB dcb = before;
  dcb.BaudRate = static_cast<DWORD>(baud_rate);
  dcb.ByteSize = static_cast<BYTE>(byte_size);
  dcb.Parity = NOPARITY;
  dcb.StopBits = ONESTOPBIT;
  if (baud_rate <= 0) {
    error_text = "Baud rate " + std::to_string(baud_rate) + ": Invalid argument";
    return false;
  }
  if (!SetCommState(port.handle, &dcb)) {
    error_text = "Baud rate " + std::to_string(baud_rate) + ", " + std::to_string(byte_size) +
                 " data bits: " + last_error_text();
    // A driver may have taken part of the setting (Wine sets the rate
    // before it refuses the byte size): the port keeps its old one.
    SetCommState(port.handle, &before);
    return false;
  }
  // A driver may accept a rate it cannot run and keep its old one (Wine does
  // for rates outside its list): that is a refusal, not a success.
  DCB after{};
  after.DCBlength = sizeof after;
  if (GetCommState(port.handle, &after) && after.BaudRate != dcb.BaudRate) {
    error_text = "Baud rate " + std::to_string(baud_rate) + ": the driver keeps " + std::to_string(after.BaudRate);
    SetCommState(port.handle, &before);
    return false;
  }
  return true;
}

int port_baud_rate(const OsPort& port) {
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  return GetCommState(port.handle, &dcb) ? static_cast<int>(dcb.BaudRate) : 0;
}

int read_available(OsPort& port, uint8_t* buffer, int max, int64_t deadline, const std::atomic<bool>& cancelled) {
  for (;;) {
    int64_t wait_ms = -1;
    if (deadline >= 0) {
      wait_ms = deadline - monotonic_ms();
      if (wait_ms <= 0) return 0;
    }
    // What the driver holds comes in one transfer; on an empty line one
    // byte is awaited and whatever came behind it is taken at once. Every
    // call into the driver is a round trip to the server under Wine: a
    // packet costs a few of them, not a few per byte.
    const DWORD queued = queued_bytes(port);
    const DWORD want = queued > 0 ? std::min<DWORD>(queued, static_cast<DWORD>(max)) : 1;
    const Transfer t = transfer(port, false, buffer, want, wait_ms, cancelled);
    if (t.bytes > 0) {
      int got = static_cast<int>(t.bytes);
      const DWORD behind = got < max && queued == 0 ? queued_bytes(port) : 0;
      if (behind > 0) {
        const DWORD more = std::min<DWORD>(behind, static_cast<DWORD>(max - got));
        got += static_cast<int>(transfer(port, false, buffer + got, more, wait_ms, cancelled).bytes);
      }
      return got;
    }
    if (t.outcome == Io::Cancelled || t.outcome == Io::Failed) return -1;
    // A read the driver ends without data, with no time-outs set: the device has gone.
    if (t.outcome == Io::Done) return -1;
  }
}

void flush_input(OsPort& port) { PurgeComm(port.handle, PURGE_RXCLEAR); }

int write_port(OsPort& port, const uint8_t* bytes, int count, int64_t deadline, const std::atomic<bool>& cancelled) {
  int done = 0;
  while (done < count) {
    int64_t wait_ms = -1;
    if (deadline >= 0) {
      wait_ms = deadline - monotonic_ms();
      if (wait_ms <= 0) break;
    }
    // WriteFile does not change the bytes; its signature wants them writable.
    const Transfer t =
        transfer(port, true, const_cast<uint8_t*>(bytes) + done, static_cast<DWORD>(count - done), wait_ms, cancelled);
    done += static_cast<int>(t.bytes);
    if (t.outcome != Io::Done && t.outcome != Io::Timeout) break;
    if (t.outcome == Io::Done && t.bytes == 0) break;  // a driver that takes nothing will not take more
  }
  return done > 0 ? done : -1;
}

void wake_port(OsPort& port) { SetEvent(port.cancel); }

}  // namespace tessaril::platform::os

namespace tessaril::platform {

std::string serial_system_text(int error) {
  char text[512];
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                           static_cast<DWORD>(error), 0, text, sizeof text, nullptr);
  while (n > 0 && (text[n - 1] == '\r' || text[n - 1] == '\n' || text[n - 1] == ' ')) --n;
  std::string result = n > 0 ? std::string(text, n) : "Windows error " + std::to_string(error);
  // Windows refuses a port that another program holds open with "access
  // denied": the usual reason a port that exists will not open.
  if (error == ERROR_ACCESS_DENIED) result += " (the port may be in use by another program)";
  return result;
}

}  // namespace tessaril::platform

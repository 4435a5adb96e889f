// The serial layer on real pseudo-terminals: Windows read time-outs, cancel,
// close under a blocked read, handles that die with their port.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>

#include <atomic>
#include <thread>

#include "platform/clock.h"
#include "platform/serial.h"
#include "support/pty_pair.h"
#include "support/temp_folder.h"

namespace tessaril::test {
namespace {

using namespace tessaril::platform;

struct OpenPort {
  SerialHandle handle = INVALID_SERIAL;
  explicit OpenPort(const std::string& path) {
    std::string error;
    handle = serial_open(path, error);
    EXPECT_NE(handle, INVALID_SERIAL) << error;
  }
  ~OpenPort() { serial_close(handle); }
};

SerialTimeouts windows_timeouts(int interval, int multiplier, int constant) {
  SerialTimeouts t;
  t.interval_ms = interval;
  t.total_multiplier_ms = multiplier;
  t.total_constant_ms = constant;
  return t;
}

TEST(PlatformSerial, OpenFailureNamesTheSystemReason) {
  std::string error;
  EXPECT_EQ(serial_open("/dev/tessaril-no-such-port", error), INVALID_SERIAL);
  EXPECT_EQ(error, "No such file or directory");
  TempFolder folder;
  std::string plain = folder.write("file.txt", "x");
  EXPECT_EQ(serial_open(plain, error), INVALID_SERIAL);
  EXPECT_FALSE(error.empty());
  // A permission error says what to do about it (root, running the tests,
  // opens any device, so the text is checked on its own).
  EXPECT_EQ(serial_system_text(EACCES).rfind("Permission denied (serial ports belong to the group dialout", 0), 0u);
  EXPECT_EQ(serial_system_text(ENOENT), "No such file or directory");
}

TEST(PlatformSerial, SecondOpenOfTheSamePortIsRefused) {
  PtyPair pty;
  OpenPort first(pty.slave_path());
  std::string error;
  SerialHandle second = serial_open(pty.slave_path(), error);
  EXPECT_EQ(second, INVALID_SERIAL);
  EXPECT_NE(error.find("busy"), std::string::npos) << error;
  serial_close(second);
}

TEST(PlatformSerial, ConfiguresStandardAndNonStandardRatesAndByteSizes) {
  PtyPair pty;
  OpenPort port(pty.slave_path());
  std::string error;
  EXPECT_TRUE(serial_configure(port.handle, 9600, 8, error)) << error;
  EXPECT_EQ(serial_baud_rate(port.handle), 9600);
  // The kernel's pseudo-terminals take 8 data bits only; the refusal comes
  // back with the system's reason and the rate stays.
  if (!serial_configure(port.handle, 4800, 7, error)) {
    EXPECT_FALSE(error.empty());
  }
  EXPECT_TRUE(serial_configure(port.handle, 38400, 8, error)) << error;
  EXPECT_EQ(serial_baud_rate(port.handle), 38400);
  EXPECT_TRUE(serial_configure(port.handle, 250000, 8, error)) << error;
  EXPECT_EQ(serial_baud_rate(port.handle), 250000);
  error.clear();
  EXPECT_FALSE(serial_configure(port.handle, 38400, 9, error));
  EXPECT_EQ(error, "Unsupported byte size 9");
  EXPECT_FALSE(serial_configure(port.handle, 0, 8, error));
}

TEST(PlatformSerial, ReadWithNoDataEndsAfterTheTotalTimeout) {
  PtyPair pty;
  OpenPort port(pty.slave_path());
  serial_set_timeouts(port.handle, windows_timeouts(10, 2, 100));
  uint8_t buffer[20];
  int64_t start = monotonic_ms();
  EXPECT_EQ(serial_read(port.handle, buffer, 20), 0);
  int64_t took = monotonic_ms() - start;
  EXPECT_GE(took, 135);  // 2 * 20 + 100
  EXPECT_LT(took, 1000);
}

TEST(PlatformSerial, ReadEndsOnAQuietLineAfterTheFirstByteOrWhenFull) {
  PtyPair pty;
  OpenPort port(pty.slave_path());
  serial_set_timeouts(port.handle, windows_timeouts(10, 150, 150));
  pty.device_write({1, 2, 3, 4, 5});
  uint8_t buffer[255];
  int64_t start = monotonic_ms();
  EXPECT_EQ(serial_read(port.handle, buffer, 255), 5);
  EXPECT_LT(monotonic_ms() - start, 5000);  // far below the 38 400 ms total
  EXPECT_EQ(buffer[4], 5);
  // A read of fewer bytes than wait takes just those; the rest stays for the next.
  pty.device_write({9, 8, 7, 6});
  EXPECT_EQ(serial_read(port.handle, buffer, 3), 3);
  EXPECT_EQ(serial_read(port.handle, buffer, 3), 1);
  EXPECT_EQ(buffer[0], 6);
}

TEST(PlatformSerial, ScaleShortensTheTotalTimeoutOnly) {
  PtyPair pty;
  OpenPort port(pty.slave_path());
  serial_set_timeouts(port.handle, windows_timeouts(10, 150, 150));
  set_serial_timeout_scale(1);
  uint8_t buffer[255];
  int64_t start = monotonic_ms();
  EXPECT_EQ(serial_read(port.handle, buffer, 255), 0);
  int64_t took = monotonic_ms() - start;
  set_serial_timeout_scale(100);
  EXPECT_GE(took, 380);
  EXPECT_LT(took, 3000);
}

TEST(PlatformSerial, WrittenBytesReachTheDevice) {
  PtyPair pty;
  OpenPort port(pty.slave_path());
  const uint8_t frame[] = {0x01, 0x00, 0x00, 0x01, 0x00, 0x00, 0xA9, 0x78, 0xC0, 0x11, 0x13};
  EXPECT_EQ(serial_write(port.handle, frame, sizeof frame), static_cast<int>(sizeof frame));
  auto got = pty.device_read(sizeof frame, 1000);
  EXPECT_EQ(got, std::vector<uint8_t>(frame, frame + sizeof frame));  // XON/XOFF bytes pass as data
}

TEST(PlatformSerial, CancelWakesABlockedReadAndFailsLaterCalls) {
  PtyPair pty;
  OpenPort port(pty.slave_path());
  serial_set_timeouts(port.handle, windows_timeouts(10, 150, 150));  // 38 s for 255 bytes
  std::atomic<int> result{99};
  std::thread reader([&] {
    uint8_t buffer[255];
    result = serial_read(port.handle, buffer, 255);
  });
  sleep_ms(100);
  int64_t start = monotonic_ms();
  serial_cancel(port.handle);
  reader.join();
  EXPECT_LT(monotonic_ms() - start, 500);
  EXPECT_EQ(result.load(), -1);
  EXPECT_FALSE(serial_is_open(port.handle));
  uint8_t byte = 0;
  EXPECT_EQ(serial_write(port.handle, &byte, 1), -1);
}

TEST(PlatformSerial, CloseUnderABlockedReadNeverLetsTheOldHandleReachANewFile) {
  PtyPair pty;
  TempFolder folder;
  std::string error;
  SerialHandle handle = serial_open(pty.slave_path(), error);
  ASSERT_NE(handle, INVALID_SERIAL) << error;
  serial_set_timeouts(handle, windows_timeouts(10, 150, 150));
  std::atomic<int> result{99};
  std::thread reader([&] {
    uint8_t buffer[255];
    result = serial_read(handle, buffer, 255);
  });
  sleep_ms(100);
  serial_close(handle);
  reader.join();
  EXPECT_EQ(result.load(), -1);
  // The next file opened may well get the old descriptor number; the old
  // handle must not write into it.
  std::string path = folder.file("log.txt");
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT, 0600);
  ASSERT_GE(fd, 0);
  const uint8_t bytes[] = {'B', 'A', 'D'};
  EXPECT_EQ(serial_write(handle, bytes, 3), -1);
  uint8_t buffer[4];
  EXPECT_EQ(serial_read(handle, buffer, 4), -1);
  ::close(fd);
  EXPECT_EQ(TempFolder::read(path), "");
  // A reopened port is a new handle.
  SerialHandle again = serial_open(pty.slave_path(), error);
  EXPECT_NE(again, INVALID_SERIAL);
  EXPECT_NE(again, handle);
  serial_close(again);
  serial_close(handle);  // a second close does nothing
}

TEST(PlatformSerial, AVanishedDeviceFailsReadsAndWritesAtOnce) {
  PtyPair pty;
  OpenPort port(pty.slave_path());
  serial_set_timeouts(port.handle, windows_timeouts(10, 150, 150));
  pty.close_master();
  uint8_t buffer[255] = {};
  int64_t start = monotonic_ms();
  EXPECT_EQ(serial_read(port.handle, buffer, 255), -1);
  EXPECT_LE(serial_write(port.handle, buffer, 9), 0);
  EXPECT_LT(monotonic_ms() - start, 1000);
}

TEST(PlatformSerial, DeviceNamesComeFromThePortsSectionOrTheDefault) {
  TempFolder folder;
  std::string ini = folder.write("buc_setup.ini", "[section1]\nsio_port=3\n[Ports]\ncom3 = /dev/ttyUSB0\nCOM12=/dev/serial/by-id/x\n");
  EXPECT_EQ(serial_device_name(3, ini), "/dev/ttyUSB0");
  EXPECT_EQ(serial_device_name(12, ini), "/dev/serial/by-id/x");
  EXPECT_EQ(serial_device_name(1, ini), "/dev/ttyS0");
  EXPECT_EQ(serial_device_name(44, folder.file("missing.ini")), "/dev/ttyS43");
  EXPECT_EQ(serial_device_name(0, ini), "");  // COM0 never opens COM1's device
  // --port: every number names the one device for the run.
  set_serial_device_override("/dev/serial/by-id/usb-y");
  EXPECT_EQ(serial_device_name(3, ini), "/dev/serial/by-id/usb-y");
  EXPECT_EQ(serial_device_name(0, ini), "/dev/serial/by-id/usb-y");
  set_serial_device_override("");
  EXPECT_EQ(serial_device_name(3, ini), "/dev/ttyUSB0");
}

}  // namespace
}  // namespace tessaril::test

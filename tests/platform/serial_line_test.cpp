// The serial layer's contract on a real line (a pseudo-terminal on Linux, a
// null-modem pair of COM ports on Windows): Windows read time-outs, cancel,
// close under a blocked read, handles that die with their port.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <thread>

#include "platform/clock.h"
#include "platform/serial.h"
#include "support/line_pair.h"
#include "support/temp_folder.h"

namespace tessaril::test {
namespace {

using namespace tessaril::platform;

// What differs between the systems, stated once.
struct SystemFacts {
  const char* missing_port;  // names no port
  int missing_error;         // the system's error for it
  int denied_error;          // a port the user may not open
  const char* denied_hint;   // what its text adds
};
#ifdef _WIN32
constexpr SystemFacts SYSTEM{"COM199", 2 /* ERROR_FILE_NOT_FOUND */, 5 /* ERROR_ACCESS_DENIED */,
                             "(the port may be in use by another program)"};
#else
constexpr SystemFacts SYSTEM{"/dev/tessaril-no-such-port", ENOENT, EACCES, "(serial ports belong to the group dialout"};
#endif

// A line pair; the case skips with the reason when the system has none.
#define LINE_PAIR(pair) \
  LinePair pair;        \
  if (pair.limits().no_line) GTEST_SKIP() << pair.limits().no_line

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
  EXPECT_EQ(serial_open(SYSTEM.missing_port, error), INVALID_SERIAL);
  EXPECT_EQ(error, serial_system_text(SYSTEM.missing_error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(error.find_first_of("\r\n"), std::string::npos) << error;
  TempFolder folder;
  std::string plain = folder.write("file.txt", "x");
  error.clear();
  EXPECT_EQ(serial_open(plain, error), INVALID_SERIAL);
  EXPECT_FALSE(error.empty());
  // A refused port says what to do about it (root, running the tests, opens
  // any device, so the text is checked on its own).
  EXPECT_NE(serial_system_text(SYSTEM.denied_error).find(SYSTEM.denied_hint), std::string::npos)
      << serial_system_text(SYSTEM.denied_error);
#ifndef _WIN32
  EXPECT_EQ(serial_system_text(ENOENT), "No such file or directory");
#endif
}

TEST(PlatformSerial, SecondOpenOfTheSamePortIsRefused) {
  LINE_PAIR(pair);
  if (pair.limits().shared_open) GTEST_SKIP() << pair.limits().shared_open;
  OpenPort first(pair.port_path());
  std::string error;
  SerialHandle second = serial_open(pair.port_path(), error);
  EXPECT_EQ(second, INVALID_SERIAL);
  EXPECT_NE(error.find("another program"), std::string::npos) << error;
  serial_close(second);
}

TEST(PlatformSerial, ConfiguresStandardAndNonStandardRatesAndByteSizes) {
  LINE_PAIR(pair);
  OpenPort port(pair.port_path());
  std::string error;
  EXPECT_TRUE(serial_configure(port.handle, 9600, 8, error)) << error;
  EXPECT_EQ(serial_baud_rate(port.handle), 9600);
  // Pseudo-terminals take 8 data bits only; the refusal comes back with the
  // system's reason and the rate stays.
  if (!serial_configure(port.handle, 4800, 7, error)) {
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(serial_baud_rate(port.handle), 9600);
  }
  EXPECT_TRUE(serial_configure(port.handle, 38400, 8, error)) << error;
  EXPECT_EQ(serial_baud_rate(port.handle), 38400);
  error.clear();
  if (pair.limits().standard_rates) {
    // A rate the driver takes without running it is a refusal, not a success.
    EXPECT_FALSE(serial_configure(port.handle, 250000, 8, error)) << pair.limits().standard_rates;
    EXPECT_NE(error.find("250000"), std::string::npos) << error;
    EXPECT_EQ(serial_baud_rate(port.handle), 38400);
  } else {
    EXPECT_TRUE(serial_configure(port.handle, 250000, 8, error)) << error;
    EXPECT_EQ(serial_baud_rate(port.handle), 250000);
  }
  error.clear();
  EXPECT_FALSE(serial_configure(port.handle, 38400, 9, error));
  EXPECT_EQ(error, "Unsupported byte size 9");
  EXPECT_FALSE(serial_configure(port.handle, 0, 8, error));
}

TEST(PlatformSerial, ReadWithNoDataEndsAfterTheTotalTimeout) {
  LINE_PAIR(pair);
  OpenPort port(pair.port_path());
  serial_set_timeouts(port.handle, windows_timeouts(10, 2, 100));
  uint8_t buffer[20];
  int64_t start = monotonic_ms();
  EXPECT_EQ(serial_read(port.handle, buffer, 20), 0);
  int64_t took = monotonic_ms() - start;
  EXPECT_GE(took, 135);  // 2 * 20 + 100
  EXPECT_LT(took, 1000);
}

TEST(PlatformSerial, ReadEndsOnAQuietLineAfterTheFirstByteOrWhenFull) {
  LINE_PAIR(pair);
  OpenPort port(pair.port_path());
  serial_set_timeouts(port.handle, windows_timeouts(10, 150, 150));
  pair.device_write({1, 2, 3, 4, 5});
  uint8_t buffer[255];
  int64_t start = monotonic_ms();
  EXPECT_EQ(serial_read(port.handle, buffer, 255), 5);
  EXPECT_LT(monotonic_ms() - start, 5000);  // far below the 38 400 ms total
  EXPECT_EQ(buffer[4], 5);
  // A read of fewer bytes than wait takes just those; the rest stays for the next.
  pair.device_write({9, 8, 7, 6});
  EXPECT_EQ(serial_read(port.handle, buffer, 3), 3);
  EXPECT_EQ(serial_read(port.handle, buffer, 3), 1);
  EXPECT_EQ(buffer[0], 6);
}

// Bytes put back come first, ahead of the line's; a flush drops both, and
// what came before it, but not what comes after.
TEST(PlatformSerial, BytesPutBackAreReadFirstAndAFlushDropsWhatCameBefore) {
  LINE_PAIR(pair);
  OpenPort port(pair.port_path());
  serial_set_timeouts(port.handle, windows_timeouts(10, 50, 50));
  pair.device_write({4, 5});
  uint8_t buffer[16] = {};
  ASSERT_EQ(serial_read(port.handle, buffer, 1), 1);
  const uint8_t back[] = {1, 2, 3};
  EXPECT_TRUE(serial_unread(port.handle, back, 3));
  ASSERT_EQ(serial_read(port.handle, buffer, 16), 4);
  EXPECT_EQ(buffer[0], 1);
  EXPECT_EQ(buffer[3], 5);

  pair.device_write({6, 7});
  sleep_ms(100);
  EXPECT_TRUE(serial_unread(port.handle, back, 3));
  serial_flush_input(port.handle);
  EXPECT_EQ(serial_read(port.handle, buffer, 16), 0);
  pair.device_write({8});
  ASSERT_EQ(serial_read(port.handle, buffer, 16), 1);
  EXPECT_EQ(buffer[0], 8);
}

TEST(PlatformSerial, BytesThatComeWithinTheIntervalMakeOneRead) {
  LINE_PAIR(pair);
  OpenPort port(pair.port_path());
  serial_set_timeouts(port.handle, windows_timeouts(150, 150, 150));
  // Three pieces 10 ms apart: one read; a gap of 600 ms then ends the next.
  std::thread device([&] {
    for (uint8_t piece = 0; piece < 3; ++piece) {
      pair.device_write({piece, piece, piece});
      sleep_ms(10);
    }
    sleep_ms(600);
    pair.device_write({7});
  });
  uint8_t buffer[255];
  const int first = serial_read(port.handle, buffer, 255);
  const int second = serial_read(port.handle, buffer + 9, 255 - 9);
  device.join();
  EXPECT_EQ(first, 9);
  EXPECT_EQ(second, 1);
  EXPECT_EQ(buffer[8], 2);
  EXPECT_EQ(buffer[9], 7);
}

TEST(PlatformSerial, ScaleShortensTheTotalTimeoutOnly) {
  LINE_PAIR(pair);
  OpenPort port(pair.port_path());
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
  LINE_PAIR(pair);
  OpenPort port(pair.port_path());
  // XON/XOFF, NUL and END bytes pass as data.
  const uint8_t frame[] = {0x01, 0x00, 0x00, 0x01, 0x00, 0x00, 0xA9, 0x78, 0xC0, 0x11, 0x13};
  EXPECT_EQ(serial_write(port.handle, frame, sizeof frame), static_cast<int>(sizeof frame));
  auto got = pair.device_read(sizeof frame, 1000);
  EXPECT_EQ(got, std::vector<uint8_t>(frame, frame + sizeof frame));
  // And the other way.
  pair.device_write(got);
  uint8_t back[sizeof frame] = {};
  serial_set_timeouts(port.handle, windows_timeouts(10, 150, 150));
  EXPECT_EQ(serial_read(port.handle, back, sizeof back), static_cast<int>(sizeof frame));
  EXPECT_EQ(std::vector<uint8_t>(back, back + sizeof back), got);
}

TEST(PlatformSerial, CancelWakesABlockedReadAndFailsLaterCalls) {
  LINE_PAIR(pair);
  OpenPort port(pair.port_path());
  serial_set_timeouts(port.handle, windows_timeouts(10, 150, 150));  // 38 s for 255 bytes
  std::atomic<int> result{99};
  std::thread reader([&] {
    uint8_t buffer[255];
    result = serial_read(port.handle, buffer, 255);
  });
  sleep_ms(100);
  // The send thread writes while the receive thread waits in its read.
  const uint8_t frame[] = {0x05, 0xC0};
  EXPECT_EQ(serial_write(port.handle, frame, 2), 2);
  EXPECT_EQ(pair.device_read(2, 1000).size(), 2u);
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
  LINE_PAIR(pair);
  TempFolder folder;
  std::string error;
  SerialHandle handle = serial_open(pair.port_path(), error);
  ASSERT_NE(handle, INVALID_SERIAL) << error;
  serial_set_timeouts(handle, windows_timeouts(10, 150, 150));
  std::atomic<int> result{99};
  std::thread reader([&] {
    uint8_t buffer[255];
    result = serial_read(handle, buffer, 255);
  });
  sleep_ms(100);
  int64_t start = monotonic_ms();
  serial_close(handle);
  reader.join();
  EXPECT_LT(monotonic_ms() - start, 500);
  EXPECT_EQ(result.load(), -1);
  // The next file opened may well get the old descriptor or handle number;
  // the old serial handle must not write into it.
  std::string path = folder.file("log.txt");
  std::FILE* file = std::fopen(path.c_str(), "w+b");
  ASSERT_NE(file, nullptr);
  const uint8_t bytes[] = {'B', 'A', 'D'};
  EXPECT_EQ(serial_write(handle, bytes, 3), -1);
  uint8_t buffer[4];
  EXPECT_EQ(serial_read(handle, buffer, 4), -1);
  std::fclose(file);
  EXPECT_EQ(TempFolder::read(path), "");
  // A reopened port is a new handle.
  SerialHandle again = serial_open(pair.port_path(), error);
  EXPECT_NE(again, INVALID_SERIAL) << error;
  EXPECT_NE(again, handle);
  serial_close(again);
  serial_close(handle);  // a second close does nothing
}

TEST(PlatformSerial, AVanishedDeviceFailsReadsAndWritesAtOnce) {
  LINE_PAIR(pair);
  if (pair.limits().cannot_vanish) GTEST_SKIP() << pair.limits().cannot_vanish;
  OpenPort port(pair.port_path());
  serial_set_timeouts(port.handle, windows_timeouts(10, 150, 150));
  pair.vanish();
  uint8_t buffer[255] = {};
  int64_t start = monotonic_ms();
  EXPECT_EQ(serial_read(port.handle, buffer, 255), -1);
  EXPECT_LE(serial_write(port.handle, buffer, 9), 0);
  EXPECT_LT(monotonic_ms() - start, 1000);
}

struct NameCase {
  int number;
  const char* device;
};

TEST(PlatformSerial, DeviceNamesComeFromThePortNumber) {
  TempFolder folder;
  const std::string ini = folder.write(
      "buc_setup.ini", "[section1]\nsio_port=3\n[Ports]\ncom3 = /dev/ttyUSB0\nCOM12=/dev/serial/by-id/x\n");
#ifdef _WIN32
  // Ports from 10 up open only in the device name space; [ports] is Linux's.
  const NameCase cases[] = {
      {1, "COM1"}, {3, "COM3"}, {9, "COM9"}, {10, "\\\\.\\COM10"}, {12, "\\\\.\\COM12"}, {255, "\\\\.\\COM255"},
      {0, ""},     {-1, ""}};
#else
  // The section ports of the configuration, or the PC's own ttyS numbering.
  const NameCase cases[] = {
      {3, "/dev/ttyUSB0"}, {12, "/dev/serial/by-id/x"}, {1, "/dev/ttyS0"}, {44, "/dev/ttyS43"}, {0, ""}, {-1, ""}};
  EXPECT_EQ(serial_device_name(44, folder.file("missing.ini")), "/dev/ttyS43");
#endif
  for (const NameCase& c : cases) EXPECT_EQ(serial_device_name(c.number, ini), c.device) << "COM" << c.number;
  // --port: every number names the one device for the run.
  set_serial_device_override("/dev/serial/by-id/usb-y");
  EXPECT_EQ(serial_device_name(3, ini), "/dev/serial/by-id/usb-y");
  EXPECT_EQ(serial_device_name(0, ini), "/dev/serial/by-id/usb-y");
  set_serial_device_override("");
  EXPECT_EQ(serial_device_name(cases[1].number, ini), cases[1].device);
}

}  // namespace
}  // namespace tessaril::test

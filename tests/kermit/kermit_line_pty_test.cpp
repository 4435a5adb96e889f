// The line callbacks on a real pseudo-terminal: the program's end is the
// serial port, the device's end is the pty master.
#include <poll.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "kermit/kermit_files.h"
#include "kermit/kermit_line.h"
#include "kermit/kermit_setup.h"
#include "kermit_harness.h"
#include "platform/clock.h"
#include "platform/serial.h"
#include "support/pty_pair.h"
#include "support/temp_folder.h"

namespace tessaril::kermit {
namespace {

using tessaril::test::PtyPair;
using tessaril::test::ScopedCurrentFolder;
using tessaril::test::TempFolder;

std::vector<uint8_t> bytes_of(const std::string& s) { return {s.begin(), s.end()}; }

class KermitLine : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    port = platform::serial_open(pty.slave_path(), error);
    ASSERT_NE(port, platform::INVALID_SERIAL) << error;
    platform::SerialTimeouts t;  // the port's time-outs, 300 ms for one byte, shortened tenfold
    t.interval_ms = 10;
    t.total_multiplier_ms = 150;
    t.total_constant_ms = 150;
    platform::serial_set_timeouts(port, t);
    platform::set_serial_timeout_scale(10);
    prepare_kermit(&k, &r, &b, "X.BIN", "", port);
  }
  void TearDown() override {
    platform::serial_close(port);
    platform::set_serial_timeout_scale(100);
  }
  int read(std::string* body = nullptr) {
    int n = readpkt(&k, buf, 94);
    if (body && n > 0) *body = std::string(buf, static_cast<size_t>(n));
    return n;
  }

  PtyPair pty;
  platform::SerialHandle port = platform::INVALID_SERIAL;
  KermitState k;
  KermitResult r;
  KermitBuffers b;
  char buf[RSLOT_BUF] = {};
};

TEST_F(KermitLine, ReadsAPacketAfterNoise) {
  std::string wire = test::build_packet('D', 5, "hello");
  pty.device_write(bytes_of("line noise\r\n" + wire));
  std::string body;
  ASSERT_EQ(read(&body), static_cast<int>(wire.size()) - 2);
  EXPECT_EQ(body, wire.substr(1, wire.size() - 2));
  EXPECT_EQ(buf[body.size()], '\0');
}

TEST_F(KermitLine, LineFeedEndsAPacketAndASecondMarkIsDropped) {
  pty.device_write(bytes_of("\x01" "AB\x01" "CD\n" "\x01" "EF\r"));
  std::string body;
  EXPECT_EQ(read(&body), 4);
  EXPECT_EQ(body, "ABCD");
  EXPECT_EQ(read(&body), 2);
  EXPECT_EQ(body, "EF");
}

TEST_F(KermitLine, ThreeCtrlCInARowEndTheRead) {
  pty.device_write(bytes_of("\x03\x03\x03"));
  EXPECT_EQ(read(), -1);
  pty.device_write(bytes_of("\x01" "AB\x03\x03\x03"));
  EXPECT_EQ(read(), -1);
  std::string body;
  pty.device_write(bytes_of("\x03\x03x\x01" "A\x03\x03" "B\r"));
  EXPECT_EQ(read(&body), 4);  // two, then another byte: carried on, and stored inside the packet
  EXPECT_EQ(body, "A\x03\x03" "B");
  k.ctrlc_abort = 0;
  pty.device_write(bytes_of("\x03\x03\x03\x01" "AB\r"));
  EXPECT_EQ(read(&body), 2);
}

TEST_F(KermitLine, OverlongPacketGivesZero) {
  pty.device_write(bytes_of("\x01" + std::string(95, 'a') + "\r"));
  EXPECT_EQ(read(), 95);
  pty.device_write(bytes_of("\x01" + std::string(96, 'a') + "\r"));
  EXPECT_EQ(read(), 0);
}

TEST_F(KermitLine, SilenceAndChatterGiveNothingArrived) {
  int64_t start = platform::monotonic_ms();
  EXPECT_EQ(read(), -2);
  EXPECT_LT(platform::monotonic_ms() - start, 2000);
  // A line that chatters without a start mark does not hold the reader.
  pty.device_write(std::vector<uint8_t>(400, 'x'));
  EXPECT_EQ(read(), -2);
  EXPECT_EQ(read(), -2);
}

// Start marks after the start are dropped, but they still count: a line that
// sends nothing but marks ends the read as an overlong packet, just as a
// line without any mark ends it as silence.
TEST_F(KermitLine, LineOfStartMarksEndsTheRead) {
  PacketReader reader;
  int result = READ_GO_ON;
  int fed = 0;
  while (result == READ_GO_ON && fed < 10000) {
    result = feed_packet_byte(&k, &reader, 1, buf);
    ++fed;
  }
  EXPECT_EQ(result, 0);
  EXPECT_LE(fed, 100);

  // A few stray marks inside a packet change nothing.
  pty.device_write(bytes_of("\x01" "AB\x01\x01" "CD\r"));
  std::string body;
  EXPECT_EQ(read(&body), 4);
  EXPECT_EQ(body, "ABCD");
}

TEST_F(KermitLine, ClosedPortOrNoBufferFails) {
  EXPECT_EQ(readpkt(&k, nullptr, 94), -1);
  k.port = platform::INVALID_SERIAL;
  EXPECT_EQ(read(), -1);
  EXPECT_EQ(tx_data(&k, "abc", 3), -1);
}

TEST_F(KermitLine, TxDataWritesTheWholePacketWithinTheBudget) {
  std::string wire = test::build_packet('Y', 1, "ok");
  EXPECT_EQ(tx_data(&k, wire.data(), static_cast<int>(wire.size())), 0);
  EXPECT_EQ(pty.device_read(wire.size(), 500), bytes_of(wire));
  EXPECT_EQ(tx_data(&k, wire.data(), 0), 0);
  k.write_budget = 1;  // the last allowed call completes the packet: success
  EXPECT_EQ(tx_data(&k, wire.data(), static_cast<int>(wire.size())), 0);
  EXPECT_EQ(pty.device_read(wire.size(), 500), bytes_of(wire));
  k.write_budget = 0;
  EXPECT_EQ(tx_data(&k, wire.data(), static_cast<int>(wire.size())), -1);
}

// ---- a whole transfer: the program sends through the port, a device-side
// engine on another thread receives from the pty master ----

int master_fd = -1;

int device_readpkt(KermitState* k, char* buf, int) {
  PacketReader reader;
  for (;;) {
    pollfd p{master_fd, POLLIN, 0};
    if (::poll(&p, 1, 300) <= 0) return -2;
    uint8_t byte;
    if (::read(master_fd, &byte, 1) != 1) return -1;
    int result = feed_packet_byte(k, &reader, byte, buf);
    if (result != READ_GO_ON) return result;
  }
}

int device_tx(KermitState*, const char* bytes, int count) {
  while (count > 0) {
    ssize_t n = ::write(master_fd, bytes, static_cast<size_t>(count));
    if (n <= 0) return -1;
    bytes += n;
    count -= static_cast<int>(n);
  }
  return 0;
}

// The link's packet loop, reduced to what the engine needs: -2 counts
// against a silence limit.
int drive(KermitState* k, KermitResult* r, int silence_limit) {
  int silent = 0;
  for (;;) {
    int slot = -1;
    char* pkt = rslot_get(k, &slot);
    int n = k->readpkt(k, pkt, 94);
    if (n < 0) {
      rslot_free(k, slot);
      if (n == -2 && ++silent <= silence_limit) continue;
      return n;
    }
    silent = 0;
    int result = kermit_engine(KA_PACKET, k, slot, n, "", r);
    if (result == KR_DONE || result == KR_FAIL) return result;
  }
}

TEST_F(KermitLine, WholeTransferOverThePort) {
  TempFolder folder;
  ScopedCurrentFolder in_folder(folder.path());
  std::string content(30000, '\0');
  for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>((i * 31) ^ (i >> 7));
  std::string path = folder.write("chosen.pgm", content);

  master_fd = pty.master_fd();
  auto device = std::make_unique<test::Engine>();
  prepare_kermit(&device->k, &device->r, &device->b, "CHOSEN.PGM", "", platform::INVALID_SERIAL);
  device->k.readpkt = device_readpkt;
  device->k.tx_data = device_tx;
  std::atomic<int> device_result{0};
  std::thread device_thread([&] { device_result = drive(&device->k, &device->r, 20); });

  ASSERT_EQ(prepare_kermit(&k, &r, &b, "CHOSEN.PGM", path.c_str(), port), KR_OK);
  k.bct = 3;
  ASSERT_EQ(kermit_engine(KA_SEND, &k, 0, 0, "", &r), KR_OK);
  int sent = drive(&k, &r, 20);
  device_thread.join();

  EXPECT_EQ(sent, KR_DONE);
  EXPECT_EQ(device_result.load(), KR_DONE);
  EXPECT_EQ(r.file_outcome, KO_COMPLETE);
  EXPECT_EQ(r.filesize, 30000);
  EXPECT_STREQ(device->r.file_name, "CHOSEN.PGM");
  EXPECT_EQ(TempFolder::read("CHOSEN.PGM"), content);
}

}  // namespace
}  // namespace tessaril::kermit

// The simulator program on a pseudo-terminal: a transfer follows the answers
// to 0x0A and 0x0C, paced to --baud, and the device answers frames again
// afterwards, or at once when a frame comes instead of a transfer.
#include <gtest/gtest.h>

#include "link/frame_codec.h"
#include "support/sim_process.h"
#include "platform/clock.h"
#include "platform/serial.h"
#include "sim/sim_kermit_session.h"
#include "support/temp_folder.h"

namespace tessaril::test {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes command(uint8_t code, uint16_t seq, const std::string& text) {
  const std::string header = {static_cast<char>(code), 0, static_cast<char>(seq >> 8), static_cast<char>(seq), 0,
                              static_cast<char>(text.size() + 1)};
  const std::string body = header + text + '\0';
  Bytes raw(body.begin(), body.end());
  const uint16_t fcs = link::frame_crc(raw.data(), raw.size()) ^ 0xFFFF;
  for (uint8_t b : {static_cast<uint8_t>(fcs >> 8), static_cast<uint8_t>(fcs), link::END}) raw.push_back(b);
  Bytes wire(2 * raw.size());
  wire.resize(link::rfc1055_encode(raw.data(), raw.size(), wire.data()));
  return wire;
}

class Host {
 public:
  explicit Host(const std::string& device) {
    std::string error;
    port_ = platform::serial_open(device, error);
    EXPECT_NE(port_, platform::INVALID_SERIAL) << error;
    platform::SerialTimeouts t;
    t.interval_ms = 20;
    t.total_constant_ms = 2000;
    platform::serial_set_timeouts(port_, t);
  }
  ~Host() { platform::serial_close(port_); }
  void write(const std::string& bytes) { write(Bytes(bytes.begin(), bytes.end())); }
  void write(const Bytes& bytes) {
    EXPECT_EQ(platform::serial_write(port_, bytes.data(), static_cast<int>(bytes.size())), static_cast<int>(bytes.size()));
  }
  // Reads until a byte `last` ends what came, or nothing more comes.
  std::string read(uint8_t last) {
    std::string got;
    uint8_t buffer[256];
    while (got.empty() || static_cast<uint8_t>(got.back()) != last) {
      const int n = platform::serial_read(port_, buffer, sizeof buffer);
      if (n <= 0) break;
      got.append(reinterpret_cast<char*>(buffer), static_cast<size_t>(n));
    }
    return got;
  }
  // The status byte of an answer frame, or -1.
  int answer(const Bytes& frame) {
    write(frame);
    const std::string a = read(link::END);
    return a.size() >= 9 ? static_cast<uint8_t>(a[1]) : -1;
  }

 private:
  platform::SerialHandle port_ = platform::INVALID_SERIAL;
};

constexpr int SUCCESS = 0x01 << 3;

TEST(SimKermitLine, AFileGoesIntoTheFolderAndComesBackThenFramesAreAnsweredAgain) {
  TempFolder folder;
  SimProcess sim({"--folder", folder.path(), "--baud", "4800"});
  ASSERT_TRUE(sim.started()) << sim.first_line();
  Host host(sim.device());
  // A frame instead of the host's send-init ends the wait for it at once.
  const int64_t asked = platform::monotonic_ms();
  EXPECT_EQ(host.answer(command(0x0A, 1, "CAL.XML,101")), SUCCESS);
  EXPECT_EQ(host.answer(command(0x01, 2, "")), SUCCESS);
  EXPECT_LT(platform::monotonic_ms() - asked, 1000);

  EXPECT_EQ(host.answer(command(0x0A, 3, "CAL.XML,101")), SUCCESS);
  const std::string big = std::string("\001~#D") + std::string(91, 'a') + "A\015";
  const std::pair<std::string, std::string> receive[] = {
      {"\001. S~! @-#Y1~,?D\015", "\001- Y~% @-#Y1~(I\015"},
      {"\001*!FCAL.XML\"\015", "\001#!Y?\015"},
      {"\001,\"DHi#M#J~&x\\\015", "\001#\"Y@\015"},
      {big, "\001##YA\015"},
      {"\001#$ZC\015", "\001#$YB\015"},
      {"\001#%B,\015", "\001#%YC\015"},
  };
  for (const auto& [packet, reply] : receive) {
    const int64_t sent = platform::monotonic_ms();
    host.write(packet);
    EXPECT_EQ(host.read('\r'), reply);
    // The device takes the bytes in no faster than 4800 baud delivers them.
    if (packet == big) {
      EXPECT_GE(platform::monotonic_ms() - sent, 97 * 10 * 1000 / 4800 - 2);
    }
  }
  const std::string stored = "Hi\r\nxxxxxx" + std::string(91, 'a');
  EXPECT_EQ(TempFolder::read(folder.file("CAL.XML")), stored);

  EXPECT_EQ(host.answer(command(0x0C, 4, "cal.xml,101")), SUCCESS);
  const std::pair<std::string, std::string> send[] = {
      {"", "\001- S~% @-#Y1~(C\015"},
      {"\001. Y~! @-#Y1~,?J\015", "\001*!Fcal.xml!\015"},  // the name as asked
      {"\001#!Y?\015", "\001,\"A\"\"B81#101S\015"},
      {"\001#\"Y@\015", "\001/#DHi#M#J~&x~{a<\015"},
      {"\001##YA\015", "\001#$ZC\015"},
      {"\001#$YB\015", "\001#%B,\015"},
  };
  for (const auto& [ack, packet] : send) {
    if (!ack.empty()) host.write(ack);
    EXPECT_EQ(host.read('\r'), packet);
  }
  host.write("\001#%YC\015");
  EXPECT_EQ(host.answer(command(0x01, 5, "")), SUCCESS);
}

// The faults of a hurried or talkative device: its 'S' right behind the
// answer to 0x0C; Kermit packets from the host after the device has left the
// transfer are let go, and a frame behind them is answered.
TEST(SimKermitLine, TheFirstPacketBehindTheAnswerAndStrayPacketsAfterATransfer) {
  TempFolder folder;
  folder.write("cal.xml", "0123456789");
  const std::string scenario = folder.write("s.txt", "kermit with-answer silent-after=1\n");
  SimProcess sim({"--folder", folder.path(), "--scenario", scenario});
  ASSERT_TRUE(sim.started()) << sim.first_line();
  Host host(sim.device());
  const int64_t asked = platform::monotonic_ms();
  host.write(command(0x0C, 1, "CAL.XML,10"));
  const std::string got = host.read('\r');
  EXPECT_LT(platform::monotonic_ms() - asked, 300) << "no pause before the 'S'";
  const size_t end = got.find(static_cast<char>(link::END));
  ASSERT_NE(end, std::string::npos) << "the answer first";
  EXPECT_EQ(got.substr(end + 1), "\001- S~% @-#Y1~(C\015");
  // Silent after its 'S': the host's NAKs, the last one with a frame behind it.
  platform::sleep_ms(400);
  host.write("\001#!N4\015");
  platform::sleep_ms(300);
  EXPECT_EQ(host.read('\r'), "") << "no answer to a packet";
  const Bytes frame = command(0x01, 2, "");
  host.write(std::string("\001#!N4\015") + std::string(frame.begin(), frame.end()));
  const std::string answer = host.read(link::END);
  ASSERT_GE(answer.size(), 9u);
  EXPECT_EQ(static_cast<uint8_t>(answer[0]), 0x81);
  EXPECT_EQ(static_cast<uint8_t>(answer[1]), SUCCESS);
}

TEST(SimKermitLine, FramesAndAnnouncementsAreFoundInTheLineTraffic) {
  const Bytes frame = command(0x0B, 7, "CAL.XML");
  const std::string packet = "\001#%YC\015";  // a Kermit packet before the frame
  std::string all = packet + std::string(frame.begin(), frame.end());
  Bytes watch(all.begin(), all.end());
  EXPECT_EQ(sim::find_frame(watch), 6);
  watch[watch.size() - 2] ^= 1;  // its CRC spoiled: no frame
  EXPECT_EQ(sim::find_frame(watch), -1);
  EXPECT_EQ(sim::find_frame(Bytes{'a', 'b', link::END}), -1);

  const struct {
    const char* text;
    const char* name;
    int64_t size;
  } rows[] = {{"CAL.XML,123", "CAL.XML", 123}, {"A,B,7", "A,B", 7}, {"NAME", "NAME", -1}, {"N,x", "N", -1}, {"", "", -1}};
  for (const auto& r : rows) {
    std::string name;
    int64_t size = 0;
    sim::split_announcement(r.text, name, size);
    EXPECT_EQ(name, r.name) << r.text;
    EXPECT_EQ(size, r.size) << r.text;
  }
}

}  // namespace
}  // namespace tessaril::test

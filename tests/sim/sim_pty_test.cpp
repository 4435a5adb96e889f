// The device simulator as a host sees it over a pseudo-terminal: the whole
// catalogue, the calibration-file announcement, device-side checks, every
// scenario fault, pacing, and its command line.
#include <gtest/gtest.h>

#include <algorithm>

#include "link/answer_check.h"
#include "link/frame_codec.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/serial.h"
#include "support/frames.h"
#include "support/sim_process.h"
#include "support/temp_folder.h"

namespace tessaril::test {
namespace {

using namespace tessaril::platform;

class Host {
 public:
  explicit Host(const std::string& device) {
    std::string error;
    port_ = serial_open(device, error);
    EXPECT_NE(port_, INVALID_SERIAL) << error;
    SerialTimeouts t;
    t.interval_ms = 20;
    t.total_constant_ms = 700;
    serial_set_timeouts(port_, t);
  }
  ~Host() { serial_close(port_); }
  // Sends a raw frame and returns what came back, still encoded.
  Bytes exchange(const Bytes& raw) {
    Bytes wire = encode(raw);
    EXPECT_EQ(serial_write(port_, wire.data(), static_cast<int>(wire.size())), static_cast<int>(wire.size()));
    return read();
  }
  Bytes read(int max = 1000) {
    Bytes buffer(static_cast<size_t>(max));
    int n = serial_read(port_, buffer.data(), max);
    buffer.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return buffer;
  }
  void set_total(int ms) {
    SerialTimeouts t;
    t.interval_ms = 20;
    t.total_constant_ms = ms;
    serial_set_timeouts(port_, t);
  }

 private:
  SerialHandle port_ = INVALID_SERIAL;
};

std::string data_text(const Bytes& answer) {
  std::string text;
  for (size_t i = 6; i + 3 < answer.size() && answer[i] != 0; ++i) text += static_cast<char>(answer[i]);
  return text;
}

Bytes text(const std::string& s) {
  Bytes b(s.begin(), s.end());
  b.push_back(0);
  return b;
}

TEST(Sim, EveryCatalogueCommandSucceedsInItsHeaderForm) {
  TempFolder folder;
  folder.write("cal_b.xml", std::string(1234, 'x'));
  SimProcess sim({"--folder", folder.path()});
  ASSERT_TRUE(sim.started()) << sim.first_line();
  Host host(sim.device());
  const uint8_t codes[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F, 0x10, 0x11,
                           0x12, 0x13, 0x14, 0x60, 0x61, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7B, 0x7C, 0x7D, 0x7E, 0x7F};
  uint16_t seq = 0x00FE;
  for (uint8_t code : codes) {
    Bytes data;
    if (code == 0x07) data = text("lowband");
    if (code == 0x14) data = text("disabled");
    if (code == 0x60) data = text("lhand");
    if (code == 0x77) data = text("on");
    Bytes answer = decode(host.exchange(make_frame(code, 0, seq, data)));
    ASSERT_GE(answer.size(), 9u) << std::hex << int(code);
    EXPECT_EQ(answer[0], code | 0x80);
    EXPECT_TRUE(link::frame_crc_ok(answer.data(), answer.size())) << int(code);
    EXPECT_EQ(answer.size(), static_cast<size_t>(answer[4] * 256 + answer[5] + 9));
    EXPECT_EQ(link::response_code(answer.data()), 0x01) << std::hex << int(code);
    if (code >= 0x70) {
      EXPECT_EQ(answer[1], 0x10);
      EXPECT_EQ(answer[2], static_cast<uint8_t>(answer.size() - 9 + 6));
    } else {
      EXPECT_EQ(answer[2] << 8 | answer[3], seq);
    }
    ++seq;
  }
  // Set commands change what the Get commands report.
  EXPECT_EQ(data_text(decode(host.exchange(make_frame(0x06, 0, 1, {})))), "lowband");
  EXPECT_EQ(data_text(decode(host.exchange(make_frame(0x13, 0, 2, {})))), "disabled");
  EXPECT_EQ(data_text(decode(host.exchange(make_frame(0x61, 0, 3, {})))), "lhand");
  // The calibration file of the folder is announced in the host's format.
  Bytes cal = decode(host.exchange(make_frame(0x0E, 0, 4, {})));
  char name[40];
  int32_t size = 0;
  EXPECT_TRUE(link::parse_file_announcement(cal.data() + 6, static_cast<int>(cal.size()) - 9, name, size));
  EXPECT_STREQ(name, "CAL_B.XML");
  EXPECT_EQ(size, 1234);
  Bytes ex = decode(host.exchange(make_frame(0x79, 0, 0, text("1"))));
  EXPECT_EQ(ex[0], 0xF9);
  EXPECT_EQ(data_text(ex), "cal_b.xml,1234");
}

TEST(Sim, TheDeviceChecksWhatItReceives) {
  TempFolder empty;
  SimProcess sim({"--folder", empty.path(), "--gap", "50"});
  ASSERT_TRUE(sim.started()) << sim.first_line();
  Host host(sim.device());
  auto code_of = [](const Bytes& wire) { return link::response_code(decode(wire).data()); };
  EXPECT_EQ(code_of(host.exchange(with_bad_crc(make_frame(0x01, 0, 1, {})))), 0x04);
  Bytes wrong_length = make_frame(0x02, 0, 2, {1, 2});
  wrong_length[5] = 5;
  EXPECT_EQ(code_of(host.exchange(wrong_length)), 0x07);
  EXPECT_EQ(code_of(host.exchange(make_frame(0x55, 0, 3, {}))), 0x1F);
  // An unknown code from 0xF0 up answers with a code the host reads as an
  // extended answer (status byte at offset 3), whatever the sequence number.
  for (uint8_t code : {0xF0, 0xF5, 0xFF}) {
    Bytes answer = decode(host.exchange(make_frame(code, 0, 0x0101, {})));
    ASSERT_GE(answer.size(), 9u) << int(code);
    EXPECT_EQ(answer[0], code);
    EXPECT_EQ(answer[1], 0x10) << int(code);
    EXPECT_EQ(link::response_code(answer.data()), 0x1F) << int(code);
  }
  EXPECT_EQ(code_of(host.exchange(make_frame(0x0E, 0, 4, {}))), 0x08);  // no calibration file
  EXPECT_EQ(code_of(host.exchange(make_frame(0x07, 0, 5, text("midband")))), 0x0A);
  // A frame whose END code was left out ends after the quiet gap, one byte
  // short of what its header says.
  Bytes no_end = make_frame(0x01, 0, 6, {});
  no_end.pop_back();
  EXPECT_EQ(code_of(host.exchange(no_end)), 0x07);
}

TEST(Sim, ScenarioFaultsAppearOnTheWire) {
  TempFolder folder;
  std::string scenario = folder.write("faults.txt",
                                      "# every fault once\n"
                                      "0x01 fault=no-answer\n"
                                      "0x02 fault=bad-crc\n"
                                      "0x03 fault=short\n"
                                      "0x04 fault=long\n"
                                      "0x05 fault=garbage\n"
                                      "0x06 fault=late:400\n"
                                      "0x07 fault=twice\n"
                                      "0x08 fault=noise\n"
                                      "0x09 rsp=0x04 times=1\n"
                                      "0x0D data=\"SW=9.9\" delay=300\n"
                                      "0x11 data-hex=41C0DB00\n"
                                      "0x12 fault=stale-answer\n"
                                      "0x13 fault=stale-kermit\n"
                                      "0x14 fault=twice:400\n");
  SimProcess sim({"--scenario", scenario});
  ASSERT_TRUE(sim.started()) << sim.first_line();
  Host host(sim.device());
  EXPECT_TRUE(host.exchange(make_frame(0x01, 0, 1, {})).empty());
  Bytes bad = decode(host.exchange(make_frame(0x02, 0, 1, {})));
  EXPECT_EQ(bad[0], 0x82);
  EXPECT_FALSE(link::frame_crc_ok(bad.data(), bad.size()));
  Bytes cut = decode(host.exchange(make_frame(0x03, 0, 1, {})));
  EXPECT_LT(cut.size(), static_cast<size_t>(cut[4] * 256 + cut[5] + 9));
  host.set_total(1000);
  Bytes big = host.exchange(make_frame(0x04, 0, 1, {}));
  EXPECT_GT(big.size(), 255u);
  Bytes junk = host.exchange(make_frame(0x05, 0, 1, {}));
  ASSERT_FALSE(junk.empty());
  EXPECT_NE(junk.back(), link::END);
  host.set_total(200);
  EXPECT_TRUE(host.exchange(make_frame(0x06, 0, 1, {})).empty());
  host.set_total(1000);
  EXPECT_EQ(decode(host.read())[0], 0x86);  // the late answer
  Bytes two = host.exchange(make_frame(0x07, 0, 1, {}));
  ASSERT_EQ(two.size() % 2, 0u);
  EXPECT_TRUE(std::equal(two.begin(), two.begin() + static_cast<long>(two.size() / 2), two.begin() + static_cast<long>(two.size() / 2)));
  Bytes noisy = host.exchange(make_frame(0x08, 0, 1, {}));
  EXPECT_EQ(noisy[4], 0x88);  // four bytes of noise, then the answer
  EXPECT_EQ(link::response_code(decode(host.exchange(make_frame(0x09, 0, 1, {}))).data()), 0x04);
  EXPECT_EQ(link::response_code(decode(host.exchange(make_frame(0x09, 0, 2, {}))).data()), 0x01);  // times=1 ran out
  const int64_t start = monotonic_ms();
  EXPECT_EQ(data_text(decode(host.exchange(make_frame(0x0D, 0, 1, {})))), "SW=9.9");
  EXPECT_GE(monotonic_ms() - start, 300);
  Bytes raw_data = decode(host.exchange(make_frame(0x11, 0, 1, {})));
  EXPECT_EQ(Bytes(raw_data.begin() + 6, raw_data.end() - 3), (Bytes{0x41, 0xC0, 0xDB, 0x00}));
  EXPECT_TRUE(link::frame_crc_ok(raw_data.data(), raw_data.size()));
  // The answer to 0x11 again, then the one to 0x12.
  const Bytes stale = host.exchange(make_frame(0x12, 0, 7, {}));
  const Bytes before = encode(raw_data);
  ASSERT_GT(stale.size(), before.size());
  EXPECT_TRUE(std::equal(before.begin(), before.end(), stale.begin()));
  EXPECT_EQ(decode(Bytes(stale.begin() + static_cast<long>(before.size()), stale.end()))[0], 0x92);
  // Kermit packets first: SOH, and CR before the answer.
  const Bytes packets = host.exchange(make_frame(0x13, 0, 8, {}));
  const auto answer_at = std::find(packets.begin(), packets.end(), 0x93);
  ASSERT_NE(answer_at, packets.end());
  EXPECT_EQ(packets.front(), 0x01);
  EXPECT_EQ(*(answer_at - 1), '\r');
  // Two copies far apart: the second one is still to come when the first has been read.
  host.set_total(200);
  EXPECT_EQ(decode(host.exchange(make_frame(0x14, 0, 9, {})))[0], 0x94);
  host.set_total(1000);
  EXPECT_EQ(decode(host.read())[0], 0x94);
}

TEST(Sim, PacesItsAnswersToABaudRate) {
  SimProcess sim({"--baud", "1200"});
  ASSERT_TRUE(sim.started()) << sim.first_line();
  Host host(sim.device());
  const int64_t start = monotonic_ms();
  Bytes answer = host.exchange(make_frame(0x01, 0, 1, {}));  // 24 bytes: 200 ms at 1200 baud
  EXPECT_EQ(answer.size(), 24u);
  EXPECT_GE(monotonic_ms() - start, 150);
}

TEST(Sim, CommandLine) {
  SimRun help = run_sim({"--help"});
  EXPECT_EQ(help.exit_status, 0);
  EXPECT_NE(help.out.find("--scenario FILE"), std::string::npos);
  SimRun bad = run_sim({"--baud", "fast"});
  EXPECT_EQ(bad.exit_status, 2);
  EXPECT_NE(bad.err.find("bad value for --baud"), std::string::npos) << bad.err;
  TempFolder folder;
  std::string scenario = folder.write("bad.txt", "0x01 rsp=1\n0x02 fault=melt\n");
  SimRun wrong = run_sim({"--scenario", scenario});
  EXPECT_EQ(wrong.exit_status, 2);
  EXPECT_NE(wrong.err.find("line 2: bad value for fault"), std::string::npos) << wrong.err;
  SimRun absent = run_sim({"--device", "/dev/tessaril-absent"});
  EXPECT_EQ(absent.exit_status, 1);
  EXPECT_NE(absent.err.find("No such file or directory"), std::string::npos) << absent.err;
}

TEST(Sim, LinkPathPointsAtTheDeviceAndGoesAway) {
  TempFolder folder;
  const std::string link = folder.file("buc");
  {
    SimProcess sim({"--link", link});
    ASSERT_TRUE(sim.started()) << sim.first_line();
    EXPECT_NE(sim.first_line().find("(link " + link + ")"), std::string::npos);
    Host host(link);
    EXPECT_EQ(decode(host.exchange(make_frame(0x04, 0, 9, {})))[0], 0x84);
  }
  EXPECT_EQ(platform::file_size(link), -1);
}

}  // namespace
}  // namespace tessaril::test

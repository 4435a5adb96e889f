// Command sequences through the real program and the simulated BUC, with
// "Kermit Trns." unticked so the transfers are skipped: each step's frame on
// the wire, the step result fields, and where each sequence ends.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/e2e_harness.h"

namespace tessaril::test {
namespace {

const char* const success = "RSP=Success(0x01)";

std::string results_script() { return "get 2401\nget 2501\nget 2601\nget 2701\n"; }

// The four result fields of the n-th "get 2401 ... get 2701" block.
std::vector<std::string> results(const ProgramRun& run, size_t n) {
  std::vector<std::string> r;
  for (int id : {2401, 2501, 2601, 2701}) {
    const std::vector<std::string> all = run.values(id);
    r.push_back(n < all.size() ? all[n] : "<none>");
  }
  return r;
}

TEST(EndToEndWorkflow, FileAnnouncementsChainToStartFileTransferAndTheStatusFrame) {
  E2eBench bench;
  bench.folder().write("cal_data.xml", std::string(12345, 'c'));
  bench.folder().write("Upgrade~1.pgm", std::string(4321, 'p'));
  ASSERT_TRUE(bench.start_device());
  const ProgramRun run = bench.run(
      "click 201\n"
      "# Set Calibration File: 0x0F, then 0x0A, then the status frame 0x0B\n"
      "click 3151\nchoose " + bench.folder().file("cal_data.xml") + "\nclick 4152\n"
      "click 4151\nclick 5703\nclick 227\nwait 20000\n" + results_script() +
      "get 1111\n"
      "# Start Upgrade Command: 0x10, then 0x0A, then 0x0B\n"
      "choose " + bench.folder().file("Upgrade~1.pgm") + "\nclick 4162\n"
      "click 4161\nclick 5703\nclick 227\nwait 20000\n" + results_script() +
      "get 2152\nget 2162\nget 2163\n");
  const std::vector<Bytes> frames = bench.stop_device();
  EXPECT_EQ(run.exit_code, 0) << run.err;

  const std::vector<Bytes> expected = {
      command_frame(0x0F, 1, "CAL_DATA.XML,12345"), command_frame(0x0A, 2, "CAL_DATA.XML,12345"),
      command_frame(0x0B, 3, "CAL_DATA.XML"),       command_frame(0x10, 4, "UPGRADE^1.PGM,4321"),
      command_frame(0x0A, 5, "UPGRADE^1.PGM,4321"), command_frame(0x0B, 6, "UPGRADE^1.PGM"),
  };
  ASSERT_EQ(frames.size(), expected.size()) << run.out;
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(hex(frames[i]), hex(wire(expected[i]))) << "frame " << i;

  for (size_t n = 0; n < 2; ++n)
    EXPECT_EQ(results(run, n), (std::vector<std::string>{success, success, success, "---"})) << "sequence " << n;
  EXPECT_EQ(run.value(1111), "CAL_DATA.XML");
  // The calibration group keeps showing its own file; the upgrade is the transfer file.
  EXPECT_EQ(run.value(2152), "CAL_DATA.XML");
  EXPECT_EQ(run.value(2162), "UPGRADE^1.PGM");
  EXPECT_EQ(run.value(2163), "4321");
}

TEST(EndToEndWorkflow, CalibrationRequestsChainToReceiveFileAndTheStatusFrame) {
  E2eBench bench;
  TempFolder device_files;
  device_files.write("cal_a.xml", std::string(2048, 'a'));
  ASSERT_TRUE(bench.start_device("", {"--folder", device_files.path()}));
  const ProgramRun run = bench.run(
      "click 201\n"
      "# Get Calibration File: 0x0E, the announced file asked for with 0x0C, then 0x0B\n"
      "click 4141\nclick 5703\nclick 227\nwait 20000\n" + results_script() +
      "get 1121\nget 1122\n"
      "# Get Calibration File Ex (a hidden command)\n"
      "set 1121 *\nclick 4271\nclick 5703\nclick 227\nwait 20000\n" + results_script() +
      "get 1121\n");
  const std::vector<Bytes> frames = bench.stop_device();
  EXPECT_EQ(run.exit_code, 0) << run.err;

  const std::vector<Bytes> expected = {
      command_frame(0x0E, 1, nullptr),          command_frame(0x0C, 2, "CAL_A.XML,2048"),
      command_frame(0x0B, 3, "CAL_A.XML"),      command_frame(0x79, 4, "1"),
      command_frame(0x0C, 5, "CAL_A.XML,2048"), command_frame(0x0B, 6, "CAL_A.XML"),
  };
  ASSERT_EQ(frames.size(), expected.size()) << run.out;
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(hex(frames[i]), hex(wire(expected[i]))) << "frame " << i;
  for (size_t n = 0; n < 2; ++n)
    EXPECT_EQ(results(run, n), (std::vector<std::string>{success, success, success, "---"})) << "sequence " << n;
  EXPECT_EQ(run.values(1121), (std::vector<std::string>{"CAL_A.XML", "CAL_A.XML"}));
  EXPECT_EQ(run.value(1122), "2048");
}

TEST(EndToEndWorkflow, TransfersStartedByHandGoStraightToTheStatusFrame) {
  E2eBench bench;
  bench.folder().write("data.bin", std::string(300, 'd'));
  ASSERT_TRUE(bench.start_device());
  const ProgramRun run = bench.run(
      "click 201\n"
      "choose " + bench.folder().file("data.bin") + "\nclick 4102\n"
      "click 4101\nset 1701 100\nclick 5703\nclick 227\nwait 20000\n" + results_script() +
      "set 1121 cal_b.xml\nset 1122 77\nclick 4121\nclick 5703\nclick 227\nwait 20000\n" + results_script());
  const std::vector<Bytes> frames = bench.stop_device();
  EXPECT_EQ(run.exit_code, 0) << run.err;
  ASSERT_EQ(frames.size(), 4u) << run.out;
  EXPECT_EQ(hex(frames[0]), hex(wire(command_frame(0x0A, 1, "DATA.BIN,300"))));
  EXPECT_EQ(hex(frames[1]), hex(wire(command_frame(0x0B, 2, "DATA.BIN"))));
  EXPECT_EQ(hex(frames[2]), hex(wire(command_frame(0x0C, 3, "CAL_B.XML,77"))));
  EXPECT_EQ(unwire(frames[3])[0], 0x0B) << "the status frame follows as step 2";
  for (size_t n = 0; n < 2; ++n)
    EXPECT_EQ(results(run, n), (std::vector<std::string>{success, success, " ", "---"})) << "sequence " << n;
}

TEST(EndToEndWorkflow, LatchResetRepeatsUntilTheCycleCountIsUsedUp) {
  E2eBench bench;
  // Five successful answers, then the device refuses.
  ASSERT_TRUE(bench.start_device("0x09 rsp=0x01 times=5\n0x09 rsp=0x04\n"));
  const ProgramRun run = bench.run(
      "click 201\n"
      "set 1091 3\nclick 4091\nclick 227\nwait 20000\nget 1091\nget 2401\n"
      "# the fifth answer succeeds and counts down; the sixth is refused and ends it\n"
      "set 1091 5\nclick 4091\nclick 227\nwait 20000\nget 1091\nget 2401\n");
  const std::vector<Bytes> frames = bench.stop_device();
  EXPECT_EQ(run.exit_code, 0) << run.err;
  ASSERT_EQ(frames.size(), 6u) << run.out;
  // The user's Send and three repeats, each a new frame with the next seq_no;
  // then a new Send (seq_no 5) and one repeat.
  for (uint16_t i = 0; i < 6; ++i)
    EXPECT_EQ(hex(frames[i]), hex(wire(command_frame(0x09, static_cast<uint16_t>(i + 1), nullptr)))) << i;
  EXPECT_EQ(run.values(1091), (std::vector<std::string>{"0", "4"}));
  EXPECT_EQ(run.values(2401), (std::vector<std::string>{success, "RSP=Invalid FCS detected(0x04)"}));
}

TEST(EndToEndWorkflow, UntickedChainBoxesStopAfterTheFirstFrame) {
  E2eBench bench;
  TempFolder device_files;
  device_files.write("cal_a.xml", std::string(10, 'a'));
  bench.folder().write("cal_data.xml", std::string(5, 'c'));
  ASSERT_TRUE(bench.start_device("", {"--folder", device_files.path()}));
  std::string script = "click 201\nchoose " + bench.folder().file("cal_data.xml") + "\nclick 4152\n";
  // Each chain box unticked before its command's builder, whose preset
  // follows the box: Kermit and the follow-on frames stay off.
  const int chains[][2] = {{5151, 4151}, {5161, 4161}, {5141, 4141}, {5121, 4121}, {5101, 4101}, {5271, 4271}};
  // The step wait preset by Start File Transfer (6000 ms) is cut to keep the test short.
  for (const auto& c : chains)
    script += "click " + std::to_string(c[0]) + "\nclick " + std::to_string(c[1]) +
              "\nset 1701 100\nchecked 5703\nclick 227\nwait 20000\nget 2401\nget 2501\n";
  const ProgramRun run = bench.run(script);
  const std::vector<Bytes> frames = bench.stop_device();
  EXPECT_EQ(run.exit_code, 0) << run.err;
  const uint8_t codes[] = {0x0F, 0x10, 0x0E, 0x0C, 0x0A, 0x79};
  ASSERT_EQ(frames.size(), std::size(codes)) << run.out;
  for (size_t i = 0; i < std::size(codes); ++i) EXPECT_EQ(unwire(frames[i])[0], codes[i]) << i;
  EXPECT_EQ(run.values(5703), std::vector<std::string>(std::size(codes), "0"));
  EXPECT_EQ(run.values(2401), std::vector<std::string>(std::size(codes), success));
  EXPECT_EQ(run.values(2501), std::vector<std::string>(std::size(codes), " "));
}

}  // namespace
}  // namespace tessaril::test

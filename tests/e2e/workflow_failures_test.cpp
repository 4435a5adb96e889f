// Faults on the line, played by the simulated BUC and by a port that cannot
// be opened: what the engineer sees, and that a failed step ends its chain.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/e2e_harness.h"

namespace tessaril::test {
namespace {

TEST(EndToEndWorkflow, UnsuccessfulAndDamagedAnswersEndTheirChains) {
  E2eBench bench;
  bench.folder().write("cal_data.xml", std::string(64, 'c'));
  TempFolder device_files;  // empty: Get Calibration File has nothing to announce
  ASSERT_TRUE(bench.start_device(
      "0x02 fault=bad-crc\n"
      "0x0F rsp=0x04\n"
      "0x10 fault=short\n"
      "0x79 rsp=0x01 data=\"cal_a.bin,1234\"\n",
      {"--folder", device_files.path()}));
  const std::string step = "click 227\nwait 20000\nget 2401\nget 2501\n";
  const ProgramRun run = bench.run(
      "click 201\n"
      "choose " + bench.folder().file("cal_data.xml") + "\nclick 4152\nchoose " +
      bench.folder().file("cal_data.xml") + "\nclick 4162\n" +
      "click 4021\n" + step +                 // a spoiled CRC
      "click 4151\nclick 5703\n" + step +     // refused: no Start File Transfer follows
      "click 4161\nclick 5703\n" + step +     // a short answer
      "click 4141\nclick 5703\n" + step +     // nothing to announce
      "click 4271\nclick 5703\n" + step +     // an announcement of no calibration file
      "get 1121\n" +
      "click 4011\n" + step);                 // and the line still works
  const std::vector<Bytes> frames = bench.stop_device();
  EXPECT_EQ(run.exit_code, 0) << run.err;

  const uint8_t codes[] = {0x02, 0x0F, 0x10, 0x0E, 0x79, 0x01};
  ASSERT_EQ(frames.size(), std::size(codes)) << run.out;
  for (size_t i = 0; i < std::size(codes); ++i) EXPECT_EQ(unwire(frames[i])[0], codes[i]) << i;
  const std::vector<std::string> results = run.values(2401);
  ASSERT_EQ(results.size(), std::size(codes));
  EXPECT_EQ(results[0], "CRC_NG");
  EXPECT_EQ(results[1], "RSP=Invalid FCS detected(0x04)");
  EXPECT_EQ(results[2], "Ans_RCV_ERR");
  EXPECT_EQ(results[3], "RSP=File recieve fail(0x08)");
  EXPECT_EQ(results[4], "RSP=Success(0x01)") << "the device's answer was good; its announcement was not";
  EXPECT_EQ(results[5], "RSP=Success(0x01)");
  EXPECT_EQ(run.values(2501), std::vector<std::string>(std::size(codes), " ")) << "no chain went on to step 2";
  EXPECT_EQ(run.value(1121), "*");
}

TEST(EndToEndWorkflow, MissingAnswerShowsNoAnsAndEndsTheSequence) {
  if (!program_has_fast_timeouts()) GTEST_SKIP() << "the program has no --fast-timeouts: three reads of 38.4 s";
  E2eBench bench;
  ASSERT_TRUE(bench.start_device("0x0F fault=no-answer times=1\n"));
  bench.folder().write("cal_data.xml", std::string(64, 'c'));
  const ProgramRun run = bench.run(
      "click 201\n"
      "choose " + bench.folder().file("cal_data.xml") + "\nclick 4152\n"
      "click 4151\nclick 5703\nclick 227\nwait 60000\nget 2401\nget 2501\n"
      "# the next Send starts afresh at step 1\n"
      "click 227\nwait 60000\nget 2401\nget 2501\nget 2601\n",
      {"--fast-timeouts"});
  const std::vector<Bytes> frames = bench.stop_device();
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.values(2401), (std::vector<std::string>{"No_Ans", "RSP=Success(0x01)"}));
  EXPECT_EQ(run.values(2501), (std::vector<std::string>{" ", "RSP=Success(0x01)"}));
  ASSERT_EQ(frames.size(), 4u) << run.out;
  EXPECT_EQ(unwire(frames[0])[0], 0x0F);
  EXPECT_EQ(unwire(frames[1])[0], 0x0F);
  EXPECT_EQ(unwire(frames[2])[0], 0x0A);
  EXPECT_EQ(unwire(frames[3])[0], 0x0B);
}

TEST(EndToEndWorkflow, APortThatCannotBeOpenedWritesShortAndReturnToMenuStopsIt) {
  E2eBench bench;
  bench.use_missing_port();
  const ProgramRun run = bench.run(
      "click 201\n"
      "list 225\n"
      "click 4011\nclick 227\n"
      "# every write is short and Frame 1 goes again: the link never gets idle\n"
      "wait 1500\nget 2401\n",
      {}, 60000);
  EXPECT_FALSE(run.timed_out);
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.count("timeout"), 1) << run.out;
  EXPECT_EQ(run.value(2401), " ") << "a short write is no answer";
  const std::vector<std::string> hex_lines = run.list(225);
  ASSERT_FALSE(hex_lines.empty());
  EXPECT_NE(hex_lines.front().find("no-such-port"), std::string::npos) << hex_lines.front();
  for (const std::string& line : hex_lines) EXPECT_EQ(line.find("Snd:"), std::string::npos) << line;
}

}  // namespace
}  // namespace tessaril::test

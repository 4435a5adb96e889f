// Test plans against the simulated BUC: the example plan passing and failing,
// its JUnit report read as a CI server reads it, a loop of exchanges with its
// time per exchange, and a malformed line in an included file.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/e2e_harness.h"
#include "support/junit_check.h"

namespace tessaril::test {
namespace {

const std::string example_plan = TESSARIL_SOURCE_DIR "/examples/get_commands_plan.txt";

// The number of the plan's line that starts with `prefix` after `after`.
int line_of(const std::string& text, const std::string& after, const std::string& prefix) {
  std::istringstream in(text);
  int n = 0;
  bool seen = false;
  for (std::string line; std::getline(in, line);) {
    ++n;
    seen = seen || line == after;
    if (seen && line.rfind(prefix, 0) == 0) return n;
  }
  return 0;
}

// The example plan against a device whose folder has a calibration file.
ProgramRun run_example(E2eBench& bench, const std::string& scenario) {
  TempFolder device_files;
  device_files.write("BUC_CAL.XML", "<calibration/>\n");
  if (!bench.start_device(scenario, {"--folder", device_files.path()})) return {};
  ProgramRun run = bench.run(TempFolder::read(example_plan), {"--junit", "report.xml"});
  bench.stop_device();
  return run;
}

TEST(EndToEndTestPlan, TheExamplePlanPassesOnTheSimulatorWithAValidReport) {
  E2eBench bench;
  const ProgramRun run = run_example(bench, "");
  EXPECT_EQ(run.exit_code, 0) << run.out << run.err;
  EXPECT_EQ(run.count("30 passed, 0 failed"), 1) << run.out;
  EXPECT_EQ(run.out.find("FAIL"), std::string::npos) << run.out;

  const std::string xml = TempFolder::read(bench.folder().file("report.xml"));
  std::string problems;
  ASSERT_TRUE(junit_valid(xml, problems)) << problems << xml;
  EXPECT_EQ(xml_values(xml, "//testsuite/@tests"), std::vector<std::string>{"15"});
  EXPECT_EQ(xml_values(xml, "//testsuite/@failures"), std::vector<std::string>{"0"});
  EXPECT_EQ(xml_values(xml, "//testcase[1]/@name"), std::vector<std::string>{"Get Fault Status"});
  // Each case carries its own exchange, and only it.
  const auto out = xml_values(xml, "//testcase[@name='Get Heart Beat']/system-out");
  ASSERT_EQ(out.size(), 1u);
  EXPECT_NE(out[0].find(" Rcv:HB=1\n"), std::string::npos) << out[0];
  EXPECT_EQ(out[0].find("FAULT="), std::string::npos) << out[0];
}

TEST(EndToEndTestPlan, AnAnswerTheScenarioSpoilsFailsItsLineAndItsCase) {
  E2eBench bench;
  const ProgramRun run = run_example(bench, "0x02 rsp=0x04\n");
  EXPECT_EQ(run.exit_code, 3) << run.out << run.err;
  EXPECT_EQ(run.count("29 passed, 1 failed"), 1) << run.out;
  const int line = line_of(TempFolder::read(example_plan), "case Get PA Power", "expect frame1");
  ASSERT_GT(line, 0);
  const std::string failure = "FAIL script line " + std::to_string(line) +
                              ": frame1 (2401) held \"RSP=Invalid FCS detected(0x04)\", expected \"RSP=Success(0x01)\"";
  EXPECT_EQ(run.count(failure), 1) << run.out;

  const std::string xml = TempFolder::read(bench.folder().file("report.xml"));
  std::string problems;
  ASSERT_TRUE(junit_valid(xml, problems)) << problems << xml;
  EXPECT_EQ(xml_values(xml, "//testsuite/@failures"), std::vector<std::string>{"1"});
  EXPECT_EQ(xml_values(xml, "//testcase[failure]/@name"), std::vector<std::string>{"Get PA Power"});
  EXPECT_EQ(xml_values(xml, "//failure/@message"), std::vector<std::string>{failure});
}

// "225:HH:MM:SS.mmm Snd: ..." lines: the seconds of the day of each.
std::vector<double> send_times(const ProgramRun& run) {
  std::vector<double> times;
  for (const std::string& line : run.list(225)) {
    int h = 0, m = 0, s = 0, ms = 0;
    char kind[4] = {};
    if (std::sscanf(line.c_str(), "%d:%d:%d.%d %3s", &h, &m, &s, &ms, kind) == 5 && std::string(kind) == "Snd")
      times.push_back(h * 3600 + m * 60 + s + ms / 1000.0);
  }
  return times;
}

TEST(EndToEndTestPlan, AHundredExchangesInALoopAtThePaceOfTheDialogs) {
  E2eBench bench;
  ASSERT_TRUE(bench.start_device());
  const ProgramRun run = bench.run(
      "set port 1\nclick ENTER\n"
      "repeat 100\n"
      "  click \"Get Fault Status\"\n  click Send\n  wait 20000\n  expect frame1 RSP=Success(0x01)\n"
      "end\n",
      {"--trace"});
  const std::vector<Bytes> frames = bench.stop_device();
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.count("100 passed, 0 failed"), 1) << run.err;
  EXPECT_EQ(frames.size(), 100u);
  const std::vector<double> sent = send_times(run);
  ASSERT_EQ(sent.size(), 100u);
  const double per_exchange = (sent.back() - sent.front()) / 99;
  std::printf("100 exchanges of Get Fault Status: %.3f s per exchange, whole run %.1f s\n", per_exchange,
              run.elapsed_ms / 1000.0);
  RecordProperty("seconds_per_exchange", std::to_string(per_exchange));
  // The dialogs' own pauses (100 ms after Send and after each of the two link
  // events) and the threads' polling make about 0.31 s; a loop or a wait
  // that polled coarsely would show here (0.48 s and more before).
  EXPECT_LT(per_exchange, 0.45);
  EXPECT_GT(per_exchange, 0.25);  // three pauses of 100 ms are the floor
}

TEST(EndToEndTestPlan, AMalformedLineInAnIncludedFileStopsThePlanBeforeAnythingIsSent) {
  E2eBench bench;
  ASSERT_TRUE(bench.start_device());
  ::mkdir(bench.folder().file("common").c_str(), 0755);
  bench.folder().write("common/exchange.txt", "click \"Get Fault Status\"\nclick Send\nwait 20000\n");
  bench.folder().write("common/checks.txt", "expect frame1 RSP=Success(0x01)\n\nexpect-list text FAULT\n");
  const ProgramRun run = bench.run(
      "set port 1\nclick ENTER\n"
      "include common/exchange.txt\n"
      "include common/checks.txt\n");
  const std::vector<Bytes> frames = bench.stop_device();
  EXPECT_EQ(run.exit_code, 2);
  EXPECT_NE(run.err.find("script line 4: in " + bench.folder().file("common/checks.txt") + " line 3: "),
            std::string::npos)
      << run.err;
  EXPECT_TRUE(frames.empty());
  EXPECT_EQ(run.out, "");

  // A report that could not be written is found before anything runs, too.
  ASSERT_TRUE(bench.start_device());
  const ProgramRun unwritable = bench.run("set port 1\nclick ENTER\ninclude common/exchange.txt\n",
                                          {"--junit", bench.folder().file("no/such/folder/report.xml")});
  EXPECT_EQ(unwritable.exit_code, 2);
  EXPECT_NE(unwritable.err.find("cannot write the JUnit report"), std::string::npos) << unwritable.err;
  EXPECT_TRUE(bench.stop_device().empty());
}

}  // namespace
}  // namespace tessaril::test

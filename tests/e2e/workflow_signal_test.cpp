// The program stopped by a signal in the middle of a Kermit transfer: the
// transfer is cancelled as "KerTrns Quit" cancels it, its ending is shown and
// logged, the JUnit report is written, and the exit code names the signal.
#include <gtest/gtest.h>

#include <signal.h>

#include <random>
#include <string>
#include <vector>

#include "e2e/e2e_harness.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "support/child_process.h"
#include "support/junit_check.h"

namespace tessaril::test {
namespace {

// Bytes the repeat prefix cannot fold: the transfer takes its full line time.
std::string noise(size_t n, unsigned seed) {
  std::mt19937 random(seed);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(random());
  return s;
}

TEST(EndToEndSignal, ASignalDuringATransferCancelsItAndFinishesLogAndReport) {
  struct Row {
    int signal_number;
    bool send;
    const char* word;
    const char* ending;  // the log's line of the ending
  } rows[] = {
      {SIGINT, false, "RCV_BREAK", "Kermit receive ended: RCV_BREAK 0x208000"},
      {SIGTERM, true, "SND_BREAK", "Kermit send ended: SND_BREAK 0x108000"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.word);
    E2eBench bench;
    const std::string device = bench.folder().file("device");
    platform::make_folders(device + "/");
    bench.folder().write("device/cal_b.xml", noise(40000, 1));
    const std::string path = bench.folder().write("cal_data.xml", noise(40000, 2));
    // A 9600-baud line: either transfer takes about a minute.
    ASSERT_TRUE(bench.start_device("", {"--folder", device, "--baud", "9600"}));
    const std::string plan = bench.folder().write(
        "plan.txt", "case transfer\nclick 201\n" +
                        std::string(row.send ? "choose " + path + "\nclick 4152\nclick 4151\n" : "click 4141\n") +
                        "click 227\nwait 120000\nget 2701\n");
    ChildIo io;
    io.folder = bench.folder().path();
    io.stdout_path = bench.folder().file("program.out");
    io.stderr_path = bench.folder().file("program.err");
    const pid_t pid =
        spawn_child({program_binary(), "--headless", "--trace", "--script", plan, "--junit", "report.xml"}, io);
    ASSERT_GT(pid, 0);
    const char* moving = row.send ? "sending CAL_DATA.XML" : "receiving CAL_B.XML";
    const int64_t give_up = platform::monotonic_ms() + 30000;
    while (TempFolder::read(io.stdout_path).find(moving) == std::string::npos && platform::monotonic_ms() < give_up)
      platform::sleep_ms(20);
    ASSERT_EQ(::kill(pid, row.signal_number), 0);
    const int64_t signalled = platform::monotonic_ms();
    bool timed_out = false;
    const int code = wait_child(pid, 60000, timed_out);
    const std::string out = TempFolder::read(io.stdout_path);
    ASSERT_FALSE(timed_out) << out;
    EXPECT_EQ(code, 128 + row.signal_number) << TempFolder::read(io.stderr_path);
    EXPECT_LT(platform::monotonic_ms() - signalled, 20000) << "the transfer was not stopped at once";
    EXPECT_NE(out.find(std::string("2701=") + row.word), std::string::npos) << out;
    EXPECT_NE(out.find("stopping"), std::string::npos) << "the caption said it was taken";

    const std::string report = TempFolder::read(bench.folder().file("report.xml"));
    std::string problems;
    EXPECT_TRUE(junit_valid(report, problems)) << problems << report;
    const std::string why = row.signal_number == SIGINT ? "stopped by SIGINT" : "stopped by SIGTERM";
    EXPECT_NE(report.find(why), std::string::npos) << report;

    std::string log;
    for (const std::string& name : platform::find_files(bench.folder().file("cmd_log"), "Clog*.txt"))
      log += TempFolder::read(bench.folder().file("cmd_log/" + name));
    EXPECT_NE(log.find(row.ending), std::string::npos) << log;
    if (!row.send) {
      EXPECT_LT(platform::file_size(bench.folder().file("CAL_B.XML")), 0);
      EXPECT_LT(platform::file_size(bench.folder().file("CAL_B.XML.part")), 0);
    }
  }
}

}  // namespace
}  // namespace tessaril::test

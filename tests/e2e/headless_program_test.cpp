// The program's headless operation as the tools that drive it see it: the
// command line, scripts from a file or from standard input, what is printed,
// the exit codes, and the closing at the end of the input.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "e2e/e2e_harness.h"
#include "support/child_process.h"
#include "platform/clock.h"

namespace tessaril::test {
namespace {

struct ShellRun {
  int exit_code = -1;
  std::string out, err;
};

// Runs the program in `folder` with `args`, its standard input from `input`.
// COM1 leads nowhere, so no real serial port of the machine is touched.
ShellRun run_with_input(const TempFolder& folder, const std::string& args, const std::string& input) {
  folder.write("buc_setup.ini", "[ports]\nCOM1=" + folder.file("no-port") + "\n");
  folder.write("stdin.txt", input);
  // No display, whatever the machine has: the GUI must not open here.
  const std::string command = "cd '" + folder.path() + "' && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout 120 '" +
                              program_binary() + "' " + args +
                              " < stdin.txt > stdout.txt 2> stderr.txt";
  const int status = std::system(command.c_str());
  ShellRun r;
  r.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.out = TempFolder::read(folder.file("stdout.txt"));
  r.err = TempFolder::read(folder.file("stderr.txt"));
  return r;
}

TEST(EndToEndHeadless, GetFaultStatusPrintsItsResponse) {
  E2eBench bench;
  ASSERT_TRUE(bench.start_device());
  ProgramRun run = bench.run(
      "# as the README shows it\n"
      "click 201\n"
      "click 4011\n"
      "click 227\n"
      "wait\n"
      "get 2401\n");
  std::vector<Bytes> frames = bench.stop_device();
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.out, "idle\n2401=RSP=Success(0x01)\n");
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(hex(frames[0]), hex(wire(command_frame(0x01, 1, nullptr))));
}

TEST(EndToEndHeadless, TracePrintsTrafficAndResultsAsTheyHappen) {
  E2eBench bench;
  ASSERT_TRUE(bench.start_device());
  ProgramRun run = bench.run("click 201\nclick 4011\nclick 227\nwait\n", {"--trace"});
  bench.stop_device();
  EXPECT_EQ(run.exit_code, 0) << run.err;
  // Opening the dialog puts "*" into the result fields; Send clears them.
  EXPECT_EQ(run.values(2401).front(), "*");
  EXPECT_EQ(run.values(2401).back(), "RSP=Success(0x01)");
  std::vector<std::string> hex_lines = run.list(225);
  ASSERT_EQ(hex_lines.size(), 2u) << run.out;
  EXPECT_NE(hex_lines[0].find("Snd: 01 00 00 01 00 00 A9 78 C0"), std::string::npos) << hex_lines[0];
  EXPECT_NE(hex_lines[1].find("Rcv: 81"), std::string::npos) << hex_lines[1];
  EXPECT_EQ(run.list(226).size(), 2u) << run.out;
  // Every traced line comes before the wait ends.
  EXPECT_EQ(run.out.substr(run.out.size() - 5), "idle\n");
}

TEST(EndToEndHeadless, StandardInputScriptAndTextsInBothCodePages) {
  TempFolder folder;
  ShellRun run = run_with_input(folder, "--headless",
                                "get 1001\n"
                                "set 1001 7\n"
                                "get 1001\n"
                                "click 201\n"
                                "set 1111 データ.XML\n"
                                "get 1111\n"
                                "checked 5101\n"
                                "shown 4211\n"
                                "echo done\n");
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.out, "1001=1\n1001=7\n1111=データ.XML\n5101=1\n4211=0\ndone\n");
}

TEST(EndToEndHeadless, ChooseFeedsTheOpenFileDialog) {
  TempFolder folder;
  const std::string file = folder.write("cal01.xml", "12345");
  ShellRun run = run_with_input(folder, "--headless",
                                "click 201\n"
                                "choose " + file + "\n"
                                "click 4102\n"
                                "get 2102\n"
                                "get 2103\n"
                                "choose -\n"
                                "click 4102\n"
                                "get 2102\n");
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.out, "2102=CAL01.XML\n2103=5\n2102=CAL01.XML\n");
}

TEST(EndToEndHeadless, MalformedScriptFileRunsNothing) {
  E2eBench bench;
  ASSERT_TRUE(bench.start_device());
  ProgramRun run = bench.run("click 201\nclick 4011\nclick 227\nwait\nget2401\n");
  std::vector<Bytes> frames = bench.stop_device();
  EXPECT_EQ(run.exit_code, 2);
  EXPECT_NE(run.err.find("script line 5"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("get2401"), std::string::npos) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_TRUE(frames.empty());  // checked whole before anything ran
}

TEST(EndToEndHeadless, MalformedLineOnStandardInputStopsThereAndCloses) {
  TempFolder folder;
  ShellRun run = run_with_input(folder, "--headless", "get 1001\nclick 201\nwait 5000\nset 1081\nsleep soon\nget 1081\n");
  EXPECT_EQ(run.exit_code, 2);
  EXPECT_EQ(run.out, "1001=1\nidle\n");
  EXPECT_NE(run.err.find("script line 5"), std::string::npos) << run.err;
}

TEST(EndToEndHeadless, CommandLineWithoutHeadlessOrWithNonsense) {
  TempFolder folder;
  ShellRun gui = run_with_input(folder, "", "");
  EXPECT_EQ(gui.exit_code, 2);
#ifdef TESSARIL_HAS_QT
  EXPECT_NE(gui.err.find("no display"), std::string::npos) << gui.err;
  EXPECT_EQ(gui.err.find('\n'), gui.err.size() - 1) << "one line: " << gui.err;
#else
  EXPECT_NE(gui.err.find("GUI is not built"), std::string::npos) << gui.err;
#endif
  EXPECT_NE(gui.err.find("--headless"), std::string::npos) << gui.err;

  ShellRun unknown = run_with_input(folder, "--headless --color", "");
  EXPECT_EQ(unknown.exit_code, 2);
  EXPECT_NE(unknown.err.find("--color"), std::string::npos) << unknown.err;

  ShellRun missing = run_with_input(folder, "--headless --script", "");
  EXPECT_EQ(missing.exit_code, 2);

  ShellRun unreadable = run_with_input(folder, "--headless --script no-such-script.txt", "");
  EXPECT_EQ(unreadable.exit_code, 2);
  EXPECT_NE(unreadable.err.find("no-such-script.txt"), std::string::npos) << unreadable.err;

  ShellRun help = run_with_input(folder, "--help", "");
  EXPECT_EQ(help.exit_code, 0);
  EXPECT_NE(help.out.find("--script FILE"), std::string::npos);
}

TEST(EndToEndHeadless, CloseEndsTheProgramAndLaterLinesFail) {
  TempFolder folder;
  // A line read while the port dialog is still closing is served by it.
  ShellRun run = run_with_input(folder, "--headless", "close\nsleep 2500\nget 1001\n");
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_NE(run.err.find("script line 3: no dialog is open"), std::string::npos) << run.err;
  EXPECT_EQ(run.out, "");
  // A script still busy (not reading input) when the dialogs are gone did
  // not run to its end: that fails, after the player's grace of 5 s.
  ShellRun busy = run_with_input(folder, "--headless", "close\nsleep 9000\nget 1001\n");
  EXPECT_EQ(busy.exit_code, 1);
  EXPECT_NE(busy.err.find("the dialogs ended before the script did"), std::string::npos) << busy.err;
  EXPECT_EQ(busy.out, "");
}

TEST(EndToEndHeadless, EmptyInputClosesTheDialogsAndExitsZero) {
  TempFolder folder;
  ShellRun empty = run_with_input(folder, "--headless", "");
  EXPECT_EQ(empty.exit_code, 0) << empty.err;
  // With the command dialog left open the program still ends by itself.
  ShellRun open = run_with_input(folder, "--headless", "click 201\n# end without Return to Menu\n");
  EXPECT_EQ(open.exit_code, 0) << open.err;
  EXPECT_EQ(open.out, "");
}

TEST(EndToEndHeadless, EndsWhenTheDialogsAreGoneThoughInputStaysOpen) {
  // A tool that writes "close" and keeps its end of the pipe open must not
  // keep the program waiting for more.
  TempFolder folder;
  int in[2];
  ASSERT_EQ(pipe(in), 0);
  ASSERT_EQ(fcntl(in[1], F_SETFD, FD_CLOEXEC), 0);
  ChildIo io;
  io.stdin_fd = in[0];
  io.stdout_path = folder.file("out.txt");
  const pid_t pid = spawn_child({program_binary(), "--headless"}, io);
  ASSERT_GT(pid, 0);
  close(in[0]);
  const std::string script = "get 1001\nclose\n";
  ASSERT_EQ(write(in[1], script.data(), script.size()), static_cast<ssize_t>(script.size()));

  bool timed_out = false;
  const int code = wait_child(pid, 60000, timed_out);
  close(in[1]);
  ASSERT_FALSE(timed_out) << "the program kept waiting for input";
  EXPECT_EQ(code, 0);
  EXPECT_EQ(TempFolder::read(folder.file("out.txt")), "1001=1\n");
}

}  // namespace
}  // namespace tessaril::test

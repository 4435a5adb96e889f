// Kermit transfers end to end: the real program, headless, against the
// simulator playing the device's Kermit side on a pseudo-terminal. Files are
// compared byte for byte on the other side; a transfer that did not deliver
// the whole file under its full name never shows a success word.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "e2e/e2e_harness.h"
#include "platform/files.h"

namespace tessaril::test {
namespace {

const char* const success = "RSP=Success(0x01)";

// Binary content with runs, control bytes, 8th-bit bytes and the prefix
// characters of the protocol: what makes an encoder or decoder slip.
std::string test_content(size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string s(size, '\0');
  for (size_t i = 0; i < size; ++i) {
    const unsigned pick = random() % 8;
    s[i] = pick == 0 ? '#' : pick == 1 ? '~' : pick == 2 ? '&' : static_cast<char>(random() & 0xFF);
    if (i % 97 < 12) s[i] = static_cast<char>(0xFF);  // runs for the repeat prefix
  }
  return s;
}

using Bench = DeviceBench;

std::string results_script() { return "get 2401\nget 2501\nget 2601\nget 2701\n"; }
std::vector<std::string> results(const ProgramRun& run) {
  return {run.value(2401), run.value(2501), run.value(2601), run.value(2701)};
}

// Set Calibration File (file select 4152, builder 4151) of `path`, then Send.
std::string send_script(const std::string& path, const std::string& before_send = "") {
  return "click 201\nchoose " + path + "\nclick 4152\nclick 4151\n" + before_send + "click 227\nwait 120000\n" +
         results_script();
}
// Get Calibration File (4141), then Send.
std::string receive_script(const std::string& before_send = "") {
  return "click 201\nclick 4141\n" + before_send + "click 227\nwait 120000\n" + results_script();
}

struct LineCase {
  const char* what;
  const char* scenario;  // the device's Kermit settings for both transfers
  const char* tmo;       // Kermit_TMO: on a lossy line the device's time-outs must fit in it
};

// Each line fault, both directions: the file arrives identical and the
// sequence runs to its status frame.
TEST(EndToEndKermit, FilesMoveWholeBothWaysOverEveryKindOfLine) {
  const LineCase cases[] = {
      {"a clean line", "", "1000"},
      {"a lossy line", "kermit drop=3,7 corrupt=5 duplicate=4 lose=2\n", "5000"},
      {"block check 3, 8th-bit prefixing, no repeat prefix", "kermit check=3 qbin=on rept=off\n", "1000"},
      {"block check 2 and short packets", "kermit check=2 maxl=40\n", "1000"},
      {"an acknowledgement sent twice", "kermit duplicate=2,3,4,5,6\n", "1000"},
  };
  for (const LineCase& c : cases) {
    SCOPED_TRACE(c.what);
    Bench bench;
    const std::string sent = test_content(6000, 1);
    const std::string received = test_content(5000, 2);
    const std::string path = bench.e2e.folder().write("cal_data.xml", sent);
    bench.e2e.folder().write("device/A_CAL.XML", received);
    ASSERT_TRUE(bench.start(c.scenario));
    const std::string tmo = std::string("set 1703 ") + c.tmo + "\n";
    const ProgramRun up = bench.e2e.run(send_script(path, tmo), {"--trace"});
    EXPECT_EQ(up.exit_code, 0) << up.err;
    EXPECT_EQ(results(up), (std::vector<std::string>{success, success, success, "SND_OK"})) << up.out;
    EXPECT_TRUE(bench.on_device("CAL_DATA.XML") == sent) << "the device's copy differs";
    EXPECT_NE(up.out.find("sending CAL_DATA.XML"), std::string::npos) << "the caption shows the progress";

    const ProgramRun down = bench.e2e.run(receive_script(tmo));
    EXPECT_EQ(down.exit_code, 0) << down.err;
    EXPECT_EQ(results(down), (std::vector<std::string>{success, success, success, "RCV_OK"})) << down.out;
    EXPECT_TRUE(bench.on_host("A_CAL.XML") == received) << "the host's copy differs";
    const std::string log = TempFolder::read(bench.e2e.folder().file("sim.out"));
    size_t completes = 0;
    for (size_t at = log.find(", complete"); at != std::string::npos; at = log.find(", complete", at + 1)) ++completes;
    EXPECT_EQ(completes, 2u) << "both transfers complete on the device's side";
  }
}

// The other chains of the file-transfer sequences: Start Upgrade Command,
// Get Calibration File Ex, Start File Transfer and Receive File by hand.
TEST(EndToEndKermit, UpgradeImageCalibrationExAndTransfersByHand) {
  Bench bench;
  const std::string image = test_content(9000, 3);
  const std::string path = bench.e2e.folder().write("image.pgm", image);
  bench.e2e.folder().write("device/cal_a.xml", test_content(100, 4));
  bench.e2e.folder().write("device/cal_b.gz", test_content(3000, 5));
  ASSERT_TRUE(bench.start(""));
  const ProgramRun run = bench.e2e.run(
      "click 201\nchoose " + path + "\nclick 4162\nclick 4161\nclick 227\nwait 120000\n" + results_script() +
      // Get Calibration File Ex of the second file (3272 picks it).
      "click 3272\nclick 4271\nclick 227\nwait 120000\n" + results_script() +
      // Receive File by hand: the name and size typed, then Send.
      "set 1121 cal_a.xml\nset 1122 100\nclick 4121\nclick 227\nwait 120000\n" + results_script() +
      // Start File Transfer by hand with the chosen image.
      "choose " + path + "\nclick 4102\nclick 4101\nclick 227\nwait 120000\n" + results_script());
  EXPECT_EQ(run.exit_code, 0) << run.err;
  const std::vector<std::string> all_2701 = run.values(2701);
  const std::vector<std::string> words(all_2701.end() - std::min<size_t>(4, all_2701.size()), all_2701.end());
  EXPECT_EQ(words, (std::vector<std::string>{"SND_OK", "RCV_OK", "RCV_OK", "SND_OK"})) << run.out;
  EXPECT_TRUE(bench.on_device("IMAGE.PGM") == image);
  EXPECT_TRUE(bench.on_host("CAL_B.GZ") == TempFolder::read(bench.device + "/cal_b.gz"));
  EXPECT_TRUE(bench.on_host("CAL_A.XML") == TempFolder::read(bench.device + "/cal_a.xml"));
}

struct FailureCase {
  const char* what;
  const char* scenario;
  bool send;
  const char* before_send;  // script lines between the builder and Send
  const char* word;         // what 2701 shows at the end
  bool status_frame;        // the failure is reported to the device with 0x0B
};

// A transfer that fails ends with its word, never a success word, the host
// keeps no file under the announced name, and with the next step's box
// ticked the device hears of the failure through the status frame.
TEST(EndToEndKermit, FailuresEndWithTheirWordAndNeverWithSuccess) {
  const FailureCase cases[] = {
      // Refused by the engine before anything is written: an engine failure.
      {"the device announces another size", "kermit size=99\n", false, "", "R_FILE_NG", true},
      {"the device sends another name", "kermit name=OTHER.XML\n", false, "", "R_FILE_NG", true},
      {"the device refuses the file", "kermit refuse=attributes\n", true, "", "S_FILE_NG", true},
      {"the smallest packets cannot carry the name whole", "kermit maxl=10\n", true, "", "SND_NG", true},
      {"Trns TMO err, sending", "", true, "click 5704\n", "SND_CANSEL", true},
      {"Trns TMO err, receiving", "", false, "click 5704\n", "RCV_CANCEL", true},
      {"an error packet from the device", "kermit error-after=3\n", false, "", "RCV_NG", true},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.what);
    Bench bench;
    const std::string path = bench.e2e.folder().write("cal_data.xml", test_content(8000, 6));
    bench.e2e.folder().write("device/cal_b.xml", test_content(8000, 7));
    ASSERT_TRUE(bench.start(c.scenario));
    const ProgramRun run = bench.e2e.run(c.send ? send_script(path, c.before_send) : receive_script(c.before_send));
    const std::vector<Bytes> frames = bench.e2e.stop_device();
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.value(2701), c.word) << run.out;
    // Whatever the ending, a file under the announced name is the device's file whole.
    if (!c.send && bench.exists_on_host("CAL_B.XML")) {
      EXPECT_TRUE(bench.on_host("CAL_B.XML") == TempFolder::read(bench.device + "/cal_b.xml"));
    }
    bool status_sent = false;
    for (const Bytes& f : frames) status_sent |= !f.empty() && f[0] == 0x0B;
    EXPECT_EQ(status_sent, c.status_frame);
  }
}

// "KerTrns Quit" and the silence limit on a slow line; "Return to Menu" in
// the middle of a transfer closes the program promptly.
TEST(EndToEndKermit, QuitSilenceAndReturnToMenuDuringATransfer) {
  Bench bench;
  const std::string path = bench.e2e.folder().write("cal_data.xml", test_content(60000, 8));
  bench.e2e.folder().write("device/cal_b.xml", test_content(60000, 9));
  ASSERT_TRUE(bench.start("kermit silent-after=4 times=2\n", {"--baud", "9600"}));
  const ProgramRun run = bench.e2e.run(
      // The device falls silent: Kermit_TMO 100 ends the transfer at the
      // first silent read, 1000 after the sixth; each shows its time-out word.
      send_script(path, "set 1703 100\n") + receive_script("set 1703 1000\n") +
      // Slow transfers on a 9600-baud line, quit after a second.
      "click 4151\nclick 227\nsleep 1500\nclick 232\nwait 60000\nget 2701\n"
      "click 4141\nclick 227\nsleep 1500\nclick 232\nwait 60000\nget 2701\n"
      // Return to Menu in the middle of one.
      "click 4151\nclick 227\nsleep 1000\nclick 223\n",
      {}, 90000);
  EXPECT_EQ(run.exit_code, 0) << run.err;
  const std::vector<std::string> words = run.values(2701);
  ASSERT_GE(words.size(), 4u) << run.out;
  EXPECT_EQ(words[0], "SND_TMO");
  EXPECT_EQ(words[1], "RCV_TMO");
  EXPECT_EQ(words[2], "SND_BREAK");
  EXPECT_EQ(words[3], "RCV_BREAK");
  EXPECT_LT(run.elapsed_ms, 60000) << "Return to Menu did not close the transfer promptly";
}

}  // namespace
}  // namespace tessaril::test

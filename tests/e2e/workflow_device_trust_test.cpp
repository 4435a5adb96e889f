// A device that cannot be trusted, end to end: the real program, headless,
// against the simulator playing a hostile or faulty BUC on a pseudo-terminal.
// Each group is one table: what the device does (a scenario) and how the
// program must end. A received file is never put anywhere but under the name
// asked for, whole; an answer is never taken for another command's; every
// transfer ends with a word; one lost packet is recovered; and good transfers
// are reported as good.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/e2e_harness.h"
#include "platform/files.h"

namespace tessaril::test {
namespace {

const char* const success = "RSP=Success(0x01)";
const char* const invalid_fcs = "RSP=Invalid FCS detected(0x04)";

std::string binary_content(size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string s(size, '\0');
  for (char& c : s) c = static_cast<char>(random() & 0xFF);
  return s;
}

std::string digest(const std::string& bytes);

struct Bench : DeviceBench {
  // The simulator's line for its last transfer ("kermit send ...").
  std::string device_report() {
    e2e.stop_device();
    std::istringstream in(TempFolder::read(e2e.folder().file("sim.out")));
    std::string last;
    for (std::string line; std::getline(in, line);)
      if (line.rfind("kermit ", 0) == 0) last = line;
    return last;
  }
  // The files of the working folder with what they hold (a link: its
  // target), without the bench's own.
  std::map<std::string, std::string> host_files() const {
    static const char* const own[] = {"sim.out",    "sim.err",      "program.out", "program.err",
                                      "script.txt", "scenario.txt", "buc"};
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(e2e.folder().path())) {
      const std::string name = entry.path().filename().string();
      if (std::find(std::begin(own), std::end(own), name) != std::end(own)) continue;
      if (entry.is_symlink()) {
        files[name] = "a link to " + std::filesystem::read_symlink(entry.path()).string();
      } else if (entry.is_regular_file()) {
        files[name] = digest(TempFolder::read(entry.path().string()));
      }
    }
    return files;
  }
};

// Bytes in a line: their number and an FNV-1a hash.
std::string digest(const std::string& bytes) {
  uint64_t hash = 14695981039346656037ull;
  for (char c : bytes) hash = (hash ^ static_cast<uint8_t>(c)) * 1099511628211ull;
  return std::to_string(bytes.size()) + " bytes, hash " + std::to_string(hash);
}

// Every "ID=TEXT" line the script's gets printed, in order.
std::vector<std::string> shown(const ProgramRun& run) {
  std::vector<std::string> lines;
  std::istringstream in(run.out);
  for (std::string line; std::getline(in, line);)
    if (line.size() > 5 && line[4] == '=' && std::isdigit(static_cast<unsigned char>(line[0]))) lines.push_back(line);
  return lines;
}

// The command dialog's steps. A chain: its builder, Send, the wait, and the
// Kermit result field.
const std::string open_dialog = "click 201\n";
std::string send_step(const std::string& path) {
  return "choose " + path + "\nclick 4152\nclick 4151\nclick 227\nwait 60000\nget 2701\n";
}
const std::string receive_step = "click 4141\nclick 227\nwait 60000\nget 2701\n";
std::string plain_step(const char* button) {
  return std::string("click ") + button + "\nclick 227\nwait 20000\nget 2401\n";
}

template <typename Row>
std::string row_name(const testing::TestParamInfo<Row>& info) {
  return info.param.name;
}

// --- Files on receive --------------------------------------------------------

struct ReceiveRow {
  const char* name;
  const char* scenario;
  bool part_is_a_link = false;    // CAL_B.XML.part links to a file outside the folder
  bool asked_may_arrive = false;  // the file asked for may be put in place, whole
};
void PrintTo(const ReceiveRow& r, std::ostream* os) { *os << r.name; }

// The device offers cal_b.xml; the working folder holds a good CAL_B.XML
// already. Whatever the device does, the ending is a failure word, no file
// is replaced or added, no .part is left, and nothing outside is written.
class ReceiveFileSafety : public testing::TestWithParam<ReceiveRow> {};

TEST_P(ReceiveFileSafety, FailsWithAWordAndLeavesTheFolderAsItWas) {
  const ReceiveRow& r = GetParam();
  Bench bench;
  const std::string good = "<calibration unit=\"good\"/>\r\n";
  const std::string offered = binary_content(3000, 1);
  bench.e2e.folder().write("CAL_B.XML", good);
  bench.e2e.folder().write("device/cal_b.xml", offered);
  TempFolder outside;
  const std::string target = outside.write("target.txt", "outside the working folder\n");
  if (r.part_is_a_link) std::filesystem::create_symlink(target, bench.e2e.folder().file("CAL_B.XML.part"));
  const std::map<std::string, std::string> before = bench.host_files();
  ASSERT_TRUE(bench.start(r.scenario));

  const ProgramRun run = bench.e2e.run(open_dialog + receive_step, {}, 60000);
  EXPECT_EQ(run.exit_code, 0) << run.err;
  const std::string word = run.value(2701);
  EXPECT_TRUE(word == "R_FILE_NG" || word == "RCV_NG") << "2701 shows \"" << word << "\"";
  std::map<std::string, std::string> after = bench.host_files();
  if (r.asked_may_arrive && after["CAL_B.XML"] == digest(offered)) after["CAL_B.XML"] = digest(good);
  EXPECT_EQ(after, before) << "a file replaced, added or left behind";
  EXPECT_EQ(digest(TempFolder::read(target)), digest("outside the working folder\n")) << "written through the link";
}

const std::string long_name = "CAL_B_" + std::string(50, 'X') + ".XML";  // 60 characters
const std::string long_name_scenario = "kermit name=" + long_name + "\n";

const ReceiveRow receive_rows[] = {
    {"AFileNotAskedForFirst", "kermit extra-file=buc_setup.ini\n"},
    {"AFileNotAskedForAfter", "kermit extra-file-after=OTHER.XML\n", false, true},
    {"AnotherName", "kermit name=OTHER.XML\n"},
    {"AnotherCase", "kermit name=cal_b.xml\n"},
    {"ASixtyCharacterName", long_name_scenario.c_str()},
    {"AttributesAgainstTheAnnouncement", "kermit size=20\n"},
    {"AnAnnouncementTheFileContradicts", "0x0E data=\"cal_b.xml,99\"\n"},
    {"AFileThatNeverEnds", "kermit endless\n"},
    {"APartFileThatIsALink", "", true},
};
INSTANTIATE_TEST_SUITE_P(EndToEnd, ReceiveFileSafety, testing::ValuesIn(receive_rows), row_name<ReceiveRow>);

// --- Answers -----------------------------------------------------------------

struct AnswerRow {
  const char* name;
  const char* scenario;
  std::string script;  // after the dialog is open
  std::vector<std::string> shown;
  bool fast_timeouts = false;
  std::vector<std::string> device_args = {};
};
void PrintTo(const AnswerRow& r, std::ostream* os) { *os << r.name; }

// Each command shows its own answer: a copy of an earlier answer, a late
// one, or Kermit bytes in front of it are passed over.
class AnswerBelongsToItsCommand : public testing::TestWithParam<AnswerRow> {};

TEST_P(AnswerBelongsToItsCommand, EachCommandShowsItsOwnAnswer) {
  const AnswerRow& r = GetParam();
  Bench bench;
  bench.e2e.folder().write("device/cal_b.xml", binary_content(500, 2));
  const std::string big = bench.e2e.folder().write("big.bin", binary_content(60000, 3));
  ASSERT_TRUE(bench.start(r.scenario, r.device_args));
  std::string script = r.script;
  for (size_t at; (at = script.find("BIG")) != std::string::npos;) script.replace(at, 3, big);
  const ProgramRun run =
      bench.e2e.run(open_dialog + script,
                    r.fast_timeouts ? std::vector<std::string>{"--fast-timeouts"} : std::vector<std::string>{}, 60000);
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(shown(run), r.shown) << run.out;
}

const std::string fault_status = plain_step("4011"), pa_power = plain_step("4021");
std::string frame1(const std::string& text) { return "2401=" + text; }

const AnswerRow answer_rows[] = {
    {"AnAnswerSentTwice",
     "0x01 fault=twice:300 times=1\n0x02 rsp=0x04\n",
     fault_status + pa_power + fault_status,
     {frame1(success), frame1(invalid_fcs), frame1(success)}},
    {"ThePreviousAnswerInFront",
     "0x02 rsp=0x04 fault=stale-answer\n",
     fault_status + pa_power + fault_status,
     {frame1(success), frame1(invalid_fcs), frame1(success)}},
    // The late answer comes after the host's three reads (about 5.7 s with the fast time-outs).
    {"AnAnswerAfterTheHostGaveUp",
     "0x01 fault=late:7500 times=1\n0x02 rsp=0x04\n",
     fault_status + pa_power + fault_status,
     {frame1("No_Ans"), frame1(invalid_fcs), frame1(success)},
     true},
    {"KermitPacketsInFront",
     "0x02 rsp=0x04 fault=stale-kermit\n",
     fault_status + pa_power + fault_status,
     {frame1(success), frame1(invalid_fcs), frame1(success)}},
    // The 0x81 in front of the 0x8E is no announcement: the chain goes on with the 0x8E.
    {"AStaleAnswerInAChain",
     "0x0E fault=stale-answer\n",
     fault_status + "click 4141\nclick 227\nwait 60000\nget 2401\nget 2701\n",
     {frame1(success), frame1(success), "2701=RCV_OK"}},
    // Left in the middle of a slow send, the device NAKs on its timer and
    // gives up; its packets wait for the next session's first answer.
    {"NaksLeftByReturnToMenu",
     "kermit timer=300\n",
     "choose BIG\nclick 4152\nclick 4151\nclick 227\nsleep 1000\nclick 223\nsleep 2500\nclick 201\n" + fault_status,
     {frame1(success)},
     false,
     {"--baud", "9600"}},
};
INSTANTIATE_TEST_SUITE_P(EndToEnd, AnswerBelongsToItsCommand, testing::ValuesIn(answer_rows), row_name<AnswerRow>);

// --- Endings -----------------------------------------------------------------

struct EndingRow {
  const char* name;
  const char* fault;  // scenario lines for the second transfer
  bool send;
  std::vector<std::string> words;  // what 2701 may show at the end
};
void PrintTo(const EndingRow& r, std::ostream* os) { *os << r.name; }

// A good transfer, then one that goes wrong: the second ends with a word of
// its own, never with nothing or the first one's word left standing.
class EveryTransferEndsWithAWord : public testing::TestWithParam<EndingRow> {};

TEST_P(EveryTransferEndsWithAWord, TheSecondTransferShowsItsOwnWord) {
  const EndingRow& r = GetParam();
  Bench bench;
  const std::string path = bench.e2e.folder().write("cal_data.xml", binary_content(2000, 4));
  bench.e2e.folder().write("device/cal_b.xml", binary_content(2000, 5));
  ASSERT_TRUE(bench.start(std::string("kermit times=1\n0x0E fault=none times=1\n") + r.fault));
  const std::string step = r.send ? send_step(path) : receive_step;
  const ProgramRun run = bench.e2e.run(open_dialog + step + step, {}, 60000);
  EXPECT_EQ(run.exit_code, 0) << run.err;
  const std::vector<std::string> words = run.values(2701);
  ASSERT_EQ(words.size(), 2u) << run.out;
  EXPECT_EQ(words[0], r.send ? "SND_OK" : "RCV_OK") << "the first transfer is good";
  EXPECT_NE(std::find(r.words.begin(), r.words.end(), words[1]), r.words.end()) << "2701 shows \"" << words[1] << "\"";
}

const std::vector<std::string> send_silence = {"SND_TMO", "SND_NG"}, receive_silence = {"RCV_TMO", "RCV_NG"};
const std::string long_announcement = "0x0E data=\"CAL_B_" + std::string(24, 'X') + ".XML,2000\"\n";  // 34 characters

const EndingRow ending_rows[] = {
    {"SendToASilentDevice", "kermit silent-after=3\n", true, send_silence},
    {"ReceiveFromASilentDevice", "kermit silent-after=3\n", false, receive_silence},
    {"SendToADeviceThatNeverStarts", "kermit silent-after=0\n", true, send_silence},
    {"ReceiveFromADeviceThatNeverStarts", "kermit silent-after=0\n", false, receive_silence},
    // The device has the file; its acknowledgement of B is lost, the repeated B gets it.
    {"SendWithTheAckOfBLost", "kermit drop-b-ack\n", true, {"SND_OK"}},
    {"ReceiveWithTheAckOfBLost", "kermit lose-b-ack\n", false, {"RCV_OK"}},
    {"SendOnANoisyLine", "kermit corrupt=3,4,5,6,7,8,9,10,11,12\n", true, send_silence},
    {"ReceiveOnANoisyLine", "kermit corrupt=3,4,5,6,7,8,9,10,11,12\n", false, receive_silence},
    // Refused before the transfer: limits of the announcement.
    {"ReceiveAnAnnouncedNameTooLong", long_announcement.c_str(), false, {"R_FILE_NG", "RCV_NG", "INI_NG"}},
    {"ReceiveAnAnnouncedSizeTooLarge", "0x0E data=\"cal_b.xml,1000000\"\n", false, {"R_FILE_NG", "RCV_NG", "INI_NG"}},
};
INSTANTIATE_TEST_SUITE_P(EndToEnd, EveryTransferEndsWithAWord, testing::ValuesIn(ending_rows), row_name<EndingRow>);

// --- Recovery and good transfers ---------------------------------------------

struct GoodRow {
  const char* name;
  const char* scenario;
  bool send;
  const char* file = "cal_b.xml";  // its name in the sending side's folder
  bool no_device_retry = false;    // the device never had to repeat a packet
};
void PrintTo(const GoodRow& r, std::ostream* os) { *os << r.name; }

// Transfers that can succeed do: one packet or acknowledgement lost in
// either direction with a device that retries after 2 or 3 s only (the host
// repeats or NAKs itself), no attribute packets, the smallest packets with
// names that fill them exactly, and a send-init right behind the answer.
class GoodTransfersEndWell : public testing::TestWithParam<GoodRow> {};

TEST_P(GoodTransfersEndWell, TheFileArrivesWholeAndTheWordSaysSo) {
  const GoodRow& r = GetParam();
  Bench bench;
  const std::string content = binary_content(1500, 6);
  platform::make_folders(bench.e2e.folder().file("upload/"));
  const std::string path = bench.e2e.folder().write("upload/" + std::string(r.file), content);
  bench.e2e.folder().write(std::string("device/") + r.file, content);
  ASSERT_TRUE(bench.start(r.scenario));
  const ProgramRun run = bench.e2e.run(open_dialog + (r.send ? send_step(path) : receive_step), {}, 60000);
  const std::string report = bench.device_report();
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.value(2701), r.send ? "SND_OK" : "RCV_OK") << report;
  std::string upper = r.file;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_TRUE((r.send ? bench.on_device(upper) : bench.on_host(upper)) == content) << "the copy differs";
  if (r.no_device_retry) {
    EXPECT_NE(report.find(" 0 retries"), std::string::npos) << report;
  }
}

const GoodRow good_rows[] = {
    // Device packets: S/Y, F/Y, A/Y, then data; host packets alike.
    {"SendTimer2sTheDevicesAckLost", "kermit timer=2000 drop=4\n", true},
    {"SendTimer2sAPacketLost", "kermit timer=2000 lose=4\n", true},
    {"SendTimer3sTheDevicesAckLost", "kermit timer=3000 drop=4\n", true},
    {"SendTimer3sAPacketLost", "kermit timer=3000 lose=4\n", true},
    {"ReceiveTimer2sAPacketLost", "kermit timer=2000 drop=4\n", false},
    {"ReceiveTimer2sTheHostsAckLost", "kermit timer=2000 lose=4\n", false},
    {"ReceiveTimer3sAPacketLost", "kermit timer=3000 drop=4\n", false},
    {"ReceiveTimer3sTheHostsAckLost", "kermit timer=3000 lose=4\n", false},
    {"SendWithoutAttributes", "kermit attributes=off\n", true},
    {"ReceiveWithoutAttributes", "kermit attributes=off\n", false},
    // With block check 1 a packet holds MAXL - 3 data characters.
    {"SendMaxl10", "kermit maxl=10 check=1\n", true, "cal.xml"},
    {"SendMaxl11", "kermit maxl=11 check=1\n", true, "cal1.xml"},
    {"SendMaxl12", "kermit maxl=12 check=1\n", true, "cal12.xml"},
    {"ReceiveMaxl10", "kermit maxl=10 check=1\n", false, "cal.xml"},
    {"ReceiveMaxl11", "kermit maxl=11 check=1\n", false, "cal1.xml"},
    {"ReceiveMaxl12", "kermit maxl=12 check=1\n", false, "cal12.xml"},
    {"ReceiveTheSendInitInTheAnswersWrite", "kermit with-answer timer=2000\n", false, "cal_b.xml", true},
};
INSTANTIATE_TEST_SUITE_P(EndToEnd, GoodTransfersEndWell, testing::ValuesIn(good_rows), row_name<GoodRow>);

}  // namespace
}  // namespace tessaril::test

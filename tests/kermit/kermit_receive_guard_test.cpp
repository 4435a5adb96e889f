// What a receive refuses: a file header with another name, a second file, a
// size that contradicts the expected one, bytes beyond the size. Each
// refusal is an error packet that fits the device's MAXL, and leaves the
// folder as it was: no file of either name created, the good files byte for
// byte, no ".part" file.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "kermit/kermit_files.h"
#include "kermit/kermit_packet.h"
#include "kermit_harness.h"
#include "platform/files.h"
#include "support/temp_folder.h"

namespace tessaril::kermit {
namespace {

using tessaril::test::ScopedCurrentFolder;
using tessaril::test::TempFolder;
using test::build_packet;
using test::deliver;
using test::make_engine;
using test::parse_sent;

// One packet of the device after its send-init (numbered from 1).
struct Packet {
  char type;
  std::string data;
};

struct Refusal {
  const char* label;
  int64_t expected_size;  // the device's announcement; -1 unknown
  std::vector<Packet> packets;
  char refused;  // the type of the packet the engine refuses
  int16_t outcome;
  const char* cal_after;  // CAL.XML afterwards; null: the good one, untouched
};

const std::string long_name = "CAL.XML" + std::string(53, 'X');  // 60 characters

const Refusal refusals[] = {
    {"another name", -1, {{'F', "OTHER.XML"}}, 'F', KO_NAME_REFUSED, nullptr},
    {"another case", -1, {{'F', "cal.xml"}}, 'F', KO_NAME_REFUSED, nullptr},
    {"a longer name", -1, {{'F', long_name}}, 'F', KO_NAME_REFUSED, nullptr},
    {"a shorter name", -1, {{'F', "CAL.XM"}}, 'F', KO_NAME_REFUSED, nullptr},
    {"the name and a zero byte", -1, {{'F', "CAL.XML#@"}}, 'F', KO_NONE, nullptr},
    {"a second file", -1, {{'F', "CAL.XML"}, {'D', "abc"}, {'Z', ""}, {'F', "OTHER.XML"}}, 'F', KO_EXTRA_FILE, nullptr},
    {"a size other than announced", 5, {{'F', "CAL.XML"}, {'A', "\"\"B81!7"}}, 'A', KO_SIZE_REFUSED, nullptr},
    {"the size past 32 bits", 100, {{'F', "CAL.XML"}, {'A', "1*4294967396"}}, 'A', KO_SIZE_REFUSED, nullptr},
    {"a size in K other than announced", 5000, {{'F', "CAL.XML"}, {'A', "!!9"}}, 'A', KO_SIZE_REFUSED, nullptr},
    {"attributes that disagree", -1, {{'F', "CAL.XML"}, {'A', "1!5"}, {'A', "1!6"}}, 'A', KO_SIZE_REFUSED, nullptr},
    {"beyond the attributes' size", -1, {{'F', "CAL.XML"}, {'A', "1!5"}, {'D', "abcdef"}}, 'D', KO_OVERRUN, nullptr},
    {"beyond the expected size", 4, {{'F', "CAL.XML"}, {'D', "ab"}, {'D', "cde"}}, 'D', KO_OVERRUN, nullptr},
    {"a run beyond the size", 5, {{'F', "CAL.XML"}, {'D', "~~x~~x"}}, 'D', KO_OVERRUN, nullptr},
    {"text, twice its size", -1, {{'F', "CAL.XML"}, {'A', "\"#AMJ1!3"}, {'D', "abcdefg"}}, 'D', KO_OVERRUN, nullptr},
};

// The device's send-init: MAXL 94; MAXL 10; MAXL 10 with CRCs forced on
// every packet (the error packet then carries check 3 too).
struct Device {
  const char* init;
  int maxl;
  int chk;
};
const Device devices[] = {{"~! @-#Y1~,?", 94, 1}, {"*! @-#Y1~,?", 10, 1}, {"*! @-#Y5~,?", 10, 3}};

class KermitReceiveGuard : public ::testing::Test {
 protected:
  void SetUp() override { test::current_line = &line; }
  void TearDown() override { test::current_line = nullptr; }

  std::map<std::string, std::string> listing() const {
    std::map<std::string, std::string> files;
    for (const std::string& name : platform::find_files(folder.path(), "*")) files[name] = TempFolder::read(name);
    return files;
  }

  test::MemoryLine line;
  TempFolder folder;
  ScopedCurrentFolder in_folder{folder.path()};
};

TEST_F(KermitReceiveGuard, RefusalsAreErrorPacketsAndLeaveTheFolderAsItWas) {
  for (const Device& device : devices) {
    for (const Refusal& row : refusals) {
      SCOPED_TRACE(std::string(row.label) + ", MAXL " + std::to_string(device.maxl) + ", check " +
                   std::to_string(device.chk));
      for (const std::string& name : platform::find_files(folder.path(), "*")) platform::remove_file(name);
      // Good files under the name asked for and under the device's name.
      folder.write("CAL.XML", "the good one");
      folder.write("OTHER.XML", "another good one");
      folder.write("cal.xml", "a good one in lower case");
      std::map<std::string, std::string> before = listing();
      if (row.cal_after) before["CAL.XML"] = row.cal_after;

      line = test::MemoryLine{};
      auto e = make_engine(2, "CAL.XML");
      e->k.expected_size = row.expected_size;
      ASSERT_EQ(deliver(*e, build_packet('S', 0, device.init, device.chk)), KR_OK);
      int result = KR_OK;
      char refused = 0;
      int seq = 1;
      for (; seq <= static_cast<int>(row.packets.size()) && result == KR_OK; ++seq) {
        const Packet& p = row.packets[static_cast<size_t>(seq - 1)];
        result = deliver(*e, build_packet(p.type, seq, p.data, device.chk));
        if (result != KR_OK) refused = p.type;
      }
      EXPECT_EQ(result, KR_FAIL);
      EXPECT_EQ(refused, row.refused);
      EXPECT_EQ(e->r.file_outcome, row.outcome);
      const std::string wire = line.sent[2].back();
      ASSERT_EQ(wire[3], 'E');
      EXPECT_LE(unchar(wire[1]), device.maxl) << "an error packet longer than the device takes";
      EXPECT_FALSE(parse_sent(wire, device.chk).data.empty());
      // A device that goes on regardless gets the error packet again.
      for (const Packet& p : std::vector<Packet>{{'F', "CAL.XML"}, {'D', "evil"}, {'Z', ""}}) {
        EXPECT_EQ(deliver(*e, build_packet(p.type, seq - 1, p.data, device.chk)), KR_FAIL) << p.type;
        EXPECT_EQ(line.sent[2].back(), wire);
      }
      EXPECT_FALSE(output_file_open(&e->k));
      EXPECT_EQ(closefile(&e->k, 'D', 2), 0);  // the link's close after a failure
      EXPECT_EQ(listing(), before);
    }
  }
}

// Without attribute packets nothing is made up: the size stays unknown, and
// a file that is not the expected size does not take the good file's place.
TEST_F(KermitReceiveGuard, WithoutAttributesTheExpectedSizeDecides) {
  for (auto [expected, outcome] :
       {std::pair{int64_t{-1}, KO_COMPLETE}, {int64_t{3}, KO_COMPLETE}, {int64_t{5}, KO_WRONG_SIZE}}) {
    folder.write("CAL.XML", "the good one");
    line = test::MemoryLine{};
    auto e = make_engine(2, "CAL.XML");
    e->k.expected_size = expected;
    deliver(*e, build_packet('S', 0, "~! @-#Y1~"));  // no CAPAS: no attribute packets
    deliver(*e, build_packet('F', 1, "CAL.XML"));
    deliver(*e, build_packet('D', 2, "abc"));
    ASSERT_EQ(deliver(*e, build_packet('Z', 3, "")), KR_OK) << expected;
    EXPECT_EQ(deliver(*e, build_packet('B', 4, "")), KR_DONE) << expected;
    EXPECT_EQ(e->r.file_outcome, outcome) << expected;
    EXPECT_EQ(e->k.announced_size, -1);
    EXPECT_EQ(TempFolder::read("CAL.XML"), outcome == KO_COMPLETE ? "abc" : "the good one") << expected;
    EXPECT_EQ(platform::file_size("CAL.XML.part"), -1);
  }
}

// The ".part" file is made new: a stale one is replaced, never appended to,
// and one that is a symbolic link refuses the file, its target untouched.
TEST_F(KermitReceiveGuard, PartialFileIsCreatedNewNeverThroughALink) {
  platform::make_folders(folder.file("elsewhere"));
  const std::string target = folder.write("elsewhere/precious", "precious");
  struct Case {
    const char* label;
    bool link;
    int result;
  } cases[] = {{"a stale .part", false, KR_OK}, {"a .part that is a link", true, KR_FAIL}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    platform::remove_file("CAL.XML");
    platform::remove_file("CAL.XML.part");
    if (!c.link) {
      folder.write("CAL.XML.part", "stale bytes");
    } else {
#ifdef _WIN32
      continue;  // symbolic links need privileges on Windows
#else
      ASSERT_EQ(::symlink(target.c_str(), "CAL.XML.part"), 0);
#endif
    }
    line = test::MemoryLine{};
    auto e = make_engine(2, "CAL.XML");
    deliver(*e, build_packet('S', 0, devices[0].init));
    deliver(*e, build_packet('F', 1, "CAL.XML"));
    int result = deliver(*e, build_packet('D', 2, "new"));
    if (result == KR_OK) result = deliver(*e, build_packet('Z', 3, ""));
    if (result == KR_OK && deliver(*e, build_packet('B', 4, "")) != KR_DONE) result = KR_FAIL;
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(TempFolder::read(target), "precious");
    EXPECT_EQ(TempFolder::read("CAL.XML"), c.link ? "" : "new");
    if (!c.link) {
      EXPECT_EQ(platform::file_size("CAL.XML.part"), -1);
    }
  }
}

}  // namespace
}  // namespace tessaril::kermit

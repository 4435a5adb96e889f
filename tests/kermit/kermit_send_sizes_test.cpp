// The sending side's sizes and fields: sizes past 32 bits announced whole,
// a file that changed since its size was announced sent with a discard, and
// data fields filled to exactly what the device's MAXL allows.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>

#include "kermit/kermit_files.h"
#include "kermit/kermit_packet.h"
#include "kermit_harness.h"
#include "support/temp_folder.h"

namespace tessaril::kermit {
namespace {

using tessaril::test::TempFolder;
using test::build_packet;
using test::deliver;
using test::Engine;
using test::make_engine;
using test::parse_sent;
using test::Sent;

class KermitSendSizes : public ::testing::Test {
 protected:
  void SetUp() override { test::current_line = &line; }
  void TearDown() override {
    if (e) closefile(&e->k, 'D', 1);
    test::current_line = nullptr;
  }
  // A sender of `path` under `name`, through the acknowledgement of its 'F'
  // by a device with this send-init.
  void start(const std::string& path, const char* name = "DATA.BIN", const std::string& init = "~! @-#Y1~,?") {
    line = test::MemoryLine{};
    e = make_engine(1, name, path.c_str());
    ASSERT_EQ(kermit_engine(KA_SEND, &e->k, 0, 0, "", &e->r), KR_OK);
    ASSERT_EQ(ack(init), KR_OK);
  }
  int ack(const std::string& data = "") { return deliver(*e, build_packet('Y', e->k.send_seq, data, e->k.bct)); }
  Sent last() { return parse_sent(line.sent[1].back(), e->k.bct); }

  test::MemoryLine line;
  TempFolder folder;
  std::unique_ptr<Engine> e;
};

// A sparse file of 2 GiB + 100 and one of 4 GiB + 100 bytes: the size
// attribute carries every digit, never the low 32 bits or a negative number.
TEST_F(KermitSendSizes, SizesPast32BitsAreAnnouncedWhole) {
  for (auto [size, field] : {std::pair{int64_t{2147483748}, "1*2147483748"}, {int64_t{4294967396}, "1*4294967396"}}) {
    const std::string path = folder.write("big.bin", "");
    std::filesystem::resize_file(path, static_cast<std::uintmax_t>(size));
    start(path);
    ASSERT_EQ(ack("DATA.BIN"), KR_OK);
    const Sent a = last();
    ASSERT_EQ(a.type, 'A');
    EXPECT_NE(a.data.find(field), std::string::npos) << a.data;
    EXPECT_EQ(e->r.filesize, size);
    EXPECT_EQ(e->k.announced_size, size);
    KermitResult read_back;
    gattr(nullptr, a.data.c_str(), &read_back);
    EXPECT_EQ(read_back.filesize, size);
  }
}

// The file changes between the attribute packet and its end: the 'Z' tells
// the device to discard what it got, and the outcome says why.
TEST_F(KermitSendSizes, FileThatChangedSinceItsSizeWasAnnouncedIsDiscarded) {
  const std::string content(300, 'c');
  for (auto [label, now, disposition, outcome] : {std::tuple{"unchanged", content, "", KO_COMPLETE},
                                                  {"shrunk", content.substr(0, 120), "D", KO_CHANGED},
                                                  {"grown", content + "more", "D", KO_CHANGED}}) {
    const std::string path = folder.write("data.bin", content);
    start(path);
    ASSERT_EQ(ack("DATA.BIN"), KR_OK);
    ASSERT_EQ(last().type, 'A');
    {  // written in place: the sender's open file sees the change
      std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
      f.write(now.data(), static_cast<std::streamsize>(now.size()));
    }
    std::filesystem::resize_file(path, now.size());
    int result = ack("Y");
    while (result == KR_OK && last().type == 'D') result = ack();
    ASSERT_EQ(result, KR_OK) << label;
    EXPECT_EQ(last().type, 'Z') << label;
    EXPECT_EQ(last().data, disposition) << label;
    ASSERT_EQ(ack(), KR_OK);
    EXPECT_EQ(e->r.file_outcome, outcome) << label;
  }
}

// Without attribute packets no size is announced, and none is made up.
TEST_F(KermitSendSizes, WithoutAttributesNoSizeIsAnnounced) {
  start(folder.write("data.bin", "abc"), "DATA.BIN", "~! @-#Y1~$");  // CAPAS without attributes
  ASSERT_EQ(ack("DATA.BIN"), KR_OK);
  EXPECT_EQ(last().type, 'D');
  EXPECT_EQ(e->k.announced_size, -1);
  ASSERT_EQ(ack(), KR_OK);
  EXPECT_EQ(last().type, 'Z');
  EXPECT_EQ(last().data, "");
}

// The data field holds all that MAXL leaves beside SEQ, TYPE and the check:
// a name of exactly that length goes out whole, and so do data fields.
TEST_F(KermitSendSizes, NamesAndDataFillTheDevicesMaxlExactly) {
  for (auto [maxl, name, fits] : {std::tuple{'+', "ABCD.BIN", true},
                                  {',', "ABCDE.BIN", true},
                                  {'+', "ABCDE.BIN", false},
                                  {'*', "ABC.BIN", true}}) {
    SCOPED_TRACE(name);
    std::string init = "~! @-#Y1~,?";
    init[0] = maxl;
    line = test::MemoryLine{};
    std::string letters;
    for (int i = 0; i < 100; ++i) letters += static_cast<char>('a' + i % 26);
    e = make_engine(1, name, folder.write("data.bin", letters).c_str());
    kermit_engine(KA_SEND, &e->k, 0, 0, "", &e->r);
    ASSERT_EQ(ack(init), fits ? KR_OK : KR_FAIL);
    EXPECT_LE(unchar(line.sent[1].back()[1]), unchar(maxl));  // the error packet too
    if (!fits) continue;
    EXPECT_EQ(last().data, name);
    ASSERT_EQ(ack(name), KR_OK);
    if (last().type == 'A') {
      ASSERT_EQ(ack("Y"), KR_OK);
    }
    ASSERT_EQ(last().type, 'D');
    EXPECT_EQ(unchar(line.sent[1].back()[1]), unchar(maxl));
  }
}

}  // namespace
}  // namespace tessaril::kermit

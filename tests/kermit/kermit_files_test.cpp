// The file callbacks and the attribute packets, on real files.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#endif

#include <string>
#include <vector>

#include "kermit/kermit_files.h"
#include "kermit/kermit_packet.h"
#include "kermit_harness.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "support/temp_folder.h"

namespace tessaril::kermit {
namespace {

using test::build_packet;
using test::deliver;
using test::make_engine;
using test::parse_sent;
using tessaril::test::ScopedCurrentFolder;
using tessaril::test::TempFolder;

platform::LocalTime fixed_time() { return {2026, 3, 4, 5, 6, 7, 890}; }

class KermitFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    test::current_line = &line;
    platform::set_local_time_source(fixed_time);
  }
  void TearDown() override {
    platform::set_local_time_source(nullptr);
    closefile(k(), 'D', 1);
    closefile(k(), 'D', 2);
    test::current_line = nullptr;
  }
  KermitState* k() { return &e->k; }

  // Everything readfile delivers for the file with these bytes.
  std::vector<int> read_all(const std::string& bytes, bool binary) {
    std::string path = folder.write("in.bin", bytes);
    e = make_engine(1, "IN.BIN", path.c_str());
    e->k.file_binary = binary;
    EXPECT_EQ(openfile(k(), "IN.BIN", 1), 0);
    std::vector<int> out;
    for (int b; (b = readfile(k())) >= 0;) out.push_back(b);
    return out;
  }

  test::MemoryLine line;
  TempFolder folder;
  ScopedCurrentFolder in_folder{folder.path()};
  std::unique_ptr<test::Engine> e = make_engine(1);
};

TEST_F(KermitFiles, ReadfileBinaryAndText) {
  EXPECT_EQ(read_all("a\nb", false), (std::vector<int>{97, 13, 10, 98}));
  EXPECT_EQ(read_all("a\nb", true), (std::vector<int>{97, 10, 98}));
  std::string big(10000, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7);
  std::vector<int> got = read_all(big, true);  // across several refills of the 4096-byte buffer
  ASSERT_EQ(got.size(), big.size());
  for (size_t i = 0; i < big.size(); ++i) ASSERT_EQ(got[i], static_cast<uint8_t>(big[i])) << i;
  std::string lines(5000, '\n');  // every LF doubles: the refill leaves room for the pair
  EXPECT_EQ(read_all(lines, false).size(), 10000u);
}

TEST_F(KermitFiles, CallbacksOnClosedStreams) {
  char buf[4] = {};
  e->k.in_buf = buf;
  e->k.zinptr = buf;
  EXPECT_EQ(readfile(k()), -1);
  EXPECT_EQ(writefile(k(), "x", 1), -1);
  EXPECT_EQ(closefile(k(), 0, 1), 0);  // closing twice is harmless, as the link relies on
  EXPECT_EQ(closefile(k(), 0, 2), 0);
  EXPECT_EQ(closefile(k(), 0, 4), -1);
  EXPECT_EQ(openfile(k(), "X", 3), -1);
  EXPECT_EQ(reserved_cb(), -1);
}

TEST_F(KermitFiles, OpenfileClosesAStreamLeftOpenByAFailedTransfer) {
  ASSERT_EQ(openfile(k(), "FIRST.BIN", 2), 0);
  ASSERT_EQ(writefile(k(), "abc", 3), 0);
  ASSERT_EQ(openfile(k(), "SECOND.BIN", 2), 0);
  EXPECT_EQ(platform::file_size("FIRST.BIN.part"), -1);  // not whole: removed
  EXPECT_EQ(platform::file_size("FIRST.BIN"), -1);
  ASSERT_EQ(writefile(k(), "de", 2), 0);
  ASSERT_EQ(closefile(k(), 'Z', 2), 0);
  ASSERT_EQ(put_received_in_place(k()), 0);
  EXPECT_EQ(TempFolder::read("SECOND.BIN"), "de");
}

TEST_F(KermitFiles, ReceivedNamesThatAreRefused) {
  for (const char* bad : {"", ".", "..", "..x", "../x", "a/b", "a\\b", "C:x", "/abs", "a\x01", ".hidden", ".profile",
                          "A..B", "CAL.XML..", "a\x7f"}) {
    EXPECT_FALSE(safe_received_name(bad)) << bad;
    EXPECT_EQ(openfile(k(), bad, 2), -1) << bad;
  }
  EXPECT_EQ(platform::file_size(".hidden.part"), -1);
  for (const char* good : {"CAL.XML", "A.B.C", "x y", "CAL_01.GZ"}) EXPECT_TRUE(safe_received_name(good)) << good;
}

TEST_F(KermitFiles, QueryFile) {
  folder.write("Q.BIN", std::string(1234, 'q'));
  char date[20] = "junk";
  EXPECT_EQ(query_file(k(), "Q.BIN", nullptr, 20, 1, 1), -1);
  EXPECT_EQ(query_file(k(), "Q.BIN", date, 17, 1, 1), -1);
  EXPECT_STREQ(date, "");
  EXPECT_EQ(query_file(k(), "MISSING.BIN", date, 20, 1, 1), -1);
  EXPECT_EQ(query_file(k(), "q.bin", date, 20, 1, 1), 1234);  // found whatever its case
  EXPECT_STREQ(date, "20260304 05:06:07");
}

TEST_F(KermitFiles, GattrReadsTypeSizeAndDate) {
  KermitResult r;
  EXPECT_EQ(gattr(k(), "\"#AMJ", &r), 0);
  EXPECT_EQ(gattr(k(), "\"\"B8", &r), 1);
  EXPECT_EQ(gattr(k(), "\"!C", &r), -1);
  r.filesize = 7;
  EXPECT_EQ(gattr(k(), "1$1234!!2", &r), -1);
  EXPECT_EQ(r.filesize, 1234);
  EXPECT_EQ(gattr(k(), "!!2", &r), -1);
  EXPECT_EQ(r.filesize, 2048);
  EXPECT_EQ(gattr(k(), "1%  987x", &r), -1);
  EXPECT_EQ(r.filesize, 987);  // leading blanks, up to the first non-digit
  gattr(k(), "#9abcdefghijklmnopqrstuvwxy", &r);  // 25 characters
  EXPECT_STREQ(r.filedate, "abcdefghijklmnopqrst");
}

TEST_F(KermitFiles, GattrNeverReadsPastTheField) {
  KermitResult r;
  r.filesize = 5;
  EXPECT_EQ(gattr(k(), "1~12", &r), -1);  // a length of 94 with two characters left
  EXPECT_EQ(r.filesize, 12);
  // Sizes past 32 bits are read whole; past 63 bits they are no size.
  for (auto [field, size] : {std::pair{"1*2147483648", int64_t{2147483648}},
                             {"1*4294967396", int64_t{4294967396}},
                             {"!(4194304", int64_t{4294967296}},
                             {"139223372036854775807", INT64_MAX},
                             {"139223372036854775808", int64_t{5}},
                             {"!09007199254740992", int64_t{5}},  // 2^53 units of 1024
                             {"1?99999999999999999999999999999999999", int64_t{5}}}) {
    r.filesize = 5;
    EXPECT_EQ(gattr(nullptr, field, &r), -1) << field;
    EXPECT_EQ(r.filesize, size) << field;
  }
  EXPECT_EQ(gattr(k(), "\"", &r), -1);  // a tag without its length
  EXPECT_EQ(gattr(k(), "", &r), -1);
}

TEST_F(KermitFiles, SattrOfABinaryFile) {
  std::string path = folder.write("b.bin", std::string(1234, 'b'));
  e = make_engine(1, "B.BIN", path.c_str());
  e->k.cur_file_name = "B.BIN";
  ASSERT_EQ(sattr(k(), &e->r), 0);
  std::string want = std::string("\"\"B8") + "1$1234" + "#1" + "20260304 05:06:07" + "@ ";
  EXPECT_EQ(parse_sent(line.sent[1].back(), 1).data, want);
  EXPECT_EQ(e->r.filesize, 1234);
  EXPECT_STREQ(e->r.filedate, "20260304 05:06:07");
}

TEST_F(KermitFiles, SattrOfATextFileAndOfAVanishedOne) {
  std::string path = folder.write("t.txt", "hi\n");
  e = make_engine(1, "T.TXT", path.c_str());
  e->k.cur_file_name = "T.TXT";
  e->k.file_binary = 0;
  ASSERT_EQ(sattr(k(), &e->r), 0);
  EXPECT_EQ(parse_sent(line.sent[1].back(), 1).data.substr(0, 11), "\"#AMJ*!A1!3");

  e = make_engine(1, "GONE.BIN", folder.file("gone.bin").c_str());
  e->k.cur_file_name = "GONE.BIN";
  e->r.filesize = 99;
  ASSERT_EQ(sattr(k(), &e->r), 0);
  EXPECT_EQ(parse_sent(line.sent[1].back(), 1).data, "\"\"B8@ ");
  EXPECT_EQ(e->r.filesize, 99);
}

TEST_F(KermitFiles, FullDiskNeverLeavesAFileThatLooksComplete) {
#ifdef _WIN32
  GTEST_SKIP() << "a full disk is played by a POSIX file size limit";
#else
  // The disk is full after 16 bytes: a file size limit plays it (writes past
  // it fail with EFBIG instead of raising the signal).
  struct rlimit was {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &was), 0);
  auto* old_handler = ::signal(SIGXFSZ, SIG_IGN);
  struct rlimit full = was;
  full.rlim_cur = 16;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &full), 0);
  e = make_engine(2, "FULL.BIN");
  deliver(*e, build_packet('S', 0, "~! @-#Y1~,?"));
  deliver(*e, build_packet('F', 1, "FULL.BIN"));
  int result = deliver(*e, build_packet('D', 2, "~~x~~x"));
  if (result == KR_OK) result = deliver(*e, build_packet('Z', 3, ""));
  ::setrlimit(RLIMIT_FSIZE, &was);
  ::signal(SIGXFSZ, old_handler);
  EXPECT_EQ(result, KR_FAIL);
  std::string text = parse_sent(line.sent[2].back(), 1).data;
  EXPECT_TRUE(text == "Can't close file" || text == "Error writing data") << text;
  EXPECT_EQ(platform::file_size("FULL.BIN"), -1);
  EXPECT_EQ(platform::file_size("FULL.BIN.part"), -1);
  EXPECT_NE(e->r.file_outcome, KO_COMPLETE);
#endif
}

TEST_F(KermitFiles, AFolderCannotBeSent) {
  platform::make_folders(folder.file("dir"));
  e = make_engine(1, "DIR", folder.file("dir").c_str());
  EXPECT_EQ(openfile(k(), "DIR", 1), -1);
  EXPECT_FALSE(input_file_open(k()));
}

}  // namespace
}  // namespace tessaril::kermit

// Whole transfers: a sending and a receiving engine over an in-memory line
// that loses, damages, repeats and delays packets. The received file is the
// file sent, byte for byte, or the transfer fails and no file takes its name:
// never a silent difference.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "kermit/kermit_files.h"
#include "kermit_harness.h"
#include "platform/files.h"
#include "support/temp_folder.h"

namespace tessaril::kermit {
namespace {

using test::Engine;
using test::LineFaults;
using test::make_engine;
using test::MemoryLine;
using test::TransferRun;
using tessaril::test::ScopedCurrentFolder;
using tessaril::test::TempFolder;

struct Sample {
  const char* label;
  std::string bytes;
};

std::vector<Sample> samples() {
  std::mt19937 rng(2024);
  std::string every;
  for (int i = 0; i < 3 * 256; ++i) every += static_cast<char>(i % 256);
  std::string runs;
  while (runs.size() < 6000) runs.append(rng() % 300 + 1, static_cast<char>(rng() % 4 == 0 ? '~' : rng()));
  std::string text;
  for (int i = 0; i < 150; ++i) text += "line " + std::to_string(i) + ": #1 ~ & the quick brown fox\n";
  std::string random(9000, '\0');
  for (char& c : random) c = static_cast<char>(rng());
  return {{"every byte value", every}, {"empty", ""}, {"runs", runs}, {"text", text}, {"random binary", random}};
}

struct Options {
  int chk;
  bool eighth_bit;
  bool repeat;
};

class KermitTransfer : public ::testing::TestWithParam<std::tuple<int, bool, bool>> {
 protected:
  void SetUp() override {
    platform::make_folders(folder.file("send"));
    platform::make_folders(folder.file("recv"));
    in_recv = std::make_unique<ScopedCurrentFolder>(folder.file("recv"));
    test::current_line = &line;
  }
  void TearDown() override {
    closefile(nullptr, 'D', 1);
    KermitState k;
    closefile(&k, 'D', 2);
    test::current_line = nullptr;
  }

  Options options() const {
    auto [chk, eighth, repeat] = GetParam();
    return {chk, eighth, repeat};
  }

  // One transfer of `bytes` as DATA.BIN on a fresh line with these faults.
  TransferRun transfer(const std::string& bytes, const LineFaults& faults, unsigned seed, bool text = false) {
    line = MemoryLine{};
    line.faults = faults;
    line.rng.seed(seed);
    platform::remove_file("DATA.BIN");
    platform::remove_file("DATA.BIN.part");
    std::string path = folder.write("send/data.bin", bytes);
    sender = make_engine(1, "DATA.BIN", path.c_str());
    receiver = make_engine(2, "DATA.BIN");
    Options o = options();
    sender->k.bct = static_cast<int16_t>(o.chk);
    if (o.eighth_bit) sender->k.line_parity = 1;  // asks for 8th-bit prefixing
    if (!o.repeat) sender->k.rpt_prefix = receiver->k.rpt_prefix = ' ';
    if (text) sender->k.file_binary = 0;
    return test::run_transfer(*sender, *receiver);
  }

  // The received file is the sent one or nothing: whatever the run's fate.
  void expect_no_silent_difference(const std::string& bytes, const TransferRun& run, const char* label) {
    bool in_place = platform::file_size("DATA.BIN") >= 0;
    if (in_place) {
      EXPECT_EQ(TempFolder::read("DATA.BIN"), bytes) << label;
    }
    if (receiver->r.file_outcome == KO_COMPLETE) {
      EXPECT_TRUE(in_place) << label;
    }
    if (run.finished) {
      EXPECT_TRUE(in_place) << label;
      EXPECT_EQ(sender->r.file_outcome, KO_COMPLETE) << label;
    }
  }

  MemoryLine line;
  TempFolder folder;
  std::unique_ptr<ScopedCurrentFolder> in_recv;
  std::unique_ptr<Engine> sender, receiver;
};

TEST_P(KermitTransfer, CleanLineMovesEveryFileExactly) {
  for (const Sample& s : samples()) {
    TransferRun run = transfer(s.bytes, {}, 1);
    ASSERT_TRUE(run.finished) << s.label << " sender " << run.sender_result << " receiver " << run.receiver_result;
    EXPECT_EQ(TempFolder::read("DATA.BIN"), s.bytes) << s.label;
    EXPECT_EQ(platform::file_size("DATA.BIN.part"), -1) << s.label;
    EXPECT_EQ(sender->r.file_outcome, KO_COMPLETE);
    EXPECT_EQ(receiver->r.file_outcome, KO_COMPLETE);
    EXPECT_STREQ(receiver->r.file_name, "DATA.BIN");
    EXPECT_EQ(receiver->r.filesize, static_cast<int32_t>(s.bytes.size())) << s.label;
    EXPECT_EQ(sender->r.filesize, static_cast<int32_t>(s.bytes.size())) << s.label;
    EXPECT_EQ(receiver->r.bytes_done, static_cast<int32_t>(s.bytes.size())) << s.label;
    EXPECT_EQ(sender->r.bytes_done, static_cast<int32_t>(s.bytes.size())) << s.label;
    EXPECT_EQ(receiver->k.bct, options().chk);
    EXPECT_EQ(sender->k.ebqflg, options().eighth_bit ? 1 : 0);
    EXPECT_EQ(receiver->k.rpt_on, options().repeat ? 1 : 0);
  }
}

TEST_P(KermitTransfer, FaultyLineNeverDeliversADifferentFile) {
  LineFaults faults;
  faults.drop = 20;
  faults.duplicate = 10;
  faults.delay = 10;
  faults.bit_flip = 30;
  faults.insert = 15;
  faults.remove = 15;
  // A 6-bit sum misses some substituted bytes; the 12-bit sum and the CRC
  // catch every single one.
  if (options().chk > 1) faults.substitute = 30;
  int finished = 0, runs = 0, naks = 0;
  for (const Sample& s : samples()) {
    for (unsigned seed = 1; seed <= 4; ++seed) {
      TransferRun run = transfer(s.bytes, faults, seed * 7919u);
      expect_no_silent_difference(s.bytes, run, s.label);
      ++runs;
      finished += run.finished;
      for (const auto& p : line.sent[2]) naks += p.size() > 3 && p[3] == 'N';
    }
  }
  EXPECT_GT(naks, 0) << "the line damaged nothing";
  // The protocol recovers from most of the damage; a test that never gets a
  // file through would prove nothing.
  EXPECT_GE(finished * 2, runs) << finished << " of " << runs;
}

INSTANTIATE_TEST_SUITE_P(ChecksAndPrefixes, KermitTransfer,
                         ::testing::Combine(::testing::Values(1, 2, 3), ::testing::Bool(), ::testing::Bool()),
                         [](const auto& info) {
                           return "Check" + std::to_string(std::get<0>(info.param)) +
                                  (std::get<1>(info.param) ? "_8bit" : "_7bit") +
                                  (std::get<2>(info.param) ? "_Repeat" : "_NoRepeat");
                         });

class KermitTransferCases : public KermitTransfer {};

TEST_P(KermitTransferCases, TextFileArrivesWithTheSendersLineEnds) {
  std::string text = "one\ntwo\n\nthree";
  TransferRun run = transfer(text, {}, 1, true);
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(receiver->k.file_binary, 0);  // the type attribute said text
  EXPECT_EQ(TempFolder::read("DATA.BIN"), "one\r\ntwo\r\n\r\nthree");
}

TEST_P(KermitTransferCases, LineThatDiesMidwayLeavesTheGoodFileAlone) {
  folder.write("recv/DATA.BIN.keep", "");
  std::string big(20000, 'z');
  for (size_t i = 0; i < big.size(); i += 7) big[i] = static_cast<char>(i);
  // First a good copy arrives.
  ASSERT_TRUE(transfer("good", {}, 1).finished);
  line = MemoryLine{};
  std::string path = folder.write("send/data.bin", big);
  sender = make_engine(1, "DATA.BIN", path.c_str());
  receiver = make_engine(2, "DATA.BIN");
  line.fail_writes_after = 40;  // the port goes away after 40 packets
  TransferRun run = test::run_transfer(*sender, *receiver, 5);
  EXPECT_FALSE(run.finished);
  EXPECT_GT(receiver->r.bytes_done + receiver->k.out_buf_count, 0);  // it died after data arrived
  EXPECT_EQ(closefile(&receiver->k, 'D', 2), 0);  // the link's close after a failure
  EXPECT_EQ(TempFolder::read("DATA.BIN"), "good");
  EXPECT_EQ(platform::file_size("DATA.BIN.part"), -1);
}

TEST_P(KermitTransferCases, RefusedNameEndsBothSidesWithAnErrorPacket) {
  line = MemoryLine{};
  std::string path = folder.write("send/data.bin", "abc");
  sender = make_engine(1, "../DATA.BIN", path.c_str());
  receiver = make_engine(2, "DATA.BIN");
  TransferRun run = test::run_transfer(*sender, *receiver);
  EXPECT_FALSE(run.finished);
  EXPECT_EQ(run.receiver_result, KR_FAIL);
  EXPECT_EQ(platform::file_size(folder.file("DATA.BIN")), -1);
  // The sender takes the receiver's error packet as the end.
  int slot = -1;
  char* buf = rslot_get(&sender->k, &slot);
  int n = sender->k.readpkt(&sender->k, buf, 94);
  ASSERT_GT(n, 0);
  EXPECT_EQ(kermit_engine(KA_PACKET, &sender->k, slot, n, "", &sender->r), KR_FAIL);
}

TEST_P(KermitTransferCases, ReceiverCancelsTheFile) {
  std::string big(5000, 'c');
  for (size_t i = 0; i < big.size(); i += 3) big[i] = 'd';
  line = MemoryLine{};
  std::string path = folder.write("send/data.bin", big);
  sender = make_engine(1, "DATA.BIN", path.c_str());
  receiver = make_engine(2, "DATA.BIN");
  receiver->k.cancel = 1;
  TransferRun run = test::run_transfer(*sender, *receiver);
  EXPECT_TRUE(run.finished);
  EXPECT_EQ(sender->r.file_outcome, KO_CANCELLED);
  EXPECT_EQ(receiver->r.file_outcome, KO_DISCARDED);
  EXPECT_EQ(platform::file_size("DATA.BIN"), -1);
}

TEST_P(KermitTransferCases, SecondTransferStartsFromTheSetUpChoices) {
  ASSERT_TRUE(transfer("first", {}, 1, true).finished);
  std::string path = folder.write("send/data.bin", "second");
  prepare_kermit(&sender->k, &sender->r, &sender->b, "DATA.BIN", path.c_str(), 1);
  EXPECT_EQ(sender->k.bct, 1);
  EXPECT_EQ(sender->k.file_binary, 1);
  EXPECT_EQ(sender->k.ebqflg, 0);
  EXPECT_EQ(sender->k.rpt_on, 0);
}

INSTANTIATE_TEST_SUITE_P(Check3, KermitTransferCases, ::testing::Values(std::make_tuple(3, false, true)));

}  // namespace
}  // namespace tessaril::kermit

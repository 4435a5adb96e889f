// The protocol engine, one side at a time: the peer's packets are built by
// hand and every packet the engine answers with is looked at.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "kermit/kermit_encode.h"
#include "kermit/kermit_files.h"
#include "kermit/kermit_packet.h"
#include "kermit_harness.h"
#include "platform/files.h"
#include "support/temp_folder.h"

namespace tessaril::kermit {
namespace {

using test::build_packet;
using test::deliver;
using test::deliver_body;
using test::Engine;
using test::make_engine;
using test::parse_sent;
using test::Sent;
using tessaril::test::ScopedCurrentFolder;
using tessaril::test::TempFolder;

const std::string device_init = "~! @-#Y1~,?";

class KermitEngineTest : public ::testing::Test {
 protected:
  void SetUp() override { test::current_line = &line; }
  void TearDown() override {
    closefile(nullptr, 'D', 1);
    KermitState k;
    closefile(&k, 'D', 2);
    test::current_line = nullptr;
  }
  Sent last(int port, int chk = 1) { return parse_sent(line.sent[port].back(), chk); }
  // The device sends R.TXT as 'F', one 'D' and 'Z' with check chk: the file
  // as it arrived, every packet acknowledged.
  std::string receive_file(Engine& e, const char* data, int chk = 1) {
    platform::remove_file("R.TXT");
    int seq = 1;
    for (auto [type, field] : {std::pair{'F', "R.TXT"}, {'D', data}, {'Z', ""}}) {
      EXPECT_EQ(deliver(e, build_packet(type, seq++, field, chk)), KR_OK) << type;
      EXPECT_EQ(last(2, chk).type, 'Y') << type;
    }
    EXPECT_EQ(deliver(e, build_packet('B', seq, "", chk)), KR_DONE);
    return TempFolder::read("R.TXT");
  }
  std::vector<char> types(int port) {
    std::vector<char> t;
    for (const auto& p : line.sent[port]) t.push_back(p[3]);
    return t;
  }
  test::MemoryLine line;
  TempFolder folder;
  ScopedCurrentFolder in_folder{folder.path()};
};

TEST_F(KermitEngineTest, ActionsOutsideATransfer) {
  auto k = std::make_unique<KermitState>();
  KermitResult r;
  EXPECT_EQ(kermit_engine(KA_PACKET, k.get(), 0, 5, "", &r), KR_OK);  // never initialised
  auto e = make_engine(2);
  EXPECT_EQ(kermit_engine(KA_PACKET, &e->k, -1, 5, "", &e->r), KR_NOSLOT);
  EXPECT_EQ(kermit_engine(3, &e->k, 0, 0, "", &e->r), KR_FAIL);
  EXPECT_EQ(kermit_engine(8, &e->k, 0, 0, "", &e->r), KR_FAIL);
  EXPECT_EQ(kermit_engine(KA_TIMEOUT, k.get(), 0, 0, "", &r), KR_OK);  // never initialised: nothing to repeat
  EXPECT_EQ(kermit_engine(KA_STATUS, &e->k, 0, 0, "", &e->r), KR_STATUS);
  EXPECT_EQ(kermit_engine(KA_QUIT, &e->k, 0, 0, "", &e->r), KR_DONE);
  EXPECT_TRUE(line.sent[2].empty());
}

TEST_F(KermitEngineTest, SlotsAreHandedOutAndGivenBack) {
  auto e = make_engine(2);
  int a = -1, b = -1;
  ASSERT_NE(rslot_get(&e->k, &a), nullptr);
  ASSERT_NE(rslot_get(&e->k, &b), nullptr);
  EXPECT_EQ(a, 0);
  EXPECT_EQ(b, 0);  // a handed-out slot counts as free until it is filled
  for (int i = 0; i < RSLOT_COUNT; ++i) e->k.rslots[i].length = 5;
  int none = 0;
  EXPECT_EQ(rslot_get(&e->k, &none), nullptr);
  EXPECT_EQ(none, -1);
  rslot_free(&e->k, 7);
  EXPECT_NE(rslot_get(&e->k, &none), nullptr);
  EXPECT_EQ(none, 7);
}

TEST_F(KermitEngineTest, ReceivesAWholeFile) {
  auto e = make_engine(2, "CAL.XML");
  ASSERT_EQ(deliver(*e, build_packet('S', 0, device_init)), KR_OK);
  EXPECT_EQ(last(2).data, device_init);  // our parameters echo the device's
  ASSERT_EQ(deliver(*e, build_packet('F', 1, "CAL.XML")), KR_OK);
  EXPECT_EQ(last(2).data, "CAL.XML");
  ASSERT_EQ(deliver(*e, build_packet('A', 2, "\"\"B81\"14#120261207 10:11:12@ ")), KR_OK);
  EXPECT_EQ(last(2).data, "Y");
  EXPECT_EQ(e->r.filesize, 14);
  EXPECT_STREQ(e->r.filedate, "20261207 10:11:12");
  ASSERT_EQ(deliver(*e, build_packet('D', 3, "<a>#M#J~%x")), KR_OK);
  EXPECT_FALSE(platform::file_size("CAL.XML") >= 0);  // not in place before its end
  ASSERT_EQ(deliver(*e, build_packet('D', 4, "</a>")), KR_OK);
  ASSERT_EQ(deliver(*e, build_packet('Z', 5, "")), KR_OK);
  EXPECT_EQ(e->r.file_outcome, KO_COMPLETE);
  EXPECT_EQ(e->r.bytes_done, 14);
  EXPECT_FALSE(platform::file_size("CAL.XML") >= 0);  // nor before the session's end
  ASSERT_EQ(deliver(*e, build_packet('B', 6, "")), KR_DONE);
  EXPECT_EQ(TempFolder::read("CAL.XML"), "<a>\r\nxxxxx</a>");
  EXPECT_EQ(platform::file_size("CAL.XML.part"), -1);
  EXPECT_EQ(e->k.state, R_FILE);
  EXPECT_STREQ(e->r.file_name, "CAL.XML");
  EXPECT_EQ(e->r.filesize, 14);
  std::vector<int> seqs;
  for (const auto& p : line.sent[2]) seqs.push_back(parse_sent(p, 1).seq);
  EXPECT_EQ(seqs, (std::vector<int>{0, 1, 2, 3, 4, 5, 6}));
}

TEST_F(KermitEngineTest, RepeatedHeaderIsAnsweredAgainWithoutReopening) {
  auto e = make_engine(2, "A.GZ");
  deliver(*e, build_packet('S', 0, device_init));
  ASSERT_EQ(deliver(*e, build_packet('F', 1, "A.GZ")), KR_OK);
  std::string first_ack = line.sent[2].back();
  ASSERT_EQ(deliver(*e, build_packet('F', 1, "A.GZ")), KR_OK);
  EXPECT_EQ(line.sent[2].back(), first_ack);
  deliver_body(*e, "ab");  // a NAK in between is not what the repeat gets
  ASSERT_EQ(last(2).type, 'N');
  ASSERT_EQ(deliver(*e, build_packet('F', 1, "A.GZ")), KR_OK);
  EXPECT_EQ(line.sent[2].back(), first_ack);
  EXPECT_EQ(e->k.state, R_ATTR);
  EXPECT_FALSE(output_file_open(&e->k));
}

// A peer with short packets sees only part of our answer to its send-init;
// what it did not see is not in force, whatever its own send-init offered.
TEST_F(KermitEngineTest, CutSendInitAnswerPutsOnlyWhatWentOutInForce) {
  // MAXL 10: neither check 3 nor '~'; MAXL 11: check 3, still no '~'. The
  // fields go by their place, so the attribute capability (the tenth) needs
  // MAXL 13; at 12 attribute packets are off on both sides.
  for (auto [init, answer, chk, attributes] :
       {std::tuple{"*! @-#Y3~,?", "~! @-#Y", 1, false}, {"+! @-#Y3~,?", "~! @-#Y3", 3, false},
        {",! @-#Y3~,?", "~! @-#Y3~", 3, false}, {"-! @-#Y3~,?", "~! @-#Y3~,", 3, true}}) {
    auto e = make_engine(2, "R.TXT");
    ASSERT_EQ(deliver(*e, build_packet('S', 0, init)), KR_OK);
    EXPECT_EQ(last(2).data, answer);
    EXPECT_EQ((e->k.capability_bits & 8) != 0, attributes) << init;
    // With the repeat prefix in force (the ninth field went out) "~~y" is 94 'y'.
    const std::string got = std::strlen(answer) > 8 ? "x" + std::string(94, 'y') : "x~~y";
    EXPECT_EQ(receive_file(*e, "x~~y", chk), got) << init;
  }
}

// An 8th-bit prefix the protocol does not allow, or one that clashes with the
// control or repeat prefix, means none; our answer never echoes it raw.
TEST_F(KermitEngineTest, UnusableEighthBitPrefixMeansNone) {
  for (auto [qbin, asked] : {std::pair{'#', 0}, {'~', 0}, {'\x01', 0}, {'\0', 0}, {'A', 0}, {'N', 1}}) {
    auto e = make_engine(2, "R.TXT");
    e->k.line_parity = static_cast<int16_t>(asked);  // this side asks for 8th-bit prefixing
    std::string init = device_init;
    init[6] = qbin;
    ASSERT_EQ(deliver(*e, build_packet('S', 0, init)), KR_OK);
    EXPECT_EQ(last(2).data, "~! @-#N1~,?") << int(qbin);
    EXPECT_EQ(receive_file(*e, "N#M#J"), "N\r\n") << int(qbin);
  }
}

TEST_F(KermitEngineTest, PacketTwoAheadIsNakedForTheExpectedOne) {
  auto e = make_engine(2);
  deliver(*e, build_packet('S', 0, device_init));
  ASSERT_EQ(deliver(*e, build_packet('F', 3, "A.GZ")), KR_OK);
  Sent s = last(2);
  EXPECT_EQ(s.type, 'N');
  EXPECT_EQ(s.seq, 1);
  EXPECT_EQ(e->k.state, R_FILE);
}

TEST_F(KermitEngineTest, EmptyFileReceived) {
  auto e = make_engine(2, "EMPTY.BIN");
  deliver(*e, build_packet('S', 0, device_init));
  deliver(*e, build_packet('F', 1, "EMPTY.BIN"));
  ASSERT_EQ(deliver(*e, build_packet('Z', 2, "")), KR_OK);
  EXPECT_EQ(last(2).type, 'Y');
  EXPECT_EQ(e->k.state, R_FILE);
  ASSERT_EQ(deliver(*e, build_packet('B', 3, "")), KR_DONE);
  EXPECT_EQ(platform::file_size("EMPTY.BIN"), 0);
  EXPECT_EQ(e->r.file_outcome, KO_COMPLETE);
}

TEST_F(KermitEngineTest, DeviceNamesOutsideTheWorkingFolderAreRefused) {
  platform::make_folders("work");
  ScopedCurrentFolder in_work(folder.file("work"));
  for (const char* name : {"../ESCAPE.BIN", "..\\ESCAPE.BIN", "/tmp/ESCAPE.BIN", "sub/ESCAPE.BIN", "C:ESCAPE.BIN",
                           "..", "..ESCAPE"}) {
    auto e = make_engine(2, name);  // even a name asked for is refused
    deliver(*e, build_packet('S', 0, device_init));
    ASSERT_EQ(deliver(*e, build_packet('F', 1, name)), KR_OK) << name;
    ASSERT_EQ(deliver(*e, build_packet('D', 2, "evil")), KR_FAIL) << name;
    Sent s = last(2);
    EXPECT_EQ(s.type, 'E');
    EXPECT_EQ(s.data, "File refused or can't be opened");
  }
  auto e = make_engine(2, "");
  deliver(*e, build_packet('S', 0, device_init));
  deliver(*e, build_packet('F', 1, ""));
  EXPECT_EQ(deliver(*e, build_packet('Z', 2, "")), KR_FAIL);  // an empty name, empty file
  EXPECT_TRUE(platform::find_files(folder.path(), "*").empty());
  EXPECT_EQ(platform::find_files(folder.file("work"), "*").size(), 0u);
  EXPECT_EQ(platform::file_size("/tmp/ESCAPE.BIN"), -1);
}

TEST_F(KermitEngineTest, FailedOrDiscardedReceiveKeepsTheGoodFile) {
  folder.write("GOOD.BIN", "the good one");
  {
    auto e = make_engine(2, "GOOD.BIN");
    deliver(*e, build_packet('S', 0, device_init));
    deliver(*e, build_packet('F', 1, "GOOD.BIN"));
    ASSERT_EQ(deliver(*e, build_packet('D', 2, "partial")), KR_OK);
    EXPECT_EQ(deliver(*e, build_packet('E', 0, "Disk error")), KR_FAIL);
    EXPECT_EQ(closefile(&e->k, 'D', 2), 0);  // what the link does after a failure
    EXPECT_EQ(TempFolder::read("GOOD.BIN"), "the good one");
    EXPECT_EQ(platform::file_size("GOOD.BIN.part"), -1);  // not whole: removed
  }
  {
    auto e = make_engine(2, "GOOD.BIN");
    e->k.keep_partial = 1;
    deliver(*e, build_packet('S', 0, device_init));
    deliver(*e, build_packet('F', 1, "GOOD.BIN"));
    deliver(*e, build_packet('D', 2, "other"));
    ASSERT_EQ(deliver(*e, build_packet('Z', 3, "D")), KR_OK);  // the sender discards it
    EXPECT_EQ(TempFolder::read("GOOD.BIN.part"), "other");     // kept only when asked to
    EXPECT_EQ(e->r.file_outcome, KO_DISCARDED);
    EXPECT_EQ(TempFolder::read("GOOD.BIN"), "the good one");
  }
  {
    auto e = make_engine(2, "GOOD.BIN");
    deliver(*e, build_packet('S', 0, device_init));
    deliver(*e, build_packet('F', 1, "GOOD.BIN"));
    deliver(*e, build_packet('D', 2, "other"));
    ASSERT_EQ(deliver(*e, build_packet('Z', 3, "D")), KR_OK);
    EXPECT_EQ(platform::file_size("GOOD.BIN.part"), -1);
    EXPECT_EQ(TempFolder::read("GOOD.BIN"), "the good one");
  }
  {
    auto e = make_engine(2, "GOOD.BIN");
    deliver(*e, build_packet('S', 0, device_init));
    deliver(*e, build_packet('F', 1, "GOOD.BIN"));
    deliver(*e, build_packet('D', 2, "new"));
    ASSERT_EQ(deliver(*e, build_packet('Z', 3, "")), KR_OK);
    EXPECT_EQ(TempFolder::read("GOOD.BIN"), "the good one");  // not before the session ends
    ASSERT_EQ(deliver(*e, build_packet('B', 4, "")), KR_DONE);
    EXPECT_EQ(TempFolder::read("GOOD.BIN"), "new");  // a complete file takes its place
  }
  // A byte lost on the line that the block check missed: the file is not the
  // size its attributes announced and does not take the good file's place.
  for (const char* data : {"othe", ""}) {
    auto e = make_engine(2, "GOOD.BIN");
    deliver(*e, build_packet('S', 0, device_init));
    deliver(*e, build_packet('F', 1, "GOOD.BIN"));
    deliver(*e, build_packet('A', 2, "\"\"B81!5"));
    int seq = 3;
    if (*data) deliver(*e, build_packet('D', seq++, data));
    ASSERT_EQ(deliver(*e, build_packet('Z', seq, "")), KR_OK) << data;
    EXPECT_EQ(last(2).type, 'Y');
    EXPECT_EQ(e->r.file_outcome, KO_WRONG_SIZE) << data;
    EXPECT_EQ(TempFolder::read("GOOD.BIN"), "new") << data;
    EXPECT_EQ(platform::file_size("GOOD.BIN.part"), -1) << data;
  }
}

TEST_F(KermitEngineTest, RepeatsBeyondTheLimitEndWithTooManyRetries) {
  auto e = make_engine(2);
  const std::string no_windows = "~! @-#Y1~(";  // a window would raise the limit of 3
  ASSERT_EQ(deliver(*e, build_packet('S', 0, no_windows)), KR_OK);
  ASSERT_EQ(e->k.retry_limit, 3);
  std::string init_ack = line.sent[2].back();
  for (int i = 1; i <= 4; ++i) {
    ASSERT_EQ(deliver(*e, build_packet('S', 0, no_windows)), KR_OK) << i;
    EXPECT_EQ(line.sent[2].back(), init_ack);
  }
  EXPECT_EQ(deliver(*e, build_packet('S', 0, no_windows)), KR_FAIL);  // the fifth
  EXPECT_EQ(last(2).type, 'E');
  EXPECT_EQ(last(2).data, "Too many retries");
}

// Too short or damaged, in a row: the receiver NAKs and the sender repeats
// its packet four times; the fifth ends the transfer (the receiver's NAK still
// goes out, the sender says why).
TEST_F(KermitEngineTest, BadPacketsAreAnsweredUntilTheLimit) {
  auto damaged = [](char type) {
    std::string body = build_packet(type, 0, device_init).substr(1, 15);
    body[5] ^= 4;
    return body;
  };
  for (auto [port, bad, answer, last_answer] : {std::tuple{2, std::string("ab"), 'N', 'N'}, {2, damaged('S'), 'N', 'N'},
                                                {1, std::string("ab"), 'S', 'E'}, {1, damaged('Y'), 'S', 'E'}}) {
    auto e = make_engine(port, "A.BIN", folder.write("a.bin", "abc").c_str());
    if (port == 1) kermit_engine(KA_SEND, &e->k, 0, 0, "", &e->r);
    for (int i = 1; i <= 4; ++i) {
      ASSERT_EQ(deliver_body(*e, bad), KR_OK) << port << bad << i;
      EXPECT_EQ(last(port).type, answer);
    }
    size_t before = line.sent[port].size();
    EXPECT_EQ(deliver_body(*e, bad), KR_FAIL) << port << bad;
    EXPECT_EQ(line.sent[port].size(), before + 1);
    EXPECT_EQ(last(port).type, last_answer);
  }
}

TEST_F(KermitEngineTest, InitialisationResetsTheRetryCounts) {
  auto e = make_engine(2);
  for (int i = 0; i < 4; ++i) deliver_body(*e, "ab");
  ASSERT_EQ(e->k.rslots[0].retries, 4);
  prepare_kermit(&e->k, &e->r, &e->b, "", "", 2);
  e->k.tx_data = test::mem_tx_data;
  EXPECT_EQ(e->k.rslots[0].retries, 0);
  EXPECT_EQ(deliver_body(*e, "ab"), 0);  // a new transfer starts with its full allowance
}

TEST_F(KermitEngineTest, UnexpectedPacketTypeWhileReceiving) {
  auto e = make_engine(2);
  deliver(*e, build_packet('S', 0, device_init));
  EXPECT_EQ(deliver(*e, build_packet('D', 1, "data")), KR_FAIL);
  EXPECT_EQ(last(2).data, "Unexpected packet type");
}

TEST_F(KermitEngineTest, FilenameThatDoesNotFitIsAnError) {
  auto e = make_engine(2);
  deliver(*e, build_packet('S', 0, device_init));
  EXPECT_EQ(deliver(*e, build_packet('F', 1, "~~x~~x~~x~~x~~x~~x~~x~~x~~x~~x~~x")), KR_FAIL);
  EXPECT_EQ(last(2).data, "Filename error");
}

TEST_F(KermitEngineTest, LongFileNameAcknowledgementFitsOnePacket) {
  auto e = make_engine(2);
  e->k.expected_name = nullptr;  // as a device, which takes any name
  deliver(*e, build_packet('S', 0, "P! @-#Y1~,?"));  // the device takes packets of 48
  std::string name = "~~A";                             // 94 characters once decoded
  ASSERT_EQ(deliver(*e, build_packet('F', 1, name)), KR_OK);
  const std::string& ack_packet = line.sent[2].back();
  EXPECT_EQ(unchar(ack_packet[1]), 48);
  EXPECT_EQ(last(2).data, std::string(45, 'A'));
  EXPECT_EQ(std::string(e->r.file_name), std::string(94, 'A'));

  auto f = make_engine(2);
  f->k.expected_name = nullptr;
  deliver(*f, build_packet('S', 0, device_init));
  ASSERT_EQ(deliver(*f, build_packet('F', 1, "AB#MCD")), KR_OK);
  EXPECT_EQ(last(2).data, "AB");  // an unencoded CR would end the acknowledgement early
}

// ---- sending ----

class KermitEngineSend : public KermitEngineTest {
 protected:
  std::unique_ptr<Engine> sender(const std::string& content, const char* name = "DATA.BIN") {
    std::string path = folder.write("chosen.bin", content);
    auto e = make_engine(1, name, path.c_str());
    EXPECT_EQ(kermit_engine(KA_SEND, &e->k, 0, 0, "", &e->r), KR_OK);
    return e;
  }
  int ack(Engine& e, const std::string& data = "") {
    return deliver(e, build_packet('Y', e.k.send_seq, data, e.k.bct));
  }
};

TEST_F(KermitEngineSend, ZeroByteFile) {
  auto e = sender("");
  ASSERT_EQ(ack(*e, device_init), KR_OK);
  EXPECT_EQ(last(1).data, "DATA.BIN");  // the upper-cased name, not the chosen file's
  ASSERT_EQ(ack(*e, "DATA.BIN"), KR_OK);
  ASSERT_EQ(ack(*e, "Y"), KR_OK);
  ASSERT_EQ(ack(*e), KR_OK);
  EXPECT_EQ(e->r.file_outcome, KO_COMPLETE);
  ASSERT_EQ(ack(*e), KR_DONE);
  EXPECT_EQ(types(1), (std::vector<char>{'S', 'F', 'A', 'Z', 'B'}));
  EXPECT_EQ(e->r.filesize, 0);
  EXPECT_FALSE(input_file_open(&e->k));
}

TEST_F(KermitEngineSend, SendsTheChosenFileWithItsAttributes) {
  auto e = sender("hello\x01world");
  ack(*e, device_init);
  ack(*e, "DATA.BIN");
  Sent a = last(1);
  EXPECT_EQ(a.type, 'A');
  EXPECT_EQ(a.data.substr(0, 10), "\"\"B81\"11#1");
  EXPECT_EQ(a.data.substr(a.data.size() - 2), "@ ");
  EXPECT_EQ(e->r.filesize, 11);
  ack(*e, "Y");
  EXPECT_EQ(last(1).data, "hello#Aworld");
  ack(*e);
  EXPECT_EQ(last(1).type, 'Z');
  EXPECT_EQ(last(1).data, "");
  ack(*e);
  EXPECT_EQ(last(1).type, 'B');
  EXPECT_EQ(e->r.bytes_done, 11);
  EXPECT_EQ(ack(*e), KR_DONE);
  std::vector<int> seqs;
  for (const auto& p : line.sent[1]) seqs.push_back(parse_sent(p, 1).seq);
  EXPECT_EQ(seqs, (std::vector<int>{0, 1, 2, 3, 4, 5}));
}

TEST_F(KermitEngineSend, EmptyFileListGoesStraightToEndOfTransmission) {
  auto e = sender("x");
  static const char* const none[] = {nullptr};
  e->k.file_list = none;
  ASSERT_EQ(ack(*e, device_init), KR_OK);
  EXPECT_EQ(types(1), (std::vector<char>{'S', 'B'}));
}

TEST_F(KermitEngineSend, NamesTheSameBlockCheckOrFallsBackToType1) {
  for (auto [init, want] : {std::pair{"~! @-#Y3~,?", 3}, {"~! @-#Y1~,?", 1}, {"~! @-#Y2~,?", 1}, {"~! @-#Y", 1}}) {
    auto e = make_engine(1, "A.BIN", folder.write("a.bin", "abc").c_str());
    e->k.bct = 3;
    kermit_engine(KA_SEND, &e->k, 0, 0, "", &e->r);
    ASSERT_EQ(deliver(*e, build_packet('Y', 0, init)), KR_OK);
    EXPECT_EQ(e->k.bct, want) << init;
    EXPECT_EQ(unchar(line.sent[1].back()[1]), 5 + want + 2);  // 'F' "A.BIN" with that check
  }
}

TEST_F(KermitEngineSend, AnythingButTheAcknowledgementRepeatsTheLastPacket) {
  auto e = sender("abc");
  ack(*e, device_init);
  std::string f = line.sent[1].back();
  ASSERT_EQ(deliver(*e, build_packet('N', 1, "")), KR_OK);
  EXPECT_EQ(line.sent[1].back(), f);
  ASSERT_EQ(deliver(*e, build_packet('Y', 3, "")), KR_OK);  // two ahead
  EXPECT_EQ(line.sent[1].back(), f);
  std::string damaged = build_packet('Y', 1, "");
  damaged[3] ^= 2;
  ASSERT_EQ(deliver(*e, damaged), KR_OK);
  EXPECT_EQ(line.sent[1].back(), f);
  EXPECT_EQ(e->k.state, S_AWAIT_FILE_ACK);
}

// A read period passed in silence: the receiver asks for the packet it
// expects (right after the S it first repeats its answer, the only packet
// that carries its parameters), the sender repeats its last packet; the
// fifth in a row is one too many.
TEST_F(KermitEngineSend, SilenceIsAnsweredAsALostPacketUntilTheLimit) {
  auto silence = [](Engine& e) { return kermit_engine(KA_TIMEOUT, &e.k, 0, 0, "", &e.r); };
  auto r = make_engine(2);
  r->k.expected_name = nullptr;  // any name will do here
  ASSERT_EQ(silence(*r), KR_OK);
  EXPECT_EQ(last(2).type, 'N');
  EXPECT_EQ(last(2).seq, 0);
  ASSERT_EQ(deliver(*r, build_packet('S', 0, device_init)), KR_OK);
  const std::string init_ack = line.sent[2].back();
  ASSERT_EQ(silence(*r), KR_OK);
  ASSERT_GE(line.sent[2].size(), 2u);
  EXPECT_EQ(line.sent[2][line.sent[2].size() - 2], init_ack);
  EXPECT_EQ(last(2).type, 'N');
  EXPECT_EQ(last(2).seq, 1);
  ASSERT_EQ(deliver(*r, build_packet('F', 1, "R.TXT")), KR_OK);
  const size_t before = line.sent[2].size();
  ASSERT_EQ(silence(*r), KR_OK);
  EXPECT_EQ(line.sent[2].size(), before + 1);
  EXPECT_EQ(last(2).type, 'N');
  EXPECT_EQ(last(2).seq, 2);

  auto s = sender("abc");
  const std::string send_init = line.sent[1].back();
  for (int i = 1; i <= 4; ++i) {
    ASSERT_EQ(silence(*s), KR_OK) << i;
    EXPECT_EQ(line.sent[1].back(), send_init);
  }
  EXPECT_EQ(silence(*s), KR_FAIL);
  EXPECT_EQ(last(1).type, 'E');
  EXPECT_EQ(last(1).data, "Too many retries");
}

TEST_F(KermitEngineSend, DuplicatedAcknowledgementIsNotAnsweredWithARepeat) {
  std::string content;
  for (int i = 0; i < 40; ++i) content += "0123456789";
  auto e = sender(content);
  ack(*e, device_init);
  ack(*e, "DATA.BIN");
  ack(*e, "Y");
  ASSERT_EQ(last(1).type, 'D');
  const size_t before = line.sent[1].size();
  EXPECT_EQ(deliver(*e, build_packet('Y', e->k.send_seq - 1, "Y")), KR_OK);  // the attributes' again
  EXPECT_EQ(line.sent[1].size(), before);
  ack(*e);
  ack(*e);
  EXPECT_EQ(line.sent[1].size(), before + 2);  // one packet per acknowledgement, not two
}

// A name is never cut to fit the peer's packets: it goes whole or not at all.
TEST_F(KermitEngineSend, NameThatCannotGoWholeEndsTheTransferBeforeAnyData) {
  // MAXL 10 ('*') leaves 7 characters for the name, MAXL 40 ('H') 37; the file
  // that fits comes last, as the input stream is the program's one.
  for (auto [maxl, name, fits] : {std::tuple{'*', "DATA.BIN", false},
                                  {'H', "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.GZ", false}, {'*', "A.BIN", true}}) {
    auto e = make_engine(1, name, folder.write("n.bin", "abc").c_str());
    kermit_engine(KA_SEND, &e->k, 0, 0, "", &e->r);
    std::string init = device_init;
    init[0] = maxl;
    EXPECT_EQ(deliver(*e, build_packet('Y', 0, init)), fits ? KR_OK : KR_FAIL) << name;
    EXPECT_EQ(last(1).type, fits ? 'F' : 'E') << name;
    if (fits) {
      EXPECT_EQ(last(1).data, name);
    }
    EXPECT_EQ(input_file_open(&e->k), fits) << name;
  }
}

// The smallest packets a peer may ask for (MAXL 10) hold every packet we
// send, with every check: with check 3 a data field holds five characters,
// too few for the two copies of a run of two 8th-bit control bytes.
TEST_F(KermitEngineSend, EveryPacketFitsThePeersSmallestMaxl) {
  std::string content;
  for (int i = 0; i < 60; ++i) content += std::string(static_cast<size_t>(i % 3 + 1), static_cast<char>(0x81 + i % 2)) + "x#";
  for (int chk = 1; chk <= 3; ++chk) {
    line = test::MemoryLine{};
    auto e = make_engine(1, "A.BIN", folder.write("a.bin", content).c_str());
    e->k.bct = static_cast<int16_t>(chk);
    kermit_engine(KA_SEND, &e->k, 0, 0, "", &e->r);
    // MAXL 10, 8th-bit prefix '&', repeat prefix '~', attribute packets
    int result = deliver(*e, build_packet('Y', 0, "*! @-#&" + std::to_string(chk) + "~("));
    for (int n = 0; result == KR_OK && n < 1000; ++n) result = ack(*e);
    ASSERT_EQ(result, KR_DONE) << chk;
    auto decoder = std::make_unique<KermitState>();
    std::string decoded(content.size() + 1, '\0');
    decoder->ebqflg = decoder->line_parity = decoder->rpt_on = 1;
    decoder->ebq = '&';
    decoder->out_buf = decoded.data();
    decoder->out_buf_size = static_cast<int32_t>(decoded.size());
    KermitResult r;
    for (size_t i = 1; i < line.sent[1].size(); ++i) {  // the send-init goes before the peer's MAXL is known
      const std::string& p = line.sent[1][i];
      EXPECT_LE(unchar(p[1]), 10) << "check " << chk << ", packet " << p;
      if (p[3] == 'D') decode_data(decoder.get(), &r, 1, parse_sent(p, chk).data.c_str());
    }
    EXPECT_EQ(decoded.substr(0, static_cast<size_t>(decoder->out_buf_count)), content) << chk;
  }
}

TEST_F(KermitEngineSend, ReceiverRefusesTheFile) {
  auto e = sender("abc");
  ack(*e, device_init);
  ack(*e, "DATA.BIN");
  ASSERT_EQ(ack(*e, "N"), KR_OK);
  EXPECT_EQ(last(1).type, 'Z');
  EXPECT_EQ(last(1).data, "D");
  EXPECT_FALSE(input_file_open(&e->k));
  ASSERT_EQ(ack(*e), KR_OK);
  EXPECT_EQ(e->r.file_outcome, KO_REFUSED);
  EXPECT_EQ(last(1).type, 'B');
}

TEST_F(KermitEngineSend, GroupCancelSkipsTheRemainingNames) {
  std::string big(500, 'q');
  for (size_t i = 0; i < big.size(); i += 3) big[i] = static_cast<char>('a' + i % 20);
  auto e = sender(big);
  static const char* const two[] = {"DATA.BIN", "NEXT.BIN", nullptr};
  e->k.file_list = two;
  ack(*e, device_init);
  ack(*e, "DATA.BIN");
  ack(*e, "Y");
  ASSERT_EQ(last(1).type, 'D');
  ASSERT_EQ(ack(*e, "Z"), KR_OK);
  EXPECT_EQ(last(1).type, 'Z');
  EXPECT_EQ(last(1).data, "D");
  ASSERT_EQ(ack(*e), KR_OK);
  EXPECT_EQ(e->r.file_outcome, KO_CANCELLED);
  EXPECT_EQ(last(1).type, 'B');  // NEXT.BIN was skipped
}

TEST_F(KermitEngineSend, FileCancelGoesOnWithTheNextName) {
  auto e = sender(std::string(300, 'x') + std::string(300, 'y'));
  static const char* const two[] = {"DATA.BIN", "DATA.BIN", nullptr};
  e->k.file_list = two;
  ack(*e, device_init);
  ack(*e, "DATA.BIN");
  ack(*e, "Y");
  ASSERT_EQ(ack(*e, "X"), KR_OK);
  EXPECT_EQ(last(1).type, 'Z');
  ack(*e);
  EXPECT_EQ(last(1).type, 'F');
}

TEST_F(KermitEngineSend, MissingFileFailsWithoutErrorPacket) {
  auto e = make_engine(1, "GONE.BIN", folder.file("gone.bin").c_str());
  kermit_engine(KA_SEND, &e->k, 0, 0, "", &e->r);
  EXPECT_EQ(deliver(*e, build_packet('Y', 0, device_init)), KR_FAIL);
  EXPECT_EQ(types(1), (std::vector<char>{'S'}));
}

TEST_F(KermitEngineSend, StoredUpperCaseNameIsFoundWhateverItsCase) {
  folder.write("cal_data.xml", "<x/>");
  auto e = make_engine(1, "CAL_DATA.XML", "");
  kermit_engine(KA_SEND, &e->k, 0, 0, "", &e->r);
  ASSERT_EQ(ack(*e, device_init), KR_OK);
  ASSERT_EQ(ack(*e, "CAL_DATA.XML"), KR_OK);
  EXPECT_EQ(e->r.filesize, 4);
  ack(*e, "Y");
  EXPECT_EQ(last(1).data, "<x/>");
}

TEST_F(KermitEngineSend, ErrorPacketsBothWays) {
  auto e = sender("abc");
  ack(*e, device_init);
  size_t before = line.sent[1].size();
  EXPECT_EQ(deliver(*e, build_packet('E', 0, "No space")), KR_FAIL);
  EXPECT_EQ(line.sent[1].size(), before);
  EXPECT_EQ(e->r.peer_error, 1);

  auto f = sender("abc");
  ack(*f, device_init);
  ack(*f, "DATA.BIN");
  ack(*f, "Y");
  EXPECT_TRUE(input_file_open(&f->k));
  EXPECT_EQ(kermit_engine(KA_ERROR, &f->k, 0, 0, "Operator stop", &f->r), KR_DONE);
  EXPECT_EQ(last(1).type, 'E');
  EXPECT_EQ(last(1).data, "Operator stop");
  EXPECT_FALSE(input_file_open(&f->k));
  EXPECT_EQ(f->r.peer_error, 0);  // our own error packet is not the peer's
}

TEST_F(KermitEngineSend, QuitSendsNothing) {
  auto e = sender("abc");
  ack(*e, device_init);
  size_t before = line.sent[1].size();
  EXPECT_EQ(kermit_engine(KA_QUIT, &e->k, 0, 0, "", &e->r), KR_DONE);
  EXPECT_EQ(line.sent[1].size(), before);
}

TEST_F(KermitEngineSend, FailedLineWritesAreReturned) {
  auto e = make_engine(1, "A.BIN", folder.write("a.bin", "abc").c_str());
  line.fail_writes_after = 0;
  EXPECT_EQ(kermit_engine(KA_SEND, &e->k, 0, 0, "", &e->r), KR_FAIL);
  line.fail_writes_after = -1;
  ASSERT_EQ(kermit_engine(KA_SEND, &e->k, 0, 0, "", &e->r), KR_OK);
  line.fail_writes_after = line.writes;
  EXPECT_EQ(ack(*e, device_init), -1);  // the 'F' could not be sent
}

}  // namespace
}  // namespace tessaril::kermit

// The packet layer: published check values, the send-init packet, the
// parameter exchange and the verification of received packets.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "kermit/kermit_packet.h"
#include "kermit_harness.h"

namespace tessaril::kermit {
namespace {

using test::build_packet;
using test::current_line;
using test::deliver;
using test::deliver_body;
using test::make_engine;
using test::MemoryLine;
using test::parse_sent;
using test::Sent;

class KermitPacket : public ::testing::Test {
 protected:
  void SetUp() override { current_line = &line; }
  void TearDown() override { current_line = nullptr; }
  MemoryLine line;
};

TEST(KermitChecks, PublishedValues) {
  KermitState k;
  init_crc_tables(&k);
  EXPECT_EQ(check_type1("abc"), 38);
  EXPECT_EQ(tochar(check_type1("abc")), 'F');
  uint16_t s = check_type2("abc");
  EXPECT_EQ(tochar((s >> 6) & 63), '$');
  EXPECT_EQ(tochar(s & 63), 'F');
  uint16_t crc = check_type3(&k, "abc");
  EXPECT_EQ(crc, 0x58E9);
  EXPECT_EQ(tochar((crc >> 12) & 15), '%');
  EXPECT_EQ(tochar((crc >> 6) & 63), 'C');
  EXPECT_EQ(tochar(crc & 63), 'I');
  EXPECT_EQ(check_type3(&k, "123456789"), 0x2189);  // CRC-16/KERMIT check value
}

TEST(KermitChecks, CharacterTransforms) {
  EXPECT_EQ(tochar(0), ' ');
  EXPECT_EQ(tochar(94), '~');
  EXPECT_EQ(unchar('~'), 94);
  EXPECT_EQ(unchar(static_cast<char>(10)), 234);  // taken as an unsigned 8-bit value
  EXPECT_EQ(ctl('M'), 13);
  EXPECT_EQ(ctl('?'), 127);
}

TEST_F(KermitPacket, FirstSendInitIsTheDocumentedPacket) {
  auto e = make_engine(1, "A.BIN");
  ASSERT_EQ(kermit_engine(KA_SEND, &e->k, 0, 0, "", &e->r), KR_OK);
  ASSERT_EQ(line.sent[1].size(), 1u);
  EXPECT_EQ(line.sent[1][0], std::string("\x01. S~! @-#Y1~,?D\r"));
  EXPECT_EQ(e->k.state, S_AWAIT_INIT_ACK);
  EXPECT_EQ(e->r.result_state, S_AWAIT_INIT_ACK);
}

TEST_F(KermitPacket, SendInitTravelsWithCheck1WhateverIsProposed) {
  auto e = make_engine(1, "A.BIN");
  e->k.bct = 3;
  ASSERT_EQ(kermit_engine(KA_SEND, &e->k, 0, 0, "", &e->r), KR_OK);
  const std::string& p = line.sent[1][0];
  EXPECT_EQ(p[1], tochar(11 + 1 + 2));
  EXPECT_EQ(p[4 + 7], '3');
  EXPECT_EQ(e->k.bct, 3);  // restored after the packet
}

TEST_F(KermitPacket, SpktBuildsEveryCheckType) {
  KermitState k;
  init_crc_tables(&k);
  k.tx_data = test::mem_tx_data;
  k.port = 1;
  for (int chk = 1; chk <= 3; ++chk) {
    k.bct = static_cast<int16_t>(chk);
    ASSERT_EQ(spkt('D', 5, 3, "abc", &k), 0);
    const std::string& p = line.sent[1].back();
    ASSERT_EQ(p.size(), static_cast<size_t>(4 + 3 + chk + 1));
    EXPECT_EQ(unchar(p[1]), 3 + chk + 2);
    EXPECT_EQ(k.send_seq, 5);
    EXPECT_EQ(k.out_packet_len, static_cast<int>(p.size()));
    EXPECT_EQ(p.back(), '\r');
  }
  // A text longer than a packet can hold is cut, never overrunning out_packet.
  std::string big(200, 'x');
  k.bct = 3;
  ASSERT_EQ(spkt('E', 0, static_cast<int>(big.size()), big.c_str(), &k), 0);
  EXPECT_EQ(unchar(line.sent[1].back()[1]), MAX_PACKET);
  EXPECT_LE(k.out_packet_len, OUT_PACKET_SIZE - 1);
}

TEST_F(KermitPacket, ErrorPacketDropsToCheck1ForTheRestOfTheTransfer) {
  auto e = make_engine(1);
  e->k.bct = 3;
  ASSERT_EQ(send_error("boom", &e->k), 0);
  EXPECT_EQ(e->k.bct, 1);
  Sent s = parse_sent(line.sent[1].back(), 1);
  EXPECT_EQ(s.type, 'E');
  EXPECT_EQ(s.seq, 0);
  EXPECT_EQ(s.data, "boom");
  ASSERT_EQ(spkt('Y', 1, 0, nullptr, &e->k), 0);
  EXPECT_EQ(unchar(line.sent[1].back()[1]), 3);  // a later packet still uses check 1
}

TEST_F(KermitPacket, ResendLastAndNextSeq) {
  auto e = make_engine(1);
  EXPECT_EQ(resend_last(&e->k), 0);
  EXPECT_TRUE(line.sent[1].empty());  // nothing sent yet, nothing repeated
  ASSERT_EQ(spkt('D', 63, 1, "q", &e->k), 0);
  ASSERT_EQ(resend_last(&e->k), 0);
  ASSERT_EQ(line.sent[1].size(), 2u);
  EXPECT_EQ(line.sent[1][0], line.sent[1][1]);
  next_seq(&e->k);
  EXPECT_EQ(e->k.send_seq, 0);  // modulo 64
}

// ---- parameter exchange ----

TEST_F(KermitPacket, PeerParamsAdoptsTheDevicesSendInit) {
  auto e = make_engine(1);
  const char* p = "~! @-#Y1~,?";
  peer_params(&e->k, p, 11);
  EXPECT_EQ(e->k.send_maxlen, 94);
  EXPECT_EQ(e->k.send_eol, 13);
  EXPECT_EQ(e->k.recv_ctl_prefix, '#');
  EXPECT_EQ(e->k.ebqflg, 0);
  EXPECT_EQ(e->k.bct, 1);
  EXPECT_EQ(e->k.rpt_on, 1);
  EXPECT_EQ(e->k.capability_bits, 12);
  EXPECT_EQ(e->k.window_size, 31);
  EXPECT_EQ(e->k.retry_limit, 32);  // a window of 31 raises the retry limit
}

TEST_F(KermitPacket, BlankAndAbsurdFieldsTakeTheDefaults) {
  auto e = make_engine(1);
  peer_params(&e->k, "      ", 6);  // MAXL, TIME, NPAD, PADC, EOL, QCTL all blank
  EXPECT_EQ(e->k.send_maxlen, 80);
  EXPECT_EQ(e->k.send_eol, 13);
  EXPECT_EQ(e->k.recv_ctl_prefix, '#');
  EXPECT_EQ(e->k.capability_bits & 12, 0);  // no CAPAS: no attribute packets, no windows

  auto f = make_engine(1);
  peer_params(&f->k, "\x7f!", 2);  // MAXL 95
  EXPECT_EQ(f->k.send_maxlen, 94);
  peer_params(&f->k, "#", 1);  // MAXL 3
  EXPECT_EQ(f->k.send_maxlen, 10);
  peer_params(&f->k, "~! @AA", 6);  // EOL 'A' is no control character, QCTL 'A' no prefix
  EXPECT_EQ(f->k.send_eol, 13);
  EXPECT_EQ(f->k.recv_ctl_prefix, '#');
  peer_params(&f->k, "~! @%#", 6);  // EOL 5 is taken
  EXPECT_EQ(f->k.send_eol, 5);
}

TEST_F(KermitPacket, QbinRules) {
  auto e = make_engine(1);
  peer_params(&e->k, "~! @-#N", 7);
  EXPECT_EQ(e->k.ebqflg, 0);
  peer_params(&e->k, "~! @-# ", 7);
  EXPECT_EQ(e->k.ebqflg, 0);
  peer_params(&e->k, "~! @-#Y", 7);
  EXPECT_EQ(e->k.ebqflg, 0);  // willing, but this side did not ask
  e->k.line_parity = 1;
  peer_params(&e->k, "~! @-#Y", 7);
  EXPECT_EQ(e->k.ebqflg, 1);
  EXPECT_EQ(e->k.ebq, '&');

  auto f = make_engine(1);
  peer_params(&f->k, "~! @-#&", 7);
  EXPECT_EQ(f->k.ebqflg, 1);
  EXPECT_EQ(f->k.line_parity, 1);
  EXPECT_EQ(f->k.ebq, '&');
}

TEST_F(KermitPacket, ChktRules) {
  auto e = make_engine(1);
  for (auto [chkt, want] : {std::pair{'4', 1}, {'B', 1}, {'2', 2}, {'3', 3}, {' ', 1}}) {
    char p[] = "~! @-#Y1";
    p[7] = chkt;
    peer_params(&e->k, p, 8);
    EXPECT_EQ(e->k.bct, want) << chkt;
  }
  e->k.force_crc = 1;
  peer_params(&e->k, "~! @-#Y1", 8);
  EXPECT_EQ(e->k.bct, 3);
}

TEST_F(KermitPacket, CapasAndWindow) {
  auto e = make_engine(1);
  peer_params(&e->k, "~! @-#Y1~* ", 11);  // CAPAS 10 (attributes, long packets), window 0
  EXPECT_EQ(e->k.capability_bits, 8);
  EXPECT_EQ(e->k.window_size, 31);  // windows not kept: the window field is not read

  auto f = make_engine(1);
  peer_params(&f->k, "~! @-#Y1~, ", 11);  // windows kept, window 0
  EXPECT_EQ(f->k.window_size, 1);
  EXPECT_EQ(f->k.retry_limit, 3);

  auto g = make_engine(1);
  peer_params(&g->k, "~! @-#Y1~,4", 11);  // window 20
  EXPECT_EQ(g->k.window_size, 20);
  EXPECT_EQ(g->k.retry_limit, 21);

  auto h = make_engine(1);
  peer_params(&h->k, "~! @-#Y1~- (", 12);  // CAPAS with bit 0: a second CAPAS byte, then window 8
  EXPECT_EQ(h->k.window_size, 8);
  auto i = make_engine(1);
  peer_params(&i->k, "~! @-#Y1~-", 10);  // a continued CAPAS at the very end
  EXPECT_EQ(i->k.window_size, 31);
}

TEST_F(KermitPacket, RepeatPrefixOnlyWhenUsable) {
  auto e = make_engine(1);
  peer_params(&e->k, "~! @-#Y1 ", 9);
  EXPECT_EQ(e->k.rpt_on, 0);
  peer_params(&e->k, "~! @-#Y1#", 9);  // the control prefix cannot repeat
  EXPECT_EQ(e->k.rpt_on, 0);
  peer_params(&e->k, "~! @-#Y1`", 9);
  EXPECT_EQ(e->k.rpt_on, 1);
  EXPECT_EQ(e->k.rpt_prefix, '`');
}

// As sender: what the acknowledgement of our 'S' names differently from our
// offer ("~! @-#Y1~,?" with its defaults, or "&" where we asked for 8th-bit
// prefixing) is not in force.
TEST_F(KermitPacket, SenderKeepsOnlyWhatBothSidesNamed) {
  struct Row {
    bool asked_8th_bit;
    const char* ack;
    int bct, rpt_on, ebqflg;
  };
  const Row rows[] = {
      {false, "~! @-#Y3~,?", 1, 1, 0},  // another check type: type 1
      {false, "~! @-#&1`,?", 1, 0, 1},  // another repeat prefix: none; we said 'Y': theirs
      {false, "~! @-#&1~,?", 1, 1, 1},
      {true, "~! @-#%1~,?", 1, 1, 0},   // we named '&', they '%': none
      {true, "~! @-#Y1~,?", 1, 1, 1},   // we named '&', they 'Y': ours
  };
  for (const Row& row : rows) {
    auto e = make_engine(1);
    e->k.line_parity = row.asked_8th_bit;
    ASSERT_EQ(kermit_engine(KA_SEND, &e->k, 0, 0, "", &e->r), KR_OK);
    take_send_init_answer(&e->k, row.ack, 11);
    EXPECT_EQ(e->k.bct, row.bct) << row.ack;
    EXPECT_EQ(e->k.rpt_on, row.rpt_on) << row.ack;
    EXPECT_EQ(e->k.ebqflg, row.ebqflg) << row.ack;
    if (row.ebqflg) {
      EXPECT_EQ(e->k.ebq, '&') << row.ack;
    }
  }
}

// ---- verification of received packets ----

class KermitVerify : public KermitPacket {
 protected:
  // A receiver that has taken the send-init: waiting for 'F' with recv_seq 1.
  std::unique_ptr<test::Engine> receiver(int chk, const char* name = "NAME.BIN") {
    auto e = make_engine(2, name);
    std::string init = "~! @-#Y" + std::string(1, static_cast<char>('0' + chk)) + "~,?";
    EXPECT_EQ(deliver(*e, build_packet('S', 0, init)), KR_OK);
    EXPECT_EQ(e->k.bct, chk);
    line.sent[2].clear();
    return e;
  }
  Sent last(int chk) { return parse_sent(line.sent[2].back(), chk); }
};

TEST_F(KermitVerify, GoodPacketOfEachCheckTypeIsTaken) {
  for (int chk = 1; chk <= 3; ++chk) {
    auto e = receiver(chk);
    ASSERT_EQ(deliver(*e, build_packet('F', 1, "NAME.BIN", chk)), KR_OK);
    EXPECT_EQ(e->k.state, R_ATTR) << chk;
    EXPECT_STREQ(e->r.file_name, "NAME.BIN");
    Sent s = last(chk);
    EXPECT_EQ(s.type, 'Y');
    EXPECT_EQ(s.seq, 1);
    EXPECT_EQ(s.data, "NAME.BIN");
  }
}

TEST_F(KermitVerify, Type2WithByteSumAbove4095) {
  std::string name(39, 'z');  // 39 * 122 = 4758: the sum needs more than 12 bits
  auto e = receiver(2, name.c_str());
  ASSERT_EQ(deliver(*e, build_packet('F', 1, name, 2)), KR_OK);
  EXPECT_EQ(e->k.state, R_ATTR);
}

TEST_F(KermitVerify, DamagedPacketsAreNakedAndNothingChanges) {
  auto e = receiver(3);
  std::string good = build_packet('F', 1, "NAME.BIN", 3);
  std::string body = good.substr(1, good.size() - 2);

  std::string flipped = body;
  flipped[5] ^= 4;
  std::string cut = body.substr(0, body.size() - 1);    // LEN points past the bytes received
  std::string longer = body + "x";                      // a byte more than LEN accounts for
  std::string tiny = body;
  tiny[0] = tochar(4);                                  // LEN too small for check 3
  tiny = tiny.substr(0, 5);
  for (const std::string& bad : {flipped, cut, longer, tiny}) {
    size_t before = line.sent[2].size();
    ASSERT_EQ(deliver_body(*e, bad), KR_OK);
    EXPECT_EQ(e->k.state, R_FILE);
    ASSERT_EQ(line.sent[2].size(), before + 1);
    Sent s = last(3);
    EXPECT_EQ(s.type, 'N');
    EXPECT_EQ(s.seq, 1);
  }
  EXPECT_EQ(deliver(*e, good), KR_OK);  // the good copy still goes through
  EXPECT_EQ(e->k.state, R_ATTR);
}

TEST_F(KermitVerify, ErrorPacketWithCheck1WhileType3IsInForce) {
  auto e = receiver(3);
  size_t before = line.sent[2].size();
  EXPECT_EQ(deliver(*e, build_packet('E', 0, "Disk full", 1)), KR_FAIL);
  EXPECT_EQ(line.sent[2].size(), before);  // no reply to an error packet
  auto f = receiver(2);
  EXPECT_EQ(deliver(*f, build_packet('E', 0, "x", 1)), KR_FAIL);
  auto g = receiver(3);
  EXPECT_EQ(deliver(*g, build_packet('E', 0, "", 1)), KR_FAIL);
}

TEST_F(KermitVerify, SendInitWithoutChktLeavesCheck1AndNoAttributes) {
  auto e = make_engine(2);
  ASSERT_EQ(deliver(*e, build_packet('S', 0, "~! @-")), KR_OK);  // five fields
  EXPECT_EQ(e->k.bct, 1);
  EXPECT_EQ(e->k.force_crc, 0);
  EXPECT_EQ(e->k.capability_bits & 12, 0);
  EXPECT_EQ(e->k.state, R_FILE);
}

TEST_F(KermitVerify, PeerThatForcesCrcFromItsFirstPacket) {
  // CHKT '5': the device wants type 3 on every packet, the send-init too.
  auto e = make_engine(2, "X.BIN");
  ASSERT_EQ(deliver(*e, build_packet('S', 0, "~! @-#Y5~,?", 3)), KR_OK);
  EXPECT_EQ(e->k.force_crc, 1);
  EXPECT_EQ(e->k.bct, 3);
  Sent s = parse_sent(line.sent[2].back(), 3);
  EXPECT_EQ(s.type, 'Y');
  EXPECT_EQ(s.data[7], '5');
  EXPECT_EQ(unchar(line.sent[2].back()[1]), 11 + 3 + 2);  // our answer carries check 3
  ASSERT_EQ(deliver(*e, build_packet('F', 1, "X.BIN", 3)), KR_OK);
  EXPECT_EQ(e->k.state, R_ATTR);

  // The same announcement sent with check 1 is taken too.
  auto f = make_engine(2);
  ASSERT_EQ(deliver(*f, build_packet('S', 0, "~! @-#Y5~,?", 1)), KR_OK);
  EXPECT_EQ(f->k.force_crc, 1);
  // A damaged init that merely reads '5' does not force anything.
  auto g = make_engine(2);
  std::string bad = build_packet('S', 0, "~! @-#Y5~,?", 1);
  bad[bad.size() - 2] ^= 1;
  ASSERT_EQ(deliver(*g, bad), KR_OK);
  EXPECT_EQ(g->k.force_crc, 0);
  EXPECT_EQ(g->k.state, R_AWAIT_INIT);
}

TEST_F(KermitVerify, StrayAcknowledgementsWhileReceivingAreDropped) {
  auto e = receiver(1);
  size_t before = line.sent[2].size();
  EXPECT_EQ(deliver(*e, build_packet('Y', 1, "")), KR_OK);
  EXPECT_EQ(deliver(*e, build_packet('N', 1, "")), KR_OK);
  EXPECT_EQ(line.sent[2].size(), before);
  EXPECT_EQ(e->k.state, R_FILE);
}

}  // namespace
}  // namespace tessaril::kermit

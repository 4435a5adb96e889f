// Properties of the Kermit coding under every set of parameters a peer can
// agree on: data crosses both ways unchanged, every packet the engine sends
// is clean (MARK first, EOL last, no control byte between, LEN within the
// peer's MAXL), and neither the decoder nor the packet reader writes past
// its buffer.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "kermit/kermit_encode.h"
#include "kermit/kermit_line.h"
#include "kermit/kermit_packet.h"
#include "kermit_harness.h"
#include "support/temp_folder.h"

namespace tessaril::kermit {
namespace {

using test::build_packet;
using test::deliver;
using test::make_engine;
using test::MemoryLine;
using test::parse_sent;

// The peer's send-init field (or its acknowledgement of ours): MAXL, TIME,
// NPAD, PADC, EOL, QCTL, QBIN, CHKT, REPT, CAPAS.
struct Peer {
  const char* label;
  const char* init;
};
constexpr Peer peers[] = {
    {"defaults", "~! @-#Y1~,"},
    {"MAXL 10, CRCs forced, 8th-bit '&', repeat '~'", "*! @-#&5~,"},
    {"MAXL 10, check 2, no prefixes", "*! @-#N2 ,"},
    {"MAXL 11, check 3, QCTL '!', QBIN '`', REPT '>'", "+! @-!`3>,"},
    {"MAXL 17, check 1, QBIN '>', REPT '`'", "1! @-#>1`,"},
    {"MAXL 40, check 3, no attributes", "H! @-#&3~ "},
};

void PrintTo(const Peer& p, std::ostream* os) { *os << p.label; }

int peer_maxl(const Peer& p) { return std::clamp(unchar(p.init[0]), 10, MAX_PACKET); }

// Runs of every length, the prefixes and control bytes with and without bit 8.
std::string sample_bytes(unsigned seed, size_t size) {
  std::mt19937 rng(seed);
  std::string s;
  while (s.size() < size) {
    const char c = rng() % 3 ? "#&~`>!\r\x01\x81\xA3\xE0\xFF\x7F"[rng() % 13] : static_cast<char>(rng());
    s.append(rng() % 4 ? 1 + rng() % 3 : 1 + rng() % 120, c);
  }
  return s;
}

// A decoder with the prefixes of `k` and an output buffer of exactly `size`
// bytes with a guard behind it.
struct Decoder {
  static constexpr size_t GUARD = 16;
  KermitState k;
  KermitResult r;
  std::vector<char> out;
  static inline std::string written;

  Decoder(const KermitState& agreed, char ctl, int size) : out(static_cast<size_t>(size) + GUARD, '\x5A') {
    k.recv_ctl_prefix = ctl;
    k.ebqflg = agreed.ebqflg;
    k.line_parity = agreed.ebqflg;
    k.ebq = agreed.ebq;
    k.rpt_on = agreed.rpt_on;
    k.rpt_prefix = agreed.rpt_prefix;
    k.out_buf = out.data();
    k.out_buf_size = size;
    k.writefile = [](KermitState*, const char* bytes, int count) {
      written.append(bytes, static_cast<size_t>(count));
      return 0;
    };
    written.clear();
  }
  void decode(const std::string& field) { ASSERT_EQ(decode_data(&k, &r, 1, field.c_str()), 0); }
  std::string result() {
    EXPECT_TRUE(std::all_of(out.end() - GUARD, out.end(), [](char c) { return c == '\x5A'; })) << "written past";
    return written + std::string(k.out_buf, static_cast<size_t>(k.out_buf_count));
  }
};

void expect_clean(const std::string& wire, int maxl, const std::string& where) {
  ASSERT_GE(wire.size(), 6u) << where;
  EXPECT_EQ(wire.front(), '\x01') << where;
  EXPECT_EQ(wire.back(), '\r') << where;
  EXPECT_EQ(static_cast<size_t>(unchar(wire[1])) + 3, wire.size()) << where;
  EXPECT_LE(unchar(wire[1]), maxl) << where << ": longer than the peer's MAXL";
  for (size_t i = 1; i + 1 < wire.size(); ++i) {
    const int c7 = wire[i] & 127;
    EXPECT_TRUE(c7 >= 32 && c7 != 127) << where << ": control byte at " << i;
  }
}

class KermitProperties : public ::testing::TestWithParam<Peer> {
 protected:
  void SetUp() override { test::current_line = &line; }
  void TearDown() override { test::current_line = nullptr; }
  MemoryLine line;
};

// We send a file to a peer that acknowledges our 'S' with its parameters and
// every other packet with an empty 'Y'.
TEST_P(KermitProperties, EverySentPacketIsCleanAndItsDataDecodes) {
  const Peer& peer = GetParam();
  tessaril::test::TempFolder folder;
  const std::string bytes = sample_bytes(7, 3000);
  const std::string path = folder.write("data.bin", bytes);
  auto s = make_engine(1, "D.BIN", path.c_str());  // a name that fits the smallest field
  ASSERT_EQ(kermit_engine(KA_SEND, &s->k, 0, 0, "", &s->r), KR_OK);
  ASSERT_EQ(deliver(*s, build_packet('Y', 0, peer.init)), KR_OK);
  const int chk = check_length(&s->k);
  for (int result = KR_OK; result == KR_OK;) {
    ASSERT_LT(line.sent[1].size(), 5000u);
    result = deliver(*s, build_packet('Y', parse_sent(line.sent[1].back(), chk).seq, "", chk));
  }
  ASSERT_EQ(parse_sent(line.sent[1].back(), chk).type, 'B');

  Decoder d(s->k, s->k.send_ctl_prefix, 100);
  for (size_t i = 1; i < line.sent[1].size(); ++i) {  // the 'S' went out before the peer's MAXL was known
    const std::string& wire = line.sent[1][i];
    expect_clean(wire, peer_maxl(peer), "packet " + std::to_string(i));
    const test::Sent p = parse_sent(wire, chk);
    if (p.type == 'D') d.decode(p.data);
  }
  EXPECT_EQ(d.result(), bytes);
}

// The peer sends us its 'S'; data it encodes with the prefixes agreed decode
// back, through output buffers of any size.
TEST_P(KermitProperties, ReceivedFieldsDecodeUnderTheAgreedPrefixes) {
  const Peer& peer = GetParam();
  auto r = make_engine(2);
  ASSERT_EQ(deliver(*r, build_packet('S', 0, peer.init)), KR_OK);
  expect_clean(line.sent[2].back(), peer_maxl(peer), "our answer");

  KermitState e;  // the peer's encoder: its own QCTL, the prefixes agreed
  e.send_ctl_prefix = r->k.recv_ctl_prefix;
  e.ebqflg = r->k.ebqflg;
  e.ebq = r->k.ebq;
  e.rpt_on = r->k.rpt_on;
  e.rpt_prefix = r->k.rpt_prefix;
  e.bct = static_cast<int16_t>(check_length(&r->k));
  for (unsigned seed = 1; seed <= 4; ++seed) {
    std::string bytes = sample_bytes(seed, 2000);
    e.zinptr = bytes.data();
    e.zincnt = static_cast<int32_t>(bytes.size());
    e.s_first = 1;
    Decoder d(r->k, r->k.recv_ctl_prefix, 1 + static_cast<int>(seed * 37 % 100));
    KermitResult counted;
    for (int n; (n = getpkt(&e, &counted)) > 0;) d.decode(std::string(e.xdata, static_cast<size_t>(n)));
    EXPECT_EQ(d.result(), bytes) << "seed " << seed;
  }
}

INSTANTIATE_TEST_SUITE_P(Peers, KermitProperties, ::testing::ValuesIn(peers),
                         [](const auto& info) { return "peer" + std::to_string(info.index); });

// Whatever the line brings, the reader stores at most recv_maxlen + 1 bytes
// and a terminator, never past the slot.
TEST(KermitReaderProperties, NeverWritesPastTheSlot) {
  std::mt19937 rng(11);
  KermitState k;
  for (int maxl : {10, 40, 94}) {
    k.recv_maxlen = maxl;
    std::vector<char> buf(RSLOT_BUF + 16, '\x5A');
    PacketReader reader;
    for (int i = 0; i < 200000; ++i) {
      const auto byte = static_cast<uint8_t>(rng() % 4 ? rng() % 6 == 0 ? 1 : 'a' + rng() % 26 : rng());
      const int n = feed_packet_byte(&k, &reader, byte, buf.data());
      if (n == READ_GO_ON) continue;
      ASSERT_LE(n, maxl + 1);
      reader = PacketReader{};
    }
    EXPECT_TRUE(std::all_of(buf.begin() + RSLOT_BUF, buf.end(), [](char c) { return c == '\x5A'; }));
  }
}

}  // namespace
}  // namespace tessaril::kermit

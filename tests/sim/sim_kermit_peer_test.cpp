// The Kermit peer as a unit, on a virtual clock: conversations stated byte
// for byte, each step the host's bytes at a time and the device's answer.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "platform/files.h"
#include "sim/sim_kermit_peer.h"
#include "support/temp_folder.h"

namespace tessaril::sim::peer {
namespace {

// Packets, SOH to CR, check type 1 unless named otherwise.
#define S_HOST "\001. S~! @-#Y1~,?D\015"      // the host's send-init
#define ACK_S "\001- Y~% @-#Y1~(I\015"        // the device's answer to it
#define S_DEV "\001- S~% @-#Y1~(C\015"        // the device's own send-init
#define ACK_S_HOST "\001. Y~! @-#Y1~,?J\015"  // the host's answer to that
#define F_CAL "\001*!FCAL.XML\"\015"
#define A_10 "\001+\"A\"\"B81\"10 \015"  // type binary, size 10
#define D3 "\001,#DHi#M#J~&x]\015"       // "Hi\r\n" and six 'x'
#define D2 "\001,\"DHi#M#J~&x\\\015"
#define Y1 "\001#!Y?\015"
#define Y2 "\001#\"Y@\015"
#define Y3 "\001##YA\015"
#define Y4 "\001#$YB\015"
#define Y5 "\001#%YC\015"
#define Z4 "\001#$ZC\015"
#define B5 "\001#%B,\015"
const char* const content = "Hi\r\nxxxxxx";

struct Step {
  int64_t at;
  const char* host;
  const char* device;
};

struct Conversation {
  const char* what;
  Role role;
  const char* settings;  // words of a scenario "kermit" line
  std::vector<Step> steps;
  Outcome outcome;
  const char* stored;  // receiving: the file expected in the folder afterwards, or none
  std::string stored_bytes = content;
  const char* file = "CAL.XML";  // sending: the file asked for
};

// Plays a conversation; returns the peer at its end.
Peer play(const Conversation& c, test::TempFolder& folder) {
  PeerSetup setup;
  setup.role = c.role;
  setup.folder = folder.path();
  setup.file = c.file;
  std::istringstream words(c.settings);
  std::string word, error;
  while (words >> word) EXPECT_TRUE(parse_kermit_setting(word, setup.settings, error)) << error;
  Peer p;
  peer_start(p, setup, 0);
  for (size_t i = 0; i < c.steps.size(); ++i) {
    const Step& step = c.steps[i];
    const std::string host = step.host;
    peer_feed(p, reinterpret_cast<const uint8_t*>(host.data()), host.size(), step.at);
    peer_tick(p, step.at);
    EXPECT_EQ(std::string(p.out.begin(), p.out.end()), step.device) << c.what << ", step " << i;
    p.out.clear();
  }
  EXPECT_EQ(p.outcome, c.outcome) << c.what << ": " << peer_report(p);
  return p;
}

TEST(SimKermitPeer, ReceivesAndStoresOnlyWholeFiles) {
  const Conversation conversations[] = {
      {"a small file", Role::Receive, "",
       {{0, S_HOST, ACK_S}, {10, F_CAL, Y1}, {20, A_10, "\001$\"YY[\015"}, {30, D3, Y3}, {40, Z4, Y4}, {50, B5, Y5}},
       Outcome::Complete, "CAL.XML"},
      {"8th-bit prefixes and check 3", Role::Receive, "qbin=on",
       {{0, "\001. S~! @-#Y3~,?F\015", "\001- Y~% @-#&3~([\015"},
        {10, "\001*!FB.BIN DO\015", "\001%!Y,\\I\015"},
        {20, "\001,\"D&A&#A#M&K?\015", "\001%\"Y.5!\015"},
        {30, "\001%#Z,X\"\015", "\001%#Y/R9\015"},
        {40, "\001%$B!_#\015", "\001%$Y+&1\015"}},
       Outcome::Complete, "B.BIN", "\xC1\x81\r"},
      {"a damaged packet NAKed, a repeated one acknowledged again", Role::Receive, "",
       {{0, S_HOST, ACK_S}, {10, F_CAL, Y1}, {20, "\001,\"DHi#M#J~&x]\015", "\001#\"N5\015"}, {30, D2, Y2}, {40, D2, Y2},
        {50, "\001##ZB\015", Y3}, {60, "\001#$B+\015", Y4}},
       Outcome::Complete, "CAL.XML"},
      {"a lost packet", Role::Receive, "lose=2", {{0, S_HOST, ACK_S}, {10, F_CAL, ""}, {20, F_CAL, Y1}}, Outcome::Running,
       nullptr},
      {"silence: a NAK per time-out, then it gives up", Role::Receive, "retries=1",
       {{0, S_HOST, ACK_S}, {999, "", ""}, {1000, "", "\001#!N4\015"}, {2000, "", "\0013!EToo many retries \015"}},
       Outcome::Failed, nullptr},
      {"the cancel sequence", Role::Receive, "",
       {{0, S_HOST, ACK_S}, {10, F_CAL, Y1}, {20, D2, Y2}, {30, "\003\003\003", ""}}, Outcome::Cancelled, nullptr},
      {"a name that leaves the folder", Role::Receive, "",
       {{0, S_HOST, ACK_S},
        {10, "\001.!F../evil.xml0\015",
         "\001^!ECannot store the file: a name that is not a plain file name'\015"}},
       Outcome::Refused, nullptr},
      {"refused in the attributes; the host sends on regardless", Role::Receive, "refuse=attributes",
       {{0, S_HOST, ACK_S}, {10, F_CAL, Y1}, {20, A_10, "\001$\"YNP\015"}, {30, D3, "\001$#YX[\015"},
        {40, "\001$$ZDI\015", Y4}, {50, B5, Y5}},
       Outcome::Refused, nullptr},
      {"its acknowledgement of B lost: the repeated B gets it", Role::Receive, "drop-b-ack",
       {{0, S_HOST, ACK_S}, {10, F_CAL, Y1}, {20, A_10, "\001$\"YY[\015"}, {30, D3, Y3}, {40, Z4, Y4}, {50, B5, ""},
        {1500, B5, Y5}},
       Outcome::Complete, "CAL.XML"},
      {"refused with an error packet", Role::Receive, "refuse=error",
       {{0, S_HOST, ACK_S}, {10, F_CAL, "\001/!EFile refusedC\015"}}, Outcome::Refused, nullptr},
      {"fewer bytes than the attributes announced: an error packet, not an acknowledgement", Role::Receive, "",
       {{0, S_HOST, ACK_S}, {10, F_CAL, Y1}, {20, "\001'\"A1\"990\015", "\001$\"YY[\015"}, {30, D3, Y3},
        {40, Z4, "\001S$E10 bytes arrived, 99 announced in the attributes,\015"}},
       Outcome::Failed, nullptr},
  };
  for (const Conversation& c : conversations) {
    test::TempFolder folder;
    const Peer p = play(c, folder);
    const std::vector<std::string> files = platform::find_files(folder.path(), "*");
    if (c.stored) {
      EXPECT_EQ(files, std::vector<std::string>{c.stored}) << c.what;  // no temporary file left
      EXPECT_EQ(test::TempFolder::read(folder.file(c.stored)), c.stored_bytes) << c.what;
    } else if (p.outcome != Outcome::Running) {
      EXPECT_TRUE(files.empty()) << c.what;
    }
  }
  EXPECT_FALSE(platform::file_size(platform::current_folder() + "/../evil.xml") >= 0);
}

TEST(SimKermitPeer, SendsAFileOnePacketAtATime) {
  const Conversation conversations[] = {
      {"the whole file; a repeated Y ignored, a NAK answered, a NAK for the next packet taken as its Y", Role::Send, "",
       {{0, "", ""}, {499, "", ""}, {500, "", S_DEV}, {510, ACK_S_HOST, F_CAL}, {520, Y1, A_10},
        {530, Y2, D3}, {540, Y2, ""}, {550, "\001##N6\015", D3}, {560, "\001#$N7\015", Z4}, {570, Y4, B5}, {580, Y5, ""}},
       Outcome::Complete, nullptr},
      {"the host's acknowledgement of B lost: B again on its own timer, not the host's TIME", Role::Send,
       "lose-b-ack timer=2500",
       {{500, "", S_DEV}, {510, ACK_S_HOST, F_CAL}, {520, Y1, A_10}, {530, Y2, D3}, {540, Y3, Z4}, {550, Y4, B5},
        {560, Y5, ""}, {1600, "", ""}, {3050, "", B5}, {3060, Y5, ""}},
       Outcome::Complete, nullptr},
      {"refused in the attributes", Role::Send, "",
       {{500, "", S_DEV}, {510, ACK_S_HOST, F_CAL}, {520, Y1, A_10}, {530, "\001$\"YNP\015", "\001$#ZDH\015"},
        {540, Y3, "\001#$B+\015"}, {550, Y4, ""}},
       Outcome::Refused, nullptr},
      {"another name and size", Role::Send, "name=OTHER.XML size=99",
       {{500, "", S_DEV}, {510, ACK_S_HOST, "\001,!FOTHER.XMLT\015"}, {520, Y1, "\001+\"A\"\"B81\"991\015"}},
       Outcome::Running, nullptr},
      {"its first packet dropped", Role::Send, "drop=1", {{500, "", ""}, {1499, "", ""}, {1500, "", S_DEV}}, Outcome::Running,
       nullptr},
      {"its first packet corrupted", Role::Send, "corrupt=1", {{500, "", "\001- S~% @-#Y1~(D\015"}}, Outcome::Running, nullptr},
      {"its first packet twice", Role::Send, "duplicate=1", {{500, "", S_DEV S_DEV}}, Outcome::Running, nullptr},
      {"silent after one packet", Role::Send, "silent-after=1", {{500, "", S_DEV}, {510, ACK_S_HOST, ""}, {5000, "", ""}},
       Outcome::Silent, nullptr},
      {"an error packet after one packet", Role::Send, "error-after=1",
       {{500, "", S_DEV}, {510, ACK_S_HOST, "\001<!EDevice failure (scenario)!\015"}}, Outcome::Failed, nullptr},
      {"a file the folder does not have", Role::Send, "", {{500, "", ""}}, Outcome::NoTransfer, nullptr, content, "NONE.XML"},
  };
  for (const Conversation& c : conversations) {
    test::TempFolder folder;
    folder.write("cal.xml", content);
    const Peer p = play(c, folder);
    if (&c == &conversations[0]) {
      EXPECT_EQ(p.stats.bytes, 10);
      EXPECT_EQ(p.stats.repeats, 1);
      EXPECT_EQ(p.stats.retries, 1);
      EXPECT_EQ(peer_report(p),
                "kermit send CAL.XML: 10 bytes, 8 packets in, 7 out, 1 retries, 1 repeated by the host, complete");
    }
  }
}

// Under check 3 a damaged data packet numbered 0 (the sequence has gone round)
// is damaged, even when its text happens to pass check 1; only the init
// exchange and error packets travel with check 1.
TEST(SimKermitPeer, UnderCheck3ADataPacketNumbered0IsNeverReadWithCheck1) {
  test::TempFolder folder;
  PeerSetup setup;
  setup.folder = folder.path();
  Peer p;
  peer_start(p, setup, 0);
  auto send = [&](int seq, char type, const std::string& data, int check) {
    const Bytes wire = build_packet(Packet{seq, type, Bytes(data.begin(), data.end())}, check, Framing{});
    p.out.clear();
    peer_feed(p, wire.data(), wire.size(), 0);
    return p.out.size() > 3 ? static_cast<char>(p.out[3]) : '-';
  };
  ASSERT_EQ(send(0, 'S', "~! @-#Y3~ ", 1), 'Y');  // check 3, no attribute packets
  ASSERT_EQ(send(1, 'F', "CAL.XML", 3), 'Y');
  for (int seq = 2; seq < 64; ++seq) ASSERT_EQ(send(seq, 'D', "x", 3), 'Y') << seq;
  // "ab" with three characters that are no CRC of it, the last a good check 1.
  EXPECT_EQ(send(0, 'D', "abzz", 1), 'N');
  EXPECT_EQ(p.stats.bytes, 62);
}

// Runs two peers against each other on a virtual clock until both have ended.
void converse(Peer& a, Peer& b) {
  int64_t now = 0;
  while (!(peer_done(a) && peer_done(b)) && now < 3600000) {
    if (a.out.empty() && b.out.empty()) now = std::max(now, std::min(peer_deadline(a), peer_deadline(b)));
    Bytes to_b, to_a;
    to_b.swap(a.out);
    to_a.swap(b.out);
    peer_feed(b, to_b.data(), to_b.size(), now);
    peer_feed(a, to_a.data(), to_a.size(), now);
    peer_tick(a, now);
    peer_tick(b, now);
  }
}

void apply(const char* words, KermitSettings& settings) {
  std::istringstream in(words);
  std::string error;
  for (std::string word; in >> word;) ASSERT_TRUE(parse_kermit_setting(word, settings, error)) << error;
}

// The file D.BIN of folder `from` sent by one peer to another that keeps
// what it receives in `to`, each with its scenario words, to the end.
void send_d_bin(const std::string& from, const std::string& to, const char* sender, const char* receiver, Peer& a,
                Peer& b) {
  PeerSetup send, receive;
  send.role = Role::Send;
  send.folder = from;
  send.file = "D.BIN";
  receive.folder = to;
  apply(sender, send.settings);
  apply(receiver, receive.settings);
  peer_start(a, send, 0);
  peer_start(b, receive, 0);
  converse(a, b);
}

// Two peers against each other on a virtual clock, through faults on both
// sides: many laps of the sequence numbers, recovery by NAK and by time-out.
TEST(SimKermitPeer, TwoPeersMoveAFileWholeThroughLineFaults) {
  std::string data;
  for (int i = 0; i < 3000; ++i) data += static_cast<char>(i % 7 == 0 ? 0xFF : (i * 37) & 0xFF);
  const struct {
    const char *sender, *receiver;
    int packets, retries;  // at least, sent by the sender
  } rows[] = {{"", "", 50, 0},
              {"check=3 qbin=on rept=off", "qbin=on maxl=10", 1000, 0},
              {"drop=3,40 corrupt=5,50 duplicate=7 lose=20", "drop=4 corrupt=9 duplicate=11 lose=13,14", 50, 5}};
  for (const auto& r : rows) {
    test::TempFolder from, to;
    from.write("d.bin", data);  // a name that fits the smallest packets
    Peer a, b;
    send_d_bin(from.path(), to.path(), r.sender, r.receiver, a, b);
    EXPECT_EQ(a.outcome, Outcome::Complete) << r.sender << ": " << peer_report(a);
    EXPECT_EQ(b.outcome, Outcome::Complete) << r.receiver << ": " << peer_report(b);
    EXPECT_TRUE(test::TempFolder::read(to.file("D.BIN")) == data) << r.sender;
    EXPECT_GE(a.stats.packets_out, r.packets) << r.sender;
    EXPECT_GE(a.stats.retries, r.retries) << r.sender;
  }
}

// A hostile sender as a receiver that checks what it gets sees it: files
// that were not asked for arrive in the same session, and a file that goes
// on far past its announced size is caught at its end.
TEST(SimKermitPeer, ExtraFilesAndAnEndlessFileReachTheReceiver) {
  const struct {
    const char* sender;
    Outcome sent, received;
    std::vector<std::string> stored;
    int64_t bytes;  // sent and acknowledged
  } rows[] = {
      {"extra-file=X.BIN extra-file-after=Y.BIN", Outcome::Complete, Outcome::Complete, {"D.BIN", "X.BIN", "Y.BIN"}, 0},
      {"endless", Outcome::HostError, Outcome::Failed, {}, 4096 + 100},
  };
  for (const auto& r : rows) {
    test::TempFolder from, to;
    from.write("d.bin", std::string(100, 'd'));
    from.write("y.bin", "why");
    Peer a, b;
    send_d_bin(from.path(), to.path(), r.sender, "", a, b);
    EXPECT_EQ(a.outcome, r.sent) << r.sender << ": " << peer_report(a);
    EXPECT_EQ(b.outcome, r.received) << r.sender << ": " << peer_report(b);
    std::vector<std::string> stored = platform::find_files(to.path(), "*");
    std::sort(stored.begin(), stored.end());
    EXPECT_EQ(stored, r.stored) << r.sender;
    if (r.bytes) {
      EXPECT_EQ(a.stats.bytes, r.bytes) << r.sender;
    } else {
      EXPECT_EQ(test::TempFolder::read(to.file("D.BIN")), std::string(100, 'd'));
      EXPECT_EQ(test::TempFolder::read(to.file("Y.BIN")), "why") << "an extra file the folder has goes as it is";
      EXPECT_NE(test::TempFolder::read(to.file("X.BIN")).find("did not ask"), std::string::npos);
    }
  }
}

}  // namespace
}  // namespace tessaril::sim::peer

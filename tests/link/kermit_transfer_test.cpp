// Kermit transfers in the link threads against a peer engine on the far end of
// a real serial line (a pseudo-terminal, or a COM pair on Windows): whole files both ways, the endings that are not a success,
// the silence limit, the time-out test and quit with their drains, engine
// failures, chattering peers, and letting go when the port closes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <random>

#include "link/kermit_peer.h"
#include "link/kermit_transfer.h"
#include "link/link_fixture.h"
#include "link/link_state.h"
#include "link/link_threads.h"
#include "link/serial_port.h"
#include "link/transfer_file.h"
#include "link/transfer_progress.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "support/line_pair.h"
#include "status/status_codes.h"
#include "support/process_usage.h"

namespace tessaril::test {
namespace {

using namespace tessaril::link;

constexpr int64_t SILENT_READ_MS = 60;  // one byte's read time-out at the 20 % scale
const std::string DASH = " \x81\x5C ";    // " — " in CP932
// The longest a transfer of these cases may take before it counts as hung.
// The engine reads a byte at a time; under Wine each read is a handful of
// round trips to the wineserver, and the 30,000 bytes of the progress case
// take 15-25 s there (2 s on Linux).
constexpr int TRANSFER_LIMIT_MS = 60000;

// The figure of a progress caption ("... 1,024 / 2,048 bytes (50%)");
// percent -1 where the caption has none, bytes -1 for a caption without a figure.
struct Figure {
  int64_t bytes = -1, size = -1, percent = -1;
};

Figure figure_of(const std::string& caption) {
  Figure f;
  const size_t slash = caption.rfind(" / ");
  if (slash == std::string::npos) return f;
  auto number = [](const std::string& text) {
    int64_t n = 0;
    for (char c : text)
      if (c >= '0' && c <= '9') n = n * 10 + (c - '0');
    return n;
  };
  const size_t from = caption.rfind(' ', slash - 1) + 1;
  f.bytes = number(caption.substr(from, slash - from));
  const size_t bytes_word = caption.find(" bytes", slash);
  f.size = number(caption.substr(slash + 3, bytes_word - slash - 3));
  const size_t open = caption.find(" (", bytes_word);
  if (open != std::string::npos) f.percent = number(caption.substr(open));
  return f;
}

PeerScript file_of(size_t n, bool peer_sends) {
  PeerScript s;
  s.sends = peer_sends;
  std::mt19937 rng(static_cast<unsigned>(n));
  s.data.resize(n);
  for (auto& x : s.data) x = static_cast<uint8_t>(rng());
  return s;
}

class KermitTransferTest : public LinkTest {
 protected:
  void SetUp() override {
    LinkTest::SetUp();
    if (line.limits().no_line) GTEST_SKIP() << line.limits().no_line;
    cwd = std::make_unique<ScopedCurrentFolder>(folder.path());
    platform::set_serial_timeout_scale(20);
    ini = folder.write("buc_setup.ini", route_com_port(5, line));
    std::string error;
    ASSERT_TRUE(open_serial_port(session, 5, 38400, 8, ini, error)) << error;
    session.kermit_tmo_count = 20;
    session.tmo_test_tx = session.tmo_test_rx = 0;
    install_kermit_transfers(session);
    ASSERT_TRUE(start_link_threads(session));
    descriptors = open_handle_count();
    ASSERT_GT(descriptors, 0u) << "the process's open handles cannot be counted";
    ui::set_change_observer([this](platform::DialogHandle, int id, ui::ChangeKind kind, std::string_view text) {
      std::lock_guard lock(seen_lock);
      if (kind == ui::ChangeKind::Caption) captions.emplace_back(text), caption_at.push_back(platform::monotonic_ms());
      if (id == result_field_id(4)) result_at = platform::monotonic_ms();
    });
  }
  void TearDown() override {
    ui::set_change_observer({});
    peer.reset();
    LinkTest::TearDown();
    cwd.reset();
  }

  // The button's rule: a quit request only while a transfer runs.
  void press_quit() {
    if (session.tx_command == TX_KERMIT_SEND || session.rx_command == RX_KERMIT_RECEIVE) session.kermit_quit_request = 1;
  }

  // Starts a transfer of script.data: sent as the chosen CAL_DATA.XML, or
  // received as the announced CAL_A.XML; `announced` is the size the device
  // was told or told us (-1: the data's size).
  void start_transfer(bool send, PeerScript script, int32_t announced = -1) {
    if (announced < 0) announced = static_cast<int32_t>(script.data.size());
    if (send) {
      session.tx_file.set("CAL_DATA.XML", announced,
                          folder.write("cal_data.xml", std::string(script.data.begin(), script.data.end())));
    } else {
      std::memset(session.rx_file_name, 0, sizeof session.rx_file_name);
      std::memcpy(session.rx_file_name, "CAL_A.XML", 10);
      session.rx_file_size = announced;
    }
    peer.reset();
    peer = std::make_unique<KermitPeer>(line, std::move(script));
    start = platform::monotonic_ms();
    if (send) {
      session.post_tx_command(TX_KERMIT_SEND);
    } else {
      session.post_rx_command(RX_KERMIT_RECEIVE);
    }
  }

  // Runs a transfer to its ending and checks what every ending leaves: the
  // command words at rest, the quit request cleared, the caption back, no
  // descriptor left open. `during` runs while it goes on.
  uint32_t transfer(bool send, PeerScript script, int32_t announced = -1, const std::function<void()>& during = {}) {
    start_transfer(send, std::move(script), announced);
    if (during) during();
    ui::PostedMessage m{};
    EXPECT_TRUE(next_post(m, TRANSFER_LIMIT_MS));
    ended_at = platform::monotonic_ms();
    EXPECT_EQ(m.lparam, static_cast<intptr_t>(send ? LinkEventKind::KermitSent : LinkEventKind::KermitReceived));
    EXPECT_TRUE(wait_until([this] { return session.tx_command == TX_IDLE; }, 500));
    EXPECT_EQ(session.rx_command.load(), RX_IDLE);
    EXPECT_EQ(session.kermit_quit_request.load(), 0);
    EXPECT_EQ(platform::window_text(dialog), "test");
    EXPECT_EQ(open_handle_count(), descriptors);
    check_ending_logged(send, static_cast<uint32_t>(m.wparam));
    check_figures();
    peer->join();
    return static_cast<uint32_t>(m.wparam);
  }

  // Every ending leaves its line in the daily log: its word and its code.
  void check_ending_logged(bool send, uint32_t status) {
    char code[16];
    std::snprintf(code, sizeof code, "%#x", static_cast<unsigned>(status));
    const char* word = status::result_word(status);
    ASSERT_NE(word, nullptr) << code;
    const std::string log = TempFolder::read(session.log.path());
    const std::string line = std::string(send ? "Kermit send ended: " : "Kermit receive ended: ") + word + " " + code;
    EXPECT_NE(log.find(line), std::string::npos) << line;
  }

  // No caption shows more than the size, or more than 100 %.
  void check_figures() {
    std::lock_guard lock(seen_lock);
    for (const std::string& caption : captions) {
      const Figure f = figure_of(caption);
      EXPECT_LE(f.bytes, f.size) << caption;
      EXPECT_LE(f.percent, 100) << caption;
    }
  }

  // The "Rcv:" lines of the hex list (the drains' bytes), and their bytes.
  std::vector<std::string> rcv_lines() {
    std::vector<std::string> out;
    for (const std::string& line : hex_lines())
      if (line.find("Rcv:") != std::string::npos) out.push_back(line);
    return out;
  }
  size_t drained_bytes() {
    size_t n = 0;
    for (const std::string& line : rcv_lines()) n += (line.size() - line.find("Rcv:") - 4) / 3;
    return n;
  }

  LinePair line;
  std::string ini;
  std::unique_ptr<ScopedCurrentFolder> cwd;
  std::unique_ptr<KermitPeer> peer;
  size_t descriptors = 0;
  int64_t start = 0, ended_at = 0, result_at = 0;
  std::mutex seen_lock;
  std::vector<std::string> captions;
  std::vector<int64_t> caption_at;
};

TEST_F(KermitTransferTest, FilesMoveWholeBothWaysWithTheirProgressInTheCaption) {
  struct Row {
    bool send;
    size_t size;
    bool stale_quit;  // a press left over from before must not break the transfer
    const char* moving;    // what the caption shows from the first data packet on
    const char* complete;  // and at the end, once
  } rows[] = {
      {true, 10000, true, "sending CAL_DATA.XML ", "sending CAL_DATA.XML 10,000 / 10,000 bytes (100%)"},
      {false, 10000, false, "receiving CAL_A.XML ", "receiving CAL_A.XML 10,000 / 10,000 bytes (100%)"},
      {true, 0, false, "sending CAL_DATA.XML 0 / 0 bytes", "sending CAL_DATA.XML 0 / 0 bytes"},
      {false, 0, true, "receiving CAL_A.XML 0 / 0 bytes", "receiving CAL_A.XML 0 / 0 bytes"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.complete);
    captions.clear();
    session.kermit_quit_request = row.stale_quit ? 1 : 0;
    const PeerScript file = file_of(row.size, !row.send);
    EXPECT_EQ(transfer(row.send, file), row.send ? 0x100040u : 0x200040u);
    if (row.send) {
      EXPECT_EQ(result(4), "SND_OK");
      EXPECT_EQ(peer->received, file.data);
      EXPECT_EQ(peer->received_name, "CAL_DATA.XML");
    } else {
      EXPECT_EQ(TempFolder::read("CAL_A.XML"), std::string(file.data.begin(), file.data.end()));
      EXPECT_LT(platform::file_size("CAL_A.XML.part"), 0);
      EXPECT_STREQ(session.rx_file_name, "CAL_A.XML");
    }
    ASSERT_GE(captions.size(), 2u);
    EXPECT_EQ(captions.front().rfind("test" + DASH + row.moving, 0), 0u) << captions.front();
    EXPECT_EQ(captions[captions.size() - 2], "test" + DASH + row.complete);
    EXPECT_EQ(captions.back(), "test");
  }
}

TEST(TransferProgressCaption, TheFigureNeverPassesTheSize) {
  const std::string dash = " \x81\x5C ";
  struct Row {
    int64_t bytes, size;
    const char* figure;
  } rows[] = {
      {7, 1, "1 / 1 bytes (100%)"},  // a name counted as data
      {104798064, (int64_t{4} << 30) + 100, "104,798,064 / 4,294,967,396 bytes (2%)"},
      {(int64_t{4} << 30) + 100, (int64_t{4} << 30) + 100, "4,294,967,396 / 4,294,967,396 bytes (100%)"},
      {12, 0, "0 / 0 bytes"},
  };
  for (const Row& row : rows)
    EXPECT_EQ(progress_caption("c", false, "A.GZ", row.bytes, row.size), "c" + dash + "receiving A.GZ " + row.figure);
}

TEST_F(KermitTransferTest, ProgressIsShownAtMostFourTimesASecond) {
  PeerScript file = file_of(30000, true);
  file.delay_ms = 3;
  // Silence is not what this case is about: a loaded machine (Wine's server
  // shared by the other tests) may hold the line still for over a second.
  session.kermit_tmo_count = 100;
  EXPECT_EQ(transfer(false, file), 0x200040u);
  std::lock_guard lock(seen_lock);
  ASSERT_GE(captions.size(), 4u);
  // The whole size shows at the end whenever it comes, and the caption goes back.
  for (size_t i = 1; i + 2 < caption_at.size(); ++i) EXPECT_GE(caption_at[i] - caption_at[i - 1], 240) << captions[i];
}

TEST_F(KermitTransferTest, OnlyAWholeFileUnderItsAnnouncedNameIsASuccess) {
  struct Row {
    const char* label;
    bool send;
    int32_t announced;
    size_t bytes;
    int32_t size_attribute;
    std::string name;
    char refuse_type;
    const char* refuse_text;
    uint32_t status;
    const char* rx_name_after;
    bool data_moved;  // false: refused before its data, with no progress shown
  } rows[] = {
      {"send, other size", true, 999, 1000, -1, "", 0, "", 0x102000, "", true},
      {"send refused", true, 1000, 1000, -1, "", 'A', "N", 0x102000, "", false},
      {"send cancelled", true, 1000, 1000, -1, "", 'D', "X", 0x102000, "", true},
      // The engine refuses another size or name before writing anything.
      {"receive, other size", false, 999, 1000, -1, "CAL_A.XML", 0, "", 0x202000, "CAL_A.XML", false},
      {"receive, fewer bytes than said", false, 1000, 900, 1000, "CAL_A.XML", 0, "", 0x202000, "CAL_A.XML", true},
      {"receive, other name", false, 1000, 1000, -1, "OTHER.XML", 0, "", 0x201000, "CAL_A.XML", false},
      {"receive, name too long", false, 1000, 1000, -1, std::string(45, 'L'), 0, "", 0x201000, "CAL_A.XML", false},
      {"receive, other name and size", false, 999, 1000, -1, "OTHER.XML", 0, "", 0x201000, "CAL_A.XML", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    PeerScript script = file_of(row.bytes, !row.send);
    script.size_attribute = row.size_attribute;
    script.name = row.name;
    script.refuse_type = row.refuse_type;
    script.refuse_text = row.refuse_text;
    captions.clear();
    EXPECT_EQ(transfer(row.send, script, row.announced), row.status);
    if (!row.send) { EXPECT_STREQ(session.rx_file_name, row.rx_name_after); }
    EXPECT_EQ(result(4), "*");
    EXPECT_EQ(captions.empty(), !row.data_moved);
  }
}

TEST_F(KermitTransferTest, TheSilenceLimitCountsConsecutiveSilentReads) {
  for (int row = 0; row < 4; ++row) {
    const bool send = row < 2;
    const int count = row % 2 ? 5 : 0;
    SCOPED_TRACE(row);
    session.kermit_tmo_count = count;
    PeerScript mute = file_of(100, !send);
    mute.mute_after = 0;
    EXPECT_EQ(transfer(send, mute), send ? 0x100200u : 0x200200u);
    const int64_t took = ended_at - start;
    EXPECT_GE(took, (count + 1) * SILENT_READ_MS + (send ? 0 : count * 20));
    if (count == 0) { EXPECT_LT(took, 5 * SILENT_READ_MS); }
    // Only the receiving side tells the device to give up.
    EXPECT_EQ(peer->saw_cancel, !send);
  }
}

TEST_F(KermitTransferTest, OneLostPacketOrAcknowledgementIsRepeatedByTheHost) {
  // The peer never repeats anything itself (a device whose timer outlasts the
  // silence limit): only the host's own repeats and NAKs can save these.
  // Packets count from 1: S, F, A, then the data, Z and B; an empty file has
  // its B fifth.
  struct Row {
    const char* label;
    bool send;
    size_t size;
    int lose;  // the host's packet lost on its way to the peer
    int drop;  // the peer's packet lost on its way to the host
    bool stays_after_b = true;
  } rows[] = {
      {"send: the S lost", true, 2000, 1, -1},
      {"send: its acknowledgement lost", true, 2000, -1, 1},
      {"send: a data packet lost", true, 2000, 4, -1},
      {"send: the acknowledgement of a data packet lost", true, 2000, -1, 4},
      {"send: the B lost", true, 0, 5, -1},
      {"send: the acknowledgement of the B lost", true, 0, -1, 5},
      // The file's Z was acknowledged: the device has it whole.
      {"send: the acknowledgement of the B lost, no answer to a repeat", true, 0, -1, 5, false},
      {"receive: the S lost", false, 2000, -1, 1},
      {"receive: its acknowledgement lost", false, 2000, 1, -1},
      {"receive: a data packet lost", false, 2000, -1, 4},
      {"receive: the acknowledgement of a data packet lost", false, 2000, 4, -1},
      {"receive: the B lost", false, 0, -1, 5},
  };
  session.kermit_tmo_count = 5;  // the default Kermit_TMO
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    PeerScript script = file_of(row.size, !row.send);
    script.lose = row.lose;
    script.drop = row.drop;
    script.stays_after_b = row.stays_after_b;
    EXPECT_EQ(transfer(row.send, script), row.send ? 0x100040u : 0x200040u);
    if (row.send) {
      EXPECT_EQ(peer->received, script.data);
    } else {
      EXPECT_EQ(TempFolder::read("CAL_A.XML"), std::string(script.data.begin(), script.data.end()));
      platform::remove_file("CAL_A.XML");
    }
  }
}

TEST_F(KermitTransferTest, TimeOutTestAndQuitEndMidwayAndDrainTheLine) {
  struct Row {
    const char* label;
    bool send;
    bool tmo_test;
    int quit_at;     // the peer's packet at which "KerTrns Quit" is pressed
    int resend_max;  // the peer's repeats on a silent line (which may also come early)
    uint32_t status;
  } rows[] = {
      {"send, time-out test", true, true, 0, 0, 0x104000},
      {"receive, time-out test", false, true, 0, 0, 0x204000},
      {"send, quit", true, false, 3, 3, 0x108000},
      {"receive, quit", false, false, 3, 3, 0x208000},
      {"send, both at the fifth packet", true, true, 5, 0, 0x104000},
      {"receive, both at the fifth packet", false, true, 4, 0, 0x208000},
      {"receive, a peer that never falls silent", false, true, 0, 1000, 0x204000},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    session.tmo_test_tx = session.tmo_test_rx = row.tmo_test ? 1 : 0;
    PeerScript script = file_of(5000, !row.send);
    script.resend_ms = 50;
    script.resend_max = row.resend_max;
    script.on_packet = [&](int n) {
      if (n == row.quit_at) press_quit();
    };
    const size_t lines_before = rcv_lines().size(), bytes_before = drained_bytes();
    captions.clear();
    EXPECT_EQ(transfer(row.send, script), row.status);
    EXPECT_EQ(result(4), "*");
    if (row.quit_at > 0 && (row.status & 0x8000)) {
      // The press shows as soon as the thread takes it, until the end.
      std::lock_guard lock(seen_lock);
      ASSERT_GE(captions.size(), 2u);
      EXPECT_EQ(captions[captions.size() - 2], "test" + DASH + "stopping\x81\x63");
    }
    EXPECT_LT(platform::file_size("CAL_A.XML"), 0);  // a received file is not put in place
    // The fifth packet is not processed: the peer has its answer to the fourth.
    if (row.tmo_test && row.quit_at == 0 && row.resend_max == 0) {
      EXPECT_EQ(peer->packets.load(), row.send ? 5 : 4);
    }
    if (row.resend_max > 0) { EXPECT_GT(rcv_lines().size(), lines_before); }  // repeats drained and logged
    if (row.resend_max > 3) {
      EXPECT_GE(drained_bytes() - bytes_before, static_cast<size_t>(DRAIN_BYTES_MAX));
      EXPECT_LT(drained_bytes() - bytes_before, static_cast<size_t>(DRAIN_BYTES_MAX + 20));
    }
  }
}

TEST_F(KermitTransferTest, AnEngineFailureKeepsTheCommandWordUntilTheTransferEnds) {
  session.kermit_tmo_count = 10;
  for (int row = 0; row < 4; ++row) {
    const bool send = row % 2 == 0, quit = row >= 2;
    SCOPED_TRACE(row);
    PeerScript script = file_of(5000, !send);
    script.error_after = 3;  // then it falls silent
    int32_t word = -1;
    const uint32_t status = transfer(send, script, -1, [&] {
      EXPECT_TRUE(wait_until([&] { return peer->error_sent.load(); }, 5000));
      platform::sleep_ms(250);  // the engine has failed on the error packet
      word = send ? session.tx_command.load() : session.rx_command.load();
      if (quit) press_quit();
    });
    // Ended by the silence that follows, it reports the engine's failure, not a time-out.
    EXPECT_EQ(status, quit ? (send ? 0x108000u : 0x208000u) : (send ? 0x100080u : 0x200080u));
    EXPECT_EQ(word, send ? TX_KERMIT_SEND : RX_KERMIT_RECEIVE);
    EXPECT_LT(platform::file_size("CAL_A.XML"), 0);
  }
}

TEST_F(KermitTransferTest, APeerThatOnlySendsDamagedPacketsEndsAsAnEngineFailure) {
  for (bool send : {true, false}) {
    PeerScript script = file_of(5000, !send);
    script.garble_after = 3;
    EXPECT_EQ(transfer(send, script), send ? 0x100080u : 0x200080u);
    EXPECT_EQ(peer->saw_cancel, !send);
  }
}

TEST_F(KermitTransferTest, ClosingThePortOrStoppingTheThreadsLetsTheTransferGoAtOnce) {
  for (int row = 0; row < 4; ++row) {
    const bool send = row % 2 == 0, close = row < 2;
    SCOPED_TRACE(row);
    PeerScript script = file_of(60000, !send);
    script.delay_ms = 5;
    start_transfer(send, script);
    ASSERT_TRUE(wait_until([&] { return peer->packets >= 10; }, 5000));
    const int64_t begin = platform::monotonic_ms();
    if (close) {
      close_serial_port(session);  // "Return to Menu"
      EXPECT_FALSE(session.tx_busy.load() || session.rx_busy.load());
    } else {
      stop_link_threads(session);
      EXPECT_FALSE(session.tx_running.load() || session.rx_running.load());
    }
    EXPECT_LT(platform::monotonic_ms() - begin, 1000);
    ui::PostedMessage m{};
    EXPECT_FALSE(next_post(m, 200)) << m.wparam;
    EXPECT_EQ(platform::window_text(dialog), "test");
    EXPECT_EQ(session.kermit_quit_request.load(), 0);
    EXPECT_LT(platform::file_size("CAL_A.XML"), 0);
    // Stopping cancels the port's I/O for good as well.
    std::string error;
    ASSERT_TRUE(open_serial_port(session, 5, 38400, 8, ini, error)) << error;
    if (!close) { ASSERT_TRUE(start_link_threads(session)); }
    EXPECT_EQ(open_handle_count(), descriptors);  // the file closed, the port's own descriptors alone
  }
}

TEST_F(KermitTransferTest, FailedSetUpsEndBeforeAnythingGoesOnTheLine) {
  PeerScript mute;
  mute.mute_after = 0;
  session.tx_file.set("", 0, "");  // nothing chosen
  session.rx_command = RX_IDLE;
  peer = std::make_unique<KermitPeer>(line, mute);
  session.post_tx_command(TX_KERMIT_SEND);
  ui::PostedMessage m{};
  ASSERT_TRUE(next_post(m, 2000));
  EXPECT_EQ(m.wparam, 0x100800u);
  std::memset(session.rx_file_name, 'N', sizeof session.rx_file_name);  // fills the field: no terminator
  session.post_rx_command(RX_KERMIT_RECEIVE);
  ASSERT_TRUE(next_post(m, 2000));
  EXPECT_EQ(m.wparam, 0x200800u);
  EXPECT_EQ(session.rx_command.load(), RX_IDLE);
  peer->join();
  EXPECT_EQ(peer->packets.load(), 0);
}

TEST_F(KermitTransferTest, TheWaitAfterAFinishedSendIsThatOfTheNextStepAndNoneAfterStepFour) {
  for (int k = 0; k < 5; ++k) session.step_wait_ticks(k) = 25;  // 500 ms each
  for (int step : {3, 4}) {
    SCOPED_TRACE(step);
    session.frame_slot = step;
    EXPECT_EQ(transfer(true, file_of(100, false)), 0x100040u);
    const int64_t waited = ended_at - result_at;
    if (step == 3) { EXPECT_GE(waited, 500); }
    if (step == 4) { EXPECT_LT(waited, 300); }
  }
}

}  // namespace
}  // namespace tessaril::test

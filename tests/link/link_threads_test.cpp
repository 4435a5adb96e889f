// The send and receive threads against a device played on the far end of a
// real serial line (a pseudo-terminal, or a COM pair on Windows): one exchange, missing and malformed answers, step waits,
// stop requests, closing the port under a read, torn frames, a vanished device.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "link/answer_check.h"
#include "link/answer_scan.h"
#include "link/link_fixture.h"
#include "link/link_state.h"
#include "link/link_threads.h"
#include "link/serial_port.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/serial.h"
#include "support/line_pair.h"
#include "support/process_usage.h"

namespace tessaril::test {
namespace {

using namespace tessaril::link;

class LinkThreadsTest : public LinkTest {
 protected:
  void SetUp() override {
    LinkTest::SetUp();
    if (line.limits().no_line) GTEST_SKIP() << line.limits().no_line;
    ini = folder.write("buc_setup.ini", route_com_port(5, line));
    std::string error;
    ASSERT_TRUE(open_serial_port(session, 5, 38400, 8, ini, error)) << error;
    ASSERT_TRUE(start_link_threads(session));
  }

  // Stores a frame in step `step` and hands it to the send thread; returns
  // what the send thread posted.
  ui::PostedMessage send(int step, const Bytes& raw) {
    session.store_tx_frame(step, raw.data(), static_cast<int>(raw.size()));
    session.frame_slot = step;
    session.post_tx_command(TX_SEND_FRAME);
    ui::PostedMessage m{};
    EXPECT_TRUE(next_post(m, 2000));
    return m;
  }

  LinePair line;
  std::string ini;
};

TEST_F(LinkThreadsTest, OneExchangeFromFrameToValidatedAnswer) {
  const Bytes command = make_frame(0x01, 0, 1, {});
  ui::PostedMessage m = send(1, command);
  EXPECT_EQ(m.message, 1034u);
  EXPECT_EQ(m.wparam, 0x100001u);
  EXPECT_EQ(m.lparam, 1);
  EXPECT_EQ(session.pending_events(), 1) << "posted, and this dialog has no handler to count it out";
  EXPECT_EQ(line.device_read(9, 1000), (Bytes{0x01, 0x00, 0x00, 0x01, 0x00, 0x00, 0xA9, 0x78, 0xC0}));
  // The sequencer answers 0x100001 by awaiting the answer.
  session.post_rx_command(RX_AWAIT_ANSWER);
  line.device_write(encode(make_frame(0x81, 0x08, 1, {0x00, 0x12})));
  ASSERT_TRUE(next_post(m, 2000));
  EXPECT_EQ(m.wparam, 0x81u);
  EXPECT_EQ(m.lparam, 3);
  EXPECT_EQ(result(1), "RSP=Success(0x01)");
  EXPECT_EQ(session.rsp_ok.load(), 1);
  EXPECT_EQ(session.rx_command.load(), RX_IDLE);
  EXPECT_EQ(session.tx_command.load(), TX_IDLE);
  EXPECT_EQ(session.pending_events(), 2);
  EXPECT_FALSE(session.idle()) << "two events wait for the dialog";
  for (int handled = 0; handled < 3; ++handled) session.link_event_handled();
  EXPECT_EQ(session.pending_events(), 0) << "never below zero";
  EXPECT_TRUE(wait_idle(1000));
  auto hex = hex_lines();
  ASSERT_EQ(hex.size(), 2u);
  EXPECT_NE(hex[0].find("Snd: 01 00 00 01 00 00 A9 78 C0"), std::string::npos) << hex[0];
  EXPECT_NE(hex[1].find("Rcv: 81 08 00 01 00 02 00 12"), std::string::npos) << hex[1];
  EXPECT_EQ(text_lines().size(), 2u);
}

TEST_F(LinkThreadsTest, NoAnswerAfterThreeEmptyReads) {
  session.frame_slot = 2;
  const int64_t start = platform::monotonic_ms();
  session.post_rx_command(RX_AWAIT_ANSWER);
  EXPECT_EQ(wait_result(2, 5000), "No_Ans");
  // Three reads of 384 ms (the scaled 38 400 ms) and two pauses.
  EXPECT_GE(platform::monotonic_ms() - start, 3 * 384);
  EXPECT_EQ(session.frame_slot.load(), 1);
  EXPECT_EQ(session.rx_command.load(), RX_IDLE);
  ui::PostedMessage m{};
  EXPECT_FALSE(next_post(m, 100));
}

TEST_F(LinkThreadsTest, AnswerOnTheSecondReadIsTaken) {
  session.post_rx_command(RX_AWAIT_ANSWER);
  platform::sleep_ms(500);  // the first read has given up by now
  line.device_write(encode(make_frame(0x85, 0x08, 1, {})));
  ui::PostedMessage m{};
  ASSERT_TRUE(next_post(m, 3000));
  EXPECT_EQ(m.wparam, 0x85u);
  EXPECT_EQ(result(1), "RSP=Success(0x01)");
}

TEST_F(LinkThreadsTest, ShortAnswerAndBadCrc) {
  Bytes short_answer = make_frame(0x83, 0x08, 1, {1, 2, 3, 4});
  short_answer.erase(short_answer.begin() + 11, short_answer.end());
  session.post_rx_command(RX_AWAIT_ANSWER);
  line.device_write(short_answer);
  EXPECT_EQ(wait_result(1, 3000), "Ans_RCV_ERR");
  ui::PostedMessage m{};
  EXPECT_FALSE(next_post(m, 100));
  EXPECT_EQ(session.rx_command.load(), RX_IDLE);

  session.frame_slot = 3;
  session.post_rx_command(RX_AWAIT_ANSWER);
  line.device_write(encode(with_bad_crc(make_frame(0x84, 0x08, 1, {9}))));
  EXPECT_EQ(wait_result(3, 3000), "CRC_NG");
  ASSERT_TRUE(next_post(m, 1000));
  EXPECT_EQ(m.wparam, 0x84u);
}

TEST_F(LinkThreadsTest, AnOversizeAnswerFailsAndItsTailDoesNotSpoilTheNextRead) {
  // 260 data bytes: 269 bytes on the wire, more than one 255-byte read.
  Bytes big = make_frame(0x86, 0x08, 1, Bytes(260, 'x'));
  ASSERT_GT(encode(big).size(), 255u);
  session.post_rx_command(RX_AWAIT_ANSWER);
  line.device_write(encode(big));
  EXPECT_EQ(wait_result(1, 3000), "Ans_RCV_ERR");
  platform::set_control_text(dialog, result_field_id(1), "*");
  session.post_rx_command(RX_AWAIT_ANSWER);
  line.device_write(encode(make_frame(0x81, 0x08, 2, {})));
  EXPECT_EQ(wait_result(1, 3000), "RSP=Success(0x01)");
  // The tail is logged apart, with its note (the list sorts its lines).
  const auto hex = hex_lines();
  auto has = [&](const char* text) {
    return std::any_of(hex.begin(), hex.end(), [&](const std::string& l) { return l.find(text) != std::string::npos; });
  };
  EXPECT_TRUE(has("Rcv: 78 78")) << ::testing::PrintToString(hex);
  EXPECT_TRUE(has("beyond one read passed over"));
  EXPECT_TRUE(has("Rcv: 81 08 00 02"));
}

TEST_F(LinkThreadsTest, BadInputEndsInAShownOutcome) {
  const Bytes cases[] = {Bytes(255, 0xC0), Bytes(255, 0xDB), Bytes(5, 0x11)};
  for (const Bytes& wire : cases) {
    platform::set_control_text(dialog, result_field_id(1), "*");
    session.post_rx_command(RX_AWAIT_ANSWER);
    line.device_write(wire);
    EXPECT_EQ(wait_result(1, 3000), "Ans_RCV_ERR");
    EXPECT_TRUE(wait_idle(1000));
  }
}

// What the line holds before and after the answer to the frame written (code
// 0x02, sequence number 7): stale bytes and strays are passed over with a
// note, the answer is taken, and what follows it stays for the next reader.
TEST_F(LinkThreadsTest, TheAnswerToTheFrameWrittenIsFoundAmongOtherBytes) {
  const Bytes ours = encode(make_frame(0x82, 0x08, 7, {'o', 'k', 0}));
  const Bytes kermit_nak = {0x01, '#', ' ', 'N', '3', '\r'};
  struct Case {
    const char* what;
    Bytes before;
    int notes;  // lines passed over
  };
  const Case cases[] = {
      {"line noise", {0x00, 0xFF, 0x55, 0xAA}, 1},
      {"a Kermit packet left from a transfer", kermit_nak, 1},
      {"another command's answer, sent twice", encode(make_frame(0x81, 0x08, 6, {})), 1},
      {"this command's answer to an earlier frame", encode(make_frame(0x82, 0x08, 5, {})), 1},
      {"our own frame on a looped-back line", encode(make_frame(0x02, 0x00, 7, {})), 1},
      {"noise, then a stray", [&] {
         Bytes b = {0x13, 0x37};
         const Bytes stray = encode(make_frame(0x8E, 0x08, 6, {}));
         b.insert(b.end(), stray.begin(), stray.end());
         return b;
       }(), 2},
  };
  const Bytes written = make_frame(0x02, 0x00, 7, {});
  const Bytes behind = {0x01, '+', ' ', 'S', '~'};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    platform::set_control_text(dialog, result_field_id(1), "*");
    const size_t lines_before = hex_lines().size();
    session.written_frame = written_frame_mark(written.data(), static_cast<int>(written.size()));
    session.post_rx_command(RX_AWAIT_ANSWER);
    Bytes wire = c.before;
    wire.insert(wire.end(), ours.begin(), ours.end());
    wire.insert(wire.end(), behind.begin(), behind.end());
    line.device_write(wire);
    EXPECT_EQ(wait_result(1, 3000), "RSP=Success(0x01)");
    ui::PostedMessage m{};
    ASSERT_TRUE(next_post(m, 1000));
    EXPECT_EQ(m.wparam, 0x82u);
    session.link_event_handled();
    const auto hex = hex_lines();
    // The passed-over bytes (a line and its note each), then the answer.
    EXPECT_EQ(hex.size() - lines_before, static_cast<size_t>(2 * c.notes + 1));
    // The bytes behind the answer's END code are the next reader's.
    uint8_t next[16] = {};
    EXPECT_EQ(platform::serial_read(session.com_handle.load(), next, sizeof next), static_cast<int>(behind.size()));
    EXPECT_EQ(Bytes(next, next + behind.size()), behind);
    EXPECT_TRUE(wait_idle(1000));
  }
}

TEST_F(LinkThreadsTest, StepWaitOfFrameOneDelaysTheValidation) {
  struct Case {
    int32_t ticks;
    int min_ms;
    int max_ms;
  };
  // Edit 1701 = 1000 gives 50 ticks; 19 gives 0; a typed "-20" gives -1,
  // which counts as no wait (not a sleep of weeks).
  for (Case c : {Case{50, 1000, 5000}, Case{0, 0, 800}, Case{-1, 0, 800}}) {
    session.step_wait_ticks(1) = c.ticks;
    session.frame_slot = 1;
    session.post_rx_command(RX_AWAIT_ANSWER);
    const int64_t start = platform::monotonic_ms();
    line.device_write(encode(make_frame(0x81, 0x08, 1, {})));
    ui::PostedMessage m{};
    ASSERT_TRUE(next_post(m, 6000));
    const int64_t took = platform::monotonic_ms() - start;
    EXPECT_GE(took, c.min_ms) << c.ticks;
    EXPECT_LT(took, c.max_ms) << c.ticks;
  }
}

TEST_F(LinkThreadsTest, AStopRequestDuringAReadEndsTheThreadWithoutAResult) {
  platform::set_serial_timeout_scale(100);  // a read that would wait 38.4 s
  session.post_rx_command(RX_AWAIT_ANSWER);
  ASSERT_TRUE(wait_until([this] { return session.rx_busy.load(); }, 1000));
  const int64_t start = platform::monotonic_ms();
  stop_link_threads(session);
  EXPECT_LT(platform::monotonic_ms() - start, 1500);
  EXPECT_FALSE(session.tx_running.load());
  EXPECT_FALSE(session.rx_running.load());
  EXPECT_EQ(result(1), "*");
  EXPECT_TRUE(ui::take_posted_messages(dialog).empty());
}

TEST_F(LinkThreadsTest, StartingTwiceStartsOnceAndAStoppedPairStartsAgain) {
  EXPECT_FALSE(start_link_threads(session));
  EXPECT_TRUE(session.tx_running.load());
  EXPECT_TRUE(session.rx_running.load());
  stop_link_threads(session);
  EXPECT_FALSE(session.tx_running.load());
  // A new port: the stop cancelled the old one's I/O.
  std::string error;
  ASSERT_TRUE(open_serial_port(session, 5, 38400, 8, ini, error)) << error;
  EXPECT_TRUE(start_link_threads(session));
  ui::PostedMessage m = send(1, make_frame(0x02, 0, 5, {}));
  EXPECT_EQ(m.wparam, 0x100001u);
}

TEST_F(LinkThreadsTest, ClosingThePortUnderAReadIsSafeAndTheNextOpenGetsItsAnswer) {
  platform::set_serial_timeout_scale(100);
  session.post_rx_command(RX_AWAIT_ANSWER);
  ASSERT_TRUE(wait_until([this] { return session.rx_busy.load(); }, 1000));
  const platform::SerialHandle old_port = session.com_handle.load();
  const int64_t start = platform::monotonic_ms();
  close_serial_port(session);
  EXPECT_LT(platform::monotonic_ms() - start, 1000);
  EXPECT_EQ(session.com_handle.load(), platform::INVALID_SERIAL);
  EXPECT_FALSE(session.rx_busy.load());
  EXPECT_EQ(session.rx_command.load(), RX_IDLE);
  EXPECT_FALSE(platform::serial_is_open(old_port));
  platform::sleep_ms(100);
  EXPECT_EQ(result(1), "*");  // the abandoned read shows nothing
  // Next ENTER: the first answer goes to the new command.
  std::string error;
  ASSERT_TRUE(open_serial_port(session, 5, 38400, 8, ini, error)) << error;
  EXPECT_NE(session.com_handle.load(), old_port);
  session.post_rx_command(RX_AWAIT_ANSWER);
  line.device_write(encode(make_frame(0x87, 0x08, 3, {})));
  ui::PostedMessage m{};
  ASSERT_TRUE(next_post(m, 3000));
  EXPECT_EQ(m.wparam, 0x87u);
  EXPECT_EQ(result(1), "RSP=Success(0x01)");
}

TEST_F(LinkThreadsTest, ASendDuringAWriteNeverTearsTheFrameOnTheWire) {
  const Bytes a = make_frame(0x0A, 0, 1, Bytes(200, 'a'));
  const Bytes b = make_frame(0x0B, 0, 2, Bytes(30, 'b'));
  const Bytes wire_a = encode(a), wire_b = encode(b);
  session.store_tx_frame(1, a.data(), static_cast<int>(a.size()));
  std::atomic<bool> done{false};
  std::thread editor([&] {
    for (bool flip = false; !done.load(); flip = !flip) {
      const Bytes& f = flip ? a : b;
      session.store_tx_frame(1, f.data(), static_cast<int>(f.size()));
    }
  });
  int sends = 0;
  for (int i = 0; i < 15; ++i) {
    session.frame_slot = 1;
    session.post_tx_command(TX_SEND_FRAME);
    ui::PostedMessage m{};
    if (next_post(m, 2000)) ++sends;
  }
  done = true;
  editor.join();
  EXPECT_EQ(sends, 15);
  Bytes stream = line.device_read(100000, 300);
  // Frames end with their raw END; no other 0xC0 is on the wire.
  size_t begin = 0;
  int frames = 0;
  for (size_t i = 0; i < stream.size(); ++i) {
    if (stream[i] != 0xC0) continue;
    Bytes one(stream.begin() + static_cast<long>(begin), stream.begin() + static_cast<long>(i) + 1);
    EXPECT_TRUE(one == wire_a || one == wire_b) << "torn frame of " << one.size() << " bytes";
    begin = i + 1;
    ++frames;
  }
  EXPECT_EQ(frames, 15);
  EXPECT_EQ(begin, stream.size());
}

TEST_F(LinkThreadsTest, AVanishedDeviceGivesShortWritesAndNoAnswerWithoutBusyLooping) {
  if (line.limits().cannot_vanish) GTEST_SKIP() << line.limits().cannot_vanish;
  line.vanish();
  ui::PostedMessage m = send(1, make_frame(0x01, 0, 1, {}));
  EXPECT_EQ(m.wparam, 0x100004u);
  EXPECT_TRUE(hex_lines().empty());  // a short write logs nothing
  session.post_rx_command(RX_AWAIT_ANSWER);
  EXPECT_EQ(wait_result(1, 3000), "No_Ans");
  // Keep the threads working against the dead port for a second, as a
  // sequencer that resends Frame1 after every short write would.
  const int64_t cpu_before = process_cpu_ms();
  const int64_t end = platform::monotonic_ms() + 1000;
  while (platform::monotonic_ms() < end) {
    session.frame_slot = 1;
    session.post_tx_command(TX_SEND_FRAME);
    session.post_rx_command(RX_AWAIT_ANSWER);
    next_post(m, 200);
  }
  EXPECT_LT(process_cpu_ms() - cpu_before, 500);
  EXPECT_TRUE(session.tx_running.load());
  EXPECT_TRUE(session.rx_running.load());
}

TEST_F(LinkThreadsTest, AStepBeyondTheBuffersEndsTheSequence) {
  session.frame_slot = 9;
  session.post_tx_command(TX_SEND_FRAME);
  EXPECT_TRUE(wait_idle(1000));
  EXPECT_EQ(session.frame_slot.load(), 1);
  EXPECT_TRUE(line.device_read(1, 100).empty());
  session.frame_slot = 5;
  session.post_rx_command(RX_AWAIT_ANSWER);
  EXPECT_TRUE(wait_idle(1000));
  EXPECT_EQ(session.frame_slot.load(), 1);
}

TEST_F(LinkThreadsTest, KermitCommandsWithoutATransferEndAsAFailedSetUp) {
  session.post_tx_command(TX_KERMIT_SEND);
  ui::PostedMessage m{};
  ASSERT_TRUE(next_post(m, 1000));
  EXPECT_EQ(m.wparam, 0x100800u);
  EXPECT_EQ(m.lparam, 2);
  EXPECT_TRUE(wait_until([this] { return session.tx_command.load() == TX_IDLE; }, 1000));
  session.post_rx_command(RX_KERMIT_RECEIVE);
  ASSERT_TRUE(next_post(m, 1000));
  EXPECT_EQ(m.wparam, 0x200800u);
  EXPECT_EQ(m.lparam, 4);
  EXPECT_EQ(session.rx_command.load(), RX_IDLE);
}

TEST_F(LinkThreadsTest, ADialogThatHasEndedLosesTheNotificationsAndNothingElse) {
  ui::destroy_test_dialog(dialog);  // "Return to Menu" raced the threads
  const Bytes raw = make_frame(0x01, 0, 1, {});
  session.store_tx_frame(1, raw.data(), static_cast<int>(raw.size()));
  session.frame_slot = 1;
  session.post_tx_command(TX_SEND_FRAME);
  EXPECT_EQ(line.device_read(9, 2000), raw);
  session.post_rx_command(RX_AWAIT_ANSWER);
  line.device_write(encode(make_frame(0x81, 0x08, 1, {})));
  EXPECT_TRUE(wait_idle(2000)) << "an event no dialog took is not left counted";
  EXPECT_EQ(session.rx_command.load(), RX_IDLE);
  EXPECT_EQ(session.rsp_ok.load(), 1);
  EXPECT_EQ(session.pending_events(), 0);
  EXPECT_TRUE(session.tx_running.load());
  EXPECT_TRUE(session.rx_running.load());
}

class LinkPortTest : public LinkTest {};

// A COM number with nothing behind it: on Linux one led to a path that does
// not exist, on Windows a port the system has not got.
struct AbsentPort {
  int number;
  const char* ports_section;
  const char* error;
};
#ifdef _WIN32
const AbsentPort ABSENT_PORT{199, "", "Cannot open COM199 (\\\\.\\COM199): "};
const std::string ABSENT_REASON = platform::serial_system_text(2 /* ERROR_FILE_NOT_FOUND */);
#else
const AbsentPort ABSENT_PORT{4, "[ports]\nCOM4=/dev/tessaril-absent\n", "Cannot open COM4 (/dev/tessaril-absent): "};
const std::string ABSENT_REASON = "No such file or directory";
#endif

TEST_F(LinkPortTest, APortThatFailsToOpenIsShownAndLoggedAndFailsEveryExchange) {
  std::string ini = folder.write("buc_setup.ini", ABSENT_PORT.ports_section);
  std::string error;
  EXPECT_FALSE(open_serial_port(session, ABSENT_PORT.number, 38400, 8, ini, error));
  EXPECT_EQ(error, ABSENT_PORT.error + ABSENT_REASON);
  EXPECT_EQ(session.com_handle.load(), platform::INVALID_SERIAL);
  // COM0 (typed as 0 or 256) has no device of its own: it never opens COM1's.
  std::string com0_error;
  EXPECT_FALSE(open_serial_port(session, 0, 38400, 8, ini, com0_error));
  EXPECT_EQ(com0_error.rfind("Cannot open COM0: no device for this port number", 0), 0u) << com0_error;
  EXPECT_EQ(session.com_handle.load(), platform::INVALID_SERIAL);
  report_port_error(session, error);
  auto hex = hex_lines();
  ASSERT_EQ(hex.size(), 1u);
  EXPECT_NE(hex[0].find(error), std::string::npos);
  auto logs = platform::find_files(folder.path() + "/cmd_log", "Clog*.txt");
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_NE(TempFolder::read(folder.path() + "/cmd_log/" + logs[0]).find(error), std::string::npos);

  ASSERT_TRUE(start_link_threads(session));
  const Bytes raw = make_frame(0x01, 0, 1, {});
  session.store_tx_frame(1, raw.data(), static_cast<int>(raw.size()));
  session.frame_slot = 1;
  session.post_tx_command(TX_SEND_FRAME);
  ui::PostedMessage m{};
  ASSERT_TRUE(next_post(m, 2000));
  EXPECT_EQ(m.wparam, 0x100004u);
  session.post_rx_command(RX_AWAIT_ANSWER);
  EXPECT_EQ(wait_result(1, 3000), "No_Ans");
}

}  // namespace
}  // namespace tessaril::test

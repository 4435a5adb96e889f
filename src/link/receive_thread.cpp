// The receive thread: sleeps until `rx_command` is written, then reads and
// checks the answer to the frame of step `frame_slot`, or runs a Kermit
// receive.
//
// The answer is looked for among what the line brings (answer_scan.h):
// stale bytes in front of it and strays (answers to earlier frames) are
// logged as "Rcv:" lines with a note and passed over, and the wait goes on
// within the same reads. Bytes behind the answer's END code go back to the
// port for whoever reads next: the device's first Kermit packet follows the
// answer to Recieve File at once.
#include <cstdio>
#include <algorithm>
#include <cstring>
#include <functional>
#include <string>

#include "link/answer_check.h"
#include "link/answer_scan.h"
#include "link/frame_codec.h"
#include "link/link_threads.h"
#include "link/session.h"
#include "platform/serial.h"
#include "status/status_codes.h"

namespace tessaril::link {

namespace {

constexpr int READ_ATTEMPTS = 3;  // the first read and two retries
constexpr int RETRY_PAUSE_MS = 20;
constexpr int64_t IDLE_WAIT_MS = 60000;  // a wake-up a minute costs nothing and bounds any lost one

bool stop_requested(const Session& s) { return s.rx_run_state.load() == RX_STOP_REQUEST; }

bool has_work(const Session& s) {
  const int32_t command = s.rx_command.load();
  return command == RX_KERMIT_RECEIVE || command == RX_AWAIT_ANSWER;
}

// The answer is no longer wanted: the port it was awaited on has been closed,
// or the dialog took the command back.
bool withdrawn(const Session& s, int32_t port_period) {
  return s.epoch.load() != port_period || s.rx_command.load() != RX_AWAIT_ANSWER;
}

enum class Outcome { Done, Exit };

void end_sequence(Session& s, int step, const char* text) {
  s.report_step_result(step, text);
  clear_command(s.rx_command, RX_AWAIT_ANSWER);
  s.frame_slot.store(1);
}

// Bytes passed over before the answer, at most: a chattering line ends the
// wait as a bad answer instead of holding it.
constexpr size_t SKIP_MAX = 4 * ANSWER_READ_MAX;
// What is gathered while a piece has no END yet; a read of one byte tells,
// within its 300 ms, whether more is coming.
constexpr size_t GATHER_MAX = SKIP_MAX;
constexpr int FOLLOW_UP_READ = 1;

struct Gathered {
  uint8_t bytes[GATHER_MAX + ANSWER_READ_MAX];
  size_t count = 0;
  size_t skipped = 0;

  void drop_front(size_t n) {
    std::memmove(bytes, bytes + n, count - n);
    count -= n;
  }
};

void log_passed_over(Session& s, Gathered& g, size_t n, const char* note) {
  s.report_traffic(TrafficDirection::Received, TrafficForm::Hex, g.bytes, n);
  s.report_note(note);
  g.skipped += n;
  g.drop_front(n);
}

std::string stray_note(const uint8_t* wire, size_t n, const ExpectedAnswer& expected) {
  uint8_t frame[FRAME_ENC_MAX];
  const size_t m = rfc1055_decode(wire, n, frame);
  char text[120];
  if (m >= FRAME_HEADER && frame[0] < ANSWER_EXTENDED_FIRST && expected.has_seq) {
    std::snprintf(text, sizeof text, "Stray answer 0x%02X seq %u passed over: awaiting 0x%02X seq %u", frame[0],
                  static_cast<unsigned>(frame[2] << 8 | frame[3]), expected.code, static_cast<unsigned>(expected.seq));
  } else {
    std::snprintf(text, sizeof text, "Stray answer 0x%02X passed over: awaiting 0x%02X", m > 0 ? frame[0] : 0,
                  expected.code);
  }
  return text;
}

enum class Found { Answer, Nothing, TooMuch, LetGo };

// Reads until the awaited answer is at the front of g (its length in
// *length), the reads run out, or more than SKIP_MAX bytes were passed over.
Found find_answer(Session& s, Gathered& g, const ExpectedAnswer& expected, const std::function<bool()>& must_let_go,
                  size_t* length) {
  int empty_reads = 0;
  bool follow_up_empty = false;
  for (;;) {
    Piece p = next_piece(g.bytes, g.count, expected);
    while (p.kind == PieceKind::Stale || p.kind == PieceKind::Stray) {
      const std::string note = p.kind == PieceKind::Stale
                                   ? std::to_string(p.length) + " stale bytes before the answer passed over"
                                   : stray_note(g.bytes, p.length, expected);
      log_passed_over(s, g, p.length, note.c_str());
      if (g.skipped > SKIP_MAX) return Found::TooMuch;
      p = next_piece(g.bytes, g.count, expected);
    }
    // A piece that is no frame is judged as it is once the line has nothing
    // more: what follows it would show it to be stale.
    if (p.kind == PieceKind::Answer || (p.kind == PieceKind::Unframed && follow_up_empty)) {
      *length = p.length;
      return Found::Answer;
    }
    // An unfinished piece that the line has stopped adding to is judged as
    // it is (a short answer, garbage), as is one that grows too long.
    if (g.count > 0 && (follow_up_empty || g.count >= GATHER_MAX)) {
      *length = g.count;
      return Found::Answer;
    }
    if (g.count == 0 && empty_reads >= READ_ATTEMPTS) return Found::Nothing;
    if (g.count == 0 && empty_reads > 0 && !s.thread_wait(RETRY_PAUSE_MS, must_let_go)) return Found::LetGo;
    const int want = g.count > 0 ? FOLLOW_UP_READ : static_cast<int>(ANSWER_READ_MAX);
    // A failed read (no port, a vanished device) returns at once and counts
    // as an empty one; the retry pauses keep the loop from spinning.
    const int n = platform::serial_read(s.com_handle.load(), g.bytes + g.count, want);
    if (must_let_go()) return Found::LetGo;
    if (n <= 0) {
      if (g.count > 0) {
        follow_up_empty = true;
      } else {
        ++empty_reads;
      }
      continue;
    }
    g.count += static_cast<size_t>(n);
  }
}

Outcome receive_answer(Session& s) {
  const int32_t port_period = s.epoch.load();
  std::function<bool()> must_let_go = [&] { return stop_requested(s) || withdrawn(s, port_period); };
  const int step = s.frame_slot.load();
  if (step < STEP_FIRST || step > STEP_LAST) {
    clear_command(s.rx_command, RX_AWAIT_ANSWER);
    s.frame_slot.store(1);
    return Outcome::Done;
  }
  const ExpectedAnswer expected = expected_answer(s.written_frame.load());
  Gathered g;
  size_t length = 0;
  const Found found = find_answer(s, g, expected, must_let_go, &length);
  if (stop_requested(s)) return Outcome::Exit;
  if (found == Found::LetGo || withdrawn(s, port_period)) return Outcome::Done;
  if (found == Found::Nothing) {
    end_sequence(s, step, NO_ANSWER_TEXT);
    return Outcome::Done;
  }
  if (found == Found::TooMuch) {
    end_sequence(s, step, ANSWER_ERROR_TEXT);
    return Outcome::Done;
  }
  // What came behind the answer belongs to whoever reads next.
  if (g.count > length)
    (void)platform::serial_unread(s.com_handle.load(), g.bytes + length, static_cast<int>(g.count - length));
  const int count = static_cast<int>(std::min(length, ANSWER_READ_MAX));
  uint8_t* read_buffer = s.rx_frame_raw[step];
  std::memcpy(read_buffer, g.bytes, static_cast<size_t>(count));
  uint8_t decoded[FRAME_MAX];
  const AnswerLength answer = check_answer_length(s, read_buffer, count, decoded);
  // An answer longer than one read is judged by its first read's worth, as
  // the device's answers are bounded by it; the rest is passed over.
  if (length > ANSWER_READ_MAX) {
    g.drop_front(ANSWER_READ_MAX);
    log_passed_over(s, g, length - ANSWER_READ_MAX, "the answer's bytes beyond one read passed over");
  }
  if (stop_requested(s)) return Outcome::Exit;
  if (withdrawn(s, port_period)) return Outcome::Done;
  if (answer.status != status::ST_ANS_RECV_OK) {
    end_sequence(s, step, ANSWER_ERROR_TEXT);
    return Outcome::Done;
  }
  // The wait after Frame1 is edit 1701, after Frame2 a fixed 100 ms.
  if (step == 1 || step == 2) {
    if (!s.thread_wait(ticks_to_ms(s.step_wait_ticks(step).load()), must_let_go)) {
      return stop_requested(s) ? Outcome::Exit : Outcome::Done;
    }
  }
  validate_answer(s, decoded, answer.length);
  return Outcome::Done;
}

void kermit_receive(Session& s) {
  if (KermitRunner run = s.kermit_receive_runner.load()) {
    run(s);
    return;
  }
  clear_command(s.rx_command, RX_KERMIT_RECEIVE);
  s.report_link_event(status::ST_KERMIT_RECV_INIT_ERR, LinkEventKind::KermitReceived);
}

}  // namespace

void receive_thread_body(Session& s) {
  for (;;) {
    const int32_t command = s.rx_command.load();
    if (command == RX_KERMIT_RECEIVE || command == RX_AWAIT_ANSWER) {
      if (stop_requested(s)) break;
      s.rx_busy.store(true);
      if (command == RX_KERMIT_RECEIVE) {
        kermit_receive(s);
      } else if (receive_answer(s) == Outcome::Exit) {
        break;
      }
      s.rx_busy.store(false);
    }
    if (stop_requested(s)) break;
    s.thread_wait(IDLE_WAIT_MS, [&] { return stop_requested(s) || has_work(s); });
  }
  s.rx_busy.store(false);
  s.rx_running.store(false);
}

}  // namespace tessaril::link

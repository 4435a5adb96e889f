// The receive thread: sleeps until `rx_command` is written, then reads and
// checks the answer to the frame of step `frame_slot`, or runs a Kermit
// receive.
#include "link/answer_check.h"
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

Outcome receive_answer(Session& s) {
  const int32_t port_period = s.epoch.load();
  auto must_let_go = [&] { return stop_requested(s) || withdrawn(s, port_period); };
  const int step = s.frame_slot.load();
  if (step < STEP_FIRST || step > STEP_LAST) {
    clear_command(s.rx_command, RX_AWAIT_ANSWER);
    s.frame_slot.store(1);
    return Outcome::Done;
  }
  uint8_t* read_buffer = s.rx_frame_raw[step];
  int count = 0;
  for (int attempt = 0; attempt < READ_ATTEMPTS; ++attempt) {
    if (attempt > 0 && !s.thread_wait(RETRY_PAUSE_MS, must_let_go)) break;
    // A failed read (no port, a vanished device) returns at once and counts
    // as an empty one; the retry pauses keep the loop from spinning.
    count = platform::serial_read(s.com_handle.load(), read_buffer, static_cast<int>(ANSWER_READ_MAX));
    if (count > 0 || must_let_go()) break;
  }
  if (stop_requested(s)) return Outcome::Exit;
  if (withdrawn(s, port_period)) return Outcome::Done;
  if (count <= 0) {
    end_sequence(s, step, NO_ANSWER_TEXT);
    return Outcome::Done;
  }
  uint8_t decoded[FRAME_MAX];
  const AnswerLength answer = check_answer_length(s, read_buffer, count, decoded);
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

// The receive thread: polls `rx_command` every 50 ms, reads and checks the
// answer to the frame of step `frame_slot`, or runs a Kermit receive.
#include "link/answer_check.h"
#include "link/frame_codec.h"
#include "link/link_state.h"
#include "link/link_wait.h"
#include "link/thread_bodies.h"
#include "platform/controls.h"
#include "platform/serial.h"
#include "status/status_codes.h"

namespace tessaril::link::detail {

namespace {

constexpr int RECEIVE_POLL_MS = 50;
constexpr int READ_ATTEMPTS = 3;  // the first read and two retries
constexpr int RETRY_PAUSE_MS = 20;

bool stop_requested(const void* = nullptr) { return rx_run_state.load() == RX_STOP_REQUEST; }

// The answer is no longer wanted: the port it was awaited on has been closed,
// or the dialog took the command back.
bool withdrawn(int32_t port_period) {
  return epoch.load() != port_period || rx_command.load() != RX_AWAIT_ANSWER;
}

bool must_let_go(const void* context) {
  return stop_requested() || withdrawn(*static_cast<const int32_t*>(context));
}

enum class Outcome { Done, Exit };

void end_sequence(int step, const char* text) {
  platform::set_control_text(command_dialog.load(), result_field_id(step), text);
  clear_command(rx_command, RX_AWAIT_ANSWER);
  frame_slot.store(1);
}

Outcome receive_answer() {
  const int32_t port_period = epoch.load();
  const int step = frame_slot.load();
  if (step < STEP_FIRST || step > STEP_LAST) {
    clear_command(rx_command, RX_AWAIT_ANSWER);
    frame_slot.store(1);
    return Outcome::Done;
  }
  uint8_t* read_buffer = rx_frame_raw[step];
  int count = 0;
  for (int attempt = 0; attempt < READ_ATTEMPTS; ++attempt) {
    if (attempt > 0 && !wait_ms(RETRY_PAUSE_MS, must_let_go, &port_period)) break;
    // A failed read (no port, a vanished device) returns at once and counts
    // as an empty one; the retry pauses keep the loop from spinning.
    count = platform::serial_read(com_handle.load(), read_buffer, static_cast<int>(ANSWER_READ_MAX));
    if (count > 0 || must_let_go(&port_period)) break;
  }
  if (stop_requested()) return Outcome::Exit;
  if (withdrawn(port_period)) return Outcome::Done;
  if (count <= 0) {
    end_sequence(step, NO_ANSWER_TEXT);
    return Outcome::Done;
  }
  uint8_t decoded[FRAME_MAX];
  const AnswerLength answer = check_answer_length(read_buffer, count, decoded);
  if (stop_requested()) return Outcome::Exit;
  if (withdrawn(port_period)) return Outcome::Done;
  if (answer.status != status::ST_ANS_RECV_OK) {
    end_sequence(step, ANSWER_ERROR_TEXT);
    return Outcome::Done;
  }
  // The wait after Frame1 is edit 1701, after Frame2 a fixed 100 ms.
  if (step == 1 || step == 2) {
    if (!wait_ms(ticks_to_ms(step_wait_ticks(step).load()), must_let_go, &port_period)) {
      return stop_requested() ? Outcome::Exit : Outcome::Done;
    }
  }
  validate_answer(decoded, answer.length);
  return Outcome::Done;
}

void kermit_receive() {
  if (KermitRunner run = kermit_receive_runner.load()) {
    run();
    return;
  }
  clear_command(rx_command, RX_KERMIT_RECEIVE);
  post_link_event(status::ST_KERMIT_RECV_INIT_ERR, LINK_KERMIT_RECEIVED);
}

}  // namespace

void receive_thread_body() {
  for (;;) {
    const int32_t command = rx_command.load();
    if (command == RX_KERMIT_RECEIVE || command == RX_AWAIT_ANSWER) {
      if (stop_requested()) break;
      rx_busy.store(true);
      if (command == RX_KERMIT_RECEIVE) {
        kermit_receive();
      } else if (receive_answer() == Outcome::Exit) {
        break;
      }
      rx_busy.store(false);
    }
    if (stop_requested()) break;
    if (!wait_ms(RECEIVE_POLL_MS, stop_requested, nullptr)) break;
  }
  rx_busy.store(false);
  rx_running.store(false);
}

}  // namespace tessaril::link::detail

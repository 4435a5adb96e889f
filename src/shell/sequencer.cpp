// on_link_event: the rows of the sequencer in their order (sequencer.h).
#include "shell/sequencer.h"

#include <atomic>
#include <climits>
#include <cstdio>
#include <cstring>

#include "commands/entry_text.h"
#include "commands/sequence_builders.h"
#include "link/answer_check.h"
#include "link/session.h"
#include "platform/clock.h"
#include "platform/controls.h"
#include "shell/command_dialog.h"
#include "shell/control_ids.h"
#include "shell/dialog_session.h"
#include "status/status_codes.h"

namespace tessaril::shell {

namespace {

std::atomic<SequencerSleep> sleep_fn{nullptr};

link::Session& S() { return dialog_session(); }

void pause(int64_t ms) {
  if (SequencerSleep fn = sleep_fn.load()) {
    fn(ms);
  } else {
    // A link thread may be inside a control call (a result field, a
    // traffic line) while the handler pauses or polls for it.
    platform::sleep_serving_calls(ms);
  }
}

// *end*: back to step 1, nothing more to send.
void end_sequence() {
  S().frame_slot.store(1);
  S().post_tx_command(link::TX_IDLE);
}

// *next*: the following step. A step beyond the last one has neither buffers
// nor a result field; the sequence ends there instead (false).
bool next_step() {
  const int32_t next = S().frame_slot.load() + 1;
  if (next < link::STEP_FIRST || next > link::STEP_LAST) {
    end_sequence();
    return false;
  }
  S().frame_slot.store(next);
  return true;
}

// *send*: the built frame of step `frame_slot` goes to the send thread.
void send_step() { S().post_tx_command(link::TX_SEND_FRAME); }

bool ticked(platform::DialogHandle dialog, int id) { return platform::is_checked(dialog, id); }

// The check box that decides whether a Kermit step is followed by the status
// frame: "Send Frame2" after a transfer at step 1, "Send Frame3" at step 2.
int next_step_box() { return IDC_SEND_FRAME2 - 1 + S().frame_slot.load(); }

// The device's announced file name, copied out of the receive thread's buffer
// with its bound (the buffer holds a NUL-terminated name, but a bound costs
// nothing and survives a name the thread did not terminate).
void copy_rx_file_name(char (&out)[link::FILE_NAME_CAPACITY]) {
  std::memcpy(out, S().rx_file_name, sizeof out);
  out[sizeof out - 1] = '\0';
}

static_assert(link::TX_FILE_NAME_CAPACITY == link::FILE_NAME_CAPACITY);

void copy_tx_file_name(char (&out)[link::FILE_NAME_CAPACITY]) {
  const link::TransferFile file = S().tx_file.get();
  std::memcpy(out, file.name, sizeof out);
  out[sizeof out - 1] = '\0';
}

// Waits until the send thread has finished the pass that served the Kermit
// send (it clears `tx_command` after posting the ending).
void await_send_pass_end() {
  for (int waited = 0; waited < SEND_IDLE_WAIT_LIMIT_MS; waited += SEND_IDLE_POLL_MS) {
    if (S().tx_command.load() == link::TX_IDLE) return;
    pause(SEND_IDLE_POLL_MS);
  }
}

// Report step: the Kermit step's result word, then the status frame naming
// the file concerned as the next step.
void report_transfer(platform::DialogHandle dialog, uint32_t code, const char* file_name) {
  if (!next_step()) return;
  const char* word = status::result_word(code);
  platform::set_control_text(dialog, IDC_RESULT_KERMIT, word ? word : "");
  commands::build_status_frame(dialog, S(), S().frame_slot.load(), file_name);
  send_step();
}

// 0x89: the latch reset repeats in the same step while "Cycle" counts down.
void on_latch_reset_answer(platform::DialogHandle dialog) {
  char text[32] = {};
  platform::get_control_text(dialog, IDC_LATCH_CYCLE, text, sizeof text);
  const int n = commands::decimal_value(text);
  if (n <= 0) {
    S().post_tx_command(link::TX_IDLE);
  } else if (S().rsp_ok.load() == 0) {
    end_sequence();
  } else {
    char count[16];
    std::snprintf(count, sizeof count, "%d", n - 1);
    platform::set_control_text(dialog, IDC_LATCH_CYCLE, count);
    commands::build_latch_reset_frame(dialog, S(), S().frame_slot.load());
    send_step();
  }
}

// 0x8A: after Start File Transfer, the Kermit send or the status frame.
void on_transfer_start_answer(platform::DialogHandle dialog) {
  if (!ticked(dialog, IDC_CHAIN_KERMIT_SEND)) {
    S().post_tx_command(link::TX_IDLE);
  } else if (S().rsp_ok.load() == 0) {
    end_sequence();
  } else if (ticked(dialog, IDC_KERMIT_TRNS)) {
    S().post_tx_command(link::TX_KERMIT_SEND);
  } else if (next_step()) {
    platform::set_control_text(dialog, IDC_RESULT_KERMIT, "---");
    char name[link::FILE_NAME_CAPACITY];
    copy_tx_file_name(name);
    commands::build_status_frame(dialog, S(), S().frame_slot.load(), name);
    send_step();
  }
}

// 0x8C: after Receive File, the Kermit receive or the status frame.
void on_receive_file_answer(platform::DialogHandle dialog) {
  if (!ticked(dialog, IDC_CHAIN_KERMIT_RECV)) {
    S().post_tx_command(link::TX_IDLE);
  } else if (S().rsp_ok.load() == 0) {
    end_sequence();
  } else if (ticked(dialog, IDC_KERMIT_TRNS)) {
    S().post_tx_command(link::TX_IDLE);
    S().post_rx_command(link::RX_KERMIT_RECEIVE);
  } else if (next_step()) {
    platform::set_control_text(dialog, IDC_RESULT_KERMIT, "---");
    char name[link::FILE_NAME_CAPACITY];
    copy_rx_file_name(name);
    commands::build_status_frame(dialog, S(), S().frame_slot.load(), name);
    send_step();
  }
}

// 0x8E, 0xF9: the device announced a calibration file; ask for it.
void on_calibration_announce(platform::DialogHandle dialog, int chain_box) {
  if (!ticked(dialog, chain_box)) {
    S().post_tx_command(link::TX_IDLE);
  } else if (S().rsp_ok.load() == 0) {
    end_sequence();
  } else if (next_step()) {
    char name[link::FILE_NAME_CAPACITY];
    copy_rx_file_name(name);
    const int32_t size = S().rx_file_size.load();
    char size_text[16];
    std::snprintf(size_text, sizeof size_text, "%d", static_cast<int>(size));
    platform::set_control_text(dialog, IDC_RECV_FILE_NAME, name);
    platform::set_control_text(dialog, IDC_RECV_FILE_SIZE, size_text);
    commands::build_receive_frame(dialog, S(), S().frame_slot.load(), name, size);
    send_step();
  }
}

// 0x8F, 0x90: the device accepted a file announcement; start the transfer.
void on_file_announce_answer(platform::DialogHandle dialog, int chain_box) {
  if (!ticked(dialog, chain_box)) {
    S().post_tx_command(link::TX_IDLE);
  } else if (S().rsp_ok.load() == 0) {
    end_sequence();
  } else if (next_step()) {
    link::TransferFile file = S().tx_file.get();
    file.name[sizeof file.name - 1] = '\0';
    commands::build_transfer_start_frame(dialog, S(), S().frame_slot.load(), file.name, file.size);
    send_step();
  }
}

bool is_kermit_send_failure(uint32_t code) {
  switch (code) {
    case status::ST_KERMIT_SEND_ERR:
    case status::ST_KERMIT_SEND_SIZE_ERR:
    case status::ST_KERMIT_SEND_INIT_ERR:
    case status::ST_KERMIT_SEND_NAME_MISMATCH:
    case status::ST_KERMIT_SEND_SIZE_MISMATCH:
    case status::ST_KERMIT_SEND_CANCEL:
    case status::ST_KERMIT_SEND_BREAK:
      return true;
    default:
      return false;
  }
}

bool is_kermit_receive_ending(uint32_t code) {
  switch (code) {
    case status::ST_KERMIT_RECV_OK:
    case status::ST_KERMIT_RECV_ERR:
    case status::ST_KERMIT_RECV_SIZE_ERR:
    case status::ST_KERMIT_RECV_INIT_ERR:
    case status::ST_KERMIT_RECV_NAME_MISMATCH:
    case status::ST_KERMIT_RECV_SIZE_MISMATCH:
    case status::ST_KERMIT_RECV_CANCEL:
    case status::ST_KERMIT_RECV_BREAK:
      return true;
    default:
      return false;
  }
}

}  // namespace

void set_sequencer_sleep(SequencerSleep sleep) { sleep_fn.store(sleep); }

intptr_t on_link_event(platform::DialogHandle dialog, uint32_t code) {
  // After "Return to Menu" the port is closed; what the threads reported
  // before that belongs to a sequence that is over.
  if (command_dialog_closing()) return 1;

  int64_t pause_ms = SEQUENCER_PAUSE_MS;
  if (code <= 0x7F || code == status::ST_CMD_SEND_OK) {
    S().post_rx_command(link::RX_AWAIT_ANSWER);
  } else if (code >= status::ST_CMD_SEND_ERR && code <= status::ST_CMD_SEND_OTHER_ERR) {
    // A short write: Frame 1 again, from the start of the sequence.
    S().frame_slot.store(1);
    send_step();
  } else if (code == link::ANSWER_RESET_STATUS_LATCH) {
    on_latch_reset_answer(dialog);
    pause_ms = LATCH_RESET_PAUSE_MS;
  } else if (code == link::ANSWER_START_FILE_TRANSFER) {
    on_transfer_start_answer(dialog);
  } else if (code == link::ANSWER_RECEIVE_FILE) {
    on_receive_file_answer(dialog);
  } else if (code == link::ANSWER_GET_CAL_FILE || code == link::ANSWER_GET_CAL_FILE_EX) {
    on_calibration_announce(dialog, code == link::ANSWER_GET_CAL_FILE ? IDC_CHAIN_GET_CAL : IDC_CHAIN_GET_CAL_EX);
  } else if (code == link::ANSWER_SET_CAL_FILE || code == link::ANSWER_START_UPGRADE) {
    on_file_announce_answer(dialog, code == link::ANSWER_SET_CAL_FILE ? IDC_CHAIN_SET_CAL : IDC_CHAIN_UPGRADE);
  } else if (code <= 0xFF) {
    // The Kermit status answer (ANSWER_KERMIT_STATUS), 0xFD (Write Product
    // Id) and every single-frame command end the sequence.
    end_sequence();
  } else if (code == status::ST_KERMIT_SEND_OK) {
    if (!ticked(dialog, next_step_box())) {
      end_sequence();
      return 1;
    }
    if (next_step()) {
      char name[link::FILE_NAME_CAPACITY];
      copy_tx_file_name(name);
      commands::build_status_frame(dialog, S(), S().frame_slot.load(), name);
      await_send_pass_end();
      send_step();
    }
  } else if (is_kermit_send_failure(code) || is_kermit_receive_ending(code)) {
    if (!ticked(dialog, next_step_box())) {
      end_sequence();
      return 1;
    }
    char name[link::FILE_NAME_CAPACITY];
    if (is_kermit_send_failure(code)) {
      copy_tx_file_name(name);
    } else {
      copy_rx_file_name(name);
    }
    report_transfer(dialog, code, name);
  } else {
    // The Kermit time-outs among others: no sequence state changes.
    platform::invalidate(dialog);
    return 1;
  }
  pause(pause_ms);
  return 1;
}

}  // namespace tessaril::shell

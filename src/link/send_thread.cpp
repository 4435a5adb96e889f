// The send thread: polls `tx_command` every 40 ms and writes the frame of
// step `frame_slot`, or runs a Kermit send.
#include "link/frame_write.h"
#include "link/link_state.h"
#include "link/link_wait.h"
#include "link/thread_bodies.h"
#include "status/command_log.h"
#include "status/status_codes.h"

namespace tessaril::link::detail {

namespace {

constexpr int SEND_POLL_MS = 40;
constexpr int LOG_PAUSE_MS = 20;  // after each send line

bool stop_requested(const void* = nullptr) { return tx_run_state.load() == TX_STOP_REQUEST; }

void send_frame() {
  const int step = frame_slot.load();
  if (step < STEP_FIRST || step > STEP_LAST) {
    // A step the buffers do not have (a device answering out of order can
    // drive the sequencer there): end the sequence instead of writing garbage.
    frame_slot.store(1);
    clear_command(tx_command, TX_SEND_FRAME);
    return;
  }
  const int32_t port_period = epoch.load();
  // The thread's own copy: a Send pressed meanwhile changes the buffers, not
  // what goes on the wire or into the log.
  TxFrameCopy copy;
  load_tx_frame(step, copy);
  const int written = write_frame(copy.enc, copy.enc_len, split_header().load());
  uint32_t status = status::ST_CMD_SEND_OK;
  if (written != copy.enc_len) {
    status = status::ST_CMD_SEND_SIZE_ERR;
  } else {
    status::log_send_hex(command_dialog.load(), copy.enc, static_cast<size_t>(copy.enc_len));
    wait_ms(LOG_PAUSE_MS, stop_requested, nullptr);
    status::log_send_text(command_dialog.load(), copy.raw, static_cast<size_t>(copy.raw_len));
    wait_ms(LOG_PAUSE_MS, stop_requested, nullptr);
  }
  // Cleared before the notification: the sequencer may answer it with the
  // next command 1, which a later clear of the same value would wipe out.
  clear_command(tx_command, TX_SEND_FRAME);
  // The port was closed under the write: its dialog is gone, nobody awaits this.
  if (epoch.load() != port_period) return;
  post_link_event(status, LINK_FRAME_WRITTEN);
}

void kermit_send() {
  if (KermitRunner run = kermit_send_runner.load()) {
    run();
    return;
  }
  post_link_event(status::ST_KERMIT_SEND_INIT_ERR, LINK_KERMIT_SENT);
}

}  // namespace

void send_thread_body() {
  for (;;) {
    const int32_t command = tx_command.load();
    if (command == TX_SEND_FRAME || command == TX_KERMIT_SEND) {
      if (stop_requested()) break;
      tx_busy.store(true);
      if (command == TX_SEND_FRAME) {
        send_frame();
      } else {
        kermit_send();
      }
    }
    if (stop_requested()) break;
    // Only the value served is cleared, so a command written meanwhile stays.
    if (command != TX_IDLE && command != TX_SEND_FRAME) clear_command(tx_command, command);
    tx_busy.store(false);
    if (!wait_ms(SEND_POLL_MS, stop_requested, nullptr)) break;
  }
  tx_busy.store(false);
  tx_running.store(false);
}

}  // namespace tessaril::link::detail

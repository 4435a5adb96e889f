// The send thread: sleeps until `tx_command` is written, then writes the
// frame of step `frame_slot`, or runs a Kermit send.
#include "link/answer_scan.h"
#include "link/frame_write.h"
#include "link/link_threads.h"
#include "link/session.h"
#include "status/status_codes.h"

namespace tessaril::link {

namespace {

constexpr int LOG_PAUSE_MS = 20;        // after each send line
constexpr int64_t IDLE_WAIT_MS = 60000; // a wake-up a minute costs nothing and bounds any lost one

bool stop_requested(const Session& s) { return s.tx_run_state.load() == TX_STOP_REQUEST; }

bool has_work(const Session& s) {
  const int32_t command = s.tx_command.load();
  return command == TX_SEND_FRAME || command == TX_KERMIT_SEND;
}

void send_frame(Session& s) {
  const int step = s.frame_slot.load();
  if (step < STEP_FIRST || step > STEP_LAST) {
    // A step the buffers do not have (a device answering out of order can
    // drive the sequencer there): end the sequence instead of writing garbage.
    s.frame_slot.store(1);
    clear_command(s.tx_command, TX_SEND_FRAME);
    return;
  }
  const int32_t port_period = s.epoch.load();
  // The thread's own copy: a Send pressed meanwhile changes the buffers, not
  // what goes on the wire or into the log.
  TxFrameCopy copy;
  s.load_tx_frame(step, copy);
  const int written = write_frame(s.com_handle.load(), copy.enc, copy.enc_len, s.split_header().load());
  uint32_t status = status::ST_CMD_SEND_OK;
  auto stop = [&] { return stop_requested(s); };
  if (written != copy.enc_len) {
    status = status::ST_CMD_SEND_SIZE_ERR;
  } else {
    s.written_frame.store(written_frame_mark(copy.raw, copy.raw_len));
    s.report_traffic(TrafficDirection::Sent, TrafficForm::Hex, copy.enc, static_cast<size_t>(copy.enc_len));
    s.thread_wait(LOG_PAUSE_MS, stop);
    s.report_traffic(TrafficDirection::Sent, TrafficForm::DataField, copy.raw, static_cast<size_t>(copy.raw_len));
    s.thread_wait(LOG_PAUSE_MS, stop);
  }
  // Cleared before the notification: the sequencer may answer it with the
  // next command 1, which a later clear of the same value would wipe out.
  clear_command(s.tx_command, TX_SEND_FRAME);
  // The port was closed under the write: its dialog is gone, nobody awaits this.
  if (s.epoch.load() != port_period) return;
  s.report_link_event(status, LinkEventKind::FrameWritten);
}

void kermit_send(Session& s) {
  if (KermitRunner run = s.kermit_send_runner.load()) {
    run(s);
    return;
  }
  s.report_link_event(status::ST_KERMIT_SEND_INIT_ERR, LinkEventKind::KermitSent);
}

}  // namespace

void send_thread_body(Session& s) {
  for (;;) {
    const int32_t command = s.tx_command.load();
    if (command == TX_SEND_FRAME || command == TX_KERMIT_SEND) {
      if (stop_requested(s)) break;
      s.tx_busy.store(true);
      if (command == TX_SEND_FRAME) {
        send_frame(s);
      } else {
        kermit_send(s);
      }
    }
    if (stop_requested(s)) break;
    // Only the value served is cleared, so a command written meanwhile stays.
    if (command != TX_IDLE && command != TX_SEND_FRAME) clear_command(s.tx_command, command);
    s.tx_busy.store(false);
    s.thread_wait(IDLE_WAIT_MS, [&] { return stop_requested(s) || has_work(s); });
  }
  s.tx_busy.store(false);
  s.tx_running.store(false);
}

}  // namespace tessaril::link

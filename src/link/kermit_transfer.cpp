// The parts both Kermit directions share: starting and ending a transfer,
// its waits and its endings.
#include "link/kermit_transfer.h"

#include <atomic>
#include <cstring>

#include "kermit/kermit_files.h"
#include "kermit/kermit_setup.h"
#include "link/kermit_switches.h"
#include "link/kermit_transfer_parts.h"
#include "link/link_state.h"
#include "link/link_threads.h"
#include "link/link_wait.h"
#include "status/status_codes.h"

namespace tessaril::link {

namespace detail {

namespace {

bool let_go(const void* transfer) { return must_let_go(*static_cast<const Transfer*>(transfer)); }

// Held by the transfer that uses the program's one engine and its files.
std::atomic<bool> engine_held{false};

}  // namespace

Transfer begin_transfer(const KermitSide& side) {
  kermit_quit_request.store(0);
  Transfer t{};
  t.side = &side;
  t.k = &kermit::kermit_state;
  t.r = &kermit::kermit_result;
  // The epoch first, then the command word: closing the port clears the word
  // before it moves the epoch, so a close at any moment is seen by one of them.
  t.port_period = port_epoch();
  if (side.sending) {
    t.abandoned = tx_command.load() != TX_KERMIT_SEND;
    t.tmo_test = tmo_test_tx.load();
  } else {
    t.abandoned = rx_command.load() != RX_KERMIT_RECEIVE;
    t.tmo_test = tmo_test_rx.load();
  }
  t.port = com_handle.load();
  t.dialog = command_dialog.load();
  t.tmo_count = kermit_tmo_count.load();
  t.owns_engine = !engine_held.exchange(true);
  return t;
}

bool must_let_go(const Transfer& t) {
  const bool stop = t.side->sending ? tx_run_state.load() == TX_STOP_REQUEST : rx_run_state.load() == RX_STOP_REQUEST;
  return stop || t.abandoned || port_epoch() != t.port_period;
}

bool transfer_wait(const Transfer& t, int64_t ms) { return wait_ms(ms, let_go, &t) && !must_let_go(t); }

uint32_t ending_status(const Transfer& t, LoopEnd end) {
  switch (end) {
    case LoopEnd::Silence:
      // After an engine failure the silence is its consequence (the engine
      // gave up and told the device so): the failure is what the engineer
      // must see, and what the status frame must report; a time-out shows
      // no word at all.
      return t.engine_failed ? t.side->engine_error : t.side->timeout;
    case LoopEnd::TimeoutTest:
      return t.side->tmo_test;
    case LoopEnd::Quit:
      return t.side->quit;
    default:
      return t.side->engine_error;
  }
}

int64_t bytes_moved(const Transfer& t) {
  // A receive writes its bytes out 8 KiB at a time; what waits in the
  // buffer has arrived too.
  return static_cast<int64_t>(t.r->bytes_done) + (t.side->sending ? 0 : t.k->out_buf_count);
}

bool name_fits(const char* name) { return strnlen(name, FILE_NAME_CAPACITY) < FILE_NAME_CAPACITY; }

void wait_after_step(const Transfer& t) {
  const int next = frame_slot.load() + 1;
  // Step 4 is the last: there is no wait after it.
  if (next < STEP_FIRST || next > STEP_LAST) return;
  transfer_wait(t, ticks_to_ms(step_wait_ticks(next).load()));
}

void write_cancel_sequence(const Transfer& t) {
  static const uint8_t cancel[] = {0x03, 0x03, 0x03};
  // The transfer's own port: after a close it is dead, and a reopened port
  // must not get the bytes.
  if (!must_let_go(t)) (void)platform::serial_write(t.port, cancel, sizeof cancel);
}

void close_transfer(Transfer& t) {
  if (t.owns_engine) {
    kermit::closefile(t.k, 'D', t.side->closefile_mode);
    t.owns_engine = false;
    engine_held.store(false);
  }
  kermit_quit_request.store(0);
  end_progress(t.progress);
}

void post_ending(const Transfer& t, uint32_t status) {
  // After a close the dialog the transfer worked for is gone.
  if (port_epoch() != t.port_period || t.abandoned) return;
  post_link_event(status, t.side->lparam);
}

}  // namespace detail

void install_kermit_transfers() { set_kermit_runners(kermit_send_transfer, kermit_receive_transfer); }

}  // namespace tessaril::link

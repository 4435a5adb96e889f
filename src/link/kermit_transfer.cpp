// The parts both Kermit directions share: starting and ending a transfer,
// its waits and its endings.
#include "link/kermit_transfer.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>

#include "kermit/kermit_files.h"
#include "kermit/kermit_setup.h"
#include "link/kermit_transfer_parts.h"
#include "link/link_threads.h"
#include "link/session.h"
#include "status/status_codes.h"

namespace tessaril::link {

namespace detail {

Transfer begin_transfer(Session& s, const KermitSide& side) {
  s.kermit_quit_request.store(0);
  Transfer t{};
  t.s = &s;
  t.side = &side;
  t.k = &s.kermit.state;
  t.r = &s.kermit.result;
  // The epoch first, then the command word: closing the port clears the word
  // before it moves the epoch, so a close at any moment is seen by one of them.
  t.port_period = s.epoch.load();
  if (side.sending) {
    t.abandoned = s.tx_command.load() != TX_KERMIT_SEND;
    t.tmo_test = s.tmo_test_tx.load();
  } else {
    t.abandoned = s.rx_command.load() != RX_KERMIT_RECEIVE;
    t.tmo_test = s.tmo_test_rx.load();
  }
  t.port = s.com_handle.load();
  t.tmo_count = s.kermit_tmo_count.load();
  t.owns_engine = !s.engine_held.exchange(true);
  return t;
}

bool must_let_go(const Transfer& t) {
  const Session& s = *t.s;
  const bool stop =
      t.side->sending ? s.tx_run_state.load() == TX_STOP_REQUEST : s.rx_run_state.load() == RX_STOP_REQUEST;
  return stop || t.abandoned || s.epoch.load() != t.port_period;
}

bool transfer_wait(const Transfer& t, int64_t ms) {
  return t.s->thread_wait(ms, [&] { return must_let_go(t); }) && !must_let_go(t);
}

uint32_t ending_status(const Transfer& t, LoopEnd end) {
  switch (end) {
    case LoopEnd::Silence:
      // After an engine failure the silence is its consequence (the engine
      // gave up and told the device so): the failure is what the engineer
      // must see. An engine that gave up because its repeats met silence
      // only says the line went quiet: that is a time-out.
      return t.engine_failed && !t.gave_up_in_silence ? t.side->engine_error : t.side->timeout;
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
  const int next = t.s->frame_slot.load() + 1;
  // Step 4 is the last: there is no wait after it.
  if (next < STEP_FIRST || next > STEP_LAST) return;
  transfer_wait(t, ticks_to_ms(t.s->step_wait_ticks(next).load()));
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
    t.s->engine_held.store(false);
  }
  t.s->kermit_quit_request.store(0);
}

std::string ending_note(bool sending, uint32_t status) {
  const char* word = status::result_word(status);
  char code[16];
  std::snprintf(code, sizeof code, "%#x", static_cast<unsigned>(status));
  std::string note = std::string(sending ? "Kermit send ended: " : "Kermit receive ended: ") + (word ? word : "") +
                     " " + code;
  if (const status::StatusEntry* row = status::find_status(status)) note += std::string(" ") + row->text;
  return note;
}

void post_ending(const Transfer& t, uint32_t status) {
  // After a close the dialog the transfer worked for is gone.
  if (t.s->epoch.load() != t.port_period || t.abandoned) return;
  t.s->report_note(ending_note(t.side->sending, status));
  t.s->report_link_event(status, t.side->ending_kind);
}

}  // namespace detail

void install_kermit_transfers(Session& s) { set_kermit_runners(s, kermit_send_transfer, kermit_receive_transfer); }

}  // namespace tessaril::link

// The packet loop of a Kermit transfer and the drains that end some of its
// endings.
#include <algorithm>
#include <cstdint>

#include "kermit/kermit_state.h"
#include "link/kermit_transfer.h"
#include "link/kermit_transfer_parts.h"
#include "link/session.h"
#include "platform/clock.h"
#include "platform/serial.h"

namespace tessaril::link::detail {

namespace {

constexpr int64_t FAILURE_PAUSE_MS = 100;  // after the engine failed on a packet

// Where the engine stands; a packet that changes none of it moved nothing.
struct EngineMark {
  int16_t state, send_seq, recv_seq;
  int64_t bytes;
  bool operator==(const EngineMark&) const = default;
};

EngineMark mark_of(const Transfer& t) { return {t.k->state, t.k->send_seq, t.k->recv_seq, t.r->bytes_done}; }

bool quit_requested(const Transfer& t) { return t.s->kermit_quit_request.load() == 1; }

// Data packets are on their way: what went before them (the name, the
// attributes) may still be refused, and shows no figure.
bool moving_data(const Transfer& t) {
  return t.k->state == (t.side->sending ? kermit::S_AWAIT_DATA_ACK : kermit::R_DATA);
}

enum class Served { None, TimeoutTest, Quit };

// The switches looked at when a packet arrived, in the side's order.
Served switch_at_packet(const Transfer& t, int packets) {
  const bool test = t.tmo_test == 1 && packets >= TMO_TEST_PACKETS;
  const bool quit = quit_requested(t);
  if (t.side->quit_before_tmo_test && quit) return Served::Quit;
  if (test) return Served::TimeoutTest;
  return quit ? Served::Quit : Served::None;
}

// A read period passed in silence: the host repeats its part, as the engine
// knows it (KA_TIMEOUT), every read period as long as the engine's retry
// limit has repeats for the whole silence limit; a longer silence limit
// ("Kermit_TMO") spreads them over it, so that the engine never gives up
// while the silence limit still lets the transfer live (a device slow to
// start, or busy with its file). An engine that has given up sends nothing more.
void answer_silence(Transfer& t, int slot, int empty_reads) {
  const int repeats = t.k->retry_limit + 2;  // the last of them is one too many
  const int every = std::max(1, (t.tmo_count + repeats - 1) / repeats);
  if (t.engine_failed || empty_reads % every != 0) return;
  if (kermit::kermit_engine(kermit::KA_TIMEOUT, t.k, slot, 0, "", t.r) == kermit::KR_FAIL) {
    t.engine_failed = true;
    t.gave_up_in_silence = true;
  }
}

}  // namespace

void drain_line(Transfer& t, bool quitting) {
  int result = kermit::KR_DONE;
  if (quitting) {
    stopping_progress(t.progress);
    t.s->kermit_quit_request.store(0);
    result = kermit::kermit_engine(kermit::KA_QUIT, t.k, 0, 0, "", t.r);
  }
  const int64_t end = platform::monotonic_ms() + DRAIN_LIMIT_MS;
  int drained = 0;
  uint8_t bytes[32];
  const int size = std::min(t.side->drain_read, static_cast<int>(sizeof bytes));
  while (result == kermit::KR_DONE) {
    if (quitting && t.side->quit_drain_pause_ms > 0 && !transfer_wait(t, t.side->quit_drain_pause_ms)) return;
    if (must_let_go(t)) return;
    const int n = platform::serial_read(t.port, bytes, size);
    if (n <= 0) return;
    t.s->report_traffic(TrafficDirection::Received, TrafficForm::Hex, bytes, static_cast<size_t>(n));
    drained += n;
    if (quitting) {
      t.s->kermit_quit_request.store(0);
      result = kermit::kermit_engine(kermit::KA_QUIT, t.k, 0, 0, "", t.r);
    }
    // A peer that never falls silent must not hold the thread.
    if (drained >= DRAIN_BYTES_MAX || platform::monotonic_ms() >= end) return;
  }
}

LoopEnd run_packet_loop(Transfer& t) {
  int empty_reads = 0;
  int packets = 0;
  int stalled = 0;
  EngineMark last = mark_of(t);
  for (;;) {
    if (must_let_go(t)) return LoopEnd::LetGo;
    if (moving_data(t)) update_progress(t.progress, bytes_moved(t));
    int slot = -1;
    char* buffer = kermit::rslot_get(t.k, &slot);
    // The engine frees every slot it is handed; none free means a spoilt record.
    if (!buffer) return LoopEnd::ReadFailed;
    const int n = t.k->readpkt(t.k, buffer, kermit::MAX_PACKET);
    if (n < 0) {
      kermit::rslot_free(t.k, slot);
      // Closing the port or stopping the thread makes the read fail.
      if (must_let_go(t)) return LoopEnd::LetGo;
      if (n != -2) return LoopEnd::ReadFailed;
      // Served on a silent line too: a long silence limit must not hold a quit.
      if (quit_requested(t)) {
        drain_line(t, true);
        return LoopEnd::Quit;
      }
      if (empty_reads >= t.tmo_count) return LoopEnd::Silence;
      ++empty_reads;
      answer_silence(t, slot, empty_reads);
      if (t.side->silent_read_pause_ms > 0 && !transfer_wait(t, t.side->silent_read_pause_ms)) return LoopEnd::LetGo;
      continue;
    }
    empty_reads = 0;
    ++packets;
    if (Served served = switch_at_packet(t, packets); served != Served::None) {
      // The packet in hand is not processed.
      kermit::rslot_free(t.k, slot);
      drain_line(t, served == Served::Quit);
      return served == Served::Quit ? LoopEnd::Quit : LoopEnd::TimeoutTest;
    }
    const int result = kermit::kermit_engine(kermit::KA_PACKET, t.k, slot, n, "", t.r);
    if (result == kermit::KR_DONE) return LoopEnd::Finished;
    if (result == kermit::KR_FAIL) {
      // Recorded only: the transfer reads on until one of its endings.
      t.engine_failed = true;
      if (!transfer_wait(t, FAILURE_PAUSE_MS)) return LoopEnd::LetGo;
    }
    const EngineMark now = mark_of(t);
    if (now == last) {
      if (++stalled >= STALL_PACKETS) return LoopEnd::Stalled;
    } else {
      stalled = 0;
      last = now;
    }
  }
}

}  // namespace tessaril::link::detail

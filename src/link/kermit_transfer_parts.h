// What the Kermit send and receive share: the description of a direction,
// the running transfer, its packet loop, drains and endings. Not for use
// outside src/link.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "kermit/kermit_state.h"
#include "link/session.h"
#include "link/transfer_progress.h"
#include "platform/serial.h"

namespace tessaril::link::detail {

// What differs between the two directions, as data.
struct KermitSide {
  bool sending;
  int drain_read;             // bytes per drain read
  int quit_drain_pause_ms;    // pause before each read of a quit drain
  int silent_read_pause_ms;   // pause after a silent packet read
  bool quit_before_tmo_test;  // at the fifth packet: which switch is served first
  int closefile_mode;         // 1 the file sent, 2 the file received
  LinkEventKind ending_kind;  // of the ending's link event
  uint32_t engine_error, timeout, tmo_test, quit;  // status codes of those endings
};

extern const KermitSide send_side;
extern const KermitSide receive_side;

enum class LoopEnd { Finished, Silence, ReadFailed, TimeoutTest, Quit, Stalled, LetGo };

struct Transfer {
  Session* s;
  const KermitSide* side;
  kermit::KermitState* k;
  kermit::KermitResult* r;
  platform::SerialHandle port;
  int32_t port_period;            // port epoch when the transfer began
  int32_t tmo_count;
  int32_t tmo_test;
  bool abandoned = false;    // the command was taken back before the transfer began
  bool owns_engine = false;  // false: the other direction's transfer holds the engine
  bool engine_failed = false;
  bool gave_up_in_silence = false;  // the engine's retries ran out on a silent line
  TransferProgress progress;
};

// Starts a transfer: clears the quit request, notes the port and its epoch
// and the switches. A command word that no longer holds the
// side's command (the port was closed before the runner began) marks the
// transfer abandoned: it lets go at once. A session has one engine: a
// transfer that finds it held by the other direction does not own it and
// must end as a failed set-up.
Transfer begin_transfer(Session& s, const KermitSide& side);

// True when the thread is asked to stop or the port has moved on.
bool must_let_go(const Transfer& t);

// Drains the line until it is quiet (see kermit_transfer.h); with `quitting`
// each read is preceded by KA_QUIT and a cleared quit request.
void drain_line(Transfer& t, bool quitting);

// Waits ms unless the transfer must let go first; true when the time passed.
bool transfer_wait(const Transfer& t, int64_t ms);

// Reads packets and hands them to the engine until the transfer ends; serves
// the quit request and the time-out test with their drains before returning.
LoopEnd run_packet_loop(Transfer& t);

// The status posted for an ending other than Finished and LetGo.
uint32_t ending_status(const Transfer& t, LoopEnd end);

// The bytes the engine has moved so far (what the progress shows).
int64_t bytes_moved(const Transfer& t);

// True when a reported name fits a 40-byte name field with its terminator.
bool name_fits(const char* name);

// Waits step_wait_ticks[frame_slot + 1]; nothing after step 4.
void wait_after_step(const Transfer& t);

// Writes the cancel sequence 0x03 0x03 0x03 to the transfer's port in one
// write, unless the transfer must let go.
void write_cancel_sequence(const Transfer& t);

// The common end: the file closed, the quit request cleared, the engine
// given up. Call once per transfer, before the ending's own actions; the
// progress ends after them (end_progress), so that a success shows its whole
// size while the thread waits.
void close_transfer(Transfer& t);

// The log line of an ending: "Kermit send ended: SND_TMO 0x100200" and the
// status table's text.
std::string ending_note(bool sending, uint32_t status);

// Logs the ending as a note and reports it, unless the port has moved on (its
// dialog is gone).
void post_ending(const Transfer& t, uint32_t status);

}  // namespace tessaril::link::detail

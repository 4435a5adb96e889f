// The command sequencer: what the command dialog does with message 1034.
//
// How it works: a command sequence is up to four steps numbered by
// `frame_slot` (Frame1..Frame3 and a Kermit step). "Send" starts it at step 1;
// every notification of the link threads then comes through `on_link_event`
// (command_dialog.h). It gathers what a decision needs (the link words, the
// chain's check boxes, "Cycle", the two files), lets `decide`
// (sequence_machine.h) choose, and carries the actions out in their order
// with the link words, the sequence builders, the controls and the pause.
// The pauses block the dialog thread while it still serves the control calls
// of the link threads; notifications arriving meanwhile wait their turn.
#pragma once

#include <cstdint>

#include "shell/sequence_machine.h"

namespace tessaril::shell {

// After a completed Kermit send the send thread posts its ending while
// `tx_command` still holds 7 and clears it only at the end of its pass; the
// status frame's 1 is written after that clear. Polled every 20 ms. The
// thread clears the word right after posting, so the bound only matters for a
// thread that stopped meanwhile: the frame is then handed over all the same.
constexpr int SEND_IDLE_POLL_MS = 20;
constexpr int SEND_IDLE_WAIT_LIMIT_MS = 3000;

// How the sequencer sleeps. Tests install a recorder to check the pauses
// without spending them; a null function restores platform::sleep_serving_calls.
using SequencerSleep = void (*)(int64_t ms);
void set_sequencer_sleep(SequencerSleep sleep);

}  // namespace tessaril::shell

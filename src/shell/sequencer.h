// The command sequencer: what the command dialog does with message 1034.
//
// How it works: a command sequence is up to four steps numbered by
// `frame_slot` (Frame1..Frame3 and a Kermit step). "Send" starts it at step 1;
// every notification of the link threads then comes through `on_link_event`
// (command_dialog.h), which tests its rows in a fixed order:
//   frame written / answer with bit 7 clear  -> await the answer (`rx_command` 1)
//   short write                              -> send Frame 1 again
//   answer to a chained command              -> build the next frame into the
//                                               next step and send it, start a
//                                               Kermit transfer, or end
//   Kermit ending                            -> status frame as the next step
//                                               (when the step's box is ticked)
// A hand-over writes `frame_slot` first, builds the frame into that step, and
// writes the command word last. The handler sleeps 100 ms on the dialog
// thread after most rows (800 ms after a latch-reset answer), which paces the
// device as it expects.
//
// A device answering out of order (0x8F to a status frame, say) could push the
// sequence past its last step; the sequence ends instead of reaching a step
// beyond 4, for which there are neither buffers nor a result field.
#pragma once

#include <cstdint>

namespace tessaril::shell {

// Sleeps of the handler, milliseconds.
constexpr int SEQUENCER_PAUSE_MS = 100;
constexpr int LATCH_RESET_PAUSE_MS = 800;
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

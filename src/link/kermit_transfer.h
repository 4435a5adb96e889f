// The Kermit transfers of the link: the send thread sends the transfer file
// when `tx_command` is 7, the receive thread receives the announced file when
// `rx_command` is 8.
//
// How it works: a transfer sets up the session's one Kermit engine
// (kermit_setup.h) and feeds it packet by packet: take a receive slot, read
// one packet with `readpkt`, hand it over with KA_PACKET. The engine answers
// on the line itself; the loop around it decides when the transfer ends:
// - KR_DONE: the engine finished. Success needs every byte moved (the engine's
//   count equals the announced size, and so does the size the transfer
//   reported), the file complete at the other end (not refused, cancelled or
//   discarded) or, when receiving, in place under its real name with that
//   size; otherwise the size-mismatch ending. Then the names are compared
//   whole, before anything is cut to the 40 bytes of `tx_file_name` or
//   `rx_file_name`: a reported name that differs from the one the transfer
//   started with, or that does not fit, is the name-mismatch ending, and the
//   field keeps its old name rather than take a cut one.
// - Silence: `kermit_tmo_count` consecutive silent reads are survived, the
//   next one ends the transfer; a receive then writes the cancel sequence
//   0x03 0x03 0x03 in one write, which makes the device's packet reader give up.
//   After a silent read that does not end it the host takes its part in the
//   recovery (KA_TIMEOUT): a send repeats its last packet, a receive NAKs the
//   packet it expects, so one lost packet or acknowledgement costs one read
//   period whatever the device's own timer. Each counts against the packet's
//   retry limit; past it the engine sends "Too many retries" and gives up,
//   and the silence that follows still ends as the time-out. A silence limit
//   longer than the retry limit's repeats spreads them over it, so that the
//   engine never gives up before the silence limit.
// - "KerTrns Quit" (`kermit_quit_request`): the caption says "stopping…",
//   KA_QUIT, which sends nothing, then the line is drained until quiet. It is served after every read, silent or
//   not. "Trns TMO err" (`tmo_test_tx`, `tmo_test_rx`): the fifth packet is
//   not processed; the line is drained. At the fifth packet a send tests the
//   time-out switch first, a receive the quit request.
// - KR_FAIL only records the failure: the command word stays 7 or 8 (so quit
//   still works and no frame goes out meanwhile), the thread reads on, and
//   whatever ending follows is posted; should the engine finish after all, it
//   is the engine failure that is posted, never a success.
// - A read failure (not silence) is the engine-failure ending.
// - STALL_PACKETS packets in a row that move the engine nowhere (repeats,
//   damaged packets, packets after a failure) end the transfer as an engine
//   failure, so a chattering peer cannot hold the thread.
// - A stop request of the thread or a new port epoch (the port was closed:
//   "Return to Menu") ends the transfer at once and silently: every read, wait
//   and drain looks at both, and closing the port cancels its I/O.
// Drains read 6 bytes at a time when sending (20 ms apart while quitting) and
// 20 bytes when receiving; each non-empty read is a "Rcv:" hex line. A drain
// ends at an empty read, after DRAIN_BYTES_MAX bytes or DRAIN_LIMIT_MS.
//
// Every ending closes the file the transfer opened (a received file that is
// not complete stays under its temporary name), clears the quit request
// (also cleared at the start, so an old press cannot break the next
// transfer), ends the progress, logs a note line with its word and status
// code, and reports its status code as the link event of a send or a receive
// ending. A receive clears `rx_command`;
// the send thread clears `tx_command` after the runner returns.
// After a transfer that finished at step s the thread waits
// `step_wait_ticks`[s + 1] ticks; at step 4 there is no entry after the last
// and no wait. A send that does not find its file fails its set-up (0x100800)
// before anything goes on the line.
//
// While a transfer runs, the command dialog's caption shows its progress
// (transfer_progress.h).
#pragma once

#include <cstdint>

namespace tessaril::link {

struct Session;

constexpr int DRAIN_BYTES_MAX = 2048;   // about twenty full packets
constexpr int64_t DRAIN_LIMIT_MS = 10000;
constexpr int STALL_PACKETS = 32;
constexpr int TMO_TEST_PACKETS = 5;

// The runners: each runs one whole transfer on the calling link thread.
void kermit_send_transfer(Session& s);
void kermit_receive_transfer(Session& s);

// Installs both runners with set_kermit_runners (start-up).
void install_kermit_transfers(Session& s);

}  // namespace tessaril::link

// The send thread and the receive thread.
//
// How it works: both threads are started once, with the port-selection
// dialog, and poll their command word (`tx_command` every 40 ms, `rx_command`
// every 50 ms, link_state.h). The send thread writes the frame of step
// `frame_slot`, logs it and posts 1034 (0x100001 or 0x100004, lParam 1). The
// receive thread reads the answer (three reads before "No_Ans"), checks its
// length ("Ans_RCV_ERR"), waits the step's `step_wait_ticks` and validates it
// (answer_check.h), which posts 1034 (byte 0 of the answer, lParam 3).
// Commands 7 and 8 (Kermit) are handed to the Kermit runners installed with
// set_kermit_runners (kermit_transfer.h); without one a transfer ends at once
// with the ending of a failed set-up (0x100800, 0x200800).
//
// Every wait inside a thread (polling, retry pauses, step waits) is cut into
// short slices and ends promptly on a stop request or when its command is
// withdrawn; a negative wait counts as 0. Long reads end on a stop request
// because stop_link_threads cancels the port's I/O. A failed read (a vanished
// device) is treated as an empty read and paused like one: no busy loop.
#pragma once

#include <cstdint>

#include "platform/controls.h"

namespace tessaril::link {

// Starts the send thread, pauses 50 ms, starts the receive thread. A thread
// that is already running is not started again. True when at least one
// thread was started.
bool start_link_threads();

// Requests both threads to stop, cancels what they are doing on the port,
// waits for them (up to 1000 ms for both, then up to 6000 ms for each one
// still running), and posts 1039 to `notify` (the port-selection dialog;
// NO_DIALOG posts nothing). Joins every thread that ended; never leaves a
// joinable std::thread behind. Does not close the port.
void stop_link_threads(platform::DialogHandle notify);

// True while the thread runs (tests and the stop routine).
bool send_thread_running();
bool receive_thread_running();

// True while a thread is serving a command (from taking it to clearing it).
// close_serial_port waits for both to go false.
bool send_thread_busy();
bool receive_thread_busy();

// Counts port epochs: open and close advance it. A thread notes the epoch
// when it takes a command and abandons the command, silently, when the epoch
// moved on (the port it was using has been closed).
int32_t port_epoch();
void advance_port_epoch();

// The Kermit transfers of the link. A runner is called on the thread that
// owns the direction (send: `tx_command` 7, receive: `rx_command` 8), runs
// the whole transfer and posts its 1034 ending itself; for a receive it also
// sets `rx_command` to 0. The send thread clears `tx_command` afterwards.
using KermitRunner = void (*)();
void set_kermit_runners(KermitRunner send, KermitRunner receive);

}  // namespace tessaril::link

// The send thread and the receive thread of a session.
//
// How it works: both threads are started once, with the port-selection
// dialog, and sleep until their command word is written (`tx_command`,
// `rx_command`; Session::post_tx_command wakes them). The send thread writes
// the frame of step `frame_slot`, logs it and reports the frame written
// (0x100001 or 0x100004). The receive thread reads the answer (three reads
// before "No_Ans"), checks its length ("Ans_RCV_ERR"), waits the step's
// `step_wait_ticks` and validates it (answer_check.h), which reports byte 0
// of the answer. Commands 7 and 8 (Kermit) are handed to the session's
// Kermit runners (kermit_transfer.h); without one a transfer ends at once
// with the ending of a failed set-up (0x100800, 0x200800).
//
// Every wait inside a thread (retry pauses, step waits) ends promptly on a
// stop request or when its command is withdrawn; a negative wait counts as
// 0. Long reads end on a stop request because stop_link_threads cancels the
// port's I/O. A failed read (a vanished device) is treated as an empty read
// and paused like one: no busy loop.
#pragma once

#include <cstdint>

namespace tessaril::link {

struct Session;

// Starts the send thread, pauses 50 ms, starts the receive thread. A thread
// that is already running is not started again. True when at least one
// thread was started.
bool start_link_threads(Session& s);

// Requests both threads to stop, cancels what they are doing on the port,
// waits for them (up to 1000 ms for both, then up to 6000 ms for each one
// still running). Joins every thread that ended; never leaves a joinable
// std::thread behind. Does not close the port.
void stop_link_threads(Session& s);

// The Kermit transfers of the link. A runner is called on the thread that
// owns the direction (send: `tx_command` 7, receive: `rx_command` 8), runs
// the whole transfer and reports its ending itself; for a receive it also
// sets `rx_command` to 0. The send thread clears `tx_command` afterwards.
void set_kermit_runners(Session& s, void (*send)(Session&), void (*receive)(Session&));

// The thread bodies (link_threads.cpp starts them).
void send_thread_body(Session& s);
void receive_thread_body(Session& s);

}  // namespace tessaril::link

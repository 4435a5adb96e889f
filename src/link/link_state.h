// The words and buffers the dialog thread shares with the two link threads.
//
// How it works: the dialog thread hands work to a link thread by filling the
// step's buffers and lengths, setting `frame_slot`, and writing the command
// word (`tx_command` or `rx_command`) LAST. Every shared word is a
// std::atomic<int32_t> with sequentially consistent operations, so the
// command word's store releases everything written before it, and the
// thread's load of the command word acquires it.
//
// A thread clears a command word only if it still holds the value it served
// (`clear_command`, a compare-and-exchange), so a command the dialog wrote in
// the meantime survives.
//
// The transmit buffers of a step (`tx_frame_raw`, `tx_frame_enc` and their
// lengths in `seq_params`) are written under `tx_frame_lock`: a frame builder
// or "Send" holds it while it fills a step (store_tx_frame does exactly that),
// and the send thread holds it while it copies the step at the moment it takes
// the command. So a Send pressed while the send thread is writing never puts a
// torn frame on the wire or in the log: the thread writes its own consistent
// copy. The lock is held only for a copy of at most 899 bytes, never across
// I/O or a control call.
//
// `rx_frame_raw`, `rx_file_name` are written only by the receive thread; the
// dialog reads `rx_file_name` after the 1034 message that follows the answer
// (posting a message orders the writes before it).
//
// Include order: platform < status < kermit < link < commands < shell < ui.
// This folder is link: it includes platform, status and kermit only. What it
// needs from above (the dialog its events go to, the Kermit runners) is handed
// to it.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "link/frame_codec.h"
#include "platform/controls.h"
#include "platform/serial.h"

namespace tessaril::link {

// `tx_command` values.
constexpr int32_t TX_IDLE = 0;
constexpr int32_t TX_SEND_FRAME = 1;    // send the frame of step `frame_slot`
constexpr int32_t TX_KERMIT_SEND = 7;   // send `tx_file_name` by Kermit
// `rx_command` values.
constexpr int32_t RX_IDLE = 0;
constexpr int32_t RX_AWAIT_ANSWER = 1;  // read the answer to the frame of step `frame_slot`
constexpr int32_t RX_KERMIT_RECEIVE = 8;

// Run states: the stop routine writes the stop request, each thread clears
// its own at start.
constexpr int32_t TX_RUNNING = 3;
constexpr int32_t TX_STOP_REQUEST = 5;
constexpr int32_t RX_RUNNING = 0;
constexpr int32_t RX_STOP_REQUEST = 2;

// Steps of a command sequence: 1-3 are Frame1..Frame3, 4 the Kermit step.
// Buffers are indexed 0-4; 0 is unused.
constexpr int STEP_FIRST = 1;
constexpr int STEP_LAST = 4;
constexpr int STEP_SLOTS = 5;
constexpr int RESULT_FIELD_BASE = 2301;  // result field of step s: 2301 + 100 * s
constexpr int result_field_id(int step) { return RESULT_FIELD_BASE + 100 * step; }

// Messages of the system's own.
constexpr uint32_t WM_LINK_EVENT = 1034;
constexpr uint32_t WM_END_PORT_DIALOG = 1039;
constexpr uint32_t WM_END_COMMAND_DIALOG = 1040;
// lParam of WM_LINK_EVENT: who sent it and when.
constexpr intptr_t LINK_FRAME_WRITTEN = 1;      // wParam: 0x100001 or 0x100004
constexpr intptr_t LINK_KERMIT_SENT = 2;        // wParam: a Kermit send ending
constexpr intptr_t LINK_ANSWER_VALIDATED = 3;   // wParam: byte 0 of the answer
constexpr intptr_t LINK_KERMIT_RECEIVED = 4;    // wParam: a Kermit receive ending

// Link events posted to the command dialog and not yet handled by it. An
// event may start the next step (the answer to await, the next frame to
// send), so until the dialog has handled it the link is not at rest, though
// both command words may read idle: a script's wait counts it as busy.
// post_link_event counts an event in; the dialog counts it out with
// link_event_handled once its handler has returned. Ending the dialog
// ("Return to Menu" closes the port first) clears the count: an ended
// dialog's queue is never handled.
inline std::atomic<int32_t> link_events_pending{0};
bool post_link_event(uint32_t status, intptr_t kind);
void link_event_handled();

inline std::atomic<int32_t> tx_command{TX_IDLE};
inline std::atomic<int32_t> rx_command{RX_IDLE};
inline std::atomic<int32_t> frame_slot{1};
inline std::atomic<int32_t> tx_run_state{TX_RUNNING};
inline std::atomic<int32_t> rx_run_state{RX_RUNNING};
// 1 when the last answer had a good CRC and response code 0x01 (and, for the
// answers 0x8E and 0xF9, a well-formed file announcement).
inline std::atomic<int32_t> rsp_ok{0};

// seq_params, 21 words shared by the editor and the threads:
//   [step]        encoded length of tx_frame_enc[step]   (step 1-4)
//   [5 + step]    raw length of tx_frame_raw[step]
//   [10 + type]   the editor's byte counts (not used by the threads)
//   [15 + k]      step_wait_ticks(k), 20-ms ticks (k 0-4)
//   [20]          split_header: non-zero writes a frame in two pieces
constexpr int SEQ_PARAMS = 21;
constexpr int SEQ_ENC_LEN = 0;
constexpr int SEQ_RAW_LEN = 5;
constexpr int SEQ_EDITOR_COUNT = 10;
constexpr int SEQ_STEP_WAIT = 15;
constexpr int SEQ_SPLIT_HEADER = 20;
inline std::atomic<int32_t> seq_params[SEQ_PARAMS] = {};

inline std::atomic<int32_t>& step_wait_ticks(int k) { return seq_params[SEQ_STEP_WAIT + k]; }
inline std::atomic<int32_t>& split_header() { return seq_params[SEQ_SPLIT_HEADER]; }
constexpr int TICK_MS = 20;

// Per-step frame buffers. tx_frame_enc holds the worst case of the escaping
// (every byte but the last doubled); rx_frame_raw holds one answer read.
inline std::mutex tx_frame_lock;
inline uint8_t tx_frame_raw[STEP_SLOTS][FRAME_MAX] = {};
inline uint8_t tx_frame_enc[STEP_SLOTS][FRAME_ENC_MAX] = {};
inline uint8_t rx_frame_raw[STEP_SLOTS][FRAME_MAX] = {};

// The file announced by an answer 0x8E or 0xF9.
constexpr int FILE_NAME_CAPACITY = 40;
inline char rx_file_name[FILE_NAME_CAPACITY] = {};
inline std::atomic<int32_t> rx_file_size{0};

// The dialog the link's events go to (the command dialog): its result
// fields, its traffic lists and message 1034. Written by the command dialog's
// initialisation and end, read by the link threads at every event.
inline std::atomic<platform::DialogHandle> command_dialog{platform::NO_DIALOG};

// The open port, or platform::INVALID_SERIAL. Written by open and close on
// the dialog thread, read by the link threads at every port call.
inline std::atomic<platform::SerialHandle> com_handle{platform::INVALID_SERIAL};

// Fills step `step` (1-4) with a raw frame and its encoded form under
// tx_frame_lock, lengths included; counts are cut to the buffers. Callers
// write the command word afterwards.
void store_tx_frame(int step, const uint8_t* raw, int raw_len, const uint8_t* enc, int enc_len);

// Encodes raw with rfc1055_encode and stores both forms in step `step`.
void store_tx_frame(int step, const uint8_t* raw, int raw_len);

// A consistent copy of one step, as the send thread takes it.
struct TxFrameCopy {
  uint8_t raw[FRAME_MAX];
  uint8_t enc[FRAME_ENC_MAX];
  int raw_len;  // cut to FRAME_MAX
  int enc_len;  // cut to FRAME_ENC_MAX
};
void load_tx_frame(int step, TxFrameCopy& copy);

// Clears a command word only when it still holds `served`; true when it did.
inline bool clear_command(std::atomic<int32_t>& word, int32_t served) {
  return word.compare_exchange_strong(served, 0);
}

// Sets every shared word back to its start value (the port dialog's
// initialisation, and tests). Not while the threads serve a command.
void reset_link_state();

}  // namespace tessaril::link

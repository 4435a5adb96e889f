// The constants and small helpers of the words the dialog thread shares
// with the two link threads; the words themselves belong to a session
// (session.h).
#pragma once

#include <atomic>
#include <cstdint>

#include "link/frame_codec.h"
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

// seq_params, 21 words of a session shared by the editor and the threads:
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
constexpr int TICK_MS = 20;

// ticks * 20 ms, computed without overflow.
constexpr int64_t ticks_to_ms(int32_t ticks) { return static_cast<int64_t>(ticks) * TICK_MS; }

// Room of the name of the file announced by an answer 0x8E or 0xF9.
constexpr int FILE_NAME_CAPACITY = 40;

// A consistent copy of one step, as the send thread takes it. The encoded
// buffer holds the worst case of the escaping (every byte but the last
// doubled).
struct TxFrameCopy {
  uint8_t raw[FRAME_MAX];
  uint8_t enc[FRAME_ENC_MAX];
  int raw_len;  // cut to FRAME_MAX
  int enc_len;  // cut to FRAME_ENC_MAX
};
// Clears a command word only when it still holds `served`; true when it did.
inline bool clear_command(std::atomic<int32_t>& word, int32_t served) {
  return word.compare_exchange_strong(served, 0);
}

}  // namespace tessaril::link

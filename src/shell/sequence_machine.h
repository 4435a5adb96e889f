// The command sequencer's decisions: one link event in, a list of actions out.
//
// How it works: `decide` is a pure function. Its input is everything a
// decision needs, as plain data the caller gathered: the code of the 1034
// message, the step (`frame_slot`), `rsp_ok`, the check boxes that switch the
// chain, the "Cycle" count and the two files. The code is sorted into a kind
// (`link_event_kind`); an answer is looked up in the command table, whose row
// declares the continuation of its command and the chain box switching it.
// The output is the ordered list of effects the sequencer (sequencer.cpp)
// carries out with the link words, the sequence builders and the controls: a
// hand-over sets the step first, builds the frame into it and writes the
// command word last, and most lists close with the pause the device is paced
// by (100 ms, 800 ms after a latch-reset answer).
//
// The sequence never reaches a step beyond 4, for which there are neither
// buffers nor a result field: where the next step would be 5, it ends.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tessaril::shell {

// Pauses of the sequencer, milliseconds.
constexpr int SEQUENCER_PAUSE_MS = 100;
constexpr int LATCH_RESET_PAUSE_MS = 800;

enum class LinkEventKind : uint8_t {
  FrameWritten,        // 0x100001, and an answer byte with bit 7 clear (0x00..0x7F)
  ShortWrite,          // 0x100002..0x100010
  Answer,              // 0x80..0xFF: an answer validated, its first byte
  KermitSendEnded,     // 0x100040 and the failures with a result word, the time-out among them
  KermitReceiveEnded,  // 0x200040 and the failures with a result word, the time-out among them
  Other,               // codes without a word (0x100400, ...)
};

LinkEventKind link_event_kind(uint32_t code);

// The chain box switching the continuation of the command an answer belongs
// to; 0 when the answer has none.
int chain_box_of_answer(uint32_t code);

// The box deciding whether a Kermit step at `step` is followed by the status
// frame: "Send Frame2" at step 1, "Send Frame3" at step 2 (5700 + step).
int next_step_box(int32_t step);

// Whether `decide` looks at the announced file for this code. The receive
// thread's buffer is read only after the message that follows its write.
bool uses_announced_file(uint32_t code);

struct SequenceFile {
  std::string name;  // at most 39 characters
  int32_t size = 0;
};

struct SequenceInput {
  uint32_t code = 0;  // wParam of the 1034 message
  int32_t step = 1;   // `frame_slot`
  bool rsp_ok = false;
  bool chain_ticked = false;      // the box chain_box_of_answer(code)
  bool kermit_step = false;       // "Kermit Trns."
  bool next_step_ticked = false;  // the box next_step_box(step)
  int32_t cycles = 0;             // "Cycle" read as a decimal number
  SequenceFile transfer_file;     // `tx_file_name`, `tx_file_size`
  SequenceFile announced_file;    // `rx_file_name`, `rx_file_size`, where uses_announced_file(code)
};

enum class ActionKind : uint8_t {
  AwaitAnswer,         // `rx_command` = 1
  SetStep,             // `frame_slot` = step
  Send,                // `tx_command` = 1
  Stop,                // `tx_command` = 0, the step stays
  End,                 // `frame_slot` = 1, `tx_command` = 0
  ShowText,            // field = text
  BuildLatchReset,     // Reset Status Latch into step
  BuildStatusFrame,    // Kermit File Transfer Status "name" into step
  BuildTransferStart,  // Start File Transfer "name,size" into step
  BuildReceive,        // Receive File "name,size" into step
  StartKermitSend,     // `tx_command` = 7
  StartKermitReceive,  // `rx_command` = 8
  WaitSendIdle,        // until the send thread has cleared `tx_command` (bounded)
  Pause,               // ms on the dialog thread
  Invalidate,          // repaint the dialog
  Note,                // a line of the host's own in the traffic list and the log
};

struct Action {
  ActionKind kind = ActionKind::End;
  int32_t step = 0;
  int field = 0;
  std::string text;  // the field's text or the frame's file name
  int32_t size = 0;  // the frame's file size
  int ms = 0;
  bool operator==(const Action&) const = default;
};

using SequenceActions = std::vector<Action>;

SequenceActions decide(const SequenceInput& in);

// The actions, by name.
namespace act {
Action await_answer();
Action set_step(int32_t step);
Action send();
Action stop();
Action end();
Action show(int field, std::string text);
Action build_latch_reset(int32_t step);
Action build_status_frame(int32_t step, std::string name);
Action build_transfer_start(int32_t step, std::string name, int32_t size);
Action build_receive(int32_t step, std::string name, int32_t size);
Action kermit_send();
Action kermit_receive();
Action wait_send_idle();
Action pause(int ms);
Action invalidate();
Action note(std::string text);
}  // namespace act

}  // namespace tessaril::shell

// on_link_event: gathers the sequencer's input, lets the machine decide and
// carries its actions out (sequencer.h).
#include "shell/sequencer.h"

#include <atomic>
#include <cstring>

#include "commands/entry_text.h"
#include "shell/sequence_builders.h"
#include "link/link_state.h"
#include "link/session.h"
#include "link/transfer_file.h"
#include "platform/clock.h"
#include "platform/controls.h"
#include "shell/command_dialog.h"
#include "shell/control_ids.h"
#include "shell/dialog_session.h"

namespace tessaril::shell {

namespace {

std::atomic<SequencerSleep> sleep_fn{nullptr};

void pause(int64_t ms) {
  if (SequencerSleep fn = sleep_fn.load()) {
    fn(ms);
  } else {
    // A link thread may be inside a control call (a result field, a
    // traffic line) while the handler pauses or polls for it.
    platform::sleep_serving_calls(ms);
  }
}

bool ticked(platform::DialogHandle dialog, int id) { return platform::is_checked(dialog, id); }

static_assert(link::TX_FILE_NAME_CAPACITY == link::FILE_NAME_CAPACITY);

// Both names are copied with their bound: a name the thread did not
// terminate is cut at the buffer's end.
SequenceFile transfer_file(const link::Session& s) {
  const link::TransferFile file = s.tx_file.get();
  return {std::string(file.name, strnlen(file.name, sizeof file.name - 1)), file.size};
}

// The device's announced (or received) file, out of the receive thread's
// buffer. Read only after a message that follows the thread's write.
SequenceFile announced_file(const link::Session& s) {
  return {std::string(s.rx_file_name, strnlen(s.rx_file_name, sizeof s.rx_file_name - 1)), s.rx_file_size.load()};
}

SequenceInput gather(platform::DialogHandle dialog, const link::Session& s, uint32_t code) {
  SequenceInput in;
  in.code = code;
  in.step = s.frame_slot.load();
  in.rsp_ok = s.rsp_ok.load() != 0;
  switch (link_event_kind(code)) {
    case LinkEventKind::Answer: {
      const int box = chain_box_of_answer(code);
      in.chain_ticked = box != 0 && ticked(dialog, box);
      in.kermit_step = ticked(dialog, IDC_KERMIT_TRNS);
      char cycle[32] = {};
      platform::get_control_text(dialog, IDC_LATCH_CYCLE, cycle, sizeof cycle);
      in.cycles = commands::decimal_value(cycle);
      break;
    }
    case LinkEventKind::KermitSendEnded:
    case LinkEventKind::KermitReceiveEnded:
      in.next_step_ticked = ticked(dialog, next_step_box(in.step));
      break;
    default:
      return in;
  }
  in.transfer_file = transfer_file(s);
  if (uses_announced_file(code)) in.announced_file = announced_file(s);
  return in;
}

// Waits until the send thread has finished the pass that served the Kermit
// send (it clears `tx_command` after posting the ending).
void await_send_pass_end(const link::Session& s) {
  for (int waited = 0; waited < SEND_IDLE_WAIT_LIMIT_MS; waited += SEND_IDLE_POLL_MS) {
    if (s.tx_command.load() == link::TX_IDLE) return;
    pause(SEND_IDLE_POLL_MS);
  }
}

void apply(platform::DialogHandle dialog, link::Session& s, const Action& a) {
  switch (a.kind) {
    case ActionKind::AwaitAnswer:
      s.post_rx_command(link::RX_AWAIT_ANSWER);
      break;
    case ActionKind::SetStep:
      s.frame_slot.store(a.step);
      break;
    case ActionKind::Send:
      s.post_tx_command(link::TX_SEND_FRAME);
      break;
    case ActionKind::Stop:
      s.post_tx_command(link::TX_IDLE);
      break;
    case ActionKind::End:
      s.frame_slot.store(1);
      s.post_tx_command(link::TX_IDLE);
      break;
    case ActionKind::ShowText:
      platform::set_control_text(dialog, a.field, a.text.c_str());
      break;
    case ActionKind::BuildLatchReset:
      shell::build_latch_reset_frame(dialog, s, a.step);
      break;
    case ActionKind::BuildStatusFrame:
      shell::build_status_frame(dialog, s, a.step, a.text.c_str());
      break;
    case ActionKind::BuildTransferStart:
      shell::build_transfer_start_frame(dialog, s, a.step, a.text.c_str(), a.size);
      break;
    case ActionKind::BuildReceive:
      shell::build_receive_frame(dialog, s, a.step, a.text.c_str(), a.size);
      break;
    case ActionKind::StartKermitSend:
      s.post_tx_command(link::TX_KERMIT_SEND);
      break;
    case ActionKind::StartKermitReceive:
      s.post_rx_command(link::RX_KERMIT_RECEIVE);
      break;
    case ActionKind::WaitSendIdle:
      await_send_pass_end(s);
      break;
    case ActionKind::Pause:
      pause(a.ms);
      break;
    case ActionKind::Invalidate:
      platform::invalidate(dialog);
      break;
    case ActionKind::Note:
      s.report_note(a.text);
      break;
  }
}

}  // namespace

void set_sequencer_sleep(SequencerSleep sleep) { sleep_fn.store(sleep); }

intptr_t on_link_event(platform::DialogHandle dialog, uint32_t code) {
  // After "Return to Menu" the port is closed; what the threads reported
  // before that belongs to a sequence that is over.
  if (command_dialog_closing()) return 1;
  link::Session& s = dialog_session();
  for (const Action& a : decide(gather(dialog, s, code))) apply(dialog, s, a);
  return 1;
}

}  // namespace tessaril::shell

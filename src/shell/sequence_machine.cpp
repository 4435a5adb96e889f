// decide: the sequencer's rows in their order (sequence_machine.h).
#include "shell/sequence_machine.h"

#include <cstdio>
#include <utility>

#include "commands/command_table.h"
#include "link/answer_check.h"
#include "link/link_state.h"
#include "shell/control_ids.h"
#include "status/status_codes.h"

namespace tessaril::shell {

namespace {

using commands::answer_chain_box;
using commands::answer_continuation;
using commands::Continuation;

// The answers the receive thread tells apart lead to the continuation their
// command's row declares.
static_assert(answer_continuation(link::ANSWER_RESET_STATUS_LATCH) == Continuation::LatchRepeat);
static_assert(answer_continuation(link::ANSWER_START_FILE_TRANSFER) == Continuation::KermitSendOrStatus);
static_assert(answer_continuation(link::ANSWER_KERMIT_STATUS) == Continuation::None);
static_assert(answer_continuation(link::ANSWER_RECEIVE_FILE) == Continuation::KermitReceiveOrStatus);
static_assert(answer_continuation(link::ANSWER_GET_CAL_FILE) == Continuation::RequestAnnouncedFile);
static_assert(answer_continuation(link::ANSWER_GET_CAL_FILE_EX) == Continuation::RequestAnnouncedFile);
static_assert(answer_continuation(link::ANSWER_SET_CAL_FILE) == Continuation::StartTransfer);
static_assert(answer_continuation(link::ANSWER_START_UPGRADE) == Continuation::StartTransfer);
static_assert(answer_chain_box(link::ANSWER_START_FILE_TRANSFER) == IDC_CHAIN_KERMIT_SEND);
static_assert(answer_chain_box(link::ANSWER_RECEIVE_FILE) == IDC_CHAIN_KERMIT_RECV);
static_assert(answer_chain_box(link::ANSWER_GET_CAL_FILE) == IDC_CHAIN_GET_CAL);
static_assert(answer_chain_box(link::ANSWER_GET_CAL_FILE_EX) == IDC_CHAIN_GET_CAL_EX);
static_assert(answer_chain_box(link::ANSWER_SET_CAL_FILE) == IDC_CHAIN_SET_CAL);
static_assert(answer_chain_box(link::ANSWER_START_UPGRADE) == IDC_CHAIN_UPGRADE);

// A Kermit ending is a code of a link thread's group with a result word: the
// time-outs among them, so that no ending leaves the field as it was.
bool is_kermit_ending(uint32_t code, uint32_t group) {
  return code >> 20 == group && status::result_word(code) != nullptr;
}

bool is_time_out(uint32_t code) {
  return code == status::ST_KERMIT_SEND_TIMEOUT || code == status::ST_KERMIT_RECV_TIMEOUT;
}

// Shown when a chain that would have gone into a Kermit receive stops at an
// unsuccessful answer (an announced file beyond the receive limits among
// them): the file the engineer asked for is not received.
constexpr const char* RECEIVE_REFUSED_WORD = "R_FILE_NG";

std::string decimal(int32_t n) {
  char text[16];
  std::snprintf(text, sizeof text, "%d", static_cast<int>(n));
  return text;
}

// Collects the actions of one event in their order.
struct Decision {
  const SequenceInput& in;
  SequenceActions out;

  void add(Action a) { out.push_back(std::move(a)); }

  // *next*: the step after the current one, or the end where that would be
  // beyond the last step (0 then).
  int32_t next() {
    if (in.step < link::STEP_FIRST - 1 || in.step >= link::STEP_LAST) {
      add(act::end());
      return 0;
    }
    add(act::set_step(in.step + 1));
    return in.step + 1;
  }

  // The status frame naming `file` as the next step, after the Kermit
  // result field got `word`; the word shows where no step is left for it too.
  void status_frame(const char* word, const std::string& file) {
    const int32_t step = next();
    add(act::show(IDC_RESULT_KERMIT, word));
    if (step) {
      add(act::build_status_frame(step, file));
      add(act::send());
    }
  }

  // True when this answer's chain would have gone on into a Kermit receive.
  bool heads_for_receive(Continuation c) const {
    return in.kermit_step && (c == Continuation::KermitReceiveOrStatus || c == Continuation::RequestAnnouncedFile);
  }

  // A chain switched off stops where it is; an unsuccessful answer ends it.
  void answer() {
    const Continuation c = answer_continuation(in.code);
    const bool switched_off = c == Continuation::LatchRepeat ? in.cycles <= 0 : !in.chain_ticked;
    if (c != Continuation::None && switched_off) {
      add(act::stop());
    } else if (c == Continuation::None || !in.rsp_ok) {
      add(act::end());
      if (c != Continuation::None && heads_for_receive(c)) {
        add(act::show(IDC_RESULT_KERMIT, RECEIVE_REFUSED_WORD));
        add(act::note(std::string("Kermit receive not started: ") + RECEIVE_REFUSED_WORD));
      }
    } else {
      continue_chain(c);
    }
    add(act::pause(c == Continuation::LatchRepeat ? LATCH_RESET_PAUSE_MS : SEQUENCER_PAUSE_MS));
  }

  void continue_chain(Continuation c) {
    switch (c) {
      case Continuation::LatchRepeat:
        add(act::show(IDC_LATCH_CYCLE, decimal(in.cycles - 1)));
        add(act::build_latch_reset(in.step));
        add(act::send());
        return;
      case Continuation::KermitSendOrStatus:
        if (in.kermit_step) {
          add(act::kermit_send());
        } else {
          status_frame("---", in.transfer_file.name);
        }
        return;
      case Continuation::KermitReceiveOrStatus:
        if (in.kermit_step) {
          add(act::stop());
          add(act::kermit_receive());
        } else {
          status_frame("---", in.announced_file.name);
        }
        return;
      case Continuation::RequestAnnouncedFile:
        if (const int32_t step = next()) {
          add(act::show(IDC_RECV_FILE_NAME, in.announced_file.name));
          add(act::show(IDC_RECV_FILE_SIZE, decimal(in.announced_file.size)));
          add(act::build_receive(step, in.announced_file.name, in.announced_file.size));
          add(act::send());
        }
        return;
      case Continuation::StartTransfer:
        if (const int32_t step = next()) {
          add(act::build_transfer_start(step, in.transfer_file.name, in.transfer_file.size));
          add(act::send());
        }
        return;
      case Continuation::None:
        return;
    }
  }

  // A Kermit step ended: its word shows, and the status frame follows when
  // the step's box says so, else the sequence ends at once, without the
  // pause. No status frame follows a time-out: the device may still be inside
  // its transfer (a send tells it nothing; the cancel sequence of a receive
  // may be lost on the line that went quiet), and a frame sent into its
  // Kermit reader is taken for a damaged packet, so its answer would be
  // missing or meet the device's late packets. The word and the log line
  // report the time-out; the engineer asks the device when it is back.
  void kermit_ending(const std::string& file) {
    const char* word = status::result_word(in.code);
    if (!in.next_step_ticked || is_time_out(in.code)) {
      // The send thread has written "SND_OK" itself.
      if (in.code != status::ST_KERMIT_SEND_OK) add(act::show(IDC_RESULT_KERMIT, word ? word : ""));
      add(act::end());
      return;
    }
    if (in.code == status::ST_KERMIT_SEND_OK) {
      // The send thread posts this while `tx_command` still holds its 7; the
      // status frame's 1 must come after the thread clears it.
      if (const int32_t step = next()) {
        add(act::build_status_frame(step, file));
        add(act::wait_send_idle());
        add(act::send());
      }
    } else {
      status_frame(word ? word : "", file);
    }
    add(act::pause(SEQUENCER_PAUSE_MS));
  }
};

}  // namespace

LinkEventKind link_event_kind(uint32_t code) {
  if (code <= 0x7F || code == status::ST_CMD_SEND_OK) return LinkEventKind::FrameWritten;
  if (code >= status::ST_CMD_SEND_ERR && code <= status::ST_CMD_SEND_OTHER_ERR) return LinkEventKind::ShortWrite;
  if (code <= 0xFF) return LinkEventKind::Answer;
  if (is_kermit_ending(code, status::GRP_SEND)) return LinkEventKind::KermitSendEnded;
  if (is_kermit_ending(code, status::GRP_RECV)) return LinkEventKind::KermitReceiveEnded;
  return LinkEventKind::Other;
}

int chain_box_of_answer(uint32_t code) { return answer_chain_box(code); }

bool uses_announced_file(uint32_t code) {
  switch (link_event_kind(code)) {
    case LinkEventKind::KermitReceiveEnded:
      return true;
    case LinkEventKind::Answer: {
      const Continuation c = answer_continuation(code);
      return c == Continuation::KermitReceiveOrStatus || c == Continuation::RequestAnnouncedFile;
    }
    default:
      return false;
  }
}

int next_step_box(int32_t step) { return IDC_SEND_FRAME2 - 1 + step; }

SequenceActions decide(const SequenceInput& in) {
  Decision d{in, {}};
  switch (link_event_kind(in.code)) {
    case LinkEventKind::FrameWritten:
      d.add(act::await_answer());
      d.add(act::pause(SEQUENCER_PAUSE_MS));
      break;
    case LinkEventKind::ShortWrite:
      // Frame 1 again, from the start of the sequence.
      d.add(act::set_step(1));
      d.add(act::send());
      d.add(act::pause(SEQUENCER_PAUSE_MS));
      break;
    case LinkEventKind::Answer:
      d.answer();
      break;
    case LinkEventKind::KermitSendEnded:
      d.kermit_ending(in.transfer_file.name);
      break;
    case LinkEventKind::KermitReceiveEnded:
      d.kermit_ending(in.announced_file.name);
      break;
    case LinkEventKind::Other:
      d.add(act::invalidate());
      break;
  }
  return std::move(d.out);
}

namespace act {
namespace {
Action of(ActionKind kind) {
  Action a;
  a.kind = kind;
  return a;
}
Action frame(ActionKind kind, int32_t step, std::string name = {}, int32_t size = 0) {
  Action a = of(kind);
  a.step = step;
  a.text = std::move(name);
  a.size = size;
  return a;
}
}  // namespace

Action await_answer() { return of(ActionKind::AwaitAnswer); }
Action set_step(int32_t step) { return frame(ActionKind::SetStep, step); }
Action send() { return of(ActionKind::Send); }
Action stop() { return of(ActionKind::Stop); }
Action end() { return of(ActionKind::End); }
Action show(int field, std::string text) {
  Action a = of(ActionKind::ShowText);
  a.field = field;
  a.text = std::move(text);
  return a;
}
Action build_latch_reset(int32_t step) { return frame(ActionKind::BuildLatchReset, step); }
Action build_status_frame(int32_t step, std::string name) {
  return frame(ActionKind::BuildStatusFrame, step, std::move(name));
}
Action build_transfer_start(int32_t step, std::string name, int32_t size) {
  return frame(ActionKind::BuildTransferStart, step, std::move(name), size);
}
Action build_receive(int32_t step, std::string name, int32_t size) {
  return frame(ActionKind::BuildReceive, step, std::move(name), size);
}
Action kermit_send() { return of(ActionKind::StartKermitSend); }
Action kermit_receive() { return of(ActionKind::StartKermitReceive); }
Action wait_send_idle() { return of(ActionKind::WaitSendIdle); }
Action pause(int ms) {
  Action a = of(ActionKind::Pause);
  a.ms = ms;
  return a;
}
Action invalidate() { return of(ActionKind::Invalidate); }
Action note(std::string text) {
  Action a = of(ActionKind::Note);
  a.text = std::move(text);
  return a;
}
}  // namespace act

}  // namespace tessaril::shell

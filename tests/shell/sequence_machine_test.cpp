// The sequencer's decisions as tables of (event and state, actions), grouped
// by situation: no thread, no port, no dialog.
#include <gtest/gtest.h>

#include <ostream>

#include "shell/control_ids.h"
#include "shell/sequence_machine.h"
#include "status/status_codes.h"

namespace tessaril::shell {

// Failures print the lists readably.
static void PrintTo(const Action& a, std::ostream* os) {
  *os << "{kind " << static_cast<int>(a.kind) << " step " << a.step << " field " << a.field << " \"" << a.text
      << "\" size " << a.size << " ms " << a.ms << "}";
}

namespace {

using namespace act;
using status::ST_KERMIT_RECV_BREAK;
using status::ST_KERMIT_RECV_OK;
using status::ST_KERMIT_SEND_ERR;
using status::ST_KERMIT_SEND_OK;
using status::ST_KERMIT_SEND_SIZE_MISMATCH;

const char* const TX = "SEND.BIN";
const char* const RX = "CAL_A.XML";

// The dialog as it opens, after a chain preset: every box ticked, a
// successful answer, both files known.
SequenceInput on(uint32_t code, int32_t step) {
  SequenceInput in;
  in.code = code;
  in.step = step;
  in.rsp_ok = true;
  in.chain_ticked = true;
  in.kermit_step = true;
  in.next_step_ticked = true;
  in.transfer_file = {TX, 500};
  in.announced_file = {RX, 1234};
  return in;
}

SequenceInput off(SequenceInput in, bool SequenceInput::*flag) {
  in.*flag = false;
  return in;
}

SequenceInput cycles(SequenceInput in, int32_t n) {
  in.cycles = n;
  return in;
}

constexpr bool SequenceInput::*RSP_OK = &SequenceInput::rsp_ok;
constexpr bool SequenceInput::*CHAIN = &SequenceInput::chain_ticked;
constexpr bool SequenceInput::*KERMIT = &SequenceInput::kermit_step;
constexpr bool SequenceInput::*NEXT_BOX = &SequenceInput::next_step_ticked;

struct Row {
  SequenceInput in;
  SequenceActions expected;
};

void check(const std::vector<Row>& rows) {
  for (const Row& r : rows)
    EXPECT_EQ(decide(r.in), r.expected) << "code 0x" << std::hex << r.in.code << std::dec << " step " << r.in.step;
}

const Action P100 = pause(SEQUENCER_PAUSE_MS);
const Action P800 = pause(LATCH_RESET_PAUSE_MS);

TEST(ShellSequenceMachine, FramesWrittenAndShortWrites) {
  check({
      {on(status::ST_CMD_SEND_OK, 2), {await_answer(), P100}},
      {on(0x7F, 3), {await_answer(), P100}},
      {on(status::ST_CMD_SEND_SIZE_ERR, 3), {set_step(1), send(), P100}},
      {on(status::ST_CMD_SEND_OTHER_ERR, 2), {set_step(1), send(), P100}},
  });
}

TEST(ShellSequenceMachine, EachChainedCommandContinuesAsItsRowDeclares) {
  check({
      {cycles(on(0x89, 1), 3), {show(IDC_LATCH_CYCLE, "2"), build_latch_reset(1), send(), P800}},
      {on(0x8A, 2), {kermit_send(), P100}},
      {off(on(0x8A, 1), KERMIT),
       {set_step(2), show(IDC_RESULT_KERMIT, "---"), build_status_frame(2, TX), send(), P100}},
      {on(0x8C, 2), {stop(), kermit_receive(), P100}},
      {off(on(0x8C, 2), KERMIT),
       {set_step(3), show(IDC_RESULT_KERMIT, "---"), build_status_frame(3, RX), send(), P100}},
      {on(0x8E, 1),
       {set_step(2), show(IDC_RECV_FILE_NAME, RX), show(IDC_RECV_FILE_SIZE, "1234"), build_receive(2, RX, 1234), send(),
        P100}},
      {on(0xF9, 1),
       {set_step(2), show(IDC_RECV_FILE_NAME, RX), show(IDC_RECV_FILE_SIZE, "1234"), build_receive(2, RX, 1234), send(),
        P100}},
      {on(0x8F, 1), {set_step(2), build_transfer_start(2, TX, 500), send(), P100}},
      {on(0x90, 1), {set_step(2), build_transfer_start(2, TX, 500), send(), P100}},
  });
}

TEST(ShellSequenceMachine, AnswersOfSingleFramesAndOfTheStatusFrameEnd) {
  // Chain boxes and "Kermit Trns." belong to other commands here.
  check({
      {on(0x8B, 3), {end(), P100}},
      {on(0xFD, 1), {end(), P100}},
      {on(0x80, 1), {end(), P100}},
      {on(0x81, 2), {end(), P100}},
      {on(0xFF, 1), {end(), P100}},
  });
}

TEST(ShellSequenceMachine, AnUnsuccessfulAnswerEndsTheChain) {
  const Action refused = show(IDC_RESULT_KERMIT, "R_FILE_NG");
  const Action logged = note("Kermit receive not started: R_FILE_NG");
  check({
      {off(cycles(on(0x89, 2), 2), RSP_OK), {end(), P800}},
      {off(on(0x8A, 2), RSP_OK), {end(), P100}},
      {off(on(0x8F, 1), RSP_OK), {end(), P100}},
      {off(on(0x90, 1), RSP_OK), {end(), P100}},
      // A chain on its way into a receive says why none follows (an
      // announced file beyond the receive limits is such an answer).
      {off(on(0x8C, 2), RSP_OK), {end(), refused, logged, P100}},
      {off(on(0x8E, 1), RSP_OK), {end(), refused, logged, P100}},
      {off(on(0xF9, 1), RSP_OK), {end(), refused, logged, P100}},
      {off(off(on(0x8E, 1), RSP_OK), KERMIT), {end(), P100}},
  });
}

TEST(ShellSequenceMachine, AChainSwitchedOffStopsWhereItIs) {
  // The switch is looked at before the answer's success.
  check({
      {cycles(on(0x89, 2), 0), {stop(), P800}},
      {off(cycles(on(0x89, 2), -3), RSP_OK), {stop(), P800}},
      {off(on(0x8A, 2), CHAIN), {stop(), P100}},
      {off(off(on(0x8C, 2), CHAIN), RSP_OK), {stop(), P100}},
      {off(on(0xF9, 1), CHAIN), {stop(), P100}},
      {off(on(0x90, 1), CHAIN), {stop(), P100}},
  });
}

TEST(ShellSequenceMachine, NoStepBeyondTheFourth) {
  check({
      {on(0x8F, 3), {set_step(4), build_transfer_start(4, TX, 500), send(), P100}},
      {on(0x8F, 4), {end(), P100}},
      {on(0x8E, 4), {end(), P100}},
      {off(on(0x8A, 4), KERMIT), {end(), show(IDC_RESULT_KERMIT, "---"), P100}},
      {on(ST_KERMIT_SEND_OK, 4), {end(), P100}},
      {on(ST_KERMIT_RECV_OK, 4), {end(), show(IDC_RESULT_KERMIT, "RCV_OK"), P100}},
      // The latch repeat stays in its step.
      {cycles(on(0x89, 4), 1), {show(IDC_LATCH_CYCLE, "0"), build_latch_reset(4), send(), P800}},
  });
}

TEST(ShellSequenceMachine, KermitEndingsReportToTheDeviceWhenTheNextStepIsTicked) {
  check({
      // The status frame's 1 goes out only once the send pass has ended.
      {on(ST_KERMIT_SEND_OK, 1), {set_step(2), build_status_frame(2, TX), wait_send_idle(), send(), P100}},
      {on(ST_KERMIT_SEND_ERR, 2),
       {set_step(3), show(IDC_RESULT_KERMIT, "SND_NG"), build_status_frame(3, TX), send(), P100}},
      {on(ST_KERMIT_SEND_SIZE_MISMATCH, 1),
       {set_step(2), show(IDC_RESULT_KERMIT, "S_FILE_NG"), build_status_frame(2, TX), send(), P100}},
      {on(ST_KERMIT_RECV_OK, 2),
       {set_step(3), show(IDC_RESULT_KERMIT, "RCV_OK"), build_status_frame(3, RX), send(), P100}},
      {on(ST_KERMIT_RECV_BREAK, 1),
       {set_step(2), show(IDC_RESULT_KERMIT, "RCV_BREAK"), build_status_frame(2, RX), send(), P100}},
      // Unticked: the word, and the end at once, without the pause.
      {off(on(ST_KERMIT_SEND_OK, 2), NEXT_BOX), {end()}},
      {off(on(ST_KERMIT_SEND_ERR, 1), NEXT_BOX), {show(IDC_RESULT_KERMIT, "SND_NG"), end()}},
      {off(on(ST_KERMIT_RECV_BREAK, 2), NEXT_BOX), {show(IDC_RESULT_KERMIT, "RCV_BREAK"), end()}},
      // A time-out is no moment to talk to the device: it may still be inside its transfer.
      {on(status::ST_KERMIT_SEND_TIMEOUT, 2), {show(IDC_RESULT_KERMIT, "SND_TMO"), end()}},
      {on(status::ST_KERMIT_RECV_TIMEOUT, 1), {show(IDC_RESULT_KERMIT, "RCV_TMO"), end()}},
  });
}

// Every ending a link thread posts leaves a word in the Kermit result field,
// so none leaves the last transfer's word standing ("SND_OK" the send thread
// writes itself).
TEST(ShellSequenceMachine, EveryKermitEndingShowsAWord) {
  using namespace status;
  for (uint32_t code : {ST_KERMIT_SEND_ERR, ST_KERMIT_SEND_TIMEOUT, ST_KERMIT_SEND_INIT_ERR,
                        ST_KERMIT_SEND_NAME_MISMATCH, ST_KERMIT_SEND_SIZE_MISMATCH, ST_KERMIT_SEND_CANCEL,
                        ST_KERMIT_SEND_BREAK, ST_KERMIT_RECV_OK, ST_KERMIT_RECV_ERR, ST_KERMIT_RECV_TIMEOUT,
                        ST_KERMIT_RECV_INIT_ERR, ST_KERMIT_RECV_NAME_MISMATCH, ST_KERMIT_RECV_SIZE_MISMATCH,
                        ST_KERMIT_RECV_CANCEL, ST_KERMIT_RECV_BREAK}) {
    for (int32_t step : {1, 4}) {
      for (bool next_box : {true, false}) {
        SequenceInput in = on(code, step);
        in.next_step_ticked = next_box;
        int words = 0;
        for (const Action& a : decide(in))
          if (a.kind == ActionKind::ShowText && a.field == IDC_RESULT_KERMIT && !a.text.empty()) ++words;
        EXPECT_EQ(words, 1) << std::hex << code << std::dec << " step " << step << " box " << next_box;
      }
    }
  }
}

TEST(ShellSequenceMachine, StrayCodesOnlyRepaint) {
  check({
      {on(status::ST_KERMIT_SEND_OTHER_ERR, 2), {invalidate()}},
      {on(status::ST_KERMIT_RECV_OTHER_ERR, 2), {invalidate()}},
      {on(status::ST_ANS_RECV_OK, 2), {invalidate()}},
      {on(0x100, 1), {invalidate()}},
      {on(0xFFFFFFFF, 1), {invalidate()}},
  });
}

TEST(ShellSequenceMachine, TheAnnouncedFileIsReadOnlyWhereADecisionUsesIt) {
  std::vector<uint32_t> codes = {status::ST_CMD_SEND_OK, ST_KERMIT_SEND_OK, ST_KERMIT_SEND_ERR, ST_KERMIT_RECV_OK,
                                 ST_KERMIT_RECV_BREAK};
  for (uint32_t c = 0x80; c <= 0xFF; ++c) codes.push_back(c);
  for (uint32_t code : codes) {
    bool differs = false;
    for (bool kermit : {true, false}) {
      SequenceInput in = on(code, 1);
      in.kermit_step = kermit;
      SequenceInput unread = in;
      unread.announced_file = {};
      differs = differs || decide(in) != decide(unread);
    }
    EXPECT_EQ(differs, uses_announced_file(code)) << std::hex << code;
  }
}

TEST(ShellSequenceMachine, TheAnswerNamesTheChainBoxTheExecutorReads) {
  EXPECT_EQ(chain_box_of_answer(0x8E), IDC_CHAIN_GET_CAL);
  EXPECT_EQ(chain_box_of_answer(0xF9), IDC_CHAIN_GET_CAL_EX);
  EXPECT_EQ(chain_box_of_answer(0x8B), 0);
  EXPECT_EQ(chain_box_of_answer(0x79), 0) << "a request code is no answer";
  EXPECT_EQ(next_step_box(2), IDC_SEND_FRAME3);
}

}  // namespace
}  // namespace tessaril::shell

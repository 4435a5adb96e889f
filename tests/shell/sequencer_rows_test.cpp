// The sequencer's rows, driven by 1034 messages on a command dialog made from
// the real layout, without link threads: what each notification does to the
// shared words, to the transmit buffers of the next step and to the result
// fields, and how long the dialog thread pauses.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "shell/builders.h"
#include "link/transfer_file.h"
#include "link/link_state.h"
#include "platform/controls.h"
#include "shell/command_dialog.h"
#include "shell/dialog_handles.h"
#include "shell/control_ids.h"
#include "shell/layout_tables.h"
#include "shell/sequencer.h"
#include "status/status_codes.h"
#include "support/installed_session.h"
#include "support/temp_folder.h"
#include "ui/headless/headless_backend.h"

namespace tessaril::shell {
namespace {

std::vector<int64_t> pauses;
void record_pause(int64_t ms) { pauses.push_back(ms); }

struct Frame {
  uint8_t code = 0;
  uint16_t seq = 0;
  std::string data;  // without the closing NUL
  int raw_len = 0;
};

class ShellSequencer : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::install_headless_backend();
    S().reset();
    S().log.configure({logs.path() + "/", 7, 1000});  // the notes of the sequence go there
    dialog = ui::create_test_dialog(command_dialog_template);
    on_command_dialog_init(dialog);
    S().tx_file.set("CAL_DATA.XML", 12345, "/somewhere/cal_data.xml");
    set_rx_file("CAL_A.XML", 1234);
    pauses.clear();
    set_sequencer_sleep(record_pause);
  }
  void TearDown() override {
    set_sequencer_sleep(nullptr);
    ui::destroy_test_dialog(dialog);
    S().reset();
  }

  static void set_rx_file(const char* name, int32_t size) {
    std::memset(S().rx_file_name, 0, sizeof S().rx_file_name);
    std::strncpy(S().rx_file_name, name, sizeof S().rx_file_name - 1);
    S().rx_file_size.store(size);
  }

  // Puts the sequence at `slot` with a frame just answered.
  static void at_step(int slot, int rsp_ok) {
    S().frame_slot.store(slot);
    S().tx_command.store(link::TX_IDLE);
    S().rx_command.store(link::RX_IDLE);
    S().rsp_ok.store(rsp_ok);
  }

  intptr_t event(uint32_t code) { return command_dialog_proc(dialog, WM_LINK_EVENT, code, 3); }

  void tick(int id, bool on) { platform::set_check(dialog, id, on); }
  std::string text(int id) { return platform::control_text(dialog, id); }

  // The raw frame stored in a step of the transmit buffers, decoded.
  static Frame stored(int step) {
    link::TxFrameCopy copy;
    S().load_tx_frame(step, copy);
    Frame f;
    f.raw_len = copy.raw_len;
    if (copy.raw_len < 9) return f;
    f.code = copy.raw[0];
    f.seq = static_cast<uint16_t>(copy.raw[2] << 8 | copy.raw[3]);
    const int n = copy.raw[4] << 8 | copy.raw[5];
    if (n > 0 && 6 + n <= copy.raw_len) {
      EXPECT_EQ(copy.raw[6 + n - 1], 0) << "data field ends in a NUL";
      f.data.assign(reinterpret_cast<const char*>(copy.raw + 6), static_cast<size_t>(n - 1));
    }
    return f;
  }

  test::InstalledSession installed;
  test::TempFolder logs;
  platform::DialogHandle dialog = platform::NO_DIALOG;
};

TEST_F(ShellSequencer, FrameWrittenAndAnswersWithBitSevenClearAwaitTheAnswer) {
  for (uint32_t code : {status::ST_CMD_SEND_OK, 0x00u, 0x01u, 0x7Fu}) {
    at_step(2, 1);
    pauses.clear();
    EXPECT_EQ(event(code), 1);
    EXPECT_EQ(S().rx_command.load(), link::RX_AWAIT_ANSWER) << std::hex << code;
    EXPECT_EQ(S().frame_slot.load(), 2);
    EXPECT_EQ(S().tx_command.load(), link::TX_IDLE);
    EXPECT_EQ(pauses, std::vector<int64_t>{SEQUENCER_PAUSE_MS});
  }
}

TEST_F(ShellSequencer, ShortWriteSendsFrameOneAgain) {
  for (uint32_t code : {status::ST_CMD_SEND_SIZE_ERR, status::ST_CMD_SEND_ERR, status::ST_CMD_SEND_OTHER_ERR}) {
    at_step(3, 1);
    event(code);
    EXPECT_EQ(S().frame_slot.load(), 1) << std::hex << code;
    EXPECT_EQ(S().tx_command.load(), link::TX_SEND_FRAME);
  }
}

TEST_F(ShellSequencer, AnswersToSingleFramesAndToTheStatusFrameEndTheSequence) {
  for (uint32_t code : {0x8Bu, 0xFDu, 0x81u, 0x94u, 0xFFu, 0x80u}) {
    at_step(3, 1);
    S().tx_command.store(link::TX_SEND_FRAME);
    pauses.clear();
    event(code);
    EXPECT_EQ(S().frame_slot.load(), 1) << std::hex << code;
    EXPECT_EQ(S().tx_command.load(), link::TX_IDLE);
    EXPECT_EQ(S().rx_command.load(), link::RX_IDLE);
    EXPECT_EQ(pauses, std::vector<int64_t>{SEQUENCER_PAUSE_MS});
  }
}

TEST_F(ShellSequencer, LatchResetRepeatsWhileTheCycleCountLasts) {
  platform::set_control_text(dialog, IDC_LATCH_CYCLE, "3");
  shell::seq_no.store(7);
  const char* counts[] = {"2", "1", "0"};
  for (int round = 0; round < 3; ++round) {
    at_step(1, 1);
    event(0x89);
    EXPECT_EQ(text(IDC_LATCH_CYCLE), counts[round]);
    EXPECT_EQ(S().tx_command.load(), link::TX_SEND_FRAME);
    EXPECT_EQ(S().frame_slot.load(), 1) << "the repeat stays in the same step";
    const Frame f = stored(1);
    EXPECT_EQ(f.code, 0x09);
    EXPECT_EQ(f.seq, 7 + round) << "every repeat is a new frame";
    EXPECT_EQ(f.raw_len, 9);
  }
  at_step(1, 1);
  event(0x89);
  EXPECT_EQ(S().tx_command.load(), link::TX_IDLE);
  EXPECT_EQ(text(IDC_LATCH_CYCLE), "0");
  EXPECT_EQ(pauses, std::vector<int64_t>(4, LATCH_RESET_PAUSE_MS));
}

TEST_F(ShellSequencer, LatchResetEndsOnAnUnsuccessfulAnswerOrACountOfZero) {
  platform::set_control_text(dialog, IDC_LATCH_CYCLE, "2");
  at_step(2, 0);
  S().tx_command.store(link::TX_SEND_FRAME);
  event(0x89);
  EXPECT_EQ(S().frame_slot.load(), 1);
  EXPECT_EQ(S().tx_command.load(), link::TX_IDLE);
  EXPECT_EQ(text(IDC_LATCH_CYCLE), "2");

  // Count 0 (and whatever reads as 0 or less) stops without touching the step.
  for (const char* cycle : {"0", "abc", "", " -4", "-2147483649"}) {
    platform::set_control_text(dialog, IDC_LATCH_CYCLE, cycle);
    at_step(2, 1);
    S().tx_command.store(link::TX_SEND_FRAME);
    event(0x89);
    EXPECT_EQ(S().tx_command.load(), link::TX_IDLE) << cycle;
    EXPECT_EQ(S().frame_slot.load(), 2) << cycle;
    EXPECT_EQ(text(IDC_LATCH_CYCLE), cycle);
  }
}

TEST_F(ShellSequencer, AnOverlongCycleCountIsClampedNotOverflowed) {
  platform::set_control_text(dialog, IDC_LATCH_CYCLE, "99999999999999999999999");
  at_step(1, 1);
  event(0x89);
  EXPECT_EQ(text(IDC_LATCH_CYCLE), "2147483646");
  EXPECT_EQ(S().tx_command.load(), link::TX_SEND_FRAME);
}

TEST_F(ShellSequencer, StartFileTransferAnswerChoosesKermitOrStatusFrame) {
  // Chain box unticked: the sequence stops where it is.
  tick(IDC_CHAIN_KERMIT_SEND, false);
  at_step(2, 1);
  event(0x8A);
  EXPECT_EQ(S().tx_command.load(), link::TX_IDLE);
  EXPECT_EQ(S().frame_slot.load(), 2);
  tick(IDC_CHAIN_KERMIT_SEND, true);

  // Unsuccessful answer: end.
  at_step(2, 0);
  event(0x8A);
  EXPECT_EQ(S().frame_slot.load(), 1);
  EXPECT_EQ(S().tx_command.load(), link::TX_IDLE);

  // "Kermit Trns." ticked: the Kermit send of the transfer file.
  at_step(2, 1);
  event(0x8A);
  EXPECT_EQ(S().tx_command.load(), link::TX_KERMIT_SEND);
  EXPECT_EQ(S().frame_slot.load(), 2);

  // Unticked: the status frame follows at once as the next step.
  tick(IDC_KERMIT_TRNS, false);
  at_step(1, 1);
  event(0x8A);
  EXPECT_EQ(S().frame_slot.load(), 2);
  EXPECT_EQ(S().tx_command.load(), link::TX_SEND_FRAME);
  EXPECT_EQ(text(IDC_RESULT_KERMIT), "---");
  EXPECT_EQ(text(IDC_STATUS_FILE_NAME), "CAL_DATA.XML");
  const Frame f = stored(2);
  EXPECT_EQ(f.code, 0x0B);
  EXPECT_EQ(f.data, "CAL_DATA.XML");
}

TEST_F(ShellSequencer, ReceiveFileAnswerChoosesKermitOrStatusFrame) {
  tick(IDC_CHAIN_KERMIT_RECV, false);
  at_step(2, 1);
  S().tx_command.store(link::TX_SEND_FRAME);
  event(0x8C);
  EXPECT_EQ(S().tx_command.load(), link::TX_IDLE);
  EXPECT_EQ(S().frame_slot.load(), 2);
  tick(IDC_CHAIN_KERMIT_RECV, true);

  at_step(2, 0);
  event(0x8C);
  EXPECT_EQ(S().frame_slot.load(), 1);

  at_step(2, 1);
  event(0x8C);
  EXPECT_EQ(S().tx_command.load(), link::TX_IDLE);
  EXPECT_EQ(S().rx_command.load(), link::RX_KERMIT_RECEIVE);
  EXPECT_EQ(S().frame_slot.load(), 2);

  tick(IDC_KERMIT_TRNS, false);
  at_step(2, 1);
  event(0x8C);
  EXPECT_EQ(S().frame_slot.load(), 3);
  EXPECT_EQ(S().tx_command.load(), link::TX_SEND_FRAME);
  EXPECT_EQ(S().rx_command.load(), link::RX_IDLE);
  EXPECT_EQ(text(IDC_RESULT_KERMIT), "---");
  const Frame f = stored(3);
  EXPECT_EQ(f.code, 0x0B);
  EXPECT_EQ(f.data, "CAL_A.XML") << "the status frame names the received file";
}

TEST_F(ShellSequencer, CalibrationAnnouncementAsksForTheAnnouncedFile) {
  for (uint32_t code : {0x8Eu, 0xF9u}) {
    const int box = code == 0x8E ? IDC_CHAIN_GET_CAL : IDC_CHAIN_GET_CAL_EX;
    const int other = code == 0x8E ? IDC_CHAIN_GET_CAL_EX : IDC_CHAIN_GET_CAL;
    platform::set_control_text(dialog, IDC_RECV_FILE_NAME, "*");
    tick(other, false);  // the other command's box plays no part
    at_step(1, 1);
    event(code);
    EXPECT_EQ(S().frame_slot.load(), 2) << std::hex << code;
    EXPECT_EQ(S().tx_command.load(), link::TX_SEND_FRAME);
    EXPECT_EQ(text(IDC_RECV_FILE_NAME), "CAL_A.XML");
    EXPECT_EQ(text(IDC_RECV_FILE_SIZE), "1234");
    const Frame f = stored(2);
    EXPECT_EQ(f.code, 0x0C);
    EXPECT_EQ(f.data, "CAL_A.XML,1234");

    tick(box, false);
    at_step(1, 1);
    event(code);
    EXPECT_EQ(S().tx_command.load(), link::TX_IDLE);
    EXPECT_EQ(S().frame_slot.load(), 1);
    tick(box, true);
    tick(other, true);

    // A malformed announcement (rsp_ok 0: beyond the receive limits among
    // others) ends the sequence, and says so where the transfer's word goes.
    platform::set_control_text(dialog, IDC_RESULT_KERMIT, "RCV_OK");
    at_step(2, 0);
    event(code);
    EXPECT_EQ(S().frame_slot.load(), 1);
    EXPECT_EQ(S().tx_command.load(), link::TX_IDLE);
    EXPECT_EQ(text(IDC_RESULT_KERMIT), "R_FILE_NG");
  }
  EXPECT_NE(test::TempFolder::read(S().log.path()).find("Kermit receive not started: R_FILE_NG"), std::string::npos);
}

TEST_F(ShellSequencer, AnAnnouncedNameWithoutTerminatorIsReadWithinItsBuffer) {
  std::memset(S().rx_file_name, 'A', sizeof S().rx_file_name);
  S().rx_file_size.store(-5);
  at_step(1, 1);
  event(0x8E);
  EXPECT_EQ(text(IDC_RECV_FILE_NAME), std::string(link::FILE_NAME_CAPACITY - 1, 'A'));
  EXPECT_EQ(text(IDC_RECV_FILE_SIZE), "-5");
  EXPECT_EQ(stored(2).code, 0x0C);
}

TEST_F(ShellSequencer, AcceptedFileAnnouncementStartsTheTransfer) {
  for (uint32_t code : {0x8Fu, 0x90u}) {
    at_step(1, 1);
    event(code);
    EXPECT_EQ(S().frame_slot.load(), 2);
    EXPECT_EQ(S().tx_command.load(), link::TX_SEND_FRAME);
    const Frame f = stored(2);
    EXPECT_EQ(f.code, 0x0A) << std::hex << code;
    EXPECT_EQ(f.data, "CAL_DATA.XML,12345");
    EXPECT_EQ(text(IDC_TRANSFER_FILE_NAME), "CAL_DATA.XML");
    EXPECT_EQ(text(IDC_TRANSFER_FILE_SIZE), "12345");

    const int box = code == 0x8F ? IDC_CHAIN_SET_CAL : IDC_CHAIN_UPGRADE;
    tick(box, false);
    at_step(1, 1);
    event(code);
    EXPECT_EQ(S().tx_command.load(), link::TX_IDLE);
    EXPECT_EQ(S().frame_slot.load(), 1);
    tick(box, true);
  }
}

TEST_F(ShellSequencer, CompletedKermitSendWithoutNextStepEndsWithoutPause) {
  tick(IDC_SEND_FRAME2, false);
  at_step(1, 1);
  S().tx_command.store(link::TX_KERMIT_SEND);
  event(status::ST_KERMIT_SEND_OK);
  EXPECT_EQ(S().frame_slot.load(), 1);
  EXPECT_EQ(S().tx_command.load(), link::TX_IDLE);
  EXPECT_TRUE(pauses.empty());
}

TEST_F(ShellSequencer, CompletedKermitSendHandsOverOnlyAfterTheSendPassEnds) {
  set_sequencer_sleep(nullptr);  // real polling against a real thread
  tick(IDC_SEND_FRAME3, true);
  at_step(2, 1);
  S().tx_command.store(link::TX_KERMIT_SEND);
  std::atomic<bool> cleared{false};
  // The send thread posts the ending first and clears its 7 a little later.
  std::thread pass_end([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(120));
    cleared.store(link::clear_command(S().tx_command, link::TX_KERMIT_SEND));
  });
  event(status::ST_KERMIT_SEND_OK);
  pass_end.join();
  EXPECT_TRUE(cleared.load()) << "the status frame's 1 was written over the 7 before the pass ended";
  EXPECT_EQ(S().tx_command.load(), link::TX_SEND_FRAME);
  EXPECT_EQ(S().frame_slot.load(), 3);
  const Frame f = stored(3);
  EXPECT_EQ(f.code, 0x0B);
  EXPECT_EQ(f.data, "CAL_DATA.XML");
}

TEST_F(ShellSequencer, WaitForTheSendPassIsBounded) {
  // A send thread that stopped never clears its 7: the frame goes all the same.
  tick(IDC_SEND_FRAME2, true);
  at_step(1, 1);
  S().tx_command.store(link::TX_KERMIT_SEND);
  event(status::ST_KERMIT_SEND_OK);
  EXPECT_EQ(S().tx_command.load(), link::TX_SEND_FRAME);
  EXPECT_EQ(S().frame_slot.load(), 2);
  const size_t polls = SEND_IDLE_WAIT_LIMIT_MS / SEND_IDLE_POLL_MS;
  ASSERT_EQ(pauses.size(), polls + 1);
  EXPECT_EQ(pauses.front(), SEND_IDLE_POLL_MS);
  EXPECT_EQ(pauses.back(), SEQUENCER_PAUSE_MS);
}

TEST_F(ShellSequencer, KermitFailuresAreReportedInTheStatusFrame) {
  struct Case {
    uint32_t code;
    const char* word;
    const char* file;
  };
  const Case cases[] = {
      {status::ST_KERMIT_SEND_ERR, "SND_NG", "CAL_DATA.XML"},
      {status::ST_KERMIT_SEND_INIT_ERR, "INI_NG", "CAL_DATA.XML"},
      {status::ST_KERMIT_SEND_SIZE_MISMATCH, "S_FILE_NG", "CAL_DATA.XML"},
      {status::ST_KERMIT_SEND_CANCEL, "SND_CANSEL", "CAL_DATA.XML"},
      {status::ST_KERMIT_SEND_BREAK, "SND_BREAK", "CAL_DATA.XML"},
      {status::ST_KERMIT_RECV_OK, "RCV_OK", "CAL_A.XML"},
      {status::ST_KERMIT_RECV_NAME_MISMATCH, "R_FILE_NG", "CAL_A.XML"},
      {status::ST_KERMIT_RECV_BREAK, "RCV_BREAK", "CAL_A.XML"},
  };
  for (const Case& c : cases) {
    // A failed send leaves its 7 in place until the end of its pass; the 1
    // written now survives that clear.
    at_step(2, 1);
    if (c.code < status::ST_KERMIT_RECV_OK) S().tx_command.store(link::TX_KERMIT_SEND);
    tick(IDC_SEND_FRAME3, true);
    pauses.clear();
    event(c.code);
    EXPECT_EQ(text(IDC_RESULT_KERMIT), c.word) << std::hex << c.code;
    EXPECT_EQ(S().frame_slot.load(), 3);
    EXPECT_EQ(S().tx_command.load(), link::TX_SEND_FRAME);
    EXPECT_FALSE(link::clear_command(S().tx_command, link::TX_KERMIT_SEND));
    const Frame f = stored(3);
    EXPECT_EQ(f.code, 0x0B);
    EXPECT_EQ(f.data, c.file);
    EXPECT_EQ(pauses, std::vector<int64_t>{SEQUENCER_PAUSE_MS});

    // Next-step box unticked: the word, the end, no pause.
    platform::set_control_text(dialog, IDC_RESULT_KERMIT, "SND_OK");
    tick(IDC_SEND_FRAME3, false);
    at_step(2, 1);
    pauses.clear();
    event(c.code);
    EXPECT_EQ(S().frame_slot.load(), 1);
    EXPECT_EQ(S().tx_command.load(), link::TX_IDLE);
    EXPECT_EQ(text(IDC_RESULT_KERMIT), c.word);
    EXPECT_TRUE(pauses.empty());
  }
}

TEST_F(ShellSequencer, KermitTimeoutsShowTheirWordAndEndWithoutAStatusFrame) {
  const struct {
    uint32_t code;
    const char* word;
  } cases[] = {{status::ST_KERMIT_SEND_TIMEOUT, "SND_TMO"}, {status::ST_KERMIT_RECV_TIMEOUT, "RCV_TMO"}};
  for (const auto& c : cases) {
    platform::set_control_text(dialog, IDC_RESULT_KERMIT, "SND_OK");
    tick(IDC_SEND_FRAME3, true);
    at_step(2, 1);
    S().tx_command.store(link::TX_KERMIT_SEND);
    pauses.clear();
    event(c.code);
    EXPECT_EQ(text(IDC_RESULT_KERMIT), c.word);
    EXPECT_EQ(S().frame_slot.load(), 1);
    EXPECT_EQ(S().tx_command.load(), link::TX_IDLE);
    EXPECT_EQ(stored(3).raw_len, 0) << "no status frame";
    EXPECT_TRUE(pauses.empty());
  }
}

TEST_F(ShellSequencer, UnknownCodesChangeNothing) {
  for (uint32_t code : {status::ST_SEND_RESERVE2, status::ST_KERMIT_SEND_OTHER_ERR, status::ST_ANS_RECV_OK, 0x100u,
                        0xFFFFFFFFu}) {
    platform::set_control_text(dialog, IDC_RESULT_KERMIT, "SND_OK");
    at_step(2, 1);
    S().tx_command.store(link::TX_KERMIT_SEND);
    pauses.clear();
    EXPECT_EQ(event(code), 1);
    EXPECT_EQ(S().frame_slot.load(), 2) << std::hex << code;
    EXPECT_EQ(S().tx_command.load(), link::TX_KERMIT_SEND);
    EXPECT_EQ(S().rx_command.load(), link::RX_IDLE);
    EXPECT_EQ(text(IDC_RESULT_KERMIT), "SND_OK");
    EXPECT_TRUE(pauses.empty());
  }
}

TEST_F(ShellSequencer, ADeviceAnsweringOutOfOrderNeverDrivesTheSequencePastItsLastStep) {
  // 0x8F to every frame: Start File Transfer again and again.
  at_step(1, 1);
  std::vector<int> slots;
  for (int i = 0; i < 6; ++i) {
    S().rsp_ok.store(1);
    S().tx_command.store(link::TX_IDLE);
    event(0x8F);
    slots.push_back(S().frame_slot.load());
  }
  EXPECT_EQ(slots, (std::vector<int>{2, 3, 4, 1, 2, 3}));
  EXPECT_EQ(stored(4).code, 0x0A) << "step 4 has buffers of its own";

  // Ending at the last step: no frame is built beyond it, nothing is sent.
  at_step(4, 1);
  tick(IDC_TRNS_TMO_ERR, true);  // box 5700 + 4
  S().tx_command.store(link::TX_KERMIT_SEND);
  event(status::ST_KERMIT_RECV_OK);
  EXPECT_EQ(S().frame_slot.load(), 1);
  EXPECT_EQ(S().tx_command.load(), link::TX_IDLE);
  at_step(4, 1);
  tick(IDC_KERMIT_TRNS, false);
  event(0x8A);
  EXPECT_EQ(S().frame_slot.load(), 1);
  EXPECT_EQ(S().tx_command.load(), link::TX_IDLE);
}

TEST_F(ShellSequencer, NotificationsAfterReturnToMenuAreDropped) {
  at_step(1, 1);
  EXPECT_EQ(on_command(dialog, IDC_RETURN_TO_MENU), 1);
  EXPECT_TRUE(command_dialog_closing());
  pauses.clear();
  EXPECT_EQ(event(status::ST_CMD_SEND_OK), 1);
  EXPECT_EQ(event(0x8F), 1);
  EXPECT_EQ(S().rx_command.load(), link::RX_IDLE);
  EXPECT_EQ(S().tx_command.load(), link::TX_IDLE);
  EXPECT_EQ(S().frame_slot.load(), 1);
  EXPECT_TRUE(pauses.empty());
}

}  // namespace
}  // namespace tessaril::shell

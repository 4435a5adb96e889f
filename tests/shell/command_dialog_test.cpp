// The command dialog: its opening state, the dispatcher, the ways it ends,
// and clicks in any order. Dialogs are made from the real layout in the
// headless back end; the port is a real pseudo-terminal.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "shell/product_id.h"
#include "shell/builders.h"
#include "shell/frame_editor.h"
#include "link/link_state.h"
#include "link/link_threads.h"
#include "link/serial_port.h"
#include "platform/controls.h"
#include "platform/serial.h"
#include "shell/command_dialog.h"
#include "shell/config.h"
#include "shell/dialog_handles.h"
#include "shell/control_ids.h"
#include "shell/layout_tables.h"
#include "shell/sequencer.h"
#include "status/status_codes.h"
#include "support/line_pair.h"
#include "support/temp_folder.h"
#include "shell/port_dialog.h"
#include "support/installed_session.h"
#include "ui/headless/headless_backend.h"

namespace tessaril::shell {
namespace {

void no_pause(int64_t) {}

class ShellCommandDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::install_headless_backend();
    S().reset();
    dialog = ui::create_test_dialog(command_dialog_template);
  }
  void TearDown() override {
    set_sequencer_sleep(nullptr);
    ui::destroy_test_dialog(dialog);
    S().reset();
  }

  std::string text(int id) { return platform::control_text(dialog, id); }
  bool checked(int id) { return platform::is_checked(dialog, id); }
  intptr_t proc(uint32_t message, uintptr_t wparam = 0) { return command_dialog_proc(dialog, message, wparam, 0); }
  // A user's click: the test dialog has no procedure of its own, so the
  // back end only changes the control's state; the message follows here.
  intptr_t click(int id) {
    ui::user_click(dialog, id);
    return proc(platform::WM_COMMAND, static_cast<uintptr_t>(id));
  }

  // Opens COM1 on the line's port through a buc_setup.ini of `folder`.
  void open_line_port(const test::TempFolder& folder, const test::LinePair& line) {
    const std::string ini = folder.write("buc_setup.ini", test::route_com_port(1, line));
    std::string error;
    ASSERT_TRUE(link::open_serial_port(S(), 1, 38400, 8, ini, error)) << error;
  }

  test::InstalledSession installed;
  platform::DialogHandle dialog = platform::NO_DIALOG;
};

TEST_F(ShellCommandDialog, OpeningShowsTheStartValues) {
  // What an earlier period left behind.
  shell::seq_no.store(500);
  S().frame_slot.store(3);
  std::strcpy(shell::frame_text[1].entry[40], "41");
  platform::set_control_text(dialog, IDC_DATA_FIRST + 3, "41");

  EXPECT_EQ(proc(platform::WM_INITDIALOG), 1);

  EXPECT_EQ(shell::dialog_view().dialog(), dialog);
  EXPECT_EQ(shell::seq_no.load(), 1);
  EXPECT_EQ(S().frame_slot.load(), 1);
  for (int id : {IDC_RESULT_FRAME1, IDC_RESULT_FRAME2, IDC_RESULT_FRAME3, IDC_RESULT_KERMIT}) EXPECT_EQ(text(id), "*");
  for (int id : {IDC_WAIT_FRAME1, IDC_WAIT_KERMIT, IDC_KERMIT_TMO}) EXPECT_EQ(text(id), "100");
  for (int id = IDC_HEADER_FIRST; id <= IDC_HEADER_LAST; ++id) EXPECT_EQ(text(id), "00");
  for (int id = IDC_DATA_FIRST; id <= IDC_DATA_LAST; ++id) EXPECT_EQ(text(id), "*") << id;
  for (const auto& slot : shell::frame_text)
    for (const auto& entry : slot.entry) ASSERT_EQ(entry[0], '*');
  EXPECT_EQ(text(IDC_CRC_HIGH), "00");
  EXPECT_EQ(text(IDC_CRC_LOW), "00");
  EXPECT_EQ(text(IDC_END_CODE), "C0");
  EXPECT_EQ(text(IDC_HEADER_SIZE), "6");
  EXPECT_EQ(text(IDC_DATA_SIZE), "0");
  EXPECT_EQ(text(IDC_HEADER_DATA_WAIT), "0");
  EXPECT_EQ(text(IDC_LO_FREQUENCY), "28.050");
  EXPECT_EQ(text(IDC_LATCH_CYCLE), "0");
  EXPECT_EQ(text(IDC_FAN_TEMP), "30.0");
  EXPECT_EQ(text(IDC_FAN_HIGH_TEMP), "20.0");
  EXPECT_EQ(text(IDC_OVERTEMP), "85.0");
  for (int id : {IDC_TRANSFER_FILE_NAME, IDC_TRANSFER_FILE_SIZE, IDC_STATUS_FILE_NAME, IDC_RECV_FILE_NAME,
                 IDC_RECV_FILE_SIZE, IDC_CAL_FILE_NAME, IDC_CAL_FILE_SIZE, IDC_UPGRADE_FILE_NAME,
                 IDC_UPGRADE_FILE_SIZE})
    EXPECT_EQ(text(id), "*") << id;

  const int ticked[] = {IDC_HIGHBAND, IDC_PA_ENABLED, IDC_RHAND, IDC_CAL_GZ, IDC_RESTART_NEW, IDC_CAL_EX_FILE_1,
                        IDC_FAN_NORMAL, IDC_CHAIN_KERMIT_SEND, IDC_CHAIN_KERMIT_RECV, IDC_CHAIN_GET_CAL,
                        IDC_CHAIN_SET_CAL, IDC_CHAIN_UPGRADE, IDC_CHAIN_GET_CAL_EX, IDC_KERMIT_TRNS,
                        IDC_CRC_ENABLE, IDC_END_ENABLE};
  const int unticked[] = {IDC_LOWBAND, IDC_PA_DISABLED, IDC_LHAND, IDC_CAL_XML, IDC_RESTART_OLD, IDC_CAL_EX_FILE_2,
                          IDC_FAN_ON, IDC_FAN_OFF, IDC_SEND_FRAME2, IDC_SEND_FRAME3, IDC_TRNS_TMO_ERR};
  for (int id : ticked) EXPECT_TRUE(checked(id)) << id;
  for (int id : unticked) EXPECT_FALSE(checked(id)) << id;

  EXPECT_EQ(text(IDC_BPN), shell::product_id.bpn_text);
  EXPECT_EQ(text(IDC_MID), shell::product_id.mid_text);
  EXPECT_EQ(text(IDC_BSN), shell::product_id.bsn_text);
  EXPECT_EQ(text(IDC_FID), shell::product_id.fid_text);
  EXPECT_EQ(platform::get_style(dialog, IDC_RETURN_TO_MENU), 0x50000F00u);
  EXPECT_FALSE(command_dialog_closing());
}

TEST_F(ShellCommandDialog, OpeningAgainStartsAfreshButKeepsTheProductIdentity) {
  std::strcpy(shell::product_id.bpn_text, "BPN-1234567");
  proc(platform::WM_INITDIALOG);
  click(IDC_LOWBAND);
  click(IDC_TRNS_TMO_ERR);
  platform::set_control_text(dialog, IDC_RESULT_FRAME1, "RSP=Success(0x01)");
  EXPECT_TRUE(checked(IDC_LOWBAND));
  EXPECT_FALSE(checked(IDC_HIGHBAND));

  proc(platform::WM_INITDIALOG);
  EXPECT_TRUE(checked(IDC_HIGHBAND));
  EXPECT_FALSE(checked(IDC_LOWBAND));
  EXPECT_FALSE(checked(IDC_TRNS_TMO_ERR));
  EXPECT_EQ(text(IDC_RESULT_FRAME1), "*");
  EXPECT_EQ(text(IDC_BPN), "BPN-1234567");
}

TEST_F(ShellCommandDialog, DispatchesEveryControlWithAnActionAndNothingElse) {
  proc(platform::WM_INITDIALOG);
  for (int id : {2, 0, IDC_TEXT_LIST, IDC_HEX_LIST, 4012, 4300, 4110, IDC_BPN, IDC_HIGHBAND, IDC_RESULT_FRAME1})
    EXPECT_EQ(on_command(dialog, id), 0) << id;
  EXPECT_EQ(text(IDC_HEADER_FIRST), "00") << "an id without an action builds nothing";

  // Every builder button of the catalogue, the hidden ones included.
  for (const commands::CommandEntry& e : commands::command_table) {
    platform::set_control_text(dialog, IDC_HEADER_FIRST, "00");
    EXPECT_EQ(on_command(dialog, e.button_id), 1) << e.button_id;
    char code[3];
    std::snprintf(code, sizeof code, "%02X", e.code);
    EXPECT_EQ(text(IDC_HEADER_FIRST), code) << e.button_id;
  }
  // Only the low word of wParam is the id; the notification code is ignored.
  platform::set_control_text(dialog, IDC_HEADER_FIRST, "00");
  EXPECT_EQ(proc(platform::WM_COMMAND, (5u << 16) | IDC_GET_HEART_BEAT), 1);
  EXPECT_EQ(text(IDC_HEADER_FIRST), "04");

  // A cancelled open-file dialog is still a handled click.
  EXPECT_EQ(on_command(dialog, IDC_SELECT_CAL_FILE), 1);
  EXPECT_EQ(text(IDC_CAL_FILE_NAME), "*");
  EXPECT_EQ(on_command(dialog, IDC_KERMIT_QUIT), 1);
  EXPECT_EQ(on_command(dialog, IDC_CRC_RECALC), 1);
}

TEST_F(ShellCommandDialog, SendHandsFrameOneToTheSendThread) {
  proc(platform::WM_INITDIALOG);
  click(IDC_GET_FAULT_STATUS);
  EXPECT_EQ(on_command(dialog, IDC_SEND), 1);
  EXPECT_EQ(S().tx_command.load(), link::TX_SEND_FRAME);
  EXPECT_EQ(S().frame_slot.load(), 1);
  link::TxFrameCopy copy;
  S().load_tx_frame(1, copy);
  const std::vector<uint8_t> expected{0x01, 0x00, 0x00, 0x01, 0x00, 0x00, 0xA9, 0x78, 0xC0};
  EXPECT_EQ(std::vector<uint8_t>(copy.raw, copy.raw + copy.raw_len), expected);
}

TEST_F(ShellCommandDialog, EscAndTheCloseMessageLeaveTheDialogOpen) {
  proc(platform::WM_INITDIALOG);
  EXPECT_EQ(proc(platform::WM_COMMAND, 2), 0);
  EXPECT_EQ(proc(platform::WM_CLOSE), 0);
  EXPECT_EQ(proc(platform::WM_PAINT), 1);
  EXPECT_TRUE(ui::dialog_alive(dialog));
  EXPECT_EQ(shell::dialog_view().dialog(), dialog);
}

TEST_F(ShellCommandDialog, ReturnToMenuClosesThePortThenEndsTheDialog) {
  test::TempFolder folder;
  test::LinePair line;
  if (line.limits().no_line) GTEST_SKIP() << line.limits().no_line;
  open_line_port(folder, line);
  ASSERT_NE(S().com_handle.load(), platform::INVALID_SERIAL);
  proc(platform::WM_INITDIALOG);

  click(IDC_GET_FAULT_STATUS);
  EXPECT_EQ(on_command(dialog, IDC_RETURN_TO_MENU), 1);
  EXPECT_EQ(S().com_handle.load(), platform::INVALID_SERIAL);
  const std::vector<ui::PostedMessage> posts = ui::take_posted_messages(dialog);
  ASSERT_EQ(posts.size(), 1u);
  EXPECT_EQ(posts[0].message, WM_END_COMMAND_DIALOG);

  // A click queued behind it finds the port closed and does nothing.
  EXPECT_EQ(on_command(dialog, IDC_SEND), 0);
  EXPECT_EQ(S().tx_command.load(), link::TX_IDLE);
  // A second "Return to Menu" is harmless.
  EXPECT_EQ(on_command(dialog, IDC_RETURN_TO_MENU), 0);

  // Events the threads posted meanwhile die with the dialog's queue.
  S().report_link_event(status::ST_CMD_SEND_OK, link::LinkEventKind::FrameWritten);
  S().report_link_event(status::ST_CMD_SEND_OK, link::LinkEventKind::FrameWritten);
  ASSERT_EQ(S().pending_events(), 2);
  EXPECT_EQ(proc(WM_END_COMMAND_DIALOG), 1);
  EXPECT_FALSE(ui::dialog_alive(dialog));
  EXPECT_EQ(S().pending_events(), 0) << "nothing left to count a script's wait busy";
  EXPECT_EQ(shell::dialog_view().dialog(), platform::NO_DIALOG);
}

TEST_F(ShellCommandDialog, ReturnToMenuFromAPortThatNeverOpenedLeavesNothingPending) {
  ASSERT_EQ(S().com_handle.load(), platform::INVALID_SERIAL);
  proc(platform::WM_INITDIALOG);
  // A short write was just answered with a resend of Frame 1.
  set_sequencer_sleep(no_pause);
  S().frame_slot.store(2);
  proc(WM_LINK_EVENT, status::ST_CMD_SEND_SIZE_ERR);
  ASSERT_EQ(S().tx_command.load(), link::TX_SEND_FRAME);

  EXPECT_EQ(click(IDC_RETURN_TO_MENU), 1);
  EXPECT_EQ(S().tx_command.load(), link::TX_IDLE);
  EXPECT_EQ(S().rx_command.load(), link::RX_IDLE);
  // The next short-write report finds the dialog closing and sends nothing.
  proc(WM_LINK_EVENT, status::ST_CMD_SEND_SIZE_ERR);
  EXPECT_EQ(S().tx_command.load(), link::TX_IDLE);
}

TEST_F(ShellCommandDialog, ReturnToMenuInTheMiddleOfASequenceStopsTheThreadsWork) {
  test::TempFolder folder;
  test::LinePair line;
  if (line.limits().no_line) GTEST_SKIP() << line.limits().no_line;
  platform::set_serial_timeout_scale(5);
  open_line_port(folder, line);
  proc(platform::WM_INITDIALOG);
  set_sequencer_sleep(no_pause);
  ASSERT_TRUE(link::start_link_threads(S()));

  click(IDC_GET_FAULT_STATUS);
  on_command(dialog, IDC_SEND);
  // The frame reaches the device; the sequencer then awaits the answer.
  EXPECT_EQ(line.device_read(9, 2000).size(), 9u);
  std::vector<ui::PostedMessage> posts;
  for (int i = 0; i < 100 && posts.empty(); ++i) {
    posts = ui::take_posted_messages(dialog);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_EQ(posts.size(), 1u);
  EXPECT_EQ(posts[0].wparam, status::ST_CMD_SEND_OK);
  EXPECT_EQ(S().pending_events(), 1);
  proc(WM_LINK_EVENT, posts[0].wparam);
  EXPECT_EQ(S().rx_command.load(), link::RX_AWAIT_ANSWER);
  EXPECT_EQ(S().pending_events(), 0) << "the dialog counts an event out once it has handled it";

  // The device stays silent; the engineer leaves while the answer is awaited.
  const auto start = std::chrono::steady_clock::now();
  on_command(dialog, IDC_RETURN_TO_MENU);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2500));
  EXPECT_EQ(S().com_handle.load(), platform::INVALID_SERIAL);
  EXPECT_EQ(S().rx_command.load(), link::RX_IDLE);
  EXPECT_FALSE(S().rx_busy.load());
  EXPECT_FALSE(S().tx_busy.load());
  proc(WM_END_COMMAND_DIALOG);
  link::stop_link_threads(S());
  platform::set_serial_timeout_scale(100);
}

TEST_F(ShellCommandDialog, FatalNoticeIsShownOnceAndEndsEveryDialogThatGetsIt) {
  reset_fatal_notice();
  const size_t boxes_before = ui::message_boxes().size();
  proc(platform::WM_INITDIALOG);
  EXPECT_EQ(proc(1037), 0);
  EXPECT_FALSE(ui::dialog_alive(dialog));
  EXPECT_EQ(shell::dialog_view().dialog(), platform::NO_DIALOG);
  ASSERT_EQ(ui::message_boxes().size(), boxes_before + 1);
  EXPECT_EQ(ui::message_boxes().back().owner, dialog);
  EXPECT_EQ(ui::message_boxes().back().flags, platform::MB_ICONWARNING);

  const platform::DialogHandle second = ui::create_test_dialog(command_dialog_template);
  command_dialog_proc(second, platform::WM_INITDIALOG, 0, 0);
  EXPECT_EQ(command_dialog_proc(second, 1037, 0, 0), 0);
  EXPECT_FALSE(ui::dialog_alive(second));
  EXPECT_EQ(ui::message_boxes().size(), boxes_before + 1);
  ui::destroy_test_dialog(second);
}

TEST_F(ShellCommandDialog, ClicksAndTextsInAnyOrderNeverBreakTheDialog) {
  proc(platform::WM_INITDIALOG);
  std::vector<int> ids;
  std::vector<int> edits;
  for (size_t i = 0; i < command_dialog_template.control_count; ++i) {
    const platform::ControlSpec& c = command_dialog_template.controls[i];
    if (c.id == IDC_STATIC || c.id == IDC_RETURN_TO_MENU) continue;
    ids.push_back(c.id);
    if (c.kind == platform::ControlKind::Edit) edits.push_back(c.id);
  }
  const std::string junk[] = {"", "*", "ZZ", "-1", "99999999999", std::string(400, '7'), "\x83\x41\x83\x42",
                              " ", "1FF", "300", "0x41"};
  std::mt19937 random(20261207);
  for (int round = 0; round < 300; ++round) {
    if (random() % 3 == 0) {
      const int edit = edits[random() % edits.size()];
      platform::set_control_text(dialog, edit, junk[random() % std::size(junk)]);
      continue;
    }
    const int id = ids[random() % ids.size()];
    if (id == IDC_SEND && random() % 2) continue;  // Send sleeps 100 ms: keep the run short
    click(id);
    // No link threads run here; the words only have to stay meaningful.
    const int32_t tx = S().tx_command.load();
    EXPECT_TRUE(tx == link::TX_IDLE || tx == link::TX_SEND_FRAME) << "after click " << id;
    EXPECT_GE(S().frame_slot.load(), link::STEP_FIRST);
    EXPECT_LE(S().frame_slot.load(), link::STEP_LAST);
    EXPECT_LE(S().seq_params[link::SEQ_RAW_LEN + 1].load(), static_cast<int32_t>(link::FRAME_MAX));
  }
  EXPECT_TRUE(ui::dialog_alive(dialog));
}

}  // namespace
}  // namespace tessaril::shell

// The command dialog's procedure, its initialisation and its dispatcher.
#include "shell/command_dialog.h"

#include <atomic>
#include <cstring>
#include <iterator>
#include <string_view>

#include "link/serial_port.h"
#include "link/session.h"
#include "platform/controls.h"
#include "shell/builders.h"
#include "shell/center_window.h"
#include "shell/control_ids.h"
#include "shell/dialog_handles.h"
#include "shell/dialog_session.h"
#include "shell/file_select.h"
#include "shell/frame_editor.h"
#include "shell/layout_tables.h"
#include "shell/port_dialog.h"
#include "shell/product_id.h"

namespace tessaril::shell {

namespace {

// Set by "Return to Menu", cleared by the next initialisation.
std::atomic<bool> closing{false};

void tick(platform::DialogHandle dialog, int id, bool checked) { platform::set_check(dialog, id, checked); }

void text(platform::DialogHandle dialog, int id, std::string_view value) {
  platform::set_control_text(dialog, id, value);
}

// A fixed-capacity text of the configuration, up to its terminator or its room.
template <size_t N>
std::string_view id_text(const char (&field)[N]) {
  return std::string_view(field, strnlen(field, N));
}

// Ends the dialog, first withdrawing it from the view of the session: what
// the link reports from now on is shown nowhere, and the link events the
// dialog will never handle are no longer pending.
void end_command_dialog(platform::DialogHandle dialog) {
  dialog_view().detach(dialog);
  platform::end_dialog(dialog, 0);
}

// "Return to Menu": the safe close of the port (command words cleared,
// threads woken and idle, then the handle closed), then 1040 ends the dialog.
// A port that never opened has nothing to close, but a short-write loop may
// still have a resend pending: the command words are cleared all the same,
// so nothing is left to be served on the next port.
void return_to_menu(platform::DialogHandle dialog) {
  closing.store(true);
  link::Session& s = dialog_session();
  link::close_serial_port(s);
  s.post_tx_command(link::TX_IDLE);
  s.post_rx_command(link::RX_IDLE);
  s.frame_slot.store(1);
  platform::post_message(dialog, WM_END_COMMAND_DIALOG, 0, 0);
}

// The values a new command dialog starts with: a text for an edit or a
// static, or a check state when text is null. In the order the controls are
// set; the product identity, the editor's byte fields and the dialog's
// shared words are set around this table.
struct InitialValue {
  int id;
  const char* text;
  bool checked;
};
constexpr InitialValue initial_values[] = {
    {IDC_HIGHBAND, nullptr, true},
    {IDC_LOWBAND, nullptr, false},
    {IDC_PA_ENABLED, nullptr, true},
    {IDC_PA_DISABLED, nullptr, false},
    {IDC_RHAND, nullptr, true},
    {IDC_LHAND, nullptr, false},
    {IDC_CAL_XML, nullptr, false},
    {IDC_CAL_GZ, nullptr, true},
    {IDC_LO_FREQUENCY, "28.050", false},
    {IDC_LATCH_CYCLE, "0", false},
    {IDC_TRANSFER_FILE_NAME, "*", false},
    {IDC_TRANSFER_FILE_SIZE, "*", false},
    {IDC_CHAIN_KERMIT_SEND, nullptr, true},
    {IDC_STATUS_FILE_NAME, "*", false},
    {IDC_RECV_FILE_NAME, "*", false},
    {IDC_RECV_FILE_SIZE, "*", false},
    {IDC_CHAIN_KERMIT_RECV, nullptr, true},
    {IDC_CHAIN_GET_CAL, nullptr, true},
    {IDC_CAL_FILE_NAME, "*", false},
    {IDC_CAL_FILE_SIZE, "*", false},
    {IDC_CHAIN_SET_CAL, nullptr, true},
    {IDC_UPGRADE_FILE_NAME, "*", false},
    {IDC_UPGRADE_FILE_SIZE, "*", false},
    {IDC_CHAIN_UPGRADE, nullptr, true},
    {IDC_RESTART_NEW, nullptr, true},
    {IDC_RESTART_OLD, nullptr, false},
    {IDC_CAL_EX_FILE_1, nullptr, true},
    {IDC_CAL_EX_FILE_2, nullptr, false},
    {IDC_CHAIN_GET_CAL_EX, nullptr, true},
    {IDC_FAN_TEMP, "30.0", false},
    {IDC_FAN_HIGH_TEMP, "20.0", false},
    {IDC_FAN_NORMAL, nullptr, true},
    {IDC_FAN_ON, nullptr, false},
    {IDC_FAN_OFF, nullptr, false},
    {IDC_OVERTEMP, "85.0", false},
    {IDC_SEND_FRAME2, nullptr, false},
    {IDC_SEND_FRAME3, nullptr, false},
    {IDC_KERMIT_TRNS, nullptr, true},
    {IDC_TRNS_TMO_ERR, nullptr, false},
};
constexpr InitialValue initial_editor_values[] = {
    {IDC_CRC_HIGH, "00", false},
    {IDC_CRC_LOW, "00", false},
    {IDC_END_CODE, "C0", false},
    {IDC_HEADER_SIZE, "6", false},
    {IDC_HEADER_DATA_WAIT, "0", false},
    {IDC_DATA_SIZE, "0", false},
    {IDC_CRC_ENABLE, nullptr, true},
    {IDC_END_ENABLE, nullptr, true},
    {IDC_WAIT_FRAME1, "100", false},
    {IDC_WAIT_KERMIT, "100", false},
    {IDC_KERMIT_TMO, "100", false},
    {IDC_RESULT_FRAME1, "*", false},
    {IDC_RESULT_FRAME2, "*", false},
    {IDC_RESULT_FRAME3, "*", false},
    {IDC_RESULT_KERMIT, "*", false},
};

void apply(platform::DialogHandle dialog, const InitialValue* values, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (values[i].text) {
      text(dialog, values[i].id, values[i].text);
    } else {
      tick(dialog, values[i].id, values[i].checked);
    }
  }
}

}  // namespace

bool command_dialog_closing() { return closing.load(); }

intptr_t on_command_dialog_init(platform::DialogHandle dialog) {
  closing.store(false);
  dialog_view().attach(dialog);
  center_window(dialog);
  shell::seq_no.store(1);
  dialog_session().frame_slot.store(1);
  apply(dialog, initial_values, std::size(initial_values));
  // The product identity keeps what an earlier Write Product Id left.
  text(dialog, IDC_BPN, id_text(shell::product_id.bpn_text));
  text(dialog, IDC_MID, id_text(shell::product_id.mid_text));
  text(dialog, IDC_BSN, id_text(shell::product_id.bsn_text));
  text(dialog, IDC_FID, id_text(shell::product_id.fid_text));
  // The frame editor: an empty frame of header "00"s, no data, CRC 00 00, END C0.
  for (int id = IDC_HEADER_FIRST; id <= IDC_HEADER_LAST; ++id) text(dialog, id, "00");
  shell::clear_frame_text();
  for (int id = IDC_DATA_FIRST; id <= IDC_DATA_LAST; ++id) text(dialog, id, "*");
  apply(dialog, initial_editor_values, std::size(initial_editor_values));
  platform::set_style(dialog, IDC_RETURN_TO_MENU, RETURN_TO_MENU_STYLE);
  return 1;
}

intptr_t on_command(platform::DialogHandle dialog, int id) {
  // Clicks queued behind "Return to Menu" find the port closed.
  if (closing.load()) return 0;
  link::Session& s = dialog_session();
  switch (id) {
    case IDC_SEND:
      shell::on_send(dialog, s);
      return 1;
    case IDC_CRC_RECALC:
      shell::on_crc_recalc(dialog);
      return 1;
    case IDC_RESET_STATE:
      shell::on_reset_state(dialog, s);
      return 1;
    case IDC_KERMIT_QUIT:
      shell::on_kermit_quit(dialog, s);
      return 1;
    case IDC_RETURN_TO_MENU:
      return_to_menu(dialog);
      return 1;
    case IDC_SELECT_TRANSFER_FILE:
    case IDC_SELECT_CAL_FILE:
    case IDC_SELECT_UPGRADE_FILE:
      return shell::on_file_select(dialog, s, id) ? 1 : 0;
    default:
      // The builder buttons; any other id (Esc's 2, the list boxes, gaps in
      // the builder range) does nothing.
      return shell::build_command_for_button(dialog, s, id) ? 1 : 0;
  }
}

intptr_t command_dialog_proc(platform::DialogHandle dialog, uint32_t message, uintptr_t wparam, intptr_t /*lparam*/) {
  switch (message) {
    case platform::WM_INITDIALOG:
      return on_command_dialog_init(dialog);
    case platform::WM_PAINT:
      on_dialog_paint(dialog);
      return 1;
    case platform::WM_COMMAND:
      return on_command(dialog, static_cast<int>(wparam & 0xFFFF));
    case WM_LINK_EVENT: {
      // lParam, the sender's tag, is not needed: the codes do not overlap.
      const intptr_t result = on_link_event(dialog, static_cast<uint32_t>(wparam));
      dialog_session().link_event_handled();
      return result;
    }
    case WM_FATAL_NOTICE:
      show_fatal_notice(dialog);
      end_command_dialog(dialog);
      return 0;
    case WM_END_COMMAND_DIALOG:
      end_command_dialog(dialog);
      return 1;
    default:
      // WM_CLOSE among them: the dialog has no close box, Alt+F4 leaves it open.
      return 0;
  }
}

}  // namespace tessaril::shell

// Template 103, the command dialog: 551 x 468 dialog units, rows in template
// (tab) order. The rows are built by a constexpr function so that the runs of
// frame-editor entries (1401..1436) are laid out by their formula rather than
// typed out thirty-six times.
#include <array>
#include <cstddef>

#include "shell/layout_tables.h"
#include "commands/command_table.h"
#include "link/link_state.h"
#include "status/command_log.h"

namespace tessaril::shell {

namespace {

using platform::ControlKind;
using platform::ControlSpec;
namespace p = platform;

// The traffic lists and the result fields are addressed by the command log
// and the link threads under their own names; they must be the same controls.
static_assert(IDC_RESULT_FRAME1 == link::result_field_id(1) && IDC_RESULT_FRAME2 == link::result_field_id(2) &&
              IDC_RESULT_FRAME3 == link::result_field_id(3) && IDC_RESULT_KERMIT == link::result_field_id(4));

constexpr uint32_t PUSH_STYLE = p::BS_PUSHBUTTON | p::WS_TABSTOP;
constexpr uint32_t CHECK_STYLE = p::BS_AUTOCHECKBOX | p::WS_TABSTOP;
constexpr uint32_t EDIT_STYLE = p::WS_BORDER | p::WS_TABSTOP | p::ES_AUTOHSCROLL;
constexpr uint32_t LIST_STYLE = p::LBS_SORT | p::LBS_NOTIFY | p::WS_VSCROLL | p::WS_HSCROLL | p::WS_BORDER | p::WS_TABSTOP;

constexpr size_t ROW_CAPACITY = 200;

// Reached only while building the table at compile time, where calling it is
// an error: every builder button must have its row in the command table.
void not_a_command_button() {}

struct Rows {
  std::array<ControlSpec, ROW_CAPACITY> row{};
  size_t count = 0;

  constexpr void add(const ControlSpec& c) { row[count++] = c; }  // a full table fails to compile (out of range)

  // A builder button: its text is the command table's.
  constexpr void command(int id, int x, int y, int w, int h, bool shown) {
    const char* text = commands::command_button_text(id);
    if (!text) not_a_command_button();
    add({id, ControlKind::Button, text, x, y, w, h, PUSH_STYLE, shown, false});
  }
  constexpr void button(int id, const char* text, int x, int y, int w, int h, bool shown) {
    add({id, ControlKind::Button, text, x, y, w, h, PUSH_STYLE, shown, false});
  }
  constexpr void group(const char* text, int x, int y, int w, int h, bool shown) {
    add({IDC_STATIC, ControlKind::GroupBox, text, x, y, w, h, p::BS_GROUPBOX, shown, false});
  }
  constexpr void label(const char* text, int x, int y, int w, int h, bool shown) {
    add({IDC_STATIC, ControlKind::Static, text, x, y, w, h, p::SS_LEFT, shown, false});
  }
  // A sunken result or file field; align is SS_CENTER or SS_RIGHT.
  constexpr void field(int id, uint32_t align, const char* text, int x, int y, int w, int h) {
    add({id, ControlKind::Static, text, x, y, w, h, align | p::SS_SUNKEN, true, false});
  }
  // align: ES_LEFT, ES_CENTER or ES_RIGHT.
  constexpr void edit(int id, uint32_t align, int x, int y, int w, int h, bool shown) {
    add({id, ControlKind::Edit, "", x, y, w, h, EDIT_STYLE | align, shown, false});
  }
  constexpr void radio(int id, const char* text, int x, int y, int w, int h, bool shown, bool first) {
    uint32_t style = p::BS_AUTORADIOBUTTON | (first ? p::WS_GROUP | p::WS_TABSTOP : 0);
    add({id, ControlKind::RadioButton, text, x, y, w, h, style, shown, first});
  }
  constexpr void check(int id, const char* text, int x, int y, int w, int h, bool shown) {
    add({id, ControlKind::CheckBox, text, x, y, w, h, CHECK_STYLE, shown, false});
  }
  constexpr void list(int id, int x, int y, int w, int h) {
    add({id, ControlKind::ListBox, "", x, y, w, h, LIST_STYLE, true, false});
  }
};

constexpr bool shown = true;
constexpr bool hidden = false;
constexpr bool first = true;
constexpr bool next = false;

constexpr Rows build_command_rows() {
  Rows r;
  // Left column: codes 0x01 to 0x0B.
  r.command(IDC_GET_FAULT_STATUS, 9, 2, 152, 14, shown);
  r.command(IDC_GET_PA_POWER, 9, 18, 152, 14, shown);
  r.command(IDC_GET_PRODUCT_ID, 9, 34, 152, 14, shown);
  r.command(IDC_GET_HEART_BEAT, 9, 50, 152, 14, shown);
  r.command(IDC_GET_LOCAL_OSC, 9, 66, 152, 14, shown);
  r.command(IDC_GET_BAND_SELECTION, 9, 82, 152, 14, shown);
  r.group("Set Band Selection (0x07)", 9, 99, 152, 29, shown);
  r.radio(IDC_HIGHBAND, "highband", 13, 112, 41, 10, shown, first);
  r.radio(IDC_LOWBAND, "lowband", 54, 112, 37, 10, shown, next);
  r.command(IDC_SET_BAND_SELECTION, 134, 110, 23, 14, shown);
  r.group("Set Local Oscillator (0x08)", 9, 130, 152, 27, shown);
  r.edit(IDC_LO_FREQUENCY, p::ES_RIGHT, 19, 142, 31, 12, shown);
  r.label("GHz (5digit)", 58, 144, 45, 10, shown);
  r.command(IDC_SET_LOCAL_OSC, 134, 140, 23, 14, shown);
  r.edit(IDC_LATCH_CYCLE, p::ES_RIGHT, 12, 161, 19, 12, shown);
  r.label("Cycle", 33, 163, 20, 10, shown);
  r.command(IDC_RESET_STATUS_LATCH, 53, 160, 108, 14, shown);
  r.group("Start File Transfer (0x0A)", 9, 178, 152, 57, shown);
  r.button(IDC_SELECT_TRANSFER_FILE, "File Select", 13, 188, 40, 14, shown);
  r.field(IDC_TRANSFER_FILE_NAME, p::SS_CENTER, "Filename", 55, 192, 72, 10);
  r.label("Filesize(Byte)", 13, 208, 41, 10, shown);
  r.field(IDC_TRANSFER_FILE_SIZE, p::SS_RIGHT, "File size", 55, 208, 29, 10);
  r.command(IDC_START_FILE_TRANSFER, 134, 204, 23, 14, shown);
  r.check(IDC_CHAIN_KERMIT_SEND, "->(Send Kermit File) -> KermitFileTrn. Status", 13, 220, 144, 12, shown);
  r.group("Kermit File Transfer Status(0x0B)", 9, 238, 152, 27, shown);
  r.label("Filename", 15, 252, 28, 10, shown);
  r.edit(IDC_STATUS_FILE_NAME, p::ES_LEFT, 55, 250, 72, 12, shown);
  r.command(IDC_KERMIT_STATUS, 134, 248, 23, 14, shown);

  // Middle column: codes 0x0C to 0x14.
  r.group("Recieve File (0x0C)", 166, 4, 152, 47, shown);
  r.label("Filename", 172, 16, 41, 10, shown);
  r.edit(IDC_RECV_FILE_NAME, p::ES_CENTER, 216, 14, 72, 12, shown);
  r.label("Filesize(Byte)", 172, 29, 41, 10, shown);
  r.edit(IDC_RECV_FILE_SIZE, p::ES_RIGHT, 216, 27, 34, 12, shown);
  r.command(IDC_RECEIVE_FILE, 291, 26, 23, 14, shown);
  r.check(IDC_CHAIN_KERMIT_RECV, "->(Recv KermitFile) -> KermitFileTrn. Status", 171, 39, 143, 12, shown);
  r.command(IDC_GET_SOFTWARE_VERSION, 166, 53, 152, 14, shown);
  r.group("Get Calibration File (0x0E)", 166, 69, 152, 23, shown);
  r.check(IDC_CHAIN_GET_CAL, "->Recieve File", 172, 79, 75, 12, shown);
  r.command(IDC_GET_CAL_FILE, 291, 76, 23, 14, shown);
  r.group("Set Calibration File (0x0F)", 166, 96, 152, 44, shown);
  r.button(IDC_SELECT_CAL_FILE, "File Select", 199, 109, 40, 14, shown);
  r.field(IDC_CAL_FILE_NAME, p::SS_CENTER, "Filename", 241, 111, 72, 10);
  r.label("Filesize(Byte)", 171, 127, 41, 10, shown);
  r.field(IDC_CAL_FILE_SIZE, p::SS_RIGHT, "File size", 214, 126, 29, 10);
  r.check(IDC_CHAIN_SET_CAL, "->Send File", 244, 125, 47, 12, shown);
  r.command(IDC_SET_CAL_FILE, 291, 122, 23, 14, shown);
  r.group("Start Upgrade Command (0x10)", 166, 145, 152, 42, shown);
  r.button(IDC_SELECT_UPGRADE_FILE, "File Select", 172, 156, 40, 14, shown);
  r.field(IDC_UPGRADE_FILE_NAME, p::SS_CENTER, "Filename", 215, 158, 72, 10);
  r.label("Filesize(Byte)", 173, 174, 41, 10, shown);
  r.field(IDC_UPGRADE_FILE_SIZE, p::SS_RIGHT, "File size", 214, 173, 29, 10);
  r.check(IDC_CHAIN_UPGRADE, "->Send File", 244, 172, 46, 12, shown);
  r.command(IDC_START_UPGRADE, 291, 169, 23, 14, shown);
  r.command(IDC_BUC_RESET, 166, 190, 152, 14, shown);
  r.command(IDC_GET_LATCHED_FAULT, 166, 206, 152, 14, shown);
  r.command(IDC_GET_PA_STATUS, 166, 223, 152, 14, shown);
  r.group("Set Power Amp Status (0x14) ", 166, 241, 152, 25, shown);
  r.radio(IDC_PA_ENABLED, "enabled", 171, 252, 41, 10, shown, first);
  r.radio(IDC_PA_DISABLED, "disabled", 213, 252, 41, 10, shown, next);
  r.command(IDC_SET_PA_STATUS, 290, 249, 24, 14, shown);

  // Right column, created hidden: codes 0x60, 0x61, 0x74 to 0x79, 0x7B to 0x7F.
  r.radio(IDC_RHAND, "rhand", 327, 178, 41, 10, hidden, first);
  r.radio(IDC_LHAND, "lhand", 369, 178, 41, 10, hidden, next);
  r.command(IDC_SET_POLARIZATION, 446, 176, 24, 14, hidden);
  r.command(IDC_GET_POLARIZATION, 322, 196, 152, 14, hidden);
  r.command(IDC_RESET_LATCHED_BIAS, 322, 2, 152, 14, hidden);
  r.command(IDC_GET_LATCHED_BIAS, 322, 18, 152, 14, hidden);
  r.command(IDC_NOP, 322, 34, 152, 14, hidden);
  r.group("Restart System (0x7E)", 344, 53, 106, 26, hidden);
  r.radio(IDC_RESTART_NEW, "new", 355, 63, 27, 10, hidden, first);
  r.radio(IDC_RESTART_OLD, "old", 389, 63, 28, 10, hidden, next);
  r.command(IDC_RESTART_SYSTEM, 419, 61, 23, 14, hidden);
  r.group("Write Product Id (0x7D)", 322, 82, 152, 71, hidden);
  r.label("BUC Part Number", 330, 96, 53, 10, hidden);
  r.edit(IDC_BPN, p::ES_LEFT, 389, 94, 55, 12, hidden);
  r.label("(13char)", 446, 96, 25, 10, hidden);
  r.label("Manufaturer ID", 330, 110, 49, 10, hidden);
  r.edit(IDC_MID, p::ES_LEFT, 389, 108, 13, 12, hidden);
  r.label("(2)", 404, 110, 22, 10, hidden);
  r.label("BUC Serial Number", 330, 124, 59, 10, hidden);
  r.edit(IDC_BSN, p::ES_LEFT, 389, 122, 39, 12, hidden);
  r.label("(9)", 429, 124, 16, 10, hidden);
  r.label("Fuctional ID", 330, 136, 55, 10, hidden);
  r.edit(IDC_FID, p::ES_LEFT, 389, 136, 39, 12, hidden);
  r.label("(6)", 429, 138, 16, 10, hidden);
  r.command(IDC_WRITE_PRODUCT_ID, 447, 134, 23, 14, hidden);
  r.command(IDC_GET_FACTORY_STATUS, 322, 156, 152, 14, hidden);
  r.command(IDC_GET_SOFTWARE_VERSION_EX, 322, 173, 152, 14, hidden);
  r.group("Get Calibration File Ex (0x79)", 322, 191, 152, 26, hidden);
  r.radio(IDC_CAL_EX_FILE_1, "1", 334, 202, 23, 10, hidden, first);
  r.radio(IDC_CAL_EX_FILE_2, "2", 359, 202, 22, 10, hidden, next);
  r.check(IDC_CHAIN_GET_CAL_EX, "->Recieve File", 385, 201, 59, 12, hidden);
  r.command(IDC_GET_CAL_FILE_EX, 447, 199, 23, 14, hidden);
  r.group("Set FAN Control Temperature (0x78)", 322, 220, 152, 27, hidden);
  r.label("Temp.", 325, 233, 18, 10, hidden);
  r.edit(IDC_FAN_TEMP, p::ES_RIGHT, 345, 231, 18, 12, hidden);
  r.label("degC", 365, 233, 17, 10, hidden);
  r.label("H Temp.", 385, 233, 25, 10, hidden);
  r.edit(IDC_FAN_HIGH_TEMP, p::ES_RIGHT, 411, 231, 17, 12, hidden);
  r.label("degC", 429, 233, 17, 10, hidden);
  r.command(IDC_SET_FAN_TEMP, 447, 228, 23, 14, hidden);
  r.group("Set FAN Control Mode (0x77)", 322, 212, 152, 27, hidden);
  r.radio(IDC_FAN_NORMAL, "normal", 334, 224, 33, 10, hidden, first);
  r.radio(IDC_FAN_ON, "on", 370, 224, 23, 10, hidden, next);
  r.radio(IDC_FAN_OFF, "off", 402, 224, 24, 10, hidden, next);
  r.command(IDC_SET_FAN_MODE, 447, 221, 23, 14, hidden);
  r.group("Set Overtemp limit (0x76)", 322, 241, 152, 27, hidden);
  r.label("Temperature", 330, 255, 39, 10, hidden);
  r.edit(IDC_OVERTEMP, p::ES_RIGHT, 374, 253, 22, 12, hidden);
  r.label("degC", 398, 255, 18, 10, hidden);
  r.command(IDC_SET_OVERTEMP, 447, 250, 23, 14, hidden);
  r.button(IDC_RESET_STATE, "Reset State", 486, 225, 50, 14, hidden);
  r.button(IDC_RETURN_TO_MENU, "Return to Menu", 486, 249, 50, 14, shown);

  // Frame editor.
  r.group("Header Field", 3, 275, 116, 56, shown);
  r.label("Header Size", 9, 286, 38, 9, shown);
  r.edit(IDC_HEADER_SIZE, p::ES_RIGHT, 49, 284, 16, 12, shown);
  r.label("Header", 9, 301, 23, 10, shown);
  for (int k = 0; k < HEADER_ENTRY_COUNT; ++k) r.edit(IDC_HEADER_FIRST + k, p::ES_RIGHT, 33 + 12 * k, 299, 12, 12, shown);
  r.label("Header-Data Wait", 9, 317, 53, 10, shown);
  r.edit(IDC_HEADER_DATA_WAIT, p::ES_RIGHT, 63, 315, 31, 12, shown);
  r.label("Count", 97, 317, 18, 8, shown);
  r.group("Data Field", 122, 275, 130, 69, shown);
  r.label("Data Size", 137, 287, 33, 9, shown);
  r.edit(IDC_DATA_SIZE, p::ES_RIGHT, 175, 285, 16, 12, shown);
  constexpr int DATA_ROW_Y[] = {300, 313, 327};  // ten entries a row
  for (int k = 0; k < DATA_ENTRY_COUNT; ++k)
    r.edit(IDC_DATA_FIRST + k, p::ES_RIGHT, 127 + 12 * (k % 10), DATA_ROW_Y[k / 10], 12, 12, shown);
  r.group("CRC/END Field", 254, 276, 80, 56, shown);
  r.check(IDC_CRC_ENABLE, "CRC Code", 262, 288, 42, 10, shown);
  r.edit(IDC_CRC_HIGH, p::ES_RIGHT, 306, 286, 12, 12, shown);
  r.edit(IDC_CRC_LOW, p::ES_RIGHT, 318, 286, 12, 12, shown);
  r.button(IDC_CRC_RECALC, "CRC Recalc.", 272, 300, 42, 14, shown);
  r.check(IDC_END_ENABLE, "End Code", 262, 316, 39, 10, shown);
  r.edit(IDC_END_CODE, p::ES_RIGHT, 306, 316, 12, 12, shown);
  r.button(IDC_SEND, "Send", 261, 335, 61, 16, shown);

  // Sequence result area.
  r.group("Sequence Result", 339, 276, 206, 76, shown);
  r.label("Frame1_Response", 343, 286, 55, 10, shown);
  r.field(IDC_RESULT_FRAME1, p::SS_CENTER, "RSP=Success", 398, 286, 106, 9);
  r.edit(IDC_WAIT_FRAME1, p::ES_RIGHT, 506, 285, 21, 12, shown);
  r.label("mS", 530, 287, 11, 8, shown);
  r.check(IDC_SEND_FRAME2, "Send Frame2", 345, 298, 53, 12, shown);
  r.field(IDC_RESULT_FRAME2, p::SS_CENTER, "RSP=Success", 398, 299, 106, 9);
  r.check(IDC_KERMIT_TRNS, "Kermit Trns.", 345, 311, 47, 12, shown);
  r.field(IDC_RESULT_KERMIT, p::SS_CENTER, "Rcv_Failure", 398, 311, 106, 9);
  r.edit(IDC_WAIT_KERMIT, p::ES_RIGHT, 506, 310, 21, 12, shown);
  r.label("mS", 530, 312, 12, 8, shown);
  r.label("Kermit_TMO", 355, 326, 35, 8, shown);
  r.edit(IDC_KERMIT_TMO, p::ES_RIGHT, 400, 323, 21, 12, shown);
  r.label("mS", 424, 325, 11, 8, shown);
  r.check(IDC_TRNS_TMO_ERR, "Trns TMO err", 437, 325, 52, 12, shown);
  r.button(IDC_KERMIT_QUIT, "KerTrns Quit", 495, 324, 46, 14, shown);
  r.check(IDC_SEND_FRAME3, "Send Frame3", 345, 339, 50, 12, shown);
  r.field(IDC_RESULT_FRAME3, p::SS_CENTER, "RSP=Failure", 399, 340, 106, 9);

  // Traffic lists.
  r.label("DATA Segment (Ascii Code)", 3, 345, 87, 8, shown);
  r.list(IDC_TEXT_LIST, 3, 355, 542, 53);
  r.label("RFC1055 Frame DATA (Hex Code)", 3, 411, 107, 9, shown);
  r.list(IDC_HEX_LIST, 3, 421, 542, 39);

  // Added to the template last, so they come last in the tab order.
  r.radio(IDC_CAL_XML, ".XML", 172, 105, 23, 10, shown, first);
  r.radio(IDC_CAL_GZ, ".GZ", 172, 115, 23, 10, shown, next);
  r.group("Set Polarization(0x60)", 322, 168, 152, 25, hidden);
  return r;
}

constexpr Rows command_rows = build_command_rows();

}  // namespace

const platform::DialogTemplate command_dialog_template{
    IDD_COMMAND_DIALOG, "Remote Control Command V 3.0.8", 0, 0, 551, 468, command_rows.row.data(), command_rows.count,
};

}  // namespace tessaril::shell

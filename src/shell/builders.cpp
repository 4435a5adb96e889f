#include "shell/builders.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "shell/control_ids.h"
#include "shell/control_text.h"
#include "commands/entry_text.h"
#include "shell/frame_editor.h"
#include "shell/frame_presenter.h"
#include "shell/product_id.h"
#include "link/frame_codec.h"
#include "link/link_state.h"

namespace tessaril::shell {

namespace {

using platform::DialogHandle;

// Read limits of the command inputs, in characters.
constexpr int LO_FREQUENCY_CHARS = 19;
constexpr int SHORT_FILE_FIELD_CHARS = 29;  // 2102, 2103, 1111, 1121, 1122
constexpr int LONG_FILE_FIELD_CHARS = 39;   // 2152, 2153, 2162, 2163
constexpr int TEMPERATURE_CHARS = 6;        // 1281, 1282, 1283

constexpr const char* WAIT_BLANK = " ";
constexpr const char* KERMIT_TMO_DEFAULT = "1000";

void set_decimal(DialogHandle dialog, int id, long value) {
  char text[24];
  std::snprintf(text, sizeof text, "%ld", value);
  platform::set_control_text(dialog, id, text);
}

void set_waits(DialogHandle dialog, const char* w1, const char* w2) {
  platform::set_control_text(dialog, IDC_WAIT_FRAME1, w1);
  platform::set_control_text(dialog, IDC_WAIT_KERMIT, w2);
  platform::set_control_text(dialog, IDC_KERMIT_TMO, KERMIT_TMO_DEFAULT);
}

void preset_plain(DialogHandle dialog) {
  platform::set_check(dialog, IDC_KERMIT_TRNS, false);
  set_waits(dialog, WAIT_BLANK, WAIT_BLANK);
}

void untick_sequence_boxes(DialogHandle dialog) {
  platform::set_check(dialog, IDC_SEND_FRAME2, false);
  platform::set_check(dialog, IDC_SEND_FRAME3, false);
  platform::set_check(dialog, IDC_KERMIT_TRNS, false);
  platform::set_check(dialog, IDC_TRNS_TMO_ERR, false);
}

void preset_chain(DialogHandle dialog, const commands::CommandEntry& e) {
  set_waits(dialog, e.wait1, e.wait2);
  const bool chained = platform::is_checked(dialog, e.chain_box);
  platform::set_check(dialog, IDC_SEND_FRAME2, chained);
  platform::set_check(dialog, IDC_SEND_FRAME3, chained);
  platform::set_check(dialog, IDC_KERMIT_TRNS, chained);
}

void preset_transfer_start(DialogHandle dialog, const commands::CommandEntry& e) {
  set_waits(dialog, "6000", WAIT_BLANK);
  const bool chained = platform::is_checked(dialog, e.chain_box);
  platform::set_check(dialog, IDC_SEND_FRAME2, chained);
  platform::set_check(dialog, IDC_SEND_FRAME3, false);
  platform::set_check(dialog, IDC_KERMIT_TRNS, chained);
}

// The text of the first selected radio button of a group, "" when none is.
struct RadioChoice {
  int id;
  const char* text;
};
template <size_t N>
std::string radio_text(DialogHandle dialog, const RadioChoice (&choices)[N]) {
  for (const RadioChoice& c : choices)
    if (platform::is_checked(dialog, c.id)) return c.text;
  return {};
}

// The product-id edits read back into the product identity, which keeps the
// last values sent until the program ends.
std::string product_id_text(DialogHandle dialog) {
  ProductId& c = product_id;
  platform::get_control_text(dialog, IDC_BPN, c.bpn_text, sizeof c.bpn_text);
  platform::get_control_text(dialog, IDC_MID, c.mid_text, sizeof c.mid_text);
  platform::get_control_text(dialog, IDC_BSN, c.bsn_text, sizeof c.bsn_text);
  platform::get_control_text(dialog, IDC_FID, c.fid_text, sizeof c.fid_text);
  return std::string("BPN=") + c.bpn_text + ",MID=" + c.mid_text + ",BSN=" + c.bsn_text + ",FID=" + c.fid_text;
}

// A Receive File typed by hand asks the device for this file: the Kermit
// receive that follows checks what arrives against it, as it checks a file
// that a Get Calibration File announced. Without this the check would use
// the last announcement and fail a transfer that delivered what was asked.
void expect_received_file(link::Session& s, const std::string& name, const std::string& size) {
  const size_t n = std::min(name.size(), sizeof s.rx_file_name - 1);
  std::memcpy(s.rx_file_name, name.data(), n);
  s.rx_file_name[n] = '\0';
  s.rx_file_size.store(commands::decimal_value(size));
}

// A caller's name, read no further than any data field can reach.
std::string bounded_name(const char* name) {
  return name ? std::string(name, strnlen(name, static_cast<size_t>(commands::DATA_CAPACITY))) : std::string();
}

// The frame shown in the editor with slot's table, and its bytes stored in
// step slot. Returns the encoded length.
int show_and_store(DialogHandle dialog, link::Session& s, int slot, const commands::Frame& frame) {
  show_frame(dialog, slot, frame, EndCodeEntry::Keep);
  const std::vector<uint8_t> raw = commands::frame_bytes(frame);
  uint8_t enc[link::FRAME_ENC_MAX];
  const int enc_len = static_cast<int>(link::rfc1055_encode(raw.data(), raw.size(), enc));
  s.store_tx_frame(slot, raw.data(), static_cast<int>(raw.size()), enc, enc_len);
  return enc_len;
}

bool step_slot_ok(int slot) { return slot >= link::STEP_FIRST && slot <= link::STEP_LAST; }

}  // namespace

uint16_t take_seq_no() {
  const uint16_t current = seq_no.load();
  seq_no.store(next_seq_no(current));
  return current;
}

void upcase_name(char* text) {
  if (!text) return;
  for (; *text; ++text) {
    const auto b = static_cast<unsigned char>(*text);
    if (b >= 0x60 && b <= 0x7F) *text = static_cast<char>(b - 0x20);
  }
}

std::string upcase_name(std::string_view text) {
  std::string out(text);
  for (char& ch : out) {
    const auto b = static_cast<unsigned char>(ch);
    if (b >= 0x60 && b <= 0x7F) ch = static_cast<char>(b - 0x20);
  }
  return out;
}

void apply_preset(DialogHandle dialog, const commands::CommandEntry& e) {
  switch (e.preset) {
    case commands::Preset::Plain:
      preset_plain(dialog);
      break;
    case commands::Preset::Reset:
      untick_sequence_boxes(dialog);
      set_waits(dialog, WAIT_BLANK, WAIT_BLANK);
      break;
    case commands::Preset::ResetKeepWaits:
      untick_sequence_boxes(dialog);
      break;
    case commands::Preset::Chain:
      preset_chain(dialog, e);
      break;
    case commands::Preset::PlainThenChain:
      preset_plain(dialog);
      preset_chain(dialog, e);
      break;
    case commands::Preset::TransferStart:
      preset_transfer_start(dialog, e);
      break;
  }
}

std::string command_data_text(DialogHandle dialog, link::Session& s, const commands::CommandEntry& e) {
  switch (e.source) {
    case commands::DataSource::None:
      return {};
    case commands::DataSource::Band:
      return radio_text(dialog, {{IDC_HIGHBAND, "highband"}, {IDC_LOWBAND, "lowband"}});
    case commands::DataSource::LoFrequency:
      return read_control_text(dialog, IDC_LO_FREQUENCY, LO_FREQUENCY_CHARS) + "GHz";
    case commands::DataSource::StartFileTransfer:
      return read_control_text(dialog, IDC_TRANSFER_FILE_NAME, SHORT_FILE_FIELD_CHARS) + "," +
             read_control_text(dialog, IDC_TRANSFER_FILE_SIZE, SHORT_FILE_FIELD_CHARS);
    case commands::DataSource::KermitStatus: {
      // Upper-cased only while no sequence runs: a status frame built by a
      // sequence names the file exactly as the transfer reported it.
      std::string name = read_control_text(dialog, IDC_STATUS_FILE_NAME, SHORT_FILE_FIELD_CHARS);
      return s.frame_slot.load() <= 1 ? upcase_name(name) : name;
    }
    case commands::DataSource::ReceiveFile: {
      const std::string name = upcase_name(read_control_text(dialog, IDC_RECV_FILE_NAME, SHORT_FILE_FIELD_CHARS));
      const std::string size = read_control_text(dialog, IDC_RECV_FILE_SIZE, SHORT_FILE_FIELD_CHARS);
      expect_received_file(s, name, size);
      return name + "," + size;
    }
    case commands::DataSource::SetCalibrationFile:
      return read_control_text(dialog, IDC_CAL_FILE_NAME, LONG_FILE_FIELD_CHARS) + "," +
             read_control_text(dialog, IDC_CAL_FILE_SIZE, LONG_FILE_FIELD_CHARS);
    case commands::DataSource::StartUpgrade:
      return read_control_text(dialog, IDC_UPGRADE_FILE_NAME, LONG_FILE_FIELD_CHARS) + "," +
             read_control_text(dialog, IDC_UPGRADE_FILE_SIZE, LONG_FILE_FIELD_CHARS);
    case commands::DataSource::PowerAmp:
      return radio_text(dialog, {{IDC_PA_ENABLED, "enabled"}, {IDC_PA_DISABLED, "disabled"}});
    case commands::DataSource::Polarization:
      return radio_text(dialog, {{IDC_RHAND, "rhand"}, {IDC_LHAND, "lhand"}});
    case commands::DataSource::OvertempLimit:
      return "TEMP=" + read_control_text(dialog, IDC_OVERTEMP, TEMPERATURE_CHARS);
    case commands::DataSource::FanMode:
      return radio_text(dialog, {{IDC_FAN_NORMAL, "normal"}, {IDC_FAN_ON, "on"}, {IDC_FAN_OFF, "off"}});
    case commands::DataSource::FanTemperature:
      return "TEMP=" + read_control_text(dialog, IDC_FAN_TEMP, TEMPERATURE_CHARS) + ",HTEMP=" +
             read_control_text(dialog, IDC_FAN_HIGH_TEMP, TEMPERATURE_CHARS);
    case commands::DataSource::CalibrationFileNumber:
      return radio_text(dialog, {{IDC_CAL_EX_FILE_1, "1"}, {IDC_CAL_EX_FILE_2, "2"}});
    case commands::DataSource::ProductId:
      return product_id_text(dialog);
    case commands::DataSource::RestartMode:
      return radio_text(dialog, {{IDC_RESTART_NEW, "new"}, {IDC_RESTART_OLD, "old"}});
  }
  return {};
}

bool build_command_for_button(DialogHandle dialog, link::Session& s, int button_id) {
  const commands::CommandEntry* e = commands::find_command(button_id);
  if (!e) return false;
  clear_frame_text();
  // A command without data starts from the plain preset whatever its own.
  if (e->source == commands::DataSource::None) preset_plain(dialog);
  apply_preset(dialog, *e);
  const std::string text = command_data_text(dialog, s, *e);
  show_frame(dialog, 1, commands::command_frame(*e, text, take_seq_no()), EndCodeEntry::Write);
  return true;
}

int build_latch_reset_frame(DialogHandle dialog, link::Session& s, int slot) {
  if (!step_slot_ok(slot)) return 0;
  return show_and_store(dialog, s, slot, commands::latch_reset_frame(take_seq_no(), editor_end_code(dialog)));
}

int build_transfer_start_frame(DialogHandle dialog, link::Session& s, int slot, const char* file_name, int32_t file_size) {
  if (!step_slot_ok(slot)) return 0;
  const std::string name = bounded_name(file_name);
  platform::set_control_text(dialog, IDC_TRANSFER_FILE_NAME, name);
  set_decimal(dialog, IDC_TRANSFER_FILE_SIZE, file_size);
  return show_and_store(dialog, s, slot, commands::transfer_start_frame(take_seq_no(), name, file_size, editor_end_code(dialog)));
}

int build_status_frame(DialogHandle dialog, link::Session& s, int slot, const char* file_name) {
  if (!step_slot_ok(slot)) return 0;
  const std::string name = bounded_name(file_name);
  platform::set_control_text(dialog, IDC_STATUS_FILE_NAME, name);
  return show_and_store(dialog, s, slot, commands::status_frame(take_seq_no(), name, editor_end_code(dialog)));
}

int build_receive_frame(DialogHandle dialog, link::Session& s, int slot, const char* file_name, int32_t file_size) {
  if (!step_slot_ok(slot)) return 0;
  return show_and_store(dialog, s, slot, commands::receive_frame(take_seq_no(), bounded_name(file_name), file_size, editor_end_code(dialog)));
}

}  // namespace tessaril::shell

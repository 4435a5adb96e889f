// The command catalogue: one row per command button of the command dialog.
//
// How it works: every "Set" button of the command dialog builds one command
// frame in the frame editor. A row says which button it is, the command code,
// the command's name, the text the button carries in the dialog layout, the
// header form, where the data text comes from, how the sequence controls
// (follow-on frames, Kermit step, waits) are preset, and how the command's
// chain continues once its answer is in (the sequencer looks the answer code
// up; the answer is the command code with bit 7 set). The builders
// (builders.h) read the row; the dialog layout takes the button texts from
// here, so each text lives in one place. Rows are in the order of the
// catalogue; look-ups by button id are constexpr.
//
// Include order: platform < status < kermit < link < commands < shell < ui.
// This folder is commands: it includes platform, status, kermit and link only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tessaril::commands {

// Codes 0x70..0x7F carry the extended header (tag 0x10, length + 6, status).
enum class HeaderForm : uint8_t { Standard, Extended };

constexpr bool is_extended_code(uint8_t code) { return code >= 0x70 && code <= 0x7F; }

// Where a builder takes its data text from (the controls are named in
// builders.cpp, next to the read limits).
enum class DataSource : uint8_t {
  None,                   // no data field
  Band,                   // radio 3071/3072: "highband" / "lowband"
  LoFrequency,            // edit 1081, then "GHz"
  StartFileTransfer,      // statics 2102 "," 2103
  KermitStatus,           // edit 1111, upper-cased while no sequence runs
  ReceiveFile,            // upper-cased edit 1121 "," edit 1122
  SetCalibrationFile,     // statics 2152 "," 2153
  StartUpgrade,           // statics 2162 "," 2163
  PowerAmp,               // radio 3191/3192: "enabled" / "disabled"
  Polarization,           // radio 3193/3194: "rhand" / "lhand"
  OvertempLimit,          // "TEMP=" edit 1282
  FanMode,                // radio 3291/3292/3293: "normal" / "on" / "off"
  FanTemperature,         // "TEMP=" edit 1281 ",HTEMP=" edit 1283
  CalibrationFileNumber,  // radio 3271/3272: "1" / "2"
  ProductId,              // "BPN=" bpn ",MID=" mid ",BSN=" bsn ",FID=" fid
  RestartMode,            // radio 3221/3222: "new" / "old"
};

// What a builder does to the sequence controls 5701..5704 and the waits
// 1701..1703.
enum class Preset : uint8_t {
  Plain,           // 5703 unticked; waits " ", " ", "1000"; 5701, 5702, 5704 kept
  Reset,           // 5701..5704 unticked; waits " ", " ", "1000"
  ResetKeepWaits,  // 5701..5704 unticked; waits kept
  Chain,           // waits wait1, wait2, "1000"; 5701..5703 follow chain_box; 5704 kept
  PlainThenChain,  // Plain, then Chain
  TransferStart,   // waits "6000", " ", "1000"; chain_box ticked: 5701, 5703 ticked and
                   // 5702 unticked, else all three unticked; 5704 kept
};

// What the sequencer does with a successful answer to the command. Every
// continuation but LatchRepeat is switched on and off by the row's chain box.
enum class Continuation : uint8_t {
  None,                   // the sequence ends
  LatchRepeat,            // the same frame again in the same step while "Cycle" counts down
  KermitSendOrStatus,     // Kermit send of the transfer file, or the status frame at once
  KermitReceiveOrStatus,  // Kermit receive, or the status frame at once
  RequestAnnouncedFile,   // Receive File for the file the answer announced
  StartTransfer,          // Start File Transfer of the transfer file
};

struct CommandEntry {
  int button_id;
  uint8_t code;
  const char* caption;      // the command's name
  const char* button_text;  // the button's text in the dialog layout
  HeaderForm header;
  DataSource source;
  Preset preset;
  int chain_box;            // check box of the chain, 0 for none
  Continuation continuation;
  const char* wait1;        // Chain: text for edit 1701
  const char* wait2;        // Chain: text for edit 1702
  bool shown;               // false: created hidden in the dialog
};

// clang-format off
inline constexpr CommandEntry command_table[] = {
  {4011, 0x01, "Get Fault Status (0x01)", "Get Fault Status (0x01)           Set", HeaderForm::Standard, DataSource::None, Preset::Plain, 0, Continuation::None, nullptr, nullptr, true},
  {4021, 0x02, "Get PA Power (0x02)", "Get PA Power (0x02)              Set", HeaderForm::Standard, DataSource::None, Preset::Plain, 0, Continuation::None, nullptr, nullptr, true},
  {4031, 0x03, "Get Product Id  (0x03)", "Get Product Id  (0x03)            Set", HeaderForm::Standard, DataSource::None, Preset::Plain, 0, Continuation::None, nullptr, nullptr, true},
  {4041, 0x04, "Get Heart Beat (0x04)", "Get Heart Beat (0x04)             Set", HeaderForm::Standard, DataSource::None, Preset::Plain, 0, Continuation::None, nullptr, nullptr, true},
  {4051, 0x05, "Get Local Oscillator (0x05)", "Get Local Oscillator (0x05)       Set", HeaderForm::Standard, DataSource::None, Preset::Plain, 0, Continuation::None, nullptr, nullptr, true},
  {4061, 0x06, "Get Band Selection (0x06)", "Get Band Selection (0x06)       Set", HeaderForm::Standard, DataSource::None, Preset::Plain, 0, Continuation::None, nullptr, nullptr, true},
  {4071, 0x07, "Set Band Selection (0x07)", "Set", HeaderForm::Standard, DataSource::Band, Preset::Reset, 0, Continuation::None, nullptr, nullptr, true},
  {4081, 0x08, "Set Local Oscillator (0x08)", "Set", HeaderForm::Standard, DataSource::LoFrequency, Preset::Reset, 0, Continuation::None, nullptr, nullptr, true},
  {4091, 0x09, "Reset Status Latch (0x09)", "Reset Status Latch (0x09)   Set", HeaderForm::Standard, DataSource::None, Preset::Plain, 0, Continuation::LatchRepeat, nullptr, nullptr, true},
  {4101, 0x0A, "Start File Transfer (0x0A)", "Set", HeaderForm::Standard, DataSource::StartFileTransfer, Preset::TransferStart, 5101, Continuation::KermitSendOrStatus, nullptr, nullptr, true},
  {4111, 0x0B, "Kermit File Transfer Status(0x0B)", "Set", HeaderForm::Standard, DataSource::KermitStatus, Preset::ResetKeepWaits, 0, Continuation::None, nullptr, nullptr, true},
  {4121, 0x0C, "Recieve File (0x0C)", "Set", HeaderForm::Standard, DataSource::ReceiveFile, Preset::Chain, 5121, Continuation::KermitReceiveOrStatus, "100", " ", true},
  {4131, 0x0D, "Get Software Version (0x0D)", "Get Software Version (0x0D)       Set", HeaderForm::Standard, DataSource::None, Preset::Plain, 0, Continuation::None, nullptr, nullptr, true},
  {4141, 0x0E, "Get Calibration File (0x0E)", "Set", HeaderForm::Standard, DataSource::None, Preset::PlainThenChain, 5141, Continuation::RequestAnnouncedFile, "100", "100", true},
  {4151, 0x0F, "Set Calibration File (0x0F)", "Set", HeaderForm::Standard, DataSource::SetCalibrationFile, Preset::Chain, 5151, Continuation::StartTransfer, "100", "4000", true},
  {4161, 0x10, "Start Upgrade Command (0x10)", "Set", HeaderForm::Standard, DataSource::StartUpgrade, Preset::Chain, 5161, Continuation::StartTransfer, "100", "6000", true},
  {4171, 0x11, "BUC Reset Command (0x11)", "BUC Reset Command (0x11)  Set", HeaderForm::Standard, DataSource::None, Preset::Plain, 0, Continuation::None, nullptr, nullptr, true},
  {4181, 0x12, "Get Latched Fault Status (0x12)", "Get Latched Fault Status (0x12)    Set", HeaderForm::Standard, DataSource::None, Preset::Plain, 0, Continuation::None, nullptr, nullptr, true},
  {4182, 0x13, "Get Power Amp Status (0x13)", "Get Power Amp Status (0x13)    Set", HeaderForm::Standard, DataSource::None, Preset::Plain, 0, Continuation::None, nullptr, nullptr, true},
  {4191, 0x14, "Set Power Amp Status (0x14)", " Set", HeaderForm::Standard, DataSource::PowerAmp, Preset::Reset, 0, Continuation::None, nullptr, nullptr, true},
  {4192, 0x60, "Set Polarization(0x60)", " Set", HeaderForm::Standard, DataSource::Polarization, Preset::Reset, 0, Continuation::None, nullptr, nullptr, false},
  {4183, 0x61, "Get Polarization(0x61)", "Get Polarization(0x61)       Set", HeaderForm::Standard, DataSource::None, Preset::Plain, 0, Continuation::None, nullptr, nullptr, false},
  {4242, 0x74, "Reset Latched Bias Status (0x74)", "Reset Latched Bias Status (0x74)         Set", HeaderForm::Extended, DataSource::None, Preset::Plain, 0, Continuation::None, nullptr, nullptr, false},
  {4252, 0x75, "Get Latched Bias Status (0x75)", "Get Latched Bias Status (0x75)       Set", HeaderForm::Extended, DataSource::None, Preset::Plain, 0, Continuation::None, nullptr, nullptr, false},
  {4301, 0x76, "Set Overtemp limit (0x76)", "Set", HeaderForm::Extended, DataSource::OvertempLimit, Preset::Reset, 0, Continuation::None, nullptr, nullptr, false},
  {4291, 0x77, "Set FAN Control Mode (0x77)", "Set", HeaderForm::Extended, DataSource::FanMode, Preset::Reset, 0, Continuation::None, nullptr, nullptr, false},
  {4281, 0x78, "Set FAN Control Temperature (0x78)", "Set", HeaderForm::Extended, DataSource::FanTemperature, Preset::ResetKeepWaits, 0, Continuation::None, nullptr, nullptr, false},
  {4271, 0x79, "Get Calibration File Ex (0x79)", "Set", HeaderForm::Extended, DataSource::CalibrationFileNumber, Preset::Chain, 5271, Continuation::RequestAnnouncedFile, "100", "100", false},
  {4251, 0x7B, "Get Software Version Ex (0x7B)", "Get Software Version Ex (0x7B)       Set", HeaderForm::Extended, DataSource::None, Preset::Plain, 0, Continuation::None, nullptr, nullptr, false},
  {4241, 0x7C, "Get Factory Status (0x7C)", "Get Factory Status (0x7C)            Set", HeaderForm::Extended, DataSource::None, Preset::Plain, 0, Continuation::None, nullptr, nullptr, false},
  {4231, 0x7D, "Write Product Id (0x7D)", "Set", HeaderForm::Extended, DataSource::ProductId, Preset::Reset, 0, Continuation::None, nullptr, nullptr, false},
  {4221, 0x7E, "Restart System (0x7E)", "Set", HeaderForm::Extended, DataSource::RestartMode, Preset::Reset, 0, Continuation::None, nullptr, nullptr, false},
  {4211, 0x7F, "NOP (0x7F)", "NOP (0x7F)     Set", HeaderForm::Extended, DataSource::None, Preset::Plain, 0, Continuation::None, nullptr, nullptr, false},
};
// clang-format on

inline constexpr size_t COMMAND_COUNT = sizeof(command_table) / sizeof(command_table[0]);

// The row of a command button, nullptr for any other id.
constexpr const CommandEntry* find_command(int button_id) {
  for (const CommandEntry& e : command_table)
    if (e.button_id == button_id) return &e;
  return nullptr;
}

// The row of a command code, nullptr when no button sends it.
constexpr const CommandEntry* find_command_by_code(uint8_t code) {
  for (const CommandEntry& e : command_table)
    if (e.code == code) return &e;
  return nullptr;
}

// The answer to a command: its code with bit 7 set (0xF9 answers 0x79).
constexpr uint8_t answer_code(uint8_t code) { return static_cast<uint8_t>(code | 0x80); }

// What a successful answer continues with, and the chain box switching it;
// None and 0 for an answer to no button's command. (Loops of their own, as
// command_button_text below.)
constexpr Continuation answer_continuation(uint32_t answer) {
  for (const CommandEntry& e : command_table)
    if (answer_code(e.code) == answer) return e.continuation;
  return Continuation::None;
}
constexpr int answer_chain_box(uint32_t answer) {
  for (const CommandEntry& e : command_table)
    if (answer_code(e.code) == answer) return e.chain_box;
  return 0;
}

// The button's text in the dialog layout; nullptr when id is no command button.
// (A loop of its own: GCC's UBSan cannot test a pointer for null in a constant expression.)
constexpr const char* command_button_text(int button_id) {
  for (const CommandEntry& e : command_table)
    if (e.button_id == button_id) return e.button_text;
  return nullptr;
}

// The commands the sequence builders send.
inline constexpr uint8_t CODE_RESET_STATUS_LATCH = 0x09;
inline constexpr uint8_t CODE_START_FILE_TRANSFER = 0x0A;
inline constexpr uint8_t CODE_KERMIT_STATUS = 0x0B;
inline constexpr uint8_t CODE_RECEIVE_FILE = 0x0C;

// The table keeps its own promises: header forms follow the codes, ids and
// codes are unique, chain presets name their chain box and waits, a chain box
// switches a continuation and a continuation is switched by a chain box
// (the latch repeat is switched by "Cycle" instead).
constexpr bool command_table_consistent() {
  for (size_t i = 0; i < COMMAND_COUNT; ++i) {
    const CommandEntry& e = command_table[i];
    if ((e.header == HeaderForm::Extended) != is_extended_code(e.code)) return false;
    if (e.caption == nullptr || e.button_text == nullptr) return false;
    const bool chain = e.preset == Preset::Chain || e.preset == Preset::PlainThenChain;
    if (chain && (e.chain_box == 0 || e.wait1 == nullptr || e.wait2 == nullptr)) return false;
    if (e.preset == Preset::TransferStart && e.chain_box == 0) return false;
    const bool boxed = e.continuation != Continuation::None && e.continuation != Continuation::LatchRepeat;
    if ((e.chain_box != 0) != boxed) return false;
    if (e.continuation == Continuation::LatchRepeat && e.code != CODE_RESET_STATUS_LATCH) return false;
    for (size_t j = i + 1; j < COMMAND_COUNT; ++j)
      if (command_table[j].button_id == e.button_id || command_table[j].code == e.code) return false;
  }
  return true;
}
static_assert(COMMAND_COUNT == 33);

static_assert(find_command_by_code(CODE_RESET_STATUS_LATCH)->button_id == 4091);
static_assert(find_command_by_code(CODE_START_FILE_TRANSFER)->button_id == 4101);
static_assert(find_command_by_code(CODE_KERMIT_STATUS)->button_id == 4111);
static_assert(find_command_by_code(CODE_RECEIVE_FILE)->button_id == 4121);
static_assert(command_table_consistent());

}  // namespace tessaril::commands

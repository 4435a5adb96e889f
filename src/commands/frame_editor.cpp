#include "commands/frame_editor.h"

#include <algorithm>
#include <cstring>

#include "commands/control_ids.h"
#include "commands/control_text.h"
#include "commands/entry_text.h"
#include "link/session.h"
#include "platform/clock.h"

namespace tessaril::commands {

namespace {

using platform::DialogHandle;

// Read limits of the editor: Send and the frame read take 9 characters of an
// entry and 6 of a size field, the CRC recomputation 7 of either.
constexpr int FRAME_ENTRY_CHARS = 9;
constexpr int CRC_ENTRY_CHARS = 7;
constexpr int SEND_FIELD_CHARS = 6;
constexpr int CRC_FIELD_CHARS = 7;
// The last header position that has an editor entry: 1401 + 35 = 1436.
constexpr int HEADER_POSITIONS = IDC_DATA_LAST - IDC_HEADER_FIRST + 1;

constexpr int SEND_SETTLE_MS = 100;
constexpr int RESET_SETTLE_MS = 100;

int capped_size(DialogHandle dialog, int id, int max_chars) {
  const uint32_t v = size_field_value(read_control_text(dialog, id, max_chars));
  return static_cast<int>(std::min<uint32_t>(v, SIZE_FIELD_MAX));
}

void set_entry(char (&entry)[ENTRY_TEXT_SIZE], const char* text) {
  const size_t n = strnlen(text, ENTRY_TEXT_SIZE - 1);
  std::memcpy(entry, text, n);
  entry[n] = '\0';
}

void set_byte_text(DialogHandle dialog, int id, uint8_t byte) {
  platform::set_control_text(dialog, id, entry_text(byte).text);
}

// Header position k: the edit 1401 + k, which runs on into the data entries
// for header sizes above 6. Positions past the last data entry have no edit
// and read 0x00.
uint8_t header_byte(DialogHandle dialog, int k, int max_chars) {
  if (k < 0 || k >= HEADER_POSITIONS) return 0x00;
  return entry_byte(read_control_text(dialog, IDC_HEADER_FIRST + k, max_chars), max_chars);
}

// Data position i of slot with data size d, as the editor reads it.
uint8_t data_byte(DialogHandle dialog, int slot, int i, int d, int max_chars) {
  const uint8_t filler = (i == d - 1) ? 0x00 : 0x30;
  if (i < 0 || i >= data_capacity(slot)) return filler;
  char(&entry)[ENTRY_TEXT_SIZE] = slot_frame_text(slot).entry[i];
  if (slot <= 1 && i < VISIBLE_DATA_ENTRIES) {
    // The visible entry is the truth for slot 1; refresh the table from it.
    char text[ENTRY_TEXT_SIZE] = {};
    platform::get_control_text(dialog, IDC_DATA_FIRST + i, text, ENTRY_TEXT_SIZE);
    set_entry(entry, text);
  }
  if (entry[0] == '*') return filler;
  return entry_byte(std::string_view(entry, strnlen(entry, ENTRY_TEXT_SIZE)), max_chars);
}

void clear_slot(FrameText& t) {
  for (auto& e : t.entry) set_entry(e, "*");
}

void clear_result_fields(DialogHandle dialog) {
  for (int step = link::STEP_FIRST; step <= link::STEP_LAST; ++step)
    platform::set_control_text(dialog, link::result_field_id(step), " ");
}

}  // namespace

FrameText& slot_frame_text(int slot) { return frame_text[std::clamp(slot, 1, FRAME_TEXT_SLOTS) - 1]; }

void clear_frame_text() {
  for (FrameText& t : frame_text) clear_slot(t);
}

void fill_data_fields(DialogHandle dialog, const char* data, int slot, int n) {
  FrameText& t = slot_frame_text(slot);
  const int count = data ? std::clamp(n, 0, data_capacity(slot)) : 0;
  for (int i = 0; i < data_capacity(slot); ++i) {
    if (i < count)
      set_entry(t.entry[i], entry_text(static_cast<uint8_t>(data[i])).text);
    else
      set_entry(t.entry[i], "*");
  }
  if (slot <= 1)
    for (int i = 0; i < VISIBLE_DATA_ENTRIES; ++i) platform::set_control_text(dialog, IDC_DATA_FIRST + i, t.entry[i]);
  recalc_editor_crc(dialog, slot);
}

int header_size_field(DialogHandle dialog, int max_chars) { return capped_size(dialog, IDC_HEADER_SIZE, max_chars); }

int data_size_field(DialogHandle dialog, int max_chars) { return capped_size(dialog, IDC_DATA_SIZE, max_chars); }

void recalc_editor_crc(DialogHandle dialog, int slot) {
  const int h = header_size_field(dialog, CRC_FIELD_CHARS);
  const int d = data_size_field(dialog, CRC_FIELD_CHARS);
  uint8_t bytes[2 * SIZE_FIELD_MAX];
  int count = 0;
  for (int k = 0; k < h; ++k) bytes[count++] = header_byte(dialog, k, CRC_ENTRY_CHARS);
  for (int i = 0; i < d; ++i) bytes[count++] = data_byte(dialog, slot, i, d, CRC_ENTRY_CHARS);
  const uint16_t crc = static_cast<uint16_t>(~link::frame_crc(bytes, static_cast<size_t>(count)));
  set_byte_text(dialog, IDC_CRC_HIGH, static_cast<uint8_t>(crc >> 8));
  set_byte_text(dialog, IDC_CRC_LOW, static_cast<uint8_t>(crc & 0xFF));
}

int read_editor_frame(DialogHandle dialog, int slot, uint8_t* frame, int header_size, int data_size, bool crc_switch,
                      bool end_switch) {
  const int h = std::clamp(header_size, 0, SIZE_FIELD_MAX);
  const int d = std::clamp(data_size, 0, SIZE_FIELD_MAX);
  // Frames 2 and 3 always carry their CRC and end code.
  const bool with_crc = crc_switch || slot != 1;
  const bool with_end = end_switch || slot != 1;
  int length = 0;
  auto put = [&](uint8_t b) {
    if (length < static_cast<int>(link::FRAME_MAX)) frame[length++] = b;
  };
  for (int k = 0; k < h && length < static_cast<int>(link::FRAME_MAX); ++k) put(header_byte(dialog, k, FRAME_ENTRY_CHARS));
  for (int i = 0; i < d && length < static_cast<int>(link::FRAME_MAX); ++i) put(data_byte(dialog, slot, i, d, FRAME_ENTRY_CHARS));
  if (with_crc) {
    put(entry_byte(read_control_text(dialog, IDC_CRC_HIGH, FRAME_ENTRY_CHARS)));
    put(entry_byte(read_control_text(dialog, IDC_CRC_LOW, FRAME_ENTRY_CHARS)));
  }
  if (with_end) put(entry_byte(read_control_text(dialog, IDC_END_CODE, FRAME_ENTRY_CHARS)));
  return length;
}

void on_send(DialogHandle dialog, link::Session& s) {
  clear_result_fields(dialog);
  const int h = header_size_field(dialog, SEND_FIELD_CHARS);
  const int d = data_size_field(dialog, SEND_FIELD_CHARS);
  const bool crc_switch = platform::is_checked(dialog, IDC_CRC_ENABLE);
  const bool end_switch = platform::is_checked(dialog, IDC_END_ENABLE);

  uint8_t raw[link::FRAME_MAX];
  const int length = read_editor_frame(dialog, 1, raw, h, d, crc_switch, end_switch);
  s.store_tx_frame(1, raw, length);

  const int32_t tmo_test = platform::is_checked(dialog, IDC_TRNS_TMO_ERR) ? 1 : 0;
  s.tmo_test_tx.store(tmo_test);
  s.tmo_test_rx.store(tmo_test);

  // A negative wait counts as 0.
  auto wait_ms = [&](int id) { return std::max<int32_t>(0, decimal_value(read_control_text(dialog, id, SEND_FIELD_CHARS))); };
  s.step_wait_ticks(1).store(wait_ms(IDC_WAIT_FRAME1) / link::TICK_MS);
  s.step_wait_ticks(2).store(5);
  s.step_wait_ticks(3).store(wait_ms(IDC_WAIT_KERMIT) / link::TICK_MS);
  s.step_wait_ticks(4).store(5);
  s.kermit_tmo_count.store(wait_ms(IDC_KERMIT_TMO) / 200);
  s.split_header().store(
      static_cast<int32_t>(size_field_value(read_control_text(dialog, IDC_HEADER_DATA_WAIT, SEND_FIELD_CHARS))));

  // The command word goes last: it hands everything above to the send thread.
  s.frame_slot.store(1);
  s.post_tx_command(link::TX_SEND_FRAME);
  platform::sleep_ms(SEND_SETTLE_MS);
}

void on_crc_recalc(DialogHandle dialog) {
  recalc_editor_crc(dialog, 1);
  platform::invalidate(dialog);
}

void on_reset_state(DialogHandle dialog, link::Session& s) {
  for (int k = 0; k < static_cast<int>(link::FRAME_HEADER); ++k) platform::set_control_text(dialog, IDC_HEADER_FIRST + k, "00");
  clear_slot(slot_frame_text(1));
  platform::set_control_text(dialog, IDC_CRC_HIGH, "00");
  platform::set_control_text(dialog, IDC_CRC_LOW, "00");
  platform::set_control_text(dialog, IDC_END_CODE, "C0");
  clear_result_fields(dialog);
  s.frame_slot.store(1);
  s.post_tx_command(link::TX_IDLE);
  s.post_rx_command(link::RX_IDLE);
  platform::sleep_ms(RESET_SETTLE_MS);
  platform::invalidate(dialog);
}

void on_kermit_quit(DialogHandle dialog, link::Session& s) {
  if (s.tx_command.load() == link::TX_KERMIT_SEND || s.rx_command.load() == link::RX_KERMIT_RECEIVE)
    s.kermit_quit_request.store(1);
  platform::invalidate(dialog);
}

}  // namespace tessaril::commands

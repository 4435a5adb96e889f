#include "shell/frame_presenter.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "shell/control_ids.h"
#include "shell/control_text.h"
#include "commands/entry_text.h"
#include "shell/frame_editor.h"

namespace tessaril::shell {

namespace {

using platform::DialogHandle;

// Read limits: Send and the frame read take 9 characters of an entry, the CRC
// recomputation 7 of an entry or a size field.
constexpr int FRAME_ENTRY_CHARS = 9;
constexpr int CRC_ENTRY_CHARS = 7;
constexpr int CRC_FIELD_CHARS = 7;
// The last header position that has an editor entry: 1401 + 35 = 1436.
constexpr int HEADER_POSITIONS = IDC_DATA_LAST - IDC_HEADER_FIRST + 1;

int capped_size(DialogHandle dialog, int id, int max_chars) {
  const uint32_t v = commands::size_field_value(read_control_text(dialog, id, max_chars));
  return static_cast<int>(std::min<uint32_t>(v, SIZE_FIELD_MAX));
}

void set_entry(char (&entry)[ENTRY_TEXT_SIZE], const char* text) {
  const size_t n = strnlen(text, ENTRY_TEXT_SIZE - 1);
  std::memcpy(entry, text, n);
  entry[n] = '\0';
}

void set_byte_text(DialogHandle dialog, int id, uint8_t byte) {
  platform::set_control_text(dialog, id, commands::entry_text(byte).text);
}

void set_decimal(DialogHandle dialog, int id, size_t value) {
  platform::set_control_text(dialog, id, std::to_string(value));
}

// Header position k: the edit 1401 + k, which runs on into the data entries
// for header sizes above 6. Positions past the last data entry have no edit
// and read 0x00.
uint8_t header_byte(DialogHandle dialog, int k, int max_chars) {
  if (k < 0 || k >= HEADER_POSITIONS) return 0x00;
  return commands::entry_byte(read_control_text(dialog, IDC_HEADER_FIRST + k, max_chars), max_chars);
}

// Data position i of slot with data size d, as the editor reads it.
uint8_t data_byte(DialogHandle dialog, int slot, int i, int d, int max_chars) {
  const uint8_t filler = (i == d - 1) ? 0x00 : 0x30;
  if (i < 0 || i >= data_capacity(slot)) return filler;
  char(&entry)[ENTRY_TEXT_SIZE] = slot_frame_text(slot).entry[i];
  if (slot <= 1 && i < commands::VISIBLE_DATA_ENTRIES) {
    // The visible entry is the truth for slot 1; refresh the table from it.
    char text[ENTRY_TEXT_SIZE] = {};
    platform::get_control_text(dialog, IDC_DATA_FIRST + i, text, ENTRY_TEXT_SIZE);
    set_entry(entry, text);
  }
  if (entry[0] == '*') return filler;
  return commands::entry_byte(std::string_view(entry, strnlen(entry, ENTRY_TEXT_SIZE)), max_chars);
}

}  // namespace

void show_frame(DialogHandle dialog, int slot, const commands::Frame& frame, EndCodeEntry end) {
  for (size_t k = 0; k < frame.header.size(); ++k) set_byte_text(dialog, IDC_HEADER_FIRST + static_cast<int>(k), frame.header[k]);
  set_decimal(dialog, IDC_HEADER_SIZE, frame.header.size());
  set_decimal(dialog, IDC_DATA_SIZE, frame.data.size());
  if (end == EndCodeEntry::Write) set_byte_text(dialog, IDC_END_CODE, frame.end_code);

  FrameText& t = slot_frame_text(slot);
  const int shown = static_cast<int>(std::min(frame.data.size(), static_cast<size_t>(data_capacity(slot))));
  for (int i = 0; i < data_capacity(slot); ++i)
    set_entry(t.entry[i], i < shown ? commands::entry_text(frame.data[static_cast<size_t>(i)]).text : "*");
  if (slot <= 1)
    for (int i = 0; i < commands::VISIBLE_DATA_ENTRIES; ++i) platform::set_control_text(dialog, IDC_DATA_FIRST + i, t.entry[i]);
  show_crc(dialog, frame.crc);
}

void show_crc(DialogHandle dialog, uint16_t crc) {
  set_byte_text(dialog, IDC_CRC_HIGH, static_cast<uint8_t>(crc >> 8));
  set_byte_text(dialog, IDC_CRC_LOW, static_cast<uint8_t>(crc & 0xFF));
}

uint16_t editor_crc(DialogHandle dialog, int slot) {
  const int h = header_size_field(dialog, CRC_FIELD_CHARS);
  const int d = data_size_field(dialog, CRC_FIELD_CHARS);
  uint8_t bytes[2 * SIZE_FIELD_MAX];
  int count = 0;
  for (int k = 0; k < h; ++k) bytes[count++] = header_byte(dialog, k, CRC_ENTRY_CHARS);
  for (int i = 0; i < d; ++i) bytes[count++] = data_byte(dialog, slot, i, d, CRC_ENTRY_CHARS);
  return static_cast<uint16_t>(~link::frame_crc(bytes, static_cast<size_t>(count)));
}

uint8_t editor_end_code(DialogHandle dialog) {
  return commands::entry_byte(read_control_text(dialog, IDC_END_CODE, FRAME_ENTRY_CHARS));
}

int header_size_field(DialogHandle dialog, int max_chars) { return capped_size(dialog, IDC_HEADER_SIZE, max_chars); }

int data_size_field(DialogHandle dialog, int max_chars) { return capped_size(dialog, IDC_DATA_SIZE, max_chars); }

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
    put(commands::entry_byte(read_control_text(dialog, IDC_CRC_HIGH, FRAME_ENTRY_CHARS)));
    put(commands::entry_byte(read_control_text(dialog, IDC_CRC_LOW, FRAME_ENTRY_CHARS)));
  }
  if (with_end) put(editor_end_code(dialog));
  return length;
}

}  // namespace tessaril::shell

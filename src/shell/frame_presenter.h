// The frame editor's edits as a view of a frame value, in both directions.
//
// How it works: show_frame writes a frame into the editor: the six header
// entries, header size 6 and the data size in decimal, the data entries of
// slot s (its `frame_text` table, and for slot 1 also the thirty visible
// entries), the CRC entries and, unless asked to keep it, the END code entry;
// every byte as two upper-case hex digits. Data bytes past the table's room
// are not shown: they read back as filler, which is what a built frame holds
// there (frame_value.h).
//
// Reading goes the other way and is what "Send" sends, whatever the engineer
// typed: an entry is hex read as if "0x" stood before it, its low 8 bits the
// byte; a data entry beginning with "*" is empty and reads 0x30, or 0x00 as
// the last data byte; for slot 1 the visible data entries are copied into the
// table before it is read; the header always comes from the visible header
// entries, CRC and END code from theirs. Sizes typed into the size fields are
// capped at 300 and a frame is cut to 300 bytes, so no text in any edit can
// overrun a buffer. A frame shown and read back with header size 6, its data
// size and both switches on gives frame_bytes of that frame.
//
// Everything here runs on the dialog thread.
#pragma once

#include <cstdint>

#include "commands/frame_value.h"
#include "platform/controls.h"

namespace tessaril::shell {

// Sizes read from the size fields are capped here before use.
constexpr int SIZE_FIELD_MAX = static_cast<int>(link::FRAME_MAX);

// Whether show_frame writes the END code entry. The sequence frames keep the
// engineer's END code, so their builders leave the entry alone.
enum class EndCodeEntry : uint8_t { Write, Keep };

void show_frame(platform::DialogHandle dialog, int slot, const commands::Frame& frame, EndCodeEntry end);

// The check value as the two CRC entries.
void show_crc(platform::DialogHandle dialog, uint16_t crc);

// The check value of what the edits hold for slot: header entries (header
// size field) and data (data size field), 7 characters of each entry and field
// read, as "CRC Recalc." computes it.
uint16_t editor_crc(platform::DialogHandle dialog, int slot);

// The byte of the END code entry.
uint8_t editor_end_code(platform::DialogHandle dialog);

// Assembles the raw frame of slot into frame (FRAME_MAX bytes): header_size
// header bytes, data_size data bytes, the CRC entries when crc_switch is set
// or slot is not 1, the end code when end_switch is set or slot is not 1.
// Sizes are capped at 300; the frame is cut to 300 bytes. Returns its length.
int read_editor_frame(platform::DialogHandle dialog, int slot, uint8_t* frame, int header_size, int data_size,
                      bool crc_switch, bool end_switch);

// The header size and data size fields as they are used: capped at 300.
// max_chars: Send reads 6 characters of each, the CRC recomputation 7.
int header_size_field(platform::DialogHandle dialog, int max_chars);
int data_size_field(platform::DialogHandle dialog, int max_chars);

}  // namespace tessaril::shell

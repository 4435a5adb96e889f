// The frame editor of the command dialog and its buttons "Send",
// "CRC Recalc.", "Reset State" and "KerTrns Quit".
//
// How it works: the editor's edits are the model of Frame 1. Six header
// entries (1401..1406), thirty visible data entries (1407..1436), two CRC
// entries (1470, 1471) and the end code (1472) each hold one byte as hex
// text (entry_text.h); the header size and data size fields say how many
// header and data bytes the frame has. Behind the visible data entries each
// of the frame slots 1..3 keeps a text table, `frame_text`, so that a data
// field may be longer than thirty bytes and the sequence builders can prepare
// Frames 2 and 3 without touching Frame 1. Every slot has room for the
// longest data field a 300-byte frame holds, so a builder's text always
// arrives whole.
//
// Reading data position i of a slot with data size d: for slot 1 and i < 30
// the visible entry is first copied into the slot's table; a table entry
// beginning with "*" is empty and reads 0x30 ("0"), or 0x00 when it is the
// last data byte, so the field always ends in a NUL. Positions past the
// slot's room read the same filler. The header always comes from the visible
// header entries, the CRC and end code from the visible CRC and end entries.
//
// "Send" reads the editor into the transmit buffers of step 1 and hands them
// to the session's send thread: buffers and settings first, `frame_slot`
// next, `tx_command` last. Sizes typed into the size fields are capped at 300 before
// use, and a frame is cut to 300 bytes, so no text in any edit can overrun a
// buffer or keep the dialog thread busy.
//
// Everything here runs on the dialog thread.
#pragma once

#include <cstdint>

#include "link/frame_codec.h"
#include "link/session.h"
#include "platform/controls.h"

namespace tessaril::commands {

// One data entry holds up to 9 characters and a terminator.
constexpr int ENTRY_TEXT_SIZE = 10;
// Room of every slot: the longest data field of a 300-byte frame.
constexpr int DATA_CAPACITY = static_cast<int>(link::FRAME_MAX - link::FRAME_OVERHEAD);  // 291
constexpr int FRAME_TEXT_SLOTS = 3;
// Sizes read from the size fields are capped here before use.
constexpr int SIZE_FIELD_MAX = static_cast<int>(link::FRAME_MAX);

struct FrameText {
  char entry[DATA_CAPACITY][ENTRY_TEXT_SIZE];
};

constexpr FrameText empty_frame_text() {
  FrameText t{};
  for (auto& e : t.entry) e[0] = '*';
  return t;
}

// Slots 1..3 at indexes 0..2; use slot_frame_text to address them by slot.
inline FrameText frame_text[FRAME_TEXT_SLOTS] = {empty_frame_text(), empty_frame_text(), empty_frame_text()};

// The table of a slot; a slot above 3 uses that of slot 3, below 1 that of slot 1.
FrameText& slot_frame_text(int slot);

// The number of data entries a slot holds.
constexpr int data_capacity(int /*slot*/) { return DATA_CAPACITY; }

// Marks every data entry of slots 1..3 empty; the visible edits keep their text.
void clear_frame_text();

// Writes the n data bytes into the entries of slot (the rest of the slot
// empty); for slot 1 also the visible entries 1407..1436. Then recomputes the
// CRC entries. data holds at least n bytes; n is taken as 0..DATA_CAPACITY
// for the entries (a longer field reads filler past the room).
void fill_data_fields(platform::DialogHandle dialog, const char* data, int slot, int n);

// Runs the frame CRC over the header entries (header size field) and the data
// of slot (data size field) and writes it into entries 1470 and 1471.
void recalc_editor_crc(platform::DialogHandle dialog, int slot);

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

// The buttons.
void on_send(platform::DialogHandle dialog, link::Session& s);         // 227 "Send"
void on_crc_recalc(platform::DialogHandle dialog);                     // 230 "CRC Recalc."
void on_reset_state(platform::DialogHandle dialog, link::Session& s);  // 231 "Reset State"
void on_kermit_quit(platform::DialogHandle dialog, link::Session& s);  // 232 "KerTrns Quit"

}  // namespace tessaril::commands

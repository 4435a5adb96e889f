// The frame editor of the command dialog and its buttons "Send",
// "CRC Recalc.", "Reset State" and "KerTrns Quit".
//
// How it works: the editor's edits are a view of Frame 1 (frame_presenter.h
// maps between them and a frame value). Six header entries (1401..1406),
// thirty visible data entries (1407..1436), two CRC entries (1470, 1471) and
// the end code (1472) each hold one byte as hex text (entry_text.h); the
// header size and data size fields say how many header and data bytes the
// frame has. Behind the visible data entries each of the frame slots 1..3
// keeps a text table, `frame_text`, so that a data field may be longer than
// thirty bytes and the sequence builders can prepare Frames 2 and 3 without
// touching Frame 1. Every slot has room for the longest data field a 300-byte
// frame holds, so a builder's text always arrives whole.
//
// "Send" takes what the edits hold, as the engineer may have changed it, into
// the transmit buffers of step 1 and hands them to the session's send
// thread: buffers and settings first, `frame_slot` next, `tx_command` last.
//
// Everything here runs on the dialog thread.
#pragma once

#include <cstdint>

#include "commands/frame_value.h"
#include "link/session.h"
#include "platform/controls.h"

namespace tessaril::shell {

// One data entry holds up to 9 characters and a terminator.
constexpr int ENTRY_TEXT_SIZE = 10;
constexpr int FRAME_TEXT_SLOTS = 3;

struct FrameText {
  char entry[commands::DATA_CAPACITY][ENTRY_TEXT_SIZE];
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
constexpr int data_capacity(int /*slot*/) { return commands::DATA_CAPACITY; }

// Marks every data entry of slots 1..3 empty; the visible edits keep their text.
void clear_frame_text();

// Runs the frame CRC over the header entries (header size field) and the data
// of slot (data size field) and writes it into entries 1470 and 1471.
void recalc_editor_crc(platform::DialogHandle dialog, int slot);

// The buttons.
void on_send(platform::DialogHandle dialog, link::Session& s);         // 227 "Send"
void on_crc_recalc(platform::DialogHandle dialog);                     // 230 "CRC Recalc."
void on_reset_state(platform::DialogHandle dialog, link::Session& s);  // 231 "Reset State"
void on_kermit_quit(platform::DialogHandle dialog, link::Session& s);  // 232 "KerTrns Quit"

}  // namespace tessaril::shell

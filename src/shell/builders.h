// The command builders: one per command button, and the four sequence
// builders the command dialog's sequencer calls.
//
// How it works: a button builder clears the editor's slot tables, presets the
// sequence controls as its row of the catalogue says (command_table.h), reads
// its inputs up to their read limits into one data text, builds the frame
// from row, text and the current `seq_no` (command_frames.h) and shows it in
// the editor (frame_presenter.h). Nothing is sent; "Send" sends what the
// edits then hold. Every data text is sent with its terminating NUL, so the
// data length is the text length + 1.
//
// A sequence builder builds its command's frame the same way, with the END
// code the editor's entry holds, shows it (the header in the visible header
// entries, the data in slot s's table) and stores the frame's bytes, raw and
// encoded, in step s of the transmit buffers; it returns the encoded length.
// The caller then writes the command word.
//
// Every builder takes the current `seq_no` for the header and advances it;
// after 0xFFFF comes 1, so 0 never appears.
//
// Everything here runs on the dialog thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

#include "commands/command_frames.h"
#include "commands/command_table.h"
#include "shell/sequence_builders.h"
#include "platform/controls.h"

namespace tessaril::shell {

// The frame sequence number; the command dialog sets it to 1 when it opens.
inline std::atomic<uint16_t> seq_no{1};

// The number after v: 0xFFFF is followed by 1.
constexpr uint16_t next_seq_no(uint16_t v) { return v == 0xFFFF ? 1 : static_cast<uint16_t>(v + 1); }

// Advances seq_no and returns the value it had.
uint16_t take_seq_no();

// Lowers every byte 0x60..0x7F by 0x20 (a-z become A-Z, '~' becomes '^');
// every other byte stays. In place up to the terminator.
void upcase_name(char* text);
std::string upcase_name(std::string_view text);

// The builder of a command button: false (and nothing touched) when
// button_id is not a command button.
bool build_command_for_button(platform::DialogHandle dialog, link::Session& s, int button_id);

// The data text (without its NUL) a button builder reads from the inputs.
std::string command_data_text(platform::DialogHandle dialog, link::Session& s, const commands::CommandEntry& entry);

// The preset of a catalogue row applied to the sequence controls.
void apply_preset(platform::DialogHandle dialog, const commands::CommandEntry& entry);

}  // namespace tessaril::shell

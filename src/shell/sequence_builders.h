// The four builders the command dialog's sequencer calls when a command
// sequence advances (the button builders are in builders.h).
//
// How it works: a sequence builder builds its command's frame with the
// current `seq_no` and the END code the editor's entry holds (the frames
// without a dialog are in command_frames.h), shows it in the editor (the
// header in the visible header entries, the data in the table of slot s) and
// stores its bytes, raw and encoded, in step s of the session's transmit
// buffers under their lock. It does not clear the tables, touch the sequence controls or
// set the end code entry. The caller writes the command word afterwards.
// Each advances `seq_no`.
#pragma once

#include <cstdint>

#include "link/session.h"
#include "platform/controls.h"

namespace tessaril::shell {

// Sequence builders: each stores the frame in step slot (1..4) of the
// transmit buffers and returns its encoded length; a slot outside 1..4
// stores nothing and returns 0.
// Reset Status Latch (0x09), no data.
int build_latch_reset_frame(platform::DialogHandle dialog, link::Session& s, int slot);
// Start File Transfer (0x0A) "name,size"; shows them in statics 2102, 2103.
int build_transfer_start_frame(platform::DialogHandle dialog, link::Session& s, int slot, const char* file_name, int32_t file_size);
// Kermit File Transfer Status (0x0B) with the name as given; shows it in edit 1111.
int build_status_frame(platform::DialogHandle dialog, link::Session& s, int slot, const char* file_name);
// Receive File (0x0C) "name,size"; the caller shows them.
int build_receive_frame(platform::DialogHandle dialog, link::Session& s, int slot, const char* file_name, int32_t file_size);

}  // namespace tessaril::shell

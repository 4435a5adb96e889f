// The frames of the command catalogue, built without a dialog.
//
// How it works: a button's frame is its row's command code with the data
// text the dialog gathered from the row's inputs (command_data_text in
// builders.h); a row without inputs sends no data field at all, while a row
// whose inputs are empty still sends the NUL. The four frames of a command
// sequence take their file name and size as arguments: a name is read no
// further than DATA_CAPACITY characters. Every function takes the sequence
// number to put into the header and leaves advancing it to the caller. The
// END code is a parameter because the sequence frames repeat whatever END
// code the engineer set in the editor for Frame 1.
#pragma once

#include <cstdint>
#include <string_view>

#include "commands/command_table.h"
#include "commands/frame_value.h"

namespace tessaril::commands {

Frame command_frame(const CommandEntry& row, std::string_view data_text, uint16_t seq);

// Reset Status Latch (0x09), no data.
Frame latch_reset_frame(uint16_t seq, uint8_t end_code = link::END);
// Start File Transfer (0x0A), "name,size".
Frame transfer_start_frame(uint16_t seq, std::string_view file_name, int32_t file_size, uint8_t end_code = link::END);
// Kermit File Transfer Status (0x0B), the name as given.
Frame status_frame(uint16_t seq, std::string_view file_name, uint8_t end_code = link::END);
// Receive File (0x0C), "name,size".
Frame receive_frame(uint16_t seq, std::string_view file_name, int32_t file_size, uint8_t end_code = link::END);

}  // namespace tessaril::commands

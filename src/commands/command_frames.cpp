#include "commands/command_frames.h"

#include <string>

namespace tessaril::commands {

namespace {

std::string_view bounded(std::string_view name) { return name.substr(0, static_cast<size_t>(DATA_CAPACITY)); }

std::string name_and_size(std::string_view name, int32_t size) {
  return std::string(bounded(name)) + "," + std::to_string(size);
}

}  // namespace

Frame command_frame(const CommandEntry& row, std::string_view data_text, uint16_t seq) {
  return build_frame(row.code, row.source != DataSource::None, data_text, seq);
}

Frame latch_reset_frame(uint16_t seq, uint8_t end_code) {
  return build_frame(CODE_RESET_STATUS_LATCH, false, {}, seq, end_code);
}

Frame transfer_start_frame(uint16_t seq, std::string_view file_name, int32_t file_size, uint8_t end_code) {
  return build_frame(CODE_START_FILE_TRANSFER, true, name_and_size(file_name, file_size), seq, end_code);
}

Frame status_frame(uint16_t seq, std::string_view file_name, uint8_t end_code) {
  return build_frame(CODE_KERMIT_STATUS, true, bounded(file_name), seq, end_code);
}

Frame receive_frame(uint16_t seq, std::string_view file_name, int32_t file_size, uint8_t end_code) {
  return build_frame(CODE_RECEIVE_FILE, true, name_and_size(file_name, file_size), seq, end_code);
}

}  // namespace tessaril::commands

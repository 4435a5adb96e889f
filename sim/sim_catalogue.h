// The commands the simulated BUC knows, with what each one does to the
// device's state and what it answers.
#pragma once

#include <cstdint>
#include <string>

#include "sim_buc.h"

namespace tessaril::sim {

struct CommandResult {
  int rsp = 0x01;
  Bytes data;  // the answer's data field, a zero byte at the end of a text
};

// Runs a known command on the state; false for a code the BUC does not know.
// `text` is the command's data field up to its first zero byte.
bool run_command(BucState& state, uint8_t code, const std::string& text, CommandResult& result);

}  // namespace tessaril::sim

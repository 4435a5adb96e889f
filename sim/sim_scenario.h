// Scenario files: what the simulated BUC does, command by command.
//
// One rule per line: a command code (hex "0x0E", or "*" for every command
// without a rule of its own) followed by settings:
//
//   rsp=0x04            response code 0-31 put into the answer's status byte
//   data="PA=+1.0dBm"   answer data text; a zero byte is appended
//   data-hex=4142C000   answer data as hex bytes, taken as they are
//   delay=1500          milliseconds before the answer goes out
//   fault=KIND          no-answer | bad-crc | short | long | garbage | late[:MS]
//                       | twice[:MS] | noise | stale-answer | stale-kermit
//   times=N             the rule applies to the next N frames of that code only
//
// '#' starts a comment; blank lines are ignored. A later line for the same
// code adds a rule that takes over once the earlier one has run out of times.
//
// A line "kermit" followed by settings (sim_kermit_settings.h) sets how the
// device behaves in the Kermit transfers: "kermit check=3 drop=4 times=1".
// Its times count transfers; without times it holds for every transfer.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim_kermit_settings.h"

namespace tessaril::sim {

enum class Fault {
  None,
  NoAnswer,     // the device stays silent
  BadCrc,       // the answer's CRC is spoiled
  Short,        // the answer stops three bytes before its header says
  Long,         // an answer of more than 255 encoded bytes
  Garbage,      // bytes that are no frame
  Late,         // the answer comes after the host has given up
  Twice,        // the answer is sent two times
  Noise,        // line noise in front of the answer
  StaleAnswer,  // the previous answer again, in front of this one
  StaleKermit,  // Kermit packets left from a transfer, in front of the answer
};

struct Rule {
  int code = -1;  // -1: every command
  std::optional<int> rsp;
  std::optional<std::vector<uint8_t>> data;
  int delay_ms = 0;
  Fault fault = Fault::None;
  int late_ms = 5000;
  int twice_gap_ms = 0;  // between the two copies of fault=twice
  int times = -1;  // -1: for ever
};

struct Scenario {
  std::vector<Rule> rules;
  std::vector<KermitSettings> transfers;
};

// Parses scenario text; false with "line N: reason" in error on the first bad line.
bool parse_scenario(const std::string& text, Scenario& scenario, std::string& error);

// The rule for a command, used once (its times are counted down), or none.
std::optional<Rule> take_rule(Scenario& scenario, int code);

const char* fault_name(Fault fault);

// The settings of the next Kermit transfer (their times counted down), or the
// defaults when no "kermit" line applies.
KermitSettings take_transfer_settings(Scenario& scenario);

}  // namespace tessaril::sim

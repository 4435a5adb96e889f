// The simulated BUC: what it remembers and how it answers one command frame.
//
// How it works: answer_frame takes one decoded command frame and returns the
// answer as it goes on the wire (RFC 1055 encoded, the last byte raw), or
// nothing. A frame too short for a header gets no answer; a bad CRC gets
// response code 0x04, a data length that disagrees with the frame 0x07, an
// unknown code 0x1F. Every command of the catalogue succeeds (0x01) with the
// data a BUC would give; Set commands change what the Get commands report.
// Get Calibration File (0x0E) and Get Calibration File Ex (0x79, data "1" or
// "2") announce the first or second .xml/.gz file of the simulator's folder as
// "name,size" and a zero byte; without such a file they fail with 0x08.
// Then the scenario's rule for the code, if any, changes the response code,
// the data, the timing or spoils the answer on purpose. An intact successful
// answer to 0x0A or 0x0C marks the Kermit transfer that follows it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim_scenario.h"

namespace tessaril::sim {

using Bytes = std::vector<uint8_t>;

struct BucState {
  std::string folder = ".";  // where calibration files are announced from
  std::string band = "highband";
  std::string lo = "28.050GHz";
  std::string pa = "enabled";
  std::string polarization = "rhand";
  std::string fan_mode = "normal";
  std::string fan_temperature = "TEMP=30.0,HTEMP=20.0";
  std::string overtemp = "TEMP=85.0";
  std::string product_id = "BPN=0000000000000,MID=00,BSN=000000000,FID=000000";
  uint32_t heart_beat = 0;
  Bytes last_answer;  // the last answer sent (wire bytes, no fault), for fault=stale-answer
  Scenario scenario;
};

struct Reply {
  Bytes wire;         // nothing: no answer
  int delay_ms = 0;   // before the first byte goes out
  int repeat = 1;     // how many times the bytes are sent
  int repeat_gap_ms = 0;  // pause before each repeat
  std::string note;   // one line for the simulator's trace
  // After an intact, successful answer to Start File Transfer (0x0A: the
  // device receives a file) or Recieve File (0x0C: it sends one): that code
  // and the frame's data text ("NAME,size"); a Kermit transfer follows.
  int transfer = 0;
  std::string transfer_text;
};

// The answer to one decoded command frame.
Reply answer_frame(BucState& state, const Bytes& frame);

// Builds an answer frame: code | 0x80, the extended header for answer codes
// 0xF0 and up (commands 0x70-0x7F and 0xF0-0xFF), else the standard one,
// status byte = rsp << 3, CRC and END; the raw bytes.
Bytes build_answer(uint8_t command, uint16_t seq, int rsp, const Bytes& data);

// The name of a command of the catalogue, or "" for an unknown code.
const char* command_name(uint8_t code);

}  // namespace tessaril::sim

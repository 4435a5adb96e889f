// How the simulated BUC behaves in a Kermit transfer: its send-init
// parameters and the faults a scenario asks for.
//
// How it works: a scenario line "kermit" followed by settings gives the
// settings of the next transfers (see sim_scenario.h for the file, and
// sim/README.md for every setting); without one, a transfer runs with the
// defaults below. Packet numbers count from 1 in the order the packets go on
// the line within one transfer, resent packets included: the device's own
// packets for drop, corrupt, duplicate, silent-after and error-after, the
// host's packets (damaged ones included) for lose. The faults of the last
// packets (drop-b-ack, lose-b-ack) are named instead, as their numbers depend
// on the file and the packet size.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tessaril::sim {

enum class Refusal {
  None,
  Attributes,  // the acknowledgement of the first 'A' packet carries "N"
  Data,        // the acknowledgement of the first 'D' packet carries "X"
  Error,       // the 'F' packet is answered with an error packet
};

struct KermitSettings {
  bool off = false;  // no transfer: the device goes on answering frames
  // The send-init it announces.
  int maxl = 94;         // the longest packet it takes
  int time = 5;          // TIME: seconds after which it wants the host to time out
  int check = 0;         // 1-3; 0: the host's proposal when receiving, 1 when sending
  uint8_t qbin = 'Y';    // QBIN: 'Y' willing, 'N' refusing, '&' (or another character) asking
  uint8_t rept = 0;      // REPT: 0 '~' (receiving: the host's, if it is a prefix), ' ' none, else this one
  bool attributes = true;
  int retries = 5;       // time-outs and NAKs in a row for one packet before it gives up
  int delay_ms = 500;    // sending: pause between the answer to 0x0C and its send-init
  int wait_ms = 30000;   // receiving: how long it waits for the host's send-init
  int timer_ms = 0;      // its own retry timer; 0: the host's TIME
  // Faults.
  std::vector<int> drop, corrupt, duplicate;  // its own packets, by number
  std::vector<int> lose;                      // the host's packets, by number
  int silent_after = -1;                      // sends nothing after this many packets (-1: never; 0: nothing at all)
  int error_after = 0;   // sends an error packet instead of this packet + 1 (0: never)
  std::optional<std::string> name;  // sending: the name in its 'F' packet
  std::optional<int64_t> size;      // sending: the size in its 'A' packet
  Refusal refuse = Refusal::None;   // receiving
  // Sending: files it was not asked for, sent in the same session before and
  // after the one asked for (content from its folder, or a text of its own).
  std::vector<std::string> extra_before, extra_after;
  bool endless = false;      // sending: the data goes on far past the file's size
  bool with_answer = false;  // sending: its 'S' goes out in the same write as the answer to 0x0C
  bool drop_b_ack = false;   // receiving: its first acknowledgement of the host's 'B' is lost
  bool lose_b_ack = false;   // sending: the host's first acknowledgement of its 'B' is lost
  int times = -1;  // -1: for every transfer; else the next N transfers
};

// Applies one word of a "kermit" line; false with the reason in error.
bool parse_kermit_setting(const std::string& word, KermitSettings& settings, std::string& error);

bool packet_listed(const std::vector<int>& numbers, int number);

}  // namespace tessaril::sim

// One Kermit transfer of the simulated BUC on its serial line.
//
// How it works: run_transfer hands the bytes from the line to the Kermit peer
// (sim_kermit_peer.h) and writes what the peer has to say, both directions
// paced to --baud on a pseudo-terminal. The clock is the monotonic one. Every
// byte from the host is also watched for a command frame. An END (0xC0) that
// closes bytes with a frame's length and a good CRC means the host has left
// the transfer, for example with "Kermit Trns." unticked. The transfer then
// ends at once, and the frame goes back to the caller to be answered. Once the
// peer has ended, the session stays until the line has been quiet for
// LINGER_MS, so the tail of the host's Kermit traffic is not answered as a
// frame; a frame that comes meanwhile goes back too. After a receive that the
// host closed with 'B' it stays B_LINGER_MS at least: the host repeats its
// 'B' when the acknowledgement went astray, and gets it again. Ctrl+C ends
// it at once.
#pragma once

#include <csignal>
#include <string>

#include "sim_kermit_peer.h"
#include "sim_line.h"

namespace tessaril::sim {

constexpr int LINGER_MS = 300;
constexpr int B_LINGER_MS = 5000;

struct TransferEnd {
  std::string report;  // the peer's one line for the log
  peer::Bytes frame;   // the command frame that came (as on the wire, END included), or none
  peer::Bytes rest;    // bytes that followed it
};

// `initial` holds bytes already read that belong to the transfer; `lead`,
// when not empty, goes out in the same write as the peer's first packet,
// which then leaves at once (the answer to 0x0C and the 'S' behind it).
TransferEnd run_transfer(Line& line, const peer::PeerSetup& setup, const peer::Bytes& initial, const peer::Bytes& lead,
                         bool verbose, const volatile std::sig_atomic_t& stop);

// The offset in `watch` (bytes up to and including an END) where a complete
// command frame with a good CRC begins, the longest one; -1 when none does.
int find_frame(const peer::Bytes& watch);

// Splits the "NAME,size" data of 0x0A and 0x0C at its last comma; size -1
// when there is no comma or no number after it.
void split_announcement(const std::string& text, std::string& name, int64_t& size);

}  // namespace tessaril::sim

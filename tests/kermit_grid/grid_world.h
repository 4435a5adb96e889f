// One Kermit transfer between the host's engine and the simulator's peer, in
// one process, on a virtual clock, over a serial line that damages what it
// carries.
//
// How it works: the line is two byte queues, one per direction, each byte
// stamped with the time it arrives (38 400 baud: 260 us a byte). The host's
// line callbacks are replaced after set-up: tx_data puts a packet on the
// line through the faults, readpkt takes bytes off it one at a time with the
// port's read time-out (300 ms without a byte is a silent read, -2) and frames
// them with the engine's own packet reader. Whenever the host waits, the
// clock moves to the next event: a byte reaching the device (fed to the peer),
// the peer's own deadline (peer_tick), or a byte reaching the host. So time
// passes only in the host's reads and pauses, as it would on a real line, and
// nothing sleeps. The packet loop is the link's (kermit_loop.cpp): the
// silence limit `kermit_tmo_count`, the stall limit, the pause after an
// engine failure and after a silent read when receiving, the cancel sequence
// after a receive that timed out; its verdict is the link's too (every byte
// moved and acknowledged, the file complete at the other end, the name the
// one asked for).
//
// Faults act on each packet as it is written, both directions alike: lost,
// sent twice, held back, hit by a noise burst, bytes replaced by others at a
// byte-error rate, acknowledgements lost; the device may stall once for a
// while (it neither reads nor answers), vanish (the peer's own silent-after),
// or take short packets (its MAXL).
#pragma once

#include <cstdint>
#include <string>

#include "sim/sim_kermit_settings.h"

namespace tessaril::kermit::grid {

struct Faults {
  double byte_error = 0;  // per byte: replaced by another value
  double drop = 0;        // per packet: lost whole
  double duplicate = 0;   // per packet: arrives twice
  double delay = 0;       // per packet: held back 0.1 to 2.5 s
  double burst = 0;       // per packet: a noise burst lands on it or just before it
  double lose_ack = 0;    // per acknowledgement ('Y'): lost
  bool stall = false;     // the device stalls once, 0.5 to 6 s, at a random packet
};

enum class Direction { HostSends, HostReceives };

inline constexpr const char* GRID_FILE_NAME = "C.GZ";  // fits the data field of MAXL 10 with check 3

struct TransferPlan {
  Direction direction = Direction::HostSends;
  std::string name = GRID_FILE_NAME;  // the file's name on both sides
  int check = 1;  // block check both sides use
  Faults faults;
  sim::KermitSettings device;  // the peer's settings (MAXL, prefixes, silent-after...)
  std::string content;         // the file
  uint64_t seed = 1;           // of the line's faults
  int tmo_count = 5;           // Kermit_TMO 1000 ms: five silent reads survived
};

// The three folders a transfer uses; the current folder must be `host`
// (received files arrive in the working folder).
struct Folders {
  std::string source;  // the host's file to send
  std::string device;  // the device's folder
  std::string host;    // the host's working folder
};

enum class Verdict {
  Success,       // the host reported success and the file arrived byte for byte
  CleanFailure,  // the host reported a failure; no other file took the name
  FalseSuccess,  // a different (or no) file reported complete, or put in place
  Unbounded,     // still running past the retry and silence limits
};

struct TransferOutcome {
  Verdict verdict = Verdict::CleanFailure;
  std::string host_end;     // how the host's packet loop ended
  std::string peer_report;  // the device's log line
  int64_t line_bytes = 0;   // written by both ends (noise not counted)
  int64_t duration_ms = 0;
  int64_t bound_ms = 0;
  int damaged_packets = 0;  // packets the line changed (bytes replaced, bursts)
  // Damaged packets that block check 2 cannot tell from good ones: byte
  // changes that cancel in the 12-bit sum (counted when check 2 is in use).
  int blind_to_check2 = 0;
  bool host_success = false;     // what the host reported
  int64_t arrived_size = -1;     // the file under its name at the destination; -1: none
  bool arrived = false;          // and it is the file sent, byte for byte
};

TransferOutcome run_transfer(const TransferPlan& plan, const Folders& folders);

}  // namespace tessaril::kermit::grid

// An in-memory line for Kermit engines under test.
//
// Each engine's `port` field names its end of the line: what an engine writes
// with mem_tx_data goes into the queue of the other end (port 1 <-> port 2),
// passing the line's faults on the way; mem_readpkt frames the bytes of its
// own queue with the real packet reader. A packet held back ("delayed") comes
// out when its reader finds the line silent, i.e. after the other side has
// timed out. Every packet written is also kept, so conversation tests can
// look at exactly what an engine sent.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "kermit/kermit_setup.h"
#include "kermit/kermit_state.h"

namespace tessaril::kermit::test {

struct LineFaults {
  int drop = 0;        // per mille of packets lost
  int duplicate = 0;   // per mille sent twice
  int delay = 0;       // per mille held back until the reader sees silence
  int bit_flip = 0;    // per mille with one bit flipped
  int insert = 0;      // per mille with one byte inserted
  int remove = 0;      // per mille with one byte removed
  int substitute = 0;  // per mille with one byte replaced (not on packets sent with check 1)
};

struct MemoryLine {
  std::deque<uint8_t> queue[3];              // indexed by the reading port
  std::vector<std::vector<uint8_t>> held[3];  // delayed packets, by reading port
  std::vector<std::string> sent[3];           // every packet written, by writing port
  LineFaults faults;
  std::mt19937 rng{1};
  int fail_writes_after = -1;  // tx_data fails from this many packets on (per line)
  int writes = 0;

  void push(int to_port, const std::string& bytes);  // raw bytes, no faults
};

// The line the callbacks below use; tests install their own.
extern MemoryLine* current_line;

int mem_tx_data(KermitState* k, const char* bytes, int count);
int mem_readpkt(KermitState* k, char* buf, int len);

// An engine with its own records and buffers, on port `port` of current_line.
struct Engine {
  KermitState k;
  KermitResult r;
  KermitBuffers b;
};
std::unique_ptr<Engine> make_engine(int port, const char* name = "", const char* full_path = "");

// The wire bytes of a packet as a peer with block check `chk` builds it.
std::string build_packet(char type, int seq, const std::string& data, int chk = 1);

// Hands the bytes between MARK and EOL of `wire` to the engine as one packet.
int deliver(Engine& e, const std::string& wire);
// Hands raw slot contents (as a line would store them) to the engine.
int deliver_body(Engine& e, const std::string& body);

// A packet an engine sent, taken apart (check not verified).
struct Sent {
  int seq = -1;
  char type = 0;
  std::string data;
};
Sent parse_sent(const std::string& wire, int chk);

// Outcome of a whole transfer between two engines.
struct TransferRun {
  int sender_result = 0;
  int receiver_result = 0;
  bool finished = false;  // both ended with KR_DONE
  int rounds = 0;
};

// Drives a sender (already set up, KA_SEND not yet called) and a receiver
// until both are done, one fails, or the line stays dead for `max_timeouts`
// consecutive sender time-outs (the sender repeats its last packet on each).
TransferRun run_transfer(Engine& sender, Engine& receiver, int max_timeouts = 30, int max_rounds = 200000);

}  // namespace tessaril::kermit::test

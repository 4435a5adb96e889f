// A Kermit peer on the device end of a serial line pair: a second engine with
// records of its own on its own thread, its packets framed by the real packet
// reader, its file kept in memory, and a few scripted misdeeds. Receiving, it
// stays on the line after the 'B' to acknowledge a repeat of it.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "kermit/kermit_setup.h"
#include "support/line_pair.h"

namespace tessaril::test {

struct PeerScript {
  bool sends = false;            // the peer sends `data` as `name` (the host receives)
  std::string name = "CAL_A.XML";
  std::vector<uint8_t> data;
  int32_t size_attribute = -1;   // size its attribute announces; -1: the data's size
  int mute_after = -1;           // packets read after which it reads on but never answers
  int error_after = -1;          // packets read after which it sends 'E' and falls mute
  int garble_after = -1;         // packets read after which each answer is a damaged copy
  char refuse_type = 0;          // the first packet of this type is acknowledged with
  const char* refuse_text = "";  //   this text instead of by the engine ("N" to 'A', "X" to 'D')
  int resend_ms = 0;             // on a silent line repeat the last packet,
  int resend_max = 3;            //   this many times at most
  int delay_ms = 0;              // before each answer
  int lose = -1;                 // the host's packet of this number (from 1) is lost on the line
  int drop = -1;                 // its own packet of this number (from 1) is lost on the line
  bool stays_after_b = true;     // receiving: it answers a repeated 'B'
  std::function<void(int packets)> on_packet;  // after each packet read, on the peer's thread
};

class KermitPeer {
 public:
  KermitPeer(LinePair& line, PeerScript script);
  ~KermitPeer();  // stops and joins
  void join();

  // Valid once joined.
  std::vector<uint8_t> received;
  std::string received_name;
  int result = 0;             // the engine's last result
  std::atomic<int> packets{0};
  std::atomic<int> written{0};  // its packets, lost ones included
  std::atomic<bool> error_sent{false};
  bool saw_cancel = false;    // three Ctrl-C ended a read

 private:
  void run();
  LinePair& line_;
  PeerScript script_;
  kermit::KermitState k_;
  kermit::KermitResult r_;
  kermit::KermitBuffers b_;
  const char* list_[2] = {};
  size_t read_at_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
  friend struct PeerCallbacks;
};

}  // namespace tessaril::test

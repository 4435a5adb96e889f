// Inside the Kermit peer: what the two roles share, and the entry points of
// each role. Only the peer's own files include this.
#pragma once

#include "sim_kermit_peer.h"

namespace tessaril::sim::peer::detail {

// Puts a packet with the peer's current sequence number on the line, through
// the scenario's faults, and remembers it for sending again.
void put(Peer& p, char type, const Bytes& data);
// Puts bytes built earlier on the line again, through the faults.
void transmit(Peer& p, const Bytes& wire);
// The error packet with `text`, then the end with `outcome`.
void give_up(Peer& p, Outcome outcome, const std::string& text);
void finish(Peer& p, Outcome outcome, const std::string& why);
// Counts one more time-out or NAK for the packet at hand; false (and the
// transfer given up) when that is one too many.
bool count_retry(Peer& p);
int timer_ms(const Peer& p);
int next_seq(int seq);
int previous_seq(int seq);
// The send-init this device announces; `host`, when given, is the host's
// send-init it answers.
InitParams own_params(const KermitSettings& s, const InitParams* host);

void receive_start(Peer& p);
void receive_packet(Peer& p, const Packet& packet);
void receive_damaged(Peer& p);
void receive_timeout(Peer& p);

void send_start(Peer& p);
void send_packet(Peer& p, const Packet& packet);
void send_damaged(Peer& p);
void send_timeout(Peer& p);

}  // namespace tessaril::sim::peer::detail

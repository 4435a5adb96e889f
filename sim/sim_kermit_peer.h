// The device's side of a Kermit file transfer: a state machine fed with the
// bytes from the line and with the time, which leaves the bytes for the line
// in an output buffer. It owns no port and no clock, so a test can run it
// against the host's engine in one process, on a virtual clock.
//
// How it works: peer_start begins a transfer in one of two roles.
//   - Receive (after the answer to Start File Transfer, 0x0A): it waits for
//     the host's 'S', answers with its own parameters, takes 'F', 'A', 'D',
//     'Z' and 'B', and stores each file in the folder under a temporary name
//     that becomes the real one when the file is complete and its size is the
//     one the attribute packet announced.
//   - Send (after the answer to Recieve File, 0x0C): after a pause it sends
//     'S', then 'F' with the name the host asked for (the file itself is found
//     ignoring case), the 'A' packets when both sides take attributes, 'D'
//     packets, 'Z' and 'B', one packet at a time, each waiting for its 'Y'.
//     A scenario may put files the host did not ask for before or after that
//     one, each with its own 'F' ... 'Z', before the one 'B'.
// Sequence numbers run modulo 64. Receiving, a damaged packet, or one out of
// order, is answered with a NAK for the packet expected, and a repeat of the
// previous packet with the previous acknowledgement again. Sending, a NAK for
// the packet in flight sends it again, a NAK for the next one counts as the
// acknowledgement, and an acknowledgement of the packet before is ignored,
// so one duplicated 'Y' never doubles the traffic. Time-outs follow the host's
// TIME: the receiver NAKs, the sender sends its packet again. After
// `retries` of these in a row for one packet it sends an error packet and
// gives up. Receiving, once it has acknowledged 'B' and ended, a repeat of
// that 'B' gets the same acknowledgement again, as the host repeats it when
// the acknowledgement went astray. Three 0x03 bytes from the host cancel the transfer at once. The
// scenario's faults (sim_kermit_settings.h) act on the packets as they go out
// or come in.
//
// Calling: peer_start once, then peer_feed with every byte from the line and
// peer_tick whenever peer_deadline has come; after each call take `out` and
// put it on the line. The transfer has ended when peer_done is true; then
// `outcome`, `detail`, `name` and `stats` say how, and peer_report gives the
// one line for the log. A Peer owns the file it is receiving: it can be
// moved but not copied, and one dropped while running leaves no file behind.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim_kermit_params.h"
#include "sim_kermit_settings.h"
#include "sim_kermit_store.h"

namespace tessaril::sim::peer {

enum class Role { Receive, Send };

enum class Outcome {
  Running,
  Complete,     // every file stored whole (receiving), or acknowledged to the end (sending)
  Refused,      // a file was refused: by the device (scenario, a bad name) or by the host
  Cancelled,    // the host's cancel sequence came
  HostError,    // the host sent an error packet
  Failed,       // the device gave up (retries used up, a malformed packet, a size
                // other than announced, a file it could not store or read)
  Silent,       // the scenario made it fall silent
  NoTransfer,   // nothing happened: no file to send, or no send-init came
  Interrupted,  // the caller ended it (peer_abandon)
};

struct PeerSetup {
  Role role = Role::Receive;
  std::string folder = ".";
  // Sending: the file the host asked for (found ignoring case). Receiving:
  // the name announced with 0x0A, only compared with what arrives.
  std::string file;
  int64_t announced_size = -1;  // receiving: the size announced with 0x0A
  KermitSettings settings;
};

struct PeerStats {
  int64_t bytes = 0;    // file bytes stored, or sent and acknowledged
  int packets_in = 0;   // packets from the host, damaged ones included
  int packets_out = 0;  // packets put on the line (a dropped one counts)
  int retries = 0;      // its own packets sent again, and its NAKs
  int repeats = 0;      // the host's repeats of its previous packet
  int files = 0;        // files stored, or sent to the end
};

struct OutgoingFile {
  std::string name;  // as its 'F' packet carries it
  Bytes content;     // what its 'D' packets carry
  int64_t size = 0;  // what its attributes announce
};

enum class State {
  AwaitInit, AwaitFile, AwaitAttr, AwaitData,                                          // receiving
  SendStart, AwaitInitAck, AwaitFileAck, AwaitAttrAck, AwaitDataAck, AwaitEofAck, AwaitEotAck,  // sending
  Finished,
};

struct Peer {
  PeerSetup setup;
  Bytes out;  // bytes for the line; the caller takes them

  Outcome outcome = Outcome::Running;
  std::string detail;  // why it ended, in words
  std::string name;    // the file's name as it travelled
  std::string notes;   // what differed from the announcement
  PeerStats stats;

  // Protocol state.
  State state = State::Finished;
  int64_t now = 0;
  int64_t deadline = 0;
  PacketReader reader;
  InitParams mine;
  Agreement agreed;
  bool negotiated = false;
  int seq = 0;    // receiving: the packet expected; sending: the packet in flight
  int tries = 0;  // time-outs and NAKs in a row for that packet
  Bytes last_wire;  // its last packet, for sending again
  Bytes last_ack;   // receiving: its last acknowledgement
  int sent_number = 0;  // the device's packets so far, for the scenario's faults
  int host_number = 0;  // the host's packets so far

  // Receiving.
  IncomingFile incoming;
  int64_t attr_size = -1;
  bool file_refused = false;
  int64_t after_refusal = 0;  // data bytes the host sent after a refusal
  std::string file_fault;     // why a file was not stored

  // After acknowledging the host's 'B' it acknowledges a repeat of that 'B'
  // again, until the session lets it go.
  bool ended_on_b = false;
  bool b_ack_lost = false;  // drop-b-ack or lose-b-ack has happened

  // Sending: the files of the session in their order, the one asked for among them.
  std::vector<OutgoingFile> files;
  size_t file_index = 0;
  int64_t bytes_before = 0;  // bytes of the files before this one
  Bytes content;             // the file in hand, as it goes out
  size_t position = 0;  // bytes acknowledged
  size_t in_flight = 0; // bytes in the data packet awaiting its acknowledgement
  std::vector<Bytes> attr_fields;
  size_t attr_next = 0;
  bool host_refused = false;  // the file in hand
  bool any_refused = false;
};

void peer_start(Peer& peer, const PeerSetup& setup, int64_t now_ms);
void peer_feed(Peer& peer, const uint8_t* bytes, size_t count, int64_t now_ms);
void peer_tick(Peer& peer, int64_t now_ms);
// When peer_tick must be called next; INT64_MAX once the transfer has ended.
int64_t peer_deadline(const Peer& peer);
// Ends a running transfer from outside (a command frame came): nothing more is
// sent, a partly received file is removed.
void peer_abandon(Peer& peer, const std::string& why);
bool peer_done(const Peer& peer);
// "kermit receive NAME: B bytes, I packets in, O out, R retries, H repeated
// by the host, OUTCOME[: detail]"
std::string peer_report(const Peer& peer);
const char* outcome_word(Outcome outcome);

}  // namespace tessaril::sim::peer

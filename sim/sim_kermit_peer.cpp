#include <climits>

#include "sim_kermit_roles.h"

namespace tessaril::sim::peer {

namespace detail {

namespace {

// Changes the last check character so that the packet fails its check.
void spoil(Bytes& wire) {
  if (wire.size() < 2) return;
  uint8_t& c = wire[wire.size() - 2];
  c = c >= 126 ? 33 : static_cast<uint8_t>(c + 1);
}

int out_check(const Peer& p) { return p.negotiated ? p.agreed.check : 1; }

}  // namespace

int next_seq(int seq) { return (seq + 1) & 63; }
int previous_seq(int seq) { return (seq + 63) & 63; }

int timer_ms(const Peer& p) {
  if (p.setup.settings.timer_ms > 0) return p.setup.settings.timer_ms;
  return p.negotiated ? p.agreed.timer_ms : FALLBACK_TIMER_MS;
}

InitParams own_params(const KermitSettings& s, const InitParams* host) {
  InitParams m;
  m.maxl = s.maxl;
  m.time = s.time;
  m.qbin = s.qbin;
  m.chkt = s.check ? s.check : host ? host->chkt : 1;
  // Receiving, it takes the host's repeat prefix if it can; sending, it names '~'.
  if (s.rept != 0) {
    m.rept = s.rept;
  } else {
    m.rept = host && prefix_char(host->rept) && host->rept != m.qctl ? host->rept : '~';
  }
  m.capas = s.attributes ? CAPAS_ATTRIBUTES : 0;
  return m;
}

void transmit(Peer& p, const Bytes& wire) {
  if (p.outcome != Outcome::Running) return;
  const KermitSettings& s = p.setup.settings;
  const int number = p.sent_number + 1;
  if (s.silent_after >= 0 && number > s.silent_after) {
    finish(p, Outcome::Silent, "silent after " + std::to_string(s.silent_after) + " packets (scenario)");
    return;
  }
  p.sent_number = number;
  ++p.stats.packets_out;
  p.deadline = p.now + timer_ms(p);
  if (s.error_after > 0 && number == s.error_after + 1) {
    const std::string text = "Device failure (scenario)";
    const Bytes e = build_packet(Packet{p.seq, 'E', Bytes(text.begin(), text.end())}, out_check(p), p.agreed.framing);
    p.out.insert(p.out.end(), e.begin(), e.end());
    finish(p, Outcome::Failed, "error packet after " + std::to_string(s.error_after) + " packets (scenario)");
    return;
  }
  if (packet_listed(s.drop, number)) return;
  Bytes w = wire;
  if (packet_listed(s.corrupt, number)) spoil(w);
  for (int copies = packet_listed(s.duplicate, number) ? 2 : 1; copies > 0; --copies) p.out.insert(p.out.end(), w.begin(), w.end());
}

void put(Peer& p, char type, const Bytes& data) {
  p.last_wire = build_packet(Packet{p.seq, type, data}, out_check(p), p.agreed.framing);
  transmit(p, p.last_wire);
}

void finish(Peer& p, Outcome outcome, const std::string& why) {
  if (p.outcome != Outcome::Running) return;
  p.outcome = outcome;
  p.detail = why;
  p.state = State::Finished;
  incoming_discard(p.incoming);
}

void give_up(Peer& p, Outcome outcome, const std::string& text) {
  put(p, 'E', Bytes(text.begin(), text.end()));
  finish(p, outcome, text);
}

bool count_retry(Peer& p) {
  if (p.tries >= p.setup.settings.retries) {
    give_up(p, Outcome::Failed, "Too many retries");
    return false;
  }
  ++p.tries;
  ++p.stats.retries;
  return true;
}

}  // namespace detail

using namespace detail;

namespace {

std::string printable(const Bytes& bytes) {
  std::string text;
  for (uint8_t b : bytes) text += b >= 32 && b < 127 ? static_cast<char>(b) : '?';
  return text;
}

void damaged(Peer& p) {
  if (p.setup.role == Role::Receive) {
    receive_damaged(p);
  } else {
    send_damaged(p);
  }
}

void take_packet(Peer& p) {
  const int number = ++p.host_number;
  ++p.stats.packets_in;
  if (packet_listed(p.setup.settings.lose, number)) return;
  const Bytes& text = p.reader.text;
  const char type = packet_type(text);
  const int check = !p.negotiated || type == 'S' ? 1 : p.agreed.check;
  Packet packet;
  bool ok = open_packet(text, check, packet);
  // Error packets may carry check 1, and so may a late repeat of the host's
  // answer to our send-init; nothing else: a damaged data packet numbered 0
  // must not pass as a good one with a sixth of the check.
  const bool init_answer = type == 'Y' && packet_seq(text) == 0 && p.state == State::AwaitFileAck;
  if (!ok && check != 1 && (type == 'E' || init_answer)) ok = open_packet(text, 1, packet);
  // After the exchange, a packet longer than it announced is one it could not have taken in.
  if (ok && p.negotiated && type != 'S' && unchar(text[0]) > p.mine.maxl) ok = false;
  if (!ok) {
    damaged(p);
    return;
  }
  if (packet.type == 'E') {
    finish(p, Outcome::HostError, "\"" + printable(packet.data) + "\"");
    return;
  }
  if (p.setup.role == Role::Receive) {
    receive_packet(p, packet);
  } else {
    send_packet(p, packet);
  }
}

// After its acknowledgement of 'B': a good repeat of that 'B' gets the same
// acknowledgement again; nothing else is answered.
void take_after_end(Peer& p) {
  const Bytes& text = p.reader.text;
  Packet packet;
  if (packet_type(text) != 'B' || !open_packet(text, p.agreed.check, packet) || packet.seq != previous_seq(p.seq))
    return;
  ++p.stats.packets_in;
  ++p.stats.repeats;
  ++p.stats.packets_out;
  p.out.insert(p.out.end(), p.last_ack.begin(), p.last_ack.end());
}

}  // namespace

void peer_start(Peer& p, const PeerSetup& setup, int64_t now_ms) {
  p = Peer{};  // a file still open from before is removed
  p.setup = setup;
  p.now = now_ms;
  if (setup.role == Role::Receive) {
    receive_start(p);
  } else {
    send_start(p);
  }
}

void peer_feed(Peer& p, const uint8_t* bytes, size_t count, int64_t now_ms) {
  p.now = now_ms;
  if (p.outcome != Outcome::Running) {
    if (!p.ended_on_b) return;
    for (size_t i = 0; i < count; ++i)
      if (reader_push(p.reader, bytes[i]) == ReadEvent::Packet) take_after_end(p);
    return;
  }
  for (size_t i = 0; i < count && p.outcome == Outcome::Running; ++i) {
    switch (reader_push(p.reader, bytes[i])) {
      case ReadEvent::Cancel:
        finish(p, Outcome::Cancelled, "the host's cancel sequence 0x03 0x03 0x03");
        break;
      case ReadEvent::BadLen:
        ++p.host_number;
        ++p.stats.packets_in;
        damaged(p);
        break;
      case ReadEvent::Packet:
        take_packet(p);
        break;
      case ReadEvent::None:
        break;
    }
  }
}

void peer_tick(Peer& p, int64_t now_ms) {
  p.now = now_ms;
  if (p.outcome != Outcome::Running || now_ms < p.deadline) return;
  if (p.setup.role == Role::Receive) {
    receive_timeout(p);
  } else {
    send_timeout(p);
  }
}

int64_t peer_deadline(const Peer& p) { return p.outcome == Outcome::Running ? p.deadline : INT64_MAX; }

void peer_abandon(Peer& p, const std::string& why) {
  const bool untouched = p.stats.packets_in == 0 && p.stats.packets_out == 0;
  finish(p, untouched ? Outcome::NoTransfer : Outcome::Interrupted, why);
}

bool peer_done(const Peer& p) { return p.outcome != Outcome::Running; }

const char* outcome_word(Outcome outcome) {
  switch (outcome) {
    case Outcome::Running: return "running";
    case Outcome::Complete: return "complete";
    case Outcome::Refused: return "refused";
    case Outcome::Cancelled: return "cancelled";
    case Outcome::HostError: return "error from the host";
    case Outcome::Failed: return "failed";
    case Outcome::Silent: return "silent";
    case Outcome::NoTransfer: return "no transfer";
    case Outcome::Interrupted: return "interrupted";
  }
  return "?";
}

std::string peer_report(const Peer& p) {
  std::string line = p.setup.role == Role::Receive ? "kermit receive " : "kermit send ";
  line += p.name.empty() ? "-" : p.name;
  line += ": " + std::to_string(p.stats.bytes) + " bytes, " + std::to_string(p.stats.packets_in) + " packets in, " +
          std::to_string(p.stats.packets_out) + " out, " + std::to_string(p.stats.retries) + " retries, " +
          std::to_string(p.stats.repeats) + " repeated by the host, " + outcome_word(p.outcome);
  if (!p.detail.empty()) line += ": " + p.detail;
  if (!p.notes.empty()) line += " (" + p.notes + ")";
  return line;
}

}  // namespace tessaril::sim::peer

// The receiving role of the Kermit peer: the host sends, the device stores.
#include <cctype>
#include <string>

#include "sim_kermit_attr.h"
#include "sim_kermit_codec.h"
#include "sim_kermit_roles.h"

namespace tessaril::sim::peer::detail {

namespace {

Bytes text_bytes(const char* text) { return Bytes(text, text + std::char_traits<char>::length(text)); }

// Acknowledges the packet expected and moves on to the next.
void ack(Peer& p, const Bytes& data) {
  put(p, 'Y', data);
  p.last_ack = p.last_wire;
  p.seq = next_seq(p.seq);
}

void nak(Peer& p) {
  if (count_retry(p)) put(p, 'N', {});
}

bool same_name(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

void note(Peer& p, const std::string& text) {
  if (!p.notes.empty()) p.notes += "; ";
  p.notes += text;
}

void take_init(Peer& p, const Packet& packet) {
  const InitParams host = decode_params(packet.data);
  p.mine = own_params(p.setup.settings, &host);
  p.agreed = agree(p.mine, host);
  p.seq = packet.seq;
  ack(p, encode_params(p.mine));  // the exchange itself travels with check 1
  p.negotiated = true;
  p.state = State::AwaitFile;
}

void take_file_header(Peer& p, const Packet& packet) {
  Bytes decoded;
  if (!decode_field(p.agreed, packet.data, decoded)) {
    give_up(p, Outcome::Failed, "Malformed file name");
    return;
  }
  p.name.assign(decoded.begin(), decoded.end());
  if (!p.setup.file.empty() && !same_name(p.name, p.setup.file)) note(p, "announced as " + p.setup.file);
  if (p.setup.settings.refuse == Refusal::Error) {
    give_up(p, Outcome::Refused, "File refused");
    return;
  }
  std::string why;
  if (!incoming_open(p.incoming, p.setup.folder, p.name, why)) {
    give_up(p, Outcome::Refused, "Cannot store the file: " + why);
    return;
  }
  p.attr_size = -1;
  p.file_refused = false;
  p.state = State::AwaitAttr;
  ack(p, {});
}

void take_attributes(Peer& p, const Packet& packet) {
  Attributes attributes;
  if (!parse_attributes(packet.data, attributes)) {
    give_up(p, Outcome::Failed, "Malformed attributes");
    return;
  }
  if (attributes.size) p.attr_size = *attributes.size;
  if (p.setup.settings.refuse == Refusal::Attributes) p.file_refused = true;
  ack(p, text_bytes(p.file_refused ? "N" : "Y"));
}

void take_data(Peer& p, const Packet& packet) {
  Bytes decoded;
  if (!decode_field(p.agreed, packet.data, decoded)) {
    give_up(p, Outcome::Failed, "Malformed data packet");
    return;
  }
  p.state = State::AwaitData;
  if (p.setup.settings.refuse == Refusal::Data) p.file_refused = true;
  if (p.file_refused) {
    // 'X' asks the sender to stop this file; whatever still comes is counted.
    p.after_refusal += static_cast<int64_t>(decoded.size());
    ack(p, text_bytes("X"));
    return;
  }
  if (!incoming_write(p.incoming, decoded)) {
    give_up(p, Outcome::Failed, "Cannot write the file");
    return;
  }
  p.stats.bytes += static_cast<int64_t>(decoded.size());
  ack(p, {});
}

void take_end_of_file(Peer& p, const Packet& packet) {
  const bool discard = !packet.data.empty() && packet.data[0] == 'D';
  const int64_t got = p.incoming.bytes;
  std::string fault;
  if (p.file_refused) {
    fault = "refused";
    if (p.setup.settings.refuse == Refusal::Attributes && p.after_refusal > 0)
      fault += ", and the host sent " + std::to_string(p.after_refusal) + " bytes after the refusal";
  } else if (discard) {
    fault = "discarded by the host";
  } else if (p.attr_size >= 0 && p.attr_size != got) {
    // Acknowledged, this 'Z' would tell the host its file is stored: it is
    // told otherwise, with an error packet.
    give_up(p, Outcome::Failed,
            std::to_string(got) + " bytes arrived, " + std::to_string(p.attr_size) + " announced in the attributes");
    return;
  }
  if (!fault.empty()) {
    incoming_discard(p.incoming);
    if (p.file_fault.empty()) p.file_fault = fault;
  } else if (!incoming_commit(p.incoming)) {
    give_up(p, Outcome::Failed, "Cannot store the file");
    return;
  } else {
    ++p.stats.files;
    if (p.setup.announced_size >= 0 && p.setup.announced_size != got)
      note(p, "announced size " + std::to_string(p.setup.announced_size));
  }
  p.state = State::AwaitFile;
  ack(p, {});
}

void take_end_of_transfer(Peer& p) {
  if (p.setup.settings.drop_b_ack) {
    // Built and remembered for a repeat of the 'B', but lost on the way.
    p.last_ack = build_packet(Packet{p.seq, 'Y', {}}, p.agreed.check, p.agreed.framing);
    p.seq = next_seq(p.seq);
    p.b_ack_lost = true;
  } else {
    ack(p, {});
  }
  p.ended_on_b = true;
  if (!p.file_fault.empty()) {
    finish(p, p.file_refused ? Outcome::Refused : Outcome::Failed, p.file_fault);
  } else if (p.stats.files == 0) {
    finish(p, Outcome::Failed, "the host ended without a file");
  } else {
    finish(p, Outcome::Complete, "");
  }
}

void unexpected(Peer& p, char type) {
  give_up(p, Outcome::Failed, std::string("Unexpected packet type ") + (type >= 32 && type < 127 ? type : '?'));
}

}  // namespace

void receive_start(Peer& p) {
  p.state = State::AwaitInit;
  p.deadline = p.now + p.setup.settings.wait_ms;
}

void receive_packet(Peer& p, const Packet& packet) {
  // Acknowledgements are the sender's business; a stray one gets no answer.
  if (packet.type == 'Y' || packet.type == 'N') return;
  if (p.state == State::AwaitInit) {
    if (packet.type == 'S') take_init(p, packet);
    return;
  }
  if (packet.seq != p.seq) {
    if (packet.seq == previous_seq(p.seq)) {
      // Our acknowledgement went astray: the same one again.
      ++p.stats.repeats;
      transmit(p, p.last_ack);
    } else {
      nak(p);
    }
    return;
  }
  p.tries = 0;
  const char t = packet.type;
  switch (p.state) {
    case State::AwaitFile:
      if (t == 'F') {
        take_file_header(p, packet);
      } else if (t == 'B') {
        take_end_of_transfer(p);
      } else {
        unexpected(p, t);
      }
      break;
    case State::AwaitAttr:
    case State::AwaitData:
      if (t == 'A' && p.state == State::AwaitAttr) {
        take_attributes(p, packet);
      } else if (t == 'D') {
        take_data(p, packet);
      } else if (t == 'Z') {
        take_end_of_file(p, packet);
      } else {
        unexpected(p, t);
      }
      break;
    default:
      break;
  }
}

void receive_damaged(Peer& p) {
  // Before the host's send-init anything on the line may be left-over noise.
  if (p.state != State::AwaitInit) nak(p);
}

void receive_timeout(Peer& p) {
  if (p.state == State::AwaitInit) {
    finish(p, Outcome::NoTransfer, "no send-init from the host in " + std::to_string(p.setup.settings.wait_ms) + " ms");
    return;
  }
  nak(p);
}

}  // namespace tessaril::sim::peer::detail

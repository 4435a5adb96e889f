// The sending role of the Kermit peer: the device sends a file of its folder.
#include "sim_kermit_attr.h"
#include "sim_kermit_codec.h"
#include "sim_kermit_roles.h"

namespace tessaril::sim::peer::detail {

namespace {

// Data characters one packet may carry: the host's MAXL less SEQ, TYPE and
// the check.
size_t capacity(const Peer& p) { return static_cast<size_t>(p.agreed.their_maxl - 2 - p.agreed.check); }

void next_packet(Peer& p, char type, const Bytes& data, State state) {
  p.seq = next_seq(p.seq);
  p.tries = 0;
  p.state = state;
  put(p, type, data);
}

void send_data_or_end(Peer& p) {
  if (p.position >= p.content.size()) {
    next_packet(p, 'Z', {}, State::AwaitEofAck);
    return;
  }
  Bytes field;
  p.in_flight = encode_field(p.agreed, p.content, p.position, capacity(p), field);
  next_packet(p, 'D', field, State::AwaitDataAck);
}

// The file ends early, marked for discarding: the host refused it.
void stop_file(Peer& p, const std::string& why) {
  p.host_refused = true;
  p.detail = why;
  next_packet(p, 'Z', {'D'}, State::AwaitEofAck);
}

void send_file_header(Peer& p) {
  const std::string& name = p.name;
  Bytes field;
  if (encode_field(p.agreed, Bytes(name.begin(), name.end()), 0, capacity(p), field) < name.size()) {
    give_up(p, Outcome::Failed, "File name too long for one packet");
    return;
  }
  next_packet(p, 'F', field, State::AwaitFileAck);
}

void send_next_attributes(Peer& p) {
  next_packet(p, 'A', p.attr_fields[p.attr_next++], State::AwaitAttrAck);
}

void acknowledged(Peer& p, const Bytes& data) {
  const uint8_t first = data.empty() ? 0 : data[0];
  switch (p.state) {
    case State::AwaitInitAck:
      p.agreed = agree(p.mine, decode_params(data));
      p.negotiated = true;
      send_file_header(p);
      break;
    case State::AwaitFileAck:
      if (p.agreed.attributes) {
        const int64_t size = p.setup.settings.size.value_or(static_cast<int64_t>(p.content.size()));
        p.attr_fields = build_attributes(size, capacity(p));
        p.attr_next = 0;
      }
      if (p.attr_next < p.attr_fields.size()) {
        send_next_attributes(p);
      } else {
        send_data_or_end(p);
      }
      break;
    case State::AwaitAttrAck:
      if (first == 'N') {
        stop_file(p, "the host refused the file in its answer to the attributes");
      } else if (p.attr_next < p.attr_fields.size()) {
        send_next_attributes(p);
      } else {
        send_data_or_end(p);
      }
      break;
    case State::AwaitDataAck:
      p.position += p.in_flight;
      p.in_flight = 0;
      p.stats.bytes = static_cast<int64_t>(p.position);
      if (first == 'X' || first == 'Z') {
        stop_file(p, std::string("the host asked to stop the file ('") + static_cast<char>(first) + "')");
      } else {
        send_data_or_end(p);
      }
      break;
    case State::AwaitEofAck:
      if (!p.host_refused) ++p.stats.files;
      next_packet(p, 'B', {}, State::AwaitEotAck);
      break;
    case State::AwaitEotAck:
      finish(p, p.host_refused ? Outcome::Refused : Outcome::Complete, p.host_refused ? p.detail : "");
      break;
    default:
      break;
  }
}

}  // namespace

void send_start(Peer& p) {
  std::string real_name;
  if (!read_outgoing(p.setup.folder, p.setup.file, real_name, p.content)) {
    p.name = p.setup.file;
    finish(p, Outcome::NoTransfer, "no file of that name in the folder");
    return;
  }
  // The name as the host asked for it: the host compares the name in the 'F'
  // packet with the one it asked for, and asks in upper case.
  p.name = p.setup.settings.name.value_or(p.setup.file);
  p.state = State::SendStart;
  p.deadline = p.now + p.setup.settings.delay_ms;
}

void send_packet(Peer& p, const Packet& packet) {
  if (p.state == State::SendStart) return;
  if (packet.type == 'N') {
    if (packet.seq == next_seq(p.seq)) {
      // A NAK for the next packet means this one arrived.
      p.tries = 0;
      acknowledged(p, {});
    } else if (packet.seq == p.seq && count_retry(p)) {
      transmit(p, p.last_wire);
    }
    return;
  }
  if (packet.type != 'Y') return;
  if (packet.seq == p.seq) {
    p.tries = 0;
    acknowledged(p, packet.data);
  } else if (packet.seq == previous_seq(p.seq)) {
    // Answering a repeated acknowledgement would send every later packet twice.
    ++p.stats.repeats;
  }
}

void send_damaged(Peer& p) {
  if (p.state != State::SendStart && count_retry(p)) transmit(p, p.last_wire);
}

void send_timeout(Peer& p) {
  if (p.state == State::SendStart) {
    p.mine = own_params(p.setup.settings, nullptr);
    p.seq = 0;
    p.state = State::AwaitInitAck;
    put(p, 'S', encode_params(p.mine));
    return;
  }
  if (count_retry(p)) transmit(p, p.last_wire);
}

}  // namespace tessaril::sim::peer::detail

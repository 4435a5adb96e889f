// The sending role of the Kermit peer: the device sends a file of its folder.
#include <algorithm>

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
  const OutgoingFile& file = p.files[p.file_index];
  const std::string& name = file.name;
  p.content = file.content;
  p.position = 0;
  p.in_flight = 0;
  p.host_refused = false;
  p.attr_fields.clear();
  p.attr_next = 0;
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
      if (p.agreed.attributes) p.attr_fields = build_attributes(p.files[p.file_index].size, capacity(p));
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
      p.stats.bytes = p.bytes_before + static_cast<int64_t>(p.position);
      if (first == 'X' || first == 'Z') {
        stop_file(p, std::string("the host asked to stop the file ('") + static_cast<char>(first) + "')");
      } else {
        send_data_or_end(p);
      }
      break;
    case State::AwaitEofAck:
      if (!p.host_refused) ++p.stats.files;
      p.any_refused |= p.host_refused;
      p.bytes_before += static_cast<int64_t>(p.position);
      if (++p.file_index < p.files.size()) {
        send_file_header(p);
      } else {
        next_packet(p, 'B', {}, State::AwaitEotAck);
      }
      break;
    case State::AwaitEotAck:
      finish(p, p.any_refused ? Outcome::Refused : Outcome::Complete, p.any_refused ? p.detail : "");
      break;
    default:
      break;
  }
}

// A file the host did not ask for: the folder's file of that name if there
// is one, else a short text that says what it is.
OutgoingFile extra_file(const Peer& p, const std::string& name) {
  OutgoingFile file;
  file.name = name;
  std::string real_name;
  if (!read_outgoing(p.setup.folder, name, real_name, file.content)) {
    const std::string text = "; " + name + ": a file the host did not ask for\r\n";
    file.content.assign(text.begin(), text.end());
  }
  file.size = static_cast<int64_t>(file.content.size());
  return file;
}

// Far past the end: four times the file, and at least 4 KiB more, its own
// bytes over again.
Bytes endless_content(const Bytes& content) {
  const size_t total = std::max(4 * content.size(), content.size() + 4096);
  Bytes more = content.empty() ? Bytes{'E'} : content;
  Bytes out;
  out.reserve(total);
  while (out.size() < total)
    out.insert(out.end(), more.begin(),
               more.begin() + static_cast<std::ptrdiff_t>(std::min(more.size(), total - out.size())));
  return out;
}

}  // namespace

void send_start(Peer& p) {
  const KermitSettings& s = p.setup.settings;
  OutgoingFile asked;
  std::string real_name;
  if (!read_outgoing(p.setup.folder, p.setup.file, real_name, asked.content)) {
    p.name = p.setup.file;
    finish(p, Outcome::NoTransfer, "no file of that name in the folder");
    return;
  }
  // The name as the host asked for it: the host compares the name in the 'F'
  // packet with the one it asked for, and asks in upper case.
  asked.name = s.name.value_or(p.setup.file);
  asked.size = s.size.value_or(static_cast<int64_t>(asked.content.size()));
  if (s.endless) asked.content = endless_content(asked.content);
  p.name = asked.name;
  for (const std::string& name : s.extra_before) p.files.push_back(extra_file(p, name));
  p.files.push_back(std::move(asked));
  for (const std::string& name : s.extra_after) p.files.push_back(extra_file(p, name));
  if (p.files.size() > 1) p.notes = std::to_string(p.files.size()) + " files in the session";
  if (s.endless) p.notes += std::string(p.notes.empty() ? "" : "; ") + "endless";
  p.state = State::SendStart;
  p.deadline = p.now + (s.with_answer ? 0 : s.delay_ms);
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
  if (packet.seq == p.seq && p.state == State::AwaitEotAck && p.setup.settings.lose_b_ack && !p.b_ack_lost) {
    p.b_ack_lost = true;  // as if the line had lost it
    return;
  }
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

#include "sim_buc.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>

#include "link/frame_codec.h"
#include "sim_catalogue.h"
#include "sim_kermit_packet.h"

namespace tessaril::sim {

namespace {

constexpr int RSP_SUCCESS = 0x01;
constexpr int RSP_INVALID_FCS = 0x04;
constexpr int RSP_LENGTH_MISMATCH = 0x07;
constexpr int RSP_UNRECOGNIZED = 0x1F;
constexpr size_t LONG_ANSWER_DATA = 260;  // 269 bytes on the wire, over one 255-byte read

Bytes encode(const Bytes& raw) {
  Bytes out(raw.empty() ? 0 : 2 * raw.size());
  out.resize(link::rfc1055_encode(raw.data(), raw.size(), out.data()));
  return out;
}

std::string hex(uint8_t b) {
  char s[8];
  std::snprintf(s, sizeof s, "0x%02X", b);
  return s;
}

// The command's data field up to its first zero byte.
std::string data_text(const Bytes& frame, size_t data_len) {
  std::string text;
  for (size_t i = 0; i < data_len && frame[6 + i] != 0; ++i) text += static_cast<char>(frame[6 + i]);
  return text;
}

// What a transfer whose last packet went out twice leaves on the line: the
// device's acknowledgement of 'B' twice, and a NAK from its time-out.
Bytes stale_kermit_packets() {
  Bytes out;
  for (const peer::Packet& p : {peer::Packet{5, 'Y', {}}, peer::Packet{5, 'Y', {}}, peer::Packet{6, 'N', {}}}) {
    const Bytes packet = peer::build_packet(p, 1, peer::Framing{});
    out.insert(out.end(), packet.begin(), packet.end());
  }
  return out;
}

void apply_fault(Reply& reply, const Rule& rule, uint8_t answer_code, const Bytes& previous) {
  Bytes raw;
  switch (rule.fault) {
    case Fault::None:
      break;
    case Fault::NoAnswer:
      reply.wire.clear();
      break;
    case Fault::BadCrc:
      // wire is encoded; spoil the raw frame and encode again
      raw.resize(reply.wire.size());
      raw.resize(link::rfc1055_decode(reply.wire.data(), reply.wire.size(), raw.data()));
      raw[raw.size() - 2] ^= 0x5A;
      reply.wire = encode(raw);
      break;
    case Fault::Short:
      reply.wire.erase(reply.wire.end() - std::min<std::ptrdiff_t>(3, static_cast<std::ptrdiff_t>(reply.wire.size())), reply.wire.end());
      break;
    case Fault::Long:
      reply.wire = encode(build_answer(static_cast<uint8_t>(answer_code & 0x7F), 0, rule.rsp.value_or(1),
                                       Bytes(LONG_ANSWER_DATA, 'L')));
      break;
    case Fault::Garbage:
      reply.wire = {0x47, 0x41, 0x52, 0x42, 0x41, 0x47, 0x45, 0x00, 0xFF, 0x13, 0x11, 0xDB, 0x7E};
      break;
    case Fault::Late:
      reply.delay_ms = rule.late_ms;
      break;
    case Fault::Twice:
      reply.repeat = 2;
      reply.repeat_gap_ms = rule.twice_gap_ms;
      break;
    case Fault::Noise:
      reply.wire.insert(reply.wire.begin(), {0x00, 0xFF, 0x55, 0xAA});
      break;
    case Fault::StaleAnswer:
      reply.wire.insert(reply.wire.begin(), previous.begin(), previous.end());
      break;
    case Fault::StaleKermit: {
      const Bytes stale = stale_kermit_packets();
      reply.wire.insert(reply.wire.begin(), stale.begin(), stale.end());
      break;
    }
  }
}

}  // namespace

Bytes build_answer(uint8_t command, uint16_t seq, int rsp, const Bytes& data) {
  const uint8_t code = static_cast<uint8_t>(command | 0x80);
  const uint8_t status = static_cast<uint8_t>((rsp & 0x1F) << 3);
  // The host finds the status byte by the answer's code: at offset 3 from
  // 0xF0 up (the extended form), so an unknown command 0xF0-0xFF is answered
  // in that form too.
  Bytes f(data.size() + link::FRAME_OVERHEAD);
  link::build_frame(code, status, seq, code >= 0xF0, data.data(), data.size(), f.data());
  return f;
}

Reply answer_frame(BucState& state, const Bytes& frame) {
  Reply reply;
  if (frame.size() < link::FRAME_HEADER) {
    reply.note = "frame of " + std::to_string(frame.size()) + " bytes, too short for a header: no answer";
    return reply;
  }
  const uint8_t code = frame[0];
  const bool extended = code >= 0x70 && code <= 0x7F;
  // The extended header carries no sequence number; echo 0 there.
  const uint16_t seq = extended ? 0 : static_cast<uint16_t>(frame[2] << 8 | frame[3]);
  const size_t data_len = static_cast<size_t>(frame[4] << 8 | frame[5]);
  CommandResult result;
  std::string what = hex(code) + " " + command_name(code);
  if (frame.size() < link::FRAME_OVERHEAD || frame.size() != data_len + link::FRAME_OVERHEAD) {
    result.rsp = RSP_LENGTH_MISMATCH;
    what += ": data length " + std::to_string(data_len) + " in a frame of " + std::to_string(frame.size());
  } else if (!link::frame_crc_ok(frame.data(), frame.size())) {
    result.rsp = RSP_INVALID_FCS;
    what += ": bad CRC";
  } else if (!run_command(state, code, data_text(frame, data_len), result)) {
    result.rsp = RSP_UNRECOGNIZED;
    what += ": unknown command";
  }
  std::optional<Rule> rule = take_rule(state.scenario, code);
  if (rule) {
    if (rule->rsp) result.rsp = *rule->rsp;
    if (rule->data) result.data = *rule->data;
    reply.delay_ms = rule->delay_ms;
  }
  reply.wire = encode(build_answer(code, seq, result.rsp, result.data));
  const Bytes previous = state.last_answer;
  state.last_answer = reply.wire;
  if (rule) apply_fault(reply, *rule, static_cast<uint8_t>(code | 0x80), previous);
  what += " -> rsp " + hex(static_cast<uint8_t>(result.rsp));
  if (rule && rule->fault != Fault::None) what += std::string(", fault ") + fault_name(rule->fault);
  reply.note = what;
  const bool intact = !rule || rule->fault == Fault::None || rule->fault == Fault::Late ||
                      rule->fault == Fault::Twice || rule->fault == Fault::Noise || rule->fault == Fault::StaleAnswer ||
                      rule->fault == Fault::StaleKermit;
  if ((code == 0x0A || code == 0x0C) && result.rsp == RSP_SUCCESS && intact &&
      frame.size() == data_len + link::FRAME_OVERHEAD) {
    reply.transfer = code;
    reply.transfer_text = data_text(frame, data_len);
  }
  return reply;
}

}  // namespace tessaril::sim

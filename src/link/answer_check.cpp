#include "link/answer_check.h"

#include <algorithm>
#include <cstring>

#include "link/frame_codec.h"
#include "link/session.h"
#include "status/status_codes.h"

namespace tessaril::link {

namespace {

constexpr const char* response_texts[32] = {
    "RSP=Failure(0x00)",
    "RSP=Success(0x01)",
    "RSP=Message recv tmo(0x02)",
    "RSP=Invalid cmd seq num(0x03)",
    "RSP=Invalid FCS detected(0x04)",
    "RSP=Incompatible cmd ver(0x05)",
    "RSP=Invalid 3rd-party cmd(0x06)",
    "RSP=data-len&field mismatch(0x07)",
    "RSP=File recieve fail(0x08)",
    "RSP=BUC Inp-buf Overrun(0x09)",
    "RSP=Modem cmd field err(0x0A)",
    "RSP=Upgrade fail(0x0B)",
    "RSP=unknown rsp_code", "RSP=unknown rsp_code", "RSP=unknown rsp_code", "RSP=unknown rsp_code",
    "RSP=unknown rsp_code", "RSP=unknown rsp_code", "RSP=unknown rsp_code", "RSP=unknown rsp_code",
    "RSP=unknown rsp_code", "RSP=unknown rsp_code", "RSP=unknown rsp_code", "RSP=unknown rsp_code",
    "RSP=unknown rsp_code", "RSP=unknown rsp_code", "RSP=unknown rsp_code", "RSP=unknown rsp_code",
    "RSP=unknown rsp_code", "RSP=unknown rsp_code",
    "RSP=unimplemented cmd(0x1E)",
    "RSP=unrecognized cmd(0x1F)",
};

bool ends_with(const char* name, int length, const char* suffix) {
  int n = static_cast<int>(std::strlen(suffix));
  return length >= n && std::memcmp(name + length - n, suffix, static_cast<size_t>(n)) == 0;
}

}  // namespace

const char* response_text(int code) { return response_texts[code & 0x1F]; }

int response_code(const uint8_t* frame) {
  uint8_t status = frame[0] >= ANSWER_EXTENDED_FIRST ? frame[3] : frame[1];
  return status >> 3;
}

AnswerLength check_answer_length(Session& s, const uint8_t* received, int count, uint8_t* decoded) {
  if (count < static_cast<int>(FRAME_OVERHEAD)) return {0, status::ST_ANS_RECV_SIZE_ERR};
  s.report_traffic(TrafficDirection::Received, TrafficForm::Hex, received, static_cast<size_t>(count));
  int m = static_cast<int>(rfc1055_decode(received, static_cast<size_t>(count), decoded));
  // Escapes can shrink a read below the header; such a read cannot be a frame.
  if (m < static_cast<int>(FRAME_HEADER)) {
    s.report_traffic(TrafficDirection::Received, TrafficForm::DataField, decoded, static_cast<size_t>(m));
    return {m, status::ST_ANS_RECV_SIZE_ERR};
  }
  int expected = decoded[4] * 256 + decoded[5] + static_cast<int>(FRAME_OVERHEAD);
  int length = std::min(m, expected);
  s.report_traffic(TrafficDirection::Received, TrafficForm::DataField, decoded, static_cast<size_t>(length));
  return {length, length == expected ? status::ST_ANS_RECV_OK : status::ST_ANS_RECV_SIZE_ERR};
}

bool parse_file_announcement(const uint8_t* data, int data_len, char* name, int32_t& size) {
  bool ok = data_len > 0 && std::memchr(data, ',', static_cast<size_t>(data_len)) != nullptr;
  int i = 0;
  int k = 0;
  while (i < data_len && k < ANNOUNCED_NAME_MAX && data[i] != ',') {
    const uint8_t c = data[i++];
    const auto stored = static_cast<uint8_t>(c >= 0x60 ? c - 0x20 : c);
    // A zero byte would end the name early; upper-casing turns 0x9F into DEL.
    if (c < 0x20 || c == 0x7F || stored == 0x7F) ok = false;
    name[k++] = static_cast<char>(stored);
  }
  name[k] = '\0';
  if (!ends_with(name, k, ".XML") && !ends_with(name, k, ".GZ")) ok = false;
  // The size follows the ','; after a name cut at 29 characters the 30th
  // character is passed over, whatever it is.
  if (i < data_len && (data[i] == ',' || k == ANNOUNCED_NAME_MAX)) {
    ++i;
  } else {
    size = 0;
    return false;
  }
  int64_t value = 0;
  int digits = 0;
  bool terminated = false;
  while (i < data_len) {
    uint8_t c = data[i++];
    if (c == 0) {
      terminated = true;
      break;
    }
    if (c < '0' || c > '9') ok = false;
    value = value * 10 + (c - '0');
    if (++digits > ANNOUNCED_SIZE_DIGITS_MAX) {
      ok = false;  // a seventh character: more than the device may announce
      break;
    }
  }
  if (!terminated) ok = false;
  size = static_cast<int32_t>(value);
  return ok;
}

AnswerVerdict judge_answer(const uint8_t* frame, int length, int32_t known_size) {
  AnswerVerdict v;
  v.file_size = known_size;
  if (length < static_cast<int>(FRAME_OVERHEAD) || !frame_crc_ok(frame, static_cast<size_t>(length))) {
    v.text = CRC_NG_TEXT;
  } else {
    const int code = response_code(frame);
    v.text = response_text(code);
    v.ok = code == RESPONSE_SUCCESS;
  }
  if (length >= static_cast<int>(FRAME_OVERHEAD) &&
      (frame[0] == ANSWER_GET_CAL_FILE || frame[0] == ANSWER_GET_CAL_FILE_EX)) {
    v.announces_file = true;
    const int data_len = length - static_cast<int>(FRAME_OVERHEAD);
    if (!parse_file_announcement(frame + FRAME_HEADER, data_len, v.file_name, v.file_size)) v.ok = false;
  }
  return v;
}

void validate_answer(Session& s, const uint8_t* frame, int length) {
  const AnswerVerdict v = judge_answer(frame, length, s.rx_file_size.load());
  s.report_step_result(s.frame_slot.load(), v.text);
  if (v.announces_file) {
    std::memcpy(s.rx_file_name, v.file_name, sizeof s.rx_file_name);
    s.rx_file_size.store(v.file_size);
  }
  s.rsp_ok.store(v.ok ? 1 : 0);
  clear_command(s.rx_command, RX_AWAIT_ANSWER);
  s.report_link_event(length > 0 ? frame[0] : 0, LinkEventKind::AnswerValidated);
}

}  // namespace tessaril::link

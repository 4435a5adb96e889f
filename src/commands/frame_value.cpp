#include "commands/frame_value.h"

#include <algorithm>

#include "commands/command_table.h"

namespace tessaril::commands {

namespace {

constexpr uint8_t FILLER = 0x30;

}  // namespace

Frame build_frame(uint8_t code, bool with_data, std::string_view text, uint16_t seq, uint8_t end_code) {
  Frame f;
  const size_t n = with_data ? text.size() + 1 : 0;
  const auto len = static_cast<uint16_t>(n);
  f.header[0] = code;
  if (is_extended_code(code)) {
    f.header[1] = EXT_HEADER_TAG;
    f.header[2] = static_cast<uint8_t>((n + link::FRAME_HEADER) & 0xFF);
    f.header[3] = HEADER_TAG;
  } else {
    f.header[1] = HEADER_TAG;
    f.header[2] = static_cast<uint8_t>(seq >> 8);
    f.header[3] = static_cast<uint8_t>(seq & 0xFF);
  }
  f.header[4] = static_cast<uint8_t>(len >> 8);
  f.header[5] = static_cast<uint8_t>(len & 0xFF);

  f.data.resize(n, FILLER);
  const size_t held = std::min(n, static_cast<size_t>(DATA_CAPACITY));
  for (size_t i = 0; i < held; ++i) f.data[i] = i < text.size() ? static_cast<uint8_t>(text[i]) : 0x00;
  if (n > 0) f.data[n - 1] = 0x00;

  std::vector<uint8_t> covered(f.header.begin(), f.header.end());
  covered.insert(covered.end(), f.data.begin(), f.data.end());
  f.crc = static_cast<uint16_t>(~link::frame_crc(covered.data(), covered.size()));
  f.end_code = end_code;
  return f;
}

std::vector<uint8_t> frame_bytes(const Frame& frame) {
  std::vector<uint8_t> out(frame.header.begin(), frame.header.end());
  out.insert(out.end(), frame.data.begin(), frame.data.end());
  out.push_back(static_cast<uint8_t>(frame.crc >> 8));
  out.push_back(static_cast<uint8_t>(frame.crc & 0xFF));
  out.push_back(frame.end_code);
  if (out.size() > link::FRAME_MAX) out.resize(link::FRAME_MAX);
  return out;
}

}  // namespace tessaril::commands

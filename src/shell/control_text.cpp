#include "shell/control_text.h"

#include <algorithm>

namespace tessaril::shell {

std::string read_control_text(platform::DialogHandle dialog, int id, int max_chars) {
  if (max_chars <= 0) return {};
  std::string buffer(static_cast<size_t>(max_chars) + 1, '\0');
  const int n = platform::get_control_text(dialog, id, buffer.data(), max_chars + 1);
  buffer.resize(static_cast<size_t>(std::clamp(n, 0, max_chars)));
  return buffer;
}

}  // namespace tessaril::shell

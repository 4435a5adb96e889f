// Reading a control's text with a read limit, as GetWindowTextA with a
// buffer of limit + 1 bytes does: the text is cut at the limit, never beyond.
#pragma once

#include <string>

#include "platform/controls.h"

namespace tessaril::shell {

// At most max_chars bytes of the control's text (empty for max_chars <= 0).
std::string read_control_text(platform::DialogHandle dialog, int id, int max_chars);

}  // namespace tessaril::shell

#include "shell/center_window.h"

namespace tessaril::shell {

platform::Rect centered_rect(const platform::Rect& area, int width, int height) {
  // In 64 bits: sums of far-off coordinates must not overflow before the division.
  const long long x = (static_cast<long long>(area.left) + area.right - width) / 2;
  const long long y = (static_cast<long long>(area.top) + area.bottom - height) / 2;
  platform::Rect r;
  r.left = static_cast<int>(x);
  r.top = static_cast<int>(y);
  r.right = static_cast<int>(x + width);
  r.bottom = static_cast<int>(y + height);
  return r;
}

void center_window(platform::DialogHandle dialog) {
  const platform::Rect area = platform::work_area();
  const platform::Rect window = platform::window_rect(dialog);
  platform::move_window(dialog, centered_rect(area, window.right - window.left, window.bottom - window.top));
  platform::show_window(dialog);
}

void on_dialog_paint(platform::DialogHandle) {}

}  // namespace tessaril::shell

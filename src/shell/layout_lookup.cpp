// The look-up shared by both layouts.
#include "shell/layout_tables.h"

namespace tessaril::shell {

const platform::ControlSpec* find_control_spec(const platform::DialogTemplate& layout, int id) {
  if (id == IDC_STATIC) return nullptr;
  for (size_t i = 0; i < layout.control_count; ++i)
    if (layout.controls[i].id == id) return &layout.controls[i];
  return nullptr;
}

}  // namespace tessaril::shell

// The observer of control changes that every back end reports to the script
// player.
//
// How it works: one observer per process, set through the driver's
// set_change_observer and called from whichever thread changed a control,
// after the change and outside the back end's locks. A back end builds its
// set_text, list_add and set_window_text entries from its own primitives
// with the templates below, so a change is reported only when it took (the
// dialog and control exist, the list box took the line) on every back end.
#pragma once

#include <string_view>

#include "platform/controls.h"
#include "ui/script/ui_driver.h"

namespace tessaril::ui::observed {

void set_change_observer(ChangeObserver fn);
// Calls the observer, if one is set.
void notify(platform::DialogHandle dialog, int id, ChangeKind kind, std::string_view text);

// The UiBackend entries from primitives that tell whether the change took.
template <bool (*Set)(platform::DialogHandle, int, std::string_view)>
void set_text(platform::DialogHandle dialog, int id, std::string_view text) {
  if (Set(dialog, id, text)) notify(dialog, id, ChangeKind::Text, text);
}

template <int (*Add)(platform::DialogHandle, int, std::string_view)>
int list_add(platform::DialogHandle dialog, int id, std::string_view line) {
  const int index = Add(dialog, id, line);
  if (index >= 0) notify(dialog, id, ChangeKind::ListAdd, line);
  return index;
}

template <bool (*Set)(platform::DialogHandle, std::string_view)>
void set_window_text(platform::DialogHandle dialog, std::string_view text) {
  if (Set(dialog, text)) notify(dialog, 0, ChangeKind::Caption, text);
}

}  // namespace tessaril::ui::observed

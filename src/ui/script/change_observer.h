// The observer of control changes that a desktop back end (Qt, Win32)
// reports to the script player: one per process, set through the driver's
// set_change_observer and called from any thread that changes a control.
#pragma once

#include <string_view>

#include "platform/controls.h"
#include "ui/script/ui_driver.h"

namespace tessaril::ui::observed {

void set_change_observer(ChangeObserver fn);
// Calls the observer, if one is set.
void notify(platform::DialogHandle dialog, int id, ChangeKind kind, std::string_view text);

}  // namespace tessaril::ui::observed

// Window helpers used by both dialogs.
//
// How it works: center_window reads the desktop work area (the screen less
// the task bars) and the dialog's window rectangle through the control layer,
// moves the dialog so that it sits in the middle of the area at its own size,
// and shows it. on_dialog_paint is the dialogs' WM_PAINT handler: neither
// dialog draws anything of its own, the controls paint themselves.
#pragma once

#include "platform/controls.h"

namespace tessaril::shell {

// The rectangle of width w and height h centred in area: x = (left + right - w)
// / 2 and y = (top + bottom - h) / 2, each division truncating toward zero. A
// dialog larger than the area gets a negative offset, as on Windows.
platform::Rect centered_rect(const platform::Rect& area, int width, int height);

// Moves the dialog to the centre of the work area, keeping its size, and
// shows it.
void center_window(platform::DialogHandle dialog);

// WM_PAINT of both dialogs: nothing to draw.
void on_dialog_paint(platform::DialogHandle dialog);

}  // namespace tessaril::shell

// The dialogs of the Win32 back end: a layout table run as a Windows dialog.
//
// How it works: run_dialog builds the layout's in-memory template
// (win32_template.h) and runs it with DialogBoxIndirectParamA, owned by the
// owner's window. Windows' modal loop serves the messages of every window of
// the thread, so a dialog started from a procedure nests as on Windows, and
// keyboard handling is the dialog manager's: Tab walks the tab stops, Enter
// clicks the default push button, Esc sends WM_COMMAND IDCANCEL, the close
// box sends WM_CLOSE; the procedure decides what ends a dialog.
//
// One window procedure serves every dialog. WM_INITDIALOG ties the window
// to a new handle (win32_calls.h); from then on each message goes to the
// program's procedure with the handle in place of the window, except the
// back end's private messages (control calls, handed-over work). WM_PAINT is
// validated with BeginPaint and EndPaint after the procedure has seen it:
// the dialogs draw nothing of their own.
//
// Dialogs for tests are made with CreateDialogIndirectParamA on the calling
// thread: hidden, no procedure, no pump.
#pragma once

#include <cstdint>

#include "platform/controls.h"
#include "ui/win32/win32_api.h"

namespace tessaril::ui::win32 {

intptr_t run_dialog(const platform::DialogTemplate& layout, platform::DialogHandle owner, platform::DialogProc proc,
                    intptr_t init_param);
void end_dialog(platform::DialogHandle dialog, intptr_t result);

platform::DialogHandle create_test_dialog(const platform::DialogTemplate& layout);
// On the thread that created it.
void destroy_test_dialog(platform::DialogHandle dialog);

// A user's click (dialog thread): a check box toggles, an automatic radio
// button becomes the checked one of its group (the controls from the last
// WS_GROUP before it to the next, hidden ones included), then the dialog gets
// WM_COMMAND with the id and BN_CLICKED from the control. A disabled control
// ignores the click; an id without a control is sent as a command all the same.
void user_click(platform::DialogHandle dialog, int id);

// The procedure's answer to a message (dialog thread); 0 without one.
intptr_t send_to_procedure(platform::DialogHandle dialog, uint32_t message, uintptr_t wparam, intptr_t lparam);

// The window of a live dialog, for tests of its layout; nullptr otherwise.
HWND dialog_window(platform::DialogHandle dialog);

}  // namespace tessaril::ui::win32

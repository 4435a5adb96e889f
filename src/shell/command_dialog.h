// The command dialog (template 103): the working window while the port is open.
//
// How it works: `open_port` runs this dialog modally on top of the port
// dialog with `command_dialog_proc`. The procedure does three things of its
// own:
// - WM_INITDIALOG: `on_command_dialog_init` gives every control its initial
//   state (radio groups, chain boxes, editor entries, waits, result fields "*")
//   and attaches the dialog to the session's view (session_view.h).
// - WM_COMMAND: `on_command` dispatches the control id (only the id counts):
//   builder buttons to the command table, "File Select", "Send", "CRC Recalc.",
//   "Reset State", "KerTrns Quit", and "Return to Menu", which closes the port
//   safely and posts 1040 to end the dialog.
// - 1034: `on_link_event` is the sequencer (sequencer.h): from each link
//   notification it decides the next step of a command sequence.
//
// Once "Return to Menu" has been handled the dialog is closing: link events
// and clicks that were already queued behind it are ignored, so nothing hands
// the threads new work on a port that is closed.
#pragma once

#include <cstdint>

#include "platform/controls.h"

namespace tessaril::shell {

// The dialog procedure of template 103.
intptr_t command_dialog_proc(platform::DialogHandle dialog, uint32_t message, uintptr_t wparam, intptr_t lparam);

// The twenty steps of the initialisation; returns 1.
intptr_t on_command_dialog_init(platform::DialogHandle dialog);

// Dispatches a control id; returns 1 when the id belongs to a control with an
// action, else 0 (Esc's id 2, the list boxes, gaps in the builder range).
intptr_t on_command(platform::DialogHandle dialog, int id);

// The sequencer's handler of message 1034 (wParam = code). Returns 1.
intptr_t on_link_event(platform::DialogHandle dialog, uint32_t code);

// True between "Return to Menu" and the next initialisation.
bool command_dialog_closing();

}  // namespace tessaril::shell

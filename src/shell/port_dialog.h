// The port-selection dialog (template 101): the program's one window for its
// whole life.
//
// How it works: `port_dialog_proc` is the dialog's procedure.
// - WM_INITDIALOG, `on_port_dialog_init`: shows `sio_port` in edit 1001 and
//   centres the dialog. The configuration has been read and the session's
//   link threads started before (program.h); they run until the dialog
//   closes.
// - ENTER (201, also the Enter key: it is the default button), `open_port`:
//   reads the port number typed in edit 1001, opens the port and runs the
//   command dialog (103) modally on top of this one. It returns when "Return
//   to Menu" has ended the command dialog; ENTER can be pressed again.
// - WM_CLOSE (the close box): stops the link threads (1000 ms, then at most
//   6000 ms for each thread still running), posts 1039; sleeps 500 ms.
//   The 1039 handler sleeps 500 ms more and ends the dialog, and with it the
//   program. About 2 s in all when the threads end promptly.
// - 1037, the fatal-error notice: shows the notice once per process and ends
//   the dialog at once, without stopping the threads.
// The Esc key (id 2) does nothing here.
//
// Everything runs on the dialog thread.
#pragma once

#include <cstdint>

#include "platform/controls.h"

namespace tessaril::shell {

// The fatal-error notice, accepted by both dialogs.
inline constexpr uint32_t WM_FATAL_NOTICE = 1037;

// The dialog procedure of template 101.
intptr_t port_dialog_proc(platform::DialogHandle dialog, uint32_t message, uintptr_t wparam, intptr_t lparam);

// The initialisation, in its fixed order; returns 1.
intptr_t on_port_dialog_init(platform::DialogHandle dialog);

// ENTER: reads edit 1001 as GetWindowTextA would with a 4-byte buffer (three
// characters), takes the low 8 bits of its decimal value as the port number
// and stores it in app_config.sio_port, opens that port with the configured
// bit rate and byte size, and runs the command dialog modally with this
// dialog as owner. A port that fails to open does not keep the command dialog
// from opening; the reason is put into its hex traffic list once it is up.
// Does nothing while a command dialog is already running.
void open_port(platform::DialogHandle dialog);

// The port number typed in edit 1001 as open_port reads it: decimal, an
// optional sign, stopping at the first non-digit (0 for none), low 8 bits.
int port_number_from_text(const char* text);

// WM_CLOSE of the port dialog. Ignored while the command dialog is up (the
// owner of a modal dialog is disabled on Windows).
void on_port_dialog_close(platform::DialogHandle dialog);

// Clears the mark of the fatal-error notice (the program's start).
void reset_fatal_notice();
// True for exactly one caller: the first to claim the notice shows the box,
// every later one only ends its dialog.
bool claim_fatal_notice();

// The fatal-error notice (1037) for either dialog: the first call in the
// process shows the warning box owned by the dialog; later calls show
// nothing. The caller ends its dialog afterwards.
void show_fatal_notice(platform::DialogHandle dialog);

// True while open_port runs the command dialog.
bool command_dialog_running();

}  // namespace tessaril::shell

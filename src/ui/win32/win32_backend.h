// The Win32 back end: the program's dialogs as Windows dialogs, built from
// the layout tables as in-memory templates.
//
// How it works: the thread that runs the port dialog is the dialog thread
// (win32_dialog.h). Control calls are the Win32 calls the system makes
// (win32_controls.h); from a worker thread they are synchronous, one
// SendMessageA to the dialog's window, and the dialog thread serves them in
// every message loop and whenever it waits for a worker (win32_calls.h).
// Texts are CP932 and go to the ANSI calls as they are.
//
// A script plays on the real dialogs through the driver table. While it
// plays, open-file dialogs and message boxes take their answers from the
// script instead of waiting for a person (set_win32_automatic_answers).
#pragma once

#include "platform/controls.h"
#include "ui/script/ui_driver.h"

namespace tessaril::ui {

const platform::UiBackend& win32_backend();
// The driver table of this back end (ui/script/ui_driver.h).
const UiDriver& win32_driver();
void install_win32_backend();

// True: the open-file dialog takes the queued answers (cancelled when none)
// and message boxes are recorded and answered OK (Yes), as in headless mode.
// False (the default): a person answers them.
void set_win32_automatic_answers(bool automatic);

}  // namespace tessaril::ui

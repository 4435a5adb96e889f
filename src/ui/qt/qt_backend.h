// The Qt 6 Widgets back end: the program's dialogs as real windows.
//
// How it works: the thread that created the QApplication is the dialog
// thread. run_dialog builds a DialogWindow from the layout table
// (qt_dialog.h), sends WM_INITDIALOG, and runs a local event loop until
// end_dialog; a dialog started from a procedure nests its loop inside, so a
// modal dialog sits on top of its owner as on Windows. Control calls from
// the link threads run on the GUI thread while the caller waits, and the
// dialog thread serves them whenever it waits for a worker (qt_calls.h).
// Texts are CP932: they are shown through the platform's code-page
// conversion (iconv), not through a codec of the toolkit.
//
// A script plays on the real windows through the driver table. While it
// plays, open-file dialogs and message boxes take their answers from the
// script instead of waiting for a person (set_qt_automatic_answers).
#pragma once

#include "platform/controls.h"
#include "ui/script/ui_driver.h"

class QWidget;

namespace tessaril::ui {

// The application's font and style; call once, after the QApplication is made.
void prepare_qt_application();

const platform::UiBackend& qt_backend();
// The driver table of this back end (ui/script/ui_driver.h).
const UiDriver& qt_driver();
// Installs it as the process's back end; a QApplication must exist.
void install_qt_backend();

// True: the open-file dialog takes the queued answers (cancelled when none)
// and message boxes are recorded and answered OK (Yes), as in headless
// mode. False (the default): a person answers them.
void set_qt_automatic_answers(bool automatic);

// The window of a live dialog, for tests of its layout; nullptr otherwise.
// GUI thread.
QWidget* qt_dialog_window(platform::DialogHandle dialog);

}  // namespace tessaril::ui

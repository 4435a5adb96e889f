// The Qt back end's hand-over between threads: which dialogs live, and how
// the GUI thread is woken for the hub's queues (ui/hub/dialog_thread_hub.h).
//
// How it works: widgets belong to the GUI thread, which is the dialog thread
// (the thread of the QApplication). A control call from another thread waits
// in the hub until the GUI thread has run it (blocking queued, as
// SendMessage is on Windows); a wake-up event posted to the application
// makes the GUI thread serve the calls, which it also does at the start of
// every control call it makes itself and in sleep_serving_calls. A call for
// a dialog that ends before it was served is dropped and its caller released
// at once.
//
// Posted messages and work handed to the dialog thread (a script's click)
// share the hub's FIFO, served one item per wake-up event by whatever event
// loop runs: the loop of a modal dialog, of a message box, of the open-file
// dialog. Never by sleep_serving_calls: a procedure waiting for a worker
// does not run other procedures meanwhile, as on Windows.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/controls.h"
#include "ui/script/ui_driver.h"

namespace tessaril::ui::qt {

// True on the thread of the QApplication.
bool on_gui_thread();

// A new handle for a dialog, taking control calls; proc may be null (a test
// dialog: posts collect). GUI thread.
platform::DialogHandle register_dialog(platform::DialogProc proc);
// The dialog has ended: it leaves the registry, its queued calls and posts
// are dropped. GUI thread.
void retire_dialog(platform::DialogHandle dialog);
bool dialog_live(platform::DialogHandle dialog);
platform::DialogProc dialog_proc(platform::DialogHandle dialog);

// A modal loop runs for the dialog (GUI thread); it ends by retire_dialog.
void pump_started(platform::DialogHandle dialog);

bool post_message(platform::DialogHandle dialog, uint32_t message, uintptr_t wparam, intptr_t lparam);
std::vector<PostedMessage> take_test_posts(platform::DialogHandle dialog);

}  // namespace tessaril::ui::qt

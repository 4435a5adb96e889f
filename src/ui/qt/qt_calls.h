// The Qt back end's hand-over between threads: which dialogs live, the
// control calls of worker threads, and the queue of posted messages.
//
// How it works: widgets belong to the GUI thread, which is the dialog thread
// (the thread of the QApplication). A control call from another thread is
// queued and the caller waits until the GUI thread has run it (blocking
// queued, as SendMessage is on Windows). The GUI thread serves the queue
// from its event loop (a wake-up event is posted to the application), at
// the start of every control call it makes itself, and in
// sleep_serving_calls while it waits for a worker. A call for a dialog that
// ends before it was served is dropped and its caller released at once.
//
// Posted messages and work handed to the dialog thread (a script's click)
// share a second queue, served one item per wake-up event by whatever event
// loop runs: the loop of a modal dialog, of a message box, of the open-file
// dialog. Never by sleep_serving_calls: a procedure waiting for a worker
// does not run other procedures meanwhile, as on Windows.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/controls.h"
#include "ui/script/ui_driver.h"

namespace tessaril::ui::qt {

// True on the thread of the QApplication.
bool on_gui_thread();

// ---- live dialogs ---------------------------------------------------------

// A new handle for a dialog; proc may be null (a test dialog: posts collect).
platform::DialogHandle register_dialog(platform::DialogProc proc);
// The dialog has ended: it leaves the registry, its queued calls and posts
// are dropped. GUI thread.
void retire_dialog(platform::DialogHandle dialog);
bool dialog_live(platform::DialogHandle dialog);
platform::DialogProc dialog_proc(platform::DialogHandle dialog);

// A modal loop runs (or stops running) for the dialog: top_pump is the
// innermost live one.
void pump_started(platform::DialogHandle dialog);
void pump_ended(platform::DialogHandle dialog);
platform::DialogHandle top_pump();
bool wait_for_pump(int timeout_ms);

// ---- control calls ---------------------------------------------------------

// Runs fn on the GUI thread while the dialog lives and waits for it. False
// (fn not run) when the dialog has ended or ends before the call is served.
bool run_control_call(platform::DialogHandle dialog, const std::function<void()>& fn);
// Runs the calls other threads are waiting for. GUI thread.
void serve_control_calls();
// The UiBackend entry: sleeps, serving the calls on the GUI thread.
void sleep_serving_calls(int64_t ms);

// ---- posted messages and handed-over work ------------------------------------

bool post_message(platform::DialogHandle dialog, uint32_t message, uintptr_t wparam, intptr_t lparam);
// run_on_dialog_thread of the driver.
bool run_on_dialog_thread(const std::function<void()>& fn, int timeout_ms);
size_t queued_items();
std::vector<PostedMessage> take_test_posts(platform::DialogHandle dialog);

}  // namespace tessaril::ui::qt

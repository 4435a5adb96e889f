// The Win32 back end's live dialogs and the hand-over between threads: the
// control calls of worker threads, posted messages, and work a script hands
// to the dialog thread.
//
// How it works: a dialog's windows belong to the thread that created them,
// the dialog thread. A control call made on that thread runs at once. From
// any other thread it waits in the dialog thread hub
// (ui/hub/dialog_thread_hub.h), as Windows makes a worker wait in
// SetWindowTextA, and a private message posted to the dialog's window wakes
// the dialog thread for it in any message loop (the modal loop of a dialog,
// of a message box, of the open-file dialog). The hub serves the calls in
// sleep_serving_calls too, and at the start of every control call the
// dialog thread makes itself (so a dialog thread that polls a control does
// not hold a worker that writes one). A call for a dialog that has ended is
// dropped and its caller released.
//
// Handles are numbers that are never reused, mapped to the windows here.
// end_dialog retires the number at once: posts to it fail, calls on it do
// nothing, and a message still queued for it is not delivered to the
// procedure. Posted messages are real PostMessageA messages; the ones posted
// through post_message are counted until the dialog's window receives them,
// so that a script can tell when nothing is left to serve. Work handed to the
// dialog thread waits in the dialog thread hub (ui/hub/dialog_thread_hub.h),
// which also knows the modal loops; a private message posted to the dialog
// on top wakes the dialog thread for it.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/controls.h"
#include "ui/script/ui_driver.h"
#include "ui/win32/win32_api.h"

namespace tessaril::ui::win32 {

// Private messages of the back end, above the system's own (1034 to 1040).
constexpr UINT WM_CONTROL_CALL = WM_APP + 1;     // control calls wait in the hub
constexpr UINT WM_HANDED_WORK = WM_APP + 2;      // one queued task to run
constexpr UINT WM_END_FROM_WORKER = WM_APP + 3;  // lParam: the result for EndDialog

// A text the program wrote whose bytes Windows gives back otherwise (bytes
// that form no character of the ANSI code page): while the control still
// shows what Windows made of them, a read returns the bytes as written.
struct TextShadow {
  std::string written;
  std::string read_back;
};

// A list box's lines as the program wrote them, in the box's order: a sorted
// box places lines by these bytes, and reads return them as written.
struct ListLines {
  std::deque<std::string> lines;
};

struct DialogRecord {
  DialogRecord() = default;
  DialogRecord(const DialogRecord&) = delete;
  DialogRecord& operator=(const DialogRecord&) = delete;
  ~DialogRecord();  // deletes the condensed fonts: the window is gone by then

  HWND window = nullptr;
  DWORD thread = 0;
  platform::DialogProc proc = nullptr;
  bool test = false;   // no procedure, no pump: posts collect for the test
  bool modal = false;  // run by run_dialog: a pump while it lives
  bool ended = false;
  std::map<int, platform::ControlKind> kinds;  // from the layout, fixed
  std::map<int, RECT> list_box_units;          // the list boxes' rectangles in dialog units
  // Under the registry's lock:
  std::deque<PostedMessage> posted;  // posted, not received yet
  std::vector<PostedMessage> test_posts;
  bool call_wake_posted = false;  // a WM_CONTROL_CALL is on its way
  // Dialog thread only:
  std::map<int, TextShadow> texts;  // by control id; 0 is the dialog's caption
  std::map<int, ListLines> lists;
  std::map<int, HFONT> condensed_fonts;  // by stretch percent (win32_fit.h)
};

// ---- live dialogs ---------------------------------------------------------

platform::DialogHandle register_dialog(const platform::DialogTemplate& layout, platform::DialogProc proc, bool modal,
                                       bool test);
// WM_INITDIALOG: the window exists on the calling thread. A modal dialog
// becomes the innermost pump.
void attach_window(platform::DialogHandle dialog, HWND window);
// end_dialog: gone for posts and calls from now on; false when it was gone.
bool mark_ended(platform::DialogHandle dialog, HWND& window, DWORD& thread);
// The dialog's window is gone or about to go. Its thread.
void retire_dialog(platform::DialogHandle dialog);

bool dialog_live(platform::DialogHandle dialog);
// The window of a live dialog, nullptr otherwise.
HWND live_window(platform::DialogHandle dialog);
// The procedure of a live dialog, null when it has ended or has none.
platform::DialogProc live_proc(platform::DialogHandle dialog);
// The procedure to give a message the window received, null when the dialog
// has ended or has none; a message posted through post_message is counted
// as served (and kept, for a test dialog).
platform::DialogProc proc_for_message(platform::DialogHandle dialog, UINT message, WPARAM wparam, LPARAM lparam);

// ---- control calls ---------------------------------------------------------

// Runs fn on the dialog thread with the dialog's record while the dialog
// lives. False (fn not run) when it has ended or ends before the call is served.
bool run_control_call(platform::DialogHandle dialog, const std::function<void(DialogRecord&)>& fn);
// The window procedure's part: serves the calls of a WM_CONTROL_CALL.
void serve_control_calls(platform::DialogHandle dialog);

// ---- posted messages and handed-over work -----------------------------------

bool post_message(platform::DialogHandle dialog, uint32_t message, uintptr_t wparam, intptr_t lparam);
// The window procedure's part: runs the oldest handed-over task, if any.
void serve_handed_work();
size_t queued_items();
// The posts a test dialog collected. On the dialog's thread, what is still
// in the message queue is taken first.
std::vector<PostedMessage> take_test_posts(platform::DialogHandle dialog);

}  // namespace tessaril::ui::win32

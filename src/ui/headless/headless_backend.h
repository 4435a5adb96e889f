// The headless UI back end: every dialog is an in-memory control store.
//
// How it works: run_dialog creates the dialog's controls from its layout
// table, sends WM_INITDIALOG and then serves the hub's queue of posted
// messages and handed-over work (ui/hub/dialog_thread_hub.h) on the calling
// thread, the dialog thread, until the dialog ends. A modal dialog started from a procedure runs its own pump
// on the same thread and serves the messages of every live dialog, as
// Windows does. Control calls from any thread take the store's mutex, so a
// worker writing a result field and the dialog thread reading an edit never
// see half a text. A dialog that has ended leaves the store: messages for it
// are dropped and control calls on it do nothing.
//
// Beyond the UiBackend table it offers what a script player and tests need:
// running work on the dialog thread, a user's click, answers for the
// open-file dialog, an observer of list and text changes, and dialogs
// created without a procedure for tests of code that only writes controls.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/controls.h"
#include "ui/script/ui_driver.h"

namespace tessaril::ui {

const platform::UiBackend& headless_backend();
// The driver table of this back end (ui/script/ui_driver.h).
const UiDriver& headless_driver();
// Installs it as the process's back end.
void install_headless_backend();

// ---- dialog thread --------------------------------------------------------

// Runs fn on the dialog thread and waits until it has run. False (fn not run)
// when no dialog pump is running or none starts within timeout_ms.
bool run_on_dialog_thread(const std::function<void()>& fn, int timeout_ms = 10000);

// The most recently started dialog that is still live (NO_DIALOG if none).
platform::DialogHandle top_dialog();

// Waits until a dialog pump runs; false after timeout_ms.
bool wait_for_dialog(int timeout_ms);

// A user's click on control id of dialog: a check box toggles, an automatic
// radio button becomes the checked one of its group, then the procedure gets
// WM_COMMAND with the id. Hidden and unknown controls are clicked too (the
// procedure decides). Call on the dialog thread.
void user_click(platform::DialogHandle dialog, int id);

// Sends a message to the dialog's procedure at once (SendMessage). Call on
// the dialog thread. Returns the procedure's result, 0 for no procedure.
intptr_t send_message(platform::DialogHandle dialog, uint32_t message, uintptr_t wparam, intptr_t lparam);

// Items waiting in the queue of posted messages and tasks.
size_t queued_items();

// ---- script and test services --------------------------------------------

// The answer of the next open-file dialog: a path, or nullopt to cancel.
// Answers are used in order; with none queued the dialog is cancelled.
void push_open_file_answer(std::optional<std::string> path);

// Every message box shown so far (each answered IDOK, or IDYES for yes/no).
std::vector<MessageBoxRecord> message_boxes();

// Called after a control's text is set, a line is added to a list box or a
// dialog's caption is set (id 0), outside the store's lock, from whichever
// thread made the change. One observer; an empty function removes it.
void set_change_observer(ChangeObserver observer);

// A live dialog built from the layout with no procedure and no pump, for
// tests of code that writes controls and posts messages. Posted messages
// collect in the dialog until taken.
platform::DialogHandle create_test_dialog(const platform::DialogTemplate& layout);
void destroy_test_dialog(platform::DialogHandle dialog);

std::vector<PostedMessage> take_posted_messages(platform::DialogHandle dialog);

// True while the dialog is live.
bool dialog_alive(platform::DialogHandle dialog);

}  // namespace tessaril::ui

// What a script, a test or a person's stand-in needs from a UI back end
// beyond the control calls of platform/controls.h: work run on the dialog
// thread, the dialog on top, a user's click, answers for the open-file
// dialog, an observer of what the dialogs show, and bare dialogs for tests.
//
// How it works: every back end (headless, Qt, Win32) fills one UiDriver
// table next to its platform::UiBackend table. The script player and the
// contract suite of the control model use only these two tables, so one
// player plays scripts on every back end and one suite tests them all.
//
// Rules every back end keeps:
// - run_on_dialog_thread runs fn on the thread that runs the dialogs and
//   returns after it ran; false (fn not run) when no dialog pump serves it
//   within timeout_ms.
// - user_click, send_message are called on the dialog thread.
// - The observer is called after a change, outside any lock of the back end,
//   from whichever thread made the change.
//
// Include order: platform < status < kermit < link < commands < shell < ui.
// This folder is ui, the top: it may include every other folder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/controls.h"

namespace tessaril::ui {

struct MessageBoxRecord {
  platform::DialogHandle owner;
  std::string text;     // CP932
  std::string caption;  // CP932
  uint32_t flags;
};

enum class ChangeKind { Text, ListAdd, Caption };
// Called after a control's text is set, a line is added to a list box, or a
// dialog's caption is set (id 0).
using ChangeObserver = std::function<void(platform::DialogHandle, int id, ChangeKind, std::string_view text)>;

struct PostedMessage {
  uint32_t message;
  uintptr_t wparam;
  intptr_t lparam;
};

struct UiDriver {
  const char* name;

  bool (*run_on_dialog_thread)(const std::function<void()>& fn, int timeout_ms);
  // The most recently started dialog that is still live (NO_DIALOG if none).
  platform::DialogHandle (*top_dialog)();
  // Waits until a dialog pump runs; false after timeout_ms.
  bool (*wait_for_dialog)(int timeout_ms);
  bool (*dialog_alive)(platform::DialogHandle dialog);
  // A user's click: a check box toggles, an automatic radio button becomes
  // the checked one of its group, then the procedure gets WM_COMMAND with
  // the id. Hidden and unknown controls are clicked too.
  void (*user_click)(platform::DialogHandle dialog, int id);
  // SendMessage: the procedure's result, 0 for no procedure.
  intptr_t (*send_message)(platform::DialogHandle dialog, uint32_t message, uintptr_t wparam, intptr_t lparam);
  // Posted messages and handed-over work not yet served.
  size_t (*queued_items)();

  // The answer of the next open-file dialog: a path, or nullopt to cancel.
  // Answers are used in order; with none queued the dialog is cancelled.
  void (*push_open_file_answer)(std::optional<std::string> path);
  // Every message box shown so far while answers are automatic.
  std::vector<MessageBoxRecord> (*message_boxes)();
  // One observer; an empty function removes it.
  void (*set_change_observer)(ChangeObserver observer);

  // A live dialog built from the layout with no procedure and no pump, for
  // tests of code that writes controls and posts messages. Posted messages
  // collect in the dialog until taken.
  platform::DialogHandle (*create_test_dialog)(const platform::DialogTemplate& layout);
  void (*destroy_test_dialog)(platform::DialogHandle dialog);
  std::vector<PostedMessage> (*take_posted_messages)(platform::DialogHandle dialog);
};

}  // namespace tessaril::ui

// The dialog thread's hub, one per process, shared by every UI back end:
// which modal loops run, the queue of posted messages and handed-over work
// they serve, the control calls of worker threads run on the dialog thread,
// and GetWindowTextA's capacity rule.
//
// How it works: a back end's modal loop announces itself (pump_started) and
// leaves (pump_ended); the thread that runs them is the dialog thread. Work
// handed to it (run_on_dialog_thread) and, for back ends without a message
// queue of their own, posted messages wait in one FIFO, so a script's click
// and the messages posted before it keep their order. The loop on top is
// woken through its waker after each item queued; should it end before it
// took the item, the waiter wakes the loop then on top. Handed-over work not
// taken within its time, or when no loop is left, is withdrawn: the caller
// learns that it did not run, never that it ran half.
//
// A control call from a worker is queued and the worker waits until the
// dialog's own thread ran it (SendMessage). That thread serves the calls
// when woken (the dialog's waker), at the start of every control call it
// makes itself (what workers asked for first comes first), and in
// sleep_serving_calls while it waits for a worker. When the dialog ends
// (refuse_calls) its queued calls are dropped and their callers released
// at once, so a worker never waits for a dialog that will not serve it.
// These waits have no time limit of their own: a result field written late
// is still written, and the end of the dialog always releases them.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/controls.h"
#include "ui/script/ui_driver.h"

namespace tessaril::ui::hub {

// ---- modal loops ----------------------------------------------------------

// Wakes the loop of the dialog (the one on top) for a queued item.
using Waker = void (*)(platform::DialogHandle dialog);

// The calling thread runs the dialog's modal loop, now the innermost one;
// wake may be null for a loop that waits on the hub itself (next_item).
void pump_started(platform::DialogHandle dialog, Waker wake);
// The dialog has ended or its loop has returned; a second call does nothing.
void pump_ended(platform::DialogHandle dialog);
// The innermost live loop's dialog, NO_DIALOG when none runs.
platform::DialogHandle top_pump();
bool wait_for_pump(int timeout_ms);

// ---- posted messages and handed-over work -----------------------------------

// A posted message for dialog, or handed-over work (task set).
struct Item {
  platform::DialogHandle dialog = platform::NO_DIALOG;
  PostedMessage message{};
  std::function<void()> task;
};

void queue_post(platform::DialogHandle dialog, const PostedMessage& message);
// Drops the posts still queued for a dialog that has ended.
void drop_posts(platform::DialogHandle dialog);
// The oldest item, if any (a loop woken for it).
std::optional<Item> take_item();
// Blocks until an item comes (true) or the dialog's loop has ended (false).
bool next_item(platform::DialogHandle dialog, Item& item);
size_t queued_items();

// Runs fn on the dialog thread and returns after it ran. On the dialog
// thread inside a loop it runs at once. False (fn not run) when no loop
// takes it within timeout_ms, or the last loop ends first.
bool run_on_dialog_thread(const std::function<void()>& fn, int timeout_ms);

// ---- control calls --------------------------------------------------------

// The dialog takes control calls from now on, run on the calling thread;
// wake tells that thread a call waits.
void accept_calls(platform::DialogHandle dialog, Waker wake);
// The dialog has ended: its queued calls are dropped, their callers released.
void refuse_calls(platform::DialogHandle dialog);

// Runs fn on the dialog's thread and waits for it. False (fn not run) when
// the dialog takes no calls or stops taking them before fn ran.
bool run_control_call(platform::DialogHandle dialog, const std::function<void()>& fn);
// Runs the calls other threads wait for, on the thread they wait for.
void serve_control_calls();
// The UiBackend entry: on a thread whose dialogs take calls, sleeps ms
// serving them; elsewhere a plain sleep.
void sleep_serving_calls(int64_t ms);

// ---- the capacity rule -------------------------------------------------------

// GetWindowTextA: at most capacity - 1 bytes and a NUL; nothing for a
// capacity below 1. Returns the bytes copied.
int copy_text(std::string_view text, char* buffer, int capacity);

// The UiBackend's get_text made from a back end's whole-text read.
template <std::string (*Read)(platform::DialogHandle, int)>
int get_text(platform::DialogHandle dialog, int id, char* buffer, int capacity) {
  if (!buffer || capacity <= 0) return 0;
  return copy_text(Read(dialog, id), buffer, capacity);
}

}  // namespace tessaril::ui::hub

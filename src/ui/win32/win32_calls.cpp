#include "ui/win32/win32_calls.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <utility>

#include "ui/hub/dialog_thread_hub.h"

namespace tessaril::ui::win32 {

using platform::DialogHandle;

namespace {

struct Registry {
  std::mutex mutex;
  std::map<DialogHandle, std::unique_ptr<DialogRecord>> dialogs;
  DialogHandle next_handle = 1;
};

Registry& registry() {
  static Registry* h = new Registry;  // lives until exit: worker threads may outlive main's locals
  return *h;
}

DialogRecord* find_locked(DialogHandle dialog) {
  auto it = registry().dialogs.find(dialog);
  return it == registry().dialogs.end() ? nullptr : it->second.get();
}

// A record stays in place until its own thread retires it, so the dialog
// thread may use it after the lock is let go.
DialogRecord* live_record(DialogHandle dialog) {
  std::lock_guard lock(registry().mutex);
  DialogRecord* r = find_locked(dialog);
  return (r && !r->ended && r->window) ? r : nullptr;
}

// Wakes the dialog thread for the hub's queue of handed-over work.
void wake_for_work(DialogHandle top) {
  if (HWND window = live_window(top)) PostMessageA(window, WM_HANDED_WORK, 0, 0);
}

// Wakes the dialog's thread for the control calls waiting in the hub. One
// wake-up at a time: the calls queued meanwhile are served with the first.
void wake_for_calls(DialogHandle dialog) {
  std::lock_guard lock(registry().mutex);
  DialogRecord* r = find_locked(dialog);
  if (!r || r->ended || !r->window || r->call_wake_posted) return;
  r->call_wake_posted = PostMessageA(r->window, WM_CONTROL_CALL, 0, 0) != 0;
}

}  // namespace

// ---- live dialogs ---------------------------------------------------------

DialogRecord::~DialogRecord() {
  for (auto& [stretch, font] : condensed_fonts)
    if (font) DeleteObject(font);
}

DialogHandle register_dialog(const platform::DialogTemplate& layout, platform::DialogProc proc, bool modal, bool test) {
  auto record = std::make_unique<DialogRecord>();
  record->proc = proc;
  record->modal = modal;
  record->test = test;
  for (size_t i = 0; i < layout.control_count; ++i) {
    const platform::ControlSpec& row = layout.controls[i];
    record->kinds[row.id] = row.kind;
    if (row.kind == platform::ControlKind::ListBox)
      record->list_box_units[row.id] = RECT{row.x, row.y, row.x + row.width, row.y + row.height};
  }
  Registry& h = registry();
  std::lock_guard lock(h.mutex);
  const DialogHandle handle = h.next_handle++;
  h.dialogs.emplace(handle, std::move(record));
  return handle;
}

void attach_window(DialogHandle dialog, HWND window) {
  bool modal = false;
  {
    std::lock_guard lock(registry().mutex);
    DialogRecord* r = find_locked(dialog);
    if (!r) return;
    r->window = window;
    r->thread = GetCurrentThreadId();
    modal = r->modal;
  }
  ui::hub::accept_calls(dialog, wake_for_calls);
  if (modal) ui::hub::pump_started(dialog, wake_for_work);
}

bool mark_ended(DialogHandle dialog, HWND& window, DWORD& thread) {
  Registry& h = registry();
  {
    std::lock_guard lock(h.mutex);
    DialogRecord* r = find_locked(dialog);
    if (!r || r->ended) return false;
    r->ended = true;
    r->posted.clear();
    window = r->window;
    thread = r->thread;
  }
  ui::hub::refuse_calls(dialog);
  ui::hub::pump_ended(dialog);
  return true;
}

void retire_dialog(DialogHandle dialog) {
  Registry& h = registry();
  std::unique_ptr<DialogRecord> gone;  // freed outside the lock
  {
    std::lock_guard lock(h.mutex);
    auto it = h.dialogs.find(dialog);
    if (it != h.dialogs.end()) {
      gone = std::move(it->second);
      h.dialogs.erase(it);
    }
  }
  ui::hub::refuse_calls(dialog);
  ui::hub::pump_ended(dialog);
}

bool dialog_live(DialogHandle dialog) {
  std::lock_guard lock(registry().mutex);
  DialogRecord* r = find_locked(dialog);
  return r && !r->ended;
}

HWND live_window(DialogHandle dialog) {
  std::lock_guard lock(registry().mutex);
  DialogRecord* r = find_locked(dialog);
  return (r && !r->ended) ? r->window : nullptr;
}

platform::DialogProc live_proc(DialogHandle dialog) {
  std::lock_guard lock(registry().mutex);
  DialogRecord* r = find_locked(dialog);
  return (r && !r->ended) ? r->proc : nullptr;
}

platform::DialogProc proc_for_message(DialogHandle dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  std::lock_guard lock(registry().mutex);
  DialogRecord* r = find_locked(dialog);
  if (!r) return nullptr;
  const PostedMessage m{message, wparam, lparam};
  auto same = [&](const PostedMessage& p) {
    return p.message == m.message && p.wparam == m.wparam && p.lparam == m.lparam;
  };
  // Posts of one window arrive in order; a message of Windows' own that
  // happens to be equal is taken for the post, which then goes uncounted.
  auto it = std::find_if(r->posted.begin(), r->posted.end(), same);
  if (it != r->posted.end()) {
    r->posted.erase(it);
    if (r->test) r->test_posts.push_back(m);
  }
  return r->ended ? nullptr : r->proc;
}

// ---- control calls ---------------------------------------------------------

bool run_control_call(DialogHandle dialog, const std::function<void(DialogRecord&)>& fn) {
  return ui::hub::run_control_call(dialog, [&] {
    if (DialogRecord* r = live_record(dialog)) fn(*r);
  });
}

void serve_control_calls(DialogHandle dialog) {
  {
    // Cleared before the queue is read: a call queued from here on posts a
    // wake-up of its own.
    std::lock_guard lock(registry().mutex);
    if (DialogRecord* r = find_locked(dialog)) r->call_wake_posted = false;
  }
  ui::hub::serve_control_calls();
}

// ---- posted messages and handed-over work -----------------------------------

bool post_message(DialogHandle dialog, uint32_t message, uintptr_t wparam, intptr_t lparam) {
  // Posted under the lock: the window counts a post off under it too, and
  // posts of several threads must be counted in the order they are queued.
  std::lock_guard lock(registry().mutex);
  DialogRecord* r = find_locked(dialog);
  if (!r || r->ended || !r->window) return false;
  if (!PostMessageA(r->window, message, wparam, lparam)) return false;
  r->posted.push_back(PostedMessage{message, wparam, lparam});
  return true;
}

void serve_handed_work() {
  // Only handed-over work waits in the hub: posts are the window's own messages.
  if (std::optional<ui::hub::Item> item = ui::hub::take_item(); item && item->task) item->task();
}

size_t queued_items() {
  size_t n = ui::hub::queued_items();
  std::lock_guard lock(registry().mutex);
  for (const auto& [handle, r] : registry().dialogs) n += r->posted.size();
  return n;
}

std::vector<PostedMessage> take_test_posts(DialogHandle dialog) {
  HWND window = nullptr;
  DWORD thread = 0;
  {
    std::lock_guard lock(registry().mutex);
    DialogRecord* r = find_locked(dialog);
    if (!r) return {};
    window = r->window;
    thread = r->thread;
  }
  if (window && thread == GetCurrentThreadId()) {
    // The window procedure keeps what was posted through post_message.
    MSG msg;
    while (PeekMessageA(&msg, window, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  }
  std::lock_guard lock(registry().mutex);
  DialogRecord* r = find_locked(dialog);
  return r ? std::exchange(r->test_posts, {}) : std::vector<PostedMessage>{};
}

}  // namespace tessaril::ui::win32

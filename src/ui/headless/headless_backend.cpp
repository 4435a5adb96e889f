#include "ui/headless/headless_backend.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <utility>

#include "platform/codepage.h"
#include "ui/hub/change_observer.h"
#include "ui/hub/dialog_thread_hub.h"
#include "ui/hub/scripted_answers.h"

namespace tessaril::ui {

using platform::ControlKind;
using platform::DialogHandle;
using platform::DialogProc;
using platform::DialogTemplate;
using platform::Rect;

namespace {

struct Control {
  int id = -1;
  ControlKind kind = ControlKind::Static;
  std::string text;  // CP932
  bool checked = false;
  bool shown = true;
  bool group_start = false;
  uint32_t style = 0;
  std::vector<std::string> lines;
};

struct Dialog {
  DialogHandle owner = platform::NO_DIALOG;
  DialogProc proc = nullptr;
  std::string caption;  // CP932
  std::vector<Control> controls;  // in layout order, so radio groups follow it
  Rect rect;
  bool ended = false;
  intptr_t result = 0;
  std::vector<PostedMessage> test_posts;  // only for dialogs without a pump
};

struct Store {
  std::mutex mutex;
  std::map<DialogHandle, Dialog> dialogs;
  DialogHandle next_handle = 1;
};

Store& store() {
  static Store* s = new Store;  // lives until exit: worker threads may outlive main's locals
  return *s;
}

Control* find_control(Dialog& d, int id) {
  for (Control& c : d.controls)
    if (c.id == id) return &c;
  return nullptr;
}

// Runs f on the control under the lock; `absent` when dialog or control is gone.
template <typename R, typename F>
R with_control(DialogHandle dialog, int id, R absent, F f) {
  Store& s = store();
  std::lock_guard lock(s.mutex);
  auto it = s.dialogs.find(dialog);
  if (it == s.dialogs.end() || it->second.ended) return absent;
  Control* c = find_control(it->second, id);
  if (!c) return absent;
  return f(*c);
}

// Dialog units to pixels for an 8-point dialog font (4 x 8 units per character cell of 6 x 13 pixels).
int dlu_x(int units) { return units * 6 / 4; }
int dlu_y(int units) { return units * 13 / 8; }

DialogHandle create_dialog(const DialogTemplate& layout, DialogHandle owner, DialogProc proc) {
  Dialog d;
  d.owner = owner;
  d.proc = proc;
  d.caption = platform::utf8_to_cp932(layout.caption ? layout.caption : "");
  d.rect = Rect{dlu_x(layout.x), dlu_y(layout.y), dlu_x(layout.x + layout.width), dlu_y(layout.y + layout.height)};
  for (size_t i = 0; i < layout.control_count; ++i) {
    const platform::ControlSpec& item = layout.controls[i];
    Control c;
    c.id = item.id;
    c.kind = item.kind;
    c.text = platform::utf8_to_cp932(item.text ? item.text : "");
    c.shown = item.shown;
    c.group_start = item.group_start;
    c.style = item.style | (item.shown ? platform::WS_VISIBLE : 0);
    d.controls.push_back(std::move(c));
  }
  Store& s = store();
  std::lock_guard lock(s.mutex);
  DialogHandle h = s.next_handle++;
  s.dialogs.emplace(h, std::move(d));
  return h;
}

DialogProc proc_of(DialogHandle dialog) {
  Store& s = store();
  std::lock_guard lock(s.mutex);
  auto it = s.dialogs.find(dialog);
  return (it == s.dialogs.end() || it->second.ended) ? nullptr : it->second.proc;
}

// ---- UiBackend entries -----------------------------------------------------

intptr_t hl_run_dialog(const DialogTemplate& layout, DialogHandle owner, DialogProc proc, intptr_t init_param) {
  const DialogHandle h = create_dialog(layout, owner, proc);
  hub::pump_started(h, nullptr);  // the loop below waits on the hub itself
  if (proc) proc(h, platform::WM_INITDIALOG, 0, init_param);
  hub::Item item;
  while (hub::next_item(h, item)) {
    if (item.task) {
      item.task();
    } else if (DialogProc target = proc_of(item.dialog)) {
      target(item.dialog, item.message.message, item.message.wparam, item.message.lparam);
    }
  }
  hub::pump_ended(h);
  Store& s = store();
  std::lock_guard lock(s.mutex);
  const intptr_t result = s.dialogs[h].result;
  s.dialogs.erase(h);
  return result;
}

void hl_end_dialog(DialogHandle dialog, intptr_t result) {
  Store& s = store();
  {
    std::lock_guard lock(s.mutex);
    auto it = s.dialogs.find(dialog);
    if (it == s.dialogs.end() || it->second.ended) return;
    it->second.ended = true;
    it->second.result = result;
  }
  hub::pump_ended(dialog);
}

bool hl_post_message(DialogHandle dialog, uint32_t message, uintptr_t wparam, intptr_t lparam) {
  Store& s = store();
  {
    std::lock_guard lock(s.mutex);
    auto it = s.dialogs.find(dialog);
    if (it == s.dialogs.end() || it->second.ended) return false;
    if (!it->second.proc) {
      it->second.test_posts.push_back(PostedMessage{message, wparam, lparam});
      return true;
    }
  }
  hub::queue_post(dialog, PostedMessage{message, wparam, lparam});
  return true;
}

bool hl_set_text(DialogHandle dialog, int id, std::string_view text) {
  return with_control(dialog, id, false, [&](Control& c) {
    c.text.assign(text.data(), text.size());
    return true;
  });
}

std::string hl_text(DialogHandle dialog, int id) {
  return with_control(dialog, id, std::string(), [](Control& c) { return c.text; });
}

void hl_set_check(DialogHandle dialog, int id, bool checked) {
  with_control(dialog, id, 0, [&](Control& c) {
    c.checked = checked;
    return 0;
  });
}

bool hl_is_checked(DialogHandle dialog, int id) {
  return with_control(dialog, id, false, [](Control& c) { return c.checked; });
}

int hl_list_add(DialogHandle dialog, int id, std::string_view line) {
  return with_control(dialog, id, -1, [&](Control& c) -> int {
    if (c.kind != ControlKind::ListBox) return -1;
    std::string text(line);
    if (c.style & platform::LBS_SORT) {
      auto pos = std::upper_bound(c.lines.begin(), c.lines.end(), text,
                                  [](const std::string& a, const std::string& b) { return platform::list_line_less(a, b); });
      auto at = c.lines.insert(pos, std::move(text));
      return static_cast<int>(at - c.lines.begin());
    }
    c.lines.push_back(std::move(text));
    return static_cast<int>(c.lines.size()) - 1;
  });
}

int hl_list_delete(DialogHandle dialog, int id, int index) {
  return with_control(dialog, id, -1, [&](Control& c) -> int {
    if (c.kind != ControlKind::ListBox || index < 0 || index >= static_cast<int>(c.lines.size())) return -1;
    c.lines.erase(c.lines.begin() + index);
    return static_cast<int>(c.lines.size());
  });
}

int hl_list_count(DialogHandle dialog, int id) {
  return with_control(dialog, id, 0, [](Control& c) { return static_cast<int>(c.lines.size()); });
}

void hl_list_set_selection(DialogHandle, int, int) {}

std::string hl_list_item(DialogHandle dialog, int id, int index) {
  return with_control(dialog, id, std::string(), [&](Control& c) {
    return (index >= 0 && index < static_cast<int>(c.lines.size())) ? c.lines[static_cast<size_t>(index)]
                                                                        : std::string();
  });
}

void hl_show_control(DialogHandle dialog, int id, bool shown) {
  with_control(dialog, id, 0, [&](Control& c) {
    c.shown = shown;
    c.style = shown ? (c.style | platform::WS_VISIBLE) : (c.style & ~platform::WS_VISIBLE);
    return 0;
  });
}

bool hl_is_shown(DialogHandle dialog, int id) {
  return with_control(dialog, id, false, [](Control& c) { return c.shown; });
}

uint32_t hl_get_style(DialogHandle dialog, int id) {
  return with_control(dialog, id, uint32_t{0}, [](Control& c) { return c.style; });
}

void hl_set_style(DialogHandle dialog, int id, uint32_t style) {
  with_control(dialog, id, 0, [&](Control& c) {
    c.style = style;
    c.shown = (style & platform::WS_VISIBLE) != 0;
    return 0;
  });
}

void hl_invalidate(DialogHandle) {}

Rect hl_work_area() { return Rect{0, 0, 1920, 1040}; }

Rect hl_window_rect(DialogHandle dialog) {
  Store& s = store();
  std::lock_guard lock(s.mutex);
  auto it = s.dialogs.find(dialog);
  return it == s.dialogs.end() ? Rect{} : it->second.rect;
}

void hl_move_window(DialogHandle dialog, const Rect& rect) {
  Store& s = store();
  std::lock_guard lock(s.mutex);
  auto it = s.dialogs.find(dialog);
  if (it != s.dialogs.end()) it->second.rect = rect;
}

void hl_show_window(DialogHandle) {}

int hl_message_box(DialogHandle owner, std::string_view text, std::string_view caption, uint32_t flags) {
  return scripted::message_box(owner, text, caption, flags);
}

bool hl_open_file(DialogHandle, std::string_view, std::string_view, std::string& path) {
  return scripted::open_file(path);
}

bool hl_set_caption(DialogHandle dialog, std::string_view text) {
  Store& s = store();
  std::lock_guard lock(s.mutex);
  auto it = s.dialogs.find(dialog);
  if (it == s.dialogs.end() || it->second.ended) return false;
  it->second.caption.assign(text.data(), text.size());
  return true;
}

std::string hl_window_text(DialogHandle dialog) {
  Store& s = store();
  std::lock_guard lock(s.mutex);
  auto it = s.dialogs.find(dialog);
  return (it == s.dialogs.end() || it->second.ended) ? std::string() : it->second.caption;
}

// Several entries share a signature: the names keep each in its place.
const platform::UiBackend backend_table{
    .name = "headless",
    .run_dialog = hl_run_dialog,
    .end_dialog = hl_end_dialog,
    .post_message = hl_post_message,
    .set_text = observed::set_text<hl_set_text>,
    .get_text = hub::get_text<hl_text>,
    .set_check = hl_set_check,
    .is_checked = hl_is_checked,
    .list_add = observed::list_add<hl_list_add>,
    .list_delete = hl_list_delete,
    .list_count = hl_list_count,
    .list_set_selection = hl_list_set_selection,
    .list_item = hl_list_item,
    .show_control = hl_show_control,
    .is_shown = hl_is_shown,
    .get_style = hl_get_style,
    .set_style = hl_set_style,
    .invalidate = hl_invalidate,
    .work_area = hl_work_area,
    .window_rect = hl_window_rect,
    .move_window = hl_move_window,
    .show_window = hl_show_window,
    .message_box = hl_message_box,
    .open_file = hl_open_file,
    .set_window_text = observed::set_window_text<hl_set_caption>,
    .window_text = hl_window_text,
        // Control calls take the store's lock, never the dialog thread: the
    // hub's wait serves nothing here and sleeps.
    .sleep_serving_calls = hub::sleep_serving_calls,
};

}  // namespace

const platform::UiBackend& headless_backend() { return backend_table; }

void install_headless_backend() { platform::set_ui_backend(&backend_table); }

bool run_on_dialog_thread(const std::function<void()>& fn, int timeout_ms) {
  return hub::run_on_dialog_thread(fn, timeout_ms);
}

DialogHandle top_dialog() { return hub::top_pump(); }

bool wait_for_dialog(int timeout_ms) { return hub::wait_for_pump(timeout_ms); }

void user_click(DialogHandle dialog, int id) {
  Store& s = store();
  {
    std::lock_guard lock(s.mutex);
    auto it = s.dialogs.find(dialog);
    if (it == s.dialogs.end() || it->second.ended) return;
    Dialog& d = it->second;
    for (size_t i = 0; i < d.controls.size(); ++i) {
      Control& c = d.controls[i];
      if (c.id != id) continue;
      if (c.kind == ControlKind::CheckBox) {
        c.checked = !c.checked;
      } else if (c.kind == ControlKind::RadioButton) {
        // The group runs back to its first member and on to the next group start.
        size_t first = i;
        while (first > 0 && !d.controls[first].group_start) --first;
        for (size_t j = first; j < d.controls.size(); ++j) {
          if (j > first && d.controls[j].group_start) break;
          if (d.controls[j].kind == ControlKind::RadioButton) d.controls[j].checked = false;
        }
        c.checked = true;
      }
      break;
    }
  }
  send_message(dialog, platform::WM_COMMAND, static_cast<uintptr_t>(id), 0);
}

intptr_t send_message(DialogHandle dialog, uint32_t message, uintptr_t wparam, intptr_t lparam) {
  DialogProc proc = proc_of(dialog);
  return proc ? proc(dialog, message, wparam, lparam) : 0;
}

size_t queued_items() { return hub::queued_items(); }

void push_open_file_answer(std::optional<std::string> path) { scripted::push_open_file_answer(std::move(path)); }

std::vector<MessageBoxRecord> message_boxes() { return scripted::message_boxes(); }

void set_change_observer(ChangeObserver observer) { observed::set_change_observer(std::move(observer)); }

DialogHandle create_test_dialog(const DialogTemplate& layout) { return create_dialog(layout, platform::NO_DIALOG, nullptr); }

void destroy_test_dialog(DialogHandle dialog) {
  Store& s = store();
  std::lock_guard lock(s.mutex);
  s.dialogs.erase(dialog);
}

std::vector<PostedMessage> take_posted_messages(DialogHandle dialog) {
  Store& s = store();
  std::lock_guard lock(s.mutex);
  auto it = s.dialogs.find(dialog);
  if (it == s.dialogs.end()) return {};
  return std::exchange(it->second.test_posts, {});
}

bool dialog_alive(DialogHandle dialog) {
  Store& s = store();
  std::lock_guard lock(s.mutex);
  auto it = s.dialogs.find(dialog);
  return it != s.dialogs.end() && !it->second.ended;
}

const UiDriver& headless_driver() {
  static const UiDriver driver{
      .name = "headless",
      .run_on_dialog_thread = run_on_dialog_thread,
      .top_dialog = top_dialog,
      .wait_for_dialog = wait_for_dialog,
      .dialog_alive = dialog_alive,
      .user_click = user_click,
      .send_message = send_message,
      .queued_items = queued_items,
      .push_open_file_answer = push_open_file_answer,
      .message_boxes = message_boxes,
      .set_change_observer = set_change_observer,
      .create_test_dialog = create_test_dialog,
      .destroy_test_dialog = destroy_test_dialog,
      .take_posted_messages = take_posted_messages,
  };
  return driver;
}

}  // namespace tessaril::ui

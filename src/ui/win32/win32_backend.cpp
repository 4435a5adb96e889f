#include "ui/win32/win32_backend.h"

#include <mutex>

#include "ui/win32/win32_calls.h"
#include "ui/win32/win32_common_dialogs.h"
#include "ui/win32/win32_controls.h"
#include "ui/win32/win32_dialog.h"
#include "ui/hub/change_observer.h"
#include "ui/hub/dialog_thread_hub.h"
#include "ui/hub/scripted_answers.h"

namespace tessaril::ui {

using platform::DialogHandle;
using platform::Rect;
namespace w = win32;

namespace {

// Runs impl on the dialog thread with the dialog's record, or returns
// `absent` when the dialog has ended.
template <typename R, typename F>
R on_dialog(DialogHandle dialog, R absent, F impl) {
  R result = absent;
  w::run_control_call(dialog, [&](w::DialogRecord& r) { result = impl(r); });
  return result;
}

Rect rect_of(const RECT& r) { return Rect{r.left, r.top, r.right, r.bottom}; }

// ---- UiBackend entries -----------------------------------------------------

bool set_text(DialogHandle dialog, int id, std::string_view text) {
  return on_dialog(dialog, false, [&](w::DialogRecord& r) { return w::set_text(r, id, text); });
}

std::string text(DialogHandle dialog, int id) {
  return on_dialog(dialog, std::string(), [&](w::DialogRecord& r) { return w::text(r, id); });
}

void set_check(DialogHandle dialog, int id, bool checked) {
  on_dialog(dialog, 0, [&](w::DialogRecord& r) {
    w::set_check(r, id, checked);
    return 0;
  });
}

bool is_checked(DialogHandle dialog, int id) {
  return on_dialog(dialog, false, [&](w::DialogRecord& r) { return w::checked(r, id); });
}

int list_add(DialogHandle dialog, int id, std::string_view line) {
  return on_dialog(dialog, -1, [&](w::DialogRecord& r) { return w::list_add(r, id, line); });
}

int list_delete(DialogHandle dialog, int id, int index) {
  return on_dialog(dialog, -1, [&](w::DialogRecord& r) { return w::list_delete(r, id, index); });
}

int list_count(DialogHandle dialog, int id) {
  return on_dialog(dialog, 0, [&](w::DialogRecord& r) { return w::list_count(r, id); });
}

void list_set_selection(DialogHandle dialog, int id, int index) {
  on_dialog(dialog, 0, [&](w::DialogRecord& r) {
    w::list_select(r, id, index);
    return 0;
  });
}

std::string list_item(DialogHandle dialog, int id, int index) {
  return on_dialog(dialog, std::string(), [&](w::DialogRecord& r) { return w::list_item(r, id, index); });
}

void show_control(DialogHandle dialog, int id, bool shown) {
  on_dialog(dialog, 0, [&](w::DialogRecord& r) {
    w::show(r, id, shown);
    return 0;
  });
}

bool is_shown(DialogHandle dialog, int id) {
  return on_dialog(dialog, false, [&](w::DialogRecord& r) { return w::shown(r, id); });
}

uint32_t get_style(DialogHandle dialog, int id) {
  return on_dialog(dialog, uint32_t{0}, [&](w::DialogRecord& r) { return w::style(r, id); });
}

void set_style(DialogHandle dialog, int id, uint32_t style) {
  on_dialog(dialog, 0, [&](w::DialogRecord& r) {
    w::set_style(r, id, style);
    return 0;
  });
}

// The whole client area is painted again, without erasing.
void invalidate(DialogHandle dialog) {
  on_dialog(dialog, 0, [](w::DialogRecord& r) { return InvalidateRect(r.window, nullptr, FALSE); });
}

Rect work_area() {
  RECT area{};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
  return rect_of(area);
}

Rect window_rect(DialogHandle dialog) {
  return on_dialog(dialog, Rect{}, [](w::DialogRecord& r) {
    RECT rect{};
    GetWindowRect(r.window, &rect);
    return rect_of(rect);
  });
}

void move_window(DialogHandle dialog, const Rect& rect) {
  on_dialog(dialog, 0, [&](w::DialogRecord& r) {
    return MoveWindow(r.window, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, TRUE);
  });
}

void show_window(DialogHandle dialog) {
  on_dialog(dialog, 0, [](w::DialogRecord& r) { return ShowWindow(r.window, SW_SHOW); });
}

int message_box(DialogHandle owner, std::string_view text, std::string_view caption, uint32_t flags) {
  return w::message_box(owner, w::live_window(owner), text, caption, flags);
}

bool open_file(DialogHandle owner, std::string_view filter, std::string_view title, std::string& path) {
  return w::open_file(w::live_window(owner), filter, title, path);
}

bool set_caption(DialogHandle dialog, std::string_view text) {
  return on_dialog(dialog, false, [&](w::DialogRecord& r) {
    w::set_caption(r, text);
    return true;
  });
}

std::string window_text(DialogHandle dialog) {
  return on_dialog(dialog, std::string(), [](w::DialogRecord& r) { return w::caption(r); });
}

const platform::UiBackend backend_table{
    .name = "win32",
    .run_dialog = w::run_dialog,
    .end_dialog = w::end_dialog,
    .post_message = w::post_message,
    .set_text = observed::set_text<set_text>,
    .get_text = hub::get_text<text>,
    .set_check = set_check,
    .is_checked = is_checked,
    .list_add = observed::list_add<list_add>,
    .list_delete = list_delete,
    .list_count = list_count,
    .list_set_selection = list_set_selection,
    .list_item = list_item,
    .show_control = show_control,
    .is_shown = is_shown,
    .get_style = get_style,
    .set_style = set_style,
    .invalidate = invalidate,
    .work_area = work_area,
    .window_rect = window_rect,
    .move_window = move_window,
    .show_window = show_window,
    .message_box = message_box,
    .open_file = open_file,
    .set_window_text = observed::set_window_text<set_caption>,
    .window_text = window_text,
    .sleep_serving_calls = hub::sleep_serving_calls,
};

// ---- UiDriver entries ------------------------------------------------------

const UiDriver driver_table{
    .name = "win32",
    .run_on_dialog_thread = hub::run_on_dialog_thread,
    .top_dialog = hub::top_pump,
    .wait_for_dialog = hub::wait_for_pump,
    .dialog_alive = w::dialog_live,
    .user_click = w::user_click,
    .send_message = w::send_to_procedure,
    .queued_items = w::queued_items,
    .push_open_file_answer = scripted::push_open_file_answer,
    .message_boxes = scripted::message_boxes,
    .set_change_observer = observed::set_change_observer,
    .create_test_dialog = w::create_test_dialog,
    .destroy_test_dialog = w::destroy_test_dialog,
    .take_posted_messages = w::take_test_posts,
};

}  // namespace

const platform::UiBackend& win32_backend() { return backend_table; }
const UiDriver& win32_driver() { return driver_table; }
void install_win32_backend() { platform::set_ui_backend(&backend_table); }
void set_win32_automatic_answers(bool automatic) { scripted::set_automatic(automatic); }

}  // namespace tessaril::ui

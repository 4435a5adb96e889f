#include "platform/controls.h"

#include <atomic>
#include <vector>

#include "platform/clock.h"

namespace tessaril::platform {

namespace {
std::atomic<const UiBackend*> installed{nullptr};
}

bool list_line_less(std::string_view a, std::string_view b) {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
    if (x != y) return x < y;
  }
  return a.size() < b.size();
}

void set_ui_backend(const UiBackend* backend) { installed.store(backend, std::memory_order_release); }
const UiBackend* ui_backend() { return installed.load(std::memory_order_acquire); }

// Without a back end every call is a no-op that reads as empty, so code that
// writes to a dialog can run in a test that has none.
intptr_t run_dialog(const DialogTemplate& layout, DialogHandle owner, DialogProc proc, intptr_t init_param) {
  const UiBackend* b = ui_backend();
  return b ? b->run_dialog(layout, owner, proc, init_param) : -1;
}
void end_dialog(DialogHandle dialog, intptr_t result) {
  if (const UiBackend* b = ui_backend()) b->end_dialog(dialog, result);
}
bool post_message(DialogHandle dialog, uint32_t message, uintptr_t wparam, intptr_t lparam) {
  const UiBackend* b = ui_backend();
  return b ? b->post_message(dialog, message, wparam, lparam) : false;
}
void set_control_text(DialogHandle dialog, int id, std::string_view text) {
  if (const UiBackend* b = ui_backend()) b->set_text(dialog, id, text);
}
int get_control_text(DialogHandle dialog, int id, char* buffer, int capacity) {
  const UiBackend* b = ui_backend();
  if (b) return b->get_text(dialog, id, buffer, capacity);
  if (buffer && capacity > 0) buffer[0] = '\0';
  return 0;
}
std::string control_text(DialogHandle dialog, int id) {
  std::vector<char> buffer(64);
  for (;;) {
    int n = get_control_text(dialog, id, buffer.data(), static_cast<int>(buffer.size()));
    if (n < static_cast<int>(buffer.size()) - 1) return std::string(buffer.data(), static_cast<size_t>(n));
    buffer.resize(buffer.size() * 2);
  }
}
void set_check(DialogHandle dialog, int id, bool checked) {
  if (const UiBackend* b = ui_backend()) b->set_check(dialog, id, checked);
}
bool is_checked(DialogHandle dialog, int id) {
  const UiBackend* b = ui_backend();
  return b ? b->is_checked(dialog, id) : false;
}
int list_add(DialogHandle dialog, int id, std::string_view line) {
  const UiBackend* b = ui_backend();
  return b ? b->list_add(dialog, id, line) : -1;
}
int list_delete(DialogHandle dialog, int id, int index) {
  const UiBackend* b = ui_backend();
  return b ? b->list_delete(dialog, id, index) : -1;
}
int list_count(DialogHandle dialog, int id) {
  const UiBackend* b = ui_backend();
  return b ? b->list_count(dialog, id) : 0;
}
void list_set_selection(DialogHandle dialog, int id, int index) {
  if (const UiBackend* b = ui_backend()) b->list_set_selection(dialog, id, index);
}
std::string list_item(DialogHandle dialog, int id, int index) {
  const UiBackend* b = ui_backend();
  return b ? b->list_item(dialog, id, index) : std::string();
}
void show_control(DialogHandle dialog, int id, bool shown) {
  if (const UiBackend* b = ui_backend()) b->show_control(dialog, id, shown);
}
bool is_shown(DialogHandle dialog, int id) {
  const UiBackend* b = ui_backend();
  return b ? b->is_shown(dialog, id) : false;
}
uint32_t get_style(DialogHandle dialog, int id) {
  const UiBackend* b = ui_backend();
  return b ? b->get_style(dialog, id) : 0;
}
void set_style(DialogHandle dialog, int id, uint32_t style) {
  if (const UiBackend* b = ui_backend()) b->set_style(dialog, id, style);
}
void invalidate(DialogHandle dialog) {
  if (const UiBackend* b = ui_backend()) b->invalidate(dialog);
}
Rect work_area() {
  const UiBackend* b = ui_backend();
  return b ? b->work_area() : Rect{};
}
Rect window_rect(DialogHandle dialog) {
  const UiBackend* b = ui_backend();
  return b ? b->window_rect(dialog) : Rect{};
}
void move_window(DialogHandle dialog, const Rect& rect) {
  if (const UiBackend* b = ui_backend()) b->move_window(dialog, rect);
}
void show_window(DialogHandle dialog) {
  if (const UiBackend* b = ui_backend()) b->show_window(dialog);
}
int message_box(DialogHandle owner, std::string_view text, std::string_view caption, uint32_t flags) {
  const UiBackend* b = ui_backend();
  return b ? b->message_box(owner, text, caption, flags) : IDCANCEL;
}
bool open_file(DialogHandle owner, std::string_view filter, std::string_view title, std::string& path) {
  const UiBackend* b = ui_backend();
  return b ? b->open_file(owner, filter, title, path) : false;
}
void set_window_text(DialogHandle dialog, std::string_view text) {
  if (const UiBackend* b = ui_backend()) b->set_window_text(dialog, text);
}
std::string window_text(DialogHandle dialog) {
  const UiBackend* b = ui_backend();
  return b ? b->window_text(dialog) : std::string();
}

void sleep_serving_calls(int64_t ms) {
  if (const UiBackend* b = ui_backend())
    b->sleep_serving_calls(ms);
  else
    sleep_ms(ms);
}

}  // namespace tessaril::platform

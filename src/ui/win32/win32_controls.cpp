#include "ui/win32/win32_controls.h"

#include <algorithm>

#include "ui/win32/win32_fit.h"

namespace tessaril::ui::win32 {

namespace p = platform;

namespace {


HWND control(const DialogRecord& dialog, int id) { return GetDlgItem(dialog.window, id); }

std::string window_text(HWND window) {
  const int length = GetWindowTextLengthA(window);
  std::string text(static_cast<size_t>(std::max(length, 0)) + 1, '\0');
  const int n = GetWindowTextA(window, text.data(), length + 1);
  text.resize(static_cast<size_t>(std::max(n, 0)));
  return text;
}

void write_text(DialogRecord& dialog, int key, HWND window, std::string_view text) {
  // A window text ends at its first NUL.
  const std::string bytes(text.substr(0, text.find('\0')));
  SetWindowTextA(window, bytes.c_str());
  std::string back = window_text(window);
  if (back == bytes)
    dialog.texts.erase(key);
  else
    dialog.texts[key] = TextShadow{bytes, std::move(back)};
}

std::string read_text(const DialogRecord& dialog, int key, HWND window) {
  std::string now = window_text(window);
  auto it = dialog.texts.find(key);
  return (it != dialog.texts.end() && now == it->second.read_back) ? it->second.written : now;
}

HWND list_box(const DialogRecord& dialog, int id) {
  auto kind = dialog.kinds.find(id);
  return (kind != dialog.kinds.end() && kind->second == p::ControlKind::ListBox) ? control(dialog, id) : nullptr;
}

std::string box_line(HWND box, int index) {
  const LRESULT length = SendMessageA(box, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length < 0) return {};
  std::string line(static_cast<size_t>(length) + 1, '\0');
  const LRESULT n = SendMessageA(box, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(line.data()));
  line.resize(static_cast<size_t>(std::max<LRESULT>(n, 0)));
  return line;
}

// The record's lines of the box; read from the box should they differ in
// number (a message sent to the box behind the back end).
ListLines& lines_of(DialogRecord& dialog, int id, HWND box) {
  ListLines& l = dialog.lists[id];
  const LRESULT count = SendMessageA(box, LB_GETCOUNT, 0, 0);
  if (count >= 0 && static_cast<size_t>(count) != l.lines.size()) {
    l.lines.clear();
    for (int i = 0; i < count; ++i) l.lines.push_back(box_line(box, i));
  }
  return l;
}

}  // namespace

bool set_text(DialogRecord& dialog, int id, std::string_view text) {
  HWND c = control(dialog, id);
  if (!c) return false;
  write_text(dialog, id, c, text);
  fit_text(dialog, c);
  return true;
}

std::string text(DialogRecord& dialog, int id) {
  HWND c = control(dialog, id);
  return c ? read_text(dialog, id, c) : std::string();
}

void set_caption(DialogRecord& dialog, std::string_view text) { write_text(dialog, 0, dialog.window, text); }

std::string caption(DialogRecord& dialog) { return read_text(dialog, 0, dialog.window); }

void set_check(DialogRecord& dialog, int id, bool checked) {
  HWND c = control(dialog, id);
  if (!c) return;
  // Ticking an automatic radio button by BM_SETCHECK unticks the rest of its
  // group as well (Wine's button, the common controls 6); the program's tick
  // sets this one button, as a click does not. For the call the button is a
  // plain radio button.
  const uint32_t before = static_cast<uint32_t>(GetWindowLongA(c, GWL_STYLE));
  const bool automatic_radio = (before & BUTTON_TYPE_MASK) == p::BS_AUTORADIOBUTTON;
  if (automatic_radio) SetWindowLongA(c, GWL_STYLE, static_cast<LONG>((before & ~BUTTON_TYPE_MASK) | BS_RADIOBUTTON));
  SendMessageA(c, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
  if (automatic_radio) {
    const uint32_t after = static_cast<uint32_t>(GetWindowLongA(c, GWL_STYLE));  // BM_SETCHECK moves WS_TABSTOP
    SetWindowLongA(c, GWL_STYLE, static_cast<LONG>((after & ~BUTTON_TYPE_MASK) | p::BS_AUTORADIOBUTTON));
  }
}

bool checked(DialogRecord& dialog, int id) {
  HWND c = control(dialog, id);
  return c && SendMessageA(c, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

int list_add(DialogRecord& dialog, int id, std::string_view line) {
  HWND box = list_box(dialog, id);
  if (!box) return -1;
  ListLines& lines = lines_of(dialog, id, box);
  std::string bytes(line);
  LRESULT index;
  if (static_cast<uint32_t>(GetWindowLongA(box, GWL_STYLE)) & p::LBS_SORT) {
    auto at = std::upper_bound(lines.lines.begin(), lines.lines.end(), bytes,
                               [](const std::string& a, const std::string& b) { return p::list_line_less(a, b); });
    index = SendMessageA(box, LB_INSERTSTRING, static_cast<WPARAM>(at - lines.lines.begin()),
                         reinterpret_cast<LPARAM>(bytes.c_str()));
  } else {
    index = SendMessageA(box, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(bytes.c_str()));
  }
  if (index < 0) return -1;
  lines.lines.insert(lines.lines.begin() + index, std::move(bytes));
  return static_cast<int>(index);
}

int list_delete(DialogRecord& dialog, int id, int index) {
  HWND box = list_box(dialog, id);
  if (!box) return -1;
  ListLines& lines = lines_of(dialog, id, box);
  if (index < 0 || static_cast<size_t>(index) >= lines.lines.size()) return -1;
  const LRESULT left = SendMessageA(box, LB_DELETESTRING, static_cast<WPARAM>(index), 0);
  if (left < 0) return -1;
  lines.lines.erase(lines.lines.begin() + index);
  return static_cast<int>(left);
}

int list_count(DialogRecord& dialog, int id) {
  HWND box = list_box(dialog, id);
  return box ? static_cast<int>(std::max<LRESULT>(SendMessageA(box, LB_GETCOUNT, 0, 0), 0)) : 0;
}

void list_select(DialogRecord& dialog, int id, int index) {
  if (HWND box = list_box(dialog, id)) SendMessageA(box, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

std::string list_item(DialogRecord& dialog, int id, int index) {
  HWND box = list_box(dialog, id);
  if (!box) return {};
  const ListLines& lines = lines_of(dialog, id, box);
  return (index >= 0 && static_cast<size_t>(index) < lines.lines.size()) ? lines.lines[static_cast<size_t>(index)]
                                                                         : std::string();
}

void size_list_boxes(DialogRecord& dialog) {
  for (const auto& [id, units] : dialog.list_box_units) {
    RECT r = units;
    MapDialogRect(dialog.window, &r);
    if (HWND box = control(dialog, id))
      SetWindowPos(box, nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void show(DialogRecord& dialog, int id, bool shown) {
  if (HWND c = control(dialog, id)) ShowWindow(c, shown ? SW_SHOW : SW_HIDE);
}

bool shown(DialogRecord& dialog, int id) {
  HWND c = control(dialog, id);
  return c && (static_cast<uint32_t>(GetWindowLongA(c, GWL_STYLE)) & p::WS_VISIBLE) != 0;
}

uint32_t style(DialogRecord& dialog, int id) {
  HWND c = control(dialog, id);
  return c ? static_cast<uint32_t>(GetWindowLongA(c, GWL_STYLE)) : 0;
}

void set_style(DialogRecord& dialog, int id, uint32_t style) {
  HWND c = control(dialog, id);
  if (!c) return;
  // WS_VISIBLE written by SetWindowLongA alone would leave a hidden control's
  // pixels in place (or show nothing): the window is shown or hidden by
  // ShowWindow, and the rest of the style is drawn anew.
  const uint32_t visible = static_cast<uint32_t>(GetWindowLongA(c, GWL_STYLE)) & p::WS_VISIBLE;
  SetWindowLongA(c, GWL_STYLE, static_cast<LONG>((style & ~p::WS_VISIBLE) | visible));
  if ((style & p::WS_VISIBLE) != visible) ShowWindow(c, (style & p::WS_VISIBLE) ? SW_SHOW : SW_HIDE);
  SetWindowPos(c, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  fit_text(dialog, c);
  InvalidateRect(c, nullptr, TRUE);
}

}  // namespace tessaril::ui::win32

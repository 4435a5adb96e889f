// Dialogs and controls.
//
// Principles of operation: the system is written against Windows dialogs whose
// controls are addressed by numeric ids, whose procedures receive messages on
// the dialog thread, and whose worker threads write control texts directly and
// post messages. This header offers exactly those services. A UI back end
// (headless, Qt, Win32) implements them by filling a UiBackend table; the
// program installs one back end at start-up.
//
// Rules every back end keeps:
// - A DialogHandle is never reused within a process. A message posted to a
//   dialog that has ended is dropped (post_message returns false); a control
//   call on it does nothing and reads as empty.
// - Control calls may come from any thread. They are served as if the dialog
//   thread ran them (Win32 makes them synchronous; the headless store holds a
//   mutex; Qt runs them blocking-queued on the GUI thread).
// - Dialog procedures run only on the dialog thread. run_dialog pumps the
//   messages of every live dialog until the dialog it started ends, so a modal
//   dialog started from a procedure nests as on Windows.
// - Texts are CP932 byte strings. The back end converts for display.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tessaril::platform {

using DialogHandle = int32_t;
constexpr DialogHandle NO_DIALOG = 0;

// Message numbers as Windows numbers them.
constexpr uint32_t WM_CLOSE = 0x0010;
constexpr uint32_t WM_PAINT = 0x000F;
constexpr uint32_t WM_INITDIALOG = 0x0110;
constexpr uint32_t WM_COMMAND = 0x0111;

// A dialog procedure: returns nonzero when it handled the message.
using DialogProc = intptr_t (*)(DialogHandle dialog, uint32_t message, uintptr_t wparam, intptr_t lparam);

enum class ControlKind {
  Static,       // text label or result field
  Edit,         // one-line edit
  Button,       // push button; a click sends WM_COMMAND with its id
  CheckBox,     // automatic check box
  RadioButton,  // automatic radio button; a group runs from a group_start to the next
  ListBox,
  GroupBox,
};

// Window styles the system reads or sets, with their Windows values.
constexpr uint32_t WS_VISIBLE = 0x10000000;
constexpr uint32_t WS_DISABLED = 0x08000000;
constexpr uint32_t LBS_NOTIFY = 0x0001;
constexpr uint32_t LBS_SORT = 0x0002;
constexpr uint32_t LBS_NOINTEGRALHEIGHT = 0x0100;
constexpr uint32_t ES_UPPERCASE = 0x0008;
constexpr uint32_t ES_NUMBER = 0x2000;

// One control of a dialog layout, position and size in dialog units. The
// text is UTF-8 in the layout tables; back ends convert it to CP932.
struct ControlSpec {
  int id;
  ControlKind kind;
  const char* text;
  int x, y, width, height;
  uint32_t style;    // kind-specific style bits (LBS_SORT, ES_NUMBER, ...)
  bool shown;        // created visible
  bool group_start;  // first control of a radio group
};

struct DialogTemplate {
  int id;  // 101, 103, ...
  const char* caption;
  int x, y, width, height;  // dialog units
  const ControlSpec* controls;
  size_t control_count;
};

struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;
};

// Message box flags and results, Windows values.
constexpr uint32_t MB_OK = 0x0;
constexpr uint32_t MB_OKCANCEL = 0x1;
constexpr uint32_t MB_YESNO = 0x4;
constexpr uint32_t MB_ICONERROR = 0x10;
constexpr uint32_t MB_ICONWARNING = 0x30;
constexpr uint32_t MB_ICONINFORMATION = 0x40;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// The table a back end fills. Every entry is required.
struct UiBackend {
  const char* name;

  // Creates the dialog from its template, sends WM_INITDIALOG (lparam =
  // init_param), shows it, and pumps messages until end_dialog is called for
  // it; returns the value passed to end_dialog.
  intptr_t (*run_dialog)(const DialogTemplate& layout, DialogHandle owner, DialogProc proc, intptr_t init_param);
  void (*end_dialog)(DialogHandle dialog, intptr_t result);
  // Queues a message for the dialog's procedure; false when the dialog has ended.
  bool (*post_message)(DialogHandle dialog, uint32_t message, uintptr_t wparam, intptr_t lparam);

  void (*set_text)(DialogHandle dialog, int id, std::string_view text);
  // GetWindowTextA: copies at most capacity - 1 bytes and a NUL, returns the
  // bytes copied; capacity 0 copies nothing.
  int (*get_text)(DialogHandle dialog, int id, char* buffer, int capacity);
  void (*set_check)(DialogHandle dialog, int id, bool checked);
  bool (*is_checked)(DialogHandle dialog, int id);

  // List boxes. list_add returns the index where the line went (sorted boxes
  // place it by its text as LB_ADDSTRING does) or -1.
  int (*list_add)(DialogHandle dialog, int id, std::string_view line);
  // Returns the count left, or -1 for a bad index.
  int (*list_delete)(DialogHandle dialog, int id, int index);
  int (*list_count)(DialogHandle dialog, int id);
  void (*list_set_selection)(DialogHandle dialog, int id, int index);
  // The line at index, empty when there is none.
  std::string (*list_item)(DialogHandle dialog, int id, int index);

  void (*show_control)(DialogHandle dialog, int id, bool shown);
  bool (*is_shown)(DialogHandle dialog, int id);
  uint32_t (*get_style)(DialogHandle dialog, int id);
  void (*set_style)(DialogHandle dialog, int id, uint32_t style);
  void (*invalidate)(DialogHandle dialog);

  // Window placement, in pixels. work_area is the desktop minus task bars.
  Rect (*work_area)();
  Rect (*window_rect)(DialogHandle dialog);
  void (*move_window)(DialogHandle dialog, const Rect& rect);
  void (*show_window)(DialogHandle dialog);

  int (*message_box)(DialogHandle owner, std::string_view text, std::string_view caption, uint32_t flags);
  // The open-file dialog for one existing file. filter is the Windows filter
  // text ("a\0*.a\0\0" form as a string_view including its NULs), its first
  // entry selected; title is the dialog's caption. The dialog starts in the
  // working folder with an empty name field and the read-only box ticked, and
  // leaves the working folder as it was. True with the full path chosen,
  // false when cancelled.
  bool (*open_file)(DialogHandle owner, std::string_view filter, std::string_view title, std::string& path);

  // The dialog's own caption (SetWindowTextA and GetWindowTextA on the
  // dialog rather than a control). It starts as the template's caption. Any
  // thread may set it, as with control texts; on a dialog that has ended the
  // set does nothing and the caption reads as empty.
  void (*set_window_text)(DialogHandle dialog, std::string_view text);
  std::string (*window_text)(DialogHandle dialog);

  // Sleeps ms milliseconds (a negative ms counts as 0). On the dialog thread
  // it meanwhile runs the control calls that other threads are waiting for,
  // never a dialog procedure or a posted message: the dialog thread waiting
  // for a worker that is inside a control call must not hold it. Elsewhere a
  // plain sleep. Back ends whose control calls never need the dialog thread
  // just sleep.
  void (*sleep_serving_calls)(int64_t ms);
};

// The order of a sorted list box: LB_ADDSTRING compares lines without regard
// to the case of ASCII letters and places a line after those that compare
// equal (upper_bound with this order).
bool list_line_less(std::string_view a, std::string_view b);

// Installs the back end every call below goes to. Done once, before any dialog.
void set_ui_backend(const UiBackend* backend);
const UiBackend* ui_backend();

// Thin forwarders to the installed back end, named after what they do.
intptr_t run_dialog(const DialogTemplate& layout, DialogHandle owner, DialogProc proc, intptr_t init_param);
void end_dialog(DialogHandle dialog, intptr_t result);
bool post_message(DialogHandle dialog, uint32_t message, uintptr_t wparam, intptr_t lparam);
void set_control_text(DialogHandle dialog, int id, std::string_view text);
int get_control_text(DialogHandle dialog, int id, char* buffer, int capacity);
std::string control_text(DialogHandle dialog, int id);  // the whole text
void set_check(DialogHandle dialog, int id, bool checked);
bool is_checked(DialogHandle dialog, int id);
int list_add(DialogHandle dialog, int id, std::string_view line);
int list_delete(DialogHandle dialog, int id, int index);
int list_count(DialogHandle dialog, int id);
void list_set_selection(DialogHandle dialog, int id, int index);
std::string list_item(DialogHandle dialog, int id, int index);
void show_control(DialogHandle dialog, int id, bool shown);
bool is_shown(DialogHandle dialog, int id);
uint32_t get_style(DialogHandle dialog, int id);
void set_style(DialogHandle dialog, int id, uint32_t style);
void invalidate(DialogHandle dialog);
Rect work_area();
Rect window_rect(DialogHandle dialog);
void move_window(DialogHandle dialog, const Rect& rect);
void show_window(DialogHandle dialog);
int message_box(DialogHandle owner, std::string_view text, std::string_view caption, uint32_t flags);
bool open_file(DialogHandle owner, std::string_view filter, std::string_view title, std::string& path);
void set_window_text(DialogHandle dialog, std::string_view text);
std::string window_text(DialogHandle dialog);
// The wait of the dialog thread for a worker; a plain sleep without a back end.
void sleep_serving_calls(int64_t ms);

}  // namespace tessaril::platform

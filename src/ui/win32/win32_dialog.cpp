#include "ui/win32/win32_dialog.h"

#include <vector>

#include "ui/win32/win32_calls.h"
#include "ui/win32/win32_controls.h"
#include "ui/win32/win32_fit.h"
#include "ui/win32/win32_template.h"

namespace tessaril::ui::win32 {

namespace p = platform;
using platform::DialogHandle;

namespace {


// What WM_INITDIALOG needs to tie the window to its handle.
struct Start {
  DialogHandle handle;
  p::DialogProc proc;
  intptr_t init_param;
};

DialogHandle handle_of(HWND window) { return static_cast<DialogHandle>(GetWindowLongPtrA(window, DWLP_USER)); }

INT_PTR CALLBACK dialog_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == p::WM_INITDIALOG) {
    const auto* start = reinterpret_cast<const Start*>(lparam);
    SetWindowLongPtrA(window, DWLP_USER, start->handle);
    attach_window(start->handle, window);
    run_control_call(start->handle, [](DialogRecord& r) {
      size_list_boxes(r);
      fit_all_texts(r);
    });
    return start->proc ? static_cast<INT_PTR>(start->proc(start->handle, message, 0, start->init_param)) : TRUE;
  }
  const DialogHandle handle = handle_of(window);
  if (handle == p::NO_DIALOG) return FALSE;  // before WM_INITDIALOG (WM_SETFONT)
  switch (message) {
    case WM_CONTROL_CALL:
      serve_control_calls(handle);
      return TRUE;
    case WM_HANDED_WORK:
      serve_handed_work();
      return TRUE;
    case WM_END_FROM_WORKER:
      EndDialog(window, static_cast<INT_PTR>(lparam));
      return TRUE;
    default:
      break;
  }
  // What a user types is fitted as what the program writes.
  if (message == p::WM_COMMAND && HIWORD(wparam) == EN_CHANGE && lparam)
    run_control_call(handle, [&](DialogRecord& r) { fit_text(r, reinterpret_cast<HWND>(lparam)); });
  const p::DialogProc proc = proc_for_message(handle, message, wparam, lparam);
  const intptr_t handled = proc ? proc(handle, message, wparam, static_cast<intptr_t>(lparam)) : 0;
  if (message == p::WM_PAINT) {
    PAINTSTRUCT paint;
    BeginPaint(window, &paint);
    EndPaint(window, &paint);
    return TRUE;
  }
  return handled ? TRUE : FALSE;
}

bool is_button_of_type(HWND control, uint32_t type) {
  char name[16] = {};
  GetClassNameA(control, name, sizeof name);
  return lstrcmpiA(name, "Button") == 0 &&
         (static_cast<uint32_t>(GetWindowLongA(control, GWL_STYLE)) & BUTTON_TYPE_MASK) == type;
}

bool starts_group(HWND control) {
  return (static_cast<uint32_t>(GetWindowLongA(control, GWL_STYLE)) & p::WS_GROUP) != 0;
}

// Ticks the radio button and unticks the other automatic radio buttons of
// its group: the sibling windows in template order from the last WS_GROUP
// up to it, to the next WS_GROUP after it.
void select_in_group(HWND chosen) {
  HWND first = chosen;
  while (!starts_group(first)) {
    HWND previous = GetWindow(first, GW_HWNDPREV);
    if (!previous) break;
    first = previous;
  }
  for (HWND c = first; c; c = GetWindow(c, GW_HWNDNEXT)) {
    if (c != first && starts_group(c)) break;
    if (c != chosen && is_button_of_type(c, p::BS_AUTORADIOBUTTON)) SendMessageA(c, BM_SETCHECK, BST_UNCHECKED, 0);
  }
  SendMessageA(chosen, BM_SETCHECK, BST_CHECKED, 0);
}

}  // namespace

intptr_t run_dialog(const p::DialogTemplate& layout, DialogHandle owner, p::DialogProc proc, intptr_t init_param) {
  const std::vector<uint16_t> words = build_dialog_template(layout, dialog_style(layout, owner != p::NO_DIALOG));
  const Start start{register_dialog(layout, proc, true, false), proc, init_param};
  const INT_PTR result =
      DialogBoxIndirectParamA(GetModuleHandleA(nullptr), reinterpret_cast<LPCDLGTEMPLATEA>(words.data()),
                              live_window(owner), dialog_procedure, reinterpret_cast<LPARAM>(&start));
  retire_dialog(start.handle);
  return static_cast<intptr_t>(result);
}

void end_dialog(DialogHandle dialog, intptr_t result) {
  HWND window = nullptr;
  DWORD thread = 0;
  if (!mark_ended(dialog, window, thread) || !window) return;
  if (thread == GetCurrentThreadId())
    EndDialog(window, static_cast<INT_PTR>(result));
  else
    PostMessageA(window, WM_END_FROM_WORKER, 0, static_cast<LPARAM>(result));
}

DialogHandle create_test_dialog(const p::DialogTemplate& layout) {
  const std::vector<uint16_t> words = build_dialog_template(layout, dialog_style(layout, false));
  const Start start{register_dialog(layout, nullptr, false, true), nullptr, 0};
  HWND window = CreateDialogIndirectParamA(GetModuleHandleA(nullptr), reinterpret_cast<LPCDLGTEMPLATEA>(words.data()),
                                           nullptr, dialog_procedure, reinterpret_cast<LPARAM>(&start));
  if (!window) {
    retire_dialog(start.handle);
    return p::NO_DIALOG;
  }
  return start.handle;
}

void destroy_test_dialog(DialogHandle dialog) {
  // The window goes first: its controls may use the dialog's fonts until then.
  if (HWND window = live_window(dialog)) DestroyWindow(window);
  retire_dialog(dialog);
}

void user_click(DialogHandle dialog, int id) {
  HWND window = live_window(dialog);
  if (!window) return;
  HWND control = GetDlgItem(window, id);
  if (control) {
    if (!IsWindowEnabled(control)) return;
    if (is_button_of_type(control, p::BS_AUTOCHECKBOX)) {
      const bool on = SendMessageA(control, BM_GETCHECK, 0, 0) == BST_CHECKED;
      SendMessageA(control, BM_SETCHECK, on ? BST_UNCHECKED : BST_CHECKED, 0);
    } else if (is_button_of_type(control, p::BS_AUTORADIOBUTTON)) {
      select_in_group(control);
    }
  }
  SendMessageA(window, p::WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), BN_CLICKED), reinterpret_cast<LPARAM>(control));
}

intptr_t send_to_procedure(DialogHandle dialog, uint32_t message, uintptr_t wparam, intptr_t lparam) {
  const p::DialogProc proc = live_proc(dialog);
  return proc ? proc(dialog, message, wparam, lparam) : 0;
}

HWND dialog_window(DialogHandle dialog) { return live_window(dialog); }

}  // namespace tessaril::ui::win32

// The control calls of the Win32 back end, as the system makes them: GetDlgItem,
// SetWindowTextA and GetWindowTextA, SendMessageA with BM_SETCHECK and
// BM_GETCHECK for check boxes and radio buttons and with LB_ messages for
// list boxes, ShowWindow, GetWindowLongA and SetWindowLongA.
//
// How it works: each function runs on the dialog thread with a live
// dialog's record (win32_backend.cpp brings it there through
// run_control_call). Texts are CP932 bytes and the ANSI calls take them as
// they are: the ANSI code page is 932 under the Japanese locale. Where
// Windows would give back other bytes than were written (bytes that form no
// CP932 character), the record keeps the written ones and a read returns
// them while the control still shows what Windows made of them; what a user
// typed is read as Windows gives it.
//
// A sorted list box takes a line after the lines that compare equal to it
// without regard to the case of ASCII letters (platform::list_line_less),
// as on every back end. LB_ADDSTRING would sort by the locale's collation
// and put the line before its equals, so the line goes in at its place by
// LB_INSERTSTRING, which does not sort. The record keeps the box's lines as
// written for that search and for reads. No horizontal extent is set (a
// line longer than the box ends at its edge): with one, Wine's list box
// trims its height for a scroll bar it then does not show.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "ui/win32/win32_calls.h"

namespace tessaril::ui::win32 {

// False when the dialog has no control id.
bool set_text(DialogRecord& dialog, int id, std::string_view text);
std::string text(DialogRecord& dialog, int id);
void set_caption(DialogRecord& dialog, std::string_view text);
std::string caption(DialogRecord& dialog);

void set_check(DialogRecord& dialog, int id, bool checked);
bool checked(DialogRecord& dialog, int id);

// -1 when id is no list box or the box refuses the line.
int list_add(DialogRecord& dialog, int id, std::string_view line);
int list_delete(DialogRecord& dialog, int id, int index);
int list_count(DialogRecord& dialog, int id);
void list_select(DialogRecord& dialog, int id, int index);
std::string list_item(DialogRecord& dialog, int id, int index);

// The list boxes' heights as the layout gives them. A list box keeps whole
// lines: it trims its height to its line height when it is made, before the
// dialog font is set, and Wine then keeps the height of the larger system
// font's lines. Sized again once the dialog exists, it trims by the dialog
// font's. (Dialog thread, at WM_INITDIALOG.)
void size_list_boxes(DialogRecord& dialog);

void show(DialogRecord& dialog, int id, bool shown);
bool shown(DialogRecord& dialog, int id);
uint32_t style(DialogRecord& dialog, int id);
// The new style as a whole; WS_VISIBLE shows or hides the control.
void set_style(DialogRecord& dialog, int id, uint32_t style);

}  // namespace tessaril::ui::win32

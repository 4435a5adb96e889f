// Windows' headers for the Win32 back end, with the names that the platform
// layer defines as well taken back.
//
// How it works: platform/controls.h and platform/control_styles.h name the
// messages, styles and message-box values the system uses, with Windows'
// values, as constants of tessaril::platform. <windows.h> defines the same
// names as macros, which would rewrite every later use of the constants. So
// the platform headers come first, Windows' after them, and the macros of
// the shared names are undefined: code of this folder writes those values by
// their platform names (p::WS_VISIBLE, p::WM_COMMAND) and every other Windows
// name as Windows spells it. Include this header before any other Windows
// header.
#pragma once

#include "platform/control_styles.h"
#include "platform/controls.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <commctrl.h>
#include <commdlg.h>

// platform/controls.h
#undef WM_CLOSE
#undef WM_PAINT
#undef WM_INITDIALOG
#undef WM_COMMAND
#undef WS_VISIBLE
#undef WS_DISABLED
#undef LBS_NOTIFY
#undef LBS_SORT
#undef LBS_NOINTEGRALHEIGHT
#undef ES_UPPERCASE
#undef ES_NUMBER
#undef MB_OK
#undef MB_OKCANCEL
#undef MB_YESNO
#undef MB_ICONERROR
#undef MB_ICONWARNING
#undef MB_ICONINFORMATION
#undef IDOK
#undef IDCANCEL
#undef IDYES
#undef IDNO
// platform/control_styles.h
#undef WS_CHILD
#undef WS_POPUP
#undef WS_CAPTION
#undef WS_BORDER
#undef WS_SYSMENU
#undef WS_VSCROLL
#undef WS_HSCROLL
#undef WS_GROUP
#undef WS_TABSTOP
#undef DS_MODALFRAME
#undef DS_SETFONT
#undef BS_PUSHBUTTON
#undef BS_DEFPUSHBUTTON
#undef BS_AUTOCHECKBOX
#undef BS_GROUPBOX
#undef BS_AUTORADIOBUTTON
#undef BS_CENTER
#undef BS_VCENTER
#undef ES_LEFT
#undef ES_CENTER
#undef ES_RIGHT
#undef ES_AUTOHSCROLL
#undef SS_LEFT
#undef SS_CENTER
#undef SS_RIGHT
#undef SS_SUNKEN

namespace tessaril::ui::win32 {

// The bits of a button's style that say which kind of button it is.
constexpr uint32_t BUTTON_TYPE_MASK = BS_TYPEMASK;

}  // namespace tessaril::ui::win32

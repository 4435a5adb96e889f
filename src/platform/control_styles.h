// Window and control style bits the dialog layouts use, with their Windows
// values, so that every back end reads one layout the same way (the Win32 back
// end passes them through, the Qt back end maps them to alignment, frames and
// scroll bars, the headless back end keeps them as the control's style).
// WS_VISIBLE and the list-box and edit bits the system itself reads are in
// controls.h.
#pragma once

#include <cstdint>

#include "platform/controls.h"

namespace tessaril::platform {

// Window styles.
constexpr uint32_t WS_CHILD = 0x40000000;
constexpr uint32_t WS_POPUP = 0x80000000;
constexpr uint32_t WS_CAPTION = 0x00C00000;
constexpr uint32_t WS_BORDER = 0x00800000;
constexpr uint32_t WS_SYSMENU = 0x00080000;
constexpr uint32_t WS_VSCROLL = 0x00200000;
constexpr uint32_t WS_HSCROLL = 0x00100000;
constexpr uint32_t WS_GROUP = 0x00020000;
constexpr uint32_t WS_TABSTOP = 0x00010000;
constexpr uint32_t DS_MODALFRAME = 0x00000080;
constexpr uint32_t DS_SETFONT = 0x00000040;

// Buttons.
constexpr uint32_t BS_PUSHBUTTON = 0x0000;
constexpr uint32_t BS_DEFPUSHBUTTON = 0x0001;
constexpr uint32_t BS_AUTOCHECKBOX = 0x0003;
constexpr uint32_t BS_GROUPBOX = 0x0007;
constexpr uint32_t BS_AUTORADIOBUTTON = 0x0009;
constexpr uint32_t BS_CENTER = 0x0300;
constexpr uint32_t BS_VCENTER = 0x0C00;

// Edits (ES_UPPERCASE and ES_NUMBER are in controls.h).
constexpr uint32_t ES_LEFT = 0x0000;
constexpr uint32_t ES_CENTER = 0x0001;
constexpr uint32_t ES_RIGHT = 0x0002;
constexpr uint32_t ES_AUTOHSCROLL = 0x0080;

// Statics.
constexpr uint32_t SS_LEFT = 0x0000;
constexpr uint32_t SS_CENTER = 0x0001;
constexpr uint32_t SS_RIGHT = 0x0002;
constexpr uint32_t SS_SUNKEN = 0x1000;

}  // namespace tessaril::platform

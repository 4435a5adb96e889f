// The two dialog layouts: the port-selection dialog (template 101) and the
// command dialog (template 103).
//
// How it works: each layout is a table of ControlSpec rows in template (tab)
// order, positions and sizes in dialog units, texts in UTF-8. Every UI back
// end builds its dialogs from these tables and from nothing else: the headless
// back end as an in-memory control store, the Qt back end as widgets placed by
// dialog units, the Win32 back end as an in-memory dialog template.
//
// A control's `shown` says whether it is created visible; the hidden ones (the
// commands 0x60, 0x61, 0x74 to 0x79, 0x7B to 0x7F with their inputs, and
// "Reset State") are never shown by the program, but are complete: their
// builders run when they are clicked. Radio groups run from a row marked
// `group_start` to the next such row, as WS_GROUP makes them on Windows.
// Labels and group boxes have the id IDC_STATIC.
//
// The command buttons' captions come from the command table of the commands
// subsystem, so a caption is written once.
#pragma once

#include <cstdint>

#include "platform/control_styles.h"
#include "platform/controls.h"
#include "shell/control_ids.h"

namespace tessaril::shell {

extern const platform::DialogTemplate port_dialog_template;     // 101
extern const platform::DialogTemplate command_dialog_template;  // 103

// Window styles and font of the two dialogs, for back ends that draw frames.
// The port dialog has a system menu (its close box ends the program); the
// command dialog has none: "Return to Menu" is its only way out.
inline constexpr uint32_t PORT_DIALOG_STYLE =
    platform::WS_POPUP | platform::WS_CAPTION | platform::WS_SYSMENU | platform::DS_MODALFRAME | platform::DS_SETFONT;
inline constexpr uint32_t COMMAND_DIALOG_STYLE =
    platform::WS_POPUP | platform::WS_CAPTION | platform::DS_MODALFRAME | platform::DS_SETFONT;
inline constexpr int DIALOG_FONT_POINTS = 9;
inline constexpr const char* dialog_font_face = "ＭＳ Ｐゴシック";  // UTF-8

// The style "Return to Menu" (223) gets when the command dialog opens: child,
// visible, push button, text centred both ways, no tab stop.
inline constexpr uint32_t RETURN_TO_MENU_STYLE = 0x50000F00;

// The row of control id in a layout, or nullptr. Labels (IDC_STATIC) are not
// looked up.
const platform::ControlSpec* find_control_spec(const platform::DialogTemplate& layout, int id);

}  // namespace tessaril::shell

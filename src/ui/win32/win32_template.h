// The in-memory dialog template of a layout table: what the resource compiler
// makes of a DIALOG statement, built at run time from the rows every back end
// reads (shell/layout_tables.h).
//
// How it works: a DLGTEMPLATE header (style, number of controls, position and
// size in dialog units), no menu, the standard dialog class, the caption and,
// with DS_SETFONT, the font's point size and face name; then one
// DLGITEMTEMPLATE per row, each on a DWORD boundary: style, position and
// size, id, the class as a predefined atom, the text, no creation data. Texts
// are the rows' UTF-8 in UTF-16, as the resource compiler stores them; the
// window then gives them to the program in the ANSI code page.
//
// A control's window style: child, visible when the row is shown, WS_GROUP
// when it starts a radio group, the row's own bits, and for buttons the type
// that its kind names (check boxes and radio buttons automatic, group boxes
// BS_GROUPBOX), so that a row written with style 0 still makes its kind.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/controls.h"

namespace tessaril::ui::win32 {

// The dialog's window style: the port dialog's or the command dialog's, and
// for any other layout the command dialog's when it has an owner.
uint32_t dialog_style(const platform::DialogTemplate& layout, bool owned);

uint32_t control_style(const platform::ControlSpec& row);

// The predefined class atom: 0x0080 Button, 0x0081 Edit, 0x0082 Static, 0x0083 ListBox.
uint16_t control_class_atom(platform::ControlKind kind);

// The template, to be passed to DialogBoxIndirectParamA or
// CreateDialogIndirectParamA (the vector's storage is DWORD aligned).
std::vector<uint16_t> build_dialog_template(const platform::DialogTemplate& layout, uint32_t style);

}  // namespace tessaril::ui::win32

// Texts fitted to their controls when the dialog font is not the one the
// layout was drawn for.
//
// How it works: "ＭＳ Ｐゴシック" is missing where the Japanese supplemental
// fonts are not installed, and under Wine; Windows then draws with a font
// whose letters may be wider (IPA P Gothic, its metric-alike, is for many
// of the dialogs' Latin texts). A text wider than the room its control gives
// it is drawn in the dialog font condensed (a narrower average character
// width), down to MIN_TEXT_STRETCH percent, as the Qt back end does; a
// text that fits keeps the dialog font, so with the original font nothing
// changes. The room is the control's client width less what the control
// draws besides its text: a push button's edges, the box of a check box or
// radio button, a group box's frame, an edit's margins.
#pragma once

#include "ui/win32/win32_calls.h"

namespace tessaril::ui::win32 {

constexpr int MIN_TEXT_STRETCH = 80;

// Dialog thread. List boxes are left as they are.
void fit_text(DialogRecord& dialog, HWND control);
void fit_all_texts(DialogRecord& dialog);

}  // namespace tessaril::ui::win32

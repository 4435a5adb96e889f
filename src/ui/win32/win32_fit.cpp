#include "ui/win32/win32_fit.h"

#include <algorithm>
#include <string>

namespace tessaril::ui::win32 {

namespace p = platform;

namespace {

// Pixels a push button keeps between its edge and its text; a group box
// between its frame and its title.
constexpr int BUTTON_TEXT_INSET = 3;
constexpr int GROUP_TITLE_INSET = 8;
// A check box's or radio button's box and the gap after it.
constexpr int CHECK_BOX_GAP = 4;

int text_room(HWND control, const std::string& class_name) {
  RECT client{};
  GetClientRect(control, &client);
  const int width = client.right - client.left;
  const uint32_t style = static_cast<uint32_t>(GetWindowLongA(control, GWL_STYLE));
  if (class_name == "edit") {
    const LRESULT margins = SendMessageW(control, EM_GETMARGINS, 0, 0);
    return width - LOWORD(margins) - HIWORD(margins) - 1;  // and the caret
  }
  if (class_name != "button") return width;
  switch (style & BUTTON_TYPE_MASK) {
    case p::BS_AUTOCHECKBOX:
    case p::BS_AUTORADIOBUTTON:
    case BS_CHECKBOX:
    case BS_RADIOBUTTON:
      return width - GetSystemMetrics(SM_CXMENUCHECK) - CHECK_BOX_GAP;
    case p::BS_GROUPBOX:
      return width - 2 * GROUP_TITLE_INSET;
    default:
      return width - 2 * (GetSystemMetrics(SM_CXEDGE) + BUTTON_TEXT_INSET);
  }
}

int text_width(HDC dc, HFONT font, const std::wstring& text) {
  HGDIOBJ before = SelectObject(dc, font);
  SIZE size{};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  SelectObject(dc, before);
  return static_cast<int>(size.cx);
}

// The dialog font at stretch percent of its width, made once per dialog.
HFONT condensed_font(DialogRecord& dialog, HFONT base, HDC dc, int stretch) {
  HFONT& font = dialog.condensed_fonts[stretch];
  if (font) return font;
  LOGFONTW shape{};
  GetObjectW(base, sizeof shape, &shape);
  HGDIOBJ before = SelectObject(dc, base);
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  SelectObject(dc, before);
  shape.lfWidth = std::max<LONG>(1, metrics.tmAveCharWidth * stretch / 100);
  font = CreateFontIndirectW(&shape);
  return font;
}

}  // namespace

void fit_text(DialogRecord& dialog, HWND control) {
  char name[16] = {};
  GetClassNameA(control, name, sizeof name);
  std::string class_name(name);
  std::transform(class_name.begin(), class_name.end(), class_name.begin(),
                 [](char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
  if (class_name == "listbox") return;
  HFONT base = reinterpret_cast<HFONT>(SendMessageW(dialog.window, WM_GETFONT, 0, 0));
  if (!base) return;
  const int length = GetWindowTextLengthW(control);
  std::wstring text(static_cast<size_t>(std::max(length, 0)) + 1, L'\0');
  text.resize(static_cast<size_t>(std::max(GetWindowTextW(control, text.data(), length + 1), 0)));
  if (class_name != "edit" && class_name != "static")
    text.erase(std::remove(text.begin(), text.end(), L'&'), text.end());

  HDC dc = GetDC(control);
  const int room = text_room(control, class_name);
  HFONT wanted = base;
  int width = text_width(dc, base, text);
  for (int stretch = 100; width > room && stretch > MIN_TEXT_STRETCH;) {
    stretch = std::max(MIN_TEXT_STRETCH, std::min(stretch - 1, stretch * room / std::max(width, 1)));
    wanted = condensed_font(dialog, base, dc, stretch);
    width = text_width(dc, wanted, text);
  }
  ReleaseDC(control, dc);
  if (reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)) != wanted)
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(wanted), TRUE);
}

void fit_all_texts(DialogRecord& dialog) {
  for (HWND c = GetWindow(dialog.window, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) fit_text(dialog, c);
}

}  // namespace tessaril::ui::win32

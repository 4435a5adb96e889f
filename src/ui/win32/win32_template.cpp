#include "ui/win32/win32_template.h"

#include "shell/layout_tables.h"
#include "ui/win32/win32_api.h"

namespace tessaril::ui::win32 {

namespace p = platform;
using platform::ControlKind;

namespace {


class TemplateWriter {
 public:
  void word(uint16_t w) { words_.push_back(w); }
  void dword(uint32_t d) {
    word(static_cast<uint16_t>(d & 0xFFFF));
    word(static_cast<uint16_t>(d >> 16));
  }
  void align_dword() {
    if (words_.size() % 2) word(0);
  }
  // A NUL-terminated UTF-16 string from UTF-8.
  void text(const char* utf8) {
    if (utf8 && *utf8) {
      const int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
      if (n > 1) {
        std::vector<wchar_t> wide(static_cast<size_t>(n));
        MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide.data(), n);
        for (int i = 0; i + 1 < n; ++i) word(static_cast<uint16_t>(wide[static_cast<size_t>(i)]));
      }
    }
    word(0);
  }
  std::vector<uint16_t> take() { return std::move(words_); }

 private:
  std::vector<uint16_t> words_;
};

int16_t dlu(int v) { return static_cast<int16_t>(v); }

}  // namespace

uint32_t dialog_style(const platform::DialogTemplate& layout, bool owned) {
  if (layout.id == shell::IDD_PORT_DIALOG) return shell::PORT_DIALOG_STYLE;
  if (layout.id == shell::IDD_COMMAND_DIALOG) return shell::COMMAND_DIALOG_STYLE;
  return owned ? shell::COMMAND_DIALOG_STYLE : shell::PORT_DIALOG_STYLE;
}

uint32_t control_style(const platform::ControlSpec& row) {
  uint32_t style = p::WS_CHILD | row.style;
  if (row.shown) style |= p::WS_VISIBLE;
  if (row.group_start) style |= p::WS_GROUP;
  auto button_type = [&](uint32_t type) { style = (style & ~BUTTON_TYPE_MASK) | type; };
  switch (row.kind) {
    case ControlKind::Button:
      if ((row.style & BUTTON_TYPE_MASK) != p::BS_DEFPUSHBUTTON) button_type(p::BS_PUSHBUTTON);
      break;
    case ControlKind::CheckBox:
      button_type(p::BS_AUTOCHECKBOX);
      break;
    case ControlKind::RadioButton:
      button_type(p::BS_AUTORADIOBUTTON);
      break;
    case ControlKind::GroupBox:
      button_type(p::BS_GROUPBOX);
      break;
    case ControlKind::Static:
    case ControlKind::Edit:
    case ControlKind::ListBox:
      break;
  }
  return style;
}

uint16_t control_class_atom(ControlKind kind) {
  switch (kind) {
    case ControlKind::Edit:
      return 0x0081;
    case ControlKind::Static:
      return 0x0082;
    case ControlKind::ListBox:
      return 0x0083;
    case ControlKind::Button:
    case ControlKind::CheckBox:
    case ControlKind::RadioButton:
    case ControlKind::GroupBox:
      break;
  }
  return 0x0080;
}

std::vector<uint16_t> build_dialog_template(const platform::DialogTemplate& layout, uint32_t style) {
  TemplateWriter t;
  t.dword(style);
  t.dword(0);  // extended style
  t.word(static_cast<uint16_t>(layout.control_count));
  t.word(static_cast<uint16_t>(dlu(layout.x)));
  t.word(static_cast<uint16_t>(dlu(layout.y)));
  t.word(static_cast<uint16_t>(dlu(layout.width)));
  t.word(static_cast<uint16_t>(dlu(layout.height)));
  t.word(0);  // no menu
  t.word(0);  // the standard dialog class
  t.text(layout.caption);
  if (style & p::DS_SETFONT) {
    t.word(static_cast<uint16_t>(shell::DIALOG_FONT_POINTS));
    t.text(shell::dialog_font_face);
  }
  for (size_t i = 0; i < layout.control_count; ++i) {
    const platform::ControlSpec& row = layout.controls[i];
    t.align_dword();
    t.dword(control_style(row));
    t.dword(0);  // extended style
    t.word(static_cast<uint16_t>(dlu(row.x)));
    t.word(static_cast<uint16_t>(dlu(row.y)));
    t.word(static_cast<uint16_t>(dlu(row.width)));
    t.word(static_cast<uint16_t>(dlu(row.height)));
    t.word(static_cast<uint16_t>(row.id));  // IDC_STATIC (-1) is 0xFFFF, as the resource compiler writes it
    t.word(0xFFFF);
    t.word(control_class_atom(row.kind));
    t.text(row.text);
    t.word(0);  // no creation data
  }
  return t.take();
}

}  // namespace tessaril::ui::win32

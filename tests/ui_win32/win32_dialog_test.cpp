// The Win32 back end's own faults: the templates it builds from the layout
// tables (font, sizes in pixels, classes, styles, texts), Windows' automatic
// radio groups on them, Japanese texts through code page 932, and a traffic
// list filled to its bound by a worker thread.
#include "ui/win32/win32_api.h"  // first: Windows' names after the platform's

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/codepage.h"
#include "shell/control_ids.h"
#include "shell/layout_tables.h"
#include "ui/win32/win32_backend.h"
#include "ui/win32/win32_dialog.h"

namespace tessaril::test {
namespace {

namespace p = platform;
using p::ControlKind;

const p::DialogTemplate* const LAYOUTS[] = {&shell::port_dialog_template, &shell::command_dialog_template};

// A hidden dialog of the back end for the length of a test.
struct TestDialog {
  explicit TestDialog(const p::DialogTemplate& layout)
      : handle(ui::win32_driver().create_test_dialog(layout)), window(ui::win32::dialog_window(handle)) {}
  ~TestDialog() { ui::win32_driver().destroy_test_dialog(handle); }
  HWND item(int id) const { return GetDlgItem(window, id); }
  p::DialogHandle handle;
  HWND window;
};

class Win32Dialog : public testing::Test {
 protected:
  void SetUp() override { ui::install_win32_backend(); }
};

std::wstring wide(std::string_view utf8) {
  std::wstring out(utf8.size(), L'\0');
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(),
                                    static_cast<int>(out.size()));
  out.resize(static_cast<size_t>(n > 0 ? n : 0));
  return out;
}

std::wstring text_of(HWND window) {
  wchar_t text[512] = {};
  GetWindowTextW(window, text, 512);
  return text;
}

// The dialog manager's measure of the dialog font: the average width of the
// letters A-Z a-z, rounded, and the font's height.
struct BaseUnits {
  int x, y;
};
BaseUnits base_units(HWND dialog) {
  HDC dc = GetDC(dialog);
  HGDIOBJ before = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(dialog, WM_GETFONT, 0, 0)));
  SIZE letters{};
  GetTextExtentPoint32W(dc, L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", 52, &letters);
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  SelectObject(dc, before);
  ReleaseDC(dialog, dc);
  return BaseUnits{(letters.cx / 26 + 1) / 2, metrics.tmHeight};
}

const char* class_of(ControlKind kind) {
  switch (kind) {
    case ControlKind::Edit:
      return "Edit";
    case ControlKind::Static:
      return "Static";
    case ControlKind::ListBox:
      return "ListBox";
    default:
      return "Button";
  }
}

uint32_t button_type_of(ControlKind kind, uint32_t row_style) {
  switch (kind) {
    case ControlKind::CheckBox:
      return p::BS_AUTOCHECKBOX;
    case ControlKind::RadioButton:
      return p::BS_AUTORADIOBUTTON;
    case ControlKind::GroupBox:
      return p::BS_GROUPBOX;
    default:
      return row_style & 0xF;
  }
}

TEST_F(Win32Dialog, TemplatesCarryTheLayoutsFontSizesClassesStylesAndTexts) {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  for (const p::DialogTemplate* layout : LAYOUTS) {
    SCOPED_TRACE("template " + std::to_string(layout->id));
    TestDialog d(*layout);
    ASSERT_NE(d.window, nullptr);
    EXPECT_EQ(text_of(d.window), wide(layout->caption));

    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HGDIOBJ>(SendMessageW(d.window, WM_GETFONT, 0, 0)), sizeof font, &font);
    EXPECT_EQ(std::wstring(font.lfFaceName), wide(shell::dialog_font_face));
    EXPECT_EQ(font.lfHeight, -MulDiv(shell::DIALOG_FONT_POINTS, dpi, 72));

    const BaseUnits u = base_units(d.window);
    RECT client{};
    GetClientRect(d.window, &client);
    EXPECT_EQ(client.right, MulDiv(layout->width, u.x, 4));
    EXPECT_EQ(client.bottom, MulDiv(layout->height, u.y, 8));

    // The controls, in template order, which is the order of the windows.
    HWND c = GetWindow(d.window, GW_CHILD);
    for (size_t i = 0; i < layout->control_count; ++i, c = GetWindow(c, GW_HWNDNEXT)) {
      const p::ControlSpec& row = layout->controls[i];
      SCOPED_TRACE("row " + std::to_string(i) + ", id " + std::to_string(row.id) + " \"" + row.text + "\"");
      ASSERT_NE(c, nullptr);
      EXPECT_EQ(GetDlgCtrlID(c), static_cast<uint16_t>(row.id));
      char name[32] = {};
      GetClassNameA(c, name, sizeof name);
      EXPECT_STRCASEEQ(name, class_of(row.kind));
      EXPECT_EQ(text_of(c), wide(row.text));

      RECT r{};
      GetWindowRect(c, &r);
      MapWindowPoints(nullptr, d.window, reinterpret_cast<POINT*>(&r), 2);
      EXPECT_EQ(r.left, MulDiv(row.x, u.x, 4));
      EXPECT_EQ(r.top, MulDiv(row.y, u.y, 8));
      EXPECT_EQ(r.right - r.left, MulDiv(row.width, u.x, 4));
      // A list box keeps whole lines of the dialog font: it is less than a
      // line shorter than the row.
      if (row.kind == ControlKind::ListBox) {
        EXPECT_LE(r.bottom - r.top, MulDiv(row.height, u.y, 8));
        EXPECT_GT(r.bottom - r.top, MulDiv(row.height, u.y, 8) - SendMessageW(c, LB_GETITEMHEIGHT, 0, 0));
      } else {
        EXPECT_EQ(r.bottom - r.top, MulDiv(row.height, u.y, 8));
      }

      const uint32_t style = static_cast<uint32_t>(GetWindowLongW(c, GWL_STYLE));
      EXPECT_EQ((style & p::WS_VISIBLE) != 0, row.shown);
      EXPECT_EQ((style & p::WS_GROUP) != 0, row.group_start);
      EXPECT_EQ(style & p::WS_TABSTOP, row.style & p::WS_TABSTOP);
      if (std::string_view(class_of(row.kind)) == "Button") {
        EXPECT_EQ(style & 0xF, button_type_of(row.kind, row.style));
      }
      // Alignment, sunken frames, sorting: the row's bits as written. Windows
      // draws borders as client edges and shows scroll bars when needed.
      const uint32_t kept = row.style & ~(p::WS_BORDER | p::WS_VSCROLL | p::WS_HSCROLL | p::WS_TABSTOP | 0xFu);
      EXPECT_EQ(style & kept, kept) << std::hex << style << " " << row.style;
    }
    EXPECT_EQ(c, nullptr) << "more windows than rows";
  }
}

// A click by Windows (BM_CLICK, as the mouse does) on every shown radio
// button, and by the script's driver on the hidden ones, ticks it and
// unticks the rest of its group: the rows from one marked group_start to
// the next, as the layout means them.
TEST_F(Win32Dialog, RadioGroupsOfTheCommandDialogAreAutomatic) {
  const p::DialogTemplate& layout = shell::command_dialog_template;
  TestDialog d(layout);
  ShowWindow(d.window, SW_SHOW);
  std::vector<int> radios;
  std::vector<int> group_of;
  std::set<int> ticked;
  for (size_t i = 0; i < layout.control_count; ++i) {
    const p::ControlSpec& row = layout.controls[i];
    if (row.kind != ControlKind::RadioButton) continue;
    if (row.group_start) {
      ticked.insert(row.id);
      p::set_check(d.handle, row.id, true);
    }
    group_of.push_back(row.group_start || group_of.empty() ? row.id : group_of.back());
    radios.push_back(row.id);
  }
  ASSERT_EQ(radios.size(), 15u);
  for (size_t k = 0; k < radios.size(); ++k) {
    const int id = radios[k];
    SCOPED_TRACE("click " + std::to_string(id));
    const p::ControlSpec* row = shell::find_control_spec(layout, id);
    if (row->shown)
      SendMessageA(d.item(id), BM_CLICK, 0, 0);
    else
      ui::win32_driver().user_click(d.handle, id);
    for (size_t j = 0; j < radios.size(); ++j)
      if (group_of[j] == group_of[k]) ticked.erase(radios[j]);
    ticked.insert(id);
    for (int r : radios) EXPECT_EQ(p::is_checked(d.handle, r), ticked.count(r) == 1) << "radio " << r;
  }
}

TEST_F(Win32Dialog, JapaneseTextsGoThroughCodePage932) {
  ASSERT_EQ(GetACP(), 932u) << "run under a Japanese locale (LANG=ja_JP.UTF-8, LOCPATH for a private one)";
  TestDialog d(shell::command_dialog_template);
  const std::string name = "キャリブレーションデータ～①.XML";
  const std::string line = "12:00:00.000 Rcv:" + name;
  p::set_control_text(d.handle, commands::IDC_CAL_FILE_NAME, p::utf8_to_cp932(name));
  p::set_window_text(d.handle, p::utf8_to_cp932("終了確認"));
  p::list_add(d.handle, shell::IDC_TEXT_LIST, p::utf8_to_cp932(line));

  EXPECT_EQ(text_of(d.item(commands::IDC_CAL_FILE_NAME)), wide(name));
  EXPECT_EQ(text_of(d.window), wide("終了確認"));
  wchar_t shown[256] = {};
  SendMessageW(d.item(shell::IDC_TEXT_LIST), LB_GETTEXT, 0, reinterpret_cast<LPARAM>(shown));
  EXPECT_EQ(std::wstring(shown), wide(line));
  EXPECT_EQ(p::control_text(d.handle, commands::IDC_CAL_FILE_NAME), p::utf8_to_cp932(name));
}

// The link threads fill the traffic lists; the command log keeps at most
// 9999 lines. A worker writes them while the dialog thread waits for it.
TEST_F(Win32Dialog, AWorkerFillsATrafficListToItsBound) {
  TestDialog d(shell::command_dialog_template);
  const int list = shell::IDC_HEX_LIST;
  constexpr int LINES = 9999;
  auto line = [](int n) {
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d.%03d Snd: C0 %02X", n / 3600000, n / 60000 % 60, n / 1000 % 60,
                  n % 1000, n % 256);
    return std::string(stamp);
  };
  std::atomic<bool> done{false};
  const int64_t start = p::monotonic_ms();
  std::thread worker([&] {
    for (int n = 1; n <= LINES; ++n) p::list_add(d.handle, list, line(n * 7));
    done = true;
  });
  while (!done) p::sleep_serving_calls(10);
  worker.join();
  RecordProperty("append_ms", std::to_string(p::monotonic_ms() - start));

  ASSERT_EQ(p::list_count(d.handle, list), LINES);
  EXPECT_EQ(p::list_item(d.handle, list, 0), line(7));
  EXPECT_EQ(p::list_item(d.handle, list, LINES - 1), line(LINES * 7));
  // A line stamped earlier than the last goes to its place by its stamp.
  EXPECT_EQ(p::list_add(d.handle, list, line(5000 * 7 + 3)), 5000);
  EXPECT_EQ(p::list_delete(d.handle, list, 0), LINES);
  EXPECT_EQ(p::list_item(d.handle, list, 0), line(14));
  EXPECT_EQ(p::list_item(d.handle, list, 4999), line(5000 * 7 + 3));
  p::list_set_selection(d.handle, list, LINES - 1);
  EXPECT_EQ(SendMessageA(d.item(list), LB_GETCURSEL, 0, 0), LINES - 1);
  EXPECT_EQ(SendMessageA(d.item(list), LB_GETCOUNT, 0, 0), LINES);
}

}  // namespace
}  // namespace tessaril::test

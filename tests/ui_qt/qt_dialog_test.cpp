// The dialogs' behaviour on the Qt back end as a person meets it: keys and
// the close box reach the procedure and close nothing by themselves, ENTER
// is the port dialog's default, the command dialog is modal on its owner
// without a close box, both are centred, an invalidated dialog is painted
// again, the common dialogs show their CP932 texts, and a full traffic list
// takes a line as fast as an empty one.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "shell/file_select.h"
#include "platform/codepage.h"
#include "shell/center_window.h"
#include "shell/control_ids.h"
#include "shell/layout_tables.h"
#include "ui/qt/qt_backend.h"

namespace tessaril::test {
namespace {

using namespace tessaril::platform;

struct Seen {
  uint32_t message;
  uintptr_t wparam;
  bool operator==(const Seen&) const = default;
};
std::vector<Seen> seen;
int paints = 0;
// Run inside the dialog's modal loop, once it is up.
std::function<void(DialogHandle)> on_open;

constexpr uintptr_t end_id = 99;

intptr_t recording_proc(DialogHandle d, uint32_t msg, uintptr_t w, intptr_t) {
  if (msg == WM_INITDIALOG) {
    shell::center_window(d);
    QTimer::singleShot(0, [d] { on_open(d); });
  } else if (msg == WM_PAINT) {
    ++paints;
  } else if (msg == WM_COMMAND || msg == WM_CLOSE) {
    seen.push_back({msg, w});
    if (msg == WM_COMMAND && w == end_id) end_dialog(d, 5);
  }
  return 0;
}

void press(QWidget* target, int key) {
  QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier);
  QApplication::sendEvent(target, &down);
}

class QtDialog : public testing::Test {
 protected:
  void SetUp() override {
    ui::install_qt_backend();
    seen.clear();
    paints = 0;
  }
  void TearDown() override { ui::set_qt_automatic_answers(true); }
};

TEST_F(QtDialog, KeysAndTheCloseBoxReachTheProcedureAndCloseNothing) {
  bool still_open = false;
  on_open = [&](DialogHandle d) {
    QWidget* window = ui::qt_dialog_window(d);
    press(window, Qt::Key_Escape);
    window->close();  // the close box, Alt+F4
    still_open = window->isVisible();
    QWidget* edit = window->focusWidget();
    press(edit ? edit : window, Qt::Key_Return);  // ENTER is the default button
    post_message(d, WM_COMMAND, end_id, 0);
  };
  EXPECT_EQ(run_dialog(shell::port_dialog_template, NO_DIALOG, recording_proc, 0), 5);
  EXPECT_TRUE(still_open);
  EXPECT_EQ(seen, (std::vector<Seen>{{WM_COMMAND, IDCANCEL}, {WM_CLOSE, 0}, {WM_COMMAND, shell::IDC_ENTER},
                                     {WM_COMMAND, end_id}}));
}

TEST_F(QtDialog, TheCommandDialogIsModalOnItsOwnerWithoutCloseBoxAndBothAreCentred) {
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  struct Look {
    QWidget* window;
    QWidget* parent;
    Qt::WindowFlags flags;
    Qt::WindowModality modality;
    QRect frame;
  };
  std::vector<Look> looks;
  on_open = [&](DialogHandle d) {
    QWidget* w = ui::qt_dialog_window(d);
    looks.push_back({w, w->parentWidget(), w->windowFlags(), w->windowModality(), w->frameGeometry()});
    if (looks.size() == 1) run_dialog(shell::command_dialog_template, d, recording_proc, 0);
    end_dialog(d, 5);
  };
  run_dialog(shell::port_dialog_template, NO_DIALOG, recording_proc, 0);
  ASSERT_EQ(looks.size(), 2u);
  EXPECT_TRUE(looks[0].flags & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(looks[1].flags & Qt::WindowCloseButtonHint);
  EXPECT_EQ(looks[1].modality, Qt::ApplicationModal);
  EXPECT_EQ(looks[1].parent, looks[0].window);
  // Centred as the work area's integer middle: within a pixel of rounding.
  for (const Look& look : looks) {
    const QRect r = look.frame;
    EXPECT_LE(std::abs((2 * r.left() + r.width()) - (2 * area.left() + area.width())), 1);
    EXPECT_LE(std::abs((2 * r.top() + r.height()) - (2 * area.top() + area.height())), 1);
  }
}

TEST_F(QtDialog, AnInvalidatedDialogIsPaintedAgain) {
  int before = -1, after = -1;
  auto process_until = [](const std::function<bool()>& done) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < 2000) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  };
  on_open = [&](DialogHandle d) {
    process_until([] { return paints > 0; });
    before = paints;
    invalidate(d);
    process_until([&] { return paints > before; });
    after = paints;
    end_dialog(d, 5);
  };
  run_dialog(shell::port_dialog_template, NO_DIALOG, recording_proc, 0);
  EXPECT_GT(before, 0);
  EXPECT_GT(after, before);
}

// The CP932 texts go through the platform's conversion: 0x81 0x60 is the
// full-width tilde there (a Shift_JIS codec makes it the wave dash).
TEST_F(QtDialog, AMessageBoxShowsItsCp932TextsAsWritten) {
  ui::set_qt_automatic_answers(false);
  const std::string text = "プログラム実行継続不可能なエラーが発生しました。\n～①";
  QString shown_text, shown_caption;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    shown_text = box->text();
    shown_caption = box->windowTitle();
    box->button(QMessageBox::Ok)->click();
  });
  EXPECT_EQ(message_box(NO_DIALOG, utf8_to_cp932(text), utf8_to_cp932("終了確認"), MB_ICONWARNING), IDOK);
  EXPECT_EQ(shown_text, QString::fromUtf8(text));
  EXPECT_TRUE(shown_text.contains(QChar(0xFF5E)));
  EXPECT_EQ(shown_caption, QString::fromUtf8("終了確認"));
}

TEST_F(QtDialog, TheOpenFileDialogStartsInTheWorkingFolderWithItsKindsFilterAndTitle) {
  ui::set_qt_automatic_answers(false);
  using shell::CalibrationVariant;
  using shell::FileKind;
  QString title, folder;
  QStringList filters;
  bool read_only = false, case_sensitive = true;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    title = dialog->windowTitle();
    folder = dialog->directory().absolutePath();
    filters = dialog->nameFilters();
    read_only = dialog->testOption(QFileDialog::ReadOnly);
    case_sensitive = dialog->filter() & QDir::CaseSensitive;
    dialog->reject();
  });
  std::string path;
  EXPECT_FALSE(open_file(NO_DIALOG, shell::open_file_filter(FileKind::CalibrationData, CalibrationVariant::Xml),
                         shell::open_file_title(FileKind::CalibrationData, CalibrationVariant::Xml), path));
  EXPECT_EQ(title, QString::fromUtf8("キャリブレーションデータファイル選択"));
  EXPECT_EQ(folder, QDir::currentPath());
  EXPECT_EQ(filters, QStringList{QString::fromUtf8("キャリブレーションデータ(*.XML) (*.XML)")});
  EXPECT_TRUE(read_only);
  EXPECT_FALSE(case_sensitive);
}

// A line into the hex traffic list as the command log adds it (trim the
// first line at the limit, add, select the new one, let the window paint),
// timed with few lines and with the list full.
double append_ms(DialogHandle d, int lines, int appends, int& stamp) {
  auto line = [&] {
    char text[48];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d Rcv:", stamp / 3600000 % 24, stamp / 60000 % 60,
                  stamp / 1000 % 60, stamp % 1000);
    ++stamp;
    return std::string(text) + std::string(" 81 08 00 01 00 0F 46 41 55 4C 54 3D 30 30 30 30 30 30 30 30 00 B5 2A C0");
  };
  while (list_count(d, shell::IDC_HEX_LIST) > 0) list_delete(d, shell::IDC_HEX_LIST, 0);
  for (int i = 0; i < lines; ++i) list_add(d, shell::IDC_HEX_LIST, line());
  QCoreApplication::processEvents();
  QElapsedTimer t;
  t.start();
  for (int i = 0; i < appends; ++i) {
    const int count = list_count(d, shell::IDC_HEX_LIST);
    if (count >= lines) list_delete(d, shell::IDC_HEX_LIST, 0);
    list_add(d, shell::IDC_HEX_LIST, line());
    list_set_selection(d, shell::IDC_HEX_LIST, list_count(d, shell::IDC_HEX_LIST) - 1);
    QCoreApplication::processEvents();
  }
  return static_cast<double>(t.nsecsElapsed()) / 1e6 / appends;
}

TEST_F(QtDialog, AFullTrafficListTakesALineAsFastAsAnEmptyOne) {
  const DialogHandle d = ui::qt_driver().create_test_dialog(shell::command_dialog_template);
  ui::qt_dialog_window(d)->show();
  int stamp = 0;
  const double few = append_ms(d, 100, 300, stamp);
  const double full = append_ms(d, 9999, 300, stamp);
  RecordProperty("append_ms_100", std::to_string(few));
  RecordProperty("append_ms_9999", std::to_string(full));
  std::printf("one append with 100 lines: %.3f ms, with 9999 lines: %.3f ms\n", few, full);
  EXPECT_EQ(list_count(d, shell::IDC_HEX_LIST), 9999);
  EXPECT_LT(full, 3 * few + 0.5);
  ui::qt_driver().destroy_test_dialog(d);
}

}  // namespace
}  // namespace tessaril::test

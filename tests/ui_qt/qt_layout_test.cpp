// The two dialogs as the Qt back end lays them out from their templates:
// every visible control inside its dialog, no two visible push buttons on
// top of each other, and no text cut, measured with the font's metrics.
#include <gtest/gtest.h>

#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionFrame>

#include <algorithm>
#include <string>
#include <vector>

#include "link/answer_check.h"
#include "platform/codepage.h"
#include "shell/control_ids.h"
#include "shell/layout_tables.h"
#include "ui/qt/qt_backend.h"
#include "ui/qt/qt_dialog.h"

namespace tessaril::test {
namespace {

using platform::ControlKind;
using ui::qt::DialogWindow;

std::string describe(const DialogWindow::Control& c) {
  return "control " + std::to_string(c.id) + " \"" + c.shown.toStdString() + "\"";
}

// The height the control gives a line of its text.
int line_room(const DialogWindow::Control& c) {
  QWidget* w = c.widget;
  switch (c.kind) {
    case ControlKind::Static:
      return static_cast<QLabel*>(w)->contentsRect().height();
    case ControlKind::Edit: {
      QStyleOptionFrame opt;
      opt.initFrom(w);
      opt.lineWidth = w->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, w);
      return w->style()->subElementRect(QStyle::SE_LineEditContents, &opt, w).height();
    }
    case ControlKind::Button: {
      QStyleOptionButton opt;
      opt.initFrom(w);
      return w->style()->subElementRect(QStyle::SE_PushButtonContents, &opt, w).height();
    }
    default:
      return w->height();
  }
}

struct Window {
  platform::DialogHandle handle;
  DialogWindow* window;
};

Window open(const platform::DialogTemplate& layout) {
  ui::install_qt_backend();
  const platform::DialogHandle d = ui::qt_driver().create_test_dialog(layout);
  return Window{d, static_cast<DialogWindow*>(ui::qt_dialog_window(d))};
}

TEST(QtLayout, TheDialogFontIsTheOriginalOrItsMetricAlike) {
  const QString family = QFontInfo(ui::qt::dialog_font()).family();
  EXPECT_TRUE(family == QString::fromUtf8(shell::dialog_font_face) || family == "MS PGothic" || family == "IPAPGothic")
      << family.toStdString() << ": install fonts-ipafont-gothic";
}

TEST(QtLayout, VisibleControlsLieInsideNoButtonsOverlapNoTextIsCut) {
  for (const platform::DialogTemplate* layout : {&shell::port_dialog_template, &shell::command_dialog_template}) {
    SCOPED_TRACE("template " + std::to_string(layout->id));
    const Window w = open(*layout);
    ASSERT_NE(w.window, nullptr);
    const QRect inside(QPoint(0, 0), w.window->size());
    std::vector<const DialogWindow::Control*> buttons;
    int visible = 0;
    for (const DialogWindow::Control& c : w.window->controls()) {
      if (c.widget->isHidden()) continue;
      ++visible;
      SCOPED_TRACE(describe(c));
      const QRect r = c.widget->geometry();
      EXPECT_TRUE(inside.contains(r)) << r.x() << "," << r.y() << " " << r.width() << "x" << r.height();
      if (c.kind == ControlKind::Button) {
        for (const DialogWindow::Control* b : buttons)
          EXPECT_FALSE(b->widget->geometry().intersects(r)) << "overlaps " << describe(*b);
        buttons.push_back(&c);
      }
      if (c.kind == ControlKind::ListBox) continue;
      EXPECT_LE(w.window->text_width(c), w.window->text_room(c));
      if (c.kind != ControlKind::GroupBox) {
        EXPECT_LE(c.widget->fontMetrics().height(), line_room(c));
      }
    }
    EXPECT_GT(visible, layout->id == shell::IDD_PORT_DIALOG ? 3 : 100);
    ui::qt_driver().destroy_test_dialog(w.handle);
  }
}

// Tab walks the tab stops in template order.
TEST(QtLayout, TabFollowsTheTemplateOrder) {
  for (const platform::DialogTemplate* layout : {&shell::port_dialog_template, &shell::command_dialog_template}) {
    SCOPED_TRACE("template " + std::to_string(layout->id));
    const Window w = open(*layout);
    std::vector<QWidget*> stops;
    for (const DialogWindow::Control& c : w.window->controls())
      if (c.widget->focusPolicy() & Qt::TabFocus) stops.push_back(c.widget);
    ASSERT_GT(stops.size(), 1u);
    std::vector<QWidget*> chain;
    QWidget* at = stops.front();
    for (int step = 0; step < 10000 && chain.size() < stops.size(); ++step, at = at->nextInFocusChain())
      if (std::find(stops.begin(), stops.end(), at) != stops.end()) chain.push_back(at);
    EXPECT_EQ(chain, stops);
    ui::qt_driver().destroy_test_dialog(w.handle);
  }
}

// What the program writes into the narrow fields fits as well: every
// response text in a result field, the editor's bytes in its entries.
TEST(QtLayout, TextsTheProgramWritesFitTheirFields) {
  const Window w = open(shell::command_dialog_template);
  struct Case {
    int id;
    std::string text;
  };
  std::vector<Case> cases;
  for (int code = 0; code < 256; ++code) cases.push_back({shell::IDC_RESULT_FRAME1, link::response_text(code)});
  for (const char* word : {"SND_NG", "R_FILE_NG", "Ans_RCV_ERR", "No_Ans"}) cases.push_back({shell::IDC_RESULT_KERMIT, word});
  for (const char* byte : {"C0", "DB", "DD", "FF", "88"}) cases.push_back({commands::IDC_END_CODE, byte});
  cases.push_back({shell::IDC_WAIT_FRAME1, "6000"});
  for (const Case& k : cases) {
    SCOPED_TRACE(std::to_string(k.id) + " " + k.text);
    platform::set_control_text(w.handle, k.id, platform::utf8_to_cp932(k.text));
    DialogWindow::Control* c = w.window->control(k.id);
    ASSERT_NE(c, nullptr);
    EXPECT_LE(w.window->text_width(*c), w.window->text_room(*c));
  }
  ui::qt_driver().destroy_test_dialog(w.handle);
}

}  // namespace
}  // namespace tessaril::test

// A dialog of the Qt back end, built from a layout table.
//
// How it works: positions and sizes are converted from dialog units as
// Windows does it: the horizontal base is the average width of the letters
// A-Z a-z in the dialog font, rounded as the dialog manager rounds it, the
// vertical base the font's height; x * base / 4 and y * base / 8 (MulDiv,
// rounded). The font is "ＭＳ Ｐゴシック" 9 point, or a metric-alike in its
// place (IPAPGothic on Linux). Every row of the layout becomes a widget, in
// template order, which is also the tab order; group boxes are siblings
// beneath the controls they frame, as on Windows. Hidden rows are created
// hidden and stay so until the program shows them.
//
// The fallback font is not exactly as narrow as the original for every
// text: a text wider than its control is drawn condensed (font stretch, down
// to 80 %) so that nothing is cut.
//
// Buttons, check boxes and radio buttons send WM_COMMAND with their id to
// the procedure when clicked, as BN_CLICKED does; check boxes and radio
// buttons change state first (automatic styles). A radio group runs from a
// row marked group_start to the next; BM_SETCHECK-like calls set one button
// only, a click unticks the rest of its group. Esc sends WM_COMMAND IDCANCEL
// and the close box or Alt+F4 sends WM_CLOSE; neither closes the window by
// itself: the procedure decides. ENTER clicks the default push button.
#pragma once

#include <QDialog>
#include <QFont>
#include <QString>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/controls.h"

class QEventLoop;

namespace tessaril::ui::qt {

QFont dialog_font();

struct DialogUnits {
  int base_x = 1;
  int base_y = 1;
  int x(int units) const;
  int y(int units) const;
};
DialogUnits dialog_units(const QFont& font);

// Narrowest stretch a text is condensed to.
constexpr int MIN_TEXT_STRETCH = 80;

class DialogWindow : public QDialog {
 public:
  struct Control {
    int id;
    platform::ControlKind kind;
    QWidget* widget;
    uint32_t style;  // without WS_VISIBLE, which the widget holds
    int group;       // radio group number
    std::string bytes;  // CP932 text as last set, and what it shows
    QString shown;
  };

  DialogWindow(const platform::DialogTemplate& layout, QWidget* owner, platform::DialogHandle handle,
               platform::DialogProc proc);

  platform::DialogHandle handle() const { return handle_; }
  Control* control(int id);
  const std::vector<Control>& controls() const { return controls_; }

  void set_text(Control& c, std::string_view cp932);
  std::string text(const Control& c) const;
  bool checked(const Control& c) const;
  void set_checked(Control& c, bool on);
  uint32_t style(const Control& c) const;
  void set_style(Control& c, uint32_t style);

  // A click by the user or the script (hidden buttons are clicked too).
  void click(int id);

  // The end of the dialog: hidden, its modal loop left.
  void finish(intptr_t result);
  bool finished() const { return finished_; }
  intptr_t result() const { return result_; }
  void set_loop(QEventLoop* loop) { loop_ = loop; }

  // What the text of a control needs and has, in pixels (tests check that
  // nothing is cut).
  int text_width(const Control& c) const;
  int text_room(const Control& c) const;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void reject() override {}

 private:
  void send(uint32_t message, uintptr_t wparam);
  void fit_text(Control& c);
  void select_in_group(Control& c);
  void apply_style(Control& c);

  platform::DialogHandle handle_;
  platform::DialogProc proc_;
  std::vector<Control> controls_;
  QEventLoop* loop_ = nullptr;
  bool finished_ = false;
  intptr_t result_ = 0;
};

}  // namespace tessaril::ui::qt

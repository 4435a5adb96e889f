#include "ui/qt/qt_dialog.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionFrame>
#include <QStyleOptionGroupBox>

#include <algorithm>

#include "platform/codepage.h"
#include "platform/control_styles.h"
#include "shell/layout_tables.h"
#include "ui/qt/qt_traffic_list.h"

namespace tessaril::ui::qt {

using platform::ControlKind;
namespace p = platform;

namespace {

// QLineEdit keeps this many pixels between its frame and its text.
constexpr int LINE_EDIT_MARGIN = 2;

// An automatic radio button: a click ticks it and unticks the rest of its
// group, whatever the parent widget holds (Qt's auto-exclusive buttons
// would take every radio button of the dialog as one group).
class AutoRadio : public QRadioButton {
 public:
  AutoRadio(const QString& text, QWidget* parent, std::function<void()> select)
      : QRadioButton(text, parent), select_(std::move(select)) {
    setAutoExclusive(false);
  }

 protected:
  void nextCheckState() override { select_(); }

 private:
  std::function<void()> select_;
};

QString from_cp932(std::string_view bytes) { return QString::fromUtf8(platform::cp932_to_utf8(bytes)); }

Qt::Alignment static_alignment(uint32_t style) {
  switch (style & 0x3) {
    case p::SS_CENTER:
      return Qt::AlignHCenter | Qt::AlignTop;
    case p::SS_RIGHT:
      return Qt::AlignRight | Qt::AlignTop;
    default:
      return Qt::AlignLeft | Qt::AlignTop;
  }
}

Qt::Alignment edit_alignment(uint32_t style) {
  switch (style & 0x3) {
    case p::ES_CENTER:
      return Qt::AlignHCenter | Qt::AlignVCenter;
    case p::ES_RIGHT:
      return Qt::AlignRight | Qt::AlignVCenter;
    default:
      return Qt::AlignLeft | Qt::AlignVCenter;
  }
}

// The window's frame: the port dialog has a close box, the command dialog none.
Qt::WindowFlags window_flags(const platform::DialogTemplate& layout, QWidget* owner) {
  uint32_t style = 0;
  if (layout.id == shell::IDD_PORT_DIALOG)
    style = shell::PORT_DIALOG_STYLE;
  else if (layout.id == shell::IDD_COMMAND_DIALOG)
    style = shell::COMMAND_DIALOG_STYLE;
  else
    style = owner ? shell::COMMAND_DIALOG_STYLE : shell::PORT_DIALOG_STYLE;
  Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
  if (style & p::WS_SYSMENU) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  return flags;
}

}  // namespace

QFont dialog_font() {
  QFont font;
  // The original face first, then its metric-alike.
  font.setFamilies({QString::fromUtf8(shell::dialog_font_face), QStringLiteral("MS PGothic"),
                    QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic")});
  font.setPointSize(shell::DIALOG_FONT_POINTS);
  return font;
}

// MulDiv(units, base, 4) and MulDiv(units, base, 8): rounded, half away from zero.
int DialogUnits::x(int units) const { return (units * base_x + (units >= 0 ? 2 : -2)) / 4; }
int DialogUnits::y(int units) const { return (units * base_y + (units >= 0 ? 4 : -4)) / 8; }

DialogUnits dialog_units(const QFont& font) {
  const QFontMetrics fm(font);
  const int letters = fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  DialogUnits u;
  u.base_x = std::max(1, (letters / 26 + 1) / 2);
  u.base_y = std::max(1, fm.height());
  return u;
}

DialogWindow::DialogWindow(const platform::DialogTemplate& layout, QWidget* owner, platform::DialogHandle handle,
                           platform::DialogProc proc)
    : QDialog(owner, window_flags(layout, owner)), handle_(handle), proc_(proc) {
  const QFont font = dialog_font();
  setFont(font);
  const DialogUnits du = dialog_units(font);
  setWindowTitle(QString::fromUtf8(layout.caption ? layout.caption : ""));
  setFixedSize(du.x(layout.width), du.y(layout.height));
  if (owner) setWindowModality(Qt::ApplicationModal);

  controls_.reserve(layout.control_count);
  int group = 0;
  for (size_t i = 0; i < layout.control_count; ++i) {
    const platform::ControlSpec& row = layout.controls[i];
    if (row.group_start) ++group;
    Control c{row.id, row.kind, nullptr, row.style & ~p::WS_VISIBLE, group,
              platform::utf8_to_cp932(row.text ? row.text : ""), QString::fromUtf8(row.text ? row.text : "")};
    const int id = row.id;
    switch (row.kind) {
      case ControlKind::Button: {
        auto* b = new QPushButton(c.shown, this);
        connect(b, &QPushButton::clicked, this, [this, id] { send(p::WM_COMMAND, static_cast<uintptr_t>(id)); });
        c.widget = b;
        break;
      }
      case ControlKind::CheckBox: {
        auto* b = new QCheckBox(c.shown, this);
        connect(b, &QCheckBox::clicked, this, [this, id] { send(p::WM_COMMAND, static_cast<uintptr_t>(id)); });
        c.widget = b;
        break;
      }
      case ControlKind::RadioButton: {
        auto* b = new AutoRadio(c.shown, this, [this, i] { select_in_group(controls_[i]); });
        connect(b, &QRadioButton::clicked, this, [this, id] { send(p::WM_COMMAND, static_cast<uintptr_t>(id)); });
        c.widget = b;
        break;
      }
      case ControlKind::Edit: {
        auto* e = new QLineEdit(c.shown, this);
        // What the user types is fitted as what the program writes.
        connect(e, &QLineEdit::textEdited, this, [this, i] { fit_text(controls_[i]); });
        c.widget = e;
        break;
      }
      case ControlKind::Static: {
        auto* l = new QLabel(c.shown, this);
        l->setTextFormat(Qt::PlainText);
        l->setIndent(0);
        l->setMargin(0);
        c.widget = l;
        break;
      }
      case ControlKind::GroupBox:
        c.widget = new QGroupBox(c.shown, this);
        break;
      case ControlKind::ListBox:
        c.widget = new TrafficList(this, (row.style & p::LBS_SORT) != 0);
        break;
    }
    c.widget->setGeometry(du.x(row.x), du.y(row.y), du.x(row.width), du.y(row.height));
    if (!row.shown) c.widget->hide();
    controls_.push_back(std::move(c));
  }
  for (Control& c : controls_) {
    apply_style(c);
    fit_text(c);
  }
}

DialogWindow::Control* DialogWindow::control(int id) {
  for (Control& c : controls_)
    if (c.id == id) return &c;
  return nullptr;
}

void DialogWindow::send(uint32_t message, uintptr_t wparam) {
  if (proc_ && !finished_) proc_(handle_, message, wparam, 0);
}

void DialogWindow::apply_style(Control& c) {
  QWidget* w = c.widget;
  w->setEnabled((c.style & p::WS_DISABLED) == 0);
  switch (c.kind) {
    case ControlKind::Static:
    case ControlKind::GroupBox:
      w->setFocusPolicy(Qt::NoFocus);
      break;
    default:
      w->setFocusPolicy((c.style & p::WS_TABSTOP) ? Qt::StrongFocus : Qt::ClickFocus);
      break;
  }
  if (auto* l = qobject_cast<QLabel*>(w)) {
    l->setAlignment(static_alignment(c.style));
    l->setFrameStyle((c.style & p::SS_SUNKEN) ? (QFrame::Panel | QFrame::Sunken) : QFrame::NoFrame);
    l->setLineWidth(1);
  } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
    e->setAlignment(edit_alignment(c.style));
    e->setFrame((c.style & p::WS_BORDER) != 0);
  } else if (auto* b = qobject_cast<QPushButton*>(w)) {
    const bool is_default = (c.style & 0xF) == p::BS_DEFPUSHBUTTON;
    b->setDefault(is_default);
    b->setAutoDefault(is_default || (c.style & p::WS_TABSTOP) != 0);
  }
}

void DialogWindow::set_text(Control& c, std::string_view cp932) {
  c.bytes.assign(cp932.data(), cp932.size());
  c.shown = from_cp932(cp932);
  if (auto* b = qobject_cast<QAbstractButton*>(c.widget))
    b->setText(c.shown);
  else if (auto* l = qobject_cast<QLabel*>(c.widget))
    l->setText(c.shown);
  else if (auto* e = qobject_cast<QLineEdit*>(c.widget))
    e->setText(c.shown);
  else if (auto* g = qobject_cast<QGroupBox*>(c.widget))
    g->setTitle(c.shown);
  else
    c.widget->setWindowTitle(c.shown);  // a list box keeps its text as a window does
  fit_text(c);
}

std::string DialogWindow::text(const Control& c) const {
  // What the program wrote comes back byte for byte (a name with bytes that
  // are no CP932 character included); what the user typed is converted.
  if (auto* e = qobject_cast<const QLineEdit*>(c.widget))
    return e->text() == c.shown ? c.bytes : platform::utf8_to_cp932(e->text().toStdString());
  return c.bytes;
}

bool DialogWindow::checked(const Control& c) const {
  auto* b = qobject_cast<const QAbstractButton*>(c.widget);
  return b && b->isCheckable() && b->isChecked();
}

void DialogWindow::set_checked(Control& c, bool on) {
  if (auto* b = qobject_cast<QAbstractButton*>(c.widget); b && b->isCheckable()) b->setChecked(on);
}

void DialogWindow::select_in_group(Control& chosen) {
  for (Control& c : controls_)
    if (c.kind == ControlKind::RadioButton && c.group == chosen.group) set_checked(c, &c == &chosen);
}

uint32_t DialogWindow::style(const Control& c) const { return c.style | (c.widget->isHidden() ? 0 : p::WS_VISIBLE); }

void DialogWindow::set_style(Control& c, uint32_t style) {
  c.style = style & ~p::WS_VISIBLE;
  c.widget->setVisible((style & p::WS_VISIBLE) != 0);
  apply_style(c);
  fit_text(c);
}

void DialogWindow::click(int id) {
  Control* c = control(id);
  auto* b = c ? qobject_cast<QAbstractButton*>(c->widget) : nullptr;
  // QAbstractButton::click() ignores a disabled button, as a user's click does.
  if (b)
    b->click();
  else
    send(p::WM_COMMAND, static_cast<uintptr_t>(id));
}

void DialogWindow::finish(intptr_t result) {
  if (finished_) return;
  finished_ = true;
  result_ = result;
  hide();
  if (loop_) loop_->quit();
}

namespace {

// The text a control draws: a mnemonic's '&' is not drawn.
QString drawn_text(const DialogWindow::Control& c) {
  if (c.kind == ControlKind::Edit) return static_cast<QLineEdit*>(c.widget)->text();
  if (c.kind == ControlKind::Static) return c.shown;
  QString text = c.shown;
  return text.remove(QLatin1Char('&'));
}

}  // namespace

int DialogWindow::text_width(const Control& c) const {
  if (c.kind == ControlKind::ListBox) return 0;
  return c.widget->fontMetrics().horizontalAdvance(drawn_text(c));
}

int DialogWindow::text_room(const Control& c) const {
  QWidget* w = c.widget;
  QStyle* s = w->style();
  switch (c.kind) {
    case ControlKind::Button: {
      QStyleOptionButton opt;
      opt.initFrom(w);
      const int margin = s->pixelMetric(QStyle::PM_ButtonMargin, &opt, w) / 2;
      return s->subElementRect(QStyle::SE_PushButtonContents, &opt, w).width() - 2 * margin;
    }
    case ControlKind::CheckBox:
    case ControlKind::RadioButton: {
      QStyleOptionButton opt;
      opt.initFrom(w);
      const auto element = c.kind == ControlKind::CheckBox ? QStyle::SE_CheckBoxContents : QStyle::SE_RadioButtonContents;
      return s->subElementRect(element, &opt, w).width();
    }
    case ControlKind::Edit: {
      QStyleOptionFrame opt;
      opt.initFrom(w);
      opt.lineWidth = static_cast<QLineEdit*>(w)->hasFrame() ? s->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, w) : 0;
      return s->subElementRect(QStyle::SE_LineEditContents, &opt, w).width() - 2 * LINE_EDIT_MARGIN;
    }
    case ControlKind::Static:
      return static_cast<QLabel*>(w)->contentsRect().width();
    case ControlKind::GroupBox: {
      // The title starts inside the frame; it may run to as near the right edge.
      QStyleOptionGroupBox opt;
      opt.initFrom(w);
      opt.text = c.shown;
      opt.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
      const QRect label = s->subControlRect(QStyle::CC_GroupBox, &opt, QStyle::SC_GroupBoxLabel, w);
      return w->width() - 2 * std::max(0, label.left());
    }
    case ControlKind::ListBox:
      return 0;
  }
  return 0;
}

void DialogWindow::fit_text(Control& c) {
  if (c.kind == ControlKind::ListBox) return;
  const QString shown = drawn_text(c);
  const int room = text_room(c);
  QFont f = font();
  int stretch = 100;
  for (int width = QFontMetrics(f).horizontalAdvance(shown); width > room && stretch > MIN_TEXT_STRETCH;) {
    stretch = std::max(MIN_TEXT_STRETCH, std::min(stretch - 1, stretch * room / std::max(width, 1)));
    f.setStretch(stretch);
    width = QFontMetrics(f).horizontalAdvance(shown);
  }
  if (c.widget->font().stretch() != f.stretch() || !c.widget->testAttribute(Qt::WA_SetFont)) c.widget->setFont(f);
}

void DialogWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    send(p::WM_COMMAND, static_cast<uintptr_t>(p::IDCANCEL));
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void DialogWindow::closeEvent(QCloseEvent* event) {
  event->ignore();
  send(p::WM_CLOSE, 0);
}

void DialogWindow::paintEvent(QPaintEvent* event) {
  QDialog::paintEvent(event);
  send(p::WM_PAINT, 0);
}

}  // namespace tessaril::ui::qt

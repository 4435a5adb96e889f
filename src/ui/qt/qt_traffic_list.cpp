#include "ui/qt/qt_traffic_list.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionFocusRect>

#include <algorithm>

#include "platform/codepage.h"
#include "platform/controls.h"

namespace tessaril::ui::qt {

namespace {
constexpr int TEXT_INDENT = 2;  // pixels between the border and a line's text
}

TrafficList::TrafficList(QWidget* parent, bool sorted) : QAbstractScrollArea(parent), sorted_(sorted) {
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  setBackgroundRole(QPalette::Base);
  viewport()->setBackgroundRole(QPalette::Base);
  viewport()->setAutoFillBackground(true);
  horizontalScrollBar()->setSingleStep(fontMetrics().horizontalAdvance(QLatin1Char('x')));
}

int TrafficList::row_height() const { return std::max(1, fontMetrics().height()); }

int TrafficList::rows_in_view() const { return std::max(1, viewport()->height() / row_height()); }

int TrafficList::add(std::string_view cp932) {
  Line line{std::string(cp932), QString::fromUtf8(platform::cp932_to_utf8(cp932)), 0};
  line.width = fontMetrics().horizontalAdvance(line.text);
  auto at = lines_.end();
  if (sorted_)
    at = std::upper_bound(lines_.begin(), lines_.end(), line.bytes,
                          [](const std::string& a, const Line& b) { return platform::list_line_less(a, b.bytes); });
  const int index = static_cast<int>(at - lines_.begin());
  widest_ = std::max(widest_, line.width);
  lines_.insert(at, std::move(line));
  if (selected_ >= index) ++selected_;
  update_bars();
  viewport()->update();
  return index;
}

int TrafficList::remove(int index) {
  if (index < 0 || index >= count()) return -1;
  lines_.erase(lines_.begin() + index);
  if (selected_ == index)
    selected_ = -1;
  else if (selected_ > index)
    --selected_;
  // The widest line may have left; the scroll range keeps it, as a list
  // box keeps the horizontal extent it was given.
  update_bars();
  viewport()->update();
  return count();
}

std::string TrafficList::item(int index) const {
  if (index < 0 || index >= count()) return {};
  return lines_[static_cast<size_t>(index)].bytes;
}

void TrafficList::select(int index) {
  selected_ = (index >= 0 && index < count()) ? index : -1;
  if (selected_ >= 0) scroll_into_view(selected_);
  viewport()->update();
}

void TrafficList::scroll_into_view(int index) {
  QScrollBar* bar = verticalScrollBar();
  const int first = bar->value();
  if (index < first)
    bar->setValue(index);
  else if (index >= first + rows_in_view())
    bar->setValue(index - rows_in_view() + 1);
}

void TrafficList::update_bars() {
  const int rows = rows_in_view();
  QScrollBar* v = verticalScrollBar();
  v->setRange(0, std::max(0, count() - rows));
  v->setPageStep(rows);
  QScrollBar* h = horizontalScrollBar();
  const int width = viewport()->width();
  h->setRange(0, std::max(0, widest_ + 2 * TEXT_INDENT - width));
  h->setPageStep(std::max(1, width));
}

void TrafficList::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  const int h = row_height();
  const int first = verticalScrollBar()->value();
  const int x = TEXT_INDENT - horizontalScrollBar()->value();
  const int width = viewport()->width();
  const QFontMetrics fm = fontMetrics();
  const int last = std::min(count(), first + viewport()->height() / h + 1);
  for (int i = first; i < last; ++i) {
    const QRect row(0, (i - first) * h, width, h);
    const bool chosen = i == selected_;
    if (chosen) painter.fillRect(row, palette().brush(QPalette::Highlight));
    painter.setPen(palette().color(chosen ? QPalette::HighlightedText : QPalette::Text));
    painter.drawText(x, row.top() + fm.ascent(), lines_[static_cast<size_t>(i)].text);
    if (chosen && hasFocus()) {
      QStyleOptionFocusRect focus;
      focus.initFrom(this);
      focus.rect = row;
      focus.backgroundColor = palette().color(QPalette::Highlight);
      style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
  }
}

void TrafficList::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  update_bars();
}

void TrafficList::mousePressEvent(QMouseEvent* event) {
  const int row = verticalScrollBar()->value() + static_cast<int>(event->position().y()) / row_height();
  if (row < count()) select(row);
}

void TrafficList::keyPressEvent(QKeyEvent* event) {
  const int last = count() - 1;
  int to = selected_;
  switch (event->key()) {
    case Qt::Key_Up:
      to = std::max(0, selected_ - 1);
      break;
    case Qt::Key_Down:
      to = std::min(last, selected_ + 1);
      break;
    case Qt::Key_PageUp:
      to = std::max(0, selected_ - rows_in_view());
      break;
    case Qt::Key_PageDown:
      to = std::min(last, std::max(0, selected_) + rows_in_view());
      break;
    case Qt::Key_Home:
      to = 0;
      break;
    case Qt::Key_End:
      to = last;
      break;
    default:
      QAbstractScrollArea::keyPressEvent(event);  // left and right scroll sideways
      return;
  }
  if (last >= 0) select(to);
}

void TrafficList::changeEvent(QEvent* event) {
  QAbstractScrollArea::changeEvent(event);
  if (event->type() != QEvent::FontChange) return;
  const QFontMetrics fm = fontMetrics();
  widest_ = 0;
  for (Line& line : lines_) {
    line.width = fm.horizontalAdvance(line.text);
    widest_ = std::max(widest_, line.width);
  }
  update_bars();
}

}  // namespace tessaril::ui::qt

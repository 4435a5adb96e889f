// The list box of the Qt back end: the traffic lists of the command dialog
// hold up to 9999 lines and take a line per frame while the user works.
//
// How it works: the lines live in a deque of (CP932 bytes, shown text, width
// in pixels); the widget paints only the rows in view. A line goes in by a
// binary search in a sorted box (lines carry a time stamp, so it nearly
// always lands at the end) and at the end otherwise; the first line, which
// the command log trims, leaves from the front. Each line is measured once,
// when it comes, and the horizontal scroll range follows the widest line
// seen. So adding a line costs the same with ten lines or with 9999 (a
// QListWidget lays out every row again on each insert).
//
// It behaves as a Windows list box: one selected line (LB_SETCURSEL scrolls
// it into view), rows of the font's height, scroll bars when needed, arrows,
// page keys and the mouse move the selection.
#pragma once

#include <QAbstractScrollArea>
#include <QString>

#include <deque>
#include <string>
#include <string_view>

namespace tessaril::ui::qt {

class TrafficList : public QAbstractScrollArea {
 public:
  TrafficList(QWidget* parent, bool sorted);

  // LB_ADDSTRING: the index where the line went.
  int add(std::string_view cp932);
  // LB_DELETESTRING: the count left, or -1 for a bad index.
  int remove(int index);
  int count() const { return static_cast<int>(lines_.size()); }
  // The line's bytes, empty for a bad index.
  std::string item(int index) const;
  // LB_SETCURSEL: -1 or a bad index clears the selection.
  void select(int index);
  int selected() const { return selected_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  struct Line {
    std::string bytes;
    QString text;
    int width;
  };

  int row_height() const;
  int rows_in_view() const;
  void update_bars();
  void scroll_into_view(int index);

  bool sorted_;
  std::deque<Line> lines_;
  int widest_ = 0;
  int selected_ = -1;
};

}  // namespace tessaril::ui::qt

#include "ui/qt/qt_common_dialogs.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>

#include <atomic>
#include <deque>
#include <mutex>

#include "platform/codepage.h"
#include "platform/controls.h"
#include "ui/qt/qt_calls.h"

namespace tessaril::ui::qt {

namespace p = platform;

namespace {

struct Answers {
  std::mutex mutex;
  std::atomic<bool> automatic{false};
  std::deque<std::optional<std::string>> open_file;
  std::vector<MessageBoxRecord> boxes;
};

Answers& answers() {
  static Answers* a = new Answers;
  return *a;
}

QString from_cp932(std::string_view bytes) { return QString::fromUtf8(p::cp932_to_utf8(bytes)); }

QMessageBox::Icon icon_of(uint32_t flags) {
  switch (flags & 0xF0) {
    case p::MB_ICONERROR:
      return QMessageBox::Critical;
    case p::MB_ICONWARNING:
      return QMessageBox::Warning;
    case p::MB_ICONINFORMATION:
      return QMessageBox::Information;
    default:
      return QMessageBox::NoIcon;
  }
}

}  // namespace

int message_box(platform::DialogHandle owner, QWidget* window, std::string_view text, std::string_view caption, uint32_t flags) {
  Answers& a = answers();
  const uint32_t buttons = flags & 0xF;
  if (a.automatic.load() || !on_gui_thread()) {
    std::lock_guard lock(a.mutex);
    a.boxes.push_back(MessageBoxRecord{owner, std::string(text), std::string(caption), flags});
    return buttons == p::MB_YESNO ? p::IDYES : p::IDOK;
  }
  QMessageBox box(icon_of(flags), from_cp932(caption), from_cp932(text), QMessageBox::NoButton, window);
  box.setTextFormat(Qt::PlainText);
  switch (buttons) {
    case p::MB_OKCANCEL:
      box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
      break;
    case p::MB_YESNO:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      break;
    default:
      box.setStandardButtons(QMessageBox::Ok);
      break;
  }
  switch (box.exec()) {
    case QMessageBox::Ok:
      return p::IDOK;
    case QMessageBox::Yes:
      return p::IDYES;
    case QMessageBox::No:
      return p::IDNO;
    default:
      return buttons == p::MB_OK ? p::IDOK : p::IDCANCEL;  // a box with OK alone closes as OK
  }
}

QStringList name_filters(std::string_view filter) {
  QStringList filters;
  size_t at = 0;
  auto next = [&](std::string_view& out) {
    const size_t end = filter.find('\0', at);
    if (end == std::string_view::npos || end == at) return false;
    out = filter.substr(at, end - at);
    at = end + 1;
    return true;
  };
  std::string_view name, patterns;
  while (next(name) && next(patterns)) {
    QString qt_patterns = QString::fromUtf8(patterns.data(), static_cast<qsizetype>(patterns.size()));
    qt_patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    // The dialog takes the patterns from the last parentheses and hides them.
    filters << from_cp932(name) + QStringLiteral(" (") + qt_patterns + QLatin1Char(')');
  }
  return filters;
}

bool open_file(QWidget* owner, std::string_view filter, std::string_view title, std::string& path) {
  Answers& a = answers();
  if (a.automatic.load() || !on_gui_thread()) {
    std::lock_guard lock(a.mutex);
    if (a.open_file.empty()) return false;
    std::optional<std::string> answer = std::move(a.open_file.front());
    a.open_file.pop_front();
    if (!answer) return false;
    path = *answer;
    return true;
  }
  QFileDialog dialog(owner, from_cp932(title), QDir::currentPath());
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setOption(QFileDialog::ReadOnly);
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  const QStringList filters = name_filters(filter);
  if (!filters.isEmpty()) {
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters.front());
  }
  dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  path = QFile::encodeName(dialog.selectedFiles().front()).toStdString();
  return true;
}

void set_automatic_answers(bool automatic) { answers().automatic.store(automatic); }

void push_open_file_answer(std::optional<std::string> path) {
  Answers& a = answers();
  std::lock_guard lock(a.mutex);
  a.open_file.push_back(std::move(path));
}

std::vector<MessageBoxRecord> message_boxes() {
  Answers& a = answers();
  std::lock_guard lock(a.mutex);
  return a.boxes;
}

}  // namespace tessaril::ui::qt

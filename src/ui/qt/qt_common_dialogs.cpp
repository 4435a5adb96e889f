#include "ui/qt/qt_common_dialogs.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>

#include "platform/codepage.h"
#include "platform/controls.h"
#include "ui/qt/qt_calls.h"
#include "ui/hub/scripted_answers.h"

namespace tessaril::ui::qt {

namespace p = platform;

namespace {

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
  const uint32_t buttons = flags & 0xF;
  if (scripted::automatic() || !on_gui_thread()) return scripted::message_box(owner, text, caption, flags);
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
  if (scripted::automatic() || !on_gui_thread()) return scripted::open_file(path);
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

}  // namespace tessaril::ui::qt

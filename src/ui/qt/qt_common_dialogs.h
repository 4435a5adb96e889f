// The message box and the open-file dialog of the Qt back end.
//
// How it works: both run modally on the GUI thread over the dialog on top,
// with their CP932 texts converted by the platform (iconv), so the Japanese
// texts of the fatal-error notice and the file kinds show as written. The
// open-file dialog starts in the working folder and leaves it as it was; its
// filter is the Windows filter text ("name\0pattern\0...\0\0"), each entry
// shown by its name and matched by its pattern, the first one selected.
// Patterns match without regard to case, as on Windows ("*.XML" finds
// cal.xml).
//
// With automatic answers on (a script plays), nothing is shown: the
// open-file dialog returns the next queued answer (cancelled when none) and
// a message box is recorded and answered OK, or Yes for a yes/no question.
#pragma once

#include <QStringList>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/script/ui_driver.h"

class QWidget;

namespace tessaril::ui::qt {

int message_box(platform::DialogHandle owner, QWidget* window, std::string_view text, std::string_view caption, uint32_t flags);
bool open_file(QWidget* owner, std::string_view filter, std::string_view title, std::string& path);

// The Windows filter as the name filters of a QFileDialog: "name (patterns)".
QStringList name_filters(std::string_view windows_filter);


}  // namespace tessaril::ui::qt

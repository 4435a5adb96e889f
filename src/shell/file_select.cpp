#include "shell/file_select.h"

#include <string_view>

#include "shell/builders.h"
#include "shell/control_ids.h"
#include "platform/codepage.h"
#include "platform/files.h"

namespace tessaril::shell {

namespace {

using platform::DialogHandle;

// The filter entry and title of each kind of file, UTF-8 as the sources hold them.
struct KindTexts {
  const char* display;
  const char* pattern;
  const char* title;
};
constexpr KindTexts undefined_data{"未定義データ(*.xxx)", "*.*", "未定義データファイル選択"};
constexpr KindTexts calibration_xml{"キャリブレーションデータ(*.XML)", "*.XML", "キャリブレーションデータファイル選択"};
constexpr KindTexts calibration_gz{"キャリブレーションデータ(*.GZ)", "*.GZ", "キャリブレーションデータファイル選択"};
constexpr KindTexts program_update{"プログラムアップデータ(*.PGM)", "*.PGM", "プログラムアップデータファイル選択"};

const KindTexts& filter_texts(FileKind kind, CalibrationVariant variant) {
  switch (kind) {
    case FileKind::CalibrationData:
      if (variant == CalibrationVariant::Xml) return calibration_xml;
      if (variant == CalibrationVariant::Gz) return calibration_gz;
      return undefined_data;
    case FileKind::ProgramUpdate:
      return program_update;
    case FileKind::UndefinedData:
      break;
  }
  return undefined_data;
}

bool is_absolute(const std::string& path) {
  return (!path.empty() && platform::is_path_separator(path[0])) || (path.size() >= 2 && path[1] == ':');
}

// The Kermit send may run after the working folder has changed, so a path the
// dialog gave relative to it is kept whole.
std::string full_path(const std::string& path) {
  if (is_absolute(path)) return path;
  return platform::current_folder() + platform::path_separator() + path;
}

void refuse_long_name(DialogHandle dialog, const std::string& name, int capacity) {
  const std::string text = "The file name " + name + " is too long to be sent: it has " + std::to_string(name.size()) +
                           " characters, at most " + std::to_string(capacity - 1) + " fit. Rename the file and select it again.";
  platform::message_box(dialog, text, "File Select", platform::MB_OK | platform::MB_ICONWARNING);
}

void refuse_large_file(DialogHandle dialog, const std::string& name, int64_t size) {
  const std::string text = "The file " + name + " is too large to be sent: it has " + std::to_string(size) +
                           " bytes, at most " + std::to_string(TRANSFER_SIZE_MAX) +
                           " fit the size field of the frame that announces it to the device. Select a smaller file.";
  platform::message_box(dialog, text, "File Select", platform::MB_OK | platform::MB_ICONWARNING);
}

void select_into_group(DialogHandle dialog, link::Session& s, FileKind kind, CalibrationVariant variant, int name_static, int size_static) {
  char name[link::TX_FILE_NAME_CAPACITY] = {};
  int32_t size = 0;
  std::string path;
  if (!select_transfer_file(dialog, kind, variant, name, link::TX_FILE_NAME_CAPACITY, size, path)) return;
  platform::set_control_text(dialog, name_static, name);
  platform::set_control_text(dialog, size_static, std::to_string(size));
  s.tx_file.set(name, size, path);
}

}  // namespace

std::string open_file_filter(FileKind kind, CalibrationVariant variant) {
  const KindTexts& t = filter_texts(kind, variant);
  std::string filter = platform::utf8_to_cp932(t.display);
  filter.push_back('\0');
  filter += t.pattern;
  filter.push_back('\0');
  filter.push_back('\0');
  return filter;
}

std::string open_file_title(FileKind kind, CalibrationVariant variant) {
  // The title follows the kind even where the filter falls back to undefined data.
  const KindTexts& t = kind == FileKind::CalibrationData ? calibration_xml : filter_texts(kind, variant);
  return platform::utf8_to_cp932(t.title);
}

int select_transfer_file(DialogHandle dialog, FileKind kind, CalibrationVariant variant, char* name_out, int capacity,
                         int32_t& size_out, std::string& path_out) {
  std::string chosen;
  if (!platform::open_file(platform::NO_DIALOG, open_file_filter(kind, variant), open_file_title(kind, variant), chosen) ||
      chosen.empty())
    return 0;
  const int64_t size = platform::file_size(chosen);
  if (size < 0) return 0;
  const std::string name = upcase_name(platform::base_name(chosen));
  if (name.empty() || !name_out || capacity <= 0) return 0;
  if (name.size() >= static_cast<size_t>(capacity)) {
    refuse_long_name(dialog, name, capacity);
    return 0;
  }
  if (size > TRANSFER_SIZE_MAX) {
    refuse_large_file(dialog, name, size);
    return 0;
  }
  name.copy(name_out, name.size());
  name_out[name.size()] = '\0';
  size_out = static_cast<int32_t>(size);
  path_out = full_path(chosen);
  return 1;
}

void on_select_transfer_file(DialogHandle dialog, link::Session& s) {
  select_into_group(dialog, s, FileKind::UndefinedData, CalibrationVariant::None, IDC_TRANSFER_FILE_NAME,
                    IDC_TRANSFER_FILE_SIZE);
}

void on_select_calibration_file(DialogHandle dialog, link::Session& s) {
  CalibrationVariant variant = CalibrationVariant::None;
  if (platform::is_checked(dialog, IDC_CAL_XML))
    variant = CalibrationVariant::Xml;
  else if (platform::is_checked(dialog, IDC_CAL_GZ))
    variant = CalibrationVariant::Gz;
  select_into_group(dialog, s, FileKind::CalibrationData, variant, IDC_CAL_FILE_NAME, IDC_CAL_FILE_SIZE);
}

void on_select_upgrade_file(DialogHandle dialog, link::Session& s) {
  select_into_group(dialog, s, FileKind::ProgramUpdate, CalibrationVariant::None, IDC_UPGRADE_FILE_NAME,
                    IDC_UPGRADE_FILE_SIZE);
}

bool on_file_select(DialogHandle dialog, link::Session& s, int button_id) {
  switch (button_id) {
    case IDC_SELECT_TRANSFER_FILE:
      on_select_transfer_file(dialog, s);
      return true;
    case IDC_SELECT_CAL_FILE:
      on_select_calibration_file(dialog, s);
      return true;
    case IDC_SELECT_UPGRADE_FILE:
      on_select_upgrade_file(dialog, s);
      return true;
    default:
      return false;
  }
}

}  // namespace tessaril::shell

#include "ui/win32/win32_common_dialogs.h"

#include "ui/hub/scripted_answers.h"

namespace tessaril::ui::win32 {

namespace p = platform;

int message_box(p::DialogHandle owner, HWND owner_window, std::string_view text, std::string_view caption,
                uint32_t flags) {
  if (scripted::automatic()) return scripted::message_box(owner, text, caption, flags);
  const std::string body(text), title(caption);
  return MessageBoxA(owner_window, body.c_str(), title.c_str(), flags);
}

bool open_file(HWND owner_window, std::string_view filter, std::string_view title, std::string& path) {
  if (scripted::automatic()) return scripted::open_file(path);
  // The filter ends with two NULs whatever the caller's view holds.
  std::string filters(filter);
  filters.append(2, '\0');
  const std::string caption(title);
  char name[MAX_PATH] = {};
  OPENFILENAMEA ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner_window;
  ofn.lpstrFilter = filters.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = name;
  ofn.nMaxFile = MAX_PATH;
  ofn.lpstrInitialDir = ".\\";
  ofn.lpstrTitle = caption.empty() ? nullptr : caption.c_str();
  ofn.Flags = OFN_READONLY | OFN_NOCHANGEDIR | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_EXPLORER;
  if (!GetOpenFileNameA(&ofn)) return false;
  path = name;
  return true;
}

}  // namespace tessaril::ui::win32

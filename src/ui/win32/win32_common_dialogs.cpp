#include "ui/win32/win32_common_dialogs.h"

#include <atomic>
#include <deque>
#include <mutex>

namespace tessaril::ui::win32 {

namespace p = platform;

namespace {

struct Answers {
  std::mutex mutex;
  std::atomic<bool> automatic{false};
  std::deque<std::optional<std::string>> open_file;
  std::vector<MessageBoxRecord> boxes;
};

Answers& answers() {
  static auto* a = new Answers;
  return *a;
}

}  // namespace

int message_box(p::DialogHandle owner, HWND owner_window, std::string_view text, std::string_view caption,
                uint32_t flags) {
  Answers& a = answers();
  if (a.automatic.load()) {
    std::lock_guard lock(a.mutex);
    a.boxes.push_back(MessageBoxRecord{owner, std::string(text), std::string(caption), flags});
    return (flags & 0xF) == p::MB_YESNO ? p::IDYES : p::IDOK;
  }
  const std::string body(text), title(caption);
  return MessageBoxA(owner_window, body.c_str(), title.c_str(), flags);
}

bool open_file(HWND owner_window, std::string_view filter, std::string_view title, std::string& path) {
  Answers& a = answers();
  if (a.automatic.load()) {
    std::lock_guard lock(a.mutex);
    if (a.open_file.empty()) return false;
    std::optional<std::string> answer = std::move(a.open_file.front());
    a.open_file.pop_front();
    if (!answer) return false;
    path = *answer;
    return true;
  }
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

}  // namespace tessaril::ui::win32

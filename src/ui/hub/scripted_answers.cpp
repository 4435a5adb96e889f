#include "ui/hub/scripted_answers.h"

#include <atomic>
#include <deque>
#include <mutex>

namespace tessaril::ui::scripted {

namespace {

struct Answers {
  std::mutex mutex;
  std::atomic<bool> automatic{false};
  std::deque<std::optional<std::string>> open_file;
  std::vector<MessageBoxRecord> boxes;
};

// Never destroyed: a worker may still show a box while the program ends.
Answers& answers() {
  static auto* a = new Answers;
  return *a;
}

}  // namespace

void set_automatic(bool automatic) { answers().automatic.store(automatic); }
bool automatic() { return answers().automatic.load(); }

int message_box(platform::DialogHandle owner, std::string_view text, std::string_view caption, uint32_t flags) {
  Answers& a = answers();
  std::lock_guard lock(a.mutex);
  a.boxes.push_back(MessageBoxRecord{owner, std::string(text), std::string(caption), flags});
  return (flags & 0xF) == platform::MB_YESNO ? platform::IDYES : platform::IDOK;
}

bool open_file(std::string& path) {
  Answers& a = answers();
  std::lock_guard lock(a.mutex);
  if (a.open_file.empty()) return false;
  std::optional<std::string> answer = std::move(a.open_file.front());
  a.open_file.pop_front();
  if (!answer) return false;
  path = *answer;
  return true;
}

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

}  // namespace tessaril::ui::scripted

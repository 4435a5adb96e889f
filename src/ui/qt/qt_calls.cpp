#include "ui/qt/qt_calls.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

#include <atomic>
#include <map>
#include <mutex>
#include <utility>

#include "ui/hub/dialog_thread_hub.h"

namespace tessaril::ui::qt {

using platform::DialogHandle;

namespace {

struct Entry {
  platform::DialogProc proc = nullptr;
  std::vector<PostedMessage> test_posts;  // dialogs without a procedure
};

struct Registry {
  std::mutex mutex;
  std::map<DialogHandle, Entry> live;
  DialogHandle next_handle = 1;
  std::atomic<bool> wake_posted{false};
};

Registry& registry() {
  static Registry* r = new Registry;  // lives until exit: worker threads may outlive main's locals
  return *r;
}

void wake_for_calls(DialogHandle) {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app || registry().wake_posted.exchange(true)) return;
  QMetaObject::invokeMethod(
      app,
      [] {
        // Cleared before the queue is read: a call queued from here on posts
        // a wake-up of its own.
        registry().wake_posted.store(false);
        hub::serve_control_calls();
      },
      Qt::QueuedConnection);
}

void deliver_one() {
  std::optional<hub::Item> item = hub::take_item();
  if (!item) return;
  if (item->task) {
    item->task();
    return;
  }
  if (platform::DialogProc proc = dialog_proc(item->dialog))
    proc(item->dialog, item->message.message, item->message.wparam, item->message.lparam);
}

void wake_for_item(DialogHandle) {
  if (QCoreApplication* app = QCoreApplication::instance())
    QMetaObject::invokeMethod(app, deliver_one, Qt::QueuedConnection);
}

}  // namespace

bool on_gui_thread() {
  QCoreApplication* app = QCoreApplication::instance();
  return app && QThread::currentThread() == app->thread();
}

DialogHandle register_dialog(platform::DialogProc proc) {
  Registry& r = registry();
  DialogHandle handle;
  {
    std::lock_guard lock(r.mutex);
    handle = r.next_handle++;
    r.live[handle].proc = proc;
  }
  hub::accept_calls(handle, wake_for_calls);
  return handle;
}

void retire_dialog(DialogHandle dialog) {
  Registry& r = registry();
  {
    std::lock_guard lock(r.mutex);
    r.live.erase(dialog);
  }
  hub::refuse_calls(dialog);
  hub::drop_posts(dialog);
  hub::pump_ended(dialog);
}

bool dialog_live(DialogHandle dialog) {
  Registry& r = registry();
  std::lock_guard lock(r.mutex);
  return r.live.count(dialog) != 0;
}

platform::DialogProc dialog_proc(DialogHandle dialog) {
  Registry& r = registry();
  std::lock_guard lock(r.mutex);
  auto it = r.live.find(dialog);
  return it == r.live.end() ? nullptr : it->second.proc;
}

void pump_started(DialogHandle dialog) { hub::pump_started(dialog, wake_for_item); }

bool post_message(DialogHandle dialog, uint32_t message, uintptr_t wparam, intptr_t lparam) {
  Registry& r = registry();
  const PostedMessage m{message, wparam, lparam};
  {
    std::lock_guard lock(r.mutex);
    auto it = r.live.find(dialog);
    if (it == r.live.end()) return false;
    if (!it->second.proc) {
      it->second.test_posts.push_back(m);
      return true;
    }
  }
  hub::queue_post(dialog, m);
  return true;
}

std::vector<PostedMessage> take_test_posts(DialogHandle dialog) {
  Registry& r = registry();
  std::lock_guard lock(r.mutex);
  auto it = r.live.find(dialog);
  if (it == r.live.end()) return {};
  return std::exchange(it->second.test_posts, {});
}

}  // namespace tessaril::ui::qt

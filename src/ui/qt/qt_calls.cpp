#include "ui/qt/qt_calls.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <future>
#include <map>
#include <memory>
#include <mutex>

#include "platform/clock.h"

namespace tessaril::ui::qt {

using platform::DialogHandle;

namespace {

struct Entry {
  platform::DialogProc proc = nullptr;
  std::vector<PostedMessage> test_posts;  // dialogs without a procedure
};

// A worker's control call, on the worker's stack while it waits.
struct Call {
  DialogHandle dialog;
  const std::function<void()>* fn;
  bool done = false;
  bool ran = false;
};

// A posted message, or work handed over (task set).
struct Item {
  DialogHandle dialog = platform::NO_DIALOG;
  PostedMessage message{};
  std::function<void()> task;
};

struct Hub {
  std::mutex mutex;
  std::condition_variable call_done;    // workers waiting for their call
  std::condition_variable call_queued;  // the GUI thread in sleep_serving_calls
  std::condition_variable pump_change;
  std::map<DialogHandle, Entry> live;
  std::vector<DialogHandle> pumps;  // innermost last
  DialogHandle next_handle = 1;
  std::deque<Call*> calls;
  std::atomic<int> pending{0};
  std::atomic<bool> wake_posted{false};
  std::deque<Item> posted;
};

Hub& hub() {
  static Hub* h = new Hub;  // lives until exit: worker threads may outlive main's locals
  return *h;
}

// Serves the queued calls; the lock is held on entry and on return.
void serve_locked(std::unique_lock<std::mutex>& lock) {
  Hub& h = hub();
  while (!h.calls.empty()) {
    Call* c = h.calls.front();
    h.calls.pop_front();
    h.pending.fetch_sub(1);
    const bool live = h.live.count(c->dialog) != 0;
    lock.unlock();
    if (live) (*c->fn)();
    lock.lock();
    c->done = true;
    c->ran = live;
    h.call_done.notify_all();
  }
}

void wake_for_calls() {
  Hub& h = hub();
  QCoreApplication* app = QCoreApplication::instance();
  if (!app || h.wake_posted.exchange(true)) return;
  QMetaObject::invokeMethod(
      app,
      [] {
        // Cleared before the queue is read: a call queued from here on posts
        // a wake-up of its own.
        hub().wake_posted.store(false);
        serve_control_calls();
      },
      Qt::QueuedConnection);
}

void deliver_one() {
  Hub& h = hub();
  Item item;
  {
    std::lock_guard lock(h.mutex);
    if (h.posted.empty()) return;
    item = std::move(h.posted.front());
    h.posted.pop_front();
  }
  if (item.task) {
    item.task();
    return;
  }
  if (platform::DialogProc proc = dialog_proc(item.dialog))
    proc(item.dialog, item.message.message, item.message.wparam, item.message.lparam);
}

void wake_for_item() {
  if (QCoreApplication* app = QCoreApplication::instance())
    QMetaObject::invokeMethod(app, deliver_one, Qt::QueuedConnection);
}

}  // namespace

bool on_gui_thread() {
  QCoreApplication* app = QCoreApplication::instance();
  return app && QThread::currentThread() == app->thread();
}

DialogHandle register_dialog(platform::DialogProc proc) {
  Hub& h = hub();
  std::lock_guard lock(h.mutex);
  const DialogHandle handle = h.next_handle++;
  h.live[handle].proc = proc;
  return handle;
}

void retire_dialog(DialogHandle dialog) {
  Hub& h = hub();
  {
    std::lock_guard lock(h.mutex);
    h.live.erase(dialog);
    h.pumps.erase(std::remove(h.pumps.begin(), h.pumps.end(), dialog), h.pumps.end());
    for (auto it = h.calls.begin(); it != h.calls.end();) {
      if ((*it)->dialog != dialog) {
        ++it;
        continue;
      }
      (*it)->done = true;
      h.pending.fetch_sub(1);
      it = h.calls.erase(it);
    }
    h.posted.erase(std::remove_if(h.posted.begin(), h.posted.end(),
                                  [&](const Item& i) { return !i.task && i.dialog == dialog; }),
                   h.posted.end());
  }
  h.call_done.notify_all();
  h.pump_change.notify_all();
}

bool dialog_live(DialogHandle dialog) {
  Hub& h = hub();
  std::lock_guard lock(h.mutex);
  return h.live.count(dialog) != 0;
}

platform::DialogProc dialog_proc(DialogHandle dialog) {
  Hub& h = hub();
  std::lock_guard lock(h.mutex);
  auto it = h.live.find(dialog);
  return it == h.live.end() ? nullptr : it->second.proc;
}

void pump_started(DialogHandle dialog) {
  Hub& h = hub();
  {
    std::lock_guard lock(h.mutex);
    h.pumps.push_back(dialog);
  }
  h.pump_change.notify_all();
}

void pump_ended(DialogHandle dialog) {
  Hub& h = hub();
  {
    std::lock_guard lock(h.mutex);
    h.pumps.erase(std::remove(h.pumps.begin(), h.pumps.end(), dialog), h.pumps.end());
  }
  h.pump_change.notify_all();
}

DialogHandle top_pump() {
  Hub& h = hub();
  std::lock_guard lock(h.mutex);
  return h.pumps.empty() ? platform::NO_DIALOG : h.pumps.back();
}

bool wait_for_pump(int timeout_ms) {
  Hub& h = hub();
  std::unique_lock lock(h.mutex);
  return h.pump_change.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] { return !h.pumps.empty(); });
}

bool run_control_call(DialogHandle dialog, const std::function<void()>& fn) {
  if (on_gui_thread()) {
    serve_control_calls();  // what workers asked for first comes first
    if (!dialog_live(dialog)) return false;
    fn();
    return true;
  }
  Hub& h = hub();
  Call call{dialog, &fn};
  {
    std::lock_guard lock(h.mutex);
    if (!QCoreApplication::instance() || h.live.count(dialog) == 0) return false;
    h.calls.push_back(&call);
    h.pending.fetch_add(1);
  }
  h.call_queued.notify_all();
  wake_for_calls();
  std::unique_lock lock(h.mutex);
  h.call_done.wait(lock, [&] { return call.done; });
  return call.ran;
}

void serve_control_calls() {
  Hub& h = hub();
  if (h.pending.load() == 0) return;
  std::unique_lock lock(h.mutex);
  serve_locked(lock);
}

void sleep_serving_calls(int64_t ms) {
  if (!on_gui_thread()) {
    platform::sleep_ms(ms);
    return;
  }
  Hub& h = hub();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max<int64_t>(ms, 0));
  std::unique_lock lock(h.mutex);
  for (;;) {
    serve_locked(lock);
    if (!h.call_queued.wait_until(lock, deadline, [&] { return !h.calls.empty(); })) return;
  }
}

bool post_message(DialogHandle dialog, uint32_t message, uintptr_t wparam, intptr_t lparam) {
  Hub& h = hub();
  {
    std::lock_guard lock(h.mutex);
    auto it = h.live.find(dialog);
    if (it == h.live.end()) return false;
    const PostedMessage m{message, wparam, lparam};
    if (!it->second.proc) {
      it->second.test_posts.push_back(m);
      return true;
    }
    h.posted.push_back(Item{dialog, m, {}});
  }
  wake_for_item();
  return true;
}

bool run_on_dialog_thread(const std::function<void()>& fn, int timeout_ms) {
  Hub& h = hub();
  if (on_gui_thread()) {
    if (top_pump() == platform::NO_DIALOG) return false;
    fn();
    return true;
  }
  if (!wait_for_pump(timeout_ms)) return false;
  auto done = std::make_shared<std::promise<void>>();
  std::future<void> finished = done->get_future();
  {
    std::lock_guard lock(h.mutex);
    if (h.pumps.empty()) return false;
    h.posted.push_back(Item{platform::NO_DIALOG, {}, [fn, done] {
                              fn();
                              done->set_value();
                            }});
  }
  wake_for_item();
  // Should the last modal loop end first, the task is never run and the
  // wait gives up.
  for (;;) {
    if (finished.wait_for(std::chrono::milliseconds(50)) == std::future_status::ready) return true;
    std::lock_guard lock(h.mutex);
    if (h.pumps.empty()) {
      h.posted.erase(std::remove_if(h.posted.begin(), h.posted.end(), [](const Item& i) { return bool(i.task); }),
                     h.posted.end());
      return finished.wait_for(std::chrono::milliseconds(0)) == std::future_status::ready;
    }
  }
}

size_t queued_items() {
  Hub& h = hub();
  std::lock_guard lock(h.mutex);
  return h.posted.size();
}

std::vector<PostedMessage> take_test_posts(DialogHandle dialog) {
  Hub& h = hub();
  std::lock_guard lock(h.mutex);
  auto it = h.live.find(dialog);
  if (it == h.live.end()) return {};
  return std::exchange(it->second.test_posts, {});
}

}  // namespace tessaril::ui::qt

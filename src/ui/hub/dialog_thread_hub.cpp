#include "ui/hub/dialog_thread_hub.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/clock.h"

namespace tessaril::ui::hub {

using platform::DialogHandle;
using Clock = std::chrono::steady_clock;

namespace {

struct Pump {
  DialogHandle dialog;
  Waker wake;
};

// An item in the FIFO; ticket 0 for a post.
struct Queued {
  uint64_t ticket = 0;
  Item item;
};

// A worker's control call, on the worker's stack while it waits.
struct Call {
  DialogHandle dialog;
  std::thread::id thread;
  const std::function<void()>* fn;
  bool done = false;
  bool ran = false;
};

struct Accepting {
  std::thread::id thread;
  Waker wake;
};

struct Hub {
  std::mutex mutex;
  // Any change a waiter may wait for: a loop started or ended, an item
  // queued or taken, handed-over work done, a call queued or done.
  std::condition_variable changed;
  std::vector<Pump> pumps;  // innermost last
  std::thread::id dialog_thread;
  std::deque<Queued> items;
  uint64_t next_ticket = 1;
  std::map<DialogHandle, Accepting> accepting;
  std::deque<Call*> calls;
  std::atomic<int> pending{0};  // calls queued: the dialog thread's own calls skip the lock without
};

Hub& hub() {
  static Hub* h = new Hub;  // lives until exit: worker threads may outlive main's locals
  return *h;
}

bool in_pump_locked(const Hub& h) { return !h.pumps.empty() && h.dialog_thread == std::this_thread::get_id(); }

bool has_ticket_locked(const Hub& h, uint64_t ticket) {
  return std::any_of(h.items.begin(), h.items.end(), [&](const Queued& q) { return q.ticket == ticket; });
}

// Serves the calls queued for the calling thread; the lock is held on entry and on return.
void serve_locked(Hub& h, std::unique_lock<std::mutex>& lock) {
  const std::thread::id me = std::this_thread::get_id();
  for (;;) {
    auto it = std::find_if(h.calls.begin(), h.calls.end(), [&](const Call* c) { return c->thread == me; });
    if (it == h.calls.end()) return;
    Call* c = *it;
    h.calls.erase(it);
    h.pending.fetch_sub(1);
    const bool live = h.accepting.count(c->dialog) != 0;
    lock.unlock();
    if (live) (*c->fn)();
    lock.lock();
    c->done = true;
    c->ran = live;
    h.changed.notify_all();
  }
}

bool call_waiting_locked(const Hub& h, std::thread::id thread) {
  return std::any_of(h.calls.begin(), h.calls.end(), [&](const Call* c) { return c->thread == thread; });
}

bool accepts_on_locked(const Hub& h, std::thread::id thread) {
  return std::any_of(h.accepting.begin(), h.accepting.end(), [&](const auto& a) { return a.second.thread == thread; });
}

}  // namespace

// ---- modal loops ----------------------------------------------------------

void pump_started(DialogHandle dialog, Waker wake) {
  Hub& h = hub();
  size_t waiting = 0;
  {
    std::lock_guard lock(h.mutex);
    h.pumps.push_back(Pump{dialog, wake});
    h.dialog_thread = std::this_thread::get_id();
    waiting = h.items.size();
  }
  h.changed.notify_all();
  // Items queued while no loop ran get their wake-ups from this one.
  for (size_t i = 0; wake && i < waiting; ++i) wake(dialog);
}

void pump_ended(DialogHandle dialog) {
  Hub& h = hub();
  {
    std::lock_guard lock(h.mutex);
    h.pumps.erase(std::remove_if(h.pumps.begin(), h.pumps.end(), [&](const Pump& p) { return p.dialog == dialog; }),
                  h.pumps.end());
  }
  h.changed.notify_all();
}

DialogHandle top_pump() {
  Hub& h = hub();
  std::lock_guard lock(h.mutex);
  return h.pumps.empty() ? platform::NO_DIALOG : h.pumps.back().dialog;
}

bool wait_for_pump(int timeout_ms) {
  Hub& h = hub();
  std::unique_lock lock(h.mutex);
  return h.changed.wait_for(lock, std::chrono::milliseconds(std::max(timeout_ms, 0)), [&] { return !h.pumps.empty(); });
}

// ---- posted messages and handed-over work -----------------------------------

void queue_post(DialogHandle dialog, const PostedMessage& message) {
  Hub& h = hub();
  Pump top{platform::NO_DIALOG, nullptr};
  {
    std::lock_guard lock(h.mutex);
    h.items.push_back(Queued{0, Item{dialog, message, {}}});
    if (!h.pumps.empty()) top = h.pumps.back();
  }
  h.changed.notify_all();
  if (top.wake) top.wake(top.dialog);
}

void drop_posts(DialogHandle dialog) {
  Hub& h = hub();
  std::lock_guard lock(h.mutex);
  h.items.erase(std::remove_if(h.items.begin(), h.items.end(),
                               [&](const Queued& q) { return q.ticket == 0 && q.item.dialog == dialog; }),
                h.items.end());
}

std::optional<Item> take_item() {
  Hub& h = hub();
  std::optional<Item> item;
  {
    std::lock_guard lock(h.mutex);
    if (h.items.empty()) return std::nullopt;
    item = std::move(h.items.front().item);
    h.items.pop_front();
  }
  h.changed.notify_all();
  return item;
}

bool next_item(DialogHandle dialog, Item& item) {
  Hub& h = hub();
  {
    std::unique_lock lock(h.mutex);
    auto live = [&] {
      return std::any_of(h.pumps.begin(), h.pumps.end(), [&](const Pump& p) { return p.dialog == dialog; });
    };
    h.changed.wait(lock, [&] { return !live() || !h.items.empty(); });
    if (!live()) return false;
    item = std::move(h.items.front().item);
    h.items.pop_front();
  }
  h.changed.notify_all();
  return true;
}

size_t queued_items() {
  Hub& h = hub();
  std::lock_guard lock(h.mutex);
  return h.items.size();
}

bool run_on_dialog_thread(const std::function<void()>& fn, int timeout_ms) {
  Hub& h = hub();
  const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeout_ms, 0));
  std::unique_lock lock(h.mutex);
  if (in_pump_locked(h)) {
    lock.unlock();
    fn();
    return true;
  }
  // The dialog thread outside every loop would wait for itself.
  if (h.pumps.empty() && h.dialog_thread == std::this_thread::get_id()) return false;
  if (!h.changed.wait_until(lock, deadline, [&] { return !h.pumps.empty(); })) return false;

  auto done = std::make_shared<bool>(false);  // under the lock
  const uint64_t ticket = h.next_ticket++;
  h.items.push_back(Queued{ticket, Item{platform::NO_DIALOG, {}, [fn, done] {
                                          fn();
                                          Hub& hh = hub();
                                          {
                                            std::lock_guard l(hh.mutex);
                                            *done = true;
                                          }
                                          hh.changed.notify_all();
                                        }}});
  Pump woken = h.pumps.back();
  lock.unlock();
  h.changed.notify_all();
  if (woken.wake) woken.wake(woken.dialog);
  lock.lock();
  for (;;) {
    if (*done) return true;
    if (has_ticket_locked(h, ticket)) {
      if (h.pumps.empty() || Clock::now() >= deadline) {
        h.items.erase(std::find_if(h.items.begin(), h.items.end(), [&](const Queued& q) { return q.ticket == ticket; }));
        return false;
      }
      // The loop woken ended before it took the item: the one now on top takes it.
      if (h.pumps.back().dialog != woken.dialog) {
        woken = h.pumps.back();
        lock.unlock();
        if (woken.wake) woken.wake(woken.dialog);
        lock.lock();
        continue;
      }
      h.changed.wait_until(lock, deadline);
    } else {
      h.changed.wait(lock);  // taken: it runs to its end, however long
    }
  }
}

// ---- control calls --------------------------------------------------------

void accept_calls(DialogHandle dialog, Waker wake) {
  Hub& h = hub();
  std::lock_guard lock(h.mutex);
  h.accepting[dialog] = Accepting{std::this_thread::get_id(), wake};
}

void refuse_calls(DialogHandle dialog) {
  Hub& h = hub();
  {
    std::lock_guard lock(h.mutex);
    h.accepting.erase(dialog);
    for (auto it = h.calls.begin(); it != h.calls.end();) {
      if ((*it)->dialog != dialog) {
        ++it;
        continue;
      }
      (*it)->done = true;
      h.pending.fetch_sub(1);
      it = h.calls.erase(it);
    }
  }
  h.changed.notify_all();
}

bool run_control_call(DialogHandle dialog, const std::function<void()>& fn) {
  Hub& h = hub();
  std::unique_lock lock(h.mutex);
  auto it = h.accepting.find(dialog);
  if (it == h.accepting.end()) return false;
  const Accepting owner = it->second;
  if (owner.thread == std::this_thread::get_id()) {
    serve_locked(h, lock);
    if (h.accepting.count(dialog) == 0) return false;
    lock.unlock();
    fn();
    return true;
  }
  Call call{dialog, owner.thread, &fn};
  h.calls.push_back(&call);
  h.pending.fetch_add(1);
  lock.unlock();
  h.changed.notify_all();
  if (owner.wake) owner.wake(dialog);
  lock.lock();
  h.changed.wait(lock, [&] { return call.done; });
  return call.ran;
}

void serve_control_calls() {
  Hub& h = hub();
  if (h.pending.load() == 0) return;
  std::unique_lock lock(h.mutex);
  serve_locked(h, lock);
}

void sleep_serving_calls(int64_t ms) {
  Hub& h = hub();
  const std::thread::id me = std::this_thread::get_id();
  std::unique_lock lock(h.mutex);
  if (!accepts_on_locked(h, me)) {
    lock.unlock();
    platform::sleep_ms(ms);
    return;
  }
  const auto deadline = Clock::now() + std::chrono::milliseconds(std::max<int64_t>(ms, 0));
  for (;;) {
    serve_locked(h, lock);
    if (!h.changed.wait_until(lock, deadline, [&] { return call_waiting_locked(h, me); })) return;
  }
}

// ---- the capacity rule -------------------------------------------------------

int copy_text(std::string_view text, char* buffer, int capacity) {
  if (!buffer || capacity <= 0) return 0;
  const size_t n = std::min(text.size(), static_cast<size_t>(capacity - 1));
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
  return static_cast<int>(n);
}

}  // namespace tessaril::ui::hub

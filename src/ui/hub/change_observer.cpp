#include "ui/hub/change_observer.h"

#include <mutex>
#include <utility>

namespace tessaril::ui::observed {

namespace {

struct Observer {
  std::mutex mutex;
  ChangeObserver fn;
};

// Never destroyed: a worker may still change a control while the program ends.
Observer& observer() {
  static auto* o = new Observer;
  return *o;
}

}  // namespace

void set_change_observer(ChangeObserver fn) {
  Observer& o = observer();
  std::lock_guard lock(o.mutex);
  o.fn = std::move(fn);
}

void notify(platform::DialogHandle dialog, int id, ChangeKind kind, std::string_view text) {
  Observer& o = observer();
  std::lock_guard lock(o.mutex);
  if (o.fn) o.fn(dialog, id, kind, text);
}

}  // namespace tessaril::ui::observed

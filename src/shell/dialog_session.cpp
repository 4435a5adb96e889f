#include "shell/dialog_session.h"

#include <atomic>

namespace tessaril::shell {

namespace {
std::atomic<link::Session*> installed_session{nullptr};
std::atomic<CommandDialogView*> installed_view{nullptr};
}  // namespace

void set_dialog_session(link::Session* session, CommandDialogView* view) {
  installed_session.store(session);
  installed_view.store(view);
}

link::Session& dialog_session() { return *installed_session.load(); }
CommandDialogView& dialog_view() { return *installed_view.load(); }

bool dialog_link_busy() {
  const link::Session* s = installed_session.load();
  return s && !s->idle();
}

}  // namespace tessaril::shell

// A session installed as the one the dialogs work on, with the command
// dialog's view subscribed, for the tests that run dialog procedures. S() is
// the installed session.
#pragma once

#include "link/session.h"
#include "platform/controls.h"
#include "shell/dialog_session.h"
#include "shell/session_view.h"

namespace tessaril {

namespace test {

struct InstalledSession {
  link::Session session;
  shell::CommandDialogView view{session};
  InstalledSession() {
    session.dialog_sleep = platform::sleep_serving_calls;
    session.subscribe(&view);
    shell::set_dialog_session(&session, &view);
  }
  ~InstalledSession() { shell::set_dialog_session(nullptr, nullptr); }
  InstalledSession(const InstalledSession&) = delete;
  InstalledSession& operator=(const InstalledSession&) = delete;
};

}  // namespace test

inline link::Session& S() { return shell::dialog_session(); }

}  // namespace tessaril

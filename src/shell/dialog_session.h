// The session the dialogs work on, and the view that shows it.
//
// How it works: run_program builds the session from the configuration,
// subscribes a CommandDialogView to it and installs both here before the
// port dialog runs; the dialogs' procedures take them from here. Tests that
// run a dialog procedure install a session of their own the same way.
#pragma once

#include "link/session.h"
#include "shell/session_view.h"

namespace tessaril::shell {

// Installs the pair (both or neither); the caller keeps them alive while
// any dialog runs.
void set_dialog_session(link::Session* session, CommandDialogView* view);

// The installed pair. Only while one is installed.
link::Session& dialog_session();
CommandDialogView& dialog_view();

// True while the installed session has anything under way (false with none
// installed). Safe from any thread.
bool dialog_link_busy();

}  // namespace tessaril::shell

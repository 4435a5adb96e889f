// The port-selection dialog, as the shell addresses it from outside its
// procedure. Set by the dialog's initialisation, cleared when it ends; a
// message posted to a handle of an ended dialog is dropped by the back end.
// The command dialog's handle belongs to the link (link::command_dialog):
// its threads post their events there.
#pragma once

#include <atomic>

#include "platform/controls.h"

namespace tessaril::shell {

inline std::atomic<platform::DialogHandle> port_dialog{platform::NO_DIALOG};

}  // namespace tessaril::shell

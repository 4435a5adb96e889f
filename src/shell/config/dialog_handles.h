// The two dialogs of the program, as the link threads and the command log
// address them. Set by each dialog's initialisation, cleared when it ends;
// a message posted to a handle of an ended dialog is dropped by the back end.
#pragma once

#include <atomic>

#include "platform/controls.h"

namespace tessaril::shell {

inline std::atomic<platform::DialogHandle> port_dialog{platform::no_dialog};
inline std::atomic<platform::DialogHandle> command_dialog{platform::no_dialog};

}  // namespace tessaril::shell

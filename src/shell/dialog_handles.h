// The port-selection dialog, as the shell addresses it from outside its
// procedure, and the messages of the system's own. The handle is set by the
// dialog's initialisation and cleared when it ends; a message posted to a
// handle of an ended dialog is dropped by the back end. The command dialog is
// the one its view of the session shows (session_view.h).
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/controls.h"

namespace tessaril::shell {

inline std::atomic<platform::DialogHandle> port_dialog{platform::NO_DIALOG};

// A link event for the command dialog's sequencer: wParam the status code or
// byte 0 of the answer, lParam its link::LinkEventKind.
inline constexpr uint32_t WM_LINK_EVENT = 1034;
inline constexpr uint32_t WM_END_PORT_DIALOG = 1039;
inline constexpr uint32_t WM_END_COMMAND_DIALOG = 1040;

}  // namespace tessaril::shell

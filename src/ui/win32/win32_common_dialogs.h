// Message boxes (MessageBoxA) and the open-file dialog (GetOpenFileNameA) of
// the Win32 back end, or the answers a script gives in their place.
//
// How it works: with automatic answers off (a person at the program) the
// real dialogs run, modal over the owner's window; their own message loops
// keep serving the dialogs and the workers' control calls meanwhile. With
// automatic answers on (a script plays the dialogs), an open-file dialog
// takes the next queued answer (cancelled when none is queued) and a message
// box is recorded and answered OK (Yes for a yes/no box).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/script/ui_driver.h"
#include "ui/win32/win32_api.h"

namespace tessaril::ui::win32 {

int message_box(platform::DialogHandle owner, HWND owner_window, std::string_view text, std::string_view caption,
                uint32_t flags);
// The open-file dialog of the controls' contract (platform/controls.h): the
// filter's first entry selected, the working folder first (".\"), an empty
// name field of MAX_PATH characters, the read-only box ticked, the working
// folder left as it was.
bool open_file(HWND owner_window, std::string_view filter, std::string_view title, std::string& path);

}  // namespace tessaril::ui::win32

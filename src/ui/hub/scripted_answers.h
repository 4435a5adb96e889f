// The answers the common dialogs give while a script plays them, instead of
// waiting for a person.
//
// How it works: a message box is recorded and answered at once (Yes for a
// Yes/No box, OK otherwise), and an open-file dialog takes the next answer
// the script pushed, or is cancelled when there is none. One store per
// process, guarded for the worker threads that show message boxes. Every
// back end answers through it: the headless one always, Qt and Win32 while
// answers are automatic.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/controls.h"
#include "ui/script/ui_driver.h"

namespace tessaril::ui::scripted {

// While on, the common dialogs answer from this store.
void set_automatic(bool automatic);
bool automatic();

// Records the box and returns its answer (IDYES or IDOK).
int message_box(platform::DialogHandle owner, std::string_view text, std::string_view caption, uint32_t flags);
// The next pushed answer: true with its path, false when none was pushed or
// the script cancelled.
bool open_file(std::string& path);

void push_open_file_answer(std::optional<std::string> path);
std::vector<MessageBoxRecord> message_boxes();

}  // namespace tessaril::ui::scripted

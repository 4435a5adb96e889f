// What the link tests share: a session on a command log in a temporary
// folder, a command dialog made of the controls its view writes (the four
// result fields and the two traffic lists) with the view attached, short
// port time-outs, answer frames built byte by byte, and waits for what the
// threads post.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "link/session.h"
#include "platform/controls.h"
#include "shell/session_view.h"
#include "status/command_log.h"
#include "support/frames.h"
#include "support/temp_folder.h"
#include "ui/headless/headless_backend.h"

namespace tessaril::test {

// The command log of a test: in cmd_log/ of its folder.
status::LogSettings log_settings_in(const TempFolder& folder);

// Polls done() every millisecond for up to ms; true once it holds.
bool wait_until(const std::function<bool()>& done, int64_t ms);

class LinkTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Waits until a message is posted to the command dialog; false after timeout_ms.
  bool next_post(ui::PostedMessage& message, int timeout_ms);
  // Waits until result field of `step` reads something other than "*".
  std::string wait_result(int step, int timeout_ms);
  // Waits until the link is at rest (Session::idle).
  bool wait_idle(int timeout_ms);
  std::string result(int step);
  std::vector<std::string> hex_lines();
  std::vector<std::string> text_lines();

  TempFolder folder;
  link::Session session{log_settings_in(folder)};
  shell::CommandDialogView view{session};
  platform::DialogHandle dialog = platform::NO_DIALOG;
  std::vector<ui::PostedMessage> pending;
};

}  // namespace tessaril::test

// What the link tests share: a command dialog made of the controls the link
// threads write (the four result fields and the two traffic lists), the
// command log pointed at a temporary folder, short port time-outs, answer
// frames built byte by byte, and waits for what the threads post.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/controls.h"
#include "support/frames.h"
#include "support/temp_folder.h"
#include "ui/headless/headless_backend.h"

namespace tessaril::test {

class LinkTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Waits until a message is posted to the command dialog; false after timeout_ms.
  bool next_post(ui::PostedMessage& message, int timeout_ms);
  // Waits until result field of `step` reads something other than "*".
  std::string wait_result(int step, int timeout_ms);
  std::string result(int step);
  std::vector<std::string> hex_lines();
  std::vector<std::string> text_lines();

  TempFolder folder;
  platform::DialogHandle dialog = platform::NO_DIALOG;
  platform::DialogHandle port_dialog = platform::NO_DIALOG;
  std::vector<ui::PostedMessage> pending;
};

}  // namespace tessaril::test

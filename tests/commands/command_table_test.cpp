// The command catalogue: button ids and command codes are what the device and
// the dialog layout depend on; they are pinned here.
#include "commands/command_table.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace tessaril::commands {
namespace {

TEST(CommandsCatalogue, ButtonsSendTheirCodes) {
  const std::map<int, int> expected = {
      {4011, 0x01}, {4021, 0x02}, {4031, 0x03}, {4041, 0x04}, {4051, 0x05}, {4061, 0x06}, {4071, 0x07},
      {4081, 0x08}, {4091, 0x09}, {4101, 0x0A}, {4111, 0x0B}, {4121, 0x0C}, {4131, 0x0D}, {4141, 0x0E},
      {4151, 0x0F}, {4161, 0x10}, {4171, 0x11}, {4181, 0x12}, {4182, 0x13}, {4191, 0x14}, {4192, 0x60},
      {4183, 0x61}, {4242, 0x74}, {4252, 0x75}, {4301, 0x76}, {4291, 0x77}, {4281, 0x78}, {4271, 0x79},
      {4251, 0x7B}, {4241, 0x7C}, {4231, 0x7D}, {4221, 0x7E}, {4211, 0x7F}};
  ASSERT_EQ(COMMAND_COUNT, expected.size());
  for (const auto& [button, code] : expected) {
    const CommandEntry* e = find_command(button);
    ASSERT_NE(e, nullptr) << button;
    EXPECT_EQ(e->code, code) << button;
    EXPECT_EQ(e->shown, code <= 0x14) << button;  // 0x60 and up are created hidden
  }
}

TEST(CommandsCatalogue, OtherIdsAreNoCommandButtons) {
  for (int id : {0, 2, 223, 227, 230, 231, 232, 4012, 4102, 4152, 4162, 4300, 5101})
    EXPECT_EQ(find_command(id), nullptr) << id;
  EXPECT_EQ(command_button_text(4102), nullptr);
}

TEST(CommandsCatalogue, SingleButtonsCarryTheirNameThenSet) {
  // A button of its own shows the command's name, blanks and "Set"; a button
  // inside a group box shows only "Set" (the group box names the command).
  for (const CommandEntry& e : command_table) {
    const std::string text = e.button_text;
    const std::string caption = e.caption;
    ASSERT_GE(text.size(), 3u);
    EXPECT_EQ(text.substr(text.size() - 3), "Set") << e.button_id;
    if (text.size() > 4) {
      EXPECT_EQ(text.substr(0, caption.size()), caption) << e.button_id;
    }
  }
  EXPECT_STREQ(find_command(4011)->button_text, "Get Fault Status (0x01)           Set");
  EXPECT_STREQ(find_command(4111)->caption, "Kermit File Transfer Status(0x0B)");
  EXPECT_STREQ(find_command(4121)->caption, "Recieve File (0x0C)");
}

}  // namespace
}  // namespace tessaril::commands

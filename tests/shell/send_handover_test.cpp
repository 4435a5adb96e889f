// "Send" hands its frame to a real thread that takes it the way the send
// thread does: the moment the command word reads 1, the step's copy is the
// frame just built, whole, never the one before it.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "command_dialog_fixture.h"
#include "platform/clock.h"

namespace tessaril::commands::test {
namespace {

using Bytes = std::vector<uint8_t>;

class CommandsSendHandOver : public CommandDialogTest {};

TEST_F(CommandsSendHandOver, TheTakerAlwaysSeesTheFrameOfThisSend) {
  std::atomic<bool> stop{false};
  std::vector<Bytes> taken;
  std::thread taker([&] {
    while (!stop.load()) {
      if (S().tx_command.load() == link::TX_SEND_FRAME) {
        link::TxFrameCopy copy;
        S().load_tx_frame(S().frame_slot.load(), copy);
        taken.emplace_back(copy.raw, copy.raw + copy.raw_len);
        link::clear_command(S().tx_command, link::TX_SEND_FRAME);
      }
      platform::sleep_ms(1);
    }
  });

  std::vector<Bytes> built;
  const int buttons[] = {4011, 4231, 4071, 4231, 4011, 4281};
  for (int button : buttons) {
    build(button);
    built.push_back(editor_frame());
    on_send(dialog, S());
    for (int i = 0; i < 500 && S().tx_command.load() != 0; ++i) platform::sleep_ms(2);
  }
  stop.store(true);
  taker.join();

  ASSERT_EQ(taken.size(), built.size());
  for (size_t i = 0; i < built.size(); ++i) EXPECT_EQ(taken[i], built[i]) << "send " << i;
}

}  // namespace
}  // namespace tessaril::commands::test

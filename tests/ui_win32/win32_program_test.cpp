// The program's own dialogs on the Win32 back end, played by a script file
// through the entry of `tessaril.exe --script`: the port dialog and, over
// it, the command dialog, each centred in the work area, with a port that
// cannot be opened reported in the traffic list.
#include <gtest/gtest.h>

#include <atomic>
#include <sstream>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/controls.h"
#include "shell/program.h"
#include "support/temp_folder.h"
#include "ui/win32/win32_backend.h"
#include "ui/win32/win32_program.h"

namespace tessaril::test {
namespace {

namespace p = platform;

TEST(Win32Program, AScriptPlaysThePortAndTheCommandDialog) {
  // Without a window no dialog opens, and nothing below could be seen.
  ASSERT_TRUE(ui::win32_display_available()) << "no display: Wine needs an X server (DISPLAY) before it starts";
  TempFolder folder;
  ScopedCurrentFolder in_folder(folder.path());
  const ui::UiDriver& driver = ui::win32_driver();

  // Each dialog that comes on top, as placed once its initialisation is done.
  struct Placed {
    p::DialogHandle dialog;
    p::Rect rect, area;
  };
  std::vector<Placed> placed;
  std::atomic<bool> finished{false};
  std::thread watcher([&] {
    while (!finished && placed.size() < 2) {
      const p::DialogHandle top = driver.top_dialog();
      if (top != p::NO_DIALOG && (placed.empty() || placed.back().dialog != top)) {
        Placed at{top, {}, {}};
        if (driver.run_on_dialog_thread([&] { at.rect = p::window_rect(top), at.area = p::work_area(); }, 5000))
          placed.push_back(at);
      }
      p::sleep_ms(20);
    }
  });

  shell::ProgramOptions options;
  options.script_path = folder.write("dialogs.txt",
                                     "expect 1001 1\n"
                                     "set 1001 250\n"
                                     "click 201\n"
                                     "wait 5000\n"
                                     "expect-list 225 ~Cannot open COM250.*\n"
                                     "expect 2401 *\n"
                                     "click 4021\n"
                                     "expect 1401 02\n");
  std::istringstream no_input;
  std::ostringstream out, err;
  const int code = ui::run_win32(options, no_input, out, err);
  finished = true;
  watcher.join();
  EXPECT_EQ(code, 0) << out.str() << err.str();
  EXPECT_EQ(driver.top_dialog(), p::NO_DIALOG);

  ASSERT_EQ(placed.size(), 2u);
  for (const Placed& d : placed) {
    SCOPED_TRACE("dialog " + std::to_string(d.dialog));
    EXPECT_GT(d.rect.right - d.rect.left, 300);
    EXPECT_NEAR(d.rect.left + d.rect.right, d.area.left + d.area.right, 1);
    EXPECT_NEAR(d.rect.top + d.rect.bottom, d.area.top + d.area.bottom, 1);
  }
}

}  // namespace
}  // namespace tessaril::test

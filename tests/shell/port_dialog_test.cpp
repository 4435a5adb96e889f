// The port-selection dialog on the headless back end, with the real link
// threads, the real configuration file and a pseudo-terminal as the port.
#include "ui/headless/headless_program.h"
#include "shell/port_dialog.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "link/link_state.h"
#include "link/link_threads.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/serial.h"
#include "shell/center_window.h"
#include "shell/config.h"
#include "shell/dialog_handles.h"
#include "shell/control_ids.h"
#include "shell/layout_tables.h"
#include "shell/program.h"
#include "status/command_log.h"
#include "status/status_codes.h"
#include "support/line_pair.h"
#include "support/temp_folder.h"
#include "support/installed_session.h"
#include "ui/headless/headless_backend.h"

namespace tessaril::shell {
namespace {

using platform::DialogHandle;

// Waits until pred holds, polling; false after timeout_ms.
template <typename Pred>
bool eventually(Pred pred, int timeout_ms = 10000) {
  const int64_t deadline = platform::monotonic_ms() + timeout_ms;
  while (!pred()) {
    if (platform::monotonic_ms() > deadline) return false;
    platform::sleep_ms(10);
  }
  return true;
}

// Runs the program's dialogs on this thread while `driver` plays the user on
// another; the session exists while they run.
template <typename Driver>
void run_port_dialog(Driver driver) {
  ui::install_headless_backend();
  std::thread user(driver);
  run_program(ProgramOptions{});
  user.join();
}

struct Seen {
  std::string port_text;
  platform::Rect rect, area;
  bool threads_running = false;
  bool threads_stopped_on_close = false;
  intptr_t escape_result = -1;
  bool alive_after_escape = false;
};

Seen start_and_close() {
  Seen seen;
  run_port_dialog([&] {
    ASSERT_TRUE(ui::wait_for_dialog(10000));
    ui::run_on_dialog_thread([&] {
      const DialogHandle d = ui::top_dialog();
      seen.port_text = platform::control_text(d, IDC_PORT_NUMBER);
      seen.rect = platform::window_rect(d);
      seen.area = platform::work_area();
      seen.threads_running = S().tx_running.load() && S().rx_running.load();
      seen.escape_result = ui::send_message(d, platform::WM_COMMAND, IDC_ESCAPE, 0);
      seen.alive_after_escape = ui::dialog_alive(d);
    });
    link::Session* session = nullptr;
    ui::run_on_dialog_thread([&] { session = &S(); });
    platform::post_message(port_dialog.load(), platform::WM_CLOSE, 0, 0);
    // The threads stop before the dialog ends (it then pauses 1 s), and the
    // session lives until the dialog has ended.
    seen.threads_stopped_on_close = eventually([&] { return !session->tx_running.load() && !session->rx_running.load(); });
  });
  return seen;
}

TEST(ShellPortDialog, ShowsTheConfiguredPortCentredAndStopsTheThreadsOnClose) {
  test::TempFolder folder;
  folder.write("buc_setup.ini", "[section1]\nsio_port=4\n");
  test::ScopedCurrentFolder here(folder.path());
  Seen seen = start_and_close();

  EXPECT_EQ(seen.port_text, "4");
  const int w = seen.rect.right - seen.rect.left, h = seen.rect.bottom - seen.rect.top;
  EXPECT_GT(w, 0);
  EXPECT_EQ(seen.rect.left, (seen.area.left + seen.area.right - w) / 2);
  EXPECT_EQ(seen.rect.top, (seen.area.top + seen.area.bottom - h) / 2);
  EXPECT_TRUE(seen.threads_running);
  EXPECT_EQ(seen.escape_result, 0);  // Esc does nothing in this dialog
  EXPECT_TRUE(seen.alive_after_escape);
  EXPECT_TRUE(seen.threads_stopped_on_close);
}

TEST(ShellPortDialog, PortOneWithoutConfigurationFile) {
  test::TempFolder folder;
  test::ScopedCurrentFolder here(folder.path());
  EXPECT_EQ(start_and_close().port_text, "1");
}

TEST(ShellPortDialog, StartUpResetsWhatAnEarlierRunLeft) {
  test::TempFolder folder;
  test::ScopedCurrentFolder here(folder.path());
  (void)claim_fatal_notice();
  int32_t waits = -1, rx = -1, date = -1;
  bool fatal_claimable = false;
  const status::StatusEntry* last = nullptr;
  run_port_dialog([&] {
    ASSERT_TRUE(ui::wait_for_dialog(10000));
    ui::run_on_dialog_thread([&] {
      waits = 0;
      for (int k = 0; k < 5; ++k) waits += S().step_wait_ticks(k).load();
      rx = S().rx_command.load();
      date = S().log.date();
      last = status::find_status(0x10880000u);
      fatal_claimable = claim_fatal_notice();
    });
    platform::post_message(port_dialog.load(), platform::WM_CLOSE, 0, 0);
  });
  EXPECT_EQ(waits, 0);
  EXPECT_EQ(rx, link::RX_IDLE);
  EXPECT_TRUE(fatal_claimable) << "the mark of an earlier notice is cleared";
  EXPECT_EQ(date, 20120101);
  ASSERT_NE(last, nullptr);  // the status table is filled
  EXPECT_EQ(last->index, 300);
}

TEST(ShellPortDialog, PortNumberIsDecimalLowEightBits) {
  EXPECT_EQ(port_number_from_text("3"), 3);
  EXPECT_EQ(port_number_from_text("12"), 12);
  EXPECT_EQ(port_number_from_text("300"), 44);
  EXPECT_EQ(port_number_from_text("255"), 255);
  EXPECT_EQ(port_number_from_text("256"), 0);
  EXPECT_EQ(port_number_from_text(""), 0);
  EXPECT_EQ(port_number_from_text("abc"), 0);
  EXPECT_EQ(port_number_from_text("7x"), 7);
  EXPECT_EQ(port_number_from_text(" 9"), 9);
  EXPECT_EQ(port_number_from_text("-1"), 255);
  EXPECT_EQ(port_number_from_text("0x1"), 0);  // decimal only
}

std::string run_script_headless(const std::string& script, int& code) {
  std::istringstream in(script);
  std::ostringstream out, err;
  ProgramOptions options;
  options.headless = true;
  code = ui::run_headless(options, in, out, err);
  return out.str() + err.str();
}

TEST(ShellPortDialog, EnterOpensTheTypedPortFromItsFirstThreeCharacters) {
  platform::set_serial_timeout_scale(5);
  test::LinePair device;
  if (device.limits().no_line) GTEST_SKIP() << device.limits().no_line;
  test::TempFolder folder;
  folder.write("buc_setup.ini", "[section1]\nsio_port=2\n" + test::route_com_port(44, device));
  test::ScopedCurrentFolder here(folder.path());
  int code = -1;
  // "3001" is cut to "300" by the 4-byte read, whose low 8 bits are 44.
  std::string output = run_script_headless("get 1001\nset 1001 3001\nclick 201\nshown 223\nlist 225\n", code);
  EXPECT_EQ(code, 0) << output;
  EXPECT_EQ(app_config.sio_port, 44);
  EXPECT_NE(output.find("1001=2\n"), std::string::npos) << output;
  EXPECT_NE(output.find("223=1\n"), std::string::npos) << output;  // the command dialog was on top
  EXPECT_EQ(output.find("Cannot open"), std::string::npos) << output;
  platform::set_serial_timeout_scale(100);
}

TEST(ShellPortDialog, APortThatFailsToOpenStillOpensTheCommandDialogAndSaysWhy) {
  test::TempFolder folder;
  folder.write("buc_setup.ini", "[section1]\n[ports]\nCOM9=" + folder.file("no-such-device") + "\n");
  test::ScopedCurrentFolder here(folder.path());
  int code = -1;
  std::string output = run_script_headless("set 1001 9\nclick 201\nlist 225\n", code);
  EXPECT_EQ(code, 0) << output;
  EXPECT_NE(output.find("225:"), std::string::npos) << output;
#ifdef _WIN32
  // Windows reads no ports section: COM9 itself, which the test prefix lacks.
  EXPECT_NE(output.find("Cannot open COM9"), std::string::npos) << output;
#else
  EXPECT_NE(output.find("no-such-device"), std::string::npos) << output;
#endif
}

TEST(ShellPortDialog, CloseAndEnterAreIgnoredWhileTheCommandDialogIsUp) {
  platform::set_serial_timeout_scale(5);
  test::LinePair device;
  if (device.limits().no_line) GTEST_SKIP() << device.limits().no_line;
  test::TempFolder folder;
  folder.write("buc_setup.ini", "[section1]\nsio_port=1\n" + test::route_com_port(1, device));
  test::ScopedCurrentFolder here(folder.path());
  DialogHandle port = platform::NO_DIALOG, first_command = platform::NO_DIALOG, later_top = platform::NO_DIALOG;
  bool port_alive = false;
  run_port_dialog([&] {
    ASSERT_TRUE(ui::wait_for_dialog(10000));
    port = ui::top_dialog();
    platform::post_message(port, platform::WM_COMMAND, IDC_ENTER, 0);
    ASSERT_TRUE(eventually([&] { return ui::top_dialog() != port; }));
    first_command = ui::top_dialog();
    // The owner of a modal dialog takes no close and no second ENTER.
    platform::post_message(port, platform::WM_CLOSE, 0, 0);
    platform::post_message(port, platform::WM_COMMAND, IDC_ENTER, 0);
    ui::run_on_dialog_thread([&] {
      port_alive = ui::dialog_alive(port);
      later_top = ui::top_dialog();
    });
    platform::post_message(first_command, platform::WM_COMMAND, IDC_RETURN_TO_MENU, 0);
    ASSERT_TRUE(eventually([&] { return ui::top_dialog() == port; }));
    EXPECT_FALSE(command_dialog_running());
    platform::post_message(port, platform::WM_CLOSE, 0, 0);
  });
  EXPECT_TRUE(port_alive);
  EXPECT_EQ(later_top, first_command);
  platform::set_serial_timeout_scale(100);
}

TEST(ShellPortDialog, FatalNoticeShowsOnceAndEndsTheDialogAtOnce) {
  test::TempFolder folder;
  test::ScopedCurrentFolder here(folder.path());
  const size_t boxes_before = ui::message_boxes().size();
  run_port_dialog([&] {
    ASSERT_TRUE(ui::wait_for_dialog(10000));
    platform::post_message(ui::top_dialog(), WM_FATAL_NOTICE, 0, 0);
  });
  std::vector<ui::MessageBoxRecord> boxes = ui::message_boxes();
  ASSERT_EQ(boxes.size(), boxes_before + 1);
  EXPECT_EQ(boxes.back().caption, platform::utf8_to_cp932("終了確認"));
  EXPECT_EQ(boxes.back().text, platform::utf8_to_cp932("プログラム実行継続不可能なエラーが発生しました。\n"
                                                       "エラーコードを記録してプログラムを終了します。\n"));
  EXPECT_EQ(boxes.back().flags, platform::MB_ICONWARNING);
  // A second notice in the same process shows nothing.
  show_fatal_notice(platform::NO_DIALOG);
  EXPECT_EQ(ui::message_boxes().size(), boxes_before + 1);
}

TEST(ShellCenterWindow, CentresInTheWorkAreaTruncatingTowardZero) {
  platform::Rect r = centered_rect({0, 0, 1920, 1040}, 316, 164);
  EXPECT_EQ((std::array{r.left, r.top, r.right, r.bottom}), (std::array{802, 438, 1118, 602}));
  // Odd sums: 701 / 2 = 350.
  r = centered_rect({-100, 0, 1001, 501}, 200, 0);
  EXPECT_EQ(r.left, 350);
  EXPECT_EQ(r.top, 250);
  // Negative sums truncate toward zero: -1001 / 2 = -500, not -501.
  r = centered_rect({-1001, -7, 0, 0}, 0, 0);
  EXPECT_EQ(r.left, -500);
  EXPECT_EQ(r.top, -3);
  // A dialog larger than the area hangs over both edges alike.
  r = centered_rect({0, 0, 800, 600}, 1000, 700);
  EXPECT_EQ(r.left, -100);
  EXPECT_EQ(r.right, 900);
  EXPECT_EQ(r.top, -50);
  // Far-off coordinates do not overflow.
  r = centered_rect({2000000000, 0, 2000000000, 0}, 0, 0);
  EXPECT_EQ(r.left, 2000000000);
}

TEST(ShellFatalNotice, OnlyTheFirstClaimShowsTheNotice) {
  reset_fatal_notice();
  EXPECT_TRUE(claim_fatal_notice());
  EXPECT_FALSE(claim_fatal_notice()) << "a second notice shows no box";
}

TEST(ShellFatalNotice, RacingClaimsHaveOneWinner) {
  for (int round = 0; round < 50; ++round) {
    reset_fatal_notice();
    std::atomic<int> winners{0};
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
      threads.emplace_back([&] {
        while (!go.load()) std::this_thread::yield();
        if (claim_fatal_notice()) ++winners;
      });
    go.store(true);
    for (std::thread& t : threads) t.join();
    ASSERT_EQ(winners.load(), 1) << "round " << round;
  }
}

}  // namespace
}  // namespace tessaril::shell

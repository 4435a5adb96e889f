// The control-model contract (control_contract.h), run against each back end.
#include "ui/control_contract.h"

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/controls.h"

namespace tessaril::test {
namespace {

using namespace tessaril::platform;

const ControlSpec outer_controls[] = {
    {10, ControlKind::Edit, "abc", 0, 0, 10, 10, 0, true, false},
    {20, ControlKind::RadioButton, "r1", 0, 0, 10, 10, 0, true, true},
    {21, ControlKind::RadioButton, "r2", 0, 0, 10, 10, 0, true, false},
    {22, ControlKind::RadioButton, "r3", 0, 0, 10, 10, 0, true, false},
    {30, ControlKind::RadioButton, "s1", 0, 0, 10, 10, 0, true, true},
    {31, ControlKind::RadioButton, "s2", 0, 0, 10, 10, 0, true, false},
    {40, ControlKind::CheckBox, "c", 0, 0, 10, 10, 0, true, false},
    {50, ControlKind::ListBox, "", 0, 0, 10, 10, LBS_SORT, true, false},
    {51, ControlKind::ListBox, "", 0, 0, 10, 10, 0, false, false},
    {60, ControlKind::Button, "b", 0, 20, 40, 14, 0, true, false},
};
const DialogTemplate outer{101, "outer", 0, 0, 100, 100, outer_controls, std::size(outer_controls)};
const DialogTemplate inner{103, "inner", 0, 0, 50, 50, outer_controls, 1};

// What the procedures saw, written on the dialog thread only.
std::vector<std::string> journal;
std::atomic<DialogHandle> inner_handle{NO_DIALOG};

intptr_t inner_proc(DialogHandle d, uint32_t msg, uintptr_t w, intptr_t) {
  if (msg == WM_INITDIALOG) {
    inner_handle = d;
    journal.push_back("inner init");
  } else if (msg == 1034) {
    journal.push_back("inner 1034 " + std::to_string(w));
    if (w == 2) end_dialog(d, 7);
  }
  return 1;
}

intptr_t outer_proc(DialogHandle d, uint32_t msg, uintptr_t w, intptr_t) {
  if (msg == WM_INITDIALOG) {
    journal.push_back("outer init");
  } else if (msg == WM_COMMAND && w == 1) {
    intptr_t r = run_dialog(inner, d, inner_proc, 0);
    journal.push_back("inner ended " + std::to_string(r));
  } else if (msg == 1039) {
    journal.push_back("outer 1039");
    end_dialog(d, 3);
  }
  return 1;
}

TEST_P(ControlContract, NestedModalDialogsServePostsFromOtherThreads) {
  const ui::UiDriver& drv = driver();
  journal.clear();
  inner_handle = NO_DIALOG;
  std::thread script([&drv] {
    ASSERT_TRUE(drv.wait_for_dialog(5000));
    DialogHandle outer_dialog = drv.top_dialog();
    // The click runs the inner dialog modally from within the outer procedure;
    // it does not return until the inner dialog ends, so post from here.
    std::thread clicker(
        [&drv, outer_dialog] { drv.run_on_dialog_thread([&] { drv.user_click(outer_dialog, 1); }, 10000); });
    while (inner_handle.load() == NO_DIALOG) platform::sleep_ms(1);
    DialogHandle in = inner_handle;
    EXPECT_EQ(drv.top_dialog(), in);
    EXPECT_TRUE(post_message(in, 1034, 1, 0));
    EXPECT_TRUE(post_message(in, 1034, 2, 0));
    clicker.join();
    EXPECT_FALSE(drv.dialog_alive(in));
    EXPECT_FALSE(post_message(in, 1034, 9, 0));  // dropped: the dialog has ended
    EXPECT_EQ(drv.top_dialog(), outer_dialog);
    EXPECT_TRUE(post_message(outer_dialog, 1039, 0, 0));
  });
  intptr_t r = run_dialog(outer, NO_DIALOG, outer_proc, 0);
  script.join();
  EXPECT_EQ(r, 3);
  EXPECT_EQ(journal, (std::vector<std::string>{"outer init", "inner init", "inner 1034 1", "inner 1034 2",
                                               "inner ended 7", "outer 1039"}));
  EXPECT_EQ(drv.top_dialog(), NO_DIALOG);
  EXPECT_FALSE(drv.run_on_dialog_thread([] {}, 50));
}

TEST_P(ControlContract, ControlsBehaveAsWindowsControls) {
  const ui::UiDriver& drv = driver();
  DialogHandle d = drv.create_test_dialog(outer);
  ASSERT_NE(d, NO_DIALOG);

  char buf[3];
  EXPECT_EQ(get_control_text(d, 10, buf, sizeof buf), 2);
  EXPECT_STREQ(buf, "ab");
  EXPECT_EQ(get_control_text(d, 10, buf, 0), 0);
  EXPECT_EQ(control_text(d, 10), "abc");
  EXPECT_EQ(control_text(d, 999), "");  // no such control
  set_control_text(d, 10, std::string(500, 'x'));
  EXPECT_EQ(control_text(d, 10).size(), 500u);
  // Bytes that form no CP932 character come back as they were written.
  set_control_text(d, 10, "\x81\xFF\xA0name");
  EXPECT_EQ(control_text(d, 10), "\x81\xFF\xA0name");

  // Radio groups: a click selects one member of its own group only; a
  // program's tick sets one button alone.
  drv.user_click(d, 21);
  drv.user_click(d, 30);
  drv.user_click(d, 22);
  EXPECT_FALSE(is_checked(d, 20));
  EXPECT_FALSE(is_checked(d, 21));
  EXPECT_TRUE(is_checked(d, 22));
  EXPECT_TRUE(is_checked(d, 30));
  set_check(d, 20, true);
  EXPECT_TRUE(is_checked(d, 20) && is_checked(d, 22));
  drv.user_click(d, 40);
  EXPECT_TRUE(is_checked(d, 40));
  drv.user_click(d, 40);
  EXPECT_FALSE(is_checked(d, 40));

  // A sorted list box places lines by text, case aside; an unsorted one appends.
  EXPECT_EQ(list_add(d, 50, "10:00:01.000 b"), 0);
  EXPECT_EQ(list_add(d, 50, "09:59:59.999 a"), 0);
  EXPECT_EQ(list_add(d, 50, "10:00:02.000 c"), 2);
  EXPECT_EQ(list_add(d, 50, "10:00:02.000 C"), 3);  // after the line equal but for case
  EXPECT_EQ(list_item(d, 50, 0), "09:59:59.999 a");
  EXPECT_EQ(list_delete(d, 50, 0), 3);
  EXPECT_EQ(list_delete(d, 50, 5), -1);
  EXPECT_EQ(list_count(d, 50), 3);
  EXPECT_EQ(list_item(d, 50, 3), "");
  list_set_selection(d, 50, 2);
  EXPECT_EQ(list_add(d, 51, "z"), 0);
  EXPECT_EQ(list_add(d, 51, "a"), 1);
  EXPECT_EQ(list_add(d, 10, "not a list"), -1);

  EXPECT_FALSE(is_shown(d, 51));
  show_control(d, 51, true);
  EXPECT_TRUE(is_shown(d, 51));
  EXPECT_TRUE(get_style(d, 51) & WS_VISIBLE);
  // A new style takes its visibility with it ("Return to Menu" gets 0x50000F00).
  set_style(d, 60, 0x50000F00);
  EXPECT_EQ(get_style(d, 60), 0x50000F00u);
  EXPECT_TRUE(is_shown(d, 60));
  set_style(d, 60, 0x40000000);
  EXPECT_EQ(get_style(d, 60), 0x40000000u);
  EXPECT_FALSE(is_shown(d, 60));

  // A move keeps the size.
  const Rect before = window_rect(d);
  move_window(d, Rect{40, 30, 40 + before.right - before.left, 30 + before.bottom - before.top});
  const Rect after = window_rect(d);
  EXPECT_EQ(after.left, 40);
  EXPECT_EQ(after.top, 30);
  EXPECT_EQ(after.right - after.left, before.right - before.left);
  const Rect area = work_area();
  EXPECT_GT(area.right - area.left, 0);

  // The caption starts as the template's and changes as a whole.
  const std::string caption = window_text(d);
  EXPECT_FALSE(caption.empty());
  set_window_text(d, "outer \x81\x5C sending");
  EXPECT_EQ(window_text(d), "outer \x81\x5C sending");

  // Without a pump, posts collect for the test to take.
  EXPECT_TRUE(post_message(d, 1034, 0x100001, 1));
  auto posted = drv.take_posted_messages(d);
  ASSERT_EQ(posted.size(), 1u);
  EXPECT_EQ(posted[0].wparam, 0x100001u);
  drv.destroy_test_dialog(d);
  EXPECT_FALSE(post_message(d, 1034, 0, 0));
  set_control_text(d, 10, "gone");  // no effect, no crash
  EXPECT_EQ(control_text(d, 10), "");
  EXPECT_EQ(list_add(d, 50, "gone"), -1);
  set_window_text(d, "gone");
  EXPECT_EQ(window_text(d), "");
}

TEST_P(ControlContract, WorkersWriteWhileTheDialogThreadReads) {
  const ui::UiDriver& drv = driver();
  DialogHandle d = drv.create_test_dialog(outer);
  std::atomic<bool> stop{false};
  std::thread writer([&] {
    for (int i = 0; i < 2000; ++i) {
      set_control_text(d, 10, i % 2 ? "RSP=Success(0x01)" : "No_Ans");
      list_add(d, 50, "line " + std::to_string(i));
    }
    stop = true;
  });
  while (!stop) {
    std::string t = control_text(d, 10);
    ASSERT_TRUE(t == "abc" || t == "RSP=Success(0x01)" || t == "No_Ans") << t;
  }
  writer.join();
  EXPECT_EQ(list_count(d, 50), 2000);
  drv.destroy_test_dialog(d);
}

// The dialog thread waits for a worker that writes a result field and a
// traffic line, the way it waits for the link threads ("Return to Menu",
// stopping the threads): in slices of sleep_serving_calls. The worker's
// calls must be served meanwhile, not when the wait gives up.
struct WaitRecord {
  int64_t waited_ms = -1;
  std::string text;
  int lines = -1;
};
WaitRecord wait_record;

intptr_t waiting_proc(DialogHandle d, uint32_t msg, uintptr_t w, intptr_t) {
  if (msg != WM_COMMAND || w != 5) return 0;
  std::atomic<bool> done{false};
  std::thread worker([d, &done] {
    set_control_text(d, 10, "RSP=Success(0x01)");
    list_add(d, 50, "12:00:00.000 Rcv: 81 00");
    done = true;
  });
  const int64_t start = monotonic_ms();
  while (!done && monotonic_ms() - start < 3000) sleep_serving_calls(10);
  wait_record.waited_ms = monotonic_ms() - start;
  wait_record.text = control_text(d, 10);
  wait_record.lines = list_count(d, 50);
  end_dialog(d, 1);  // releases a worker still inside a call
  worker.join();
  return 1;
}

TEST_P(ControlContract, AWorkerWritesWhileTheDialogThreadWaitsForIt) {
  const ui::UiDriver& drv = driver();
  wait_record = {};
  std::thread script([&drv] {
    ASSERT_TRUE(drv.wait_for_dialog(5000));
    EXPECT_TRUE(post_message(drv.top_dialog(), WM_COMMAND, 5, 0));
  });
  EXPECT_EQ(run_dialog(outer, NO_DIALOG, waiting_proc, 0), 1);
  script.join();
  EXPECT_LT(wait_record.waited_ms, 1000);
  EXPECT_EQ(wait_record.text, "RSP=Success(0x01)");
  EXPECT_EQ(wait_record.lines, 1);
}

// A worker inside a control call while the dialog thread is busy elsewhere
// (a bare sleep serves nothing) is let go when the dialog ends.
std::atomic<bool> late_call_returned{false};

intptr_t ending_proc(DialogHandle d, uint32_t msg, uintptr_t w, intptr_t) {
  static std::thread worker;
  if (msg == WM_COMMAND && w == 6) {
    worker = std::thread([d] {
      set_control_text(d, 10, "late");
      late_call_returned = true;
    });
    platform::sleep_ms(100);
    end_dialog(d, 2);
  } else if (msg == WM_COMMAND && w == 7) {
    if (late_call_returned)
      worker.join();
    else
      worker.detach();  // stuck for good: the test has failed, it must not hang
  }
  return 1;
}

TEST_P(ControlContract, ACallForAnEndedDialogIsDropped) {
  const ui::UiDriver& drv = driver();
  late_call_returned = false;
  DialogHandle ended = NO_DIALOG;
  std::thread script([&] {
    ASSERT_TRUE(drv.wait_for_dialog(5000));
    ended = drv.top_dialog();
    EXPECT_TRUE(post_message(ended, WM_COMMAND, 6, 0));
  });
  EXPECT_EQ(run_dialog(outer, NO_DIALOG, ending_proc, 0), 2);
  script.join();
  const int64_t start = monotonic_ms();
  while (!late_call_returned && monotonic_ms() - start < 2000) platform::sleep_ms(5);
  EXPECT_TRUE(late_call_returned);
  ending_proc(NO_DIALOG, WM_COMMAND, 7, 0);
  EXPECT_EQ(control_text(ended, 10), "");
  EXPECT_FALSE(post_message(ended, 1034, 0, 0));
}

// Work handed to a dialog thread that stays busy past the caller's limit is
// withdrawn: the caller hears false, and the work never runs later.
std::atomic<bool> busy_started{false};

intptr_t busy_proc(DialogHandle d, uint32_t msg, uintptr_t w, intptr_t) {
  if (msg == WM_COMMAND && w == 8) {
    busy_started = true;
    platform::sleep_ms(300);
  } else if (msg == WM_COMMAND && w == 9) {
    end_dialog(d, 4);
  }
  return 1;
}

TEST_P(ControlContract, HandedOverWorkNotTakenInTimeIsWithdrawn) {
  const ui::UiDriver& drv = driver();
  busy_started = false;
  std::atomic<bool> ran{false};
  bool handed = true;
  std::thread script([&] {
    ASSERT_TRUE(drv.wait_for_dialog(5000));
    const DialogHandle d = drv.top_dialog();
    EXPECT_TRUE(post_message(d, WM_COMMAND, 8, 0));
    while (!busy_started) platform::sleep_ms(1);
    handed = drv.run_on_dialog_thread([&] { ran = true; }, 50);
    EXPECT_TRUE(post_message(d, WM_COMMAND, 9, 0));  // served after the work, had it stayed queued
  });
  EXPECT_EQ(run_dialog(outer, NO_DIALOG, busy_proc, 0), 4);
  script.join();
  EXPECT_FALSE(handed);
  EXPECT_FALSE(ran);
}

TEST_P(ControlContract, CommonDialogsTakeTheScriptsAnswers) {
  const ui::UiDriver& drv = driver();
  drv.push_open_file_answer(std::string("/tmp/a.xml"));
  drv.push_open_file_answer(std::nullopt);
  std::string path;
  EXPECT_TRUE(open_file(NO_DIALOG, std::string_view("a\0*.a\0\0", 7), "title", path));
  EXPECT_EQ(path, "/tmp/a.xml");
  EXPECT_FALSE(open_file(NO_DIALOG, "", "", path));
  EXPECT_FALSE(open_file(NO_DIALOG, "", "", path));

  const size_t before = drv.message_boxes().size();
  EXPECT_EQ(message_box(NO_DIALOG, "text", "\x8F\x49\x97\xB9", MB_YESNO), IDYES);
  EXPECT_EQ(message_box(NO_DIALOG, "text", "caption", MB_OK | MB_ICONWARNING), IDOK);
  const auto boxes = drv.message_boxes();
  ASSERT_EQ(boxes.size(), before + 2);
  EXPECT_EQ(boxes[before].caption, "\x8F\x49\x97\xB9");
  EXPECT_EQ(boxes[before + 1].flags, MB_OK | MB_ICONWARNING);
}

}  // namespace
}  // namespace tessaril::test

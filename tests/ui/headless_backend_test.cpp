// The headless back end behaves as the Windows dialog manager does where the
// program relies on it: modal nesting, posted messages, dropped posts to ended
// dialogs, automatic radio groups, sorted list boxes, GetWindowTextA capacity.
#include "ui/headless/headless_backend.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace tessaril::ui {
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
};
const DialogTemplate outer{101, "outer", 0, 0, 100, 100, outer_controls, std::size(outer_controls)};
const DialogTemplate inner{103, "inner", 0, 0, 50, 50, outer_controls, 1};

struct Journal {
  std::vector<std::string> events;
};
Journal journal;
std::atomic<DialogHandle> inner_handle{no_dialog};

intptr_t inner_proc(DialogHandle d, uint32_t msg, uintptr_t w, intptr_t) {
  if (msg == WM_INITDIALOG) {
    inner_handle = d;
    journal.events.push_back("inner init");
  } else if (msg == 1034) {
    journal.events.push_back("inner 1034 " + std::to_string(w));
    if (w == 2) end_dialog(d, 7);
  }
  return 1;
}

intptr_t outer_proc(DialogHandle d, uint32_t msg, uintptr_t w, intptr_t) {
  if (msg == WM_INITDIALOG) {
    journal.events.push_back("outer init");
  } else if (msg == WM_COMMAND && w == 1) {
    intptr_t r = run_dialog(inner, d, inner_proc, 0);
    journal.events.push_back("inner ended " + std::to_string(r));
  } else if (msg == 1039) {
    journal.events.push_back("outer 1039");
    end_dialog(d, 3);
  }
  return 1;
}

TEST(HeadlessBackend, NestedModalDialogsServePostsFromOtherThreads) {
  install_headless_backend();
  journal.events.clear();
  std::thread script([] {
    ASSERT_TRUE(wait_for_dialog(5000));
    DialogHandle outer_dialog = top_dialog();
    // The click runs the inner dialog modally from within the outer procedure;
    // it does not return until the inner dialog ends, so post from here.
    std::thread clicker([outer_dialog] { run_on_dialog_thread([=] { user_click(outer_dialog, 1); }); });
    while (inner_handle.load() == no_dialog) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    DialogHandle in = inner_handle;
    EXPECT_EQ(top_dialog(), in);
    EXPECT_TRUE(post_message(in, 1034, 1, 0));
    EXPECT_TRUE(post_message(in, 1034, 2, 0));
    clicker.join();
    EXPECT_FALSE(dialog_alive(in));
    EXPECT_FALSE(post_message(in, 1034, 9, 0));  // dropped: the dialog has ended
    EXPECT_EQ(top_dialog(), outer_dialog);
    EXPECT_TRUE(post_message(outer_dialog, 1039, 0, 0));
  });
  intptr_t r = run_dialog(outer, no_dialog, outer_proc, 0);
  script.join();
  EXPECT_EQ(r, 3);
  EXPECT_EQ(journal.events, (std::vector<std::string>{"outer init", "inner init", "inner 1034 1", "inner 1034 2",
                                                      "inner ended 7", "outer 1039"}));
  EXPECT_EQ(top_dialog(), no_dialog);
  EXPECT_FALSE(run_on_dialog_thread([] {}, 50));
}

TEST(HeadlessBackend, ControlsBehaveAsWindowsControls) {
  install_headless_backend();
  DialogHandle d = create_test_dialog(outer);

  char buf[3];
  EXPECT_EQ(get_control_text(d, 10, buf, sizeof buf), 2);
  EXPECT_STREQ(buf, "ab");
  EXPECT_EQ(get_control_text(d, 10, buf, 0), 0);
  EXPECT_EQ(control_text(d, 10), "abc");
  EXPECT_EQ(control_text(d, 999), "");  // no such control
  set_control_text(d, 10, std::string(500, 'x'));
  EXPECT_EQ(control_text(d, 10).size(), 500u);

  // Radio groups: a click selects one member of its own group only.
  user_click(d, 21);
  user_click(d, 30);
  user_click(d, 22);
  EXPECT_FALSE(is_checked(d, 20));
  EXPECT_FALSE(is_checked(d, 21));
  EXPECT_TRUE(is_checked(d, 22));
  EXPECT_TRUE(is_checked(d, 30));
  user_click(d, 40);
  EXPECT_TRUE(is_checked(d, 40));
  user_click(d, 40);
  EXPECT_FALSE(is_checked(d, 40));

  // A sorted list box places lines by text, an unsorted one appends.
  EXPECT_EQ(list_add(d, 50, "10:00:01.000 b"), 0);
  EXPECT_EQ(list_add(d, 50, "09:59:59.999 a"), 0);
  EXPECT_EQ(list_add(d, 50, "10:00:02.000 c"), 2);
  EXPECT_EQ(list_item(d, 50, 0), "09:59:59.999 a");
  EXPECT_EQ(list_delete(d, 50, 0), 2);
  EXPECT_EQ(list_delete(d, 50, 5), -1);
  EXPECT_EQ(list_count(d, 50), 2);
  EXPECT_EQ(list_add(d, 51, "z"), 0);
  EXPECT_EQ(list_add(d, 51, "a"), 1);
  EXPECT_EQ(list_add(d, 10, "not a list"), -1);

  EXPECT_FALSE(is_shown(d, 51));
  show_control(d, 51, true);
  EXPECT_TRUE(is_shown(d, 51));
  EXPECT_TRUE(get_style(d, 51) & WS_VISIBLE);

  // The caption starts as the template's and changes as a whole.
  EXPECT_EQ(window_text(d), "outer");
  set_window_text(d, "outer \x81\x5C sending");
  EXPECT_EQ(window_text(d), "outer \x81\x5C sending");

  // Without a pump, posts collect for the test to take.
  EXPECT_TRUE(post_message(d, 1034, 0x100001, 1));
  auto posted = take_posted_messages(d);
  ASSERT_EQ(posted.size(), 1u);
  EXPECT_EQ(posted[0].wparam, 0x100001u);
  destroy_test_dialog(d);
  EXPECT_FALSE(post_message(d, 1034, 0, 0));
  set_control_text(d, 10, "gone");  // no effect, no crash
  EXPECT_EQ(control_text(d, 10), "");
  set_window_text(d, "gone");
  EXPECT_EQ(window_text(d), "");
}

TEST(HeadlessBackend, WorkersWriteWhileTheDialogThreadReads) {
  install_headless_backend();
  DialogHandle d = create_test_dialog(outer);
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
  destroy_test_dialog(d);
}

TEST(HeadlessBackend, OpenFileAnswersComeInOrderAndCancelWhenNone) {
  install_headless_backend();
  push_open_file_answer(std::string("/tmp/a.xml"));
  push_open_file_answer(std::nullopt);
  std::string path;
  EXPECT_TRUE(open_file(no_dialog, "", "", path));
  EXPECT_EQ(path, "/tmp/a.xml");
  EXPECT_FALSE(open_file(no_dialog, "", "", path));
  EXPECT_FALSE(open_file(no_dialog, "", "", path));
}

}  // namespace
}  // namespace tessaril::ui

// The script player driving real headless dialogs: the dialog thread is the
// test's main thread, the player runs on its own thread as in the program.
#include "ui/script/script_player.h"

#include <gtest/gtest.h>

#include <atomic>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/controls.h"
#include "ui/headless/headless_backend.h"

namespace tessaril::ui {
namespace {

using namespace tessaril::platform;

constexpr int EDIT = 10, CHECK = 20, RADIO_A = 30, RADIO_B = 31, LIST = 40, RESULT = 50;
constexpr int OPEN_NESTED = 60, PICK_FILE = 70, START_WORK = 80, LEAVE = 90, NESTED_EDIT = 11;

const ControlSpec root_controls[] = {
    {EDIT, ControlKind::Edit, "", 0, 0, 10, 10, 0, true, false},
    {CHECK, ControlKind::CheckBox, "c", 0, 0, 10, 10, 0, true, false},
    {RADIO_A, ControlKind::RadioButton, "a", 0, 0, 10, 10, 0, true, true},
    {RADIO_B, ControlKind::RadioButton, "b", 0, 0, 10, 10, 0, true, false},
    {LIST, ControlKind::ListBox, "", 0, 0, 10, 10, LBS_SORT, true, false},
    {RESULT, ControlKind::Static, "*", 0, 0, 10, 10, 0, true, false},
    {OPEN_NESTED, ControlKind::Button, "open", 0, 0, 10, 10, 0, true, false},
    {PICK_FILE, ControlKind::Button, "pick", 0, 0, 10, 10, 0, false, false},
    {START_WORK, ControlKind::Button, "work", 0, 0, 10, 10, 0, true, false},
};
const DialogTemplate root_layout{101, "root", 0, 0, 100, 100, root_controls, std::size(root_controls)};
const ControlSpec nested_controls[] = {
    {NESTED_EDIT, ControlKind::Edit, "inner text", 0, 0, 10, 10, 0, true, false},
    {LEAVE, ControlKind::Button, "leave", 0, 0, 10, 10, 0, true, false},
};
const DialogTemplate nested_layout{103, "nested", 0, 0, 50, 50, nested_controls, std::size(nested_controls)};

// What the procedures saw, in order (dialog thread only).
std::vector<std::string> journal;
std::string typed_bytes;  // the edit's bytes as the dialog read them
std::atomic<bool> link_busy_flag{false};
std::vector<std::thread> workers;

intptr_t nested_proc(DialogHandle d, uint32_t msg, uintptr_t w, intptr_t) {
  if (msg == WM_COMMAND && w == LEAVE) {
    journal.push_back("leave");
    end_dialog(d, 0);
  } else if (msg == WM_CLOSE) {
    journal.push_back("nested WM_CLOSE");  // no close box: ignored
  }
  return 1;
}

intptr_t root_proc(DialogHandle d, uint32_t msg, uintptr_t w, intptr_t) {
  switch (msg) {
    case WM_INITDIALOG:
      list_add(d, LIST, "b line");
      list_add(d, LIST, "A line");
      list_add(d, LIST, "c line");
      return 1;
    case WM_CLOSE:
      journal.push_back("root WM_CLOSE");
      end_dialog(d, 0);
      return 1;
    case WM_COMMAND:
      journal.push_back("click " + std::to_string(w));
      if (w == EDIT) typed_bytes = control_text(d, EDIT);
      if (w == OPEN_NESTED) run_dialog(nested_layout, d, nested_proc, 0);
      if (w == PICK_FILE) {
        std::string path;
        set_control_text(d, EDIT, open_file(d, std::string_view("all\0*.*\0\0", 9), "", path) ? path : "cancelled");
      }
      if (w == START_WORK) {
        // A link-like worker: busy at once, a caption, then ten traffic
        // lines 60 ms apart written from its own thread, then idle.
        link_busy_flag = true;
        workers.emplace_back([d] {
          set_window_text(d, "root working");
          for (int i = 0; i < 10; ++i) {
            sleep_ms(60);
            list_add(d, LIST, "traffic " + std::to_string(i));
          }
          set_control_text(d, RESULT, "RSP=Success(0x01)");
          link_busy_flag = false;
        });
      }
      return 1;
  }
  return 0;
}

struct Outcome {
  int code = -1;
  std::string out, err;
};

ScriptOptions test_options(bool trace = false) {
  ScriptOptions o;
  o.driver = &headless_driver();
  o.watched_ids = {LIST, RESULT};
  o.trace = trace;
  o.link_busy = [] { return link_busy_flag.load(); };
  o.leave_button = LEAVE;
  o.dialog_timeout_ms = 5000;
  o.close_timeout_ms = 5000;
  return o;
}

Outcome play(const std::string& script, const ScriptOptions& options) {
  install_headless_backend();
  journal.clear();
  std::istringstream in(script);
  std::ostringstream out, err;
  Outcome result;
  std::thread player([&] { result.code = run_script(in, options, out, err); });
  run_dialog(root_layout, NO_DIALOG, root_proc, 0);
  player.join();
  for (std::thread& t : workers) t.join();
  workers.clear();
  result.out = out.str();
  result.err = err.str();
  return result;
}

TEST(HeadlessScriptPlayer, ClickSetGetCheckedListOnTheDialogOnTop) {
  Outcome r = play(
      "# controls of the root dialog\n"
      "get 50\n"
      "set 10 COM データ\n"
      "get 10\n"
      "click 10\n"
      "checked 20\n"
      "click 20\n"
      "checked 20\n"
      "click 20\n"
      "checked 20\n"
      "click 31\n"
      "checked 30\n"
      "checked 31\n"
      "click 30\n"
      "checked 30\n"
      "checked 31\n"
      "list 40\n"
      "shown 70\n"
      "shown 60\n"
      "get 9999\n",
      test_options());
  EXPECT_EQ(r.code, SCRIPT_OK) << r.err;
  EXPECT_EQ(r.out,
            "50=*\n"
            "10=COM データ\n"
            "20=0\n20=1\n20=0\n"
            "30=0\n31=1\n30=1\n31=0\n"
            "40:A line\n40:b line\n40:c line\n"
            "70=0\n60=1\n"
            "9999=\n");
  // The dialog read CP932 bytes: typed texts are converted.
  EXPECT_EQ(typed_bytes, utf8_to_cp932("COM データ"));
  EXPECT_NE(typed_bytes, "COM データ");
  // The end of the script closed the dialog with its close box.
  ASSERT_FALSE(journal.empty());
  EXPECT_EQ(journal.back(), "root WM_CLOSE");
}

TEST(HeadlessScriptPlayer, CommandsReachTheNestedDialogAndTheEndLeavesItFirst) {
  Outcome r = play(
      "click 60\n"
      "get 11\n"
      "close\n"  // the nested dialog has no close box: it stays
      "get 11\n",
      test_options());
  EXPECT_EQ(r.code, SCRIPT_OK) << r.err;
  EXPECT_EQ(r.out, "11=inner text\n11=inner text\n");
  EXPECT_EQ(journal, (std::vector<std::string>{"click 60", "nested WM_CLOSE", "leave", "root WM_CLOSE"}));
}

TEST(HeadlessScriptPlayer, WaitReportsIdleOnlyAfterTheTrafficStopped) {
  Outcome r = play(
      "sleep 350\n"
      "wait 200\n"
      "click 80\n"
      "wait 100\n"
      "wait 10000\n"
      "get 50\n",
      test_options(true));
  EXPECT_EQ(r.code, SCRIPT_OK) << r.err;
  // Idle at once with nothing going on; busy right after the click (the
  // timeout may come before or after the first traffic lines); idle only
  // after all ten traffic lines and the result field have come.
  const std::string expected_tail = "40:traffic 9\n50=RSP=Success(0x01)\nidle\n50=RSP=Success(0x01)\n";
  const size_t first_idle = r.out.find("idle\n");
  ASSERT_NE(first_idle, std::string::npos) << r.out;
  EXPECT_LT(first_idle, r.out.find("40:traffic 0\n")) << r.out;
  EXPECT_NE(r.out.find("timeout\n"), std::string::npos) << r.out;
  ASSERT_GE(r.out.size(), expected_tail.size());
  EXPECT_EQ(r.out.substr(r.out.size() - expected_tail.size()), expected_tail) << r.out;
  for (int i = 0; i < 10; ++i) EXPECT_NE(r.out.find("40:traffic " + std::to_string(i) + "\n"), std::string::npos);
}

TEST(HeadlessScriptPlayer, TraceOnlyPrintsWatchedControls) {
  Outcome untraced = play("click 80\nwait 10000\nset 10 typed\n", test_options(false));
  EXPECT_EQ(untraced.out, "idle\n");
  Outcome traced = play("click 80\nwait 10000\nset 10 typed\n", test_options(true));
  EXPECT_EQ(traced.out.find("10="), std::string::npos);  // the edit is not watched
  EXPECT_NE(traced.out.find("40:traffic 0\n"), std::string::npos);
  EXPECT_NE(traced.out.find("caption=root working\n"), std::string::npos) << traced.out;  // progress lines
}

TEST(HeadlessScriptPlayer, ChooseAnswersTheNextOpenFileDialog) {
  Outcome r = play(
      "choose /data/some folder/CAL01.XML\n"
      "click 70\n"  // hidden buttons are clicked too
      "get 10\n"
      "choose -\n"
      "click 70\n"
      "get 10\n"
      "click 70\n"  // nothing queued: cancelled
      "get 10\n",
      test_options());
  EXPECT_EQ(r.code, SCRIPT_OK) << r.err;
  EXPECT_EQ(r.out, "10=/data/some folder/CAL01.XML\n10=cancelled\n10=cancelled\n");
}

TEST(HeadlessScriptPlayer, ExpectationsCountNameTheirLineAndTheScriptGoesOn) {
  ScriptReport report;
  ScriptOptions options = test_options();
  options.report = &report;
  options.keep_traffic = true;
  Outcome r = play(
      "expect 50 *\n"
      "case edit\n"
      "set 10 abc\n"
      "expect 10 abd\n"
      "expect 10 ~^a.c$\n"
      "case loop\n"
      "repeat 3\n"
      "expect-list 40 ~^A line$\n"
      "expect-list 40 ~traffic\n"
      "end\n"
      "click 80\n"
      "wait 10000\n"
      "repeat 0\n"
      "expect 10 never run\n"
      "end\n"
      "expect-list 40 ~traffic 9\n"
      "echo after\n",
      options);
  EXPECT_EQ(r.code, SCRIPT_EXPECTATIONS_FAILED) << r.err;
  EXPECT_EQ(r.out,
            "FAIL script line 4: 10 held \"abc\", expected \"abd\"\n"
            "FAIL script line 9 (pass 1): 40 held 3 lines, the last \"c line\", expected a line matching ~traffic\n"
            "FAIL script line 9 (pass 2): 40 held 3 lines, the last \"c line\", expected a line matching ~traffic\n"
            "FAIL script line 9 (pass 3): 40 held 3 lines, the last \"c line\", expected a line matching ~traffic\n"
            "idle\n"
            "after\n"
            "6 passed, 4 failed\n");
  // The lines before the first case are a case of their own: they checked.
  ASSERT_EQ(report.cases.size(), 3u);
  EXPECT_EQ(report.cases[0].passed, 1);
  EXPECT_EQ(report.cases[1].name, "edit");
  EXPECT_EQ(report.cases[1].failures.size(), 1u);
  EXPECT_EQ(report.cases[2].name, "loop");
  EXPECT_EQ(report.cases[2].passed, 4);
  EXPECT_EQ(report.cases[2].failed, 3);
  // The traffic of a case is what came while it ran.
  EXPECT_NE(report.cases[2].traffic.find("40:traffic 9\n50=RSP=Success(0x01)\n"), std::string::npos);
  EXPECT_EQ(report.cases[1].traffic.find("traffic"), std::string::npos);
  EXPECT_EQ(report.passed, 6);
  EXPECT_EQ(report.failed, 4);
}

TEST(HeadlessScriptPlayer, DialogProblemsOutrankFailedExpectations) {
  ScriptReport report;
  ScriptOptions options = test_options();
  options.report = &report;
  Outcome r = play("case closing\nexpect 10 x\nclose\nget 10\n", options);
  EXPECT_EQ(r.code, SCRIPT_FAILED);
  EXPECT_NE(r.out.find("0 passed, 1 failed\n"), std::string::npos) << r.out;
  ASSERT_EQ(report.cases.size(), 1u);
  EXPECT_EQ(report.cases[0].error, "script line 4: no dialog is open");
}

TEST(HeadlessScriptPlayer, MalformedLineStopsNamesTheLineAndCloses) {
  Outcome r = play("click 60\nget 11\nclik 20\nget 11\n", test_options());
  EXPECT_EQ(r.code, SCRIPT_MALFORMED);
  EXPECT_EQ(r.out, "11=inner text\n");
  EXPECT_NE(r.err.find("script line 3"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("clik"), std::string::npos) << r.err;
  EXPECT_EQ(journal, (std::vector<std::string>{"click 60", "leave", "root WM_CLOSE"}));
}

TEST(HeadlessScriptPlayer, CommandsAfterTheLastDialogEndedFail) {
  Outcome r = play("close\nget 10\necho never\n", test_options());
  EXPECT_EQ(r.code, SCRIPT_FAILED);
  EXPECT_NE(r.err.find("script line 2: no dialog is open"), std::string::npos) << r.err;
  EXPECT_EQ(r.out, "");
}

}  // namespace
}  // namespace tessaril::ui

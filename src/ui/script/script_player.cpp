#include "ui/script/script_player.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <sstream>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string_view>
#include <thread>
#include <utility>

#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/controls.h"

namespace tessaril::ui {

using platform::DialogHandle;

namespace {

constexpr int64_t IDLE_POLL_MS = 1;
// What a case keeps for the report: a soak of a million exchanges must not
// grow without end.
constexpr size_t TRAFFIC_LIMIT = size_t{256} * 1024;
constexpr size_t KEPT_FAILURES = 1000;

// The back end's driver, for the one script that plays at a time.
const UiDriver* driver = nullptr;

platform::DialogHandle top_dialog() { return driver->top_dialog(); }
bool run_on_dialog_thread(const std::function<void()>& fn, int timeout_ms) {
  return driver->run_on_dialog_thread(fn, timeout_ms);
}
bool wait_for_dialog(int timeout_ms) { return driver->wait_for_dialog(timeout_ms); }
bool dialog_alive(DialogHandle dialog) { return driver->dialog_alive(dialog); }
void user_click(DialogHandle dialog, int id) { driver->user_click(dialog, id); }
intptr_t send_message(DialogHandle dialog, uint32_t message, uintptr_t wparam, intptr_t lparam) {
  return driver->send_message(dialog, message, wparam, lparam);
}
size_t queued_items() { return driver->queued_items(); }
void push_open_file_answer(std::optional<std::string> path) { driver->push_open_file_answer(std::move(path)); }
void set_change_observer(ChangeObserver observer) { driver->set_change_observer(std::move(observer)); }

// A piece of work handed to the dialog thread without waiting for its end.
struct Handover {
  std::thread thread;
  std::shared_ptr<std::atomic<bool>> finished;
};

class Player {
 public:
  Player(const ScriptOptions& options, std::ostream& out, std::ostream& err)
      : options_(options), out_(out), err_(err) {}

  ~Player() {
    set_change_observer({});
    release_handovers(true);
  }

  // Standard input piece by piece, or a plan read whole.
  int run(std::istream* in, const ScriptPlan* plan);

 private:
  enum class Taken { Yes, Gone };

  // Where a step is, for messages: "script line 7" (" (pass 3)" in a loop).
  struct Place {
    const ScriptPlan* plan;
    const PlanStep* step;
    int64_t pass;  // of the innermost loop, 0 outside loops
  };

  void watch_changes();
  void print_line(const std::string& line);
  void report(const std::string& place, const std::string& message);
  std::string where(const Place& place) const;
  int run_steps(const ScriptPlan& plan);
  int execute(const ScriptCommand& c, const Place& place);
  int expect(const ScriptCommand& c, const Place& place);
  void start_case(const std::string& name, bool named);
  void finish_case();
  void keep(CaseReport& c, const std::string& line);  // under traffic_mutex_
  CaseReport& current_case() { return report_->cases.back(); }
  bool on_dialog(const std::function<void()>& fn) const;
  Taken hand_over(std::function<void()> fn);
  bool wait_idle(int64_t max_ms);
  std::string stopping() const { return options_.stopping ? options_.stopping() : std::string(); }
  void sleep(int64_t ms);
  bool close_all();
  bool wait_until_gone(DialogHandle dialog, int timeout_ms);
  void release_handovers(bool all);
  bool link_busy() const { return options_.link_busy && options_.link_busy(); }
  bool watched(int id) const {
    return std::find(options_.watched_ids.begin(), options_.watched_ids.end(), id) != options_.watched_ids.end();
  }

  const ScriptOptions& options_;
  std::ostream& out_;
  std::ostream& err_;
  std::mutex out_mutex_;
  ScriptReport own_report_;
  ScriptReport* report_ = options_.report ? options_.report : &own_report_;
  std::mutex traffic_mutex_;  // the current case's traffic, written by any thread
  int64_t case_start_ms_ = 0;
  int64_t dropped_lines_ = 0;  // traffic of the current case past TRAFFIC_LIMIT
  int64_t script_start_ms_ = 0;
  std::atomic<int64_t> last_change_{INT64_MIN / 2};  // nothing changed yet
  DialogHandle root_ = platform::NO_DIALOG;
  std::vector<Handover> handovers_;
};

void Player::print_line(const std::string& line) {
  std::lock_guard lock(out_mutex_);
  out_ << line << '\n';
  out_.flush();
}

void Player::report(const std::string& place, const std::string& message) {
  {
    std::lock_guard lock(traffic_mutex_);
    if (!report_->cases.empty() && current_case().error.empty()) current_case().error = place + ": " + message;
  }
  std::lock_guard lock(out_mutex_);
  err_ << "tessaril: " << place << ": " << message << '\n';
  err_.flush();
}

std::string Player::where(const Place& place) const {
  std::string text = plan_place(place.step->top_line,
                                place.step->file == 0 ? std::string() : place.plan->files[place.step->file],
                                place.step->line);
  if (place.pass > 0) text += " (pass " + std::to_string(place.pass) + ")";
  return text;
}

void Player::start_case(const std::string& name, bool named) {
  finish_case();
  CaseReport c;
  c.name = name;
  c.named = named;
  std::lock_guard lock(traffic_mutex_);
  report_->cases.push_back(std::move(c));
  case_start_ms_ = platform::monotonic_ms();
}

void Player::finish_case() {
  if (report_->cases.empty()) return;
  CaseReport& c = current_case();
  c.seconds = static_cast<double>(platform::monotonic_ms() - case_start_ms_) / 1000.0;
  std::lock_guard lock(traffic_mutex_);
  if (dropped_lines_ > 0) c.traffic += "[" + std::to_string(dropped_lines_) + " more lines of traffic not kept]\n";
  dropped_lines_ = 0;
  if (c.failures.size() < static_cast<size_t>(c.failed))
    c.failures.push_back("[" + std::to_string(c.failed - c.failures.size()) + " more failures not kept]");
}

void Player::keep(CaseReport& c, const std::string& line) {
  if (c.traffic.size() + line.size() + 1 > TRAFFIC_LIMIT) {
    ++dropped_lines_;
    return;
  }
  c.traffic += line + "\n";
}

void Player::watch_changes() {
  set_change_observer([this](DialogHandle, int id, ChangeKind kind, std::string_view text) {
    if (kind != ChangeKind::Caption && !watched(id)) return;
    last_change_.store(platform::monotonic_ms());
    const std::string what = kind == ChangeKind::Caption ? "caption" : std::to_string(id);
    const std::string line = what + (kind == ChangeKind::ListAdd ? ":" : "=") + platform::cp932_to_utf8(text);
    // The report keeps the traffic and the results; a transfer's progress
    // in the caption is for the eye only.
    if (options_.keep_traffic && kind != ChangeKind::Caption) {
      std::lock_guard lock(traffic_mutex_);
      if (!report_->cases.empty()) keep(current_case(), line);
    }
    if (options_.trace) print_line(line);
  });
}

bool Player::on_dialog(const std::function<void()>& fn) const {
  if (top_dialog() == platform::NO_DIALOG) return false;
  return run_on_dialog_thread(fn, options_.dialog_timeout_ms);
}

// Hands fn to the dialog thread on a helper thread and returns once the
// dialog thread has started it (so that everything handed over later runs
// after it), or once no dialog is left to run it.
Player::Taken Player::hand_over(std::function<void()> fn) {
  release_handovers(false);
  auto taken = std::make_shared<std::atomic<int>>(0);  // 0 waiting, 1 taken, 2 gone
  auto finished = std::make_shared<std::atomic<bool>>(false);
  const int timeout = options_.dialog_timeout_ms;
  std::thread helper([taken, finished, timeout, fn = std::move(fn)] {
    bool ran = run_on_dialog_thread(
        [&] {
          taken->store(1);
          fn();
        },
        timeout);
    if (!ran) {
      int expected = 0;
      taken->compare_exchange_strong(expected, 2);
    }
    finished->store(true);
  });
  handovers_.push_back(Handover{std::move(helper), finished});
  while (taken->load() == 0) platform::sleep_ms(2);
  return taken->load() == 1 ? Taken::Yes : Taken::Gone;
}

// Joins the helpers that are done; with all, also lets go of the ones still
// inside the dialog thread (a click whose dialog never ended).
void Player::release_handovers(bool all) {
  for (auto it = handovers_.begin(); it != handovers_.end();) {
    if (it->finished->load()) {
      it->thread.join();
      it = handovers_.erase(it);
    } else if (all) {
      it->thread.detach();
      it = handovers_.erase(it);
    } else {
      ++it;
    }
  }
}

bool Player::wait_idle(int64_t max_ms) {
  const int64_t deadline = platform::monotonic_ms() + max_ms;
  auto quiet = [&] {
    const int64_t since = platform::monotonic_ms() - last_change_.load();
    return queued_items() == 0 && !link_busy() && since >= options_.quiet_ms;
  };
  for (;;) {
    if (!stopping().empty()) return false;
    if (quiet()) {
      // The dialog thread may be inside a handler (sleeping after a link
      // event, say) with nothing queued: a round trip makes sure it is free.
      if (!on_dialog([] {})) return true;  // no dialog left: nothing can happen
      if (quiet()) return true;
    }
    const int64_t now = platform::monotonic_ms();
    if (now >= deadline) return false;
    // A fine poll: the end of an exchange is seen within a millisecond, so a
    // loop of exchanges runs at the pace of the dialogs' own pauses.
    platform::sleep_ms(std::min<int64_t>(IDLE_POLL_MS, deadline - now));
  }
}

void Player::sleep(int64_t ms) {
  const int64_t deadline = platform::monotonic_ms() + ms;
  for (int64_t left = ms; left > 0 && stopping().empty(); left = deadline - platform::monotonic_ms())
    platform::sleep_ms(std::min<int64_t>(left, 20));
}

bool Player::wait_until_gone(DialogHandle dialog, int timeout_ms) {
  const int64_t deadline = platform::monotonic_ms() + timeout_ms;
  while (dialog_alive(dialog)) {
    if (platform::monotonic_ms() >= deadline) return false;
    platform::sleep_ms(20);
  }
  return true;
}

// As a user would: leave every dialog above the first with its leave button,
// then close the first with its close box. Which dialog is on top is decided
// when the dialog thread serves the step: a click handed over just before
// (ENTER) may still be bringing its dialog up.
bool Player::close_all() {
  for (int round = 0; round < 8; ++round) {
    if (top_dialog() == platform::NO_DIALOG) return true;
    auto target = std::make_shared<std::atomic<DialogHandle>>(platform::NO_DIALOG);
    const DialogHandle root = root_;
    const int leave = options_.leave_button;
    Taken t = hand_over([target, root, leave] {
      const DialogHandle top = top_dialog();
      if (top == platform::NO_DIALOG) return;
      target->store(top);
      if (top != root && leave != 0)
        user_click(top, leave);
      else
        send_message(top, platform::WM_CLOSE, 0, 0);
    });
    if (t == Taken::Gone) return true;
    // The step has started; it names its dialog first thing.
    while (target->load() == platform::NO_DIALOG && top_dialog() != platform::NO_DIALOG) platform::sleep_ms(2);
    const DialogHandle closing = target->load();
    if (closing != platform::NO_DIALOG && !wait_until_gone(closing, options_.close_timeout_ms)) {
      std::lock_guard lock(out_mutex_);
      err_ << "tessaril: the dialog on top did not close within " << options_.close_timeout_ms << " ms\n";
      err_.flush();
      return false;
    }
  }
  return top_dialog() == platform::NO_DIALOG;
}

int Player::execute(const ScriptCommand& c, const Place& place) {
  auto gone = [&] {
    report(where(place), "no dialog is open");
    return SCRIPT_FAILED;
  };
  const std::string id = std::to_string(c.id);
  switch (c.op) {
    case ScriptOp::Click: {
      const int control = c.id;
      if (top_dialog() == platform::NO_DIALOG) return gone();
      if (hand_over([control] {
            if (DialogHandle top = top_dialog()) user_click(top, control);
          }) == Taken::Gone)
        return gone();
      return SCRIPT_OK;
    }
    case ScriptOp::Close:
      if (top_dialog() == platform::NO_DIALOG) return gone();
      if (hand_over([] {
            if (DialogHandle top = top_dialog()) send_message(top, platform::WM_CLOSE, 0, 0);
          }) == Taken::Gone)
        return gone();
      return SCRIPT_OK;
    case ScriptOp::Set: {
      const std::string text = platform::utf8_to_cp932(c.text);
      if (!on_dialog([&] { platform::set_control_text(top_dialog(), c.id, text); })) return gone();
      return SCRIPT_OK;
    }
    case ScriptOp::Get:
    case ScriptOp::Checked:
    case ScriptOp::Shown: {
      std::string value;
      bool ran = on_dialog([&] {
        const DialogHandle top = top_dialog();
        if (c.op == ScriptOp::Get)
          value = platform::cp932_to_utf8(platform::control_text(top, c.id));
        else if (c.op == ScriptOp::Checked)
          value = platform::is_checked(top, c.id) ? "1" : "0";
        else
          value = platform::is_shown(top, c.id) ? "1" : "0";
      });
      if (!ran) return gone();
      print_line(id + "=" + value);
      return SCRIPT_OK;
    }
    case ScriptOp::List: {
      std::vector<std::string> lines;
      bool ran = on_dialog([&] {
        const DialogHandle top = top_dialog();
        const int count = platform::list_count(top, c.id);
        for (int i = 0; i < count; ++i) lines.push_back(platform::cp932_to_utf8(platform::list_item(top, c.id, i)));
      });
      if (!ran) return gone();
      for (const std::string& line : lines) print_line(id + ":" + line);
      return SCRIPT_OK;
    }
    case ScriptOp::Wait: {
      const bool idle = wait_idle(c.ms);
      if (!stopping().empty()) break;  // run_steps reports it
      print_line(idle ? "idle" : "timeout");
      return SCRIPT_OK;
    }
    case ScriptOp::Sleep:
      sleep(c.ms);
      return SCRIPT_OK;
    case ScriptOp::Choose:
      push_open_file_answer(c.cancel ? std::nullopt : std::optional<std::string>(c.text));
      return SCRIPT_OK;
    case ScriptOp::Echo:
      print_line(c.text);
      return SCRIPT_OK;
    case ScriptOp::Expect:
    case ScriptOp::ExpectList:
      return expect(c, place);
    case ScriptOp::Case:
    case ScriptOp::Repeat:
    case ScriptOp::End:
    case ScriptOp::Include:
      break;  // run_steps and the plan reader deal with these
  }
  return SCRIPT_OK;
}

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

int Player::expect(const ScriptCommand& c, const Place& place) {
  std::vector<std::string> lines;
  const bool list = c.op == ScriptOp::ExpectList;
  bool ran = on_dialog([&] {
    const DialogHandle top = top_dialog();
    if (!list) {
      lines.push_back(platform::cp932_to_utf8(platform::control_text(top, c.id)));
      return;
    }
    const int count = platform::list_count(top, c.id);
    for (int i = 0; i < count; ++i) lines.push_back(platform::cp932_to_utf8(platform::list_item(top, c.id, i)));
  });
  if (!ran) {
    report(where(place), "no dialog is open");
    return SCRIPT_FAILED;
  }
  bool pass = false;
  if (list) {
    for (const std::string& line : lines) pass = pass || pattern_matches(*c.pattern, line);
  } else if (c.pattern) {
    pass = pattern_matches(*c.pattern, lines.front());
  } else {
    pass = lines.front() == c.text;
  }
  report_->checked = true;
  if (pass) {
    ++report_->passed;
    ++current_case().passed;
    return SCRIPT_OK;
  }
  const std::string id = std::to_string(c.id);
  const std::string control = c.control == id || c.control.empty() ? id : c.control + " (" + id + ")";
  std::string held;
  if (!list)
    held = "held " + quoted(lines.front());
  else if (lines.empty())
    held = "held no line";
  else
    held = "held " + std::to_string(lines.size()) + (lines.size() == 1 ? " line" : " lines") + ", the last " +
           quoted(lines.back());
  const std::string wanted = c.pattern ? "~" + c.text : quoted(c.text);
  const std::string line = "FAIL " + where(place) + ": " + control + " " + held + ", expected " +
                           (list ? "a line matching " : "") + wanted;
  ++report_->failed;
  ++current_case().failed;
  {
    std::lock_guard lock(traffic_mutex_);
    // A soak that fails on every pass must not fill the memory: the count
    // stays exact, the lines past the limit are not kept.
    if (current_case().failures.size() < KEPT_FAILURES) current_case().failures.push_back(line);
  }
  print_line(line);
  return SCRIPT_OK;
}

int Player::run_steps(const ScriptPlan& plan) {
  struct Loop {
    size_t repeat;
    int64_t left;
    int64_t pass;
  };
  std::vector<Loop> loops;
  size_t i = 0;
  while (i < plan.steps.size()) {
    const PlanStep& step = plan.steps[i];
    switch (step.command.op) {
      case ScriptOp::Repeat:
        if (step.command.count == 0) {
          i = step.match + 1;
        } else {
          loops.push_back({i, step.command.count, 1});
          ++i;
        }
        continue;
      case ScriptOp::End:
        // A loop adds no pause of its own: straight back to its first line.
        if (--loops.back().left > 0) {
          ++loops.back().pass;
          i = loops.back().repeat + 1;
        } else {
          loops.pop_back();
          ++i;
        }
        continue;
      case ScriptOp::Case:
        report_->checked = true;
        start_case(step.command.text, true);
        ++i;
        continue;
      default:
        break;
    }
    const Place place{&plan, &step, loops.empty() ? 0 : loops.back().pass};
    if (const std::string why = stopping(); !why.empty()) {
      report(where(place), why);
      return SCRIPT_FAILED;
    }
    const int result = execute(step.command, place);
    if (result != SCRIPT_OK) return result;
    if (const std::string why = stopping(); !why.empty()) {
      report(where(place), why);
      return SCRIPT_FAILED;
    }
    ++i;
  }
  return SCRIPT_OK;
}

int Player::run(std::istream* in, const ScriptPlan* plan) {
  script_start_ms_ = platform::monotonic_ms();
  const platform::LocalTime t = platform::local_time();
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                t.second);
  report_->timestamp = stamp;
  start_case(report_->name, false);
  watch_changes();
  int result = SCRIPT_OK;
  if (!wait_for_dialog(options_.dialog_timeout_ms)) {
    std::lock_guard lock(out_mutex_);
    err_ << "tessaril: no dialog came up\n";
    current_case().error = "no dialog came up";
    result = SCRIPT_FAILED;
  } else {
    root_ = top_dialog();
    if (plan) {
      result = run_steps(*plan);
    } else {
      ScriptReader reader(*in);
      ScriptPlan piece;
      PlanError error;
      while (result == SCRIPT_OK) {
        if (options_.reading_input) options_.reading_input->store(true);
        const bool more = reader.next(piece, error);
        if (options_.reading_input) options_.reading_input->store(false);
        if (!more) {
          if (!error.message.empty()) {
            report(plan_place(error.top_line, error.file, error.line), error.message);
            result = SCRIPT_MALFORMED;
          }
          break;
        }
        result = run_steps(piece);
      }
    }
    if (!stopping().empty()) {
      // The program closes the dialogs once a transfer has ended its cancel.
      if (!wait_until_gone(root_, options_.close_timeout_ms) && result == SCRIPT_OK) result = SCRIPT_FAILED;
    } else if (!close_all() && result == SCRIPT_OK) {
      result = SCRIPT_FAILED;
    }
  }
  set_change_observer({});
  finish_case();
  // The lines before the first case are a case of their own only when they
  // checked something, or when the script names no case.
  std::vector<CaseReport>& cases = report_->cases;
  const CaseReport& lead = cases.front();
  if (cases.size() > 1 && lead.passed + lead.failed == 0 && lead.error.empty()) cases.erase(cases.begin());
  report_->seconds = static_cast<double>(platform::monotonic_ms() - script_start_ms_) / 1000.0;
  if (report_->checked) print_line(std::to_string(report_->passed) + " passed, " + std::to_string(report_->failed) + " failed");
  if (result == SCRIPT_OK && report_->failed > 0) result = SCRIPT_EXPECTATIONS_FAILED;
  return result;
}

}  // namespace

int check_script(std::istream& in, std::string& error) {
  std::ostringstream text;
  text << in.rdbuf();
  ScriptPlan plan;
  PlanError e;
  if (load_plan_text(text.str(), "", 1, plan, e)) return 0;
  error = e.file.empty() ? e.message : "in " + e.file + " line " + std::to_string(e.line) + ": " + e.message;
  return e.top_line > 0 ? e.top_line : 1;
}

int run_script(std::istream& in, const ScriptOptions& options, std::ostream& out, std::ostream& err) {
  driver = options.driver;
  Player player(options, out, err);
  return player.run(&in, nullptr);
}

int run_plan(const ScriptPlan& plan, const ScriptOptions& options, std::ostream& out, std::ostream& err) {
  driver = options.driver;
  Player player(options, out, err);
  return player.run(nullptr, &plan);
}

}  // namespace tessaril::ui

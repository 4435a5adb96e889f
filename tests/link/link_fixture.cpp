#include "link/link_fixture.h"

#include "link/link_state.h"
#include "link/link_threads.h"
#include "link/serial_port.h"
#include "platform/clock.h"
#include "platform/serial.h"

namespace tessaril::test {

namespace {

using platform::ControlKind;
using platform::ControlSpec;

const ControlSpec command_controls[] = {
    {2401, ControlKind::Static, "*", 0, 0, 10, 10, 0, true, false},
    {2501, ControlKind::Static, "*", 0, 0, 10, 10, 0, true, false},
    {2601, ControlKind::Static, "*", 0, 0, 10, 10, 0, true, false},
    {2701, ControlKind::Static, "*", 0, 0, 10, 10, 0, true, false},
    {225, ControlKind::ListBox, "", 0, 0, 10, 10, platform::LBS_SORT, true, false},
    {226, ControlKind::ListBox, "", 0, 0, 10, 10, platform::LBS_SORT, true, false},
};
const platform::DialogTemplate command_layout{103, "test", 0, 0, 100, 100, command_controls,
                                              sizeof command_controls / sizeof command_controls[0]};

std::vector<std::string> lines(platform::DialogHandle dialog, int id) {
  std::vector<std::string> out;
  int n = platform::list_count(dialog, id);
  for (int i = 0; i < n; ++i) out.push_back(platform::list_item(dialog, id, i));
  return out;
}

}  // namespace

status::LogSettings log_settings_in(const TempFolder& folder) {
  status::LogSettings log;
  log.folder = folder.path() + "/cmd_log/";
  return log;
}

bool wait_until(const std::function<bool()>& done, int64_t ms) {
  const int64_t end = platform::monotonic_ms() + ms;
  while (!done() && platform::monotonic_ms() < end) platform::sleep_ms(1);
  return done();
}

void LinkTest::SetUp() {
  ui::install_headless_backend();
  dialog = ui::create_test_dialog(command_layout);
  view.attach(dialog);
  session.subscribe(&view);
  // 38.4 s for an empty 255-byte read becomes 384 ms.
  platform::set_serial_timeout_scale(1);
}

void LinkTest::TearDown() {
  // The threads go before the view and the dialog they report to.
  if (session.tx_running.load() || session.rx_running.load()) link::stop_link_threads(session);
  link::close_serial_port(session);
  platform::set_serial_device_override("");  // route_com_port sets it on Windows
  platform::set_serial_timeout_scale(100);
  view.detach(dialog);
  ui::destroy_test_dialog(dialog);
}

bool LinkTest::next_post(ui::PostedMessage& message, int timeout_ms) {
  const int64_t end = platform::monotonic_ms() + timeout_ms;
  for (;;) {
    auto more = ui::take_posted_messages(dialog);
    pending.insert(pending.end(), more.begin(), more.end());
    if (!pending.empty()) {
      message = pending.front();
      pending.erase(pending.begin());
      return true;
    }
    if (platform::monotonic_ms() >= end) return false;
    platform::sleep_ms(5);
  }
}

std::string LinkTest::result(int step) { return platform::control_text(dialog, link::result_field_id(step)); }

std::string LinkTest::wait_result(int step, int timeout_ms) {
  const int64_t end = platform::monotonic_ms() + timeout_ms;
  std::string text;
  while ((text = result(step)) == "*" && platform::monotonic_ms() < end) platform::sleep_ms(5);
  return text;
}

bool LinkTest::wait_idle(int timeout_ms) {
  return wait_until([this] { return session.idle(); }, timeout_ms);
}

std::vector<std::string> LinkTest::hex_lines() { return lines(dialog, 225); }
std::vector<std::string> LinkTest::text_lines() { return lines(dialog, 226); }

}  // namespace tessaril::test

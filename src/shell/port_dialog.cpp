#include "shell/port_dialog.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "commands/entry_text.h"
#include "link/link_threads.h"
#include "link/serial_port.h"
#include "link/session.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "shell/center_window.h"
#include "shell/command_dialog.h"
#include "shell/config.h"
#include "shell/dialog_handles.h"
#include "shell/dialog_session.h"
#include "shell/control_ids.h"
#include "shell/layout_tables.h"
#include "status/status_codes.h"

namespace tessaril::shell {

namespace {

// Sleeps of the closing: after the stop request's waits, and in the 1039 handler.
constexpr int CLOSE_PAUSE_MS = 500;

std::atomic<bool> command_dialog_up{false};

// Shared by both dialogs: true once the fatal-error notice has been shown.
std::atomic<bool> fatal_notice_shown{false};

// The open failure, if any, waits here until the command dialog is up: the
// traffic list it goes into belongs to that dialog.
std::string pending_port_error;

// The command dialog's procedure, with the port failure reported right after
// its initialisation.
intptr_t command_dialog_with_report(platform::DialogHandle dialog, uint32_t message, uintptr_t wparam,
                                    intptr_t lparam) {
  intptr_t result = command_dialog_proc(dialog, message, wparam, lparam);
  if (message == platform::WM_INITDIALOG && !pending_port_error.empty()) {
    link::report_port_error(dialog_session(), pending_port_error);
    pending_port_error.clear();
  }
  return result;
}

}  // namespace

intptr_t on_port_dialog_init(platform::DialogHandle dialog) {
  port_dialog.store(dialog);
  char number[16];
  std::snprintf(number, sizeof number, "%d", static_cast<int>(app_config.sio_port));
  platform::set_control_text(dialog, IDC_PORT_NUMBER, number);
  center_window(dialog);
  return 1;
}

int port_number_from_text(const char* text) {
  return static_cast<int>(static_cast<uint32_t>(commands::decimal_value(text)) & 0xFFu);
}

bool command_dialog_running() { return command_dialog_up.load(); }

void open_port(platform::DialogHandle dialog) {
  // A second ENTER can only reach us through a message queued before the
  // command dialog came up; a second command dialog on the one port would
  // close it under the first.
  if (command_dialog_up.exchange(true)) return;

  char text[4];
  platform::get_control_text(dialog, IDC_PORT_NUMBER, text, sizeof text);
  const int number = port_number_from_text(text);
  app_config.sio_port = number;

  std::string error_text;
  if (!link::open_serial_port(dialog_session(), number, app_config.bit_rate, app_config.bit_len, config_path(), error_text))
    pending_port_error = error_text.empty() ? std::string("Cannot open port") : error_text;
  else if (!error_text.empty())
    pending_port_error = error_text;  // opened, but the driver refused the settings

  platform::run_dialog(command_dialog_template, dialog, command_dialog_with_report, 0);

  pending_port_error.clear();
  command_dialog_up.store(false);
}

void on_port_dialog_close(platform::DialogHandle) {
  if (command_dialog_up.load()) return;
  link::stop_link_threads(dialog_session());
  platform::post_message(port_dialog.load(), WM_END_PORT_DIALOG, 0, 0);
  platform::sleep_ms(CLOSE_PAUSE_MS);
}

void reset_fatal_notice() { fatal_notice_shown.store(false); }

bool claim_fatal_notice() { return !fatal_notice_shown.exchange(true); }

void show_fatal_notice(platform::DialogHandle dialog) {
  if (!claim_fatal_notice()) return;
  platform::message_box(dialog,
                        platform::utf8_to_cp932("プログラム実行継続不可能なエラーが発生しました。\n"
                                                "エラーコードを記録してプログラムを終了します。\n"),
                        platform::utf8_to_cp932("終了確認"), platform::MB_ICONWARNING);
}

intptr_t port_dialog_proc(platform::DialogHandle dialog, uint32_t message, uintptr_t wparam, intptr_t) {
  switch (message) {
    case platform::WM_INITDIALOG:
      return on_port_dialog_init(dialog);
    case platform::WM_PAINT:
      on_dialog_paint(dialog);
      return 1;
    case platform::WM_CLOSE:
      on_port_dialog_close(dialog);
      return 1;
    case platform::WM_COMMAND:
      if ((wparam & 0xFFFF) != IDC_ENTER) return 0;
      open_port(dialog);
      return 1;
    case WM_FATAL_NOTICE:
      show_fatal_notice(dialog);
      platform::end_dialog(dialog, 0);
      port_dialog.store(platform::NO_DIALOG);
      return 0;
    case WM_END_PORT_DIALOG:
      platform::sleep_ms(CLOSE_PAUSE_MS);
      platform::end_dialog(dialog, 0);
      port_dialog.store(platform::NO_DIALOG);
      return 1;
    default:
      return 0;
  }
}

}  // namespace tessaril::shell

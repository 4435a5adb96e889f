#include "shell/stop_signal.h"

#include <csignal>
#include <cstdlib>

#include "link/link_state.h"
#include "platform/clock.h"
#include "platform/controls.h"
#include "shell/control_ids.h"
#include "shell/dialog_handles.h"
#include "shell/dialog_session.h"
#include "shell/port_dialog.h"

namespace tessaril::shell {

namespace {

// A handler may touch nothing but a lock-free atomic.
std::atomic<int> noted{0};
static_assert(std::atomic<int>::is_always_lock_free);

using Handler = void (*)(int);
Handler earlier_int = SIG_DFL;
Handler earlier_term = SIG_DFL;

void on_signal(int signal_number) {
  int none = 0;
  // The second signal: whoever sends it wants the program gone now.
  if (!noted.compare_exchange_strong(none, signal_number)) std::_Exit(stop_exit_code(noted.load()));
}

bool transfer_running(const link::Session& s) {
  return s.tx_command.load() == link::TX_KERMIT_SEND || s.rx_command.load() == link::RX_KERMIT_RECEIVE;
}

}  // namespace

void install_stop_signals() {
  earlier_int = std::signal(SIGINT, on_signal);
  earlier_term = std::signal(SIGTERM, on_signal);
}

void remove_stop_signals() {
  std::signal(SIGINT, earlier_int == SIG_ERR ? SIG_DFL : earlier_int);
  std::signal(SIGTERM, earlier_term == SIG_ERR ? SIG_DFL : earlier_term);
}

void request_stop(int signal_number) {
  int none = 0;
  noted.compare_exchange_strong(none, signal_number);
}

int stop_signal() { return noted.load(); }

void clear_stop_request() { noted.store(0); }

int stop_exit_code(int signal_number) { return 128 + signal_number; }

std::string stop_signal_name(int signal_number) {
  if (signal_number == SIGINT) return "SIGINT";
  if (signal_number == SIGTERM) return "SIGTERM";
  return "signal " + std::to_string(signal_number);
}

StopWatcher::StopWatcher(link::Session& session) : session_(session), thread_([this] { run(); }) {}

StopWatcher::~StopWatcher() { finish(); }

void StopWatcher::finish() {
  over_.store(true);
  if (thread_.joinable()) thread_.join();
}

void StopWatcher::run() {
  while (!over_.load() && stop_signal() == 0) platform::sleep_ms(STOP_POLL_MS);
  if (over_.load()) return;
  // Until the link is at rest: a transfer is asked to quit, again and again
  // (one that was only about to begin clears an older request as it starts,
  // and the sequence may start one more), and what follows its ending (the
  // status frame and its answer) gets its lines in the log.
  const int64_t settle_end = platform::monotonic_ms() + STOP_SETTLE_LIMIT_MS;
  while (!over_.load() && platform::monotonic_ms() < settle_end) {
    if (transfer_running(session_)) {
      session_.kermit_quit_request.store(1);
    } else if (session_.idle()) {
      break;
    }
    platform::sleep_ms(STOP_POLL_MS);
  }
  bool left_menu = false, closed = false;
  const int64_t close_end = platform::monotonic_ms() + STOP_CLOSE_LIMIT_MS;
  while (!over_.load() && platform::monotonic_ms() < close_end) {
    if (command_dialog_running()) {
      if (!left_menu)
        left_menu = platform::post_message(dialog_view().dialog(), platform::WM_COMMAND, IDC_RETURN_TO_MENU, 0);
    } else if (!closed) {
      closed = platform::post_message(port_dialog.load(), platform::WM_CLOSE, 0, 0);
    }
    platform::sleep_ms(STOP_POLL_MS);
  }
  if (!over_.load()) std::_Exit(stop_exit_code(stop_signal()));
}

}  // namespace tessaril::shell

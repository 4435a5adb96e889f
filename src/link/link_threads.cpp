#include "link/link_threads.h"

#include <mutex>
#include <thread>

#include "link/session.h"
#include "platform/clock.h"
#include "platform/serial.h"

namespace tessaril::link {

namespace {

constexpr int START_PAUSE_MS = 25;     // before each thread starts
constexpr int BETWEEN_STARTS_MS = 50;  // send thread first, then the receive thread
constexpr int STOP_GRACE_MS = 1000;
constexpr int STOP_WAIT_EACH_MS = 6000;

// Starts one thread unless it runs; an ended one is joined first.
bool start_one(Session& s, std::thread& thread, std::atomic<bool>& running, void (*body)(Session&)) {
  if (running.load()) return false;
  if (thread.joinable()) thread.join();
  platform::sleep_ms(START_PAUSE_MS);
  running.store(true);
  thread = std::thread(body, std::ref(s));
  return true;
}

void finish(const Session& s, std::thread& thread, std::atomic<bool>& running) {
  if (running.load()) s.dialog_wait(STOP_WAIT_EACH_MS, [&] { return !running.load(); });
  if (!thread.joinable()) return;
  if (!running.load()) {
    thread.join();
  } else {
    // Stuck beyond every limit (a control call that never returns): let it
    // go rather than block the program's end for ever.
    thread.detach();
  }
}

}  // namespace

bool start_link_threads(Session& s) {
  std::lock_guard<std::mutex> lock(s.threads_lock);
  bool started = false;
  if (!s.tx_running.load()) {
    s.tx_run_state.store(TX_RUNNING);
    started |= start_one(s, s.send_thread, s.tx_running, send_thread_body);
    platform::sleep_ms(BETWEEN_STARTS_MS);
  }
  if (!s.rx_running.load()) {
    s.rx_run_state.store(RX_RUNNING);
    started |= start_one(s, s.receive_thread, s.rx_running, receive_thread_body);
  }
  return started;
}

void stop_link_threads(Session& s) {
  std::lock_guard<std::mutex> lock(s.threads_lock);
  s.tx_run_state.store(TX_STOP_REQUEST);
  s.rx_run_state.store(RX_STOP_REQUEST);
  s.wake_threads();
  // A read waiting up to 38 s for an answer ends now.
  platform::serial_cancel(s.com_handle.load());
  s.dialog_wait(STOP_GRACE_MS, [&] { return !s.tx_running.load() && !s.rx_running.load(); });
  finish(s, s.send_thread, s.tx_running);
  finish(s, s.receive_thread, s.rx_running);
}

void set_kermit_runners(Session& s, void (*send)(Session&), void (*receive)(Session&)) {
  s.kermit_send_runner.store(send);
  s.kermit_receive_runner.store(receive);
}

}  // namespace tessaril::link

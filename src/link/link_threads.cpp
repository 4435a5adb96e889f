#include "link/link_threads.h"

#include <mutex>
#include <thread>

#include "link/link_state.h"
#include "link/link_wait.h"
#include "link/thread_bodies.h"
#include "platform/clock.h"
#include "platform/controls.h"
#include "platform/serial.h"

namespace tessaril::link {

namespace {

constexpr int START_PAUSE_MS = 25;     // before each thread starts
constexpr int BETWEEN_STARTS_MS = 50;  // send thread first, then the receive thread
constexpr int STOP_GRACE_MS = 1000;
constexpr int STOP_WAIT_EACH_MS = 6000;

// The thread objects. The program stops and joins both threads on its way
// out (shell::run_program); should a thread still run when the process
// exits, it is let go rather than joined here: a destructor at exit must not
// reach into the port or the words of other files, whose order of
// destruction is not defined.
struct Threads {
  std::mutex lock;
  std::thread send;
  std::thread receive;
  ~Threads() {
    if (send.joinable()) send.detach();
    if (receive.joinable()) receive.detach();
  }
};
Threads threads;

// Starts one thread unless it runs; an ended one is joined first.
bool start_one(std::thread& thread, std::atomic<bool>& running, void (*body)()) {
  if (running.load()) return false;
  if (thread.joinable()) thread.join();
  platform::sleep_ms(START_PAUSE_MS);
  running.store(true);
  thread = std::thread(body);
  return true;
}

bool both_ended(const void*) { return !detail::tx_running.load() && !detail::rx_running.load(); }
bool ended(const void* running) { return !static_cast<const std::atomic<bool>*>(running)->load(); }

void finish(std::thread& thread, std::atomic<bool>& running) {
  if (running.load()) wait_ms(STOP_WAIT_EACH_MS, ended, &running);
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

bool start_link_threads() {
  std::lock_guard<std::mutex> lock(threads.lock);
  bool started = false;
  if (!detail::tx_running.load()) {
    tx_run_state.store(TX_RUNNING);
    started |= start_one(threads.send, detail::tx_running, detail::send_thread_body);
    platform::sleep_ms(BETWEEN_STARTS_MS);
  }
  if (!detail::rx_running.load()) {
    rx_run_state.store(RX_RUNNING);
    started |= start_one(threads.receive, detail::rx_running, detail::receive_thread_body);
  }
  return started;
}

void stop_link_threads(platform::DialogHandle notify) {
  {
    std::lock_guard<std::mutex> lock(threads.lock);
    tx_run_state.store(TX_STOP_REQUEST);
    rx_run_state.store(RX_STOP_REQUEST);
    // A read waiting up to 38 s for an answer ends now.
    platform::serial_cancel(com_handle.load());
    wait_ms(STOP_GRACE_MS, both_ended, nullptr);
    finish(threads.send, detail::tx_running);
    finish(threads.receive, detail::rx_running);
  }
  platform::post_message(notify, WM_END_PORT_DIALOG, 0, 0);
}

bool send_thread_running() { return detail::tx_running.load(); }
bool receive_thread_running() { return detail::rx_running.load(); }
bool send_thread_busy() { return detail::tx_busy.load(); }
bool receive_thread_busy() { return detail::rx_busy.load(); }

int32_t port_epoch() { return detail::epoch.load(); }
void advance_port_epoch() { detail::epoch.fetch_add(1); }

void set_kermit_runners(KermitRunner send, KermitRunner receive) {
  detail::kermit_send_runner.store(send);
  detail::kermit_receive_runner.store(receive);
}

}  // namespace tessaril::link

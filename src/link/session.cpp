#include "link/session.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "link/link_threads.h"
#include "link/serial_port.h"
#include "platform/clock.h"

namespace tessaril::link {

namespace {

bool step_ok(int step) { return step >= 0 && step < STEP_SLOTS; }
int bounded(int n, size_t capacity) { return std::clamp(n, 0, static_cast<int>(capacity)); }

// The dialog thread's wait is cut into slices of at most this, each spent
// serving the control calls a link thread may be waiting in.
constexpr int64_t DIALOG_WAIT_SLICE_MS = 10;

}  // namespace

Session::Session(const status::LogSettings& log_settings) : log(log_settings) {}

Session::~Session() {
  if (tx_running.load() || rx_running.load()) stop_link_threads(*this);
  close_serial_port(*this);
}

void Session::subscribe(SessionObserver* observer) {
  if (observer) observers_.push_back(observer);
}

void Session::wake_threads() {
  {
    std::lock_guard<std::mutex> lock(wake_lock_);
    ++wake_count_;
  }
  wake_.notify_all();
}

void Session::post_tx_command(int32_t command) {
  tx_command.store(command);
  wake_threads();
}

void Session::post_rx_command(int32_t command) {
  rx_command.store(command);
  wake_threads();
}

bool Session::thread_wait(int64_t ms, const std::function<bool()>& should_end) {
  if (ms < 0) ms = 0;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  std::unique_lock<std::mutex> lock(wake_lock_);
  for (;;) {
    const uint64_t seen = wake_count_;
    // Looked at without the lock held: should_end may read anything.
    lock.unlock();
    if (should_end && should_end()) return false;
    lock.lock();
    if (std::chrono::steady_clock::now() >= end) return true;
    wake_.wait_until(lock, end, [&] { return wake_count_ != seen; });
  }
}

bool Session::dialog_wait(int64_t ms, const std::function<bool()>& done) const {
  if (ms < 0) ms = 0;
  const int64_t end = platform::monotonic_ms() + ms;
  for (;;) {
    if (done()) return true;
    const int64_t left = end - platform::monotonic_ms();
    if (left <= 0) return false;
    const int64_t slice = std::min(left, DIALOG_WAIT_SLICE_MS);
    if (dialog_sleep) {
      dialog_sleep(slice);
    } else {
      platform::sleep_ms(slice);
    }
  }
}

void Session::report_traffic(TrafficDirection direction, TrafficForm form, const uint8_t* bytes, size_t count) {
  TrafficRecord record{direction, form, {}, platform::local_time(), {}};
  const char* prefix = direction == TrafficDirection::Sent ? "Snd:" : "Rcv:";
  if (bytes && count > 0) record.bytes.assign(bytes, bytes + count);
  if (form == TrafficForm::Hex) {
    record.text = status::hex_line(prefix, bytes, count);
  } else {
    record.text = status::data_field_line(prefix, bytes, count, direction == TrafficDirection::Sent ? 9 : 10);
  }
  for (SessionObserver* o : observers_) o->on_traffic(record);
  log.append(status::stamped_line(record.time, record.text));
}

void Session::report_note(const std::string& text) {
  TrafficRecord record{TrafficDirection::Received, TrafficForm::Note, {}, platform::local_time(), text};
  for (SessionObserver* o : observers_) o->on_traffic(record);
  log.append(status::stamped_line(record.time, record.text));
}

void Session::report_step_result(int step, const char* text) {
  if (step < STEP_FIRST || step > STEP_LAST) return;
  for (SessionObserver* o : observers_) o->on_step_result(step, text ? text : "");
}

void Session::report_progress(const TransferProgressEvent& progress) {
  for (SessionObserver* o : observers_) o->on_transfer_progress(progress);
}

void Session::report_port_state(PortState state, const std::string& text) {
  for (SessionObserver* o : observers_) o->on_port_state(state, text);
}

bool Session::report_link_event(uint32_t status, LinkEventKind kind) {
  events_pending_.fetch_add(1);
  bool taken = false;
  for (SessionObserver* o : observers_) taken |= o->on_link_event(status, kind);
  if (!taken) link_event_handled();  // nobody will hand it back
  return taken;
}

void Session::link_event_handled() {
  // Never below zero: an event handled after the count was cleared is no
  // longer in it.
  int32_t n = events_pending_.load();
  while (n > 0 && !events_pending_.compare_exchange_weak(n, n - 1)) {
  }
}

void Session::clear_pending_events() { events_pending_.store(0); }

bool Session::idle() const {
  return tx_command.load() == TX_IDLE && rx_command.load() == RX_IDLE && !tx_busy.load() && !rx_busy.load() &&
         events_pending_.load() == 0;
}

void Session::store_tx_frame(int step, const uint8_t* raw, int raw_len, const uint8_t* enc, int enc_len) {
  if (!step_ok(step)) return;
  raw_len = raw ? bounded(raw_len, FRAME_MAX) : 0;
  enc_len = enc ? bounded(enc_len, FRAME_ENC_MAX) : 0;
  std::lock_guard<std::mutex> lock(tx_frame_lock);
  if (raw_len > 0) std::memcpy(tx_frame_raw[step], raw, static_cast<size_t>(raw_len));
  if (enc_len > 0) std::memcpy(tx_frame_enc[step], enc, static_cast<size_t>(enc_len));
  seq_params[SEQ_ENC_LEN + step].store(enc_len);
  seq_params[SEQ_RAW_LEN + step].store(raw_len);
}

void Session::store_tx_frame(int step, const uint8_t* raw, int raw_len) {
  uint8_t enc[FRAME_ENC_MAX];
  raw_len = raw ? bounded(raw_len, FRAME_MAX) : 0;
  size_t enc_len = rfc1055_encode(raw, static_cast<size_t>(raw_len), enc);
  store_tx_frame(step, raw, raw_len, enc, static_cast<int>(enc_len));
}

void Session::load_tx_frame(int step, TxFrameCopy& copy) {
  copy.raw_len = 0;
  copy.enc_len = 0;
  if (!step_ok(step)) return;
  std::lock_guard<std::mutex> lock(tx_frame_lock);
  copy.enc_len = bounded(seq_params[SEQ_ENC_LEN + step].load(), FRAME_ENC_MAX);
  copy.raw_len = bounded(seq_params[SEQ_RAW_LEN + step].load(), FRAME_MAX);
  std::memcpy(copy.enc, tx_frame_enc[step], static_cast<size_t>(copy.enc_len));
  std::memcpy(copy.raw, tx_frame_raw[step], static_cast<size_t>(copy.raw_len));
}

void Session::reset() {
  events_pending_.store(0);
  tx_command.store(TX_IDLE);
  rx_command.store(RX_IDLE);
  frame_slot.store(1);
  rsp_ok.store(0);
  rx_file_size.store(0);
  written_frame.store(0);
  std::lock_guard<std::mutex> lock(tx_frame_lock);
  for (auto& word : seq_params) word.store(0);
  std::memset(tx_frame_raw, 0, sizeof tx_frame_raw);
  std::memset(tx_frame_enc, 0, sizeof tx_frame_enc);
}

}  // namespace tessaril::link

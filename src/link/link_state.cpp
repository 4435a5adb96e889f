#include "link/link_state.h"

#include <algorithm>
#include <cstring>

namespace tessaril::link {

namespace {
bool step_ok(int step) { return step >= 0 && step < STEP_SLOTS; }
int bounded(int n, size_t capacity) { return std::clamp(n, 0, static_cast<int>(capacity)); }
}  // namespace

void store_tx_frame(int step, const uint8_t* raw, int raw_len, const uint8_t* enc, int enc_len) {
  if (!step_ok(step)) return;
  raw_len = raw ? bounded(raw_len, FRAME_MAX) : 0;
  enc_len = enc ? bounded(enc_len, FRAME_ENC_MAX) : 0;
  std::lock_guard<std::mutex> lock(tx_frame_lock);
  if (raw_len > 0) std::memcpy(tx_frame_raw[step], raw, static_cast<size_t>(raw_len));
  if (enc_len > 0) std::memcpy(tx_frame_enc[step], enc, static_cast<size_t>(enc_len));
  seq_params[SEQ_ENC_LEN + step].store(enc_len);
  seq_params[SEQ_RAW_LEN + step].store(raw_len);
}

void store_tx_frame(int step, const uint8_t* raw, int raw_len) {
  uint8_t enc[FRAME_ENC_MAX];
  raw_len = raw ? bounded(raw_len, FRAME_MAX) : 0;
  size_t enc_len = rfc1055_encode(raw, static_cast<size_t>(raw_len), enc);
  store_tx_frame(step, raw, raw_len, enc, static_cast<int>(enc_len));
}

void load_tx_frame(int step, TxFrameCopy& copy) {
  copy.raw_len = 0;
  copy.enc_len = 0;
  if (!step_ok(step)) return;
  std::lock_guard<std::mutex> lock(tx_frame_lock);
  copy.enc_len = bounded(seq_params[SEQ_ENC_LEN + step].load(), FRAME_ENC_MAX);
  copy.raw_len = bounded(seq_params[SEQ_RAW_LEN + step].load(), FRAME_MAX);
  std::memcpy(copy.enc, tx_frame_enc[step], static_cast<size_t>(copy.enc_len));
  std::memcpy(copy.raw, tx_frame_raw[step], static_cast<size_t>(copy.raw_len));
}

void link_event_handled() {
  // Never below zero: an event handled after the count was cleared is no
  // longer in it.
  int32_t n = link_events_pending.load();
  while (n > 0 && !link_events_pending.compare_exchange_weak(n, n - 1)) {
  }
}

bool post_link_event(uint32_t status, intptr_t kind) {
  link_events_pending.fetch_add(1);
  if (platform::post_message(command_dialog.load(), WM_LINK_EVENT, status, kind)) return true;
  link_event_handled();  // no dialog took it
  return false;
}

void reset_link_state() {
  link_events_pending.store(0);
  tx_command.store(TX_IDLE);
  rx_command.store(RX_IDLE);
  frame_slot.store(1);
  rsp_ok.store(0);
  rx_file_size.store(0);
  std::lock_guard<std::mutex> lock(tx_frame_lock);
  for (auto& word : seq_params) word.store(0);
  std::memset(tx_frame_raw, 0, sizeof tx_frame_raw);
  std::memset(tx_frame_enc, 0, sizeof tx_frame_enc);
}

}  // namespace tessaril::link

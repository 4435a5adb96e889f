#include "shell/frame_editor.h"

#include <algorithm>

#include "shell/control_ids.h"
#include "shell/control_text.h"
#include "commands/entry_text.h"
#include "shell/frame_presenter.h"
#include "link/session.h"
#include "platform/clock.h"

namespace tessaril::shell {

namespace {

using platform::DialogHandle;

constexpr int SEND_FIELD_CHARS = 6;

constexpr int SEND_SETTLE_MS = 100;
constexpr int RESET_SETTLE_MS = 100;

void clear_slot(FrameText& t) {
  for (auto& e : t.entry) {
    e[0] = '*';
    e[1] = '\0';
  }
}

void clear_result_fields(DialogHandle dialog) {
  for (int step = link::STEP_FIRST; step <= link::STEP_LAST; ++step)
    platform::set_control_text(dialog, link::result_field_id(step), " ");
}

}  // namespace

FrameText& slot_frame_text(int slot) { return frame_text[std::clamp(slot, 1, FRAME_TEXT_SLOTS) - 1]; }

void clear_frame_text() {
  for (FrameText& t : frame_text) clear_slot(t);
}

void recalc_editor_crc(DialogHandle dialog, int slot) { show_crc(dialog, editor_crc(dialog, slot)); }

void on_send(DialogHandle dialog, link::Session& s) {
  clear_result_fields(dialog);
  const int h = header_size_field(dialog, SEND_FIELD_CHARS);
  const int d = data_size_field(dialog, SEND_FIELD_CHARS);
  const bool crc_switch = platform::is_checked(dialog, IDC_CRC_ENABLE);
  const bool end_switch = platform::is_checked(dialog, IDC_END_ENABLE);

  uint8_t raw[link::FRAME_MAX];
  const int length = read_editor_frame(dialog, 1, raw, h, d, crc_switch, end_switch);
  s.store_tx_frame(1, raw, length);

  const int32_t tmo_test = platform::is_checked(dialog, IDC_TRNS_TMO_ERR) ? 1 : 0;
  s.tmo_test_tx.store(tmo_test);
  s.tmo_test_rx.store(tmo_test);

  // A negative wait counts as 0.
  auto wait_ms = [&](int id) { return std::max<int32_t>(0, commands::decimal_value(read_control_text(dialog, id, SEND_FIELD_CHARS))); };
  s.step_wait_ticks(1).store(wait_ms(IDC_WAIT_FRAME1) / link::TICK_MS);
  s.step_wait_ticks(2).store(5);
  s.step_wait_ticks(3).store(wait_ms(IDC_WAIT_KERMIT) / link::TICK_MS);
  s.step_wait_ticks(4).store(5);
  s.kermit_tmo_count.store(wait_ms(IDC_KERMIT_TMO) / 200);
  s.split_header().store(
      static_cast<int32_t>(commands::size_field_value(read_control_text(dialog, IDC_HEADER_DATA_WAIT, SEND_FIELD_CHARS))));

  // The command word goes last: it hands everything above to the send thread.
  s.frame_slot.store(1);
  s.post_tx_command(link::TX_SEND_FRAME);
  platform::sleep_ms(SEND_SETTLE_MS);
}

void on_crc_recalc(DialogHandle dialog) {
  recalc_editor_crc(dialog, 1);
  platform::invalidate(dialog);
}

void on_reset_state(DialogHandle dialog, link::Session& s) {
  for (int k = 0; k < static_cast<int>(link::FRAME_HEADER); ++k) platform::set_control_text(dialog, IDC_HEADER_FIRST + k, "00");
  clear_slot(slot_frame_text(1));
  platform::set_control_text(dialog, IDC_CRC_HIGH, "00");
  platform::set_control_text(dialog, IDC_CRC_LOW, "00");
  platform::set_control_text(dialog, IDC_END_CODE, "C0");
  clear_result_fields(dialog);
  s.frame_slot.store(1);
  s.post_tx_command(link::TX_IDLE);
  s.post_rx_command(link::RX_IDLE);
  platform::sleep_ms(RESET_SETTLE_MS);
  platform::invalidate(dialog);
}

void on_kermit_quit(DialogHandle dialog, link::Session& s) {
  if (s.tx_command.load() == link::TX_KERMIT_SEND || s.rx_command.load() == link::RX_KERMIT_RECEIVE)
    s.kermit_quit_request.store(1);
  platform::invalidate(dialog);
}

}  // namespace tessaril::shell

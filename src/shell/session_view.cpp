#include "shell/session_view.h"

#include "link/transfer_progress.h"
#include "shell/dialog_handles.h"
#include "status/command_log.h"

namespace tessaril::shell {

void add_traffic_line(platform::DialogHandle dialog, int list_box_id, const std::string& line, int32_t line_max) {
  int count = platform::list_count(dialog, list_box_id);
  const int64_t limit = static_cast<int64_t>(line_max) - 1;
  // A box never empties itself to make room: logline_max of 1 or less keeps one line.
  while (count > 0 && (count >= limit || count >= status::LOG_LIST_LIMIT)) {
    if (platform::list_delete(dialog, list_box_id, 0) < 0) break;
    --count;
  }
  platform::list_add(dialog, list_box_id, line);
  platform::list_set_selection(dialog, list_box_id, count);
}

void CommandDialogView::detach(platform::DialogHandle dialog) {
  platform::DialogHandle expected = dialog;
  if (dialog_.compare_exchange_strong(expected, platform::NO_DIALOG)) session_.clear_pending_events();
}

void CommandDialogView::on_traffic(const link::TrafficRecord& record) {
  const int list = record.form == link::TrafficForm::DataField ? IDC_TEXT_LIST : IDC_HEX_LIST;
  add_traffic_line(dialog_.load(), list, status::stamped_line(record.time, record.text),
                   session_.log.settings().line_max);
}

void CommandDialogView::on_step_result(int step, const char* text) {
  platform::set_control_text(dialog_.load(), link::result_field_id(step), text);
}

bool CommandDialogView::on_link_event(uint32_t status, link::LinkEventKind kind) {
  return platform::post_message(dialog_.load(), WM_LINK_EVENT, status, static_cast<intptr_t>(kind));
}

void CommandDialogView::on_transfer_progress(const link::TransferProgressEvent& p) {
  const platform::DialogHandle shown = dialog_.load();
  if (p.phase == link::ProgressPhase::Begin) caption_kept_ = stopping_ = false;
  if (shown == platform::NO_DIALOG) return;
  // The caption is kept the first time the transfer changes it.
  const bool changes = p.phase == link::ProgressPhase::Update || p.phase == link::ProgressPhase::Stopping;
  if (changes && !caption_kept_) {
    caption_ = platform::window_text(shown);
    caption_kept_ = true;
  }
  switch (p.phase) {
    case link::ProgressPhase::Begin:
      break;
    case link::ProgressPhase::Update:
      // "stopping…" stays until the end.
      if (!stopping_)
        platform::set_window_text(shown, link::progress_caption(caption_, p.sending, p.name, p.bytes, p.size));
      break;
    case link::ProgressPhase::Stopping:
      stopping_ = true;
      platform::set_window_text(shown, link::stopping_caption(caption_));
      break;
    case link::ProgressPhase::End:
      if (caption_kept_) platform::set_window_text(shown, caption_);
      caption_kept_ = false;
      stopping_ = false;
      break;
  }
}

}  // namespace tessaril::shell

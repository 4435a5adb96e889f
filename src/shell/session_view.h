// The command dialog's view of the session: what the link reports, shown in
// the dialog's controls.
//
// How it works: the view is subscribed to the session once, for the
// session's life, and shows the command dialog that is attached to it (none
// between "Return to Menu" and the next ENTER: what the link reports then is
// not shown). On the link threads it writes the traffic lines into list
// boxes 225 (hex, and the host's notes) and 226 (text), the result words
// into the step's result field, and the transfer progress (or "stopping…")
// behind the dialog's caption; the link events that drive the sequence go to the
// dialog as message 1034, to be handled on the dialog thread.
//
// Traffic lists: sorted by text, so the time stamp keeps one day's lines in
// order. Before a line is added, item 0 is deleted when the box holds
// logline_max - 1 lines or more, or 9999; the box thus keeps at most
// logline_max - 1 lines (at least one), never more than 9999.
#pragma once

#include <atomic>
#include <string>

#include "link/session.h"
#include "platform/controls.h"
#include "shell/control_ids.h"

namespace tessaril::shell {

class CommandDialogView : public link::SessionObserver {
 public:
  explicit CommandDialogView(link::Session& session) : session_(session) {}

  void attach(platform::DialogHandle dialog) { dialog_.store(dialog); }
  // Detaches `dialog` if it is the one shown; the link events it did not
  // handle are no longer pending.
  void detach(platform::DialogHandle dialog);
  platform::DialogHandle dialog() const { return dialog_.load(); }

  void on_traffic(const link::TrafficRecord& record) override;
  void on_step_result(int step, const char* text) override;
  bool on_link_event(uint32_t status, link::LinkEventKind kind) override;
  void on_transfer_progress(const link::TransferProgressEvent& progress) override;

 private:
  link::Session& session_;
  std::atomic<platform::DialogHandle> dialog_{platform::NO_DIALOG};
  // The caption before a transfer's progress, put back at its end (only the
  // thread running the transfer touches these).
  std::string caption_;
  bool caption_kept_ = false;
  bool stopping_ = false;
};

// Adds a stamped line to a traffic list box, trimming it first.
void add_traffic_line(platform::DialogHandle dialog, int list_box_id, const std::string& line, int32_t line_max);

}  // namespace tessaril::shell

// The progress of a Kermit transfer in the command dialog's caption.
//
// How it works: a transfer notes the caption the dialog had when it began and
// shows, behind it, the direction, the file name and the bytes moved against
// the size ("<caption> ― sending CAL_DATA.XML 12,288 / 65,536 bytes (18%)").
// The caption goes through the control API (platform::set_window_text), so
// every back end shows it and the headless trace prints it. It is rewritten
// at most every PROGRESS_INTERVAL_MS and only when the figure changed, so a
// fast line does not flood the dialog thread; the transfer puts the old
// caption back at its end. Texts are CP932; names pass unchanged.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/controls.h"

namespace tessaril::link {

constexpr int64_t PROGRESS_INTERVAL_MS = 250;  // four updates a second at most

struct TransferProgress {
  platform::DialogHandle dialog = platform::NO_DIALOG;
  std::string original;  // the caption before the transfer
  std::string name;
  bool sending = true;
  int64_t size = 0;
  int64_t shown_bytes = -1;  // the figure on show; -1 while nothing is
  int64_t shown_at = 0;      // monotonic ms of the last update
};

// The caption for `bytes` of `size` moved. The percentage is left out when
// the size is not known (0 or less).
std::string progress_caption(std::string_view original, bool sending, std::string_view name, int64_t bytes,
                             int64_t size);

// Notes the dialog's caption and shows 0 bytes moved.
void begin_progress(TransferProgress& p, platform::DialogHandle dialog, bool sending, std::string_view name,
                    int64_t size);
// Shows the bytes moved, unless the last update is younger than the interval.
void update_progress(TransferProgress& p, int64_t bytes);
// Puts the noted caption back; does nothing when no progress was shown.
void end_progress(TransferProgress& p);

}  // namespace tessaril::link

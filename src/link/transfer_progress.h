// The progress of a Kermit transfer in the command dialog's caption.
//
// How it works: a transfer reports its progress to the session's observers:
// the direction, the file name and the bytes moved against the size. The
// command dialog shows it behind its caption ("<caption> ― sending
// CAL_DATA.XML 12,288 / 65,536 bytes (18%)", progress_caption) and puts the
// caption back at the end. An update goes out at most every
// PROGRESS_INTERVAL_MS and only when the figure changed, so a fast line does
// not flood the dialog thread. Texts are CP932; names pass unchanged.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>


namespace tessaril::link {

struct Session;

constexpr int64_t PROGRESS_INTERVAL_MS = 250;  // four updates a second at most

struct TransferProgress {
  Session* session = nullptr;  // null until the transfer began to show progress
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

// Reports the beginning, with 0 bytes moved.
void begin_progress(TransferProgress& p, Session& s, bool sending, std::string_view name, int64_t size);
// Reports the bytes moved, unless the last update is younger than the interval.
void update_progress(TransferProgress& p, int64_t bytes);
// Reports the end; does nothing when no progress was shown.
void end_progress(TransferProgress& p);

}  // namespace tessaril::link

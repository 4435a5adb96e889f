// The progress of a Kermit transfer in the command dialog's caption.
//
// How it works: a transfer reports its progress to the session's observers:
// the direction, the file name and the bytes moved against the size. Begin
// says a transfer started; nothing shows yet. The figure shows from the
// first data packet on ("<caption> ― sending CAL_DATA.XML 12,288 / 65,536
// bytes (18%)", progress_caption), so a transfer refused before its data
// (a name or attributes the other side would not take) shows none. An update
// goes out at most every PROGRESS_INTERVAL_MS and only when the figure
// changed, so a fast line does not flood the dialog thread. A transfer that
// succeeded shows its whole size once; one that is asked to quit shows
// "stopping…" from the moment its thread takes the request until it ends. End
// puts the caption back. The figure never shows more than the size, nor more
// than 100 %, whatever the engine counted. Texts are CP932; names pass
// unchanged.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tessaril::link {

struct Session;

constexpr int64_t PROGRESS_INTERVAL_MS = 250;  // four updates a second at most

struct TransferProgress {
  Session* session = nullptr;  // null until the transfer began
  std::string name;
  bool sending = true;
  int64_t size = 0;
  int64_t shown_bytes = -1;  // the figure on show; -1 while none is
  int64_t shown_at = 0;      // monotonic ms of the last update
};

// The caption for `bytes` of `size` moved, bytes held to the size. The
// percentage is left out when the size is not known (0 or less).
std::string progress_caption(std::string_view original, bool sending, std::string_view name, int64_t bytes,
                             int64_t size);
// The caption while a transfer is being stopped.
std::string stopping_caption(std::string_view original);

// Reports the beginning; nothing is shown yet.
void begin_progress(TransferProgress& p, Session& s, bool sending, std::string_view name, int64_t size);
// Reports the bytes moved: at once the first time, then unless the last
// update is younger than the interval.
void update_progress(TransferProgress& p, int64_t bytes);
// Reports the whole size moved, at once.
void complete_progress(TransferProgress& p);
// Reports that the transfer is being stopped.
void stopping_progress(TransferProgress& p);
// Reports the end of a transfer that began; once.
void end_progress(TransferProgress& p);

}  // namespace tessaril::link

#include "link/transfer_progress.h"

#include <algorithm>

#include "link/session.h"
#include "platform/clock.h"

namespace tessaril::link {

namespace {

// 65536 -> "65,536".
std::string grouped(int64_t n) {
  std::string digits = std::to_string(n < 0 ? -n : n);
  std::string out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return n < 0 ? "-" + out : out;
}

// " ― " in CP932: the dash is 0x81 0x5C, which is U+2015 in Windows' table
// (the em dash U+2014 has no form there and came out as '?').
constexpr const char* DASH = " \x81\x5C ";
// "…" in CP932.
constexpr const char* ELLIPSIS = "\x81\x63";

void report(TransferProgress& p, ProgressPhase phase, int64_t bytes) {
  p.session->report_progress({phase, p.sending, p.name, bytes, p.size});
}

void show(TransferProgress& p, int64_t bytes) {
  p.shown_bytes = bytes;
  p.shown_at = platform::monotonic_ms();
  report(p, ProgressPhase::Update, bytes);
}

}  // namespace

std::string progress_caption(std::string_view original, bool sending, std::string_view name, int64_t bytes,
                             int64_t size) {
  // A peer that sends more than it announced, or an engine that counts a
  // name, must not make the figure pass the size.
  if (size >= 0) bytes = std::clamp<int64_t>(bytes, 0, size);
  std::string text(original);
  text += DASH;
  text += sending ? "sending " : "receiving ";
  text += name;
  text += ' ' + grouped(bytes) + " / " + grouped(size) + " bytes";
  if (size > 0) text += " (" + std::to_string(bytes * 100 / size) + "%)";
  return text;
}

std::string stopping_caption(std::string_view original) {
  return std::string(original) + DASH + "stopping" + ELLIPSIS;
}

void begin_progress(TransferProgress& p, Session& s, bool sending, std::string_view name, int64_t size) {
  p.session = &s;
  p.name.assign(name);
  p.sending = sending;
  p.size = size;
  p.shown_bytes = -1;
  report(p, ProgressPhase::Begin, 0);
}

void update_progress(TransferProgress& p, int64_t bytes) {
  if (!p.session || bytes == p.shown_bytes) return;
  if (p.shown_bytes >= 0 && platform::monotonic_ms() - p.shown_at < PROGRESS_INTERVAL_MS) return;
  show(p, bytes);
}

void complete_progress(TransferProgress& p) {
  if (p.session) show(p, p.size);
}

void stopping_progress(TransferProgress& p) {
  if (p.session) report(p, ProgressPhase::Stopping, p.shown_bytes);
}

void end_progress(TransferProgress& p) {
  if (!p.session) return;
  report(p, ProgressPhase::End, p.shown_bytes);
  p.session = nullptr;
}

}  // namespace tessaril::link

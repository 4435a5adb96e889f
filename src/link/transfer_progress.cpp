#include "link/transfer_progress.h"

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

}  // namespace

std::string progress_caption(std::string_view original, bool sending, std::string_view name, int64_t bytes,
                             int64_t size) {
  std::string text(original);
  text += DASH;
  text += sending ? "sending " : "receiving ";
  text += name;
  text += ' ' + grouped(bytes) + " / " + grouped(size) + " bytes";
  if (size > 0) text += " (" + std::to_string(bytes * 100 / size) + "%)";
  return text;
}

void begin_progress(TransferProgress& p, Session& s, bool sending, std::string_view name, int64_t size) {
  p.session = &s;
  p.name.assign(name);
  p.sending = sending;
  p.size = size;
  p.shown_bytes = 0;
  p.shown_at = platform::monotonic_ms();
  s.report_progress({ProgressPhase::Begin, p.sending, p.name, 0, p.size});
}

void update_progress(TransferProgress& p, int64_t bytes) {
  if (!p.session || bytes == p.shown_bytes) return;
  const int64_t now = platform::monotonic_ms();
  if (now - p.shown_at < PROGRESS_INTERVAL_MS) return;
  p.shown_bytes = bytes;
  p.shown_at = now;
  p.session->report_progress({ProgressPhase::Update, p.sending, p.name, bytes, p.size});
}

void end_progress(TransferProgress& p) {
  if (!p.session || p.shown_bytes < 0) return;
  p.session->report_progress({ProgressPhase::End, p.sending, p.name, p.shown_bytes, p.size});
  p.shown_bytes = -1;
}

}  // namespace tessaril::link

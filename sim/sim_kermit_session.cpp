#include "sim_kermit_session.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "link/frame_codec.h"
#include "platform/clock.h"

namespace tessaril::sim {

namespace {

using peer::Bytes;

void print_hex(const char* prefix, const uint8_t* bytes, size_t count) {
  std::printf("%s", prefix);
  for (size_t i = 0; i < count; ++i) std::printf(" %02X", bytes[i]);
  std::printf("\n");
}

struct Session {
  Line& line;
  bool verbose;
  peer::Peer peer;
  Bytes watch;  // the host's bytes since the last END
  TransferEnd end;
  bool frame_came = false;

  void flush() {
    if (peer.out.empty()) return;
    if (!write_line(line, peer.out.data(), static_cast<int>(peer.out.size())))
      std::fprintf(stderr, "tessaril-bucsim: write failed\n");
    if (verbose) print_hex("k>", peer.out.data(), peer.out.size());
    peer.out.clear();
  }

  // Takes the host's bytes; stops at a command frame and keeps what follows.
  void take(const uint8_t* bytes, size_t count) {
    if (verbose && count) print_hex("k<", bytes, count);
    size_t i = 0;
    while (i < count) {
      const uint8_t* end_code = std::find(bytes + i, bytes + count, link::END);
      const size_t n = static_cast<size_t>(end_code - (bytes + i)) + (end_code < bytes + count ? 1 : 0);
      peer::peer_feed(peer, bytes + i, n, platform::monotonic_ms());
      flush();
      watch.insert(watch.end(), bytes + i, bytes + i + n);
      i += n;
      if (watch.back() != link::END) continue;
      const int at = find_frame(watch);
      if (at >= 0) {
        end.frame.assign(watch.begin() + at, watch.end());
        end.rest.assign(bytes + i, bytes + count);
        frame_came = true;
        peer::peer_abandon(peer, "a command frame came");
        return;
      }
      watch.clear();
    }
    if (watch.size() > link::FRAME_ENC_MAX) watch.erase(watch.begin(), watch.end() - static_cast<std::ptrdiff_t>(link::FRAME_ENC_MAX));
  }
};

}  // namespace

int find_frame(const Bytes& watch) {
  Bytes frame(watch.size());
  for (size_t at = 0; at + link::FRAME_OVERHEAD <= watch.size(); ++at) {
    const size_t n = link::rfc1055_decode(watch.data() + at, watch.size() - at, frame.data());
    if (n < link::FRAME_OVERHEAD) break;  // shorter still from later offsets
    const size_t data_len = static_cast<size_t>(frame[4] << 8 | frame[5]);
    if (n == data_len + link::FRAME_OVERHEAD && link::frame_crc_ok(frame.data(), n)) return static_cast<int>(at);
  }
  return -1;
}

void split_announcement(const std::string& text, std::string& name, int64_t& size) {
  const size_t comma = text.rfind(',');
  name = text.substr(0, comma);
  size = -1;
  if (comma == std::string::npos || comma + 1 >= text.size()) return;
  char* end = nullptr;
  const long long v = std::strtoll(text.c_str() + comma + 1, &end, 10);
  if (*end == '\0' && v >= 0) size = v;
}

TransferEnd run_transfer(Line& line, const peer::PeerSetup& setup, const Bytes& initial, const Bytes& lead,
                         bool verbose, const volatile std::sig_atomic_t& stop) {
  Session s{line, verbose, {}, {}, {}, false};
  peer::peer_start(s.peer, setup, platform::monotonic_ms());
  if (!lead.empty()) {
    peer::peer_tick(s.peer, platform::monotonic_ms());
    s.peer.out.insert(s.peer.out.begin(), lead.begin(), lead.end());
  }
  s.flush();
  s.take(initial.data(), initial.size());
  int64_t last_input = platform::monotonic_ms();
  int64_t ended_at = -1;
  uint8_t buffer[1024];
  while (!stop && !s.frame_came) {
    const int64_t now = platform::monotonic_ms();
    const bool done = peer::peer_done(s.peer);
    if (done && ended_at < 0) ended_at = now;
    const int64_t linger_end =
        std::max(last_input + LINGER_MS, s.peer.ended_on_b ? ended_at + B_LINGER_MS : int64_t{0});
    if (done && now >= linger_end) break;
    const int64_t until = done ? linger_end : std::min(peer::peer_deadline(s.peer), now + 50);
    const int n = read_line(line, buffer, static_cast<int>(sizeof buffer), static_cast<int>(std::max<int64_t>(until - now, 0)));
    if (n < 0) {
      peer::peer_abandon(s.peer, "the line failed");
      break;
    }
    if (n > 0) {
      pace_read(line, n);
      last_input = platform::monotonic_ms();
      s.take(buffer, static_cast<size_t>(n));
    }
    peer::peer_tick(s.peer, platform::monotonic_ms());
    s.flush();
  }
  if (!peer::peer_done(s.peer)) peer::peer_abandon(s.peer, "the simulator was stopped");
  s.end.report = peer::peer_report(s.peer);
  return s.end;
}

}  // namespace tessaril::sim

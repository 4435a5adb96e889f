// tessaril-bucsim: a BUC on a pseudo-terminal (Linux) or a real serial line.
#include <csignal>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "link/frame_codec.h"
#include "platform/clock.h"
#include "sim_buc.h"
#include "sim_kermit_session.h"
#include "sim_line.h"
#include "sim_options.h"

namespace {

volatile std::sig_atomic_t stop_requested = 0;
void on_signal(int) { stop_requested = 1; }

using tessaril::sim::Bytes;

void print_hex(const char* prefix, const Bytes& bytes) {
  std::printf("%s", prefix);
  for (uint8_t b : bytes) std::printf(" %02X", b);
  std::printf("\n");
}

// The answer as it goes out, repeats included.
Bytes answer_bytes(const tessaril::sim::Reply& reply) {
  Bytes all;
  for (int i = 0; i < reply.repeat; ++i) all.insert(all.end(), reply.wire.begin(), reply.wire.end());
  return all;
}

// Answers one frame as the host sent it (still encoded); returns the answer,
// which tells whether a Kermit transfer follows. A transfer whose settings
// want its first packet in the same write as the answer holds the answer
// back: `settings` then says so, and the transfer writes it.
tessaril::sim::Reply serve_frame(tessaril::sim::Line& line, tessaril::sim::BucState& state, const Bytes& wire,
                                 const tessaril::sim::Options& options, tessaril::sim::KermitSettings& settings) {
  Bytes frame(wire.size());
  frame.resize(tessaril::link::rfc1055_decode(wire.data(), wire.size(), frame.data()));
  tessaril::sim::Reply reply = tessaril::sim::answer_frame(state, frame);
  if (reply.transfer) settings = tessaril::sim::take_transfer_settings(state.scenario);
  if (options.verbose) print_hex("<", wire);
  if (!options.quiet) std::printf("%s\n", reply.note.c_str());
  const bool held = reply.transfer == 0x0C && settings.with_answer && !settings.off;
  if (!reply.wire.empty()) {
    tessaril::platform::sleep_ms(reply.delay_ms);
    for (int i = 0; i < reply.repeat && !held; ++i) {
      if (i > 0) tessaril::platform::sleep_ms(reply.repeat_gap_ms);
      if (!tessaril::sim::write_line(line, reply.wire.data(), static_cast<int>(reply.wire.size())))
        std::fprintf(stderr, "tessaril-bucsim: write failed\n");
      if (options.verbose) print_hex(">", reply.wire);
    }
  }
  std::fflush(stdout);
  return reply;
}

// Runs the Kermit transfer that follows an answer to 0x0A or 0x0C. `rest`
// holds bytes already read after the frame; what comes back goes on to be
// answered as frames.
Bytes serve_transfer(tessaril::sim::Line& line, const tessaril::sim::BucState& state, const tessaril::sim::Reply& reply,
                     const tessaril::sim::KermitSettings& settings, const Bytes& rest,
                     const tessaril::sim::Options& options) {
  using namespace tessaril::sim;
  peer::PeerSetup setup;
  setup.settings = settings;
  if (setup.settings.off) {
    if (!options.quiet) std::printf("kermit: no transfer (scenario)\n");
    std::fflush(stdout);
    return rest;
  }
  setup.role = reply.transfer == 0x0A ? peer::Role::Receive : peer::Role::Send;
  setup.folder = state.folder;
  split_announcement(reply.transfer_text, setup.file, setup.announced_size);
  const Bytes lead = setup.role == peer::Role::Send && settings.with_answer ? answer_bytes(reply) : Bytes{};
  TransferEnd end = run_transfer(line, setup, rest, lead, options.verbose, stop_requested);
  if (!options.quiet) std::printf("%s\n", end.report.c_str());
  std::fflush(stdout);
  end.frame.insert(end.frame.end(), end.rest.begin(), end.rest.end());
  return end.frame;
}

}  // namespace

namespace {

// Kermit bytes reach the frame side when the host goes on with a transfer
// the device has left: its cancel sequence 0x03 0x03 0x03 after a time-out,
// a repeated packet, a NAK. They are no part of a frame. The frame the host
// sends next arrives behind them and is taken without them; Kermit packets
// alone are let go without an answer. A frame of this host never looks like a
// packet: its second byte, the status, is 0, and a packet's LEN is 35 or more.
void drop_stray_kermit(Bytes& pending, const tessaril::sim::Options& options) {
  const int at = tessaril::sim::find_frame(pending);
  if (at <= 0) return;
  if (options.verbose) print_hex("k< (before a frame, ignored)", Bytes(pending.begin(), pending.begin() + at));
  pending.erase(pending.begin(), pending.begin() + at);
}

bool kermit_bytes(const Bytes& pending) { return pending.size() >= 2 && pending[0] == 0x01 && pending[1] >= 35; }

}  // namespace

int main(int argc, char** argv) {
  using namespace tessaril::sim;
  Options options;
  std::string error;
  if (!parse_options(argc, argv, options, error)) {
    std::fprintf(stderr, "tessaril-bucsim: %s\n\n%s", error.c_str(), usage_text);
    return 2;
  }
  if (options.help) {
    std::fputs(usage_text, stdout);
    return 0;
  }
  BucState state;
  state.folder = options.folder;
  if (!options.scenario.empty()) {
    std::ifstream in(options.scenario, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    if (!in || !parse_scenario(text.str(), state.scenario, error)) {
      std::fprintf(stderr, "tessaril-bucsim: %s: %s\n", options.scenario.c_str(),
                   in ? error.c_str() : "cannot read the file");
      return 2;
    }
  }
  Line line;
  bool opened = options.device.empty() ? open_pty_line(line, error)
                                       : open_device_line(line, options.device, options.baud ? options.baud : 38400, error);
  // A link goes to the line: the pseudo-terminal, or the device (Linux only).
  if (opened && !options.link.empty()) opened = make_line_link(line, options.link, error);
  if (!opened) {
    std::fprintf(stderr, "tessaril-bucsim: %s\n", error.c_str());
    close_line(line);
    return 1;
  }
  if (options.device.empty()) line.pace_baud = options.baud;
  std::signal(SIGINT, on_signal);
  std::signal(SIGTERM, on_signal);
#ifdef SIGPIPE
  // A reader of our output that went away must not end the device.
  std::signal(SIGPIPE, SIG_IGN);
#endif
  std::printf("tessaril-bucsim: playing the BUC on %s", line.path.c_str());
  if (!line.link.empty()) std::printf(" (link %s)", line.link.c_str());
  std::printf("\n");
  std::fflush(stdout);

  // Host frames have no leading END and end with a raw END (0xC0); an END
  // inside a frame is always escaped. A frame whose END never comes ends
  // after a quiet gap.
  // A Kermit transfer takes over the line after its answer and hands back
  // the bytes it did not take, which are answered as frames again.
  Bytes pending, queue;
  int64_t last_byte = 0;
  uint8_t buffer[1024];
  while (!stop_requested) {
    int n = read_line(line, buffer, static_cast<int>(sizeof buffer), 20);
    if (n < 0) {
      tessaril::platform::sleep_ms(50);  // a failing line must not spin
      continue;
    }
    if (n > 0) last_byte = tessaril::platform::monotonic_ms();
    queue.assign(buffer, buffer + n);
    for (size_t i = 0; i < queue.size() && !stop_requested;) {
      pending.push_back(queue[i++]);
      if (pending.back() != tessaril::link::END) continue;
      drop_stray_kermit(pending, options);
      KermitSettings settings;
      const Reply reply = serve_frame(line, state, pending, options, settings);
      pending.clear();
      if (reply.transfer) {
        queue = serve_transfer(line, state, reply, settings,
                               Bytes(queue.begin() + static_cast<std::ptrdiff_t>(i), queue.end()), options);
        i = 0;
        last_byte = tessaril::platform::monotonic_ms();
      }
    }
    if (!pending.empty() && tessaril::platform::monotonic_ms() - last_byte >= options.gap_ms) {
      if (kermit_bytes(pending)) {
        if (options.verbose) print_hex("k< (outside a transfer, ignored)", pending);
      } else {
        KermitSettings unused;
        serve_frame(line, state, pending, options, unused);
      }
      pending.clear();
    }
  }
  close_line(line);
  return 0;
}

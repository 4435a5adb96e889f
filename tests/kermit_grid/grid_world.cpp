#include "grid_world.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <memory>
#include <random>
#include <utility>
#include <vector>

#include "kermit/kermit_files.h"
#include "kermit/kermit_line.h"
#include "kermit/kermit_setup.h"
#include "kermit/kermit_state.h"
#include "link/kermit_transfer.h"
#include "platform/files.h"
#include "sim/sim_kermit_peer.h"
#include "support/temp_folder.h"

namespace tessaril::kermit::grid {

namespace {

namespace peer = sim::peer;

constexpr int64_t BYTE_US = 260;                  // 10 bits at 38 400 baud
constexpr int64_t READ_TIMEOUT_US = 300'000;      // a one-byte read: 150 x 1 + 150 ms
constexpr int64_t SILENT_READ_PAUSE_US = 20'000;  // receiving, after a silent read
constexpr int64_t FAILURE_PAUSE_US = 100'000;     // after the engine failed on a packet
constexpr int64_t AFTERMATH_US = 60'000'000;      // the device's own time-outs once the host has ended
constexpr int64_t MAX_DELAY_US = 2'500'000;
constexpr int64_t MAX_STALL_US = 6'000'000;

using Bytes = std::vector<uint8_t>;

struct Wire {
  std::deque<std::pair<int64_t, uint8_t>> bytes;  // arrival time (us), byte
  int64_t free_at = 0;                            // the last byte's arrival
};

struct World {
  const TransferPlan* plan = nullptr;
  std::mt19937_64 rng;
  int64_t now = 0;  // us
  Wire to_device, to_host;
  peer::Peer device;
  int64_t device_stalled_until = 0;
  int stall_at = -1;  // the host packet after which the device stalls
  int host_packets = 0;
  int64_t line_bytes = 0;
  int damaged = 0;
  int blind_to_check2 = 0;
};

World* world = nullptr;  // what the host's line callbacks work on

void write_file(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool chance(World& w, double p) { return p > 0 && std::uniform_real_distribution<double>(0, 1)(w.rng) < p; }
int64_t uniform(World& w, int64_t low, int64_t high) { return std::uniform_int_distribution<int64_t>(low, high)(w.rng); }

// Damage that a 12-bit sum cannot see: the length, the framing and the two
// check characters untouched, and byte changes that cancel modulo 4096.
bool blind_to_sum(const Bytes& sent, const Bytes& got) {
  if (sent.size() != got.size() || sent.size() < 6 || sent == got) return false;
  const size_t check_at = sent.size() - 3;
  int64_t change = 0;
  for (size_t i = 0; i < sent.size(); ++i) {
    if (i >= 1 && i < check_at) {
      change += int64_t{got[i]} - int64_t{sent[i]};
    } else if (got[i] != sent[i]) {
      return false;
    }
  }
  return change % 4096 == 0;
}

// One packet, as its writer wrote it, onto a wire through the faults.
void put_on_wire(World& w, Wire& wire, Bytes packet) {
  const Faults& f = w.plan->faults;
  w.line_bytes += static_cast<int64_t>(packet.size());
  if (packet.empty() || chance(w, f.drop)) return;
  if (packet.size() > 3 && packet[3] == 'Y' && chance(w, f.lose_ack)) return;
  int64_t at = std::max(w.now, wire.free_at);
  if (chance(w, f.delay)) at += uniform(w, 100'000, MAX_DELAY_US);
  const Bytes sent = packet;
  Bytes noise;
  if (chance(w, f.burst)) {
    const int64_t length = uniform(w, 2, 24);
    if (w.rng() & 1) {
      for (int64_t i = 0; i < length; ++i) noise.push_back(static_cast<uint8_t>(w.rng()));
    } else {
      const size_t from = static_cast<size_t>(uniform(w, 0, static_cast<int64_t>(packet.size()) - 1));
      const size_t to = std::min(packet.size(), from + static_cast<size_t>(length));
      for (size_t i = from; i < to; ++i) packet[i] = static_cast<uint8_t>(w.rng());
    }
  }
  if (f.byte_error > 0) {
    for (uint8_t& b : packet)
      if (chance(w, f.byte_error)) b = static_cast<uint8_t>(b ^ uniform(w, 1, 255));
  }
  if (packet != sent) ++w.damaged;
  // The send-init exchange and error packets travel with check 1.
  if (w.plan->check == 2 && blind_to_sum(sent, packet) && sent[3] != 'S' && sent[3] != 'E') ++w.blind_to_check2;
  const int copies = chance(w, f.duplicate) ? 2 : 1;
  auto emit = [&](uint8_t b) {
    at += BYTE_US;
    wire.bytes.emplace_back(at, b);
  };
  for (uint8_t b : noise) emit(b);
  for (int c = 0; c < copies; ++c)
    for (uint8_t b : packet) emit(b);
  wire.free_at = at;
}

// The device's output, packet by packet (each starts with its SOH).
void flush_device(World& w) {
  Bytes& out = w.device.out;
  size_t start = 0;
  for (size_t i = 1; i <= out.size(); ++i) {
    if (i == out.size() || out[i] == peer::SOH) {
      put_on_wire(w, w.to_host, Bytes(out.begin() + static_cast<long>(start), out.begin() + static_cast<long>(i)));
      start = i;
    }
  }
  out.clear();
}

// When the device next has something to do: a byte reaches it, or its deadline.
int64_t device_next(const World& w) {
  int64_t next = w.to_device.bytes.empty() ? INT64_MAX : w.to_device.bytes.front().first;
  const int64_t deadline = peer::peer_deadline(w.device);
  if (deadline != INT64_MAX) next = std::min(next, deadline * 1000);
  return next == INT64_MAX ? next : std::max(next, w.device_stalled_until);
}

void device_step(World& w) {
  const int64_t ms = w.now / 1000;
  Bytes in;
  while (!w.to_device.bytes.empty() && w.to_device.bytes.front().first <= w.now) {
    in.push_back(w.to_device.bytes.front().second);
    w.to_device.bytes.pop_front();
  }
  if (!in.empty()) peer::peer_feed(w.device, in.data(), in.size(), ms);
  peer::peer_tick(w.device, ms);
  flush_device(w);
}

// Lets the device act on everything up to time t, then sets the clock to t.
void run_device_until(World& w, int64_t t) {
  int spins = 0;
  int64_t last = -1;
  for (int64_t next = device_next(w); next <= t; next = device_next(w)) {
    w.now = std::max(w.now, next);
    // A deadline that never moves on would hold the clock still for ever.
    spins = w.now == last ? spins + 1 : 0;
    last = w.now;
    if (spins > 100000) {
      std::fprintf(stderr, "the device is stuck at %lld us: %s\n", static_cast<long long>(w.now),
                   peer::peer_report(w.device).c_str());
      std::abort();
    }
    device_step(w);
  }
  w.now = std::max(w.now, t);
}

int grid_readpkt(KermitState* k, char* buf, int /*len*/) {
  World& w = *world;
  PacketReader reader;
  for (;;) {
    const int64_t give_up = w.now + READ_TIMEOUT_US;
    while (w.to_host.bytes.empty() || w.to_host.bytes.front().first > w.now) {
      const int64_t next =
          std::min(device_next(w), w.to_host.bytes.empty() ? INT64_MAX : w.to_host.bytes.front().first);
      if (next > give_up) {
        run_device_until(w, give_up);
        return -2;
      }
      run_device_until(w, next);
    }
    const uint8_t byte = w.to_host.bytes.front().second;
    w.to_host.bytes.pop_front();
    const int result = feed_packet_byte(k, &reader, byte, buf);
    if (result != READ_GO_ON) return result;
  }
}

// The real size; a fixed date, so that a seed always puts the same bytes on the line.
int64_t grid_query_file(KermitState* k, const char* name, char* date, int size, int type, int mode) {
  const int64_t bytes = query_file(k, name, date, size, type, mode);
  if (bytes >= 0) std::snprintf(date, static_cast<size_t>(size), "20250101 12:00:00");
  return bytes;
}

int grid_tx_data(KermitState* /*k*/, const char* bytes, int count) {
  if (count <= 0) return 0;
  World& w = *world;
  put_on_wire(w, w.to_device, Bytes(bytes, bytes + count));
  if (++w.host_packets == w.stall_at) w.device_stalled_until = w.now + uniform(w, 500'000, MAX_STALL_US);
  return 0;
}

enum class LoopEnd { Finished, Silence, ReadFailed, Stalled, Unbounded };

const char* end_word(LoopEnd end) {
  switch (end) {
    case LoopEnd::Finished: return "finished";
    case LoopEnd::Silence: return "silence";
    case LoopEnd::ReadFailed: return "read failed";
    case LoopEnd::Stalled: return "stalled";
    case LoopEnd::Unbounded: return "unbounded";
  }
  return "?";
}

// Where the engine stands; a packet that changes none of it moved nothing.
struct Mark {
  int16_t state, send_seq, recv_seq;
  int64_t bytes;
  bool operator==(const Mark&) const = default;
};

Mark mark_of(const KermitState& k, const KermitResult& r) { return {k.state, k.send_seq, k.recv_seq, r.bytes_done}; }

struct Host {
  KermitState k;
  KermitResult r;
  KermitBuffers b;
  bool engine_failed = false;
};

// The link's packet loop, on the virtual clock.
LoopEnd packet_loop(World& w, Host& h, bool sending, int64_t bound_us) {
  int empty_reads = 0;
  int stalled = 0;
  Mark last = mark_of(h.k, h.r);
  for (;;) {
    if (w.now > bound_us) return LoopEnd::Unbounded;
    int slot = -1;
    char* buffer = rslot_get(&h.k, &slot);
    if (!buffer) return LoopEnd::ReadFailed;
    const int n = h.k.readpkt(&h.k, buffer, MAX_PACKET);
    if (n < 0) {
      rslot_free(&h.k, slot);
      if (n != -2) return LoopEnd::ReadFailed;
      if (empty_reads >= w.plan->tmo_count) return LoopEnd::Silence;
      ++empty_reads;
      if (!sending) run_device_until(w, w.now + SILENT_READ_PAUSE_US);
      continue;
    }
    empty_reads = 0;
    const int result = kermit_engine(KA_PACKET, &h.k, slot, n, "", &h.r);
    if (result == KR_DONE) return LoopEnd::Finished;
    if (result == KR_FAIL) {
      h.engine_failed = true;
      run_device_until(w, w.now + FAILURE_PAUSE_US);
    }
    const Mark now = mark_of(h.k, h.r);
    if (now == last) {
      if (++stalled >= link::STALL_PACKETS) return LoopEnd::Stalled;
    } else {
      stalled = 0;
      last = now;
    }
  }
}

// The link's verdict on a finished transfer: every byte moved, the file
// complete at the other end (receiving: in place, with the announced size),
// the name the one asked for.
bool host_reports_success(const Host& h, LoopEnd end, bool sending, int64_t size, const std::string& name) {
  if (end != LoopEnd::Finished || h.engine_failed) return false;
  const KermitResult& r = h.r;
  if (r.file_outcome != KO_COMPLETE || r.filesize != size || r.bytes_done != size) return false;
  if (!sending && platform::file_size(r.file_name) != size) return false;
  return r.file_name == name;
}

// The longest a transfer may run: between two moves of the engine the link
// takes at most STALL_PACKETS packets, each within tmo_count + 1 silent reads
// (and the pauses), and a file needs at most one move per packet both ways;
// the packets are counted at three characters a byte in the smallest data
// field. Delays and the one stall come on top.
int64_t bound_us(const TransferPlan& s) {
  const bool sending = s.direction == Direction::HostSends;
  const int maxl = sending ? s.device.maxl : MAX_PACKET;
  const int64_t field = std::max(1, maxl - s.check - 3);
  const int64_t packets = 8 + (3 * static_cast<int64_t>(s.content.size()) + field - 1) / field;
  const int64_t between_moves =
      link::STALL_PACKETS * ((s.tmo_count + 1) * (READ_TIMEOUT_US + SILENT_READ_PAUSE_US) + FAILURE_PAUSE_US);
  return 2 * packets * between_moves + MAX_DELAY_US + MAX_STALL_US + s.device.delay_ms * 1000;
}

}  // namespace

TransferOutcome run_transfer(const TransferPlan& plan, const Folders& folders) {
  const bool sending = plan.direction == Direction::HostSends;
  const int64_t size = static_cast<int64_t>(plan.content.size());
  const std::string destination = (sending ? folders.device : folders.host) + "/" + plan.name;
  platform::remove_file(destination);
  platform::remove_file(destination + PARTIAL_SUFFIX);
  const std::string source = sending ? folders.source + "/c.gz" : folders.device + "/" + plan.name;
  write_file(source, plan.content);

  World w;
  w.plan = &plan;
  w.rng.seed(plan.seed);
  if (plan.faults.stall) w.stall_at = static_cast<int>(uniform(w, 1, 8 + size / 60));
  world = &w;

  peer::PeerSetup setup;
  setup.role = sending ? peer::Role::Receive : peer::Role::Send;
  setup.folder = folders.device;
  setup.file = plan.name;
  setup.announced_size = sending ? size : -1;
  setup.settings = plan.device;
  setup.settings.check = plan.check;
  peer::peer_start(w.device, setup, 0);

  auto host = std::make_unique<Host>();
  prepare_kermit(&host->k, &host->r, &host->b, plan.name.c_str(), sending ? source.c_str() : "", 1);
  if (!sending) host->k.expected_size = size;  // what the device announced, as the link sets it
  host->k.readpkt = grid_readpkt;
  host->k.tx_data = grid_tx_data;
  host->k.query_file = grid_query_file;
  host->k.bct = static_cast<int16_t>(plan.check);  // the check proposed

  TransferOutcome out;
  out.bound_ms = bound_us(plan) / 1000;
  LoopEnd end = LoopEnd::ReadFailed;
  if (!sending || kermit_engine(KA_SEND, &host->k, 0, 0, "", &host->r) == KR_OK)
    end = packet_loop(w, *host, sending, bound_us(plan));
  const bool success = host_reports_success(*host, end, sending, size, plan.name);
  // The link's end of every transfer: the file closed as a discard; a
  // receive that ran out of time tells the device with the cancel sequence.
  closefile(&host->k, 'D', sending ? 1 : 2);
  if (!sending && (end == LoopEnd::Silence || end == LoopEnd::Stalled)) put_on_wire(w, w.to_device, {3, 3, 3});
  out.duration_ms = w.now / 1000;
  out.host_end = end_word(end);

  // The device finishes on its own time-outs.
  const int64_t until = w.now + AFTERMATH_US;
  while (!peer::peer_done(w.device) && device_next(w) <= until) run_device_until(w, device_next(w));
  if (!peer::peer_done(w.device)) peer::peer_abandon(w.device, "the grid ended it");
  out.peer_report = peer::peer_report(w.device);
  out.line_bytes = w.line_bytes;
  out.damaged_packets = w.damaged;
  out.blind_to_check2 = w.blind_to_check2;
  world = nullptr;

  out.host_success = success;
  out.arrived_size = platform::file_size(destination);
  out.arrived = out.arrived_size >= 0 && test::TempFolder::read(destination) == plan.content;
  const bool device_says_stored = sending && w.device.outcome == peer::Outcome::Complete;
  if (end == LoopEnd::Unbounded) {
    out.verdict = Verdict::Unbounded;
  } else if ((success || out.arrived_size >= 0 || device_says_stored) && !out.arrived) {
    out.verdict = Verdict::FalseSuccess;
  } else {
    out.verdict = success ? Verdict::Success : Verdict::CleanFailure;
  }
  return out;
}

}  // namespace tessaril::kermit::grid

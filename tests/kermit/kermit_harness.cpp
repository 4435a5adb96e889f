#include "kermit_harness.h"

#include <algorithm>
#include <cstring>

#include "kermit/kermit_line.h"
#include "kermit/kermit_packet.h"

namespace tessaril::kermit::test {

MemoryLine* current_line = nullptr;

namespace {

bool chance(MemoryLine& line, int per_mille) {
  if (per_mille <= 0) return false;
  return static_cast<int>(line.rng() % 1000) < per_mille;
}

size_t pick(MemoryLine& line, size_t n) { return n == 0 ? 0 : line.rng() % n; }

// Packets that always travel with block check 1: the send-init, its
// acknowledgement and error packets.
bool sent_with_check1(const std::vector<uint8_t>& p) {
  if (p.size() < 4) return true;
  return p[3] == 'S' || p[3] == 'E' || (p[3] == 'Y' && p[2] == ' ');
}

void damage(MemoryLine& line, std::vector<uint8_t>& p) {
  const LineFaults& f = line.faults;
  if (chance(line, f.bit_flip)) p[pick(line, p.size())] ^= static_cast<uint8_t>(1u << pick(line, 8));
  if (chance(line, f.insert)) p.insert(p.begin() + static_cast<long>(pick(line, p.size() + 1)), static_cast<uint8_t>(line.rng()));
  if (chance(line, f.remove) && !p.empty()) p.erase(p.begin() + static_cast<long>(pick(line, p.size())));
  if (chance(line, f.substitute) && !sent_with_check1(p)) {
    size_t at = pick(line, p.size());
    uint8_t old = p[at];
    do p[at] = static_cast<uint8_t>(line.rng()); while (p[at] == old);
  }
}

}  // namespace

void MemoryLine::push(int to_port, const std::string& bytes) {
  for (char c : bytes) queue[to_port].push_back(static_cast<uint8_t>(c));
}

int mem_tx_data(KermitState* k, const char* bytes, int count) {
  MemoryLine& line = *current_line;
  const int from = k->port;
  const int to = from == 1 ? 2 : 1;
  line.sent[from].emplace_back(bytes, static_cast<size_t>(count));
  if (line.fail_writes_after >= 0 && line.writes >= line.fail_writes_after) return -1;
  ++line.writes;
  std::vector<uint8_t> p(bytes, bytes + count);
  if (chance(line, line.faults.drop)) return 0;
  damage(line, p);
  if (chance(line, line.faults.delay)) {
    line.held[to].push_back(p);
    return 0;
  }
  int copies = chance(line, line.faults.duplicate) ? 2 : 1;
  for (int i = 0; i < copies; ++i) line.queue[to].insert(line.queue[to].end(), p.begin(), p.end());
  return 0;
}

int mem_readpkt(KermitState* k, char* buf, int /*len*/) {
  MemoryLine& line = *current_line;
  auto& q = line.queue[k->port];
  PacketReader reader;
  for (;;) {
    if (q.empty()) {
      // Silence: what was held back arrives now, after the reader timed out.
      auto& held = line.held[k->port];
      for (auto& p : held) q.insert(q.end(), p.begin(), p.end());
      held.clear();
      return -2;
    }
    uint8_t byte = q.front();
    q.pop_front();
    int result = feed_packet_byte(k, &reader, byte, buf);
    if (result != READ_GO_ON) return result;
  }
}

std::unique_ptr<Engine> make_engine(int port, const char* name, const char* full_path) {
  auto e = std::make_unique<Engine>();
  prepare_kermit(&e->k, &e->r, &e->b, name, full_path, port);
  e->k.tx_data = mem_tx_data;
  e->k.readpkt = mem_readpkt;
  return e;
}

std::string build_packet(char type, int seq, const std::string& data, int chk) {
  MemoryLine scratch;
  MemoryLine* saved = current_line;
  current_line = &scratch;
  auto peer = std::make_unique<KermitState>();
  init_crc_tables(peer.get());
  peer->tx_data = mem_tx_data;
  peer->port = 1;
  peer->bct = static_cast<int16_t>(chk);
  spkt(type, seq, static_cast<int>(data.size()), data.data(), peer.get());
  current_line = saved;
  return scratch.sent[1].back();
}

int deliver_body(Engine& e, const std::string& body) {
  int slot = -1;
  char* buf = rslot_get(&e.k, &slot);
  if (!buf) return KR_NOSLOT;
  size_t n = std::min(body.size(), static_cast<size_t>(RSLOT_BUF - 1));
  std::memcpy(buf, body.data(), n);
  buf[n] = '\0';
  return kermit_engine(KA_PACKET, &e.k, slot, static_cast<int>(n), "", &e.r);
}

int deliver(Engine& e, const std::string& wire) {
  // MARK and EOL are not stored by the reader.
  return deliver_body(e, wire.substr(1, wire.size() - 2));
}

Sent parse_sent(const std::string& wire, int chk) {
  Sent s;
  if (wire.size() < 5) return s;
  int len = unchar(wire[1]);
  s.seq = unchar(wire[2]);
  s.type = wire[3];
  int datalen = len - chk - 2;
  if (datalen > 0 && static_cast<size_t>(4 + datalen) <= wire.size()) s.data = wire.substr(4, static_cast<size_t>(datalen));
  return s;
}

namespace {

// Reads and handles one packet for an engine; false when its line was silent.
bool poll(Engine& e, int* result) {
  int slot = -1;
  char* buf = rslot_get(&e.k, &slot);
  int n = e.k.readpkt(&e.k, buf, 94);
  if (n == -2 || n == -1) {
    rslot_free(&e.k, slot);
    return false;
  }
  *result = kermit_engine(KA_PACKET, &e.k, slot, n, "", &e.r);
  return true;
}

}  // namespace

TransferRun run_transfer(Engine& sender, Engine& receiver, int max_timeouts, int max_rounds) {
  TransferRun run;
  run.sender_result = kermit_engine(KA_SEND, &sender.k, 0, 0, "", &sender.r);
  if (run.sender_result != KR_OK) return run;
  bool sender_done = false, receiver_done = false;
  int timeouts = 0;
  for (run.rounds = 0; run.rounds < max_rounds; ++run.rounds) {
    int result = 0;
    bool busy = false;
    if (poll(receiver, &result)) {
      busy = true;
      if (!receiver_done) run.receiver_result = result;
      if (result == KR_DONE) receiver_done = true;
      if (result == KR_FAIL && !receiver_done) return run;
    }
    if (poll(sender, &result)) {
      busy = true;
      run.sender_result = result;
      if (result == KR_DONE) sender_done = true;
      if (result == KR_FAIL) return run;
    }
    if (sender_done && receiver_done) {
      run.finished = true;
      return run;
    }
    if (busy) {
      timeouts = 0;
      continue;
    }
    // Both ends silent: the sender times out and repeats its last packet.
    if (++timeouts > max_timeouts) return run;
    if (!sender_done) resend_last(&sender.k);
  }
  return run;
}

}  // namespace tessaril::kermit::test

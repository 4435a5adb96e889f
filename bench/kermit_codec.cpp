// Throughput of the Kermit data-field coding and of whole in-memory
// transfers (no port, no disk): MB/s of file bytes for text, random binary
// and run-heavy data.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "kermit/kermit_encode.h"
#include "kermit/kermit_packet.h"
#include "kermit/kermit_setup.h"
#include "kermit/kermit_state.h"

using namespace tessaril::kermit;

namespace {

constexpr size_t kSize = 1 << 20;

std::string make_data(int kind) {
  std::mt19937 rng(42);
  std::string s;
  s.reserve(kSize);
  if (kind == 0) {
    const char* words[] = {"calibration ", "frequency ", "gain ", "table ", "0x7F ", "BUC ", "offset=", "12.5\n"};
    while (s.size() < kSize) s += words[rng() % 8];
  } else if (kind == 1) {
    while (s.size() < kSize) s += static_cast<char>(rng());
  } else {
    while (s.size() < kSize) s.append(rng() % 200 + 1, static_cast<char>(rng() % 3 ? 0 : rng()));
  }
  s.resize(kSize);
  return s;
}

const char* kind_name(int kind) { return kind == 0 ? "text" : kind == 1 ? "random" : "runs"; }

int no_more(KermitState*) { return -1; }
int discard_write(KermitState*, const char*, int) { return 0; }

void setup_coder(KermitState* k, bool eighth_bit) {
  init_crc_tables(k);
  k->rpt_on = 1;
  k->ebqflg = eighth_bit;
  k->line_parity = eighth_bit;
  k->ebq = eighth_bit ? '&' : 'Y';
  k->readfile = no_more;
  k->writefile = discard_write;
}

void BM_Encode(benchmark::State& state) {
  const std::string data = make_data(static_cast<int>(state.range(0)));
  auto k = std::make_unique<KermitState>();
  KermitResult r;
  setup_coder(k.get(), state.range(1));
  for (auto _ : state) {
    k->in_buf = const_cast<char*>(data.data());
    k->zinptr = k->in_buf;
    k->zincnt = static_cast<int32_t>(data.size());
    k->s_first = 1;
    size_t out = 0;
    for (int n; (n = getpkt(k.get(), &r)) > 0;) out += static_cast<size_t>(n);
    benchmark::DoNotOptimize(out);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(data.size()));
  state.SetLabel(std::string(kind_name(static_cast<int>(state.range(0)))) + (state.range(1) ? " 8bit" : ""));
}

void BM_Decode(benchmark::State& state) {
  const std::string data = make_data(static_cast<int>(state.range(0)));
  auto k = std::make_unique<KermitState>();
  KermitResult r;
  setup_coder(k.get(), state.range(1));
  std::vector<std::string> fields;
  k->in_buf = const_cast<char*>(data.data());
  k->zinptr = k->in_buf;
  k->zincnt = static_cast<int32_t>(data.size());
  k->s_first = 1;
  for (int n; (n = getpkt(k.get(), &r)) > 0;) fields.emplace_back(k->xdata, static_cast<size_t>(n));
  std::vector<char> out(8192);
  k->out_buf = out.data();
  k->out_buf_size = static_cast<int32_t>(out.size());
  for (auto _ : state) {
    k->out_buf_count = 0;
    for (const auto& f : fields) decode_data(k.get(), &r, 1, f.c_str());
    benchmark::DoNotOptimize(k->out_buf_count);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(data.size()));
  state.SetLabel(std::string(kind_name(static_cast<int>(state.range(0)))) + (state.range(1) ? " 8bit" : ""));
}

// ---- a whole transfer between two engines, files and line in memory ----

struct MemoryPeer {
  KermitState k;
  KermitResult r;
  KermitBuffers b;
  std::deque<char>* inbox = nullptr;
  std::deque<char>* outbox = nullptr;
};

const std::string* source = nullptr;
size_t source_pos = 0;
std::string sink;

MemoryPeer* peers[3] = {};  // by the record's port number
MemoryPeer* peer_of(KermitState* k) { return peers[k->port]; }

int mem_tx(KermitState* k, const char* bytes, int count) {
  peer_of(k)->outbox->insert(peer_of(k)->outbox->end(), bytes, bytes + count);
  return 0;
}

int mem_read(KermitState* k, char* buf, int) {
  auto* in = peer_of(k)->inbox;
  int stored = -1;
  while (!in->empty()) {
    char c = in->front();
    in->pop_front();
    if (stored < 0) {
      if (c == 1) stored = 0;
      continue;
    }
    if (c == '\r') {
      buf[stored] = '\0';
      return stored;
    }
    if (stored < RSLOT_BUF - 2) buf[stored++] = c;
  }
  return -2;
}

int mem_open(KermitState* k, const char*, int mode) {
  if (mode == 1) {
    source_pos = 0;
    k->s_first = 1;
    k->zinptr = k->in_buf;
    k->zincnt = 0;
  } else {
    sink.clear();
  }
  return 0;
}

int mem_readfile(KermitState* k) {
  if (k->zincnt < 1) {
    size_t n = std::min(static_cast<size_t>(k->in_buf_size), source->size() - source_pos);
    if (n == 0) return -1;
    std::memcpy(k->in_buf, source->data() + source_pos, n);
    source_pos += n;
    k->zincnt = static_cast<int32_t>(n);
    k->zinptr = k->in_buf;
  }
  --k->zincnt;
  return static_cast<uint8_t>(*k->zinptr++);
}

int mem_write(KermitState*, const char* bytes, int count) {
  sink.append(bytes, static_cast<size_t>(count));
  return 0;
}

int mem_close(KermitState*, int, int) { return 0; }

int64_t mem_query(KermitState*, const char*, char* date, int, int, int) {
  std::strcpy(date, "20260101 00:00:00");
  return static_cast<int64_t>(source->size());
}

void install(MemoryPeer* p) {
  p->k.readpkt = mem_read;
  p->k.tx_data = mem_tx;
  p->k.openfile = mem_open;
  p->k.readfile = mem_readfile;
  p->k.writefile = mem_write;
  p->k.closefile = mem_close;
  p->k.query_file = mem_query;
}

int step(MemoryPeer* p) {
  int slot = -1;
  char* buf = rslot_get(&p->k, &slot);
  int n = p->k.readpkt(&p->k, buf, 94);
  if (n < 0) {
    rslot_free(&p->k, slot);
    return KR_OK;
  }
  return kermit_engine(KA_PACKET, &p->k, slot, n, "", &p->r);
}

void BM_Transfer(benchmark::State& state) {
  const std::string data = make_data(static_cast<int>(state.range(0)));
  source = &data;
  std::deque<char> to_receiver, to_sender;
  auto sender = std::make_unique<MemoryPeer>();
  auto receiver = std::make_unique<MemoryPeer>();
  for (auto _ : state) {
    prepare_kermit(&sender->k, &sender->r, &sender->b, "DATA.BIN", "", 1);
    prepare_kermit(&receiver->k, &receiver->r, &receiver->b, "DATA.BIN", "", 2);
    peers[1] = sender.get();
    peers[2] = receiver.get();
    sender->inbox = &to_sender;
    sender->outbox = &to_receiver;
    receiver->inbox = &to_receiver;
    receiver->outbox = &to_sender;
    install(sender.get());
    install(receiver.get());
    sender->k.bct = static_cast<int16_t>(state.range(1));
    kermit_engine(KA_SEND, &sender->k, 0, 0, "", &sender->r);
    int s = KR_OK;
    while (s != KR_DONE && s != KR_FAIL) {
      step(receiver.get());
      s = step(sender.get());
    }
    if (s != KR_DONE || sink != data) state.SkipWithError("transfer failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(data.size()));
  state.SetLabel(std::string(kind_name(static_cast<int>(state.range(0)))) + " check " +
                 std::to_string(state.range(1)));
}

}  // namespace

BENCHMARK(BM_Encode)->ArgsProduct({{0, 1, 2}, {0, 1}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Decode)->ArgsProduct({{0, 1, 2}, {0, 1}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Transfer)->ArgsProduct({{0, 1, 2}, {1, 3}})->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();

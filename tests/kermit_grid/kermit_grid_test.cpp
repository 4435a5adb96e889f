// The fault grid: the host's Kermit engine against the simulator's peer,
// every kind of line fault, both directions, block checks 1 to 3, many seeded
// transfers each, in virtual time (grid_world.h). Every transfer must deliver
// the file byte for byte or end as a failure within the limits; a different
// file reported complete is a false success, which block check 1 cannot
// always prevent (its rate is measured) and checks 2 and 3 must.
//
// CTest runs seeds 1..100 of every cell; KERMIT_GRID_SEEDS=N runs seeds 1..N,
// and KERMIT_GRID_VERBOSE=1 prints a line for every transfer that is not ok.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "grid_world.h"
#include "platform/files.h"
#include "support/temp_folder.h"

namespace tessaril::kermit::grid {
namespace {

struct Row {
  const char* kind;
  Faults faults;
  bool vanish = false;       // the device falls silent after a random number of packets
  bool random_maxl = false;  // the device's MAXL, 10 to 94
};

const Row rows[] = {
    {"clean line", {}},
    {"byte errors 1e-5", {.byte_error = 1e-5}},
    {"byte errors 1e-4", {.byte_error = 1e-4}},
    {"byte errors 1e-3", {.byte_error = 1e-3}},
    {"dropped packets 5%", {.drop = 0.05}},
    {"duplicated packets 5%", {.duplicate = 0.05}},
    {"delayed packets 5%", {.delay = 0.05}},
    {"noise bursts 5%", {.burst = 0.05}},
    {"lost acks 10%", {.lose_ack = 0.10}},
    {"stalled device", {.stall = true}},
    {"vanished device", {}, true},
    {"MAXL 10-94", {}, false, true},
    {"all at once", {1e-4, 0.02, 0.02, 0.02, 0.02, 0.03, true}, false, true},
};

// Files with what makes an encoder slip: control bytes, 8th-bit bytes, the
// prefix characters, runs; now and then an empty one.
std::string make_content(std::mt19937_64& rng) {
  const unsigned shape = rng() % 16;
  const size_t size = shape == 0 ? 0 : shape < 5 ? 1 + rng() % 300 : 300 + rng() % 9000;
  std::string s(size, '\0');
  const unsigned kind = rng() % 4;
  for (size_t i = 0; i < size; ++i) {
    switch (kind) {
      case 0: s[i] = static_cast<char>(rng()); break;
      case 1: s[i] = i % 61 == 60 ? '\n' : static_cast<char>(' ' + rng() % 95); break;
      case 2: s[i] = "#~&\xFF\x01\r"[(i / (1 + rng() % 40)) % 6]; break;
      default: s[i] = static_cast<char>(i % 256); break;
    }
  }
  return s;
}

struct Cell {
  int runs = 0, ok = 0, failed = 0, false_successes = 0, unbounded = 0, arrived = 0, damaged = 0;
  int blind = 0;  // false successes after damage that check 2 cannot see
  int64_t ok_line_bytes = 0, ok_payload = 0, longest_ms = 0;
  double worst = 0;  // line bytes per file byte: the worst successful transfer of a file of 1 KiB or more

  void add(const TransferOutcome& o, int64_t size) {
    ++runs;
    ok += o.verdict == Verdict::Success;
    failed += o.verdict == Verdict::CleanFailure;
    false_successes += o.verdict == Verdict::FalseSuccess;
    blind += o.verdict == Verdict::FalseSuccess && o.blind_to_check2 > 0;
    unbounded += o.verdict == Verdict::Unbounded;
    arrived += o.arrived;
    damaged += o.damaged_packets;
    longest_ms = std::max(longest_ms, o.duration_ms);
    if (o.verdict != Verdict::Success) return;
    ok_line_bytes += o.line_bytes;
    ok_payload += size;
    if (size >= 1024) worst = std::max(worst, static_cast<double>(o.line_bytes) / static_cast<double>(size));
  }
  void add(const Cell& c) {
    runs += c.runs;
    ok += c.ok;
    failed += c.failed;
    false_successes += c.false_successes;
    blind += c.blind;
    unbounded += c.unbounded;
    arrived += c.arrived;
    damaged += c.damaged;
  }
};

bool fault_free(const Row& r) {
  const Faults& f = r.faults;
  return !r.vanish && !f.stall && f.byte_error == 0 && f.drop == 0 && f.duplicate == 0 && f.delay == 0 &&
         f.burst == 0 && f.lose_ack == 0;
}

int seeds_per_cell() {
  const char* text = std::getenv("KERMIT_GRID_SEEDS");
  const int n = text ? std::atoi(text) : 0;
  return n > 0 ? n : 100;
}

const char* verdict_word(Verdict v) {
  switch (v) {
    case Verdict::Success: return "ok";
    case Verdict::CleanFailure: return "failed";
    case Verdict::FalseSuccess: return "FALSE SUCCESS";
    case Verdict::Unbounded: return "UNBOUNDED";
  }
  return "?";
}

const char* direction_word(Direction d) { return d == Direction::HostSends ? "host sends" : "host receives"; }

// One transfer of the grid: its file, the device's prefixes and MAXL, and the
// seed of its line faults all follow from the cell and the seed number.
TransferPlan make_spec(int row, int check, Direction direction, int seed) {
  const uint64_t mix = (static_cast<uint64_t>(row) << 40) ^ (static_cast<uint64_t>(check) << 32) ^
                       (direction == Direction::HostSends ? 0 : 1ull << 36) ^ static_cast<uint64_t>(seed);
  std::mt19937_64 rng(mix * 0x9E3779B97F4A7C15ull);
  TransferPlan plan;
  plan.direction = direction;
  plan.check = check;
  plan.faults = rows[row].faults;
  plan.content = make_content(rng);
  plan.seed = rng();
  plan.device.qbin = rng() % 2 ? '&' : 'Y';  // asking for 8th-bit prefixes, or willing
  plan.device.rept = rng() % 3 ? 0 : ' ';    // repeat prefixes, or none
  if (rows[row].random_maxl) plan.device.maxl = 10 + static_cast<int>(rng() % 85);
  if (rows[row].vanish) plan.device.silent_after = 1 + static_cast<int>(rng() % (6 + plan.content.size() / 80));
  return plan;
}

// The simulator's device with small packets takes a name that fills its
// MAXL exactly ("kermit maxl=11" and an 8-character name).
TEST(KermitGrid, NameThatFillsTheDevicesMaxlExactlyGoesOut) {
  test::TempFolder root;
  const Folders folders{root.file("source"), root.file("device"), root.file("host")};
  for (const std::string& f : {folders.source, folders.device, folders.host}) platform::make_folders(f + "/");
  test::ScopedCurrentFolder in_host(folders.host);
  for (auto [maxl, name] : {std::pair{11, "ABCD.BIN"}, {12, "ABCDE.BIN"}}) {
    TransferPlan plan;
    plan.name = name;
    plan.device.maxl = maxl;
    plan.content = "0123456789abcdefghijklmnopqrstuvwxyz";
    const TransferOutcome o = run_transfer(plan, folders);
    EXPECT_EQ(o.verdict, Verdict::Success) << name << ": host " << o.host_end << "; device: " << o.peer_report;
  }
}

TEST(KermitGrid, EveryTransferDeliversTheFileOrFailsWithinTheLimits) {
  test::TempFolder root;
  const Folders folders{root.file("source"), root.file("device"), root.file("host")};
  for (const std::string& f : {folders.source, folders.device, folders.host}) platform::make_folders(f + "/");
  test::ScopedCurrentFolder in_host(folders.host);

  const int seeds = seeds_per_cell();
  const bool verbose = std::getenv("KERMIT_GRID_VERBOSE") != nullptr;  // every transfer not ok, one line each
  const int row_count = static_cast<int>(std::size(rows));
  std::vector<Cell> cells(static_cast<size_t>(row_count) * 3);
  int reported = 0;  // check-1 false successes shown
  for (int row = 0; row < row_count; ++row) {
    for (int check = 1; check <= 3; ++check) {
      Cell& cell = cells[static_cast<size_t>(row * 3 + check - 1)];
      for (Direction direction : {Direction::HostSends, Direction::HostReceives}) {
        for (int seed = 1; seed <= seeds; ++seed) {
          const TransferPlan plan = make_spec(row, check, direction, seed);
          const TransferOutcome o = run_transfer(plan, folders);
          cell.add(o, static_cast<int64_t>(plan.content.size()));
          const bool alarm = o.verdict == Verdict::FalseSuccess || o.verdict == Verdict::Unbounded;
          if ((alarm && (check > 1 || o.verdict == Verdict::Unbounded || ++reported <= 10)) ||
              (verbose && o.verdict != Verdict::Success))
            std::printf("%s: %s, %s, check %d, seed %d, %zu bytes, MAXL %d: host %s (%s) after %lld ms, %lld bytes "
                        "in place; device: %s\n",
                        verdict_word(o.verdict), rows[row].kind, direction_word(direction), check, seed,
                        plan.content.size(), plan.device.maxl, o.host_end.c_str(),
                        o.host_success ? "success" : "failure", static_cast<long long>(o.duration_ms),
                        static_cast<long long>(o.arrived_size), o.peer_report.c_str());
        }
      }
    }
  }

  std::printf("\nKermit fault grid: %d seeds per cell, each seed both ways (host sends, host receives)\n", seeds);
  std::printf("%-22s %5s %6s %6s %6s %6s %7s %8s %8s %7s %8s\n", "fault kind", "check", "runs", "ok", "failed",
              "false", "arrived", "damaged", "bytes/B", "worst", "longest");
  Cell totals[3];
  for (int row = 0; row < row_count; ++row) {
    for (int check = 1; check <= 3; ++check) {
      const Cell& c = cells[static_cast<size_t>(row * 3 + check - 1)];
      totals[check - 1].add(c);
      std::printf("%-22s %5d %6d %6d %6d %6d %7d %8d %8.2f %7.2f %7.1fs\n", check == 1 ? rows[row].kind : "", check,
                  c.runs, c.ok, c.failed, c.false_successes, c.arrived, c.damaged,
                  c.ok_payload ? static_cast<double>(c.ok_line_bytes) / static_cast<double>(c.ok_payload) : 0.0,
                  c.worst, static_cast<double>(c.longest_ms) / 1000.0);

      SCOPED_TRACE(std::string(rows[row].kind) + ", check " + std::to_string(check));
      EXPECT_EQ(c.unbounded, 0) << "transfers ran past the retry and silence limits";
      if (check == 3) {
        EXPECT_EQ(c.false_successes, 0) << "a damaged file reported complete under check 3";
      }
      if (check == 2) {
        EXPECT_EQ(c.false_successes - c.blind, 0) << "a damaged file reported complete under check 2";
      }
      if (fault_free(rows[row])) {
        EXPECT_EQ(c.arrived, c.runs) << "a fault-free line must move every file";
      }
      if (row == 0) {
        EXPECT_EQ(c.ok, c.runs) << "the host must report every file of a clean line";
      }
      if (rows[row].faults.byte_error >= 1e-3 || rows[row].faults.burst > 0) {
        EXPECT_GT(c.damaged, 0) << "the line damaged nothing";
      }
      if (rows[row].vanish) {
        EXPECT_GT(c.failed, 0) << "a vanished device must end transfers";
      }
    }
  }
  for (int check = 1; check <= 3; ++check) {
    const Cell& t = totals[check - 1];
    std::printf("check %d: %d transfers, %d ok, %d clean failures, %d false successes, %d unbounded; "
                "%d packets damaged on the line",
                check, t.runs, t.ok, t.failed, t.false_successes, t.unbounded, t.damaged);
    if (t.false_successes > 0)
      std::printf(", one false success per %.0f damaged packets", static_cast<double>(t.damaged) / t.false_successes);
    if (t.blind > 0) std::printf(" (%d after byte changes that cancel in the 12-bit sum)", t.blind);
    std::printf("\n");
  }
  std::printf("ok: reported and arrived; failed: reported failed, no other file under the name; false: a different\n"
              "file reported complete or put in place; arrived: the file whole at the other end, whatever was\n"
              "reported; bytes/B: line bytes both ways per file byte (successful transfers); worst: the worst\n"
              "successful transfer of 1 KiB or more; longest: the longest transfer in virtual time\n");
}

}  // namespace
}  // namespace tessaril::kermit::grid

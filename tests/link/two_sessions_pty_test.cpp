// Two devices in one process: two sessions, each on a simulator of its own,
// run a command sequence with a Kermit transfer at the same time. What one
// session reports, logs and stores must be its own only.
//
// The sequence runs without a dialog: a driver thread per session takes the
// session's link events in order, lets the sequence machine decide with the
// chain, "Kermit Trns." and next-step boxes ticked, and carries the actions
// out with the pure frame builders. The actions that only touch controls or
// pace the device (texts, repaints, pauses) are left out.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "commands/command_frames.h"
#include "commands/command_table.h"
#include "link/kermit_transfer.h"
#include "link/link_state.h"
#include "link/link_threads.h"
#include "link/serial_port.h"
#include "link/session.h"
#include "platform/serial.h"
#include "shell/sequence_machine.h"
#include "status/status_codes.h"
#include "support/sim_process.h"
#include "support/temp_folder.h"

namespace tessaril::test {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr int EVENT_LIMIT_MS = 15000;  // a whole transfer fits in it, under TSan too

// Everything a session reports; its link events also queue for the driver.
class Recorder : public link::SessionObserver {
 public:
  void on_traffic(const link::TrafficRecord& r) override {
    std::lock_guard lock(lock_);
    traffic.push_back(r);
  }
  void on_step_result(int step, const char* text) override {
    std::lock_guard lock(lock_);
    results.push_back(std::to_string(step) + " " + text);
  }
  bool on_link_event(uint32_t status, link::LinkEventKind) override {
    {
      std::lock_guard lock(lock_);
      events.push_back(status);
      queue_.push_back(status);
    }
    arrived_.notify_all();
    return true;  // the driver hands it back once it has decided
  }
  void on_transfer_progress(const link::TransferProgressEvent& p) override {
    std::lock_guard lock(lock_);
    if (p.phase == link::ProgressPhase::Begin) transfers.push_back(p.name);
  }
  // The oldest link event not yet taken; false when none came in time.
  bool next_event(uint32_t& status) {
    std::unique_lock lock(lock_);
    if (!arrived_.wait_for(lock, std::chrono::milliseconds(EVENT_LIMIT_MS), [this] { return !queue_.empty(); }))
      return false;
    status = queue_.front();
    queue_.pop_front();
    return true;
  }

  // Read once the session's threads have stopped.
  std::vector<link::TrafficRecord> traffic;
  std::vector<std::string> results;
  std::vector<uint32_t> events;
  std::vector<std::string> transfers;

 private:
  std::mutex lock_;
  std::condition_variable arrived_;
  std::deque<uint32_t> queue_;
};

std::string bounded_name(const char* name, size_t room) { return std::string(name, strnlen(name, room - 1)); }

// What the command dialog's sequencer does, on a thread of its own.
struct Driver {
  Driver(link::Session& session, Recorder& events) : s(session), recorder(events) {}
  link::Session& s;
  Recorder& recorder;
  uint16_t seq = 1;
  std::vector<Bytes> built;  // every frame stored, in order
  bool ended = false;

  void store(int32_t step, const commands::Frame& frame) {
    Bytes raw = commands::frame_bytes(frame);
    s.store_tx_frame(step, raw.data(), static_cast<int>(raw.size()));
    built.push_back(std::move(raw));
    ++seq;
  }

  shell::SequenceInput input(uint32_t code) const {
    shell::SequenceInput in;
    in.code = code;
    in.step = s.frame_slot.load();
    in.rsp_ok = s.rsp_ok.load() != 0;
    in.chain_ticked = in.kermit_step = in.next_step_ticked = true;
    const link::TransferFile file = s.tx_file.get();
    in.transfer_file = {bounded_name(file.name, sizeof file.name), file.size};
    // Written by the receive thread before the event the recorder's lock handed over.
    if (shell::uses_announced_file(code))
      in.announced_file = {bounded_name(s.rx_file_name, sizeof s.rx_file_name), s.rx_file_size.load()};
    return in;
  }

  void apply(const shell::Action& a) {
    using K = shell::ActionKind;
    switch (a.kind) {
      case K::AwaitAnswer: s.post_rx_command(link::RX_AWAIT_ANSWER); break;
      case K::SetStep: s.frame_slot.store(a.step); break;
      case K::Send: s.post_tx_command(link::TX_SEND_FRAME); break;
      case K::Stop: s.post_tx_command(link::TX_IDLE); break;
      case K::End:
        s.frame_slot.store(1);
        s.post_tx_command(link::TX_IDLE);
        ended = true;
        break;
      case K::BuildLatchReset: store(a.step, commands::latch_reset_frame(seq)); break;
      case K::BuildStatusFrame: store(a.step, commands::status_frame(seq, a.text)); break;
      case K::BuildTransferStart: store(a.step, commands::transfer_start_frame(seq, a.text, a.size)); break;
      case K::BuildReceive: store(a.step, commands::receive_frame(seq, a.text, a.size)); break;
      case K::StartKermitSend: s.post_tx_command(link::TX_KERMIT_SEND); break;
      case K::StartKermitReceive: s.post_rx_command(link::RX_KERMIT_RECEIVE); break;
      case K::WaitSendIdle: s.dialog_wait(2000, [this] { return s.tx_command.load() == link::TX_IDLE; }); break;
      case K::ShowText:
      case K::Pause:
      case K::Invalidate: break;
      case K::Note: s.report_note(a.text); break;
    }
  }

  // Sends the command `code` with `data_text` as Frame 1 and follows the
  // sequence to its end; true once it ended and the link is at rest.
  bool run(uint8_t code, const char* data_text) {
    store(1, commands::command_frame(*commands::find_command_by_code(code), data_text, seq));
    s.frame_slot.store(1);
    s.post_tx_command(link::TX_SEND_FRAME);
    uint32_t event = 0;
    while (!ended) {
      if (!recorder.next_event(event)) return false;
      for (const shell::Action& a : shell::decide(input(event))) apply(a);
      s.link_event_handled();
    }
    return s.dialog_wait(5000, [this] { return s.idle(); });
  }
};

// A calibration file of text rows that name `word`, without runs the
// repeat prefix would fold.
std::string calibration_text(const char* word) {
  std::string text;
  char row[64];
  for (int i = 0; i < 60; ++i) {
    std::snprintf(row, sizeof row, "%s row %03d: gain %d.%02d dB\r\n", word, i, 30 + i % 7, (i * 37) % 100);
    text += row;
  }
  return text;
}

// One device and the session talking to it; the session goes first.
struct Device {
  TempFolder host;    // the session's command log, and what it sends or receives
  TempFolder folder;  // the simulator's --folder
  SimProcess sim{{"--folder", folder.path()}};
  Recorder recorder;
  link::Session session{status::LogSettings{host.path() + "/cmd_log/"}};
  Driver driver{session, recorder};
  Device() { session.subscribe(&recorder); }
};

// The names in a folder, sorted; none when it is missing.
std::vector<std::string> entries(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& e : std::filesystem::directory_iterator(folder, error)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// The command log's lines without their "hh:mm:ss.mmm " stamps, sorted.
std::vector<std::string> log_texts(const link::Session& s) {
  std::vector<std::string> lines;
  std::istringstream in(TempFolder::read(s.log.path()));
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() > 13) lines.push_back(line.substr(13));
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}
std::vector<std::string> traffic_texts(const Recorder& r) {
  std::vector<std::string> texts;
  for (const auto& t : r.traffic) texts.push_back(t.text);
  std::sort(texts.begin(), texts.end());
  return texts;
}

// Whether any traffic record shows `needle` in its text or carries it in its bytes.
bool mentions(const Recorder& r, const std::string& needle) {
  return std::any_of(r.traffic.begin(), r.traffic.end(), [&](const link::TrafficRecord& t) {
    return t.text.find(needle) != std::string::npos ||
           std::string(t.bytes.begin(), t.bytes.end()).find(needle) != std::string::npos;
  });
}

std::vector<Bytes> sent_frames(const Recorder& r) {
  std::vector<Bytes> frames;
  for (const auto& t : r.traffic)
    if (t.direction == link::TrafficDirection::Sent && t.form == link::TrafficForm::DataField) frames.push_back(t.bytes);
  return frames;
}

TEST(LinkTwoSessions, EachSequenceAndTransferStaysWithItsOwnSession) {
  platform::set_serial_timeout_scale(20);  // a silent Kermit read: 60 ms
  Device a, b;
  ASSERT_TRUE(a.sim.started()) << a.sim.first_line();
  ASSERT_TRUE(b.sim.started()) << b.sim.first_line();
  const std::string a_text = calibration_text("alpha");
  const std::string b_text = calibration_text("bravo");
  a.session.tx_file.set("CAL_A.XML", static_cast<int32_t>(a_text.size()), a.host.write("cal_a.xml", a_text));
  b.folder.write("CAL_B.XML", b_text);
  ScopedCurrentFolder cwd(b.host.path());  // where a Kermit receive stores its file

  TempFolder setup;
  const std::string ini =
      setup.write("buc_setup.ini", "[ports]\nCOM2=" + a.sim.device() + "\nCOM3=" + b.sim.device() + "\n");
  int port = 2;
  for (Device* d : {&a, &b}) {
    std::string error;
    ASSERT_TRUE(link::open_serial_port(d->session, port++, 38400, 8, ini, error)) << error;
    d->session.kermit_tmo_count = 20;
    link::install_kermit_transfers(d->session);
    ASSERT_TRUE(link::start_link_threads(d->session));
  }

  const std::string set_cal = "CAL_A.XML," + std::to_string(a_text.size());
  bool a_done = false, b_done = false;
  std::thread run_a([&] { a_done = a.driver.run(0x0F, set_cal.c_str()); });
  std::thread run_b([&] { b_done = b.driver.run(0x0E, ""); });
  run_a.join();
  run_b.join();
  for (Device* d : {&a, &b}) link::stop_link_threads(d->session);
  platform::set_serial_timeout_scale(100);
  EXPECT_TRUE(a_done);
  EXPECT_TRUE(b_done);

  using namespace status;
  EXPECT_EQ(a.recorder.events, (std::vector<uint32_t>{ST_CMD_SEND_OK, 0x8F, ST_CMD_SEND_OK, 0x8A, ST_KERMIT_SEND_OK,
                                                      ST_CMD_SEND_OK, 0x8B}));
  EXPECT_EQ(b.recorder.events, (std::vector<uint32_t>{ST_CMD_SEND_OK, 0x8E, ST_CMD_SEND_OK, 0x8C, ST_KERMIT_RECV_OK,
                                                      ST_CMD_SEND_OK, 0x8B}));
  const std::string ok = "RSP=Success(0x01)";
  EXPECT_EQ(a.recorder.results, (std::vector<std::string>{"1 " + ok, "2 " + ok, "4 SND_OK", "3 " + ok}));
  EXPECT_EQ(b.recorder.results, (std::vector<std::string>{"1 " + ok, "2 " + ok, "3 " + ok}));
  EXPECT_EQ(a.recorder.transfers, std::vector<std::string>{"CAL_A.XML"});
  EXPECT_EQ(b.recorder.transfers, std::vector<std::string>{"CAL_B.XML"});
  // What went out on each line is exactly the frames its own driver built.
  EXPECT_EQ(sent_frames(a.recorder), a.driver.built);
  EXPECT_EQ(sent_frames(b.recorder), b.driver.built);

  EXPECT_EQ(TempFolder::read(a.folder.file("CAL_A.XML")), a_text);
  EXPECT_EQ(TempFolder::read(b.host.file("CAL_B.XML")), b_text);
  EXPECT_EQ(entries(a.folder.path()), std::vector<std::string>{"CAL_A.XML"});
  EXPECT_EQ(entries(a.host.path()), (std::vector<std::string>{"cal_a.xml", "cmd_log"}));
  EXPECT_EQ(entries(b.host.path()), (std::vector<std::string>{"CAL_B.XML", "cmd_log"}));

  for (Device* d : {&a, &b}) {
    const std::string log_name = std::filesystem::path(d->session.log.path()).filename().string();
    EXPECT_EQ(entries(d->host.path() + "/cmd_log"), std::vector<std::string>{log_name});
    EXPECT_EQ(log_texts(d->session), traffic_texts(d->recorder));
  }
  EXPECT_TRUE(mentions(a.recorder, "CAL_A.XML"));
  EXPECT_TRUE(mentions(b.recorder, "CAL_B.XML"));
  EXPECT_FALSE(mentions(a.recorder, "CAL_B") || mentions(a.recorder, "bravo"));
  EXPECT_FALSE(mentions(b.recorder, "CAL_A") || mentions(b.recorder, "alpha"));
}

}  // namespace
}  // namespace tessaril::test

// What the end-to-end tests share: a bench of one temporary working folder,
// the simulated BUC on a pseudo-terminal of its own, and runs of the real
// program in headless mode against it.
//
// How it works: the simulator runs with -v and its output in a file of the
// folder, so every frame it received shows as a "<" line of wire bytes; the
// bench stops it (SIGTERM) before reading them. buc_setup.ini in the folder
// maps COM1 to the simulator's link in the folder. A program run writes its
// script into the folder, starts `tessaril --headless --script FILE` there (or
// without --headless, offscreen, on the Qt back end) and
// waits for its end with a limit, after which the program is killed and the
// run reported as timed out. Each bench has its own folder and pseudo-terminal,
// so tests run in parallel.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/temp_folder.h"

namespace tessaril::test {

using Bytes = std::vector<uint8_t>;

struct ProgramRun {
  int exit_code = -1;  // -1: killed at the time limit
  bool timed_out = false;
  long elapsed_ms = 0;
  std::string out;
  std::string err;

  // The text a "get ID" printed last (the line "ID=TEXT"); "<none>" if none.
  std::string value(int id) const;
  // Every "ID=TEXT" line printed for id, in order (trace and get alike).
  std::vector<std::string> values(int id) const;
  // Every line printed for list box id ("ID:LINE"), without the prefix.
  std::vector<std::string> list(int id) const;
  // How many output lines equal `line`.
  int count(const std::string& line) const;
};

class E2eBench {
 public:
  E2eBench();
  ~E2eBench();
  E2eBench(const E2eBench&) = delete;
  E2eBench& operator=(const E2eBench&) = delete;

  // Starts the simulator; scenario text (may be empty) goes into a file.
  // Returns false when it did not come up.
  bool start_device(const std::string& scenario = "", const std::vector<std::string>& extra_args = {});
  // Stops the simulator and returns the frames it received, wire bytes as
  // they came (still RFC 1055 encoded), in order.
  std::vector<Bytes> stop_device();
  // Points COM1 at a path where nothing is (a port that cannot be opened).
  void use_missing_port();

  // Runs the program with the script; `args` are added after --headless
  // (or after the program's name with the Qt back end).
  ProgramRun run(const std::string& script, const std::vector<std::string>& args = {}, int limit_ms = 120000);
  // Runs the program in the folder with exactly these arguments.
  ProgramRun run_args(const std::vector<std::string>& args, int limit_ms = 120000);
  // buc_setup.ini with these lines in its section ports ("COM1=/dev/...").
  void write_ports(const std::vector<std::string>& lines);

  // Later runs play the script on the windows of the Qt back end, offscreen,
  // instead of headless.
  void use_qt_offscreen() { qt_ = true; }

  const TempFolder& folder() const { return folder_; }
  std::string device_link() const { return folder_.file("buc"); }

 private:
  void write_ini(const std::string& port_path);

  TempFolder folder_;
  pid_t sim_pid_ = -1;
  bool qt_ = false;
};

// A bench whose device keeps its files in a folder of its own ("device/").
struct DeviceBench {
  E2eBench e2e;
  std::string device;

  DeviceBench();
  bool start(const std::string& scenario, std::vector<std::string> args = {});
  std::string on_host(const std::string& name) const { return TempFolder::read(e2e.folder().file(name)); }
  std::string on_device(const std::string& name) const { return TempFolder::read(device + "/" + name); }
  bool exists_on_host(const std::string& name) const;
};

// True when the program offers --fast-timeouts (short port read time-outs
// for tests); checked once through its --help.
bool program_has_fast_timeouts();

// A command frame as the host builds it: standard header with seq, or the
// extended header for codes 0x70-0x7F; data text plus its NUL (none when
// `data` is null); CRC high byte first; END.
Bytes command_frame(uint8_t code, uint16_t seq, const char* data);
// Header and data followed by their CRC (high byte first) and END.
Bytes seal(Bytes body);
// The same frame on the wire (RFC 1055, no leading END, last byte raw).
Bytes wire(const Bytes& raw);
// Decodes wire bytes.
Bytes unwire(const Bytes& encoded);
std::string hex(const Bytes& bytes);

// The program and the simulator of this build.
std::string program_binary();
std::string simulator_binary();

}  // namespace tessaril::test

#include "e2e/e2e_harness.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <thread>
#include <utility>

#include "link/frame_codec.h"
#include "platform/files.h"
#include "support/child_process.h"
#include "support/frames.h"

namespace tessaril::test {

namespace {

using Clock = std::chrono::steady_clock;

// Starts `argv[0]` in `folder` with stdout and stderr into the two files,
// with the environment and `env` ("NAME=VALUE") added.
pid_t spawn(const std::vector<std::string>& argv, const std::string& folder, const std::string& out_path,
            const std::string& err_path, const std::vector<std::string>& env = {}) {
  ChildIo io;
  io.folder = folder;
  io.stdout_path = out_path;
  io.stderr_path = err_path;
  io.env = env;
  return spawn_child(argv, io);
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace

std::string program_binary() { return TESSARIL_BINARY_DIR "/src/tessaril"; }
std::string simulator_binary() { return TESSARIL_BINARY_DIR "/sim/tessaril-bucsim"; }

std::string ProgramRun::value(int id) const {
  const std::vector<std::string> all = values(id);
  return all.empty() ? "<none>" : all.back();
}

std::vector<std::string> ProgramRun::values(int id) const {
  const std::string prefix = std::to_string(id) + "=";
  std::vector<std::string> found;
  for (const std::string& line : lines_of(out))
    if (line.compare(0, prefix.size(), prefix) == 0) found.push_back(line.substr(prefix.size()));
  return found;
}

std::vector<std::string> ProgramRun::list(int id) const {
  const std::string prefix = std::to_string(id) + ":";
  std::vector<std::string> found;
  for (const std::string& line : lines_of(out))
    if (line.compare(0, prefix.size(), prefix) == 0) found.push_back(line.substr(prefix.size()));
  return found;
}

int ProgramRun::count(const std::string& wanted) const {
  int n = 0;
  for (const std::string& line : lines_of(out)) n += line == wanted;
  return n;
}

E2eBench::E2eBench() { write_ini(device_link()); }

E2eBench::~E2eBench() { stop_device(); }

void E2eBench::write_ini(const std::string& port_path) {
  folder_.write("buc_setup.ini", "[section1]\nsio_port=1\n[ports]\nCOM1=" + port_path + "\n");
}

void E2eBench::use_missing_port() { write_ini(folder_.file("no-such-port")); }

bool E2eBench::start_device(const std::string& scenario, const std::vector<std::string>& extra_args) {
  std::vector<std::string> argv{simulator_binary(), "-v", "--link", device_link()};
  if (!scenario.empty()) {
    argv.push_back("--scenario");
    argv.push_back(folder_.write("scenario.txt", scenario));
  }
  argv.insert(argv.end(), extra_args.begin(), extra_args.end());
  sim_pid_ = spawn(argv, folder_.path(), folder_.file("sim.out"), folder_.file("sim.err"));
  if (sim_pid_ < 0) return false;
  // The link appears once the pseudo-terminal is open.
  struct stat st {};
  for (int i = 0; i < 500; ++i) {
    if (::lstat(device_link().c_str(), &st) == 0) return true;
    int status = 0;
    if (::waitpid(sim_pid_, &status, WNOHANG) == sim_pid_) {
      sim_pid_ = -1;
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

std::vector<Bytes> E2eBench::stop_device() {
  if (sim_pid_ > 0) {
    ::kill(sim_pid_, SIGTERM);
    bool timed_out = false;
    if (wait_child(sim_pid_, 5000, timed_out) < 0 && timed_out) std::fprintf(stderr, "simulator killed\n");
    sim_pid_ = -1;
  }
  std::vector<Bytes> frames;
  for (const std::string& line : lines_of(TempFolder::read(folder_.file("sim.out")))) {
    if (line.size() < 2 || line[0] != '<' || line[1] != ' ') continue;
    Bytes bytes;
    std::istringstream in(line.substr(2));
    for (std::string byte; in >> byte;) bytes.push_back(static_cast<uint8_t>(std::stoul(byte, nullptr, 16)));
    frames.push_back(bytes);
  }
  return frames;
}

void E2eBench::write_ports(const std::vector<std::string>& lines) {
  std::string ini = "[section1]\nsio_port=1\n[ports]\n";
  for (const std::string& line : lines) ini += line + "\n";
  folder_.write("buc_setup.ini", ini);
}

ProgramRun E2eBench::run(const std::string& script, const std::vector<std::string>& args, int limit_ms) {
  const std::string script_path = folder_.write("script.txt", script);
  std::vector<std::string> all;
  if (!qt_) all.push_back("--headless");
  all.insert(all.end(), args.begin(), args.end());
  all.push_back("--script");
  all.push_back(script_path);
  return run_args(all, limit_ms);
}

ProgramRun E2eBench::run_args(const std::vector<std::string>& args, int limit_ms) {
  std::vector<std::string> argv{program_binary()};
  std::vector<std::string> env;
  if (qt_) env.push_back("QT_QPA_PLATFORM=offscreen");
  argv.insert(argv.end(), args.begin(), args.end());
  ProgramRun result;
  const pid_t pid = spawn(argv, folder_.path(), folder_.file("program.out"), folder_.file("program.err"), env);
  if (pid < 0) return result;
  const auto start = Clock::now();
  result.exit_code = wait_child(pid, limit_ms, result.timed_out);
  result.elapsed_ms = static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
  result.out = TempFolder::read(folder_.file("program.out"));
  result.err = TempFolder::read(folder_.file("program.err"));
  return result;
}

bool program_has_fast_timeouts() {
  static const bool has = [] {
    TempFolder folder;
    std::vector<std::string> argv{program_binary(), "--help"};
    const pid_t pid = spawn(argv, folder.path(), folder.file("help.out"), folder.file("help.err"));
    bool timed_out = false;
    wait_child(pid, 10000, timed_out);
    return TempFolder::read(folder.file("help.out")).find("--fast-timeouts") != std::string::npos;
  }();
  return has;
}

Bytes command_frame(uint8_t code, uint16_t seq, const char* data) {
  const size_t n = data ? std::char_traits<char>::length(data) + 1 : 0;
  Bytes f(n + link::FRAME_OVERHEAD);
  link::build_frame(code, 0x00, seq, code >= 0x70 && code <= 0x7F, reinterpret_cast<const uint8_t*>(data), n, f.data());
  return f;
}

Bytes seal(Bytes body) {
  const size_t length = body.size();
  body.resize(length + 3);
  link::finish_frame(body.data(), length);
  return body;
}

Bytes wire(const Bytes& raw) { return encode(raw); }
Bytes unwire(const Bytes& encoded) { return decode(encoded); }

std::string hex(const Bytes& bytes) {
  std::string text;
  char b[4];
  for (uint8_t byte : bytes) {
    std::snprintf(b, sizeof b, "%02X ", byte);
    text += b;
  }
  if (!text.empty()) text.pop_back();
  return text;
}

DeviceBench::DeviceBench() : device(e2e.folder().file("device")) { platform::make_folders(device + "/"); }

bool DeviceBench::start(const std::string& scenario, std::vector<std::string> args) {
  args.insert(args.end(), {"--folder", device});
  return e2e.start_device(scenario, args);
}

bool DeviceBench::exists_on_host(const std::string& name) const {
  return platform::file_size(e2e.folder().file(name)) >= 0;
}

}  // namespace tessaril::test

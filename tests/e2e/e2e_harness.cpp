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

namespace tessaril::test {

namespace {

using Clock = std::chrono::steady_clock;

// Starts `argv[0]` in `folder` with stdout and stderr into the two files,
// with the environment and `env` ("NAME=VALUE") added.
pid_t spawn(const std::vector<std::string>& argv, const std::string& folder, const std::string& out_path,
            const std::string& err_path, const std::vector<std::string>& env = {}) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  std::vector<char*> vars;
  auto replaced = [&](const char* var) {
    for (const std::string& e : env)
      if (std::strncmp(var, e.c_str(), e.find('=') + 1) == 0) return true;
    return false;
  };
  for (char** e = environ; *e; ++e)
    if (!replaced(*e)) vars.push_back(*e);
  for (const std::string& e : env) vars.push_back(const_cast<char*>(e.c_str()));
  vars.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid != 0) return pid;
  // Child: only async-signal-safe calls from here on.
  if (::chdir(folder.c_str()) != 0) ::_exit(126);
  const int in = ::open("/dev/null", O_RDONLY);
  const int out = ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const int err = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (in < 0 || out < 0 || err < 0) ::_exit(126);
  ::dup2(in, 0);
  ::dup2(out, 1);
  ::dup2(err, 2);
  ::execve(args[0], args.data(), vars.data());
  ::_exit(127);
}

// Waits for the child; kills it at the limit. Returns the exit code, -1 when
// killed or ended by a signal.
int wait_child(pid_t pid, int limit_ms, bool& timed_out) {
  timed_out = false;
  const auto end = Clock::now() + std::chrono::milliseconds(limit_ms);
  int status = 0;
  for (;;) {
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    if (done < 0) return -1;
    if (Clock::now() > end) {
      timed_out = true;
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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

ProgramRun E2eBench::run(const std::string& script, const std::vector<std::string>& args, int limit_ms) {
  const std::string script_path = folder_.write("script.txt", script);
  std::vector<std::string> argv{program_binary()};
  std::vector<std::string> env;
  if (qt_)
    env.push_back("QT_QPA_PLATFORM=offscreen");
  else
    argv.push_back("--headless");
  argv.insert(argv.end(), args.begin(), args.end());
  argv.push_back("--script");
  argv.push_back(script_path);
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
  Bytes f;
  f.push_back(code);
  if (code >= 0x70 && code <= 0x7F) {
    f.push_back(0x10);
    f.push_back(static_cast<uint8_t>((n + 6) & 0xFF));
    f.push_back(0x00);
  } else {
    f.push_back(0x00);
    f.push_back(static_cast<uint8_t>(seq >> 8));
    f.push_back(static_cast<uint8_t>(seq & 0xFF));
  }
  f.push_back(static_cast<uint8_t>(n >> 8));
  f.push_back(static_cast<uint8_t>(n & 0xFF));
  for (size_t i = 0; i < n; ++i) f.push_back(static_cast<uint8_t>(data[i]));
  return seal(std::move(f));
}

Bytes seal(Bytes body) {
  const uint16_t crc = static_cast<uint16_t>(~link::frame_crc(body.data(), body.size()));
  body.push_back(static_cast<uint8_t>(crc >> 8));
  body.push_back(static_cast<uint8_t>(crc & 0xFF));
  body.push_back(0xC0);
  return body;
}

Bytes wire(const Bytes& raw) {
  Bytes out(2 * raw.size() + 1);
  out.resize(link::rfc1055_encode(raw.data(), raw.size(), out.data()));
  return out;
}

Bytes unwire(const Bytes& encoded) {
  Bytes out(encoded.size());
  out.resize(link::rfc1055_decode(encoded.data(), encoded.size(), out.data()));
  return out;
}

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

}  // namespace tessaril::test

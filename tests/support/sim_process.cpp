#include "support/sim_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include "support/child_process.h"

namespace tessaril::test {

namespace {

pid_t spawn(const std::vector<std::string>& args, int out_fd, int err_fd) {
  std::vector<std::string> all = {SimProcess::binary()};
  all.insert(all.end(), args.begin(), args.end());
  ChildIo io;
  io.stdout_fd = out_fd;
  io.stderr_fd = err_fd;
  return spawn_child(all, io);
}

// Reads until the pipe closes or timeout_ms pass without data.
std::string drain(int fd, int timeout_ms, bool stop_at_newline) {
  std::string text;
  for (;;) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, timeout_ms) <= 0) break;
    char c[256];
    ssize_t n = ::read(fd, c, stop_at_newline ? 1 : sizeof c);
    if (n <= 0) break;
    text.append(c, static_cast<size_t>(n));
    if (stop_at_newline && c[0] == '\n') break;
  }
  return text;
}

}  // namespace

std::string SimProcess::binary() { return std::string(TESSARIL_BINARY_DIR) + "/sim/tessaril-bucsim"; }

SimProcess::SimProcess(const std::vector<std::string>& args) {
  int pipe_fds[2];
  if (::pipe2(pipe_fds, O_CLOEXEC) != 0) return;
  std::vector<std::string> all = args;
  all.push_back("-q");
  pid_ = spawn(all, pipe_fds[1], -1);
  ::close(pipe_fds[1]);
  out_ = pipe_fds[0];
  if (pid_ < 0) return;
  first_line_ = drain(out_, 5000, true);
  const std::string marker = "playing the BUC on ";
  size_t at = first_line_.find(marker);
  if (at == std::string::npos) return;
  std::string rest = first_line_.substr(at + marker.size());
  device_ = rest.substr(0, rest.find_first_of(" \n"));
}

SimProcess::~SimProcess() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
  if (out_ >= 0) ::close(out_);
}

SimRun run_sim(const std::vector<std::string>& args) {
  int out_pipe[2], err_pipe[2];
  SimRun run{-1, "", ""};
  if (::pipe2(out_pipe, O_CLOEXEC) != 0) return run;
  if (::pipe2(err_pipe, O_CLOEXEC) != 0) return run;
  pid_t pid = spawn(args, out_pipe[1], err_pipe[1]);
  ::close(out_pipe[1]);
  ::close(err_pipe[1]);
  if (pid > 0) {
    run.out = drain(out_pipe[0], 5000, false);
    run.err = drain(err_pipe[0], 5000, false);
    int status = 0;
    ::waitpid(pid, &status, 0);
    run.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  ::close(out_pipe[0]);
  ::close(err_pipe[0]);
  return run;
}

}  // namespace tessaril::test

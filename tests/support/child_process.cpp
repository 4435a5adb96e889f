#include "support/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>

extern char** environ;

namespace tessaril::test {

namespace {

int open_or(int fd, const std::string& path) {
  if (fd >= 0) return fd;
  if (path.empty()) return -1;
  return ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
}

}  // namespace

pid_t spawn_child(const std::vector<std::string>& argv, const ChildIo& io) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  // The environment, with the given variables set or replaced.
  std::vector<char*> vars;
  auto replaced = [&](const char* var) {
    for (const std::string& e : io.env)
      if (std::strncmp(var, e.c_str(), e.find('=') + 1) == 0) return true;
    return false;
  };
  for (char** e = environ; *e; ++e)
    if (!replaced(*e)) vars.push_back(*e);
  for (const std::string& e : io.env) vars.push_back(const_cast<char*>(e.c_str()));
  vars.push_back(nullptr);
  const char* folder = io.folder.empty() ? nullptr : io.folder.c_str();
  const pid_t pid = ::fork();
  if (pid != 0) return pid;
  // Child: only async-signal-safe calls from here on.
  if (folder && ::chdir(folder) != 0) ::_exit(126);
  const int in = io.stdin_fd >= 0 ? io.stdin_fd : ::open("/dev/null", O_RDONLY);
  const int out = open_or(io.stdout_fd, io.stdout_path);
  const int err = open_or(io.stderr_fd, io.stderr_path);
  if (in < 0) ::_exit(126);
  ::dup2(in, 0);
  if (out >= 0) ::dup2(out, 1);
  if (err >= 0) ::dup2(err, 2);
  ::execve(args[0], args.data(), vars.data());
  ::_exit(127);
}

int wait_child(pid_t pid, int limit_ms, bool& timed_out) {
  using Clock = std::chrono::steady_clock;
  timed_out = false;
  const auto end = Clock::now() + std::chrono::milliseconds(limit_ms);
  int status = 0;
  for (;;) {
    const pid_t done = ::waitpid(pid, &status, limit_ms < 0 ? 0 : WNOHANG);
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

}  // namespace tessaril::test

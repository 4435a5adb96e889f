// Child processes for the tests: the program and the simulator run as the
// user runs them, with their output in files or pipes.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace tessaril::test {

struct ChildIo {
  std::string folder;       // working folder; empty: the test's own
  int stdin_fd = -1;        // -1: /dev/null
  int stdout_fd = -1;       // a descriptor, or
  std::string stdout_path;  // a file to create; neither: inherited
  int stderr_fd = -1;
  std::string stderr_path;
  std::vector<std::string> env;  // NAME=VALUE set (or replaced) in the child's environment
};

// Starts argv[0] (a path) with argv; -1 when it could not be started. The
// descriptors given are duplicated into the child; the caller closes its own.
pid_t spawn_child(const std::vector<std::string>& argv, const ChildIo& io);

// Waits for the child, killing it at the limit (-1: no limit). Returns its
// exit code, -1 when it was killed or ended by a signal.
int wait_child(pid_t pid, int limit_ms, bool& timed_out);

}  // namespace tessaril::test

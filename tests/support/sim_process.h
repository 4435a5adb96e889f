// Runs tessaril-bucsim as a child process on a pseudo-terminal of its own and
// gives the tests the device path it prints.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace tessaril::test {

class SimProcess {
 public:
  // Starts the simulator with `args` (and -q); waits for its first line.
  explicit SimProcess(const std::vector<std::string>& args);
  ~SimProcess();
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  bool started() const { return !device_.empty(); }
  const std::string& device() const { return device_; }
  const std::string& first_line() const { return first_line_; }

  static std::string binary();

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  std::string device_;
  std::string first_line_;
};

struct SimRun {
  int exit_status;
  std::string out;
  std::string err;
};
// Runs the simulator to its end (for --help and bad command lines).
SimRun run_sim(const std::vector<std::string>& args);

}  // namespace tessaril::test

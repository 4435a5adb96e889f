#include <sys/resource.h>

#include <filesystem>
#include <iterator>

#include "support/process_usage.h"

namespace tessaril::test {

size_t open_handle_count() {
  return static_cast<size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}));
}

int64_t process_cpu_ms() {
  rusage r{};
  getrusage(RUSAGE_SELF, &r);
  return (int64_t{r.ru_utime.tv_sec} + r.ru_stime.tv_sec) * 1000 + (r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1000;
}

}  // namespace tessaril::test

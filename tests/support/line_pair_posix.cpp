#include "support/line_pair.h"
#include "support/pty_pair.h"

namespace tessaril::test {

struct LinePair::Ends {
  PtyPair pty;
  LineLimits limits;
};

LinePair::LinePair() : ends_(std::make_unique<Ends>()) {}
LinePair::~LinePair() = default;
const LineLimits& LinePair::limits() const { return ends_->limits; }
const std::string& LinePair::port_path() const { return ends_->pty.slave_path(); }

std::string route_com_port(int number, const LinePair& pair) {
  return "[ports]\nCOM" + std::to_string(number) + "=" + pair.port_path() + "\n";
}
void LinePair::device_write(const std::vector<uint8_t>& bytes) { ends_->pty.device_write(bytes); }
std::vector<uint8_t> LinePair::device_read(size_t count, int timeout_ms) {
  return ends_->pty.device_read(count, timeout_ms);
}
void LinePair::vanish() { ends_->pty.close_master(); }

}  // namespace tessaril::test

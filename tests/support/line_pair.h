// The two ends of one serial line, for the serial layer's contract suite: the
// port end, which the layer under test opens by its name, and the device end,
// which the test drives straight through the system.
//
// Linux: a pseudo-terminal; the slave is the port, the master the device.
// Windows: two COM ports joined as a null modem (under Wine, two
// pseudo-terminals that socat joins, mapped in the prefix's dosdevices),
// named by the test runner in TESSARIL_TEST_COM_PAIR="COM21,COM22": the first
// is the port, the second the device. Bytes left on the line by an earlier
// test are drained when the pair is made.
//
// What a kind of line cannot show is stated as a reason (nullptr: it can), so
// that a case skips with the reason instead of passing without its check.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tessaril::test {

struct LineLimits {
  const char* no_line = nullptr;         // no pair at all
  const char* shared_open = nullptr;     // a second open of the port is not refused
  const char* standard_rates = nullptr;  // only the standard baud rates run
  const char* cannot_vanish = nullptr;   // the device end cannot disappear under the port
};

class LinePair {
 public:
  LinePair();
  ~LinePair();
  LinePair(const LinePair&) = delete;
  LinePair& operator=(const LinePair&) = delete;

  const LineLimits& limits() const;
  // The name the layer opens ("/dev/pts/7", "COM21").
  const std::string& port_path() const;
  // Writes every byte at the device end.
  void device_write(const std::vector<uint8_t>& bytes);
  // Reads at the device end until `count` bytes came or `timeout_ms` passed
  // without any byte arriving.
  std::vector<uint8_t> device_read(size_t count, int timeout_ms);
  // Closes the device end so that the device is gone (see limits()).
  void vanish();

  struct Ends;

 private:
  std::unique_ptr<Ends> ends_;
};

// Leads COM<number> of the program to the pair's port: on Linux the lines of
// buc_setup.ini that do it ("[ports]\nCOM1=/dev/pts/7\n"); Windows reads no
// such section, so there the serial layer's device override is set and the
// text is empty.
std::string route_com_port(int number, const LinePair& pair);

}  // namespace tessaril::test

// The options that print and end, and --port: what an engineer finds out
// about the program, its controls and the machine's serial ports.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "e2e/e2e_harness.h"

namespace tessaril::test {
namespace {

TEST(EndToEndProgramOptions, HelpNamesEveryOptionAndExitStatusAndVersionPrints) {
  E2eBench bench;
  const ProgramRun help = bench.run_args({"--help"});
  EXPECT_EQ(help.exit_code, 0);
  for (const char* word : {"--headless", "--script FILE", "--trace", "--junit FILE", "--port DEVICE", "--list-ports",
                           "--list-controls", "--version", "--help", "--fast-timeouts", "expect ID ~REGEX",
                           "expect-list", "repeat N ... end", "include FILE", "case NAME", "Exit status: 0",
                           "; 1 ", "; 2 ", "3 an expectation failed"})
    EXPECT_NE(help.out.find(word), std::string::npos) << word;
  const ProgramRun version = bench.run_args({"--version"});
  EXPECT_EQ(version.exit_code, 0);
  EXPECT_EQ(version.out.rfind("tessaril ", 0), 0u) << version.out;
  EXPECT_EQ(version.out.find_first_not_of("0123456789.\n", 9), std::string::npos) << version.out;
  const ProgramRun bad = bench.run_args({"--junit"});
  EXPECT_EQ(bad.exit_code, 2);
  EXPECT_NE(bad.err.find("--junit needs a file"), std::string::npos) << bad.err;
}

TEST(EndToEndProgramOptions, ListControlsGivesIdKindCaptionAndShortName) {
  E2eBench bench;
  const ProgramRun run = bench.run_args({"--list-controls"});
  EXPECT_EQ(run.exit_code, 0);
  // The line of each id: its dialog, kind, caption and short name.
  struct Row {
    const char* id;
    std::vector<std::string> fields;
  };
  for (const Row& r : {Row{" 4011  103  button", {"\"Get Fault Status (0x01)\"", " -"}},
                       Row{" 2401  103  field", {" - ", " frame1"}}, Row{" 1001  101  edit", {" port"}},
                       Row{" 4211  103  button", {"\"NOP (0x7F)\"", " hidden"}}}) {
    const size_t at = run.out.find(std::string("\n") + r.id + " ");
    ASSERT_NE(at, std::string::npos) << r.id << "\n" << run.out;
    const std::string line = run.out.substr(at + 1, run.out.find('\n', at + 1) - at - 1);
    for (const std::string& field : r.fields) EXPECT_NE(line.find(field), std::string::npos) << line;
  }
  EXPECT_EQ(run.out.rfind("  201  101  button        \"ENTER\"", 0), 0u) << run.out;
}

// A fake sysfs and /dev: a USB adapter with its by-id name, a real 8250
// port, a placeholder 8250 port and a virtual console.
void make_tree(const TempFolder& f) {
  for (const char* dir : {"sys", "sys/class", "sys/class/tty", "sys/devices", "sys/devices/usb1",
                          "sys/devices/usb1/1-1", "sys/devices/usb1/1-1/1-1:1.0",
                          "sys/devices/usb1/1-1/1-1:1.0/ttyUSB0", "sys/devices/serial8250",
                          "sys/devices/serial8250/tty", "sys/devices/serial8250/tty/ttyS1",
                          "sys/devices/pnp0", "sys/devices/pnp0/tty", "sys/devices/pnp0/tty/ttyS0",
                          "sys/bus", "sys/bus/usb-serial", "sys/bus/usb-serial/ftdi_sio", "sys/bus/port",
                          "sys/class/tty/tty0", "sys/class/tty/ttyS0", "sys/class/tty/ttyS1", "dev", "dev/serial",
                          "dev/serial/by-id"})
    ::mkdir(f.file(dir).c_str(), 0755);
  f.write("sys/devices/usb1/1-1/idVendor", "0403\n");
  f.write("sys/devices/usb1/1-1/idProduct", "6001\n");
  f.write("sys/devices/usb1/1-1/product", "FT232R USB UART\n");
  f.write("sys/class/tty/ttyS0/type", "4\n");
  f.write("sys/class/tty/ttyS1/type", "0\n");
  for (const char* dev : {"dev/ttyUSB0", "dev/ttyS0", "dev/ttyS1", "dev/tty0"}) f.write(dev, "");
  struct Link {
    const char* from;
    const char* to;
  };
  for (const Link& l : {Link{"sys/class/tty/ttyUSB0", "../../devices/usb1/1-1/1-1:1.0/ttyUSB0"},
                        Link{"sys/devices/usb1/1-1/1-1:1.0/ttyUSB0/device", ".."},
                        Link{"sys/devices/usb1/1-1/1-1:1.0/driver", "../../../../bus/usb-serial/ftdi_sio"},
                        Link{"sys/class/tty/ttyS0/device", "../../../devices/pnp0"},
                        Link{"sys/devices/pnp0/driver", "../../bus/port"},
                        Link{"sys/class/tty/ttyS1/device", "../../../devices/serial8250"},
                        Link{"sys/devices/serial8250/driver", "../../bus/port"},
                        Link{"dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0", "../../ttyUSB0"}})
    ASSERT_EQ(::symlink(l.to, f.file(l.from).c_str()), 0) << l.from;
}

TEST(EndToEndProgramOptions, ListPortsShowsTheSystemsPortsAndTheMappedPseudoTerminal) {
  E2eBench bench;
  TempFolder tree;
  make_tree(tree);
  ASSERT_TRUE(bench.start_device());
  const std::string by_id = tree.file("dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0");
  bench.write_ports({"COM1=" + bench.device_link(), "COM3=" + by_id, "COM9=" + tree.file("dev/ttyUSB7")});
  ::setenv("TESSARIL_SYSFS_ROOT", tree.file("sys").c_str(), 1);
  ::setenv("TESSARIL_DEV_ROOT", tree.file("dev").c_str(), 1);
  const ProgramRun run = bench.run_args({"--list-ports"});
  ::unsetenv("TESSARIL_SYSFS_ROOT");
  ::unsetenv("TESSARIL_DEV_ROOT");
  EXPECT_EQ(run.exit_code, 0) << run.err;
  char pty[256] = {};
  ASSERT_GT(::readlink(bench.device_link().c_str(), pty, sizeof pty - 1), 0);
  // No COM1 on ttyS0: buc_setup.ini gives COM1 to the simulator.
  EXPECT_EQ(run.out, by_id + " -> " + tree.file("dev/ttyUSB0") +
                         "  usb 0403:6001 \"FT232R USB UART\"  COM3 (buc_setup.ini)\n" +
                         tree.file("dev/ttyS0") + "\n" +
                         "COM1 (buc_setup.ini) " + bench.device_link() + " -> " + pty + "\n" +
                         "COM9 (buc_setup.ini) " + tree.file("dev/ttyUSB7") + "  (not present)\n");
}

TEST(EndToEndProgramOptions, PortMapsTheTypedNumberToTheDeviceForThisRun) {
  E2eBench bench;
  ASSERT_TRUE(bench.start_device());
  bench.use_missing_port();
  const std::string script = "set port 1\nclick ENTER\nclick \"Get Fault Status\"\nclick Send\nwait 20000\n"
                             "expect frame1 RSP=Success(0x01)\n";
  const ProgramRun run = bench.run(script, {"--port", bench.device_link()});
  EXPECT_EQ(run.exit_code, 0) << run.out << run.err;
  EXPECT_EQ(run.count("1 passed, 0 failed"), 1) << run.out;
  EXPECT_EQ(bench.stop_device().size(), 1u);
  // A device that is not there: the port, the device and the system's reason.
  const ProgramRun missing = bench.run("set port 2\nclick ENTER\nlist hex\n", {"--port", "/dev/tessaril-none"});
  EXPECT_EQ(missing.exit_code, 0) << missing.err;
  EXPECT_NE(missing.out.find("Cannot open COM2 (/dev/tessaril-none): No such file or directory"), std::string::npos)
      << missing.out;
}

}  // namespace
}  // namespace tessaril::test

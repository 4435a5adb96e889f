// Every builder button of the command dialog, pressed in the real program and
// sent to the simulated BUC: the bytes the device receives, frame by frame.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/e2e_harness.h"

namespace tessaril::test {
namespace {

struct Press {
  int button;
  uint8_t code;
  const char* data;  // nullptr: no data field
};

// The builders with the inputs as the dialog opens (the chain boxes unticked
// by the script, a calibration file chosen for Set Calibration File).
const Press presses[] = {
    {4011, 0x01, nullptr},
    {4021, 0x02, nullptr},
    {4031, 0x03, nullptr},
    {4041, 0x04, nullptr},
    {4051, 0x05, nullptr},
    {4061, 0x06, nullptr},
    {4071, 0x07, "highband"},
    {4081, 0x08, "28.050GHz"},
    {4091, 0x09, nullptr},
    {4101, 0x0A, "*,*"},
    {4111, 0x0B, "*"},
    {4121, 0x0C, "*,*"},
    {4131, 0x0D, nullptr},
    {4141, 0x0E, nullptr},
    {4151, 0x0F, "CAL_DATA.XML,12345"},
    {4161, 0x10, "*,*"},
    {4171, 0x11, nullptr},
    {4181, 0x12, nullptr},
    {4182, 0x13, nullptr},
    {4191, 0x14, "enabled"},
    {4192, 0x60, "rhand"},
    {4183, 0x61, nullptr},
    {4242, 0x74, nullptr},
    {4252, 0x75, nullptr},
    {4301, 0x76, "TEMP=85.0"},
    {4291, 0x77, "normal"},
    {4281, 0x78, "TEMP=30.0,HTEMP=20.0"},
    {4271, 0x79, "1"},
    {4251, 0x7B, nullptr},
    {4241, 0x7C, nullptr},
    {4231, 0x7D, "BPN=0000000000000,MID=000,BSN=000000000,FID=000000"},
    {4221, 0x7E, "new"},
    {4211, 0x7F, nullptr},
};

// Presses buttons first..last of `presses` in one program run, each followed
// by Send, and checks the device's frames and the result field.
void press_and_check(size_t first, size_t last, bool on_qt = false) {
  E2eBench bench;
  if (on_qt) bench.use_qt_offscreen();
  bench.folder().write("cal_data.xml", std::string(12345, 'x'));
  ASSERT_TRUE(bench.start_device("", {"--folder", bench.folder().path()}));

  std::string script =
      "click 201\n"
      "# one frame per Send: every chain box unticked\n"
      "click 5101\nclick 5121\nclick 5141\nclick 5151\nclick 5161\nclick 5271\n"
      "click 3151\n"
      "choose " +
      bench.folder().file("cal_data.xml") +
      "\n"
      "click 4152\n";
  // Start File Transfer presets a 6000-ms wait after the answer; the wait is
  // no part of the frame and is cut to keep the run short.
  for (size_t i = first; i < last; ++i)
    script += "click " + std::to_string(presses[i].button) + "\nset 1701 100\nclick 227\nwait 20000\nget 2401\n";
  const ProgramRun run = bench.run(script);
  const std::vector<Bytes> frames = bench.stop_device();

  const size_t count = last - first;
  EXPECT_EQ(run.exit_code, 0) << run.err;
  ASSERT_EQ(frames.size(), count) << run.out;
  for (size_t i = 0; i < count; ++i) {
    const Press& p = presses[first + i];
    // seq_no starts at 1 when the dialog opens; every builder advances it,
    // the extended header too, which does not show it.
    const Bytes expected = wire(command_frame(p.code, static_cast<uint16_t>(i + 1), p.data));
    EXPECT_EQ(hex(frames[i]), hex(expected)) << "button " << p.button;
  }
  EXPECT_EQ(run.count("idle"), static_cast<int>(count));
  const std::vector<std::string> results = run.values(2401);
  ASSERT_EQ(results.size(), count);
  for (size_t i = 0; i < count; ++i)
    EXPECT_EQ(results[i], "RSP=Success(0x01)") << "button " << presses[first + i].button;
}

// The two halves run as two tests so that CTest can run them side by side.
constexpr size_t shown_commands = 20;  // 0x01 to 0x14

TEST(EndToEndWorkflow, EveryShownBuilderPutsItsFrameOnTheWire) { press_and_check(0, shown_commands); }

TEST(EndToEndWorkflow, EveryHiddenBuilderPutsItsFrameOnTheWire) {
  static_assert(std::size(presses) == 33);
  press_and_check(shown_commands, std::size(presses));
}

#ifdef TESSARIL_HAS_QT
// The same run once on the real windows of the Qt back end: every builder,
// the hidden ones too, in one program run.
TEST(EndToEndWorkflowQt, EveryBuilderPutsItsFrameOnTheWireFromTheWindows) {
  press_and_check(0, std::size(presses), true);
}
#endif

}  // namespace
}  // namespace tessaril::test

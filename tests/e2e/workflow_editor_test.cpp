// The frame editor as an engineer uses it against the simulated BUC: Send
// without the CRC or the end code, an edited header sent with its stale CRC
// and again after "CRC Recalc.", and "Reset State" followed by Send.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/e2e_harness.h"

namespace tessaril::test {
namespace {

TEST(EndToEndWorkflow, EditorSendsWhatItHoldsAndTheDeviceJudgesIt) {
  E2eBench bench;
  ASSERT_TRUE(bench.start_device());
  const ProgramRun run = bench.run(
      "click 201\n"
      "# 1: Get Fault Status without its CRC\n"
      "click 4011\nclick 5501\nclick 227\nwait 20000\nget 2401\n"
      "# 2: with the CRC but without the end code\n"
      "click 5501\nclick 5502\nclick 227\nwait 20000\nget 2401\n"
      "# 3: status byte edited, CRC not recomputed\n"
      "click 5502\nclick 4011\nset 1402 08\nclick 227\nwait 20000\nget 2401\n"
      "# 4: the same after CRC Recalc.\n"
      "click 230\nclick 227\nwait 20000\nget 2401\n"
      "# 5: Reset State, then Send\n"
      "click 231\nget 1401\nget 1470\nget 1472\nclick 227\nwait 20000\nget 2401\nget 2501\n");
  const std::vector<Bytes> frames = bench.stop_device();
  EXPECT_EQ(run.exit_code, 0) << run.err;
  ASSERT_EQ(frames.size(), 5u) << run.out;

  const Bytes full = command_frame(0x01, 1, nullptr);  // 01 00 00 01 00 00 A9 78 C0
  ASSERT_EQ(hex(full), "01 00 00 01 00 00 A9 78 C0");
  EXPECT_EQ(hex(frames[0]), "01 00 00 01 00 00 C0");
  EXPECT_EQ(hex(frames[1]), "01 00 00 01 00 00 A9 78") << "a frame without END, after its last byte";

  Bytes stale = command_frame(0x01, 2, nullptr);
  stale[1] = 0x08;
  EXPECT_EQ(hex(frames[2]), hex(wire(stale)));
  const Bytes recalculated = seal({0x01, 0x08, 0x00, 0x02, 0x00, 0x00});
  EXPECT_EQ(hex(frames[3]), hex(wire(recalculated)));
  EXPECT_EQ(hex(frames[4]), "00 00 00 00 00 00 00 00 C0");

  const std::vector<std::string> results = run.values(2401);
  ASSERT_EQ(results.size(), 5u);
  EXPECT_EQ(results[0], "RSP=data-len&field mismatch(0x07)");
  EXPECT_EQ(results[1], "RSP=data-len&field mismatch(0x07)");
  EXPECT_EQ(results[2], "RSP=Invalid FCS detected(0x04)");
  EXPECT_EQ(results[3], "RSP=Success(0x01)");
  EXPECT_EQ(results[4], "RSP=Invalid FCS detected(0x04)");
  EXPECT_EQ(run.value(1401), "00");
  EXPECT_EQ(run.value(1470), "00");
  EXPECT_EQ(run.value(1472), "C0");
  EXPECT_EQ(run.value(2501), " ") << "Send blanks every result field";
}

}  // namespace
}  // namespace tessaril::test

// The link threads against the device simulator: what the command dialog
// shows for each answer the simulator gives, good or spoiled on purpose.
#include <gtest/gtest.h>

#include "link/link_fixture.h"
#include "link/link_state.h"
#include "link/link_threads.h"
#include "link/serial_port.h"
#include "support/sim_process.h"
#include "platform/clock.h"
#include "platform/controls.h"

namespace tessaril::test {
namespace {

using namespace tessaril::link;

class LinkSimExchangeTest : public LinkTest {
 protected:
  // Runs one command through both threads as the sequencer would; returns
  // the result field and, when one came, the answer byte posted.
  std::string run(uint8_t code, const Bytes& data, uintptr_t* answer = nullptr) {
    platform::set_control_text(dialog, result_field_id(1), "*");
    const Bytes raw = make_frame(code, 0, ++seq, data);
    session.store_tx_frame(1, raw.data(), static_cast<int>(raw.size()));
    session.frame_slot = 1;
    session.post_tx_command(TX_SEND_FRAME);
    ui::PostedMessage m{};
    EXPECT_TRUE(next_post(m, 2000));
    EXPECT_EQ(m.wparam, 0x100001u);
    session.link_event_handled();  // as the sequencer does once it has decided
    session.post_rx_command(RX_AWAIT_ANSWER);
    std::string text = wait_result(1, 5000);
    // Only a validated answer is posted; "No_Ans" and "Ans_RCV_ERR" are not.
    const bool posted = text != "No_Ans" && text != "Ans_RCV_ERR";
    EXPECT_EQ(next_post(m, posted ? 1000 : 100), posted) << text;
    if (posted && answer) *answer = m.wparam;
    if (posted) session.link_event_handled();
    EXPECT_TRUE(wait_idle(1000));
    return text;
  }
  uint16_t seq = 0;
};

TEST_F(LinkSimExchangeTest, WhatTheDialogShowsForEachAnswer) {
  folder.write("cal_c.gz", std::string(77, 'z'));
  std::string scenario = folder.write("faults.txt",
                                      "0x02 fault=no-answer\n"
                                      "0x03 fault=short\n"
                                      "0x04 fault=long\n"
                                      "0x06 fault=bad-crc\n"
                                      "0x0D rsp=0x1E\n"
                                      "0x07 fault=twice\n");
  SimProcess sim({"--folder", folder.path(), "--scenario", scenario});
  ASSERT_TRUE(sim.started()) << sim.first_line();
  std::string ini = folder.write("buc_setup.ini", "[ports]\nCOM2=" + sim.device() + "\n");
  std::string error;
  ASSERT_TRUE(open_serial_port(session, 2, 38400, 8, ini, error)) << error;
  ASSERT_TRUE(start_link_threads(session));

  uintptr_t answer = 0;
  EXPECT_EQ(run(0x01, {}, &answer), "RSP=Success(0x01)");
  EXPECT_EQ(answer, 0x81u);
  EXPECT_EQ(run(0x02, {}), "No_Ans");
  EXPECT_EQ(run(0x03, {}), "Ans_RCV_ERR");
  EXPECT_EQ(run(0x04, {}), "Ans_RCV_ERR");
  EXPECT_EQ(run(0x05, {}), "RSP=Success(0x01)");  // the long answer's tail is passed over
  EXPECT_EQ(run(0x06, {}, &answer), "CRC_NG");
  EXPECT_EQ(answer, 0x86u);
  EXPECT_EQ(session.rsp_ok.load(), 0);
  EXPECT_EQ(run(0x0D, {}), "RSP=unimplemented cmd(0x1E)");
  EXPECT_EQ(run(0x0E, {}, &answer), "RSP=Success(0x01)");
  EXPECT_EQ(answer, 0x8Eu);
  EXPECT_STREQ(session.rx_file_name, "CAL_C.GZ");
  EXPECT_EQ(session.rx_file_size.load(), 77);
  EXPECT_EQ(session.rsp_ok.load(), 1);
  EXPECT_EQ(run(0x7F, {}, &answer), "RSP=Success(0x01)");
  EXPECT_EQ(answer, 0xFFu);
  // An answer sent twice back to back arrives in one read: it is cut to its
  // own length and the copy goes with it, so the next command gets its own.
  EXPECT_EQ(run(0x07, {'o', 'n', 0}, &answer), "RSP=Modem cmd field err(0x0A)");
  EXPECT_EQ(answer, 0x87u);
  EXPECT_EQ(run(0x01, {}, &answer), "RSP=Success(0x01)");
  EXPECT_EQ(answer, 0x81u);
}

}  // namespace
}  // namespace tessaril::test

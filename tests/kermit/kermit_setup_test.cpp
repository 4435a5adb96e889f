// Set-up of a transfer: the fixed choices, the one-entry file list, the
// bound on names.
#include <gtest/gtest.h>

#include <string>

#include "kermit/kermit_files.h"
#include "kermit/kermit_line.h"
#include "kermit/kermit_setup.h"

namespace tessaril::kermit {
namespace {

TEST(KermitSetup, InstallsTheFixedChoicesAndInitialises) {
  KermitInstance engine;
  KermitState& kermit_state = engine.state;
  const KermitBuffers& kermit_buffers = engine.buffers;
  kermit_state.bct = 3;
  kermit_state.file_binary = 0;
  kermit_state.line_parity = 1;
  kermit_state.cancel = 2;
  kermit_state.keep_partial = 1;
  kermit_state.expected_size = 99;  // left by the transfer before
  ASSERT_EQ(setup_kermit(engine, "CAL.XML", "/some/where/cal.xml", 7), KR_OK);
  const KermitState& k = kermit_state;
  EXPECT_EQ(k.bct, 1);
  EXPECT_EQ(k.file_binary, 1);
  EXPECT_EQ(k.line_parity, 0);
  EXPECT_EQ(k.cancel, 0);
  EXPECT_EQ(k.keep_partial, 0);  // a file that fails is removed
  EXPECT_EQ(k.expected_size, -1);
  EXPECT_EQ(k.expected_name, kermit_buffers.send_name_buf);
  EXPECT_EQ(k.ctrlc_abort, 1);
  EXPECT_EQ(k.file_mode_hint, 1);
  EXPECT_EQ(k.port, 7);
  EXPECT_STREQ(k.send_path, "/some/where/cal.xml");
  ASSERT_NE(k.file_list, nullptr);
  EXPECT_STREQ(k.file_list[0], "CAL.XML");
  EXPECT_EQ(k.file_list[0], kermit_buffers.send_name_buf);
  EXPECT_EQ(k.file_list[1], nullptr);
  EXPECT_EQ(k.in_buf, kermit_buffers.in_buf);
  EXPECT_EQ(k.in_buf_size, 4096);
  EXPECT_EQ(k.out_buf, kermit_buffers.out_buf);
  EXPECT_EQ(k.out_buf_size, 8192);
  EXPECT_EQ(k.readpkt, &readpkt);
  EXPECT_EQ(k.tx_data, &tx_data);
  EXPECT_EQ(k.closefile, &closefile);
  EXPECT_EQ(k.debug_hook, nullptr);
  EXPECT_EQ(k.state, R_AWAIT_INIT);
  EXPECT_EQ(k.direction, 2);
  EXPECT_STREQ(k.version_text, "1.7");
  EXPECT_EQ(engine.result.result_state, R_AWAIT_INIT);
  EXPECT_EQ(k.files, &engine.buffers.files);
}

TEST(KermitSetup, NameLongerThanTheBufferIsRefusedNotCut) {
  KermitInstance engine;
  const KermitBuffers& kermit_buffers = engine.buffers;
  std::string fits(39, 'N');
  ASSERT_EQ(setup_kermit(engine, fits.c_str(), "", 1), KR_OK);
  EXPECT_EQ(std::string(kermit_buffers.send_name_buf), fits);
  std::string too_long(40, 'L');
  EXPECT_EQ(setup_kermit(engine, too_long.c_str(), "", 1), -1);
  EXPECT_EQ(std::string(kermit_buffers.send_name_buf), fits);  // untouched
  EXPECT_EQ(setup_kermit(engine, nullptr, nullptr, 1), KR_OK);
  EXPECT_STREQ(kermit_buffers.send_name_buf, "");
}

}  // namespace
}  // namespace tessaril::kermit

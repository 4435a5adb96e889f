// A command dialog as the program opens it, for the tests of the builders,
// the frame editor and the file selection: the real layout 103 in the
// headless back end, given its initial state by the dialog's own
// initialisation, with the link's shared words and the transfer file reset.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "shell/builders.h"
#include "shell/frame_editor.h"
#include "shell/frame_presenter.h"
#include "shell/product_id.h"
#include "link/link_state.h"
#include "link/session.h"
#include "link/transfer_file.h"
#include "platform/controls.h"
#include "shell/command_dialog.h"
#include "shell/config.h"
#include "shell/layout_tables.h"
#include "support/installed_session.h"
#include "ui/headless/headless_backend.h"

namespace tessaril::commands::test {

// The dialog side of the commands (builders, editor, file selection) is the shell's.
using namespace ::tessaril::shell;

using link::TX_FILE_NAME_CAPACITY;
using link::TransferFile;

class CommandDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::install_headless_backend();
    S().reset();
    S().tx_file.set("", 0, "");
    std::snprintf(product_id.bpn_text, sizeof product_id.bpn_text, "%s", shell::DEFAULT_BPN);
    std::snprintf(product_id.mid_text, sizeof product_id.mid_text, "%s", "000");
    std::snprintf(product_id.bsn_text, sizeof product_id.bsn_text, "%s", shell::DEFAULT_BSN);
    std::snprintf(product_id.fid_text, sizeof product_id.fid_text, "%s", shell::DEFAULT_FID);
    dialog = ui::create_test_dialog(shell::command_dialog_template);
    shell::on_command_dialog_init(dialog);
  }
  void TearDown() override {
    shell::dialog_view().detach(dialog);
    ui::destroy_test_dialog(dialog);
  }

  std::string text(int id) const { return platform::control_text(dialog, id); }
  void set(int id, const std::string& value) const { platform::set_control_text(dialog, id, value); }
  bool checked(int id) const { return platform::is_checked(dialog, id); }
  void check(int id, bool on) const { platform::set_check(dialog, id, on); }
  // Ticks a radio button and unticks the rest of its group, as a click does.
  void select_radio(std::initializer_list<int> group, int id) const {
    for (int g : group) check(g, g == id);
  }

  void build(int button_id) const { ASSERT_TRUE(build_command_for_button(dialog, S(), button_id)); }

  // The six header entries as the editor shows them.
  std::vector<std::string> header_entries() const {
    std::vector<std::string> h;
    for (int k = 0; k < 6; ++k) h.push_back(text(IDC_HEADER_FIRST + k));
    return h;
  }

  // The frame the editor holds for slot 1, read as Send reads it.
  std::vector<uint8_t> editor_frame(bool crc = true, bool end = true) const {
    uint8_t raw[link::FRAME_MAX];
    const int n = read_editor_frame(dialog, 1, raw, header_size_field(dialog, 6), data_size_field(dialog, 6), crc, end);
    return std::vector<uint8_t>(raw, raw + n);
  }

  // The raw and encoded frame stored in a step of the transmit buffers.
  static std::vector<uint8_t> step_raw(int step) {
    link::TxFrameCopy copy;
    S().load_tx_frame(step, copy);
    return std::vector<uint8_t>(copy.raw, copy.raw + copy.raw_len);
  }
  static std::vector<uint8_t> step_enc(int step) {
    link::TxFrameCopy copy;
    S().load_tx_frame(step, copy);
    return std::vector<uint8_t>(copy.enc, copy.enc + copy.enc_len);
  }

  ::tessaril::test::InstalledSession installed;
  platform::DialogHandle dialog = platform::NO_DIALOG;
};

// The bytes of a text followed by its NUL.
inline std::vector<uint8_t> with_nul(const std::string& text) {
  std::vector<uint8_t> v(text.size() + 1, 0);
  for (size_t i = 0; i < text.size(); ++i) v[i] = static_cast<uint8_t>(text[i]);
  return v;
}

// The data field of a raw frame (6-byte header, CRC and END behind it).
inline std::vector<uint8_t> data_field(const std::vector<uint8_t>& frame) {
  if (frame.size() < 9) return {};
  return std::vector<uint8_t>(frame.begin() + 6, frame.end() - 3);
}

}  // namespace tessaril::commands::test

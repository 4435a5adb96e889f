// The two dialog layouts: ids, kinds, texts, places and visibility are what
// scripts, builders and the link threads address, so they are pinned here.
#include "shell/layout_tables.h"

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <set>
#include <string>

namespace tessaril::shell {
namespace {

using platform::ControlKind;
using platform::ControlSpec;
using platform::DialogTemplate;

const ControlSpec& row(const DialogTemplate& layout, int id) {
  const ControlSpec* c = find_control_spec(layout, id);
  if (!c) {
    ADD_FAILURE() << "no control " << id;
    static const ControlSpec none{};
    return none;
  }
  return *c;
}

// The row after the one with id (for labels that have no id of their own).
const ControlSpec& row_after(const DialogTemplate& layout, int id) {
  for (size_t i = 0; i + 1 < layout.control_count; ++i)
    if (layout.controls[i].id == id) return layout.controls[i + 1];
  ADD_FAILURE() << "no row after " << id;
  static const ControlSpec none{};
  return none;
}

TEST(ShellLayout, PortDialogTemplate) {
  const DialogTemplate& t = port_dialog_template;
  EXPECT_EQ(t.id, 101);
  EXPECT_STREQ(t.caption, "Tessaril Program V 3.0.8");
  EXPECT_EQ(t.width, 211);
  EXPECT_EQ(t.height, 101);
  ASSERT_EQ(t.control_count, 4u);

  const ControlSpec& enter = row(t, 201);
  EXPECT_EQ(enter.kind, ControlKind::Button);
  EXPECT_STREQ(enter.text, "ENTER");
  EXPECT_EQ(enter.style & 0xF, platform::BS_DEFPUSHBUTTON);
  EXPECT_TRUE(enter.style & platform::WS_TABSTOP);
  EXPECT_EQ((std::array{enter.x, enter.y, enter.width, enter.height}), (std::array{80, 65, 50, 14}));

  EXPECT_EQ(t.controls[1].kind, ControlKind::GroupBox);
  EXPECT_STREQ(t.controls[1].text, "Serial Port Number Setting");
  EXPECT_STREQ(t.controls[2].text, "Serial Port Number  COM");  // two blanks before COM

  const ControlSpec& port = row(t, 1001);
  EXPECT_EQ(port.kind, ControlKind::Edit);
  EXPECT_STREQ(port.text, "");
  EXPECT_TRUE(port.style & platform::WS_BORDER);
  EXPECT_TRUE(port.style & platform::ES_AUTOHSCROLL);
  EXPECT_EQ((std::array{port.x, port.y, port.width, port.height}), (std::array{113, 25, 13, 12}));
  EXPECT_EQ(t.controls[3].id, 1001);  // the edit is the last control of the tab order
}

TEST(ShellLayout, CommandDialogFrame) {
  const DialogTemplate& t = command_dialog_template;
  EXPECT_EQ(t.id, 103);
  EXPECT_STREQ(t.caption, "Remote Control Command V 3.0.8");
  EXPECT_EQ(t.width, 551);
  EXPECT_EQ(t.height, 468);
  EXPECT_EQ(COMMAND_DIALOG_STYLE & platform::WS_SYSMENU, 0u);  // no close box
  EXPECT_NE(PORT_DIALOG_STYLE & platform::WS_SYSMENU, 0u);
  // The first and the last rows of the tab order.
  EXPECT_EQ(t.controls[0].id, 4011);
  EXPECT_EQ(t.controls[t.control_count - 1].kind, ControlKind::GroupBox);
  EXPECT_STREQ(t.controls[t.control_count - 1].text, "Set Polarization(0x60)");
  EXPECT_FALSE(t.controls[t.control_count - 1].shown);
}

TEST(ShellLayout, IdsAreUniqueAndNamedOnes) {
  std::set<int> seen;
  for (size_t i = 0; i < command_dialog_template.control_count; ++i) {
    int id = command_dialog_template.controls[i].id;
    if (id == IDC_STATIC) continue;
    EXPECT_TRUE(seen.insert(id).second) << "id " << id << " twice";
  }
  // Every id of the template, and nothing else (edits 1401-1436 counted apart).
  const std::set<int> expected = {
      4011, 4021, 4031, 4041, 4051, 4061, 3071, 3072, 4071, 1081, 4081, 1091, 4091, 4102, 2102, 2103, 4101, 5101,
      1111, 4111, 1121, 1122, 4121, 5121, 4131, 5141, 4141, 4152, 2152, 2153, 5151, 4151, 4162, 2162, 2163, 5161,
      4161, 4171, 4181, 4182, 3191, 3192, 4191, 3193, 3194, 4192, 4183, 4242, 4252, 4211, 3221, 3222, 4221, 1231,
      1232, 1233, 1234, 4231, 4241, 4251, 3271, 3272, 5271, 4271, 1281, 1283, 4281, 3291, 3292, 3293, 4291, 1282,
      4301, 231,  223,  1501, 1502, 1503, 5501, 1470, 1471, 230,  5502, 1472, 227,  2401, 1701, 5701, 2501, 5703,
      2701, 1702, 1703, 5704, 232,  5702, 2601, 226,  225,  3151, 3152};
  std::set<int> named;
  for (int id : seen)
    if (id < 1401 || id > 1436) named.insert(id);
  EXPECT_EQ(named, expected);
  for (int id = 1401; id <= 1436; ++id) EXPECT_TRUE(seen.count(id)) << id;
}

TEST(ShellLayout, BuilderButtonsShownAndHidden) {
  const std::map<int, bool> buttons = {
      {4011, true},  {4021, true},  {4031, true},  {4041, true},  {4051, true},  {4061, true},  {4071, true},
      {4081, true},  {4091, true},  {4101, true},  {4111, true},  {4121, true},  {4131, true},  {4141, true},
      {4151, true},  {4161, true},  {4171, true},  {4181, true},  {4182, true},  {4191, true},  {4192, false},
      {4183, false}, {4242, false}, {4252, false}, {4301, false}, {4291, false}, {4281, false}, {4271, false},
      {4251, false}, {4241, false}, {4231, false}, {4221, false}, {4211, false}};
  ASSERT_EQ(buttons.size(), 33u);
  for (auto [id, shown] : buttons) {
    const ControlSpec& c = row(command_dialog_template, id);
    EXPECT_EQ(c.kind, ControlKind::Button) << id;
    EXPECT_EQ(c.shown, shown) << id;
    EXPECT_TRUE(c.style & platform::WS_TABSTOP) << id;
  }
  // Inputs of the hidden commands are hidden with them; "Reset State" too.
  for (int id : {3193, 3194, 3221, 3222, 1231, 1232, 1233, 1234, 3271, 3272, 5271, 1281, 1282, 1283, 3291, 3292,
                 3293, 231})
    EXPECT_FALSE(row(command_dialog_template, id).shown) << id;
  EXPECT_TRUE(row(command_dialog_template, 223).shown);
}

TEST(ShellLayout, CaptionsAsTheTemplateHasThem) {
  const std::map<int, std::string> captions = {
      {4011, "Get Fault Status (0x01)           Set"},
      {4031, "Get Product Id  (0x03)            Set"},
      {4061, "Get Band Selection (0x06)       Set"},
      {4071, "Set"},
      {4091, "Reset Status Latch (0x09)   Set"},
      {4171, "BUC Reset Command (0x11)  Set"},
      {4182, "Get Power Amp Status (0x13)    Set"},
      {4191, " Set"},
      {4192, " Set"},
      {4183, "Get Polarization(0x61)       Set"},
      {4242, "Reset Latched Bias Status (0x74)         Set"},
      {4211, "NOP (0x7F)     Set"},
      {4251, "Get Software Version Ex (0x7B)       Set"},
      {4102, "File Select"},
      {2102, "Filename"},
      {2103, "File size"},
      {5101, "->(Send Kermit File) -> KermitFileTrn. Status"},
      {5121, "->(Recv KermitFile) -> KermitFileTrn. Status"},
      {5141, "->Recieve File"},
      {5151, "->Send File"},
      {3151, ".XML"},
      {3152, ".GZ"},
      {231, "Reset State"},
      {223, "Return to Menu"},
      {227, "Send"},
      {230, "CRC Recalc."},
      {232, "KerTrns Quit"},
      {5501, "CRC Code"},
      {5502, "End Code"},
      {5701, "Send Frame2"},
      {5702, "Send Frame3"},
      {5703, "Kermit Trns."},
      {5704, "Trns TMO err"},
      {2401, "RSP=Success"},
      {2501, "RSP=Success"},
      {2601, "RSP=Failure"},
      {2701, "Rcv_Failure"},
  };
  for (const auto& [id, text] : captions) EXPECT_EQ(row(command_dialog_template, id).text, text) << id;
  EXPECT_STREQ(row_after(command_dialog_template, 1081).text, "GHz (5digit)");
  EXPECT_STREQ(row_after(command_dialog_template, 1091).text, "Cycle");
  EXPECT_STREQ(row_after(command_dialog_template, 4191).text, "rhand");
  EXPECT_STREQ(row_after(command_dialog_template, 4231).text, "Get Factory Status (0x7C)            Set");
}

TEST(ShellLayout, KindsStylesAndRadioGroups) {
  const DialogTemplate& t = command_dialog_template;
  for (int id : {3071, 3191, 3193, 3221, 3271, 3291, 3151}) {
    EXPECT_EQ(row(t, id).kind, ControlKind::RadioButton) << id;
    EXPECT_TRUE(row(t, id).group_start) << id;
  }
  for (int id : {3072, 3192, 3194, 3222, 3272, 3292, 3293, 3152}) {
    EXPECT_EQ(row(t, id).kind, ControlKind::RadioButton) << id;
    EXPECT_FALSE(row(t, id).group_start) << id;
  }
  for (int id : {5101, 5121, 5141, 5151, 5161, 5271, 5501, 5502, 5701, 5702, 5703, 5704})
    EXPECT_EQ(row(t, id).kind, ControlKind::CheckBox) << id;
  for (int id : {225, 226}) {
    const ControlSpec& list = row(t, id);
    EXPECT_EQ(list.kind, ControlKind::ListBox);
    EXPECT_EQ(list.style & (platform::LBS_SORT | platform::LBS_NOTIFY), platform::LBS_SORT | platform::LBS_NOTIFY);
    EXPECT_TRUE((list.style & platform::WS_VSCROLL) && (list.style & platform::WS_HSCROLL));
  }
  for (int id : {2102, 2152, 2162, 2401, 2501, 2601, 2701}) {
    EXPECT_EQ(row(t, id).kind, ControlKind::Static) << id;
    EXPECT_EQ(row(t, id).style, platform::SS_CENTER | platform::SS_SUNKEN) << id;
  }
  for (int id : {2103, 2153, 2163}) EXPECT_EQ(row(t, id).style, platform::SS_RIGHT | platform::SS_SUNKEN) << id;
  EXPECT_EQ(row(t, 1121).style & 0x3, platform::ES_CENTER);
  EXPECT_EQ(row(t, 1111).style & 0x3, platform::ES_LEFT);
  for (int id : {1081, 1091, 1122, 1501, 1502, 1503, 1470, 1471, 1472, 1701, 1702, 1703})
    EXPECT_EQ(row(t, id).style & 0x3, platform::ES_RIGHT) << id;
}

TEST(ShellLayout, EditorEntriesFollowTheirFormula) {
  const DialogTemplate& t = command_dialog_template;
  for (int k = 0; k < 6; ++k) {
    const ControlSpec& c = row(t, 1401 + k);
    EXPECT_EQ((std::array{c.x, c.y, c.width, c.height}), (std::array{33 + 12 * k, 299, 12, 12})) << 1401 + k;
  }
  const int ys[] = {300, 313, 327};
  for (int k = 0; k < 30; ++k) {
    const ControlSpec& c = row(t, 1407 + k);
    EXPECT_EQ(c.kind, ControlKind::Edit);
    EXPECT_EQ((std::array{c.x, c.y, c.width, c.height}), (std::array{127 + 12 * (k % 10), ys[k / 10], 12, 12}))
        << 1407 + k;
  }
  // A few places elsewhere, one per column and area.
  auto place = [&](int id) {
    const ControlSpec& c = row(t, id);
    return std::array{c.x, c.y, c.width, c.height};
  };
  EXPECT_EQ(place(4091), (std::array{53, 160, 108, 14}));
  EXPECT_EQ(place(5121), (std::array{171, 39, 143, 12}));
  EXPECT_EQ(place(4191), (std::array{290, 249, 24, 14}));
  EXPECT_EQ(place(4231), (std::array{447, 134, 23, 14}));
  EXPECT_EQ(place(227), (std::array{261, 335, 61, 16}));
  EXPECT_EQ(place(2601), (std::array{399, 340, 106, 9}));
  EXPECT_EQ(place(226), (std::array{3, 355, 542, 53}));
  EXPECT_EQ(place(225), (std::array{3, 421, 542, 39}));
}

}  // namespace
}  // namespace tessaril::shell

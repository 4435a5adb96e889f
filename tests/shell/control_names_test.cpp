// Names of controls for scripts: every control of both layouts can be named,
// and every name leads to exactly its control.
#include "shell/control_names.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "shell/control_ids.h"
#include "shell/layout_tables.h"

namespace tessaril::shell {
namespace {

int lookup(const std::string& name) {
  int id = -1;
  std::string detail;
  return find_control_by_name(name, id, detail) == NameLookup::Found ? id : -1;
}

TEST(ControlNames, EveryControlOfBothLayoutsIsListedAndNamedOnce) {
  const auto listing = list_controls();
  size_t addressable = 0;
  for (const platform::DialogTemplate* t : {&port_dialog_template, &command_dialog_template})
    for (size_t i = 0; i < t->control_count; ++i) addressable += t->controls[i].id != IDC_STATIC;
  EXPECT_EQ(listing.size(), addressable);

  std::set<std::string> short_names;
  for (const ControlListing& c : listing) {
    // A control with no caption, or one that reads as an id, has a short name.
    const bool numeric_caption = !c.caption.empty() && c.caption.find_first_not_of("0123456789") == std::string::npos;
    if (c.caption.empty() || numeric_caption) {
      EXPECT_FALSE(c.short_name.empty()) << c.id;
    }
    if (!c.short_name.empty()) {
      EXPECT_TRUE(short_names.insert(c.short_name).second) << c.short_name;
      EXPECT_EQ(lookup(c.short_name), c.id) << c.short_name;
    }
    // A caption names its control unless another control shows it too.
    if (!c.caption.empty() && !numeric_caption) {
      int id = -1;
      std::string detail;
      const NameLookup found = find_control_by_name(c.caption, id, detail);
      if (found == NameLookup::Found)
        EXPECT_EQ(id, c.id) << c.caption;
      else
        EXPECT_EQ(found, NameLookup::Ambiguous) << c.caption;
    }
  }
  // Command buttons by their command, with or without the code; the editor
  // entries by position.
  EXPECT_EQ(lookup("Get Fault Status"), IDC_GET_FAULT_STATUS);
  EXPECT_EQ(lookup("NOP (0x7F)"), IDC_NOP);
  EXPECT_EQ(lookup("BUC Reset Command"), IDC_BUC_RESET);
  EXPECT_EQ(lookup("header0"), IDC_HEADER_FIRST);
  EXPECT_EQ(lookup("data29"), IDC_DATA_LAST);
  EXPECT_EQ(lookup("FRAME1"), IDC_RESULT_FRAME1);
}

TEST(ControlNames, SharedCaptionsAndUnknownNamesFindNothing) {
  int id = 7;
  std::string detail;
  EXPECT_EQ(find_control_by_name("->Send File", id, detail), NameLookup::Ambiguous);
  EXPECT_EQ(detail, "5151, 5161");
  EXPECT_EQ(find_control_by_name("Set", id, detail), NameLookup::Ambiguous);
  EXPECT_EQ(find_control_by_name("Get Fault", id, detail), NameLookup::Unknown);
  EXPECT_EQ(find_control_by_name("", id, detail), NameLookup::Unknown);
  EXPECT_EQ(id, 7);
}

}  // namespace
}  // namespace tessaril::shell

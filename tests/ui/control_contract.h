// The contract of the control model, one suite for every UI back end: what
// the program relies on from the Windows dialog manager (modal nesting,
// posted messages, dropped posts and calls for ended dialogs, automatic
// radio groups, sorted list boxes, GetWindowTextA capacity, styles) and
// from the threads (workers writing controls while the dialog thread reads
// them or waits for them).
//
// The suite uses only platform:: and the back end's ui::UiDriver. A back end
// joins with one line in its own test program:
//   INSTANTIATE_TEST_SUITE_P(Name, ControlContract, testing::Values(BackEnd{...}));
// The test program runs the dialogs on its main thread (the thread of the
// QApplication for Qt).
#pragma once

#include <gtest/gtest.h>

#include <ostream>

#include "ui/script/ui_driver.h"

namespace tessaril::test {

struct ContractBackEnd {
  const char* name;
  // Installs the back end with automatic answers for the common dialogs.
  void (*install)();
  const ui::UiDriver& (*driver)();
};

inline std::ostream& operator<<(std::ostream& out, const ContractBackEnd& b) { return out << b.name; }

class ControlContract : public testing::TestWithParam<ContractBackEnd> {
 protected:
  void SetUp() override { GetParam().install(); }
  const ui::UiDriver& driver() const { return GetParam().driver(); }
};

}  // namespace tessaril::test

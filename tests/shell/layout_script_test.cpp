// Scripts on the real layouts: the radio groups and check boxes of template
// 103 behave as the template's group starts make them, and hidden controls
// are there to be read and clicked.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "ui/headless/headless_program.h"
#include "shell/program.h"
#include "support/temp_folder.h"

namespace tessaril::shell {
namespace {

std::string play(const std::string& script) {
  test::TempFolder folder;
  folder.write("buc_setup.ini", "[ports]\nCOM1=" + folder.file("no-port") + "\n");
  test::ScopedCurrentFolder here(folder.path());
  std::istringstream in(script);
  std::ostringstream out, err;
  ProgramOptions options;
  options.headless = true;
  EXPECT_EQ(ui::run_headless(options, in, out, err), 0) << err.str();
  return out.str();
}

TEST(ShellLayoutScript, RadioGroupsEndAtTheNextGroupStart) {
  std::string out = play(
      "click 201\n"
      // band: 3071/3072
      "click 3072\nchecked 3071\nchecked 3072\n"
      // power amp 3191/3192 and the hidden polarization 3193/3194 that
      // follows it are separate groups
      "click 3192\nchecked 3191\nchecked 3192\nchecked 3193\n"
      "click 3194\nchecked 3192\nchecked 3193\nchecked 3194\n"
      // fan mode: three in a group
      "click 3293\nchecked 3291\nchecked 3292\nchecked 3293\n"
      // the calibration type pair, last in the template, is its own group
      "click 3151\nchecked 3151\nchecked 3152\nchecked 3072\nchecked 3194\n");
  EXPECT_EQ(out,
            "3071=0\n3072=1\n"
            "3191=0\n3192=1\n3193=1\n"
            "3192=1\n3193=0\n3194=1\n"
            "3291=0\n3292=0\n3293=1\n"
            "3151=1\n3152=0\n3072=1\n3194=1\n");
}

TEST(ShellLayoutScript, CheckBoxesToggleAndHiddenControlsAnswer) {
  std::string out = play(
      "click 201\n"
      "checked 5101\nclick 5101\nchecked 5101\nclick 5101\nchecked 5101\n"
      "shown 231\nshown 4211\nshown 223\nshown 4011\n"
      "get 1232\nset 1232 12\nget 1232\n"
      "get 2102\nget 1501\nget 1472\n");
  EXPECT_EQ(out,
            "5101=1\n5101=0\n5101=1\n"
            "231=0\n4211=0\n223=1\n4011=1\n"
            "1232=000\n1232=12\n"
            "2102=*\n1501=6\n1472=C0\n");
}

}  // namespace
}  // namespace tessaril::shell

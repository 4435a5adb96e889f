// Scripts read whole: includes in place, repeat blocks paired, and every
// malformed line found before anything runs, with its file and line.
#include "ui/script/script_plan.h"

#include <gtest/gtest.h>
#include <filesystem>

#include <string>

#include "support/temp_folder.h"

namespace tessaril::ui {
namespace {

using test::TempFolder;

struct Loaded {
  bool ok;
  ScriptPlan plan;
  PlanError error;
};

Loaded load(const TempFolder& folder, const std::string& main_text) {
  Loaded l;
  l.ok = load_plan_file(folder.write("plan.txt", main_text), l.plan, l.error);
  return l;
}

TEST(ScriptPlan, IncludesAreRelativeToTheIncludingFileAndBlocksPair) {
  TempFolder folder;
  std::filesystem::create_directory(folder.file("common"));
  folder.write("common/open.txt", "set port 1\nclick ENTER\ninclude get.txt\n");
  folder.write("common/get.txt", "# the exchange\nclick \"Get Fault Status\"\nclick Send\nwait\n");
  Loaded l = load(folder,
                  "include common/open.txt\n"
                  "repeat 3\n"
                  "  repeat 2\n"
                  "    include common/get.txt\n"
                  "  end\n"
                  "  expect frame1 ~Success\n"
                  "end\n");
  ASSERT_TRUE(l.ok) << describe(l.error);
  ASSERT_EQ(l.plan.steps.size(), 13u);
  const auto& s = l.plan.steps;
  // open.txt's two lines, get.txt's three as brought in by line 1.
  EXPECT_EQ(l.plan.files[s[0].file], folder.file("common/open.txt"));
  EXPECT_EQ(s[2].line, 2);
  EXPECT_EQ(l.plan.files[s[2].file], folder.file("common/get.txt"));
  EXPECT_EQ(s[2].top_line, 1);
  // repeat 3 (5) ... end (12); repeat 2 (6) ... end (10).
  EXPECT_EQ(s[5].command.op, ScriptOp::Repeat);
  EXPECT_EQ(s[5].match, 12u);
  EXPECT_EQ(s[12].match, 5u);
  EXPECT_EQ(s[6].match, 10u);
  EXPECT_EQ(s[10].match, 6u);
  EXPECT_EQ(s[7].top_line, 4);
}

TEST(ScriptPlan, MalformedLinesAnywhereAreNamedWithTheirFile) {
  TempFolder folder;
  folder.write("bad.txt", "click ENTER\n\nexpect frame1 ~(\n");
  folder.write("self.txt", "include self.txt\n");
  folder.write("case.txt", "case inner\n");
  folder.write("open_block.txt", "repeat 2\n");
  struct Row {
    const char* script;
    int top_line;
    const char* file;  // "" for the script itself
    int line;
    const char* message;
  };
  for (const Row& r : {
           Row{"echo a\ninclude bad.txt\n", 2, "bad.txt", 3, "not a regular expression"},
           Row{"include missing.txt\n", 1, "", 1, "cannot read"},
           Row{"echo\ninclude self.txt\n", 2, "self.txt", 1, "includes itself"},
           Row{"repeat 2\ninclude case.txt\nend\n", 2, "case.txt", 1, "case inside a repeat"},
           Row{"include open_block.txt\nend\n", 1, "open_block.txt", 1, "repeat without its end"},
           Row{"echo\nend\n", 2, "", 2, "end without its repeat"},
           Row{"repeat 2\nrepeat 3\nend\n", 1, "", 1, "repeat without its end"},
       }) {
    Loaded l = load(folder, r.script);
    EXPECT_FALSE(l.ok) << r.script;
    EXPECT_EQ(l.error.top_line, r.top_line) << r.script;
    EXPECT_EQ(l.error.file, *r.file ? folder.file(r.file) : "") << r.script;
    EXPECT_EQ(l.error.line, r.line) << r.script;
    EXPECT_NE(l.error.message.find(r.message), std::string::npos) << r.script << ": " << l.error.message;
  }
  Loaded l = load(folder, "echo a\ninclude bad.txt\n");
  EXPECT_EQ(describe(l.error).rfind("script line 2: in " + folder.file("bad.txt") + " line 3: ", 0), 0u)
      << describe(l.error);
}

TEST(ScriptPlan, StandardInputComesInRunnablePieces) {
  std::istringstream in("echo a\nrepeat 2\necho b\nend\n\nclik\necho never\n");
  ScriptReader reader(in);
  ScriptPlan piece;
  PlanError error;
  ASSERT_TRUE(reader.next(piece, error));
  EXPECT_EQ(piece.steps.size(), 1u);
  ASSERT_TRUE(reader.next(piece, error));
  EXPECT_EQ(piece.steps.size(), 3u);  // the whole block at once
  EXPECT_EQ(piece.steps[0].line, 2);
  ASSERT_TRUE(reader.next(piece, error));  // the blank line
  EXPECT_TRUE(piece.steps.empty());
  EXPECT_FALSE(reader.next(piece, error));
  EXPECT_EQ(error.top_line, 6);
}

}  // namespace
}  // namespace tessaril::ui

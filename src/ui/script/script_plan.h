// A script read whole: its lines parsed, its includes put in place and its
// repeat blocks paired, before anything runs.
//
// How it works: a plan is a flat list of steps, one per command line, each
// with the file and the line it came from. An include is replaced by the
// steps of its file, whose path is taken relative to the including file; an
// include of a file already being read (a loop of includes) is malformed. A
// repeat step knows the index of its end and the end the index of its
// repeat, so the player jumps without searching. A block closes in the file
// it opens in, and a case never stands inside a block: a case is a test
// case of the report, named once.
//
// Standard input is read the same way in pieces: a line outside any block is
// a piece of its own and runs at once; a block runs when its last end has
// come (ScriptReader).
#pragma once

#include <istream>
#include <string>
#include <vector>

#include "ui/script/script_parser.h"

namespace tessaril::ui {

struct PlanStep {
  ScriptCommand command;
  int file = 0;        // index into ScriptPlan::files
  int line = 0;        // line number in that file
  int top_line = 0;    // the line of the outermost script that brought it in
  size_t match = 0;    // repeat: index of its end; end: index of its repeat
};

struct ScriptPlan {
  std::vector<std::string> files;  // [0] is the script itself ("" for standard input)
  std::vector<PlanStep> steps;
};

struct PlanError {
  int top_line = 0;   // line of the outermost script
  std::string file;   // the file of the malformed line, "" for the script itself
  int line = 0;
  std::string message;
};

// Where a line is: "script line 7", or "script line 3: in common/open.txt
// line 7" for a line of an included file (file "" is the script itself).
std::string plan_place(int top_line, const std::string& file, int line);

// The error with its place: "script line 7: unknown command ...".
std::string describe(const PlanError& error);

// Reads and checks the script file `path` whole. False with the first
// malformed line in error (a file that cannot be read is one: line 0).
bool load_plan_file(const std::string& path, ScriptPlan& plan, PlanError& error);

// Reads and checks script text; includes are relative to base_folder
// ("" = the current folder). first_line numbers its first line.
bool load_plan_text(const std::string& text, const std::string& base_folder, int first_line, ScriptPlan& plan,
                    PlanError& error);

// Standard input in runnable pieces.
class ScriptReader {
 public:
  explicit ScriptReader(std::istream& in) : in_(in) {}
  // The next piece: true with its steps in plan; false at the end of the
  // input (error.message empty) or at a malformed line (error set).
  bool next(ScriptPlan& plan, PlanError& error);

 private:
  std::istream& in_;
  int line_number_ = 0;
};

}  // namespace tessaril::ui

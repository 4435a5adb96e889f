// The line grammar of headless scripts.
//
// How it works: a script is plain text, one command a line, read from a file
// or from standard input. Tools outside the project write these scripts, so
// the grammar is fixed; new commands may be added, none changed:
//
//   # comment                  (also blank lines: ignored)
//   click ID                   a user's click on control ID of the dialog on top
//   set ID TEXT                the edit's text becomes the rest of the line
//                              after one space (may be empty; blanks kept)
//   get ID                     prints ID=TEXT
//   checked ID                 prints ID=1 or ID=0
//   list ID                    prints ID:LINE for each line of list box ID
//   wait [MS]                  waits for the link to go idle, at most MS ms
//                              (default 120000); prints idle or timeout
//   sleep MS
//   choose PATH                the file the next open-file dialog returns;
//                              "choose -" cancels that dialog
//   close                      WM_CLOSE to the dialog on top
// Added commands:
//   shown ID                   prints ID=1 or ID=0: whether the control is visible
//   echo TEXT                  prints TEXT (marks for the tool reading the output)
// Test plans:
//   expect ID TEXT             passes when the control's text is TEXT (the
//                              rest of the line after one blank, as set)
//   expect ID ~PATTERN         passes when the text matches the ECMAScript
//                              regular expression somewhere (^ $ anchor it)
//   expect-list ID ~PATTERN    passes when a line of list box ID matches
//   case NAME                  starts the test case NAME
//   repeat N ... end           runs the lines between N times (0 to 10000000);
//                              blocks nest, and close in the file they open in
//   include FILE               the lines of FILE (relative to the including
//                              file; on standard input to the current
//                              folder) stand here
//
// Keywords are lower case and separated from their arguments by blanks. A
// control (ID above) is a decimal id 0 to 65535 (a control id is a 16-bit
// word), a short name (frame1, hex, kermit_tmo) or a caption, in double
// quotes when it has blanks ("Get Fault Status", Send): shell/control_names.h
// says which names there are. Times are decimal milliseconds up to one day.
// A line ending in CR LF is read as if it ended in LF. Anything else is
// malformed, with a message saying why.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "ui/script/script_pattern.h"

namespace tessaril::ui {

enum class ScriptOp {
  Click, Set, Get, Checked, Shown, List, Wait, Sleep, Choose, Close, Echo,
  Expect, ExpectList, Case, Repeat, End, Include,
};

struct ScriptCommand {
  ScriptOp op = ScriptOp::Echo;
  int id = 0;           // click, set, get, checked, shown, list, expect, expect-list
  std::string control;  // the control as the line names it ("frame1", "2401")
  int64_t ms = 0;       // wait, sleep
  int64_t count = 0;    // repeat
  bool cancel = false;  // choose -
  std::string text;     // set, choose, echo, expect (TEXT or PATTERN), case, include: UTF-8 as typed
  // expect ~PATTERN, expect-list: the compiled pattern (shared by copies)
  std::shared_ptr<const ScriptPattern> pattern;
};

inline constexpr int64_t MOST_REPEATS = 10000000;

enum class ParseOutcome { Command, Nothing, Malformed };

inline constexpr int64_t DEFAULT_WAIT_MS = 120000;
inline constexpr int64_t LONGEST_WAIT_MS = 86400000;  // one day

// Parses one line (without its line feed). Command: `command` is filled.
// Nothing: a blank or comment line. Malformed: `error` says what is wrong.
ParseOutcome parse_script_line(std::string_view line, ScriptCommand& command, std::string& error);

}  // namespace tessaril::ui

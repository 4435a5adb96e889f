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
//
// Keywords are lower case and separated from their arguments by blanks. IDs
// are decimal numbers 0 to 65535 (a control id is a 16-bit word), times are
// decimal milliseconds up to one day. A line ending in CR LF is read as if
// it ended in LF. Anything else is malformed, with a message saying why.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tessaril::ui {

enum class ScriptOp { Click, Set, Get, Checked, Shown, List, Wait, Sleep, Choose, Close, Echo };

struct ScriptCommand {
  ScriptOp op = ScriptOp::Echo;
  int id = 0;          // click, set, get, checked, shown, list
  int64_t ms = 0;      // wait, sleep
  bool cancel = false; // choose -
  std::string text;    // set, choose, echo: UTF-8 as typed
};

enum class ParseOutcome { Command, Nothing, Malformed };

inline constexpr int64_t default_wait_ms = 120000;
inline constexpr int64_t longest_wait_ms = 86400000;  // one day

// Parses one line (without its line feed). Command: `command` is filled.
// Nothing: a blank or comment line. Malformed: `error` says what is wrong.
ParseOutcome parse_script_line(std::string_view line, ScriptCommand& command, std::string& error);

}  // namespace tessaril::ui

// The headless script grammar: every line of a script, and the check of a
// whole script.
//
// Input: a script. Checked: check_script rejects a script with a line that
// parse_script_line finds malformed, at that line or before it, and a
// malformed line always has a message; ids and times stay in their ranges; and every
// command, written out again in the grammar's own form (with a CR before the
// line feed, as a script saved on Windows has it), parses back to the same
// command.
#include <sstream>
#include <string>

#include "fuzz_check.h"
#include "ui/script/script_parser.h"
#include "ui/script/script_player.h"

using namespace tessaril;
using ui::ScriptOp;

namespace {

// How the commands are written; a command not listed here has a form of
// its own and is not written back.
enum class Form { Id, IdText, Ms, Text, Path, Bare };
struct Written {
  ScriptOp op;
  const char* word;
  Form form;
};
constexpr Written forms[] = {
    {ScriptOp::Click, "click", Form::Id},     {ScriptOp::Get, "get", Form::Id},
    {ScriptOp::Checked, "checked", Form::Id}, {ScriptOp::Shown, "shown", Form::Id},
    {ScriptOp::List, "list", Form::Id},       {ScriptOp::Set, "set", Form::IdText},
    {ScriptOp::Wait, "wait", Form::Ms},       {ScriptOp::Sleep, "sleep", Form::Ms},
    {ScriptOp::Choose, "choose", Form::Path}, {ScriptOp::Close, "close", Form::Bare},
    {ScriptOp::Echo, "echo", Form::Text},
};

// The command as a script line; false for commands without a plain form.
bool write_line(const ui::ScriptCommand& c, std::string& line) {
  const Written* w = nullptr;
  for (const Written& f : forms)
    if (f.op == c.op) w = &f;
  if (!w) return false;
  line = w->word;
  if (w->form == Form::Id || w->form == Form::IdText) line += " " + std::to_string(c.id);
  if (w->form == Form::IdText || w->form == Form::Text) line += " " + c.text;
  if (w->form == Form::Ms) line += " " + std::to_string(c.ms);
  if (w->form == Form::Path) line += c.cancel ? " -" : " " + c.text;
  line += '\r';
  return true;
}

void check_command(const ui::ScriptCommand& c) {
  FUZZ_CHECK(c.id >= 0 && c.id <= 65535, "a control id is a 16-bit word");
  FUZZ_CHECK(c.ms >= 0 && c.ms <= ui::LONGEST_WAIT_MS, "a time is at most one day");
  std::string line;
  if (!write_line(c, line)) return;
  ui::ScriptCommand again;
  std::string error;
  FUZZ_CHECK(ui::parse_script_line(line, again, error) == ui::ParseOutcome::Command, "a written command parses");
  FUZZ_CHECK(
      again.op == c.op && again.id == c.id && again.ms == c.ms && again.cancel == c.cancel && again.text == c.text,
      "a written command reads back the same");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string script(reinterpret_cast<const char*>(data), size);
  std::istringstream lines(script);
  std::string line;
  int number = 0;
  int first_malformed = 0;
  while (std::getline(lines, line)) {
    ++number;
    ui::ScriptCommand c;
    std::string error;
    switch (ui::parse_script_line(line, c, error)) {
      case ui::ParseOutcome::Command:
        check_command(c);
        break;
      case ui::ParseOutcome::Malformed:
        FUZZ_CHECK(!error.empty(), "a malformed line says why");
        if (first_malformed == 0) first_malformed = number;
        break;
      case ui::ParseOutcome::Nothing:
        break;
    }
  }
  std::istringstream whole(script);
  std::string error;
  const int named = ui::check_script(whole, error);
  // A grammar with blocks may find a script wrong at an earlier line, never later.
  if (first_malformed != 0) FUZZ_CHECK(named >= 1 && named <= first_malformed, "check_script finds the bad line");
  FUZZ_CHECK(named == 0 || !error.empty(), "check_script says why");
  return 0;
}

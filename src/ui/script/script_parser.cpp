#include "ui/script/script_parser.h"

#include <array>

namespace tessaril::ui {

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }

std::string_view trim_left(std::string_view s) {
  while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
  return s;
}

std::string_view trim_right(std::string_view s) {
  while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
  return s;
}

// A decimal number of at most `max`, digits only.
bool parse_number(std::string_view s, int64_t max, int64_t& value) {
  if (s.empty() || s.size() > 12) return false;
  int64_t v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  if (v > max) return false;
  value = v;
  return true;
}

struct Keyword {
  std::string_view word;
  ScriptOp op;
};
constexpr std::array<Keyword, 11> keywords{{
    {"click", ScriptOp::Click},
    {"set", ScriptOp::Set},
    {"get", ScriptOp::Get},
    {"checked", ScriptOp::Checked},
    {"shown", ScriptOp::Shown},
    {"list", ScriptOp::List},
    {"wait", ScriptOp::Wait},
    {"sleep", ScriptOp::Sleep},
    {"choose", ScriptOp::Choose},
    {"close", ScriptOp::Close},
    {"echo", ScriptOp::Echo},
}};

ParseOutcome malformed(std::string& error, std::string message) {
  error = std::move(message);
  return ParseOutcome::Malformed;
}

}  // namespace

ParseOutcome parse_script_line(std::string_view line, ScriptCommand& command, std::string& error) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  std::string_view rest = trim_left(line);
  if (rest.empty() || rest.front() == '#') return ParseOutcome::Nothing;

  size_t end = 0;
  while (end < rest.size() && !is_blank(rest[end])) ++end;
  const std::string_view word = rest.substr(0, end);
  // What follows the keyword: `raw` keeps the text exactly (set, choose,
  // echo take the rest of the line after one blank), `args` is trimmed.
  const std::string_view raw = rest.substr(end);
  const std::string_view args = trim_right(trim_left(raw));

  const Keyword* found = nullptr;
  for (const Keyword& k : keywords)
    if (k.word == word) found = &k;
  if (!found) return malformed(error, "unknown command \"" + std::string(word) + "\"");

  ScriptCommand c;
  c.op = found->op;
  const std::string name(word);
  switch (c.op) {
    case ScriptOp::Click:
    case ScriptOp::Get:
    case ScriptOp::Checked:
    case ScriptOp::Shown:
    case ScriptOp::List: {
      int64_t id = 0;
      if (args.empty()) return malformed(error, name + " needs a control id");
      if (!parse_number(args, 65535, id))
        return malformed(error, name + ": \"" + std::string(args) + "\" is not a control id (0 to 65535)");
      c.id = static_cast<int>(id);
      break;
    }
    case ScriptOp::Set: {
      // "set ID" or "set ID TEXT": the text is everything after the one blank
      // that follows the id, blanks included.
      std::string_view s = trim_left(raw);
      size_t id_end = 0;
      while (id_end < s.size() && !is_blank(s[id_end])) ++id_end;
      int64_t id = 0;
      if (id_end == 0) return malformed(error, "set needs a control id");
      if (!parse_number(s.substr(0, id_end), 65535, id))
        return malformed(error, "set: \"" + std::string(s.substr(0, id_end)) + "\" is not a control id (0 to 65535)");
      c.id = static_cast<int>(id);
      std::string_view text = s.substr(id_end);
      if (!text.empty()) text.remove_prefix(1);  // the one separating blank
      c.text = std::string(text);
      break;
    }
    case ScriptOp::Wait:
      c.ms = default_wait_ms;
      if (!args.empty() && !parse_number(args, longest_wait_ms, c.ms))
        return malformed(error, "wait: \"" + std::string(args) + "\" is not a time in ms (0 to 86400000)");
      break;
    case ScriptOp::Sleep:
      if (args.empty()) return malformed(error, "sleep needs a time in ms");
      if (!parse_number(args, longest_wait_ms, c.ms))
        return malformed(error, "sleep: \"" + std::string(args) + "\" is not a time in ms (0 to 86400000)");
      break;
    case ScriptOp::Choose: {
      std::string_view path = raw.empty() ? raw : raw.substr(1);
      if (trim_left(path).empty()) return malformed(error, "choose needs a path, or - to cancel");
      c.cancel = path == "-";
      if (!c.cancel) c.text = std::string(path);
      break;
    }
    case ScriptOp::Close:
      if (!args.empty()) return malformed(error, "close takes no argument");
      break;
    case ScriptOp::Echo:
      c.text = std::string(raw.empty() ? raw : raw.substr(1));
      break;
  }
  command = std::move(c);
  return ParseOutcome::Command;
}

}  // namespace tessaril::ui

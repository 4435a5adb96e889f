#include "ui/script/script_parser.h"

#include <array>

#include "shell/control_names.h"

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
constexpr std::array<Keyword, 17> keywords{{
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
    {"expect", ScriptOp::Expect},
    {"expect-list", ScriptOp::ExpectList},
    {"case", ScriptOp::Case},
    {"repeat", ScriptOp::Repeat},
    {"end", ScriptOp::End},
    {"include", ScriptOp::Include},
}};

ParseOutcome malformed(std::string& error, std::string message) {
  error = std::move(message);
  return ParseOutcome::Malformed;
}

// Reads the control at the start of s (blanks before it skipped): an id, a
// short name or a caption ("quoted" when it has blanks). On success c.id and
// c.control are set and s is what follows the control. False with the reason
// in error.
bool read_control(std::string_view& s, const std::string& command, ScriptCommand& c, std::string& error) {
  s = trim_left(s);
  if (s.empty()) {
    error = command + " needs a control id";
    return false;
  }
  std::string_view name;
  bool quoted = false;
  if (s.front() == '"') {
    const size_t close = s.find('"', 1);
    if (close == std::string_view::npos) {
      error = command + ": the caption " + std::string(s) + " has no closing quote";
      return false;
    }
    name = s.substr(1, close - 1);
    s.remove_prefix(close + 1);
    quoted = true;
  } else {
    size_t end = 0;
    while (end < s.size() && !is_blank(s[end])) ++end;
    name = s.substr(0, end);
    s.remove_prefix(end);
  }
  c.control = std::string(name);
  if (!quoted && !name.empty() && name.find_first_not_of("0123456789") == std::string_view::npos) {
    int64_t id = 0;
    if (!parse_number(name, 65535, id)) {
      error = command + ": \"" + c.control + "\" is not a control id (0 to 65535)";
      return false;
    }
    c.id = static_cast<int>(id);
    return true;
  }
  std::string detail;
  int found = 0;
  switch (shell::find_control_by_name(name, found, detail)) {
    case shell::NameLookup::Found:
      c.id = found;
      return true;
    case shell::NameLookup::Ambiguous:
      error = command + ": \"" + c.control + "\" names more than one control (" + detail + "): use the id";
      return false;
    case shell::NameLookup::Unknown:
      break;
  }
  error = command + ": \"" + c.control + "\" is not a control id (0 to 65535), a caption or a short name" +
          " (tessaril --list-controls lists them)";
  return false;
}

// The text after the control: everything after the one blank that follows
// it, blanks included.
std::string text_after_control(std::string_view s) {
  if (!s.empty()) s.remove_prefix(1);
  return std::string(s);
}

bool compile_pattern(std::string_view pattern, const std::string& command, ScriptCommand& c, std::string& error) {
  std::string reason;
  c.pattern = compile_script_pattern(pattern, reason);
  if (!c.pattern) {
    error = command + ": \"" + std::string(pattern) + "\" is not a regular expression (" + reason + ")";
    return false;
  }
  c.text = std::string(pattern);
  return true;
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
      std::string_view s = raw;
      if (!read_control(s, name, c, error)) return malformed(error, error);
      if (!trim_left(s).empty())
        return malformed(error, name + ": \"" + std::string(args) +
                                    "\" is not a control id (one control: an id, a short name or a \"caption\")");
      break;
    }
    case ScriptOp::Set: {
      // "set ID" or "set ID TEXT": the text is everything after the one blank
      // that follows the control, blanks included.
      std::string_view s = raw;
      if (!read_control(s, name, c, error)) return malformed(error, error);
      if (!s.empty() && !is_blank(s.front())) return malformed(error, "set: no blank after the control");
      c.text = text_after_control(s);
      break;
    }
    case ScriptOp::Expect:
    case ScriptOp::ExpectList: {
      std::string_view s = raw;
      if (!read_control(s, name, c, error)) return malformed(error, error);
      if (s.empty()) return malformed(error, name + " needs a text or ~PATTERN after the control");
      if (!is_blank(s.front())) return malformed(error, name + ": no blank after the control");
      std::string text = text_after_control(s);
      if (!text.empty() && text.front() == '~') {
        if (!compile_pattern(std::string_view(text).substr(1), name, c, error)) return malformed(error, error);
      } else if (c.op == ScriptOp::ExpectList) {
        return malformed(error, "expect-list needs a pattern: expect-list ID ~PATTERN");
      } else {
        c.text = std::move(text);
      }
      break;
    }
    case ScriptOp::Case:
      if (args.empty()) return malformed(error, "case needs a name");
      c.text = std::string(args);
      break;
    case ScriptOp::Repeat:
      if (args.empty()) return malformed(error, "repeat needs a count");
      if (!parse_number(args, MOST_REPEATS, c.count))
        return malformed(error, "repeat: \"" + std::string(args) + "\" is not a count (0 to 10000000)");
      break;
    case ScriptOp::End:
      if (!args.empty()) return malformed(error, "end takes no argument");
      break;
    case ScriptOp::Include:
      if (args.empty()) return malformed(error, "include needs a file");
      c.text = std::string(args);
      break;
    case ScriptOp::Wait:
      c.ms = DEFAULT_WAIT_MS;
      if (!args.empty() && !parse_number(args, LONGEST_WAIT_MS, c.ms))
        return malformed(error, "wait: \"" + std::string(args) + "\" is not a time in ms (0 to 86400000)");
      break;
    case ScriptOp::Sleep:
      if (args.empty()) return malformed(error, "sleep needs a time in ms");
      if (!parse_number(args, LONGEST_WAIT_MS, c.ms))
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

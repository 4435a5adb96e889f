#include "sim_scenario.h"

#include <cctype>
#include <cstdlib>
#include <sstream>

namespace tessaril::sim {

namespace {

// Splits a line into words; a double-quoted part keeps its blanks.
bool split_words(const std::string& line, std::vector<std::string>& words, std::string& error) {
  std::string word;
  bool quoted = false, any = false;
  for (size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (quoted) {
      if (c == '"') {
        quoted = false;
      } else if (c == '\\' && i + 1 < line.size()) {
        word += line[++i];
      } else {
        word += c;
      }
    } else if (c == '"') {
      quoted = any = true;
    } else if (c == '#') {
      break;
    } else if (std::isspace(static_cast<unsigned char>(c))) {
      if (any) words.push_back(word);
      word.clear();
      any = false;
    } else {
      word += c;
      any = true;
    }
  }
  if (quoted) {
    error = "unterminated quote";
    return false;
  }
  if (any) words.push_back(word);
  return true;
}

bool parse_int(const std::string& text, int& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  long v = std::strtol(text.c_str(), &end, 0);
  if (*end != '\0' || v < 0 || v > 100000000) return false;
  value = static_cast<int>(v);
  return true;
}

bool parse_hex(const std::string& text, std::vector<uint8_t>& bytes) {
  if (text.size() % 2 != 0) return false;
  for (size_t i = 0; i < text.size(); i += 2) {
    if (!std::isxdigit(static_cast<unsigned char>(text[i])) || !std::isxdigit(static_cast<unsigned char>(text[i + 1])))
      return false;
    bytes.push_back(static_cast<uint8_t>(std::strtol(text.substr(i, 2).c_str(), nullptr, 16)));
  }
  return true;
}

bool parse_fault(const std::string& text, Rule& rule) {
  std::string kind = text.substr(0, text.find(':'));
  if (kind == "late" || kind == "twice") {
    rule.fault = kind == "late" ? Fault::Late : Fault::Twice;
    if (text.size() == kind.size()) return true;
    return parse_int(text.substr(kind.size() + 1), kind == "late" ? rule.late_ms : rule.twice_gap_ms);
  }
  if (text.size() != kind.size()) return false;
  const struct {
    const char* name;
    Fault fault;
  } kinds[] = {{"none", Fault::None},       {"no-answer", Fault::NoAnswer}, {"bad-crc", Fault::BadCrc},
               {"short", Fault::Short},     {"long", Fault::Long},          {"garbage", Fault::Garbage},
               {"twice", Fault::Twice},     {"noise", Fault::Noise},        {"stale-answer", Fault::StaleAnswer},
               {"stale-kermit", Fault::StaleKermit}};
  for (const auto& k : kinds) {
    if (kind == k.name) {
      rule.fault = k.fault;
      return true;
    }
  }
  return false;
}

bool parse_setting(const std::string& word, Rule& rule, std::string& error) {
  size_t eq = word.find('=');
  if (eq == std::string::npos) {
    error = "expected name=value, got \"" + word + "\"";
    return false;
  }
  std::string name = word.substr(0, eq), value = word.substr(eq + 1);
  bool ok = true;
  if (name == "rsp") {
    int rsp = 0;
    ok = parse_int(value, rsp) && rsp <= 31;
    rule.rsp = rsp;
  } else if (name == "data") {
    std::vector<uint8_t> bytes(value.begin(), value.end());
    bytes.push_back(0);
    rule.data = bytes;
  } else if (name == "data-hex") {
    std::vector<uint8_t> bytes;
    ok = parse_hex(value, bytes);
    rule.data = bytes;
  } else if (name == "delay") {
    ok = parse_int(value, rule.delay_ms);
  } else if (name == "fault") {
    ok = parse_fault(value, rule);
  } else if (name == "times") {
    ok = parse_int(value, rule.times) && rule.times > 0;
  } else {
    error = "unknown setting \"" + name + "\"";
    return false;
  }
  if (!ok) error = "bad value for " + name + ": \"" + value + "\"";
  return ok;
}

}  // namespace

bool parse_scenario(const std::string& text, Scenario& scenario, std::string& error) {
  std::istringstream in(text);
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    std::vector<std::string> words;
    std::string why;
    bool ok = split_words(line, words, why);
    if (ok && words.empty()) continue;
    if (ok && words[0] == "kermit") {
      KermitSettings settings;
      for (size_t i = 1; ok && i < words.size(); ++i) ok = parse_kermit_setting(words[i], settings, why);
      if (!ok) {
        error = "line " + std::to_string(number) + ": " + why;
        return false;
      }
      scenario.transfers.push_back(settings);
      continue;
    }
    Rule rule;
    if (ok) {
      if (words[0] == "*") {
        rule.code = -1;
      } else if (!parse_int(words[0], rule.code) || rule.code > 0xFF) {
        why = "bad command code \"" + words[0] + "\"";
        ok = false;
      }
    }
    for (size_t i = 1; ok && i < words.size(); ++i) ok = parse_setting(words[i], rule, why);
    if (!ok) {
      error = "line " + std::to_string(number) + ": " + why;
      return false;
    }
    scenario.rules.push_back(rule);
  }
  return true;
}

std::optional<Rule> take_rule(Scenario& scenario, int code) {
  for (int pass = 0; pass < 2; ++pass) {
    const int wanted = pass == 0 ? code : -1;
    for (Rule& rule : scenario.rules) {
      if (rule.code != wanted || rule.times == 0) continue;
      if (rule.times > 0) --rule.times;
      return rule;
    }
  }
  return std::nullopt;
}

KermitSettings take_transfer_settings(Scenario& scenario) {
  for (KermitSettings& settings : scenario.transfers) {
    if (settings.times == 0) continue;
    if (settings.times > 0) --settings.times;
    return settings;
  }
  return KermitSettings{};
}

const char* fault_name(Fault fault) {
  switch (fault) {
    case Fault::None: return "none";
    case Fault::NoAnswer: return "no-answer";
    case Fault::BadCrc: return "bad-crc";
    case Fault::Short: return "short";
    case Fault::Long: return "long";
    case Fault::Garbage: return "garbage";
    case Fault::Late: return "late";
    case Fault::Twice: return "twice";
    case Fault::Noise: return "noise";
    case Fault::StaleAnswer: return "stale-answer";
    case Fault::StaleKermit: return "stale-kermit";
  }
  return "?";
}

}  // namespace tessaril::sim

#include "sim_kermit_settings.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>

namespace tessaril::sim {

namespace {

bool number(const std::string& text, int low, int high, int& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 0);
  if (*end != '\0' || v < low || v > high) return false;
  value = static_cast<int>(v);
  return true;
}

bool number_list(const std::string& text, std::vector<int>& numbers) {
  std::stringstream in(text);
  std::string item;
  while (std::getline(in, item, ',')) {
    int n = 0;
    if (!number(item, 1, 1000000, n)) return false;
    numbers.push_back(n);
  }
  return !numbers.empty() && text.back() != ',';
}

bool on_off(const std::string& text, bool& value) {
  if (text != "on" && text != "off") return false;
  value = text == "on";
  return true;
}

// "on", "off", or one printable character taken as it is (odd prefixes on purpose).
bool prefix(const std::string& text, uint8_t on, uint8_t off, uint8_t& value) {
  if (text == "on" || text == "off") {
    value = text == "on" ? on : off;
    return true;
  }
  if (text.size() != 1 || text[0] <= 32 || text[0] > 126) return false;
  value = static_cast<uint8_t>(text[0]);
  return true;
}

}  // namespace

bool parse_kermit_setting(const std::string& word, KermitSettings& s, std::string& error) {
  const struct {
    const char* word;
    bool KermitSettings::*flag;
  } flags[] = {{"off", &KermitSettings::off},
               {"endless", &KermitSettings::endless},
               {"with-answer", &KermitSettings::with_answer},
               {"drop-b-ack", &KermitSettings::drop_b_ack},
               {"lose-b-ack", &KermitSettings::lose_b_ack}};
  for (const auto& f : flags) {
    if (word == f.word) {
      s.*f.flag = true;
      return true;
    }
  }
  const size_t eq = word.find('=');
  if (eq == std::string::npos) {
    error = "expected name=value or a flag, got \"" + word + "\"";
    return false;
  }
  const std::string name = word.substr(0, eq), value = word.substr(eq + 1);
  bool ok = true;
  if (name == "maxl") {
    ok = number(value, 10, 94, s.maxl);
  } else if (name == "time") {
    ok = number(value, 0, 94, s.time);
  } else if (name == "check") {
    ok = number(value, 1, 3, s.check);
  } else if (name == "qbin") {
    ok = prefix(value, '&', 'N', s.qbin);
  } else if (name == "rept") {
    ok = prefix(value, 0, ' ', s.rept);
  } else if (name == "attributes") {
    ok = on_off(value, s.attributes);
  } else if (name == "retries") {
    ok = number(value, 0, 100, s.retries);
  } else if (name == "delay") {
    ok = number(value, 0, 600000, s.delay_ms);
  } else if (name == "wait") {
    ok = number(value, 1, 3600000, s.wait_ms);
  } else if (name == "timer") {
    ok = number(value, 1, 600000, s.timer_ms);
  } else if (name == "extra-file" || name == "extra-file-after") {
    ok = !value.empty();
    (name == "extra-file" ? s.extra_before : s.extra_after).push_back(value);
  } else if (name == "drop" || name == "corrupt" || name == "duplicate" || name == "lose") {
    std::vector<int>& list = name == "drop" ? s.drop : name == "corrupt" ? s.corrupt : name == "duplicate" ? s.duplicate : s.lose;
    ok = number_list(value, list);
  } else if (name == "silent-after") {
    ok = number(value, 0, 1000000, s.silent_after);
  } else if (name == "error-after") {
    ok = number(value, 1, 1000000, s.error_after);
  } else if (name == "name") {
    ok = !value.empty();
    s.name = value;
  } else if (name == "size") {
    int size = 0;
    ok = number(value, 0, 2147483647, size);
    s.size = size;
  } else if (name == "refuse") {
    const struct {
      const char* word;
      Refusal refusal;
    } kinds[] = {{"attributes", Refusal::Attributes}, {"data", Refusal::Data}, {"error", Refusal::Error}};
    ok = false;
    for (const auto& k : kinds) {
      if (value == k.word) {
        s.refuse = k.refusal;
        ok = true;
      }
    }
  } else if (name == "times") {
    ok = number(value, 1, 100000000, s.times);
  } else {
    error = "unknown kermit setting \"" + name + "\"";
    return false;
  }
  if (!ok) error = "bad value for " + name + ": \"" + value + "\"";
  return ok;
}

bool packet_listed(const std::vector<int>& numbers, int number) {
  return std::find(numbers.begin(), numbers.end(), number) != numbers.end();
}

}  // namespace tessaril::sim

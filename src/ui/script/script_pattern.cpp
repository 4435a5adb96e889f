// GCC 12 at -O2 reports std::function members inside <regex> as maybe
// uninitialised (a known false positive of its optimiser); the whole file is
// the regex library's, so the warning is off for it alone.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include "ui/script/script_pattern.h"

#include <algorithm>
#include <regex>

namespace tessaril::ui {

struct ScriptPattern {
  std::regex regex;
};

namespace {

constexpr size_t MOST_DIGITS = 9;

// Digits from i on; i ends after them.
size_t digits_at(std::string_view p, size_t& i) {
  const size_t start = i;
  while (i < p.size() && p[i] >= '0' && p[i] <= '9') ++i;
  return i - start;
}

// The regex library reads the number of a back-reference or of a repeat
// count into a long without a bound: 20 digits overflow it (10 where long
// has 32 bits), which is undefined behaviour. Such numbers are refused
// before it sees them; nine digits are more than any pattern can use.
bool numbers_in_bounds(std::string_view p, std::string& error) {
  bool in_class = false;
  for (size_t i = 0; i < p.size(); ++i) {
    size_t longest = 0;
    if (p[i] == '\\') {
      size_t end = i + 1;
      longest = digits_at(p, end);
      i = end > i + 1 ? end - 1 : i + 1;  // past the escaped character
    } else if (in_class) {
      in_class = p[i] != ']';
    } else if (p[i] == '[') {
      in_class = true;
    } else if (p[i] == '{') {
      for (size_t j = i + 1; j < p.size() && (p[j] == ',' || (p[j] >= '0' && p[j] <= '9'));) {
        if (p[j] == ',') {
          ++j;
        } else {
          longest = std::max(longest, digits_at(p, j));
        }
      }
    }
    if (longest > MOST_DIGITS) {
      error = "a back-reference or repeat count of more than nine digits";
      return false;
    }
  }
  return true;
}

}  // namespace

std::shared_ptr<const ScriptPattern> compile_script_pattern(std::string_view pattern, std::string& error) {
  if (!numbers_in_bounds(pattern, error)) return nullptr;
  try {
    return std::make_shared<const ScriptPattern>(
        ScriptPattern{std::regex(pattern.begin(), pattern.end(), std::regex::ECMAScript)});
  } catch (const std::regex_error& e) {
    error = e.what();
    return nullptr;
  }
}

bool pattern_matches(const ScriptPattern& pattern, std::string_view text) {
  return std::regex_search(text.begin(), text.end(), pattern.regex);
}

}  // namespace tessaril::ui

// GCC 12 at -O2 reports std::function members inside <regex> as maybe
// uninitialised (a known false positive of its optimiser); the whole file is
// the regex library's, so the warning is off for it alone.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include "ui/script/script_pattern.h"

#include <regex>

namespace tessaril::ui {

struct ScriptPattern {
  std::regex regex;
};

std::shared_ptr<const ScriptPattern> compile_script_pattern(std::string_view pattern, std::string& error) {
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

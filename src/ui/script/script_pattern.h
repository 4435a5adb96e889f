// The regular expressions of expect and expect-list.
//
// How it works: a pattern is compiled once, when its line is parsed, with
// std::regex in its ECMAScript grammar, and matched anywhere in a text
// (regex_search: ^ and $ anchor it). The regex library lives in this one
// file: it reports a bad pattern by throwing, which is caught here and
// becomes a message, and GCC 12's optimiser warns falsely inside its
// templates, which is silenced here only. A back-reference or repeat count
// of more than nine digits is refused before the library sees it: reading
// the number would overflow inside the library.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace tessaril::ui {

struct ScriptPattern;

// The compiled pattern, or nullptr with the reason in error.
std::shared_ptr<const ScriptPattern> compile_script_pattern(std::string_view pattern, std::string& error);

// True when the pattern matches somewhere in text.
bool pattern_matches(const ScriptPattern& pattern, std::string_view text);

}  // namespace tessaril::ui

// The JUnit XML form of a script's report (script_report.h).
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <system_error>

#include "ui/script/script_report.h"

namespace tessaril::ui {

namespace {

// Length of the UTF-8 sequence starting at s[i], 0 when it is none (or a
// character XML 1.0 does not allow).
size_t utf8_length(const std::string& s, size_t i) {
  const auto b = static_cast<unsigned char>(s[i]);
  if (b < 0x80) return (b >= 0x20 || b == '\t' || b == '\n' || b == '\r') ? 1 : 0;
  size_t n = 0;
  uint32_t cp = 0;
  if ((b & 0xE0) == 0xC0) { n = 2; cp = b & 0x1F; }
  else if ((b & 0xF0) == 0xE0) { n = 3; cp = b & 0x0F; }
  else if ((b & 0xF8) == 0xF0) { n = 4; cp = b & 0x07; }
  else return 0;
  if (i + n > s.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    const auto c = static_cast<unsigned char>(s[i + k]);
    if ((c & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (c & 0x3F);
  }
  // Overlong forms, surrogates, beyond U+10FFFF, and U+FFFE/U+FFFF.
  static constexpr uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < least[n] || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF || cp == 0xFFFE || cp == 0xFFFF) return 0;
  return n;
}

// Escaped for an attribute or element text; line breaks kept in elements.
std::string xml_text(const std::string& s, bool attribute) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    const size_t n = utf8_length(s, i);
    if (n == 0) {
      out += '?';
      ++i;
      continue;
    }
    if (n == 1) {
      switch (s[i]) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += attribute ? "&quot;" : "\""; break;
        case '\n': out += attribute ? "&#10;" : "\n"; break;
        case '\r': out += "&#13;"; break;
        case '\t': out += attribute ? "&#9;" : "\t"; break;
        default: out += s[i];
      }
    } else {
      out.append(s, i, n);
    }
    i += n;
  }
  return out;
}

std::string attr(const std::string& s) { return xml_text(s, true); }

std::string seconds(double s) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.3f", s < 0 ? 0.0 : s);
  return buffer;
}

}  // namespace

std::string junit_xml(const ScriptReport& report) {
  int tests = 0, failures = 0, errors = 0;
  for (const CaseReport& c : report.cases) {
    ++tests;
    failures += c.failed > 0;
    errors += !c.error.empty();
  }
  const std::string suite = attr(report.name);
  std::string x = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  x += "<testsuites name=\"tessaril\" tests=\"" + std::to_string(tests) + "\" failures=\"" +
       std::to_string(failures) + "\" errors=\"" + std::to_string(errors) + "\" time=\"" + seconds(report.seconds) +
       "\">\n";
  x += "  <testsuite name=\"" + suite + "\" tests=\"" + std::to_string(tests) + "\" failures=\"" +
       std::to_string(failures) + "\" errors=\"" + std::to_string(errors) + "\" skipped=\"0\" time=\"" +
       seconds(report.seconds) + "\" timestamp=\"" + attr(report.timestamp) + "\">\n";
  for (const CaseReport& c : report.cases) {
    x += "    <testcase name=\"" + attr(c.name) + "\" classname=\"" + suite + "\" assertions=\"" +
         std::to_string(c.passed + c.failed) + "\" time=\"" + seconds(c.seconds) + "\">\n";
    // The schema's order: errors, then failures, then the output.
    if (!c.error.empty())
      x += "      <error message=\"" + attr(c.error) + "\" type=\"script\">" + xml_text(c.error, false) + "</error>\n";
    for (const std::string& f : c.failures)
      x += "      <failure message=\"" + attr(f) + "\" type=\"expectation\">" + xml_text(f, false) + "</failure>\n";
    x += "      <system-out>" + xml_text(c.traffic, false) + "</system-out>\n";
    x += "    </testcase>\n";
  }
  x += "  </testsuite>\n</testsuites>\n";
  return x;
}

bool write_junit_file(const ScriptReport& report, const std::string& path, std::string& error) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!file) {
    error = std::generic_category().message(errno);
    return false;
  }
  file << junit_xml(report);
  file.close();
  if (!file) {
    error = "write failed";
    return false;
  }
  return true;
}

}  // namespace tessaril::ui

// What a played script found: its test cases with their expectations, and
// the JUnit XML report made from them.
//
// How it works: the player fills a ScriptReport as it goes. Each `case` line
// starts a CaseReport; the lines before the first case belong to a case
// named after the script, which is reported only when it checked something
// or the script has no case at all. A case keeps its failures (the line the
// player printed for each), the reason the script stopped inside it, if it
// did, its time, and the traffic lines (hex and text lists) added while it
// ran.
//
// The JUnit report is one <testsuites> with one <testsuite> named after the
// script and one <testcase> per case: a <failure> per failed expectation, an
// <error> when the script stopped inside the case, the traffic in
// <system-out>. It follows the schema Jenkins and GitLab read. Texts are
// made fit for XML 1.0: control characters other than tab and line breaks,
// and bytes that are no UTF-8, become '?'.
#pragma once

#include <string>
#include <vector>

namespace tessaril::ui {

struct CaseReport {
  std::string name;
  int passed = 0;
  int failed = 0;
  std::vector<std::string> failures;  // one line each, as printed
  std::string error;                  // why the script stopped in this case
  std::string traffic;                // "225:..." / "226:..." lines
  double seconds = 0;
  bool named = false;                 // from a `case` line
};

struct ScriptReport {
  std::string name;       // the script (file name), "standard input"
  std::string timestamp;  // local start time, "2025-01-31T14:05:09"
  double seconds = 0;
  std::vector<CaseReport> cases;
  int passed = 0;
  int failed = 0;
  bool checked = false;  // an expectation ran or a case was named: the summary is printed
};

// The report as JUnit XML text.
std::string junit_xml(const ScriptReport& report);

// Writes junit_xml(report) to path. False with the system's reason in error.
bool write_junit_file(const ScriptReport& report, const std::string& path, std::string& error);

}  // namespace tessaril::ui

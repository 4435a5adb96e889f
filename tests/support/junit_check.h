// JUnit XML as a CI server reads it: parsed and validated by libxml2 against
// tests/junit.xsd, and queried by XPath.
#pragma once

#include <string>
#include <vector>

namespace tessaril::test {

// True when xml is well-formed and valid; otherwise the parser's messages.
bool junit_valid(const std::string& xml, std::string& problems);

// The string values of the nodes an XPath expression selects, in document
// order (attributes give their values, elements their text).
std::vector<std::string> xml_values(const std::string& xml, const std::string& xpath);

}  // namespace tessaril::test

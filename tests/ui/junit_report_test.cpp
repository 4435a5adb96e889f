// The JUnit report as a CI server reads it: valid against the schema with
// whatever bytes the traffic held, and saying what the cases found.
#include "ui/script/script_report.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/junit_check.h"
#include "support/temp_folder.h"

namespace tessaril::ui {
namespace {

using test::junit_valid;
using test::xml_values;

ScriptReport sample() {
  ScriptReport r;
  r.name = "plan <1> & \"all\".txt";
  r.timestamp = "2025-01-31T14:05:09";
  r.seconds = 12.3456;
  CaseReport lead;
  lead.name = r.name;
  lead.passed = 1;
  CaseReport pa;
  pa.name = "Get PA Power";
  pa.named = true;
  pa.passed = 2;
  pa.failed = 2;
  pa.failures = {"FAIL script line 9: frame1 (2401) held \"RSP=Invalid FCS detected(0x04)\", expected ~Success",
                 "FAIL script line 10 (pass 2): text (226) held no line, expected a line matching ~PA=<&>"};
  // The text list shows answer bytes as they came: control characters and
  // bytes that are no UTF-8 must not spoil the file.
  pa.traffic = "225:12:00:00.000 Snd: 02 00 00 01\n226:12:00:00.020 Rcv:PA=\x01\x1b[0m\xff\xc3(\xed\xa0\x80 ok \xe3\x83\x87\n";
  pa.seconds = 0.4;
  CaseReport stopped;
  stopped.name = "after the dialog closed";
  stopped.error = "script line 12: no dialog is open";
  r.cases = {lead, pa, stopped};
  return r;
}

TEST(JunitReport, ValidAgainstTheSchemaWithItsCasesFailuresAndTraffic) {
  const std::string xml = junit_xml(sample());
  std::string problems;
  ASSERT_TRUE(junit_valid(xml, problems)) << problems << "\n" << xml;

  EXPECT_EQ(xml_values(xml, "/testsuites/testsuite/@name"), std::vector<std::string>{"plan <1> & \"all\".txt"});
  EXPECT_EQ(xml_values(xml, "//testsuite/@tests"), std::vector<std::string>{"3"});
  EXPECT_EQ(xml_values(xml, "//testsuite/@failures"), std::vector<std::string>{"1"});
  EXPECT_EQ(xml_values(xml, "//testsuite/@errors"), std::vector<std::string>{"1"});
  EXPECT_EQ(xml_values(xml, "//testsuite/@time"), std::vector<std::string>{"12.346"});
  EXPECT_EQ(xml_values(xml, "//testcase/@name"),
            (std::vector<std::string>{"plan <1> & \"all\".txt", "Get PA Power", "after the dialog closed"}));
  EXPECT_EQ(xml_values(xml, "//testcase[@name='Get PA Power']/@assertions"), std::vector<std::string>{"4"});
  EXPECT_EQ(xml_values(xml, "//testcase[@name='Get PA Power']/failure/@message"), sample().cases[1].failures);
  EXPECT_EQ(xml_values(xml, "//testcase[@name='after the dialog closed']/error/@message"),
            std::vector<std::string>{"script line 12: no dialog is open"});
  EXPECT_TRUE(xml_values(xml, "//testcase[1]/failure").empty());
  // The traffic of its case, unfit bytes as '?', the rest as it was.
  const auto out = xml_values(xml, "//testcase[@name='Get PA Power']/system-out");
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0], "225:12:00:00.000 Snd: 02 00 00 01\n226:12:00:00.020 Rcv:PA=??[0m?" "?(??? ok \xe3\x83\x87\n");
}

TEST(JunitReport, WrittenToAFileOrTheReasonItCouldNotBe) {
  test::TempFolder folder;
  std::string error;
  ASSERT_TRUE(write_junit_file(sample(), folder.file("r.xml"), error)) << error;
  std::string problems;
  EXPECT_TRUE(junit_valid(test::TempFolder::read(folder.file("r.xml")), problems)) << problems;
  EXPECT_FALSE(write_junit_file(sample(), folder.file("no/such/folder/r.xml"), error));
  EXPECT_EQ(error, "No such file or directory");
}

}  // namespace
}  // namespace tessaril::ui

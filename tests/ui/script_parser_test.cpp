// The fixed script grammar that tools outside the project write against.
#include "ui/script/script_parser.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "ui/script/script_player.h"

namespace tessaril::ui {
namespace {

ScriptCommand parse_ok(const std::string& line) {
  ScriptCommand c;
  std::string error;
  EXPECT_EQ(parse_script_line(line, c, error), ParseOutcome::Command) << line << ": " << error;
  return c;
}

std::string parse_error(const std::string& line) {
  ScriptCommand c;
  std::string error;
  EXPECT_EQ(parse_script_line(line, c, error), ParseOutcome::Malformed) << line;
  return error;
}

TEST(HeadlessScriptParser, CommentsAndBlankLinesDoNothing) {
  for (const char* line : {"", "   ", "\t", "# a comment", "   # indented comment", "#", "\r", "  \r"}) {
    ScriptCommand c;
    std::string error;
    EXPECT_EQ(parse_script_line(line, c, error), ParseOutcome::Nothing) << '"' << line << '"';
  }
}

TEST(HeadlessScriptParser, ControlCommandsTakeOneId) {
  struct Row {
    const char* line;
    ScriptOp op;
    int id;
  };
  for (const Row& r : {Row{"click 4011", ScriptOp::Click, 4011}, Row{"get 1001", ScriptOp::Get, 1001},
                       Row{"checked 5703", ScriptOp::Checked, 5703}, Row{"list 225", ScriptOp::List, 225},
                       Row{"shown 231", ScriptOp::Shown, 231}, Row{"click 0", ScriptOp::Click, 0},
                       Row{"click 65535", ScriptOp::Click, 65535}, Row{"  get   2401  ", ScriptOp::Get, 2401},
                       Row{"get 2401\r", ScriptOp::Get, 2401}, Row{"click\t201", ScriptOp::Click, 201}}) {
    ScriptCommand c = parse_ok(r.line);
    EXPECT_EQ(c.op, r.op) << r.line;
    EXPECT_EQ(c.id, r.id) << r.line;
  }
}

TEST(HeadlessScriptParser, SetKeepsTheRestOfTheLineAfterOneBlank) {
  ScriptCommand c = parse_ok("set 1081 28.050");
  EXPECT_EQ(c.op, ScriptOp::Set);
  EXPECT_EQ(c.id, 1081);
  EXPECT_EQ(c.text, "28.050");
  // The wait edits count " " as 0 ms: a set must be able to type one blank.
  EXPECT_EQ(parse_ok("set 1701  ").text, " ");
  EXPECT_EQ(parse_ok("set 1701 ").text, "");
  EXPECT_EQ(parse_ok("set 1701").text, "");
  EXPECT_EQ(parse_ok("set 1111 a  b # not a comment ").text, "a  b # not a comment ");
  EXPECT_EQ(parse_ok("set 1111 データ.XML").text, "データ.XML");
  EXPECT_EQ(parse_ok("set 1111 X\r").text, "X");  // CR LF scripts
}

TEST(HeadlessScriptParser, WaitSleepChooseCloseEcho) {
  ScriptCommand w = parse_ok("wait");
  EXPECT_EQ(w.op, ScriptOp::Wait);
  EXPECT_EQ(w.ms, DEFAULT_WAIT_MS);
  EXPECT_EQ(parse_ok("wait 5000").ms, 5000);
  EXPECT_EQ(parse_ok("wait 0").ms, 0);
  ScriptCommand s = parse_ok("sleep 250");
  EXPECT_EQ(s.op, ScriptOp::Sleep);
  EXPECT_EQ(s.ms, 250);

  ScriptCommand chosen = parse_ok("choose /tmp/some dir/CAL.XML");
  EXPECT_EQ(chosen.op, ScriptOp::Choose);
  EXPECT_FALSE(chosen.cancel);
  EXPECT_EQ(chosen.text, "/tmp/some dir/CAL.XML");
  ScriptCommand cancelled = parse_ok("choose -");
  EXPECT_TRUE(cancelled.cancel);
  EXPECT_TRUE(cancelled.text.empty());

  EXPECT_EQ(parse_ok("close").op, ScriptOp::Close);
  EXPECT_EQ(parse_ok("close  ").op, ScriptOp::Close);
  ScriptCommand e = parse_ok("echo step 1 done");
  EXPECT_EQ(e.op, ScriptOp::Echo);
  EXPECT_EQ(e.text, "step 1 done");
  EXPECT_EQ(parse_ok("echo").text, "");
}

TEST(HeadlessScriptParser, MalformedLinesSayWhy) {
  EXPECT_NE(parse_error("clik 4011").find("unknown command \"clik\""), std::string::npos);
  EXPECT_NE(parse_error("CLICK 4011").find("unknown command"), std::string::npos);  // keywords are lower case
  EXPECT_NE(parse_error("click").find("needs a control id"), std::string::npos);
  EXPECT_NE(parse_error("click abc").find("not a control id"), std::string::npos);
  EXPECT_NE(parse_error("click -1").find("not a control id"), std::string::npos);
  EXPECT_NE(parse_error("click 65536").find("not a control id"), std::string::npos);
  EXPECT_NE(parse_error("click 99999999999999999999").find("not a control id"), std::string::npos);
  EXPECT_NE(parse_error("get 12 13").find("not a control id"), std::string::npos);
  EXPECT_NE(parse_error("set").find("needs a control id"), std::string::npos);
  EXPECT_NE(parse_error("set x1 text").find("not a control id"), std::string::npos);
  EXPECT_NE(parse_error("wait soon").find("not a time"), std::string::npos);
  EXPECT_NE(parse_error("wait -5").find("not a time"), std::string::npos);
  EXPECT_NE(parse_error("wait 86400001").find("not a time"), std::string::npos);
  EXPECT_NE(parse_error("sleep").find("needs a time"), std::string::npos);
  EXPECT_NE(parse_error("sleep 1.5").find("not a time"), std::string::npos);
  EXPECT_NE(parse_error("choose").find("needs a path"), std::string::npos);
  EXPECT_NE(parse_error("choose   ").find("needs a path"), std::string::npos);
  EXPECT_NE(parse_error("close 101").find("no argument"), std::string::npos);
}

TEST(HeadlessScriptParser, ControlsByCaptionOrShortName) {
  struct Row {
    const char* line;
    int id;
    const char* text;
  };
  for (const Row& r : {Row{"click \"Get Fault Status\"", 4011, ""}, Row{"click \"get  fault status (0x01)\"", 4011, ""},
                       Row{"click Send", 227, ""}, Row{"click ENTER", 201, ""}, Row{"click \"Return to Menu\"", 223, ""},
                       Row{"click \"Set Band Selection\"", 4071, ""}, Row{"click \"Get Product Id\"", 4031, ""},
                       Row{"click \"Kermit File Transfer Status\"", 4111, ""}, Row{"get frame1", 2401, ""},
                       Row{"get kermit", 2701, ""}, Row{"list hex", 225, ""}, Row{"list text", 226, ""},
                       Row{"set port 1", 1001, "1"}, Row{"set kermit_tmo 1000", 1703, "1000"},
                       Row{"set \"Kermit Trns.\" x", 5703, "x"}, Row{"set data29  ", 1436, " "}}) {
    ScriptCommand c = parse_ok(r.line);
    EXPECT_EQ(c.id, r.id) << r.line;
    EXPECT_EQ(c.text, r.text) << r.line;
  }
  // A caption two controls share, a name of nothing, a caption left open.
  EXPECT_NE(parse_error("click Set").find("more than one control"), std::string::npos);
  EXPECT_NE(parse_error("click \"File Select\"").find("4102, 4152, 4162"), std::string::npos);
  EXPECT_NE(parse_error("get frame9").find("not a control id"), std::string::npos);
  EXPECT_NE(parse_error("click \"Get Fault").find("no closing quote"), std::string::npos);
  EXPECT_NE(parse_error("click \"Get Fault Status\" now").find("not a control id"), std::string::npos);
}

TEST(HeadlessScriptParser, ExpectationsAndPlanStructure) {
  ScriptCommand exact = parse_ok("expect frame1 RSP=Success(0x01)");
  EXPECT_EQ(exact.op, ScriptOp::Expect);
  EXPECT_EQ(exact.id, 2401);
  EXPECT_EQ(exact.control, "frame1");
  EXPECT_EQ(exact.text, "RSP=Success(0x01)");
  EXPECT_FALSE(exact.pattern);
  EXPECT_EQ(parse_ok("expect 1703 ").text, "");  // an empty field

  ScriptCommand pattern = parse_ok("expect 2401 ~^RSP=Success\\(0x01\\)$");
  ASSERT_TRUE(pattern.pattern);
  EXPECT_TRUE(pattern_matches(*pattern.pattern, "RSP=Success(0x01)"));
  EXPECT_FALSE(pattern_matches(*pattern.pattern, "RSP=Success(0x01) "));
  EXPECT_TRUE(pattern_matches(*parse_ok("expect 2401 ~Succ").pattern, "RSP=Success(0x01)"));  // anywhere
  ScriptCommand list = parse_ok("expect-list text ~Rcv:FAULT=0+$");
  EXPECT_EQ(list.op, ScriptOp::ExpectList);
  EXPECT_EQ(list.id, 226);

  EXPECT_EQ(parse_ok("case  Get PA Power ").text, "Get PA Power");
  EXPECT_EQ(parse_ok("repeat 1000").count, 1000);
  EXPECT_EQ(parse_ok("end").op, ScriptOp::End);
  EXPECT_EQ(parse_ok("include common/open port.txt").text, "common/open port.txt");

  for (const char* line : {"expect-list hex RSP", "expect 2401 ~(", "expect frame1", "case", "repeat", "repeat -1",
                           "repeat 10000001", "end 3", "include", "expect frame1RSP"})
    EXPECT_FALSE(parse_error(line).empty()) << line;
  EXPECT_NE(parse_error("expect 2401 ~[").find("not a regular expression"), std::string::npos);
  // Numbers the regex library would overflow on reading them.
  for (const char* line : {"expect 2401 ~(a)\\1234567890", "expect 2401 ~a{2,12345678901234567890}"})
    EXPECT_NE(parse_error(line).find("more than nine digits"), std::string::npos) << line;
  for (const char* line : {"expect 2401 ~(a)\\1", "expect 2401 ~a{2,1000}", "expect 2401 ~\\\\1234567890",
                           "expect 2401 ~[{]1234567890"})
    EXPECT_TRUE(parse_ok(line).pattern) << line;
}

TEST(HeadlessScriptParser, CheckScriptNamesTheFirstMalformedLine) {
  std::string error;
  std::istringstream good("# test\nclick 201\n\nset 1081 28.050\nwait 100\n");
  EXPECT_EQ(check_script(good, error), 0);
  std::istringstream bad("# test\nclick 201\n\nset 1081 28.050\nwiat 100\nbogus\n");
  EXPECT_EQ(check_script(bad, error), 5);
  EXPECT_NE(error.find("wiat"), std::string::npos);
}

}  // namespace
}  // namespace tessaril::ui

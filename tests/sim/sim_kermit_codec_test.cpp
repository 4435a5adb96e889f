// The Kermit peer's pure parts: block checks, data-field encoding both ways,
// the send-init agreement, attribute fields and the scenario's "kermit" lines.
#include <gtest/gtest.h>

#include "sim/sim_kermit_attr.h"
#include "sim/sim_kermit_codec.h"
#include "sim/sim_scenario.h"

namespace tessaril::sim::peer {
namespace {

Bytes b(const std::string& s) { return Bytes(s.begin(), s.end()); }
std::string s(const Bytes& b) { return std::string(b.begin(), b.end()); }

TEST(SimKermitCodec, BlockChecksMatchThePublishedValues) {
  EXPECT_EQ(kermit_crc(b("123456789").data(), 9), 0x2189);  // CRC-16/KERMIT check value
  const struct {
    int type;
    const char* check;
  } rows[] = {{1, "F"}, {2, "$F"}, {3, "%CI"}};  // over "abc": sum 294, CRC 0x58E9
  for (const auto& r : rows) EXPECT_EQ(s(block_check(r.type, b("abc").data(), 3)), r.check) << r.type;
}

Agreement prefixes(bool qbin, bool rept) {
  Agreement a;
  a.qbin_on = qbin;
  a.qbin = qbin ? '&' : 0;
  a.rept_on = rept;
  a.rept = rept ? '~' : 0;
  return a;
}

TEST(SimKermitCodec, FieldsEncodeAndDecodeBothWays) {
  const struct {
    bool qbin, rept;
    std::string bytes, field;
  } rows[] = {
      {false, false, "\r\n", "#M#J"},
      {false, false, "\x7F#", "#?##"},
      {false, false, "\x81", "#\xC1"},
      {false, false, "a~&", "a~&"},
      {false, true, "xxxxxy", "~%xy"},
      {false, true, "xx~", "xx#~"},
      {false, true, std::string(94, 'x'), "~~x"},
      {false, true, std::string(95, 'x'), "~~xx"},
      {false, true, "\r\r\r", "~##M"},
      {true, false, "\xC1\x81&", "&A&#A#&"},
      {true, true, "\xFF\xFF\xFF", "~#&#?"},
  };
  for (const auto& r : rows) {
    const Agreement a = prefixes(r.qbin, r.rept);
    Bytes field, back;
    EXPECT_EQ(encode_field(a, b(r.bytes), 0, 90, field), r.bytes.size()) << r.field;
    EXPECT_EQ(s(field), r.field);
    EXPECT_TRUE(decode_field(a, b(r.field), back)) << r.field;
    EXPECT_EQ(s(back), r.bytes) << r.field;
  }
}

TEST(SimKermitCodec, AFieldIsNeverCutInsideAUnitAndMalformedFieldsAreRefused) {
  Bytes field;
  EXPECT_EQ(encode_field(prefixes(false, false), b("a\r\n"), 0, 4, field), 2u);
  EXPECT_EQ(s(field), "a#M");
  EXPECT_EQ(encode_field(prefixes(true, true), b("\x81\x81\x81z"), 0, 5, field), 3u);
  EXPECT_EQ(s(field), "~#&#A");
  for (const char* bad : {"ab#", "~", "~#", "~ x", "&", "a\rb", "\x81"}) {
    Bytes out;
    EXPECT_FALSE(decode_field(prefixes(true, true), b(bad), out)) << bad;
  }
}

TEST(SimKermitCodec, OnlyFeaturesBothSidesAnnouncedAreInForce) {
  const struct {
    const char *mine, *theirs;
    int check;
    char qbin, rept;  // 0: off
    bool attributes;
  } rows[] = {
      {"~% @-#Y1~(", "~! @-#Y1~,?", 1, 0, '~', true},
      {"~% @-#&3~(", "~! @-#Y3~,?", 3, '&', '~', true},
      {"~% @-#Y1~(", "~! @-#&1 ", 1, '&', 0, false},
      {"~% @-#Y2~(", "~! @-#Y3~(", 1, 0, '~', true},
      {"~% @-#Y1~(", "~! @-##1~(", 1, 0, '~', true},   // a QBIN equal to QCTL
      {"~% @-#&1~(", "~! @-#N1~(", 1, 0, '~', true},
      {"~% @-#&1&(", "~! @-#Y1&(", 1, 0, '&', true},   // QBIN equal to the repeat prefix
      // A send-init answer cut after QCTL: nothing optional is in force.
      {"~% @-#&3~(", "~! @-#", 1, 0, 0, false},
  };
  for (const auto& r : rows) {
    const Agreement a = agree(decode_params(b(r.mine)), decode_params(b(r.theirs)));
    EXPECT_EQ(a.check, r.check) << r.mine << " / " << r.theirs;
    EXPECT_EQ(a.qbin_on ? a.qbin : 0, r.qbin) << r.mine << " / " << r.theirs;
    EXPECT_EQ(a.rept_on ? a.rept : 0, r.rept) << r.mine << " / " << r.theirs;
    EXPECT_EQ(a.attributes, r.attributes) << r.mine << " / " << r.theirs;
  }
  const Agreement a = agree(InitParams{}, decode_params(b("%\" #$#")));
  EXPECT_EQ(a.their_maxl, 10);  // MAXL 10 at least
  EXPECT_EQ(a.timer_ms, 2000);
  EXPECT_EQ(a.framing.npad, 0);
  EXPECT_EQ(a.framing.eol, 4);
}

TEST(SimKermitCodec, AttributesCarryTheSizeInWholeEntries) {
  EXPECT_EQ(build_attributes(10, 90), std::vector<Bytes>{b("\"\"B81\"10")});
  EXPECT_EQ(build_attributes(10, 5), (std::vector<Bytes>{b("\"\"B8"), b("1\"10")}));
  EXPECT_TRUE(build_attributes(123456, 3).empty());
  const struct {
    const char* field;
    bool ok;
    int64_t size;  // -1: none
  } rows[] = {{"\"\"B81\"10", true, 10}, {"#120250101 12:00:001$1234", true, 1234}, {"!\"12", true, -1},
              {"1%12", false, -1},       {"1\"1x", false, -1},                  {"1", false, -1}};
  for (const auto& r : rows) {
    Attributes at;
    EXPECT_EQ(parse_attributes(b(r.field), at), r.ok) << r.field;
    if (r.ok) {
      EXPECT_EQ(at.size.value_or(-1), r.size) << r.field;
    }
  }
}

TEST(SimKermitCodec, ScenarioKermitLinesSetTheNextTransfers) {
  Scenario scenario;
  std::string error;
  ASSERT_TRUE(parse_scenario("kermit maxl=40 check=3 qbin=on rept=off attributes=off drop=3,7 lose=2 times=1\n"
                             "kermit silent-after=4 error-after=6 name=\"X.XML\" size=12 refuse=attributes qbin=\"#\" rept=% times=1\n"
                             "kermit off\n0x01 rsp=0x04\n",
                             scenario, error))
      << error;
  const KermitSettings first = take_transfer_settings(scenario);
  EXPECT_EQ(first.maxl, 40);
  EXPECT_EQ(first.check, 3);
  EXPECT_EQ(first.qbin, '&');
  EXPECT_EQ(first.rept, ' ');
  EXPECT_FALSE(first.attributes);
  EXPECT_EQ(first.drop, (std::vector<int>{3, 7}));
  EXPECT_EQ(first.lose, std::vector<int>{2});
  const KermitSettings second = take_transfer_settings(scenario);
  EXPECT_EQ(second.silent_after, 4);
  EXPECT_EQ(second.error_after, 6);
  EXPECT_EQ(second.name.value_or(""), "X.XML");
  EXPECT_EQ(second.size.value_or(-1), 12);
  EXPECT_EQ(second.refuse, Refusal::Attributes);
  EXPECT_EQ(second.qbin, '#');
  EXPECT_EQ(second.rept, '%');
  EXPECT_TRUE(take_transfer_settings(scenario).off);
  EXPECT_TRUE(take_transfer_settings(scenario).off);
  EXPECT_EQ(scenario.rules.size(), 1u);

  Scenario faults;
  ASSERT_TRUE(
      parse_scenario("kermit extra-file=buc_setup.ini extra-file-after=B.XML extra-file=C.XML endless with-answer "
                     "drop-b-ack lose-b-ack timer=2500 silent-after=0\n"
                     "0x01 fault=twice:300\n0x02 fault=stale-answer\n0x03 fault=stale-kermit\n",
                     faults, error))
      << error;
  const KermitSettings hostile = take_transfer_settings(faults);
  EXPECT_EQ(hostile.extra_before, (std::vector<std::string>{"buc_setup.ini", "C.XML"}));
  EXPECT_EQ(hostile.extra_after, std::vector<std::string>{"B.XML"});
  EXPECT_TRUE(hostile.endless && hostile.with_answer && hostile.drop_b_ack && hostile.lose_b_ack);
  EXPECT_EQ(hostile.timer_ms, 2500);
  EXPECT_EQ(hostile.silent_after, 0);
  EXPECT_EQ(KermitSettings{}.silent_after, -1) << "by default it never falls silent";
  EXPECT_EQ(take_rule(faults, 0x01)->twice_gap_ms, 300);
  EXPECT_EQ(take_rule(faults, 0x02)->fault, Fault::StaleAnswer);
  EXPECT_EQ(take_rule(faults, 0x03)->fault, Fault::StaleKermit);

  const struct {
    const char *line, *error;
  } bad[] = {{"kermit maxl=9", "line 1: bad value for maxl: \"9\""},
             {"kermit drop=3,,4", "line 1: bad value for drop: \"3,,4\""},
             {"kermit refuse=maybe", "line 1: bad value for refuse: \"maybe\""},
             {"kermit qbin=ab", "line 1: bad value for qbin: \"ab\""},
             {"kermit speed=1", "line 1: unknown kermit setting \"speed\""},
             {"kermit timer=0", "line 1: bad value for timer: \"0\""},
             {"kermit extra-file=", "line 1: bad value for extra-file: \"\""},
             {"0x01 fault=twice:x", "line 1: bad value for fault: \"twice:x\""},
             {"kermit on", "line 1: expected name=value or a flag, got \"on\""}};
  for (const auto& r : bad) {
    Scenario sc;
    EXPECT_FALSE(parse_scenario(r.line, sc, error)) << r.line;
    EXPECT_EQ(error, r.error);
  }
}

}  // namespace
}  // namespace tessaril::sim::peer

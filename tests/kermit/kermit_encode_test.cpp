// The data-field coding: prefixes, runs, cut fields and the decoder's bounds.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "kermit/kermit_encode.h"
#include "kermit/kermit_packet.h"

namespace tessaril::kermit {
namespace {

std::string written;  // what writefile received
int write_failures_left = 0;

int capture_write(KermitState*, const char* bytes, int count) {
  if (write_failures_left > 0) {
    --write_failures_left;
    return -1;
  }
  written.append(bytes, static_cast<size_t>(count));
  return 0;
}

int no_more_bytes(KermitState*) { return -1; }

struct Coder {
  KermitState k;
  KermitResult r;
  std::string source;
  std::vector<char> out = std::vector<char>(8192);

  explicit Coder(bool repeat = true, bool eighth_bit = false, int bct = 1, int maxl = 94) {
    k.bct = static_cast<int16_t>(bct);
    k.send_maxlen = maxl;
    k.rpt_on = repeat;
    k.ebqflg = eighth_bit;
    k.line_parity = eighth_bit;
    k.ebq = eighth_bit ? '&' : 'Y';
    k.readfile = no_more_bytes;
    k.writefile = capture_write;
    k.out_buf = out.data();
    k.out_buf_size = static_cast<int32_t>(out.size());
    written.clear();
    write_failures_left = 0;
  }

  // Every data field the source gives, as getpkt builds them.
  std::vector<std::string> fields(const std::string& bytes) {
    source = bytes;
    k.in_buf = source.data();
    k.zinptr = source.data();
    k.zincnt = static_cast<int32_t>(source.size());
    k.s_first = 1;
    std::vector<std::string> out_fields;
    for (int n; (n = getpkt(&k, &r)) > 0;) out_fields.emplace_back(k.xdata, static_cast<size_t>(n));
    return out_fields;
  }
  std::string encode(const std::string& bytes) {
    std::string all;
    for (const auto& f : fields(bytes)) all += f;
    return all;
  }
  std::string decode(const std::vector<std::string>& fs) {
    written.clear();
    k.out_buf_count = 0;
    for (const auto& f : fs) EXPECT_EQ(decode_data(&k, &r, 1, f.c_str()), 0);
    written.append(k.out_buf, static_cast<size_t>(k.out_buf_count));
    return written;
  }
};

TEST(KermitEncode, RepeatPrefix) {
  Coder c;
  EXPECT_EQ(c.encode("xxxxxy"), "~%xy");
  EXPECT_EQ(c.encode("xx"), "xx");
  EXPECT_EQ(c.encode("xxx"), "~#x");
  EXPECT_EQ(c.encode(std::string(94, 'x')), "~~x");
  EXPECT_EQ(c.encode(std::string(95, 'x')), "~~xx");
  EXPECT_EQ(c.encode(std::string(96, 'x')), "~~xxx");
  EXPECT_EQ(c.encode(std::string(97, 'x')), "~~x~#x");
  EXPECT_EQ(c.encode("a~b"), "a#~b");  // the repeat prefix itself is quoted
  Coder plain(false);
  EXPECT_EQ(plain.encode("xxxxx~"), "xxxxx~");
}

TEST(KermitEncode, ControlPrefix) {
  Coder c;
  EXPECT_EQ(c.encode("\r\n"), "#M#J");
  EXPECT_EQ(c.encode("\x7f"), "#?");
  EXPECT_EQ(c.encode("#"), "##");
  EXPECT_EQ(c.encode(std::string(1, '\0')), "#@");
  EXPECT_EQ(c.encode("&"), "&");  // no 8th-bit prefixing: '&' is plain
}

TEST(KermitEncode, EighthBitPrefix) {
  Coder c(true, true);
  EXPECT_EQ(c.encode("\xC1"), "&A");
  EXPECT_EQ(c.encode("\x81"), "&#A");
  EXPECT_EQ(c.encode("&"), "#&");
  EXPECT_EQ(c.encode("\xA6"), "&#&");
  Coder off;
  EXPECT_EQ(off.encode("\x81"), std::string("#\xC1"));
  EXPECT_EQ(off.encode("\xFF"), std::string("#\xBF"));
}

TEST(KermitDecode, Prefixes) {
  Coder c;
  EXPECT_EQ(c.decode({"#M"}), "\r");
  EXPECT_EQ(c.decode({"#?"}), "\x7f");
  EXPECT_EQ(c.decode({"##"}), "#");
  EXPECT_EQ(c.decode({"#~"}), "~");
  EXPECT_EQ(c.decode({"~%x"}), "xxxxx");
  EXPECT_EQ(c.decode({"~ x"}), "x");  // a count of 0 writes once
  Coder e(true, true);
  EXPECT_EQ(e.decode({"&A"}), "\xC1");
  EXPECT_EQ(e.decode({"&#A"}), "\x81");
  EXPECT_EQ(e.decode({"~#&#J"}), "\x8A\x8A\x8A");
}

TEST(KermitDecode, TrailingPrefixEndsTheField) {
  Coder c(true, true);
  EXPECT_EQ(c.decode({"ab#"}), "ab");
  EXPECT_EQ(c.decode({"ab~"}), "ab");
  EXPECT_EQ(c.decode({"ab~%"}), "ab");
  EXPECT_EQ(c.decode({"ab&"}), "ab");
  EXPECT_EQ(c.decode({"ab~%&"}), "ab");
  EXPECT_EQ(c.decode({"ab&#"}), "ab");
}

TEST(KermitDecode, NameThatDoesNotFitFails) {
  Coder c;
  std::string fits(1023, 'n');
  EXPECT_EQ(decode_data(&c.k, &c.r, 0, fits.c_str()), 0);
  EXPECT_EQ(std::string(c.r.file_name), fits);
  std::string too_long(1024, 'n');
  EXPECT_EQ(decode_data(&c.k, &c.r, 0, too_long.c_str()), -1);
  EXPECT_EQ(decode_data(&c.k, &c.r, 0, "~~x~~x~~x~~x~~x~~x~~x~~x~~x~~x~~x"), -1);  // 1034 by repeats
}

TEST(KermitDecode, FailedWriteNeverOverrunsTheOutputBuffer) {
  Coder c;
  std::vector<char> small(16);
  c.k.out_buf = small.data();
  c.k.out_buf_size = 16;
  write_failures_left = 100;
  EXPECT_EQ(decode_data(&c.k, &c.r, 1, "~~x"), -1);  // 94 bytes into 16
  EXPECT_EQ(c.k.out_buf_count, 16);
  EXPECT_EQ(decode_data(&c.k, &c.r, 1, "abc"), -1);  // the next packet cannot write past it either
  EXPECT_EQ(c.k.out_buf_count, 16);
  write_failures_left = 0;
  c.k.out_buf_count = 0;
  EXPECT_EQ(decode_data(&c.k, &c.r, 1, "~~x"), 0);
  EXPECT_EQ(written, std::string(80, 'x'));
  EXPECT_EQ(c.k.out_buf_count, 14);
  EXPECT_EQ(c.r.bytes_done, 16 + 80);  // bytes handed to writefile, the failed block included
}

TEST(KermitEncode, EmptySourceGivesNoField) {
  Coder c;
  EXPECT_TRUE(c.fields("").empty());
  EXPECT_EQ(c.k.s_first, -1);
  EXPECT_EQ(getpkt(&c.k, &c.r), 0);
}

TEST(KermitEncode, FieldIsCutBeforeAnEncodingThatDoesNotFit) {
  Coder c(false);  // capacity 91: MAXL 94 less SEQ, TYPE and the check
  std::string bytes = std::string(90, 'a') + "\r" + "b";
  auto fs = c.fields(bytes);
  ASSERT_EQ(fs.size(), 2u);
  EXPECT_EQ(fs[0], std::string(90, 'a'));  // "#M" would end at 92
  EXPECT_EQ(fs[1], "#Mb");                 // the cut-off characters open the next field
}

TEST(KermitEncode, RunOfTwoMaySplitBetweenItsCopies) {
  Coder c;  // capacity 91
  std::string lead;
  for (int i = 0; i < 88; ++i) lead += (i % 2) ? 'a' : 'b';
  auto fs = c.fields(lead + "\x01\x01" + "z");
  ASSERT_EQ(fs.size(), 2u);
  EXPECT_EQ(fs[0], lead + "#A");  // the first copy ends at 90, the second would end at 92
  EXPECT_EQ(fs[1], "#Az");
}

TEST(KermitEncode, NameGoesWholeOrNotAtAllAndTheFileStartsAfresh) {
  std::string name;
  for (int i = 0; i < 120; ++i) name += static_cast<char>('A' + i % 26);
  for (size_t length : {size_t{89}, size_t{90}, size_t{120}}) {  // the field holds 89 characters
    Coder c;
    c.k.bct = 3;
    c.source = "DATA";
    c.k.in_buf = c.source.data();
    c.k.zinptr = c.source.data();
    c.k.zincnt = 4;
    int n = encode_name(name.substr(0, length).c_str(), &c.k, &c.r);
    if (length <= 89) {
      EXPECT_EQ(std::string(c.k.xdata, static_cast<size_t>(n)), name.substr(0, length));
    } else {
      EXPECT_EQ(n, -1) << length;
    }
    EXPECT_EQ(c.k.s_first, 1);
    EXPECT_EQ(c.k.name_source, nullptr);
    n = getpkt(&c.k, &c.r);
    EXPECT_EQ(std::string(c.k.xdata, static_cast<size_t>(n)), "DATA") << length;
  }
}

// Every field stays within the capacity the peer's MAXL leaves, and the
// fields decode back to the bytes, for every prefix setting and check type.
TEST(KermitEncode, FieldsNeverExceedCapacityAndRoundTrip) {
  std::mt19937 rng(7);
  for (int bct = 1; bct <= 3; ++bct)
    for (int repeat = 0; repeat <= 1; ++repeat)
      for (int eighth = 0; eighth <= 1; ++eighth)
        for (int maxl : {94, 80, 40, 17, 11, 10}) {
          std::string bytes;
          for (int i = 0; i < 3000; ++i) {
            int kind = static_cast<int>(rng() % 4);
            int run = kind == 0 ? static_cast<int>(rng() % 200) + 1 : kind == 1 ? 2 : 1;
            char b = static_cast<char>(rng());
            if (kind == 3) b = "#~&\r\x81\xA6\xFE"[rng() % 7];
            bytes.append(static_cast<size_t>(run), b);
          }
          Coder c(repeat, eighth, bct, maxl);
          auto fs = c.fields(bytes);
          for (const auto& f : fs) {
            ASSERT_LE(static_cast<int>(f.size()), field_capacity(&c.k));
            ASSERT_LE(static_cast<int>(f.size()) + bct + 2, maxl) << "LEN over the peer's MAXL";
          }
          Coder d(repeat, eighth, bct, maxl);
          ASSERT_EQ(d.decode(fs), bytes) << bct << repeat << eighth << maxl;
        }
}

}  // namespace
}  // namespace tessaril::kermit

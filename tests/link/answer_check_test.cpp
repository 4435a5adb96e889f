// Answer validation: length against the header, CRC, response codes, the
// file announcement of the answers 0x8E and 0xF9, what is posted and shown.
#include <gtest/gtest.h>

#include <cstring>

#include "link/answer_check.h"
#include "link/frame_codec.h"
#include "link/link_fixture.h"
#include "link/link_state.h"

namespace tessaril::test {
namespace {

using namespace tessaril::link;

Bytes text_bytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

class LinkAnswerTest : public LinkTest {
 protected:
  // Runs check and validation as the receive thread does; returns the status.
  uint32_t receive(const Bytes& wire) {
    Bytes decoded(wire.size() + 1);
    AnswerLength a = check_answer_length(session, wire.data(), static_cast<int>(wire.size()), decoded.data());
    if (a.status == 0x200001) validate_answer(session, decoded.data(), a.length);
    last_length = a.length;
    return a.status;
  }
  int last_length = 0;
};

TEST_F(LinkAnswerTest, AGoodAnswerIsShownPostedAndLogged) {
  session.frame_slot = 1;
  session.post_rx_command(RX_AWAIT_ANSWER);
  Bytes answer = make_frame(0x81, 0x08, 1, text_bytes("OK"));
  EXPECT_EQ(receive(encode(answer)), 0x200001u);
  EXPECT_EQ(result(1), "RSP=Success(0x01)");
  EXPECT_EQ(session.rsp_ok.load(), 1);
  EXPECT_EQ(session.rx_command.load(), RX_IDLE);
  ui::PostedMessage m{};
  ASSERT_TRUE(next_post(m, 100));
  EXPECT_EQ(m.message, 1034u);
  EXPECT_EQ(m.wparam, 0x81u);
  EXPECT_EQ(m.lparam, 3);
  auto hex = hex_lines();
  ASSERT_EQ(hex.size(), 1u);
  EXPECT_NE(hex[0].find("Rcv: 81 08 00 01 00 02 4F 4B"), std::string::npos) << hex[0];
  auto text = text_lines();
  ASSERT_EQ(text.size(), 1u);
  EXPECT_NE(text[0].find("Rcv:OK"), std::string::npos) << text[0];
}

TEST_F(LinkAnswerTest, LengthChecks) {
  // 8 bytes: a size error, nothing logged.
  Bytes eight = {0x81, 0x08, 0x00, 0x01, 0x00, 0x00, 0x00, 0xC0};
  EXPECT_EQ(receive(eight), 0x200004u);
  EXPECT_TRUE(hex_lines().empty());
  // data_len 2 arriving with 14 decoded bytes: cut to 11 and accepted.
  Bytes longer = make_frame(0x82, 0x08, 1, {0x41, 0x42});
  longer.insert(longer.end(), {0x11, 0x22, 0x33});
  EXPECT_EQ(receive(longer), 0x200001u);
  EXPECT_EQ(last_length, 11);
  EXPECT_EQ(result(1), "RSP=Success(0x01)");
  // Shorter than its header says.
  Bytes shorter = make_frame(0x83, 0x08, 1, text_bytes("ABCDEF"));
  shorter.erase(shorter.end() - 3, shorter.end());
  EXPECT_EQ(receive(shorter), 0x200004u);
  // Escapes that shrink a read below a header: no read of bytes not decoded.
  Bytes escapes(9, ESC);
  for (size_t i = 1; i < escapes.size(); i += 2) escapes[i] = ESC_END;
  EXPECT_EQ(receive(escapes), 0x200004u);
}

TEST_F(LinkAnswerTest, AnswersOfOnlyEscapedBytesEndInAClearOutcome) {
  for (uint8_t fill : {END, ESC}) {
    Bytes wire(255, fill);
    EXPECT_EQ(receive(wire), 0x200004u) << int(fill);
  }
}

TEST_F(LinkAnswerTest, ResponseCodesAndTheirTexts) {
  struct Row {
    uint8_t code;
    uint8_t status;
    const char* text;
    int ok;
  };
  const Row rows[] = {
      {0x81, 0x08, "RSP=Success(0x01)", 1},          {0x81, 0x0F, "RSP=Success(0x01)", 1},
      {0x81, 0x00, "RSP=Failure(0x00)", 0},          {0x81, 0x20, "RSP=Invalid FCS detected(0x04)", 0},
      {0x81, 0x40, "RSP=File recieve fail(0x08)", 0}, {0x81, 0x58, "RSP=Upgrade fail(0x0B)", 0},
      {0x81, 0x60, "RSP=unknown rsp_code", 0},       {0x81, 0xE8, "RSP=unknown rsp_code", 0},
      {0x81, 0xF0, "RSP=unimplemented cmd(0x1E)", 0}, {0x81, 0xF8, "RSP=unrecognized cmd(0x1F)", 0},
  };
  for (const Row& row : rows) {
    session.rsp_ok = 1 - row.ok;
    EXPECT_EQ(receive(make_frame(row.code, row.status, 7, {})), 0x200001u);
    EXPECT_EQ(result(1), row.text) << int(row.status);
    EXPECT_EQ(session.rsp_ok.load(), row.ok) << int(row.status);
  }
}

TEST_F(LinkAnswerTest, ExtendedAnswersCarryTheirStatusAtOffsetThree) {
  // 0xF5 answers the extended command 0x75: 0x10, length, status.
  Bytes f5 = make_frame(0xF5, 0, 0, {});
  f5[1] = 0x10;
  f5[2] = 0x06;
  f5[3] = 0x08;
  uint16_t fcs = frame_crc(f5.data(), 6) ^ 0xFFFF;
  f5[6] = static_cast<uint8_t>(fcs >> 8);
  f5[7] = static_cast<uint8_t>(fcs);
  receive(f5);
  EXPECT_EQ(result(1), "RSP=Success(0x01)");
  // 0xEF is a standard answer: byte 1 (0x10, code 0x02) counts, not byte 3.
  Bytes ef = make_frame(0xEF, 0x10, 0x0008, {});
  receive(ef);
  EXPECT_EQ(result(1), "RSP=Message recv tmo(0x02)");
}

TEST_F(LinkAnswerTest, ABadCrcIsReportedNotDropped) {
  session.frame_slot = 2;
  session.rsp_ok = 1;
  EXPECT_EQ(receive(encode(with_bad_crc(make_frame(0x84, 0x08, 3, {1, 2, 3})))), 0x200001u);
  EXPECT_EQ(result(2), "CRC_NG");
  EXPECT_EQ(result(1), "*");
  EXPECT_EQ(session.rsp_ok.load(), 0);
  ui::PostedMessage m{};
  ASSERT_TRUE(next_post(m, 100));
  EXPECT_EQ(m.wparam, 0x84u);
  EXPECT_EQ(m.lparam, 3);
}

struct Announcement {
  const char* field;  // the data field, a zero byte appended unless noted
  bool terminated;
  const char* name;
  int32_t size;
  int ok;
};

TEST_F(LinkAnswerTest, FileAnnouncements) {
  const Announcement rows[] = {
      {"cal_a.xml,1234", true, "CAL_A.XML", 1234, 1},
      {"cal_a.bin,1234", true, "CAL_A.BIN", 1234, 0},
      {"a.gz,1234567", true, "A.GZ", 1234567, 0},   // seven digits
      {"a.gz,999999", true, "A.GZ", 999999, 1},
      {"a.gz,12x4", true, "A.GZ", -1, 0},            // a non-digit: size is garbage, rsp_ok 0
      {"cal_a.xml1234", true, "CAL_A.XML1234", 0, 0},  // no ','
      {"cal_a.xml,1234", false, "CAL_A.XML", 1234, 0},  // no terminating zero inside the field
      {"gz,5", true, "GZ", 5, 0},                    // shorter than the suffix
      {".gz,5", true, ".GZ", 5, 1},
  };
  for (const Announcement& row : rows) {
    session.rsp_ok = 1;
    Bytes data = text_bytes(row.field);
    if (row.terminated) data.push_back(0);
    receive(make_frame(0x8E, 0x08, 1, data));
    EXPECT_STREQ(session.rx_file_name, row.name) << row.field;
    if (row.size >= 0) {
      EXPECT_EQ(session.rx_file_size.load(), row.size) << row.field;
    }
    EXPECT_EQ(session.rsp_ok.load(), row.ok) << row.field;
  }
  // A zero or another control byte inside the name: the suffix check would
  // pass while the host went on to ask for "A". 0x9F becomes DEL once upper-cased.
  for (uint8_t control : {0x00, 0x01, 0x0A, 0x1F, 0x7F, 0x9F}) {
    session.rsp_ok = 1;
    receive(make_frame(0x8E, 0x08, 1, {'A', control, '.', 'X', 'M', 'L', ',', '1', 0}));
    EXPECT_EQ(session.rsp_ok.load(), 0) << int(control);
  }
}

TEST_F(LinkAnswerTest, TheAnnouncementIsReadOnlyInsideTheDataField) {
  // "a.xml,12" without its zero: the CRC and END that follow must not be
  // taken for digits or for the terminator.
  receive(make_frame(0xF9, 0, 0, text_bytes("a.xml,12")));
  EXPECT_STREQ(session.rx_file_name, "A.XML");
  EXPECT_EQ(session.rsp_ok.load(), 0);
  // An earlier, longer answer left bytes in the buffer; the short one that
  // follows must not read them.
  Bytes buffer(64, '7');
  Bytes short_answer = make_frame(0x8E, 0x08, 1, text_bytes("b.gz,"));
  std::memcpy(buffer.data(), short_answer.data(), short_answer.size());
  validate_answer(session, buffer.data(), static_cast<int>(short_answer.size()));
  EXPECT_STREQ(session.rx_file_name, "B.GZ");
  EXPECT_EQ(session.rsp_ok.load(), 0);
}

TEST_F(LinkAnswerTest, LongNamesAreCutAtTwentyNineAndTheThirtiethIsSkipped) {
  std::string name(29, 'n');
  Bytes data = text_bytes(name + "X42");
  data.push_back(0);
  char stored[FILE_NAME_CAPACITY];
  int32_t size = 0;
  EXPECT_FALSE(parse_file_announcement(data.data(), static_cast<int>(data.size()), stored, size));
  EXPECT_EQ(std::string(stored), std::string(29, 'N'));
  EXPECT_EQ(size, 42);
  // Name bytes from 0x60 up are lowered by 0x20: 0x83 becomes 0x63.
  Bytes odd = {0x83, '.', 'g', 'z', ',', '1', 0};
  EXPECT_TRUE(parse_file_announcement(odd.data(), static_cast<int>(odd.size()), stored, size));
  EXPECT_EQ(static_cast<uint8_t>(stored[0]), 0x63);
  // An empty field.
  EXPECT_FALSE(parse_file_announcement(odd.data(), 0, stored, size));
  EXPECT_STREQ(stored, "");
}

TEST_F(LinkAnswerTest, OtherAnswersLeaveTheAnnouncedFileAlone) {
  receive(make_frame(0x8E, 0x08, 1, {'k', '.', 'x', 'm', 'l', ',', '9', 0}));
  receive(make_frame(0x8F, 0x08, 2, {'z', '.', 'g', 'z', ',', '1', 0}));
  EXPECT_STREQ(session.rx_file_name, "K.XML");
  EXPECT_EQ(session.rx_file_size.load(), 9);
  EXPECT_EQ(session.rsp_ok.load(), 1);
}

}  // namespace
}  // namespace tessaril::test

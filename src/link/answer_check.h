// Answer validation and response codes.
//
// How it works: the receive thread reads an answer in one piece (at most 255
// bytes, still RFC 1055 encoded). check_answer_length decodes it and compares
// its length with the length its own header announces: shorter is a size
// error, longer is cut to the announced length. validate_answer then checks
// the CRC, turns the response code (bits 7..3 of the status byte, at offset 3
// for answers 0xF0 and up, else at offset 1) into its text, reads the file
// announcement of the answers 0x8E and 0xF9 (all of that is judge_answer, a
// pure function), then reports the text as the result of step `frame_slot`,
// stores the announced file, sets `rsp_ok` and reports the answer validated
// (byte 0).
//
// The file announcement is "name,size" and a zero byte in the answer's data
// field. It is read only inside that field, never into the CRC, the END code
// or bytes left from an earlier answer. A field without ',' or without the
// terminating zero, a size with a character that is no digit, or a size of
// seven digits or more is malformed: `rsp_ok` 0, so that no Receive File goes
// out with a garbage size. So is a name with a control byte (a zero byte
// among them), as sent or once upper-cased (0x9F becomes DEL): the host would
// ask for another file than the one checked. The name is cut at 29
// characters (the 30th is then skipped and the size read from the 31st on),
// upper-cased by lowering every byte from 0x60 up by 0x20, and must end in
// ".XML" or ".GZ".
#pragma once

#include <cstdint>

#include "link/link_state.h"

namespace tessaril::link {
struct Session;
}

namespace tessaril::link {

// The answers the sequencer tells apart: the command's code with bit 7 set.
constexpr uint8_t ANSWER_RESET_STATUS_LATCH = 0x89;
constexpr uint8_t ANSWER_START_FILE_TRANSFER = 0x8A;
constexpr uint8_t ANSWER_KERMIT_STATUS = 0x8B;
constexpr uint8_t ANSWER_RECEIVE_FILE = 0x8C;
constexpr uint8_t ANSWER_GET_CAL_FILE = 0x8E;
constexpr uint8_t ANSWER_SET_CAL_FILE = 0x8F;
constexpr uint8_t ANSWER_START_UPGRADE = 0x90;
constexpr uint8_t ANSWER_GET_CAL_FILE_EX = 0xF9;
// Answers from 0xF0 up answer extended-form commands and carry their status
// byte at offset 3.
constexpr uint8_t ANSWER_EXTENDED_FIRST = 0xF0;

struct AnswerLength {
  int length;       // decoded length to validate
  uint32_t status;  // 0x200001 usable, 0x200004 size error
};

// Checks n received bytes (n >= 1, at most 300). decoded must hold n bytes.
// Fewer than 9 bytes: size error, nothing logged. Otherwise logs the bytes as
// a "Rcv:" hex line and the decoded data field as a "Rcv:" text line.
AnswerLength check_answer_length(Session& s, const uint8_t* received, int count, uint8_t* decoded);

// What an answer says.
struct AnswerVerdict {
  const char* text = nullptr;  // the response text, or "CRC_NG"
  bool ok = false;             // good CRC, response code 0x01, and a good announcement where one is due
  bool announces_file = false; // an answer 0x8E or 0xF9: file_name and file_size are its announcement
  char file_name[FILE_NAME_CAPACITY] = {};
  int32_t file_size = 0;       // what was parsed; `known_size` where the size was never reached
};

// Judges a decoded answer of `length` bytes (>= 9). Pure: nothing is shown,
// stored or posted.
AnswerVerdict judge_answer(const uint8_t* frame, int length, int32_t known_size);

// Validates a decoded answer of `length` bytes (>= 9) as described above.
void validate_answer(Session& s, const uint8_t* frame, int length);

// The text of response code 0-31 ("RSP=Success(0x01)", ...).
const char* response_text(int code);
constexpr const char* CRC_NG_TEXT = "CRC_NG";
constexpr const char* NO_ANSWER_TEXT = "No_Ans";
constexpr const char* ANSWER_ERROR_TEXT = "Ans_RCV_ERR";
constexpr int RESPONSE_SUCCESS = 0x01;

// The response code of a decoded answer of at least 4 bytes.
int response_code(const uint8_t* frame);

// Reads a file announcement from a data field of data_len bytes into name
// (capacity 40, NUL-terminated) and size. Returns true when it is
// well-formed. What was parsed before a fault stays in name and size.
bool parse_file_announcement(const uint8_t* data, int data_len, char* name, int32_t& size);

constexpr int ANNOUNCED_NAME_MAX = 29;
constexpr int ANNOUNCED_SIZE_DIGITS_MAX = 6;

}  // namespace tessaril::link

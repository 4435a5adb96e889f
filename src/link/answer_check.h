// Answer validation and response codes.
//
// How it works: the receive thread reads an answer in one piece (at most 255
// bytes, still RFC 1055 encoded). check_answer_length decodes it and compares
// its length with the length its own header announces: shorter is a size
// error, longer is cut to the announced length. validate_answer then checks
// the CRC, turns the response code (bits 7..3 of the status byte, at offset 3
// for answers 0xF0 and up, else at offset 1) into its text, writes the text
// into the result field of step `frame_slot`, reads the file announcement of
// the answers 0x8E and 0xF9, sets `rsp_ok` and posts 1034 (byte 0, lParam 3).
//
// The file announcement is "name,size" and a zero byte in the answer's data
// field. It is read only inside that field, never into the CRC, the END code
// or bytes left from an earlier answer. A field without ',' or without the
// terminating zero, a size with a character that is no digit, or a size of
// seven digits or more is malformed: `rsp_ok` 0, so that no Receive File goes
// out with a garbage size. The name is cut at 29 characters (the 30th is then
// skipped and the size read from the 31st on), upper-cased by lowering every
// byte from 0x60 up by 0x20, and must end in ".XML" or ".GZ".
#pragma once

#include <cstdint>

namespace tessaril::link {

struct AnswerLength {
  int length;       // decoded length to validate
  uint32_t status;  // 0x200001 usable, 0x200004 size error
};

// Checks n received bytes (n >= 1, at most 300). decoded must hold n bytes.
// Fewer than 9 bytes: size error, nothing logged. Otherwise logs the bytes as
// a "Rcv:" hex line and the decoded data field as a "Rcv:" text line.
AnswerLength check_answer_length(const uint8_t* received, int count, uint8_t* decoded);

// Validates a decoded answer of `length` bytes (>= 9) as described above.
void validate_answer(const uint8_t* frame, int length);

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

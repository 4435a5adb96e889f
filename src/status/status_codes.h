// Status codes, their message texts and the result words.
//
// How it works: a status code names one outcome of the serial link, of a
// Kermit transfer or of the configuration reader. Its value is
// (group << 20) | (1 << bit): the group in bits 20..31, exactly one of bits
// 0..19 set. Codes are never combined; they travel as the wParam of message
// 1034 to the command dialog.
//
// status_table holds the 301 rows of the code table (row 0 is the undefined
// error 0x99999999, rows 1..300 the codes in ascending order). It is zero
// until init_status_table fills it from the one list of rows in
// status_codes.cpp, converting the UTF-8 texts of the source to CP932 once;
// from then on it is constant and read without locks. The dialogs show not
// these texts but the result words, a second small table (result_word).
//
// Include order: platform < status < kermit < link < commands < shell < ui.
// This folder is status: it includes platform only.
#pragma once

#include <atomic>
#include <cstdint>

namespace tessaril::status {

// Groups of the codes the system names.
inline constexpr uint32_t GRP_LINK = 0x000;
inline constexpr uint32_t GRP_SEND = 0x001;
inline constexpr uint32_t GRP_RECV = 0x002;
inline constexpr uint32_t GRP_SETUP = 0x003;
inline constexpr uint32_t GRP_SOCKET = 0x104;
inline constexpr uint32_t GRP_FILE = 0x108;

constexpr uint32_t status_code(uint32_t group, unsigned bit) { return (group << 20) | (uint32_t{1} << bit); }

// Send side (group 0x001).
inline constexpr uint32_t ST_CMD_SEND_OK = 0x100001;             // frame written completely
inline constexpr uint32_t ST_CMD_SEND_ERR = 0x100002;
inline constexpr uint32_t ST_CMD_SEND_SIZE_ERR = 0x100004;       // short write
inline constexpr uint32_t ST_CMD_SEND_TIMEOUT = 0x100008;
inline constexpr uint32_t ST_CMD_SEND_OTHER_ERR = 0x100010;
inline constexpr uint32_t ST_SEND_RESERVE2 = 0x100020;
inline constexpr uint32_t ST_KERMIT_SEND_OK = 0x100040;
inline constexpr uint32_t ST_KERMIT_SEND_ERR = 0x100080;
inline constexpr uint32_t ST_KERMIT_SEND_SIZE_ERR = 0x100100;
inline constexpr uint32_t ST_KERMIT_SEND_TIMEOUT = 0x100200;
inline constexpr uint32_t ST_KERMIT_SEND_OTHER_ERR = 0x100400;
inline constexpr uint32_t ST_KERMIT_SEND_INIT_ERR = 0x100800;
inline constexpr uint32_t ST_KERMIT_SEND_NAME_MISMATCH = 0x101000;
inline constexpr uint32_t ST_KERMIT_SEND_SIZE_MISMATCH = 0x102000;
inline constexpr uint32_t ST_KERMIT_SEND_CANCEL = 0x104000;
inline constexpr uint32_t ST_KERMIT_SEND_BREAK = 0x108000;
inline constexpr uint32_t ST_SEND_RESERVE8 = 0x110000;
inline constexpr uint32_t ST_SEND_RESERVE9 = 0x120000;
inline constexpr uint32_t ST_SEND_RESERVE10 = 0x140000;
inline constexpr uint32_t ST_SEND_RESERVE11 = 0x180000;

// Receive side (group 0x002).
inline constexpr uint32_t ST_ANS_RECV_OK = 0x200001;
inline constexpr uint32_t ST_ANS_RECV_ERR = 0x200002;
inline constexpr uint32_t ST_ANS_RECV_SIZE_ERR = 0x200004;
inline constexpr uint32_t ST_ANS_RECV_TIMEOUT = 0x200008;
inline constexpr uint32_t ST_ANS_RECV_OTHER_ERR = 0x200010;
inline constexpr uint32_t ST_ANS2_RESERVE2 = 0x200020;
inline constexpr uint32_t ST_KERMIT_RECV_OK = 0x200040;
inline constexpr uint32_t ST_KERMIT_RECV_ERR = 0x200080;
inline constexpr uint32_t ST_KERMIT_RECV_SIZE_ERR = 0x200100;
inline constexpr uint32_t ST_KERMIT_RECV_TIMEOUT = 0x200200;
inline constexpr uint32_t ST_KERMIT_RECV_OTHER_ERR = 0x200400;
inline constexpr uint32_t ST_KERMIT_RECV_INIT_ERR = 0x200800;
inline constexpr uint32_t ST_KERMIT_RECV_NAME_MISMATCH = 0x201000;
inline constexpr uint32_t ST_KERMIT_RECV_SIZE_MISMATCH = 0x202000;
inline constexpr uint32_t ST_KERMIT_RECV_CANCEL = 0x204000;
inline constexpr uint32_t ST_KERMIT_RECV_BREAK = 0x208000;
inline constexpr uint32_t ST_KER2_RESERVE8 = 0x210000;
inline constexpr uint32_t ST_KER2_RESERVE9 = 0x220000;
inline constexpr uint32_t ST_KER2_RESERVE10 = 0x240000;
inline constexpr uint32_t ST_KER2_RESERVE11 = 0x280000;

// The configuration reader's code: "buc_setup.ini" could not be opened.
inline constexpr uint32_t ST_INI_FILE_MISSING = 0x10800001;

// Row 0 of the table.
inline constexpr uint32_t ST_UNDEFINED = 0x99999999;

struct StatusEntry {
  uint32_t code;
  int32_t index;   // the row number
  char text[100];  // CP932, NUL-terminated; an empty text is a single NUL
};

inline constexpr int STATUS_ROW_COUNT = 301;
extern StatusEntry status_table[STATUS_ROW_COUNT];

// Fills all 301 rows. Called once by the port dialog's initialisation, before
// the link threads start; calling it again gives the same table.
void init_status_table();

// The row of a code in status_table, or nullptr when the table has none (or is
// not filled yet).
const StatusEntry* find_status(uint32_t code);

// The word the command dialog shows for a Kermit outcome ("SND_OK",
// "RCV_NG", "SND_TMO", ...), or nullptr when the code has no word (codes no
// link thread posts, 0x100400 among them).
const char* result_word(uint32_t code);


}  // namespace tessaril::status

// The records of one Kermit transfer and the engine's codes.
//
// How it works: a transfer is one KermitState (everything the engine, the
// packet layer and the encoder keep) and one KermitResult (what the link
// reads afterwards). The engine never reads the line itself: the link thread
// takes a receive slot (rslot_get), reads one packet into it with the line
// callback `readpkt`, and hands the slot to kermit_engine(KA_PACKET, ...),
// which verifies the packet, answers it through `tx_data`, moves its state and
// says whether to go on (KR_OK), stop (KR_DONE) or give up (KR_FAIL). Files
// are touched only through the file callbacks held in the record.
//
// A received data packet on its way to the file:
//   kermit_line.cpp    readpkt: bytes between MARK and EOL into the slot
//   kermit_engine.cpp  packet_action: verify, sequence check, state switch
//   kermit_packet.cpp  verify_packet: LEN, block check, data field terminated
//   kermit_engine.cpp  receive_packet: 'D' in R_DATA -> decode, acknowledge
//   kermit_encode.cpp  decode_data: prefixes undone into out_buf
//   kermit_files.cpp   writefile when out_buf is full; closefile at 'Z' marks
//                      the file whole; put_received_in_place at 'B' renames it
// and the way out: kermit_engine (send_packet) -> sdata -> getpkt (encode)
// -> spkt (packet) -> tx_data (line).
//
// The fields follow the order the transfer's documents give them; the ones
// after `force_crc` are this system's own additions (the port, the full path
// of the file to send, the encoder's look-ahead byte, the last
// acknowledgement).
//
// Include order: platform < status < kermit < link < commands < shell < ui.
// This folder is kermit: it includes platform and status only.
#pragma once

#include <cstdint>

#include "platform/serial.h"

namespace tessaril::kermit {

// Action codes of kermit_engine.
constexpr int KA_INIT = 0;
constexpr int KA_PACKET = 1;
constexpr int KA_STATUS = 2;
constexpr int KA_QUIT = 4;
constexpr int KA_ERROR = 5;
constexpr int KA_SEND = 6;
// A read period passed without a packet: the receiver NAKs the packet it
// expects, the sender sends its last packet again; each counts as a retry of
// that packet (r_slot: the receive slot of the silent read).
constexpr int KA_TIMEOUT = 7;

// Results of kermit_engine.
constexpr int KR_OK = 0;
constexpr int KR_DONE = 3;
constexpr int KR_STATUS = 4;
constexpr int KR_NOSLOT = 5;
constexpr int KR_FAIL = -1;

// Protocol states.
constexpr int16_t K_IDLE = 0;
constexpr int16_t R_AWAIT_INIT = 1;
constexpr int16_t R_FILE = 2;
constexpr int16_t R_ATTR = 3;
constexpr int16_t R_DATA = 4;
constexpr int16_t S_AWAIT_INIT_ACK = 11;
constexpr int16_t S_AWAIT_FILE_ACK = 12;
constexpr int16_t S_AWAIT_ATTR_ACK = 13;
constexpr int16_t S_AWAIT_DATA_ACK = 14;
constexpr int16_t S_AWAIT_EOF_ACK = 15;
constexpr int16_t S_AWAIT_EOT_ACK = 16;

// What became of the last file of a transfer, so that the link never reports
// a file as moved when it was not. Read it together with the engine's result.
constexpr int16_t KO_NONE = 0;       // no file finished (yet)
constexpr int16_t KO_COMPLETE = 1;   // every byte sent and acknowledged / written and put in place
constexpr int16_t KO_REFUSED = 2;    // the receiver refused it ('N' in the acknowledgement of 'A')
constexpr int16_t KO_CANCELLED = 3;  // the receiver cancelled it ('X' or 'Z' in an acknowledgement)
constexpr int16_t KO_DISCARDED = 4;  // the sender discarded it ('Z' with 'D')
constexpr int16_t KO_UNREADABLE = 5; // reading it failed part-way; the receiver was told to discard it
constexpr int16_t KO_WRONG_SIZE = 6; // received whole by the protocol, but a binary file not the size its
                                     // attributes or the expected size said: never put in place
// Receiving, refused with an error packet to the peer and a failed engine;
// nothing of such a file is left on disk.
constexpr int16_t KO_NAME_REFUSED = 7;  // the file header named another file than the one expected (any
                                        // difference of byte or case); refused before anything was opened
constexpr int16_t KO_SIZE_REFUSED = 8;  // the attributes announced a size other than the expected one (or
                                        // than an earlier attribute packet): refused before writing
constexpr int16_t KO_OVERRUN = 9;       // more bytes came than the announced or expected size allows
constexpr int16_t KO_EXTRA_FILE = 10;   // a further file header: a transfer takes one file. A file
                                        // before it is discarded; file_name keeps its name
// Sending.
constexpr int16_t KO_CHANGED = 11;  // the bytes read were not the size our attributes announced (the file
                                    // changed since it was chosen): ended with a discard ('Z' with 'D')

// Sizes of the record's own storage.
constexpr int MAX_PACKET = 94;                  // the protocol's ceiling for LEN and MAXL
constexpr int RSLOT_COUNT = 31;
constexpr int RSLOT_BUF = MAX_PACKET + 8;       // 102: a packet, its terminator and slack
constexpr int OUT_PACKET_SIZE = 104;
constexpr int XDATA_SIZE = 100;  // a full field of 91 and the encoding that overflows it
constexpr int S_REMAIN_SIZE = 8;                // up to six carried-over characters
constexpr int PARAM_TEXT_SIZE = 12;
constexpr int FILE_NAME_SIZE = 1024;
constexpr int FILEDATE_SIZE = 21;

struct KermitState;
struct KermitFiles;  // kermit_files.h

// The callbacks, in the order of the record. Results: 0 success, -1 failure;
// readpkt also -2 when nothing arrived in time.
using ReadPacketFn = int (*)(KermitState* k, char* buf, int len);
using TxDataFn = int (*)(KermitState* k, const char* bytes, int count);
using ReservedFn = int (*)();
using OpenFileFn = int (*)(KermitState* k, const char* name, int mode);
using QueryFileFn = int64_t (*)(KermitState* k, const char* name, char* date, int size, int type, int mode);
using ReadFileFn = int (*)(KermitState* k);
using WriteFileFn = int (*)(KermitState* k, const char* bytes, int count);
using CloseFileFn = int (*)(KermitState* k, int disposition, int mode);
using DebugHookFn = void (*)(KermitState* k, const char* text);

struct RecvSlot {
  int32_t length = 0;  // below 1: free; -1 while handed out and not yet filled
  int16_t seq = -1;
  char type = ' ';
  int16_t retries = 0;
  char* data = nullptr;
  int32_t data_len = 0;  // characters of the data field once verified
};

struct KermitResult {
  int16_t result_state = 0;
  char file_name[FILE_NAME_SIZE] = {};
  char filedate[FILEDATE_SIZE] = {};
  int64_t filesize = 0;
  int64_t bytes_done = 0;
  int16_t file_outcome = KO_NONE;
  // 1 once the peer sent an error packet in this transfer: it broke the
  // transfer off, whatever file_outcome says of a file finished before.
  int16_t peer_error = 0;
};

struct KermitState {
  const char* version_text = nullptr;
  int16_t ctrlc_abort = 0;
  int16_t file_mode_hint = 0;
  int16_t file_binary = 1;
  int16_t state = K_IDLE;
  int16_t direction = 0;
  int16_t s_first = 1;
  int16_t send_seq = 0, recv_seq = 0;
  int16_t send_mark = 1, recv_mark = 1, send_eol = 13, recv_eol = 13;
  int32_t fill_len = 0, fill_mark = 0;
  int32_t peer_timeout = 1, own_timeout = 1;
  int32_t recv_maxlen = MAX_PACKET, send_maxlen = MAX_PACKET;
  int16_t window_size = 31;
  int16_t line_parity = 0;
  int16_t retry_limit = 3;
  int16_t cancel = 0;
  int16_t keep_partial = 1;
  char send_ctl_prefix = '#', recv_ctl_prefix = '#', ebq = 'Y', ebqflg = 0, rpt_prefix = '~';
  int32_t rpt_count = 0;
  int16_t rpt_on = 0;
  int16_t bct = 1;
  uint16_t capability_bits = 12;
  uint16_t crc_hi_nibble[16] = {};
  uint16_t crc_lo_nibble[16] = {};
  char s_remain[S_REMAIN_SIZE] = {};
  RecvSlot rslots[RSLOT_COUNT];
  char rslot_buf[RSLOT_COUNT][RSLOT_BUF] = {};
  char out_packet[OUT_PACKET_SIZE] = {};
  int32_t out_packet_len = 0;
  char xdata_area[XDATA_SIZE] = {};
  char* xdata = xdata_area;
  char param_text[PARAM_TEXT_SIZE] = {};
  char* out_buf = nullptr;
  int32_t out_buf_size = 0, out_buf_count = 0;
  const char* const* file_list = nullptr;
  const char* cur_file_name = nullptr;
  const char* name_source = nullptr;
  ReadPacketFn readpkt = nullptr;
  TxDataFn tx_data = nullptr;
  ReservedFn reserved_cb = nullptr;
  OpenFileFn openfile = nullptr;
  QueryFileFn query_file = nullptr;
  ReadFileFn readfile = nullptr;
  WriteFileFn writefile = nullptr;
  CloseFileFn closefile = nullptr;
  DebugHookFn debug_hook = nullptr;
  char* in_buf = nullptr;
  int32_t zincnt = 0;
  int32_t in_buf_size = 0;
  char* zinptr = nullptr;
  int32_t force_crc = 0;

  // The serial port the line callbacks read and write (given by set-up; the
  // link owns it).
  platform::SerialHandle port = platform::INVALID_SERIAL;
  // Full path of the file chosen for sending; the file list carries only its
  // upper-cased base name, which is what the 'F' packet announces.
  const char* send_path = nullptr;
  // getpkt's look-ahead byte: it must survive from one data field to the next.
  int next_char = -1;
  // What the file being sent comes to once its 'Z' is acknowledged.
  int16_t pending_outcome = KO_NONE;
  // The last acknowledgement sent: a repeat of the packet it answered gets
  // it again, even when a NAK went out after it.
  char last_ack[OUT_PACKET_SIZE] = {};
  int32_t last_ack_len = 0;
  // The size in bytes the attribute packets announced for the file: the
  // peer's when receiving, ours when sending; -1 when none was announced
  // (no attribute packets, or no exact size in them): none is made up.
  int64_t announced_size = -1;
  // Receiving: the size in units of 1024 bytes the peer's attributes
  // announced ('!'), -1 none.
  int64_t announced_kbytes = -1;
  // Receiving: the size the file must have, when known beforehand (the
  // device's announcement); -1 unknown. Set-up clears it and the caller sets
  // it after set-up; initialisation leaves it alone.
  int64_t expected_size = -1;
  // Receiving: the only name a file header may carry, compared byte for byte
  // before any file is opened (set-up points it at the name it was given);
  // null takes any name, as a device does.
  const char* expected_name = nullptr;
  // Receiving: file headers taken in this transfer; a transfer takes one file.
  int16_t file_headers = 0;
  // Receiving: 1 once this side refused the transfer with an error packet.
  int16_t refused = 0;
  // The engine's files (set-up points this at its own); null: no file opens.
  KermitFiles* files = nullptr;
  // Write calls allowed for one packet: a port that takes bytes only a few
  // at a time cannot stall a transfer.
  int32_t write_budget = 10;
};

// The single entry point: action code, record, receive slot and packet length
// (KA_PACKET), text (KA_ERROR and the default error packet), result record.
int kermit_engine(int action, KermitState* k, int r_slot, int len, const char* msg, KermitResult* r);

// Hands out the first free receive slot: returns its packet buffer and puts
// its index into *slot, or returns null with *slot = -1 when all are taken.
char* rslot_get(KermitState* k, int* slot);
void rslot_free(KermitState* k, int slot);

// Sends the next data packet: its data length, 0 at the end of the file (or
// with `cancel` set), -1 when sending it failed.
int sdata(KermitState* k, KermitResult* r);

}  // namespace tessaril::kermit

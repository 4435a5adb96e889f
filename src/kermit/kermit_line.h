// The line callbacks: reading one packet from the serial port, writing one.
//
// How it works: readpkt reads the port one byte per call, so that the port's
// read time-out (Windows COMMTIMEOUTS semantics, see platform/serial.h) tells
// a silent line at once, and feeds each byte to a PacketReader. The reader is
// pure: it skips everything up to the start mark, stores the bytes up to the
// end of line (CR or LF) and decides how the read ends. A read that sees bytes
// but no start mark gives up, as "nothing arrived", once it has skipped as
// many bytes as a whole packet holds, and one that has started ends as an
// overlong packet once that many bytes came after the start (the further
// start marks it drops included), so a chattering line can never hold the
// link thread forever; three Ctrl-C bytes in a row end the read as failed.
//
// tx_data writes a whole packet with at most the record's `write_budget` write
// calls, so a port that takes bytes only a few at a time cannot stall a
// transfer.
#pragma once

#include <atomic>

#include "kermit/kermit_state.h"

namespace tessaril::kermit {

// Results of PacketReader::feed besides "go on".
constexpr int READ_GO_ON = -3;

struct PacketReader {
  int ctrlc_run = 0;
  int skipped = 0;   // bytes seen before the start mark
  int stored = -1;   // bytes stored since the start mark; -1 = not started
  int dropped = 0;   // further start marks dropped since the start mark
};

// Feeds one byte read from the line. Returns READ_GO_ON to read on, or how the
// read ends: the count of bytes stored in buf (terminated), 0 for a packet
// longer than recv_maxlen (or a whole packet's worth of bytes after the start
// without its end), -1 for three Ctrl-C in a row, -2 after a whole
// packet's worth of bytes without a start mark. buf holds RSLOT_BUF bytes.
int feed_packet_byte(const KermitState* k, PacketReader* reader, uint8_t byte, char* buf);

// Reads one packet from k->port into buf (RSLOT_BUF bytes): count stored,
// -2 when nothing arrived in time, -1 on failure. len is not used.
int readpkt(KermitState* k, char* buf, int len);

// Writes count bytes to k->port: 0 all written, -1 failure.
int tx_data(KermitState* k, const char* bytes, int count);

}  // namespace tessaril::kermit

// The data field of 'F' and 'D' packets: encoding the bytes sent, decoding
// the bytes received.
//
// How it works: getpkt fills `xdata` from the source (the file through the
// input buffer and `readfile`, or a text for the file name) one byte at a
// time, always knowing the byte that follows so that runs of equal bytes
// can be counted. encode_char writes a byte as it travels: behind the 8th-bit
// prefix when bit 8 is set and 8th-bit prefixing is in force, behind the
// control prefix when it is a control character or one of the prefixes
// themselves, and runs of three or more (up to 94) as repeat prefix, count,
// byte. A byte whose encoding does not fit the field any more is cut off
// and carried over in `s_remain` to open the next field, so no field is ever
// longer than the peer's MAXL allows.
//
// decode_data undoes that for a received field and puts the bytes either into
// the file name of the result or into `out_buf`, which goes to `writefile`
// whenever it is full. It never reads past the field's terminator: a prefix
// at the very end of a field ends the field.
#pragma once

#include <cstdint>

#include "kermit/kermit_state.h"

namespace tessaril::kermit {

// Characters a data field may hold: all that the peer's MAXL leaves beside
// the block check (LEN counts SEQ, TYPE, data and check). The smallest, MAXL
// 10 with check 3, still holds five: the longest encoding of a byte or a run.
int field_capacity(const KermitState* k);

// The most bytes the file being received may come to: the size announced in
// its attributes, else the expected size (twice that for a text file, whose
// line ends may grow on the way); -1 without either.
int64_t receive_limit(const KermitState* k);

// decode_data's result when the file would grow past receive_limit.
constexpr int DECODE_OVERRUN = -2;

// Builds the next data field in xdata and returns its length; 0 when the
// source is exhausted and nothing is carried over.
int getpkt(KermitState* k, KermitResult* r);

// Appends the encoding of byte a (0..255), followed by `next` (-1 none), to
// the data field at fill_len.
void encode_char(int a, int next, KermitState* k);

// Encodes text into the data field for the 'F' packet and returns the field's
// length, or -1 when the text does not fit one field whole (a name is never
// cut). Either way the next getpkt starts on the file.
int encode_name(const char* text, KermitState* k, KermitResult* r);

// Decodes the terminated data field. Mode 0: into r->file_name as a text
// (-1 when it does not fit or holds a zero byte, which no name can). Mode 1:
// appended to out_buf, written out through writefile whenever it fills (its
// failure is returned); DECODE_OVERRUN, before the byte is stored, when the
// file would grow past receive_limit. 0 on success.
int decode_data(KermitState* k, KermitResult* r, int mode, const char* data);

}  // namespace tessaril::kermit

// Kermit data fields: file bytes and names in the printable form of the
// protocol, both ways.
//
// How it works: one byte becomes one "unit" of characters: the 8th-bit
// prefix and the byte without bit 8 when 8th-bit prefixing is in force and
// the byte has it; then the control prefix and ctl(byte) for a control
// character (0-31, 127, and with bit 8 when no 8th-bit prefix is in force);
// the control prefix before a byte that is itself one of the prefixes in
// force; the byte as it is otherwise. A run of three or more equal bytes, at
// most 94, travels as the repeat prefix, tochar(count) and the unit, when
// repeat prefixing is in force. A unit is never split between two packets.
// Decoding takes the same steps back and refuses a field that ends inside a
// unit, carries a repeat count below 1, or holds a control character as it is.
#pragma once

#include "sim_kermit_params.h"

namespace tessaril::sim::peer {

// Encodes bytes from `from` on into `field` (emptied first), at most
// `capacity` characters; returns how many bytes it took.
size_t encode_field(const Agreement& a, const Bytes& bytes, size_t from, size_t capacity, Bytes& field);

// Decodes a field the other side sent, appending to `out`; false when the
// field is malformed (out then holds what came before the fault).
bool decode_field(const Agreement& a, const Bytes& field, Bytes& out);

}  // namespace tessaril::sim::peer

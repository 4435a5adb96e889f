// Kermit packets on the line: layout, block checks, building, verifying and
// the send-init parameter exchange.
//
// How it works: a packet is MARK, LEN, SEQ, TYPE, DATA, CHECK, EOL. LEN is
// tochar of the number of characters after it up to and including the check,
// so a packet is at most 94 + 3 characters between its marks. Every packet
// sent is built into `out_packet` (spkt) and kept there so that resend_last can
// repeat it. A received packet arrives in a receive slot as the bytes between
// MARK and EOL; verify_packet reads LEN, SEQ and TYPE, checks that LEN accounts
// for exactly the bytes that arrived, compares the block check and terminates
// the data field where the check begins. The send-init ('S') and its
// acknowledgement always travel with block check 1 so that two sides that have
// not agreed on anything yet can read them; the check they agree on is used
// from the next packet on. A peer with short packets gets only the parameters
// that fit, and a parameter whose field one side never saw is not in force;
// nor is a check type or prefix that the two sides named differently.
//
// The packet layer owns no memory: every buffer is a field of the record.
#pragma once

#include <cstdint>

#include "kermit/kermit_state.h"

namespace tessaril::kermit {

constexpr char tochar(int x) { return static_cast<char>(x + 32); }
constexpr int unchar(char ch) { return static_cast<uint8_t>(static_cast<uint8_t>(ch) - 32); }
constexpr char ctl(char ch) { return static_cast<char>(ch ^ 64); }

// Writes the two nibble tables of the CRC into the record.
void init_crc_tables(KermitState* k);

// Block checks over `count` bytes, and over a terminated text. check_type3
// uses the record's nibble tables (init_crc_tables must have run).
uint16_t check_type1(const char* text, int count);
uint16_t check_type1(const char* text);
uint16_t check_type2(const char* text, int count);  // the 16-bit sum; 12 bits travel
uint16_t check_type2(const char* text);
uint16_t check_type3(const KermitState* k, const char* text, int count);
uint16_t check_type3(const KermitState* k, const char* text);

// Characters of the block check that packets are sent with: 3 once a peer
// forced CRCs on every packet, else `bct`.
int check_length(const KermitState* k);

// The longest data field a packet to the peer may carry whole, LEN counting
// data, check and two: the peer's MAXL minus the check and two.
int max_data_for_peer(const KermitState* k);

// Parameters of our send-init (at most eleven) that one packet to the peer
// carries whole: its MAXL less the check of an init packet and two.
int init_fields_for_peer(const KermitState* k);

// Builds and sends a packet. len < 0: data is a terminated text. A data field
// longer than the packet buffer allows is cut to fit (LEN never exceeds 94).
// Returns tx_data's result: 0 sent, -1 failed.
int spkt(char type, int seq, int len, const char* data, KermitState* k);

// 'Y' with sequence seq; text may be null. A text longer than the peer's
// MAXL allows is cut. On success recv_seq advances. The packet is kept
// (last_ack) for resend_ack. Returns spkt's result.
int ack(KermitState* k, int seq, const char* text);

// Sends the last acknowledgement again, whatever was sent after it (a NAK);
// 0 without sending when none was.
int resend_ack(KermitState* k);

// Counts one more repetition on receive slot `slot`; true when the slot had
// already gone above retry_limit before it, i.e. this one is too many.
bool count_retry(KermitState* k, int slot);

// 'N' with sequence seq, then one more retry counted on the slot. Returns -1
// when the slot had already gone above retry_limit (the NAK is sent anyway),
// else spkt's result.
int send_nak(KermitState* k, int seq, int slot);

// 'E' with sequence 0 and the text unencoded; from then on block check 1
// unless a peer forced CRCs. Returns spkt's result.
int send_error(const char* text, KermitState* k);

// Repeats the last packet built; 0 without sending when none was.
int resend_last(KermitState* k);

// Advances send_seq modulo 64 and points xdata back at its area. Returns 0.
int next_seq(KermitState* k);

// Sends this side's parameters: as 'S' (type 'S') or as the acknowledgement of
// the peer's 'S' (type 'Y'), as many fields as fit the peer's packets
// (init_fields_for_peer). -1 for any other type, else spkt's result.
int rpar(KermitState* k, char type);

// Adopts the peer's parameters from the data field of its 'S' or of the
// acknowledgement of ours. Blank or absurd fields take the protocol's
// defaults, and so do the 8th-bit prefix, block check and repeat prefix when
// their fields are missing (none, type 1, none).
void peer_params(KermitState* k, const char* data, int len);

// The receiving side's answer to the peer's 'S': adopts the peer's
// parameters and acknowledges with ours. A peer whose MAXL is too small for
// all eleven fields gets our answer cut, and a parameter whose field it did not
// get from us is not in force: it is adopted as if the peer had not sent it
// either. Returns rpar's result.
int answer_send_init(KermitState* k, const char* data, int len);

// The sending side's reading of the acknowledgement of its 'S': adopts the
// peer's parameters, but the block check, the repeat prefix and the 8th-bit
// prefix only where the acknowledgement agrees with what our 'S' offered
// (the same check type; the same repeat prefix; the same 8th-bit prefix, or
// any where we said 'Y'). Otherwise they are not in force: type 1, none, none.
void take_send_init_answer(KermitState* k, const char* data, int len);

// Outcome of taking a received packet apart.
enum class PacketCheck {
  ok,          // in the slot: length, seq, type, data, data_len; data terminated
  too_short,   // fewer than 4 bytes
  ignored,     // a 'Y' or 'N' while receiving: drop it, no answer
  damaged,     // bad length or block check
  peer_error,  // an 'E' packet that verified (also as a type-1 error packet)
};

// Verifies the n bytes that readpkt stored in receive slot r_slot.
PacketCheck verify_packet(KermitState* k, int r_slot, int n);

}  // namespace tessaril::kermit

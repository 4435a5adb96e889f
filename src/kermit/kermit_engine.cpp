// The protocol engine: one packet in, at most one packet out, one state step.
//
// A packet handed over with KA_PACKET goes through three stages: the packet
// layer verifies it (verify_packet), the sequence check sorts out repeats and
// strays, and the state switch answers the in-sequence packet. The receiving
// side acknowledges every packet it takes; the sending side sends the next
// packet when the acknowledgement of the last one comes, and repeats the last
// one when anything else comes, except a repeated acknowledgement of the
// packet before, which it lets pass. Repeats, damaged packets and NAKs sent
// count against the retry limit. One packet is in flight at a time, whatever
// window the peer offered.
//
// A receive takes one file, the one it was set up for: a file header with
// another name, or any after the first, is refused before anything is
// opened; attributes whose size contradicts the expected one are refused
// before anything is written; bytes beyond the size end the transfer. Every
// refusal is an error packet to the peer, and the partial file goes; after
// it the transfer is over, and whatever the peer still sends gets the error
// packet again.
#include <cstring>

#include "kermit/kermit_encode.h"
#include "kermit/kermit_files.h"
#include "kermit/kermit_packet.h"
#include "kermit/kermit_state.h"

namespace tessaril::kermit {

namespace {

void set_state(KermitState* k, KermitResult* r, int16_t state) {
  k->state = state;
  r->result_state = state;
}

void report(KermitState* k, const char* text) {
  if (k->debug_hook) k->debug_hook(k, text);
}

const char* ack_text(const KermitState* k) {
  if (k->cancel == 1) return "X";
  if (k->cancel == 2) return "Z";
  return nullptr;
}

int16_t previous_seq(const KermitState* k) { return static_cast<int16_t>(k->recv_seq == 0 ? 63 : k->recv_seq - 1); }

// The acknowledgement of a file header echoes the name, cut where it stops
// being printable (an unencoded control byte could end the packet early) and
// to what one packet to the peer holds.
void name_echo(const KermitState* k, const char* name, char* out, int size) {
  int limit = max_data_for_peer(k);
  if (limit > size - 1) limit = size - 1;
  int n = 0;
  while (n < limit && name[n]) {
    auto c = static_cast<uint8_t>(name[n]);
    if (c < 32 || c > 126) break;
    out[n] = name[n];
    ++n;
  }
  out[n] = '\0';
}

void skip_remaining_names(KermitState* k) {
  if (!k->file_list) return;
  while (*k->file_list) {
    report(k, "Skip");
    ++k->file_list;
  }
}

int init_engine(KermitState* k, KermitResult* r) {
  k->version_text = "1.7";
  r->file_name[0] = '\0';
  r->filedate[0] = '\0';
  r->filesize = 0;
  r->bytes_done = 0;
  r->file_outcome = KO_NONE;
  r->peer_error = 0;
  for (int i = 0; i < RSLOT_COUNT; ++i) {
    rslot_free(k, i);
    // A new transfer does not inherit the repeats counted by the last one.
    k->rslots[i].retries = 0;
  }
  k->s_remain[0] = '\0';
  set_state(k, r, R_AWAIT_INIT);
  k->send_seq = k->recv_seq = 0;
  k->zincnt = 0;
  k->cur_file_name = nullptr;
  k->name_source = nullptr;
  k->retry_limit = 3;
  k->rpt_on = 0;
  k->rpt_count = 0;
  k->direction = 2;
  k->s_first = 1;
  k->send_mark = k->recv_mark = 1;
  k->send_eol = k->recv_eol = 13;
  k->peer_timeout = k->own_timeout = 1;
  k->recv_maxlen = k->send_maxlen = MAX_PACKET;
  k->window_size = 31;
  k->send_ctl_prefix = k->recv_ctl_prefix = '#';
  k->ebq = 'Y';
  k->ebqflg = 0;
  k->rpt_prefix = '~';
  k->capability_bits = 12;
  k->out_packet[0] = '\0';
  k->out_packet_len = 0;
  k->last_ack_len = 0;
  k->announced_size = -1;
  k->announced_kbytes = -1;
  k->file_headers = 0;
  k->refused = 0;
  k->xdata = k->xdata_area;
  k->xdata[0] = '\0';
  k->next_char = -1;
  k->pending_outcome = KO_NONE;
  init_crc_tables(k);
  return KR_OK;
}

// Ends the file being sent: 'Z' (with `data`, may be null) after the packet
// acknowledged; the outcome is recorded when the 'Z' is acknowledged.
int send_eof(KermitState* k, const char* data, int16_t outcome) {
  next_seq(k);
  int result = spkt('Z', k->send_seq, -1, data ? data : "", k);
  if (result != 0) return result;
  k->pending_outcome = outcome;
  k->recv_seq = k->send_seq;
  return 0;
}

// After the acknowledgement of a packet of the file (next_seq done): the next
// data packet, or 'Z' at the end of the file.
int send_next_data(KermitState* k, KermitResult* r, char first) {
  int n = sdata(k, r);
  if (n != 0) {
    // A data packet that could not be sent is not reported here: the
    // acknowledgement it never gets ends the transfer at the caller's limit.
    set_state(k, r, S_AWAIT_DATA_ACK);
    k->recv_seq = k->send_seq;
    return KR_OK;
  }
  // The end of the file, in the sequence number sdata would have used. A
  // file whose reading failed part-way, or that is no longer the size our
  // attributes announced, is not passed off as complete.
  const bool unreadable = input_read_failed(k);
  const bool changed = k->file_binary && k->announced_size >= 0 && r->bytes_done != k->announced_size;
  int result = spkt('Z', k->send_seq, unreadable || changed ? 1 : 0, "D", k);
  k->pending_outcome = unreadable ? KO_UNREADABLE : changed ? KO_CHANGED : KO_COMPLETE;
  k->recv_seq = k->send_seq;
  if (k->closefile) k->closefile(k, first, 1);
  if (result != 0) return result;
  set_state(k, r, S_AWAIT_EOF_ACK);
  return KR_OK;
}

// The next name of the file list, or 'B' when none is left.
int send_next_file(KermitState* k, KermitResult* r) {
  next_seq(k);
  const char* name = k->file_list ? *k->file_list : nullptr;
  if (!name) {
    int result = spkt('B', k->send_seq, 0, nullptr, k);
    if (result != 0) return result;
    set_state(k, r, S_AWAIT_EOT_ACK);
    k->recv_seq = k->send_seq;
    return KR_OK;
  }
  if (strnlen(name, FILE_NAME_SIZE) >= FILE_NAME_SIZE) return KR_FAIL;
  std::strcpy(r->file_name, name);
  ++k->file_list;
  k->cur_file_name = name;
  r->file_outcome = KO_NONE;
  k->pending_outcome = KO_NONE;
  k->announced_size = -1;
  // The name goes whole or not at all: a cut name would have the file stored,
  // and reported, under another name.
  int n = encode_name(name, k, r);
  if (n < 0) {
    send_error("File name too long", k);
    return KR_FAIL;
  }
  int result = k->openfile ? k->openfile(k, name, 1) : -1;
  if (result != 0) return result;
  result = spkt('F', k->send_seq, n, k->xdata, k);
  r->bytes_done = 0;
  if (result != 0) return result;
  set_state(k, r, S_AWAIT_FILE_ACK);
  k->recv_seq = k->send_seq;
  return KR_OK;
}

// A receive that fails: the peer is told why, the file being written goes
// (it is not whole), and the outcome, when given, says what was refused.
int refuse(KermitState* k, KermitResult* r, const char* text, int result, int16_t outcome = KO_NONE) {
  if (outcome != KO_NONE) r->file_outcome = outcome;
  if (k->closefile) k->closefile(k, 'D', 2);
  k->refused = 1;
  send_error(text, k);
  return result < 0 ? result : KR_FAIL;
}

// Opens the received file for the first 'D' or the 'Z' of an empty file.
int open_received(KermitState* k, KermitResult* r) {
  k->out_buf_count = 0;
  k->cur_file_name = r->file_name;
  r->bytes_done = 0;
  int result = k->openfile ? k->openfile(k, r->file_name, 2) : -1;
  if (result != 0) return refuse(k, r, "File refused or can't be opened", result);
  return 0;
}

// Decodes a received data field into the file; a failure ends the receive.
int take_data(KermitState* k, KermitResult* r, const char* data) {
  const int result = decode_data(k, r, 1, data);
  if (result == DECODE_OVERRUN) return refuse(k, r, "Data beyond the file's size", KR_FAIL, KO_OVERRUN);
  if (result != 0) return refuse(k, r, "Error writing data", result);
  return 0;
}

// Sizes of one file that cannot all be true: exact sizes must agree, and a
// size in units of 1024 bytes may be rounded either way.
bool sizes_disagree(int64_t exact, int64_t other, int64_t kbytes) {
  if (exact >= 0 && other >= 0 && exact != other) return true;
  const int64_t known = exact >= 0 ? exact : other;
  return known >= 0 && kbytes >= 0 && kbytes != known / 1024 && kbytes != known / 1024 + 1;
}

// The disposition a received file is closed with: the sender's, or a discard
// when this side cancelled the file (the sender's 'Z' then ends a file cut short).
char received_disposition(const KermitState* k, char first) { return k->cancel ? 'D' : first; }

// A binary file whose bytes differ from the size its attributes announced,
// or from the size expected, lost or gained bytes on the way: it must not
// take the place of a good file of its name. (A text file arrives with the
// sender's line ends, so its size may differ.)
bool wrong_size(const KermitState* k, const KermitResult* r) {
  if (!k->file_binary) return false;
  return (k->announced_size >= 0 && r->bytes_done != k->announced_size) ||
         (k->expected_size >= 0 && r->bytes_done != k->expected_size);
}

// The disposition a received file is closed with at its 'Z', and what became of it.
char closing_disposition(const KermitState* k, const KermitResult* r, char first) {
  return first != 'D' && wrong_size(k, r) ? 'D' : first;
}

int16_t received_outcome(const KermitState* k, const KermitResult* r, char first) {
  if (first == 'D') return KO_DISCARDED;
  return wrong_size(k, r) ? KO_WRONG_SIZE : KO_COMPLETE;
}

int receive_packet(KermitState* k, KermitResult* r, char type, const char* data, int data_len) {
  const char first = received_disposition(k, data_len > 0 ? data[0] : '\0');
  if (k->refused) {
    resend_last(k);
    return KR_FAIL;
  }
  switch (k->state) {
    case R_AWAIT_INIT:
      if (type != 'S') break;
      if (answer_send_init(k, data, data_len) != 0) return KR_FAIL;
      set_state(k, r, R_FILE);
      return KR_OK;

    case R_FILE:
      // One file per transfer: a further header is refused unread, and the
      // file before it, still waiting for the 'B', is discarded with it; the
      // result keeps that file's name.
      if (type == 'F' && k->file_headers > 0) return refuse(k, r, "One file only", KR_FAIL, KO_EXTRA_FILE);
      if (type == 'F') {
        int result = decode_data(k, r, 0, data);
        if (result != 0) return refuse(k, r, "Filename error", result);
        if (k->expected_name && std::strcmp(r->file_name, k->expected_name) != 0)
          return refuse(k, r, "Not the file asked for", KR_FAIL, KO_NAME_REFUSED);
        ++k->file_headers;
        r->filedate[0] = '\0';
        r->filesize = 0;
        r->bytes_done = 0;
        r->file_outcome = KO_NONE;
        k->announced_size = -1;
        k->announced_kbytes = -1;
        char echo[MAX_PACKET];
        name_echo(k, r->file_name, echo, sizeof echo);
        set_state(k, r, R_ATTR);
        return ack(k, k->recv_seq, echo);
      }
      if (type == 'B') {
        // The session ends: only now does a whole file take its place.
        if (put_received_in_place(k) != 0) return refuse(k, r, "Can't put the file in place", KR_FAIL);
        return ack(k, k->recv_seq, nullptr) == 0 ? KR_DONE : KR_FAIL;
      }
      break;

    case R_ATTR:
      if (type == 'A') {
        const int64_t earlier = k->announced_size;
        int file_type = gattr(k, data, r);
        if (sizes_disagree(k->announced_size, earlier, -1) ||
            sizes_disagree(k->announced_size, k->expected_size, k->announced_kbytes))
          return refuse(k, r, "File size refused", KR_FAIL, KO_SIZE_REFUSED);
        if (file_type >= 0) k->file_binary = static_cast<int16_t>(file_type);
        ack(k, k->recv_seq, "Y");
        return KR_OK;
      }
      if (type == 'D') {
        if (int result = open_received(k, r); result != 0) return result;
        if (int result = take_data(k, r, data); result != 0) return result;
        set_state(k, r, R_DATA);
        return ack(k, k->recv_seq, ack_text(k));
      }
      if (type == 'Z') {
        if (int result = open_received(k, r); result != 0) return result;
        if (int result = k->closefile(k, closing_disposition(k, r, first), 2); result != 0)
          return refuse(k, r, "Error closing empty file", result);
        r->file_outcome = received_outcome(k, r, first);
        set_state(k, r, R_FILE);
        return ack(k, k->recv_seq, ack_text(k));
      }
      break;

    case R_DATA:
      if (type == 'D') {
        if (int result = take_data(k, r, data); result != 0) return result;
        return ack(k, k->recv_seq, ack_text(k));
      }
      if (type == 'Z') {
        int result = k->writefile ? k->writefile(k, k->out_buf, k->out_buf_count) : -1;
        r->bytes_done += k->out_buf_count;
        k->out_buf_count = 0;
        if (result != 0) return refuse(k, r, "Error writing data", result);
        if ((result = k->closefile(k, closing_disposition(k, r, first), 2)) != 0)
          return refuse(k, r, "Can't close file", result);
        r->file_outcome = received_outcome(k, r, first);
        set_state(k, r, R_FILE);
        return ack(k, k->recv_seq, ack_text(k));
      }
      break;

    default:
      return KR_FAIL;
  }
  return refuse(k, r, "Unexpected packet type", KR_FAIL);
}

int send_packet(KermitState* k, KermitResult* r, const char* data, int data_len, const char* msg) {
  const char first = data_len > 0 ? data[0] : '\0';
  switch (k->state) {
    case S_AWAIT_INIT_ACK:
      take_send_init_answer(k, data, data_len);
      return send_next_file(k, r);
    case S_AWAIT_EOF_ACK:
      r->file_outcome = k->pending_outcome;
      return send_next_file(k, r);

    case S_AWAIT_FILE_ACK:
      if (k->capability_bits & 8) {
        next_seq(k);
        int result = sattr(k, r);
        if (result != 0) return result;
        set_state(k, r, S_AWAIT_ATTR_ACK);
        k->recv_seq = k->send_seq;
        return KR_OK;
      }
      next_seq(k);
      return send_next_data(k, r, first);

    case S_AWAIT_ATTR_ACK:
      if (first == 'N') {
        // The receiver refuses the file: tell it to discard and go on.
        if (k->closefile) k->closefile(k, 'D', 1);
        report(k, "Skip");
        int result = send_eof(k, "D", KO_REFUSED);
        if (result != 0) return result;
        set_state(k, r, S_AWAIT_EOF_ACK);
        return KR_OK;
      }
      next_seq(k);
      return send_next_data(k, r, first);

    case S_AWAIT_DATA_ACK:
      next_seq(k);
      return send_next_data(k, r, first);

    case S_AWAIT_EOT_ACK:
      return KR_DONE;

    default:
      send_error(msg ? msg : "", k);
      return KR_FAIL;
  }
}

int too_many_retries(KermitState* k) {
  send_error("Too many retries", k);
  return KR_FAIL;
}

// A packet too short or damaged: the receiver NAKs the packet it expects, the
// sender repeats its last one. Either counts as a repetition, so a peer whose
// every packet is damaged (a block check the two sides disagree on) ends the
// transfer at the retry limit instead of holding it.
int answer_bad_packet(KermitState* k, int r_slot, bool sending) {
  if (!sending) return send_nak(k, k->recv_seq, r_slot);
  if (count_retry(k, r_slot)) return too_many_retries(k);
  return resend_last(k);
}

// A read period passed in silence: the packet in flight or its answer was
// lost. Counted on the slot of the silent read, as a damaged packet is. A
// receiver that has answered only the 'S' repeats that answer before its NAK:
// the parameters travel in it alone, and a sender that lost it would take
// the NAK of the next packet for it.
int answer_silence(KermitState* k, int r_slot) {
  if (k->state == K_IDLE) return KR_OK;
  if (r_slot < 0 || r_slot >= RSLOT_COUNT) return KR_NOSLOT;
  if (count_retry(k, r_slot)) return too_many_retries(k);
  if (k->direction == 1) return resend_last(k) == 0 ? KR_OK : KR_FAIL;
  if (k->state == R_FILE && k->recv_seq == 1 && resend_ack(k) != 0) return KR_FAIL;
  return spkt('N', k->recv_seq, 0, nullptr, k) == 0 ? KR_OK : KR_FAIL;
}

int packet_action(KermitState* k, int r_slot, int len, const char* msg, KermitResult* r) {
  if (k->state == K_IDLE) return KR_OK;
  if (r_slot < 0 || r_slot >= RSLOT_COUNT) return KR_NOSLOT;
  const bool sending = k->direction == 1;
  RecvSlot& slot = k->rslots[r_slot];

  switch (verify_packet(k, r_slot, len)) {
    case PacketCheck::too_short:
    case PacketCheck::damaged:
      rslot_free(k, r_slot);
      return answer_bad_packet(k, r_slot, sending);
    case PacketCheck::ignored:
      rslot_free(k, r_slot);
      return KR_OK;
    case PacketCheck::peer_error:
      rslot_free(k, r_slot);
      r->peer_error = 1;
      // The peer broke the transfer off: what it sent is not a whole file.
      if (!sending && k->closefile) k->closefile(k, 'D', 2);
      return KR_FAIL;
    case PacketCheck::ok:
      break;
  }

  if (slot.seq != k->recv_seq) {
    rslot_free(k, r_slot);
    if (slot.seq == previous_seq(k)) {
      if (count_retry(k, r_slot)) return too_many_retries(k);
      // The receiver's acknowledgement went astray: it gets it again. The
      // sender leaves a repeated acknowledgement of the packet before
      // unanswered: another copy of its last packet would draw a second
      // acknowledgement, and every packet from then on would go out twice.
      if (!sending) return resend_ack(k);
      return slot.type == 'Y' ? KR_OK : resend_last(k);
    }
    return sending ? resend_last(k) : send_nak(k, k->recv_seq, r_slot);
  }
  slot.retries = 0;

  const char type = slot.type;
  const char* data = slot.data;
  const int data_len = slot.data_len;
  // The buffer keeps its bytes until the slot is handed out again.
  rslot_free(k, r_slot);

  if (!sending) return receive_packet(k, r, type, data, data_len);

  if (type != 'Y') return resend_last(k);
  const char first = data_len > 0 ? data[0] : '\0';
  if (k->state == S_AWAIT_DATA_ACK && (first == 'X' || first == 'Z' || k->cancel)) {
    // The receiver cancels this file ('X') or the whole group ('Z').
    // The 'Z' tells the receiver to discard what it has, as the protocol
    // asks of a sender whose file was cancelled.
    if (k->closefile) k->closefile(k, first, 1);
    int result = send_eof(k, "D", KO_CANCELLED);
    if (result != 0) return result;
    if (first == 'Z' || k->cancel == 2) {
      report(k, "Group Cancel (Send)");
      skip_remaining_names(k);
    }
    set_state(k, r, S_AWAIT_EOF_ACK);
    k->recv_seq = k->send_seq;
    return KR_OK;
  }
  return send_packet(k, r, data, data_len, msg);
}

}  // namespace

char* rslot_get(KermitState* k, int* slot) {
  for (int i = 0; i < RSLOT_COUNT; ++i) {
    RecvSlot& s = k->rslots[i];
    if (s.length < 1) {
      s.length = -1;
      s.seq = -1;
      s.type = ' ';
      s.data = nullptr;
      s.data_len = 0;
      *slot = i;
      return k->rslot_buf[i];
    }
  }
  *slot = -1;
  return nullptr;
}

void rslot_free(KermitState* k, int slot) {
  if (slot >= 0 && slot < RSLOT_COUNT) k->rslots[slot].length = 0;
}

int sdata(KermitState* k, KermitResult* r) {
  if (k->cancel) return 0;
  int n = getpkt(k, r);
  if (n < 1) return 0;
  if (spkt('D', k->send_seq, n, k->xdata, k) != 0) return -1;
  return n;
}

int kermit_engine(int action, KermitState* k, int r_slot, int len, const char* msg, KermitResult* r) {
  switch (static_cast<int16_t>(action)) {
    case KA_INIT:
      return init_engine(k, r);
    case KA_SEND:
      if (rpar(k, 'S') != 0) return KR_FAIL;
      set_state(k, r, S_AWAIT_INIT_ACK);
      k->direction = 1;
      return KR_OK;
    case KA_STATUS:
      return KR_STATUS;
    case KA_QUIT:
      return KR_DONE;
    case KA_ERROR:
      send_error(msg ? msg : "", k);
      // A received file is closed as a discard: it never takes the place of
      // a good file after an error.
      if (k->closefile) {
        if (k->direction == 1)
          k->closefile(k, 0, 1);
        else
          k->closefile(k, 'D', 2);
      }
      return KR_DONE;
    case KA_PACKET:
      return packet_action(k, static_cast<int16_t>(r_slot), len, msg, r);
    case KA_TIMEOUT:
      return answer_silence(k, r_slot);
    default:
      return KR_FAIL;
  }
}

}  // namespace tessaril::kermit

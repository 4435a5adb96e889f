// The send-init parameter exchange, and the attribute packet parser gattr.
//
// Input: byte 0 switches (which side we are, whether we asked for 8th-bit
// prefixing, the check type of the attribute round trip, text or binary),
// byte 1 the length of the peer's send-init field, then that field (its 'S'
// when we receive, its acknowledgement of our 'S' when we send), then four
// bytes of a file size, the MAXL of the attribute round trip and an
// attribute field for gattr.
//
// Checked: what we agreed on is unambiguous (prefixes the protocol allows,
// no two alike, block check 1-3, MAXL 10-94, a control character as end of
// line); every parameter in force that is not the protocol's default was
// carried by both sides' fields, so the peer knows it too; our answer is one
// well-formed packet within the peer's MAXL, with no control byte inside;
// every byte value, alone and in runs, crosses in both directions unchanged
// with the agreed prefixes. gattr never reads past the field's terminator and
// reads back the size, date and type that sattr wrote.
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "kermit/kermit_files.h"
#include "kermit/kermit_packet.h"
#include "kermit_coding.h"

using namespace tessaril;
using namespace tessaril::kermit;

namespace {

std::vector<std::string> sent;  // every packet handed to the line

int capture(KermitState*, const char* bytes, int count) {
  sent.emplace_back(bytes, static_cast<size_t>(count));
  return 0;
}

bool valid_prefix(char c) {
  const auto u = static_cast<uint8_t>(c);
  return (u >= 33 && u <= 62) || (u >= 96 && u <= 126);
}

// The data field of a packet sent with block check `chk`, after checking it
// is one well-formed packet within the peer's MAXL (and its check, for
// check 1).
std::string field_of(const KermitState& k, const std::string& packet, int chk = 1) {
  FUZZ_CHECK(packet.size() >= static_cast<size_t>(chk) + 5, "a packet has MARK, LEN, SEQ, TYPE, check and EOL");
  const int len = unchar(packet[1]);
  FUZZ_CHECK(static_cast<size_t>(len) + 3 == packet.size(), "LEN counts the packet");
  FUZZ_CHECK(len <= k.send_maxlen, "the packet fits the peer's MAXL");
  FUZZ_CHECK(packet.front() == k.send_mark && packet.back() == k.send_eol, "MARK and EOL");
  FUZZ_CHECK(fuzz::printable(packet.data() + 1, packet.size() - 2), "no control byte inside the packet");
  if (chk == 1) FUZZ_CHECK(tochar(check_type1(packet.data() + 1, len)) == packet[packet.size() - 2], "check type 1");
  return packet.substr(4, static_cast<size_t>(len - 2 - chk));
}

// The send-init and its answer travel with check 1, or 3 once a peer forced CRCs.
int init_check(const KermitState& k) { return k.force_crc ? 3 : 1; }

// The field with index i, or 0 when the field is not there.
char field(const std::string& f, size_t i) { return i < f.size() ? f[i] : '\0'; }

void check_agreement(const KermitState& k, const std::string& ours, const std::string& theirs) {
  FUZZ_CHECK(valid_prefix(k.recv_ctl_prefix) && valid_prefix(k.send_ctl_prefix), "control prefixes");
  if (k.ebqflg) {
    FUZZ_CHECK(valid_prefix(k.ebq) && k.ebq != k.recv_ctl_prefix && k.ebq != k.send_ctl_prefix,
               "an 8th-bit prefix differs from the control prefixes");
    FUZZ_CHECK(!k.rpt_on || k.ebq != k.rpt_prefix, "and from the repeat prefix");
    // One side names the prefix, the other names the same or says 'Y'.
    const char o = field(ours, 6);
    const char t = field(theirs, 6);
    FUZZ_CHECK((o == k.ebq && (t == k.ebq || t == 'Y')) || (o == 'Y' && t == k.ebq), "both sides agreed on QBIN");
  }
  if (k.rpt_on) {
    FUZZ_CHECK(valid_prefix(k.rpt_prefix) && k.rpt_prefix != k.recv_ctl_prefix && k.rpt_prefix != k.send_ctl_prefix,
               "a repeat prefix differs from the control prefixes");
    FUZZ_CHECK(field(ours, 8) == k.rpt_prefix && field(theirs, 8) == k.rpt_prefix,
               "both sides named the repeat prefix");
  }
  const int chk = check_length(&k);
  FUZZ_CHECK(k.bct >= 1 && k.bct <= 3, "a block check type");
  if (chk != 1 && !k.force_crc) {
    FUZZ_CHECK(field(ours, 7) == '0' + chk && field(theirs, 7) == '0' + chk, "both sides named the block check");
  }
  if (k.capability_bits & 8) {
    FUZZ_CHECK((unchar(field(ours, 9)) & 8) && (unchar(field(theirs, 9)) & 8), "both sides take attribute packets");
  }
  FUZZ_CHECK(k.send_maxlen >= 10 && k.send_maxlen <= MAX_PACKET, "MAXL 10-94");
  FUZZ_CHECK(k.send_eol >= 1 && k.send_eol <= 31 && k.send_eol != k.send_mark, "EOL a control character, not MARK");
  FUZZ_CHECK(k.window_size >= 1 && k.window_size <= 31, "window 1-31");
}

// Every byte value alone, then runs of two, three and 94 of a few.
std::string sample() {
  std::string s;
  for (int b = 0; b < 256; ++b) s.push_back(static_cast<char>(b));
  for (char c : {'#', '&', '~', '\r', '\x81', '\xA3', '\xFE'})
    for (size_t run : {2, 3, 94, 95}) s.append(run, c);
  return s;
}

// Data crosses both ways: the peer sends with its control prefix (the one
// we decode with), we send with ours; the other prefixes are shared.
void check_crossing(const KermitState& k) {
  static const std::string bytes = sample();
  fuzz::Prefixes theirs{k.recv_ctl_prefix, k.ebqflg != 0, k.ebq, k.rpt_on != 0, k.rpt_prefix};
  fuzz::Prefixes ours = theirs;
  ours.ctl = k.send_ctl_prefix;
  const int chk = check_length(&k);
  FUZZ_CHECK(fuzz::decode_fields(theirs, fuzz::encode_fields(theirs, MAX_PACKET, chk, bytes), 64) == bytes,
             "the peer's data reads back");
  FUZZ_CHECK(fuzz::decode_fields(ours, fuzz::encode_fields(ours, k.send_maxlen, chk, bytes), 64) == bytes,
             "our data reads back");
}

// Hands the engine the peer's packet (type, sequence 0, data, block check 1)
// as the line would.
int deliver(KermitState* k, KermitResult* r, char type, const std::string& data) {
  auto q = std::make_unique<KermitState>();
  q->tx_data = capture;
  spkt(type, 0, static_cast<int>(data.size()), data.data(), q.get());
  const std::string body = sent.back().substr(1, sent.back().size() - 2);
  sent.pop_back();
  int slot = -1;
  char* buf = rslot_get(k, &slot);
  FUZZ_CHECK(buf != nullptr, "a free slot");
  std::memcpy(buf, body.data(), body.size());
  buf[body.size()] = '\0';
  return kermit_engine(KA_PACKET, k, slot, static_cast<int>(body.size()), nullptr, r);
}

void check_send_init(uint8_t flags, const std::string& peer) {
  static const char* const no_files[] = {nullptr};
  auto k = std::make_unique<KermitState>();
  auto r = std::make_unique<KermitResult>();
  init_crc_tables(k.get());
  k->tx_data = capture;
  k->file_list = no_files;
  sent.clear();
  FUZZ_CHECK(kermit_engine(KA_INIT, k.get(), 0, 0, "", r.get()) == KR_OK, "the engine starts");
  k->line_parity = (flags >> 1) & 1;  // we ask for 8th-bit prefixing
  std::string ours;
  if (flags & 1) {
    // We send: our 'S', then the peer's acknowledgement of it.
    FUZZ_CHECK(kermit_engine(KA_SEND, k.get(), 0, 0, "", r.get()) == KR_OK, "the send-init goes out");
    ours = field_of(*k, sent.at(0), init_check(*k));
    FUZZ_CHECK(deliver(k.get(), r.get(), 'Y', peer) != KR_FAIL, "the acknowledgement is taken");
  } else {
    // We receive: the peer's 'S', then our answer.
    FUZZ_CHECK(deliver(k.get(), r.get(), 'S', peer) == KR_OK, "the answer goes out");
    ours = field_of(*k, sent.at(0), init_check(*k));
  }
  check_agreement(*k, ours, peer);
  check_crossing(*k);
}

int64_t file_size_told = 0;
std::string file_date_told;

int64_t told_file(KermitState*, const char*, char* date, int size, int, int) {
  std::strncpy(date, file_date_told.c_str(), static_cast<size_t>(size) - 1);
  date[size - 1] = '\0';
  return file_size_told;
}

void check_attributes(uint8_t flags, fuzz::Input& in) {
  uint32_t size = 0;
  for (int i = 0; i < 4; ++i) size = size << 8 | in.take();
  const int maxl = 10 + in.take() % 85;
  const std::string text = in.rest();

  // Whatever the field holds, gattr stays inside it and keeps its fields terminated.
  auto field = fuzz::exact_copy(text, true);
  auto k = std::make_unique<KermitState>();
  auto r = std::make_unique<KermitResult>();
  const int type = gattr(k.get(), field.get(), r.get());
  FUZZ_CHECK(type >= -1 && type <= 1, "a file type");
  FUZZ_CHECK(strnlen(r->filedate, FILEDATE_SIZE) < FILEDATE_SIZE && r->filesize >= 0, "date and size");

  // What sattr writes, gattr reads back: the type always, the size and the
  // date whenever they went out (always with a MAXL of 94).
  file_size_told = static_cast<int64_t>(size & 0x7FFFFFFF);
  file_date_told.clear();
  for (size_t i = 0; i < 17 && i < text.size(); ++i)
    file_date_told.push_back(static_cast<char>(' ' + 1 + static_cast<uint8_t>(text[i]) % 94));
  init_crc_tables(k.get());
  k->tx_data = capture;
  k->query_file = told_file;
  k->send_maxlen = maxl;
  k->bct = static_cast<int16_t>(1 + (flags >> 2) % 3);
  k->file_binary = (flags >> 4) & 1;
  auto told = std::make_unique<KermitResult>();
  sent.clear();
  FUZZ_CHECK(sattr(k.get(), told.get()) == 0, "the attributes go out");
  const std::string a = field_of(*k, sent.at(0), check_length(k.get()));
  auto back = std::make_unique<KermitResult>();
  FUZZ_CHECK(gattr(k.get(), a.c_str(), back.get()) == k->file_binary, "the file type reads back");
  FUZZ_CHECK(back->filesize == file_size_told || (maxl < MAX_PACKET && back->filesize == 0), "the size reads back");
  FUZZ_CHECK(back->filedate == file_date_told || (maxl < MAX_PACKET && back->filedate[0] == '\0'),
             "the date reads back");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in{data, size};
  const uint8_t flags = in.take();
  const size_t peer_len = in.take() % (MAX_PACKET - 4);
  const std::string peer = in.rest(peer_len);
  in.data += peer.size();
  in.size -= peer.size();
  check_send_init(flags, peer);
  check_attributes(flags, in);
  return 0;
}

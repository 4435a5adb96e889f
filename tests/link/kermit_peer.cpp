#include "link/kermit_peer.h"

#include "kermit/kermit_line.h"
#include "kermit/kermit_packet.h"
#include "platform/clock.h"

namespace tessaril::test {

using namespace tessaril::kermit;

// The callbacks run on the peer's own thread and find their peer here.
thread_local KermitPeer* active_peer = nullptr;

struct PeerCallbacks {
  static constexpr int STOPPED = -3;
  static int readpkt(KermitState* k, char* buf, int) {
    PacketReader reader;
    for (;;) {
      std::vector<uint8_t> byte = active_peer->line_.device_read(1, 50);
      if (byte.empty()) return active_peer->stop_ ? STOPPED : -2;
      int result = feed_packet_byte(k, &reader, byte[0], buf);
      if (result != READ_GO_ON) return result;
    }
  }
  static int tx_data(KermitState*, const char* bytes, int count) {
    if (++active_peer->written == active_peer->script_.drop) return 0;
    try {
      active_peer->line_.device_write(std::vector<uint8_t>(bytes, bytes + count));
      return 0;
    } catch (...) {
      return -1;
    }
  }
  static int openfile(KermitState* k, const char* name, int mode) {
    if (mode == 2) active_peer->received_name = name;
    active_peer->read_at_ = 0;
    k->s_first = 1;
    return 0;
  }
  static int64_t query_file(KermitState*, const char*, char* date, int size, int, int) {
    if (!date || size < 18) return -1;
    date[0] = '\0';
    const PeerScript& s = active_peer->script_;
    return s.size_attribute >= 0 ? s.size_attribute : static_cast<int64_t>(s.data.size());
  }
  static int readfile(KermitState*) {
    const std::vector<uint8_t>& data = active_peer->script_.data;
    return active_peer->read_at_ < data.size() ? data[active_peer->read_at_++] : -1;
  }
  static int writefile(KermitState*, const char* bytes, int count) {
    active_peer->received.insert(active_peer->received.end(), bytes, bytes + count);
    return 0;
  }
  static int closefile(KermitState*, int, int) { return 0; }
};

KermitPeer::KermitPeer(LinePair& line, PeerScript script) : line_(line), script_(std::move(script)) {
  prepare_kermit(&k_, &r_, &b_, "", "", platform::INVALID_SERIAL);
  list_[0] = script_.name.c_str();
  k_.file_list = list_;
  k_.expected_name = nullptr;  // as a device, it takes the file under whatever name the host sends
  k_.readpkt = PeerCallbacks::readpkt;
  k_.tx_data = PeerCallbacks::tx_data;
  k_.openfile = PeerCallbacks::openfile;
  k_.query_file = PeerCallbacks::query_file;
  k_.readfile = PeerCallbacks::readfile;
  k_.writefile = PeerCallbacks::writefile;
  k_.closefile = PeerCallbacks::closefile;
  // A device starting a transfer drops what an earlier one left on its line
  // (the host's cancel bytes after a receive it gave up).
  while (!line_.device_read(256, 10).empty()) {
  }
  thread_ = std::thread([this] { run(); });
}

KermitPeer::~KermitPeer() { join(); }

void KermitPeer::join() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

void KermitPeer::run() {
  active_peer = this;
  const PeerScript& s = script_;
  bool mute = s.mute_after == 0;
  bool refused = false, finished = false;
  int silent_ms = 0, resends = 0;
  if (s.sends && !mute) result = kermit_engine(KA_SEND, &k_, 0, 0, "", &r_);
  for (;;) {
    int slot = -1;
    char* buf = rslot_get(&k_, &slot);
    const int n = k_.readpkt(&k_, buf, MAX_PACKET);
    if (n < 0) {
      rslot_free(&k_, slot);
      if (n != -2) {
        saw_cancel = n == -1;
        return;
      }
      if (!mute && s.resend_ms > 0 && (silent_ms += 50) >= s.resend_ms && resends < s.resend_max) {
        resend_last(&k_);
        ++resends;
        silent_ms = 0;
      }
      continue;
    }
    silent_ms = 0;
    const int count = ++packets;
    if (count == s.lose) {
      rslot_free(&k_, slot);
      continue;
    }
    if (s.on_packet) s.on_packet(count);
    mute = mute || (s.mute_after >= 0 && count > s.mute_after);
    if (!mute && count == s.error_after) {
      send_error("refused", &k_);
      error_sent = true;
      mute = true;
    }
    if (mute) {
      rslot_free(&k_, slot);
      continue;
    }
    platform::sleep_ms(s.delay_ms);
    if (s.garble_after >= 0 && count > s.garble_after) {
      rslot_free(&k_, slot);
      std::vector<uint8_t> copy(k_.out_packet, k_.out_packet + k_.out_packet_len);
      copy[copy.size() - 2] ^= 1;  // the block check, before the end of line
      line_.device_write(copy);
      continue;
    }
    if (!refused && s.refuse_type != 0 && n > 2 && buf[2] == s.refuse_type) {
      refused = true;
      rslot_free(&k_, slot);
      ack(&k_, k_.recv_seq, s.refuse_text);
      continue;
    }
    const int step = kermit_engine(KA_PACKET, &k_, slot, n, "", &r_);
    if (finished) continue;  // only a repeated 'B' gets an answer now
    result = step;
    if (result == KR_FAIL || (result == KR_DONE && (s.sends || !s.stays_after_b))) return;
    finished = result == KR_DONE;
  }
}

}  // namespace tessaril::test

#include "kermit/kermit_encode.h"

#include <algorithm>
#include <cstring>

#include "kermit/kermit_packet.h"

namespace tessaril::kermit {

namespace {

// The next source byte (0..255), or -1 at the end of the source.
int read_source_byte(KermitState* k, KermitResult* r) {
  int b;
  if (k->name_source) {
    b = static_cast<uint8_t>(*k->name_source);
    if (b == 0) return -1;
    ++k->name_source;
  } else {
    --k->zincnt;
    if (k->zincnt >= 0 && k->zinptr) {
      b = static_cast<uint8_t>(*k->zinptr++);
    } else {
      k->zincnt = 0;
      b = k->readfile ? k->readfile(k) : -1;
      if (b < 0) return -1;
    }
  }
  if (r) ++r->bytes_done;
  return b;
}

void put(KermitState* k, char c) {
  // The area has room for the capacity plus one overflowing encoding; the
  // bound below only guards against a record whose fields were damaged.
  if (k->fill_len < XDATA_SIZE - 1) k->xdata[k->fill_len++] = c;
  k->xdata[k->fill_len] = '\0';
}

void write_byte(int a, KermitState* k) {
  int c7 = a & 127;
  if (k->ebqflg && (a & 128)) {
    put(k, k->ebq);
    a = c7;
  }
  if (c7 < 32 || c7 == 127) {
    put(k, k->send_ctl_prefix);
    put(k, ctl(static_cast<char>(a)));
  } else if (c7 == static_cast<uint8_t>(k->send_ctl_prefix) || (k->ebqflg && c7 == static_cast<uint8_t>(k->ebq)) ||
             (k->rpt_on && c7 == static_cast<uint8_t>(k->rpt_prefix))) {
    put(k, k->send_ctl_prefix);
    put(k, static_cast<char>(a));
  } else {
    put(k, static_cast<char>(a));
  }
}

// Stores one decoded byte. Mode 0 into the name, mode 1 into out_buf.
int store_byte(KermitState* k, KermitResult* r, int mode, char ch, int* name_len, int64_t limit) {
  if (mode == 0) {
    if (*name_len >= FILE_NAME_SIZE - 1 || ch == '\0') return -1;
    r->file_name[(*name_len)++] = ch;
    return 0;
  }
  if (limit >= 0 && r->bytes_done + k->out_buf_count >= limit) return DECODE_OVERRUN;
  // After a failed write the buffer is still full: nothing more may go in.
  if (!k->out_buf || k->out_buf_count >= k->out_buf_size) return -1;
  k->out_buf[k->out_buf_count++] = ch;
  if (k->out_buf_count == k->out_buf_size) {
    int result = k->writefile ? k->writefile(k, k->out_buf, k->out_buf_size) : -1;
    r->bytes_done += k->out_buf_size;
    if (result != 0) return result < 0 ? result : -1;
    k->out_buf_count = 0;
  }
  return 0;
}

}  // namespace

int field_capacity(const KermitState* k) { return max_data_for_peer(k); }

int64_t receive_limit(const KermitState* k) {
  int64_t limit = k->announced_size >= 0 ? k->announced_size : k->expected_size;
  // A size in units of 1024 bytes may be rounded either way.
  if (limit < 0 && k->announced_kbytes >= 0 && k->announced_kbytes < INT64_MAX / 1024 - 1)
    limit = (k->announced_kbytes + 1) * 1024;
  if (limit < 0) return -1;
  return k->file_binary || limit > INT64_MAX / 2 ? limit : 2 * limit;
}

void encode_char(int a, int next, KermitState* k) {
  a &= 0xFF;
  if (k->rpt_on) {
    if (a == next) {
      ++k->rpt_count;
      if (k->rpt_count < 94) return;
      put(k, k->rpt_prefix);
      put(k, tochar(94));
      k->rpt_count = 0;
    } else if (k->rpt_count == 1) {
      // A run of two travels as the byte twice: shorter than prefix and count.
      // Two copies of an 8th-bit control byte (six characters) do not fit
      // the smallest field, though: there the run takes a count of 2.
      k->rpt_count = 0;
      const int start = k->fill_len;
      encode_char(a, -1, k);
      if (2 * (k->fill_len - start) > field_capacity(k)) {
        k->fill_len = start;
        put(k, k->rpt_prefix);
        put(k, tochar(2));
      } else if (k->fill_len <= field_capacity(k)) {
        k->fill_mark = k->fill_len;  // the field may end between the copies
      }
    } else if (k->rpt_count >= 2) {
      put(k, k->rpt_prefix);
      put(k, tochar(k->rpt_count + 1));
      k->rpt_count = 0;
    }
  }
  write_byte(a, k);
}

int getpkt(KermitState* k, KermitResult* r) {
  const int capacity = field_capacity(k);
  if (k->s_first == 1) {
    k->s_first = 0;
    k->s_remain[0] = '\0';
    k->rpt_count = 0;
    int b = read_source_byte(k, r);
    if (b < 0) {
      k->s_first = -1;
      k->fill_len = 0;
      k->xdata[0] = '\0';
      return 0;
    }
    k->next_char = b;
  } else if (k->s_first == -1 && k->s_remain[0] == '\0') {
    k->fill_len = 0;
    k->xdata[0] = '\0';
    return 0;
  }

  const int carried = static_cast<int>(strnlen(k->s_remain, S_REMAIN_SIZE - 1));
  std::memcpy(k->xdata, k->s_remain, static_cast<size_t>(carried));
  k->fill_len = carried;
  k->xdata[carried] = '\0';
  k->s_remain[0] = '\0';
  if (k->s_first == -1) return k->fill_len;

  for (;;) {
    int b = read_source_byte(k, r);
    if (b < 0) k->s_first = -1;
    k->fill_mark = k->fill_len;
    encode_char(k->next_char, b, k);
    k->next_char = b;
    if (k->fill_len == capacity) return k->fill_len;
    if (k->fill_len > capacity) {
      int over = std::min(k->fill_len - k->fill_mark, S_REMAIN_SIZE - 1);
      std::memcpy(k->s_remain, k->xdata + k->fill_mark, static_cast<size_t>(over));
      k->s_remain[over] = '\0';
      k->fill_len = k->fill_mark;
      k->xdata[k->fill_len] = '\0';
      return k->fill_len;
    }
    if (k->s_first == -1) return k->fill_len;
  }
}

int encode_name(const char* text, KermitState* k, KermitResult* r) {
  k->name_source = text ? text : "";
  k->s_first = 1;
  int n = getpkt(k, r);
  // Whole: the text is exhausted and nothing was carried over.
  if (k->s_first != -1 || k->s_remain[0] != '\0') n = -1;
  k->s_remain[0] = '\0';
  k->s_first = 1;
  k->name_source = nullptr;
  k->rpt_count = 0;  // a run cut off at the field's end must not spill into the file
  return n;
}

int decode_data(KermitState* k, KermitResult* r, int mode, const char* data) {
  int name_len = 0;
  const int64_t limit = mode == 1 ? receive_limit(k) : -1;
  const auto* p = reinterpret_cast<const uint8_t*>(data ? data : "");
  while (*p) {
    int ch = *p++;
    int n = 1;
    if (k->rpt_on && ch == static_cast<uint8_t>(k->rpt_prefix)) {
      if (!*p) break;
      n = static_cast<uint8_t>(*p++ - 32);
      if (!*p) break;
      ch = *p++;
    }
    bool high = false;
    // Only a prefix in force is one: with none agreed the QBIN character
    // ('N', say) is an ordinary byte of the data.
    if (k->ebqflg && ch == static_cast<uint8_t>(k->ebq)) {
      if (!*p) break;
      ch = *p++ & 127;
      high = true;
    }
    if (ch == static_cast<uint8_t>(k->recv_ctl_prefix)) {
      if (!*p) break;
      ch = *p++;
      int c7 = ch & 127;
      if ((c7 >= 64 && c7 <= 95) || c7 == 63) ch ^= 64;
    }
    if (high) ch |= 128;
    if (n == 0) n = 1;
    for (int i = 0; i < n; ++i) {
      int result = store_byte(k, r, mode, static_cast<char>(ch), &name_len, limit);
      if (result != 0) return result;
    }
  }
  if (mode == 0) r->file_name[name_len] = '\0';
  return 0;
}

}  // namespace tessaril::kermit

// Attribute packets ('A'): a list of tag, tochar(length), value, unencoded.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "kermit/kermit_encode.h"
#include "kermit/kermit_files.h"
#include "kermit/kermit_packet.h"

namespace tessaril::kermit {

namespace {

constexpr int ATTR_FIELD_LIMIT = 45;  // size and date are added only while the field stays below this
constexpr int SIZE_TEXT_MAX = 31;

// A decimal value after leading blanks, up to the first non-digit; -1 when
// there is no digit or the value does not fit 63 bits.
int64_t parse_size(const char* value, int len) {
  len = std::min(len, SIZE_TEXT_MAX);
  int i = 0;
  while (i < len && value[i] == ' ') ++i;
  if (i == len || value[i] < '0' || value[i] > '9') return -1;
  int64_t v = 0;
  for (; i < len && value[i] >= '0' && value[i] <= '9'; ++i) {
    const int digit = value[i] - '0';
    if (v > (INT64_MAX - digit) / 10) return -1;
    v = v * 10 + digit;
  }
  return v;
}

}  // namespace

int gattr(KermitState* k, const char* data, KermitResult* r) {
  int type = -1;
  int64_t bytes = -1;
  int64_t kbytes = -1;
  const char* p = data ? data : "";
  while (*p) {
    char tag = *p++;
    if (!*p) break;
    int want = unchar(*p++);
    // The value never reaches past the field's terminator.
    int len = static_cast<int>(strnlen(p, static_cast<size_t>(want)));
    const char* value = p;
    p += len;
    switch (tag) {
      case '1':
        bytes = parse_size(value, len);
        break;
      case '!':
        kbytes = parse_size(value, len);
        break;
      case '"':
        if (len > 0 && value[0] == 'A') type = 0;
        if (len > 0 && value[0] == 'B') type = 1;
        break;
      case '#': {
        int n = std::min(len, FILEDATE_SIZE - 1);
        std::memcpy(r->filedate, value, static_cast<size_t>(n));
        r->filedate[n] = '\0';
        break;
      }
      default:
        break;
    }
  }
  if (bytes >= 0) {
    r->filesize = bytes;
    if (k) k->announced_size = bytes;
  } else if (kbytes >= 0 && kbytes <= INT64_MAX / 1024) {
    r->filesize = kbytes * 1024;
  }
  if (k && kbytes >= 0) k->announced_kbytes = kbytes;
  return type;
}

int sattr(KermitState* k, KermitResult* r) {
  char date[20] = {};
  int64_t size = k->query_file ? k->query_file(k, k->cur_file_name, date, sizeof date, k->file_binary, k->file_mode_hint)
                               : -1;
  k->announced_size = -1;
  if (size < 0) date[0] = '\0';
  // Size and date are left out when they would not fit the peer's packets,
  // and so are the text encoding and the end mark in the smallest packets.
  const int limit = std::min(ATTR_FIELD_LIMIT, field_capacity(k) - 2);
  const int room = max_data_for_peer(k);

  char* x = k->xdata;
  int n = 0;
  x[n++] = '"';
  if (k->file_binary) {
    x[n++] = tochar(2);
    x[n++] = 'B';
    x[n++] = '8';
  } else {
    x[n++] = tochar(3);
    x[n++] = 'A';
    x[n++] = 'M';
    x[n++] = 'J';
    if (n + 3 <= room) {
      x[n++] = '*';
      x[n++] = tochar(1);
      x[n++] = 'A';
    }
  }
  if (size >= 0) {
    r->filesize = size;
    char digits[24];
    int d = std::snprintf(digits, sizeof digits, "%lld", static_cast<long long>(size));
    if (d + n + 2 < limit) {
      x[n++] = '1';
      x[n++] = tochar(d);
      std::memcpy(x + n, digits, static_cast<size_t>(d));
      n += d;
      k->announced_size = size;  // what the end of the file is held against
    }
  }
  int date_len = static_cast<int>(strnlen(date, sizeof date - 1));
  if (date_len > 0 && date_len + n + 2 < limit) {
    x[n++] = '#';
    x[n++] = tochar(date_len);
    std::memcpy(x + n, date, static_cast<size_t>(date_len));
    n += date_len;
    int keep = std::min(date_len, FILEDATE_SIZE - 2);
    std::memcpy(r->filedate, date, static_cast<size_t>(keep));
    r->filedate[keep] = '\0';
  }
  if (n + 2 <= room) {
    x[n++] = '@';
    x[n++] = ' ';
  }
  x[n] = '\0';
  return spkt('A', k->send_seq, n, x, k);
}

}  // namespace tessaril::kermit

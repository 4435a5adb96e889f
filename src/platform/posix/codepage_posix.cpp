#include <iconv.h>

#include <cerrno>

#include "platform/codepage.h"

namespace tessaril::platform {

namespace {

// Runs iconv over the whole input. A byte that cannot be converted is handed
// to `on_bad`, which appends its replacement; conversion then goes on after it.
template <typename OnBad>
std::string convert(const char* to, const char* from, std::string_view in, OnBad on_bad) {
  std::string out;
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(in);
  out.reserve(in.size() * 2);
  char* src = const_cast<char*>(in.data());
  size_t src_left = in.size();
  char chunk[256];
  while (src_left > 0) {
    char* dst = chunk;
    size_t dst_left = sizeof chunk;
    size_t r = iconv(cd, &src, &src_left, &dst, &dst_left);
    out.append(chunk, static_cast<size_t>(dst - chunk));
    if (r == static_cast<size_t>(-1)) {
      if (errno == E2BIG) continue;
      // EILSEQ or EINVAL: one undecodable byte (or a cut sequence at the end)
      on_bad(out, static_cast<unsigned char>(*src));
      ++src;
      --src_left;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  char* dst = chunk;
  size_t dst_left = sizeof chunk;
  iconv(cd, nullptr, nullptr, &dst, &dst_left);
  out.append(chunk, static_cast<size_t>(dst - chunk));
  iconv_close(cd);
  return out;
}

}  // namespace

std::string utf8_to_cp932(std::string_view utf8) {
  bool bad = false;
  std::string whole = convert("CP932", "UTF-8", utf8, [&](std::string&, unsigned char) { bad = true; });
  if (!bad) return whole;
  // Some character has no CP932 form: go character by character so that each
  // such character becomes one '?' and a stray byte passes through as it is.
  std::string out;
  size_t i = 0;
  while (i < utf8.size()) {
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    size_t len = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 1;
    if (i + len > utf8.size()) len = 1;
    bool char_bad = false;
    std::string one = convert("CP932", "UTF-8", utf8.substr(i, len), [&](std::string&, unsigned char) { char_bad = true; });
    if (!char_bad) out += one;
    else if (len == 1) out += static_cast<char>(c);
    else out += '?';
    i += len;
  }
  return out;
}

std::string cp932_to_utf8(std::string_view cp932) {
  return convert("UTF-8", "CP932", cp932, [](std::string& out, unsigned char) { out += "\xEF\xBF\xBD"; });
}

}  // namespace tessaril::platform

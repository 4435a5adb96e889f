// CP932 through the Windows conversion functions, by way of UTF-16.
#include <windows.h>

#include "platform/codepage.h"

namespace tessaril::platform {

namespace {

constexpr UINT CP_SHIFT_JIS = 932;

std::wstring to_wide(UINT code_page, DWORD flags, std::string_view in) {
  if (in.empty()) return {};
  int n = MultiByteToWideChar(code_page, flags, in.data(), static_cast<int>(in.size()), nullptr, 0);
  if (n <= 0) return {};
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(code_page, flags, in.data(), static_cast<int>(in.size()), out.data(), n);
  return out;
}

std::string from_wide(UINT code_page, std::wstring_view in, BOOL* used_default) {
  if (in.empty()) return {};
  // UTF-8 takes no default character and no flags. For CP932 the best-fit
  // table is off: it would turn é into e, a different name, where Linux
  // gives '?'.
  BOOL* flag = code_page == CP_UTF8 ? nullptr : used_default;
  const DWORD flags = code_page == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
  int n = WideCharToMultiByte(code_page, flags, in.data(), static_cast<int>(in.size()), nullptr, 0, nullptr, flag);
  if (n <= 0) return {};
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(code_page, flags, in.data(), static_cast<int>(in.size()), out.data(), n, nullptr, flag);
  return out;
}

// The length of the UTF-8 sequence that starts with c, 1 for a stray byte.
size_t utf8_length(unsigned char c) {
  return c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 1;
}

}  // namespace

std::string utf8_to_cp932(std::string_view utf8) {
  BOOL used_default = FALSE;
  std::wstring whole = to_wide(CP_UTF8, MB_ERR_INVALID_CHARS, utf8);
  if (!whole.empty() || utf8.empty()) {
    std::string out = from_wide(CP_SHIFT_JIS, whole, &used_default);
    if (!used_default) return out;
  }
  // A stray byte or a character without a CP932 form: go character by
  // character, so that each such character becomes one '?' and a stray byte
  // passes through as it is, as the Linux conversion does.
  std::string out;
  size_t i = 0;
  while (i < utf8.size()) {
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    size_t len = utf8_length(c);
    if (i + len > utf8.size()) len = 1;
    std::wstring wide = to_wide(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.substr(i, len));
    BOOL bad = FALSE;
    std::string one = wide.empty() ? std::string() : from_wide(CP_SHIFT_JIS, wide, &bad);
    if (!wide.empty() && !bad) out += one;
    else if (len == 1) out += static_cast<char>(c);
    else out += '?';
    i += len;
  }
  return out;
}

std::string cp932_to_utf8(std::string_view cp932) {
  std::wstring whole = to_wide(CP_SHIFT_JIS, MB_ERR_INVALID_CHARS, cp932);
  if (!whole.empty() || cp932.empty()) return from_wide(CP_UTF8, whole, nullptr);
  // Some byte does not decode (a lead byte without its trail): character by
  // character, each such byte becoming U+FFFD as on Linux, where the Windows
  // conversion would give the same "・" as a real one.
  std::wstring out;
  size_t i = 0;
  while (i < cp932.size()) {
    size_t len = IsDBCSLeadByteEx(CP_SHIFT_JIS, static_cast<BYTE>(cp932[i])) && i + 1 < cp932.size() ? 2 : 1;
    std::wstring one = to_wide(CP_SHIFT_JIS, MB_ERR_INVALID_CHARS, cp932.substr(i, len));
    if (one.empty()) {
      out += L'\xFFFD';
      len = 1;
    } else {
      out += one;
    }
    i += len;
  }
  return from_wide(CP_UTF8, out, nullptr);
}

}  // namespace tessaril::platform

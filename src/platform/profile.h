// Profile (INI file) look-ups with the behaviour of the Windows profile
// functions GetPrivateProfileIntA and GetPrivateProfileStringA.
//
// How it works: every call opens the file, reads it whole and parses it line
// by line, as Windows does for a file it has not cached; nothing is written
// and nothing is kept between calls. One portable implementation serves every
// platform.
//
// The file as Windows reads it:
// - Lines end in LF or CRLF; a UTF-8 byte-order mark at the very start is
//   skipped. Blanks (space, tab, CR, VT, FF, Ctrl-Z) around a line are ignored.
// - "[name]" opens a section; the name runs to the last ']' of the line and is
//   compared without its surrounding blanks. Lines before the first section
//   belong to a section with an empty name.
// - "key = value" gives an entry; blanks around the key and the value are
//   dropped. A line without '=' is a key without a value (it yields the
//   default). A line starting with ';' is a comment. There are no end-of-line
//   comments: "a=1 ; x" has the value "1 ; x".
// - Section and key names are compared without regard to ASCII case. When a
//   section appears twice, only the first is searched; within it the first
//   entry of a key wins.
// - A value enclosed in a matching pair of '"' or '\'' loses the pair.
//
// Paths may use '/' or '\' as separators. A file that is missing, is no plain
// file or cannot be read behaves like an empty file.
#pragma once

#include <cstdint>
#include <string>

namespace tessaril::platform {

// GetPrivateProfileIntA. Returns default_value when the file, the section or
// the key is missing or the value is empty; otherwise the value read as an
// integer: leading blanks, an optional '+' or '-', then decimal digits up to
// the first other character (no digits gives 0, "0x10" gives 0). Only the
// first 29 characters of the value count, and digits beyond 32 bits wrap
// around as they do on Windows ("4294967295" gives -1).
int32_t profile_int(const char* section, const char* key, int32_t default_value, const std::string& path);

// GetPrivateProfileStringA. Copies the value of key, or default_value (nullptr
// meaning ""; trailing spaces removed) when the file, the section or the key
// is missing or the key has no '=', into buffer, cut to capacity - 1 bytes and
// always NUL-terminated. Returns the number of bytes copied, without the NUL.
// A key with an empty value ("key=") gives "", not the default.
//
// With section == nullptr the buffer receives the names of all sections, with
// key == nullptr the names of all keys of the section (comments left out),
// each NUL-terminated, followed by one more NUL; the result counts the bytes
// before that final NUL. When the list does not fit it is cut, ended by two
// NULs, and the result is capacity - 2.
//
// A null buffer or a capacity below 1 copies nothing and returns 0.
int profile_string(const char* section, const char* key, const char* default_value, char* buffer, int capacity,
                   const std::string& path);

}  // namespace tessaril::platform

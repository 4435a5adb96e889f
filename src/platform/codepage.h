// Code-page conversion.
//
// The system's texts (captions, messages, status texts, file names) are CP932
// (Shift-JIS) byte strings. The sources hold UTF-8 literals; they are converted
// once at start-up with utf8_to_cp932. UI back ends convert back with
// cp932_to_utf8 when they show a text or print it.
#pragma once

#include <string>
#include <string_view>

namespace tessaril::platform {

// Converts UTF-8 to CP932. Characters without a CP932 form become '?'.
// Invalid UTF-8 bytes are passed through one by one.
std::string utf8_to_cp932(std::string_view utf8);

// Converts CP932 to UTF-8. Bytes that do not form a CP932 character become
// U+FFFD, so any byte string can be shown.
std::string cp932_to_utf8(std::string_view cp932);

}  // namespace tessaril::platform

#pragma once
// UTF-8 <-> UTF-16 conversion for the platform's wide-character calls. Invalid input
// becomes U+FFFD; nothing is read past the end of the input.

#include <string>

namespace zarn {

std::u16string utf8ToUtf16(const std::string& text);
std::string utf16ToUtf8(const std::u16string& text);
std::string utf16ToUtf8(const char16_t* text);  // up to the first NUL

}  // namespace zarn

// Conversions between the program's UTF-8 text and the UTF-16 of the W API.
#pragma once

#include <string>
#include <string_view>

namespace cvn::ui {

// Invalid UTF-8 bytes become U+FFFD; unpaired surrogates likewise on the way back.
std::wstring ToUtf16(std::string_view utf8);
std::string ToUtf8(std::wstring_view utf16);

}  // namespace cvn::ui

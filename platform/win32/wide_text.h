// UTF-8 <-> UTF-16 for the W functions.
//
// Exact both ways for everything the system can store: a lone surrogate
// (file and key names and string data may hold one) becomes its three-byte
// generalized UTF-8 form and comes back as the same code unit, so that an
// item read with such a name can be opened, compared and deleted again.
// Bytes that are not UTF-8 at all become U+FFFD, one for each byte.
#pragma once

#include <string>
#include <string_view>

namespace cvn::platform::win32 {

std::wstring ToWide(std::string_view utf8);
std::string ToUtf8(std::wstring_view utf16);

}  // namespace cvn::platform::win32

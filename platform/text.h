// Text helpers shared by the whole program. Text is UTF-8 in std::string.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace cvn::text {

// Upper-cases ASCII and the common Unicode letters (Latin-1, Latin Extended-A,
// Greek, Cyrillic) the way the system compares names; other characters and
// invalid bytes are kept as they are.
std::string ToUpper(std::string_view s);
// The character at `i` as the comparison without regard to case sees it,
// and `i` moved past it: the upper case of a code point, or an invalid
// byte as 0x110000 plus its value, after every code point.
char32_t UpperCodePointAt(std::string_view s, size_t& i);
// Compares two names without regard to case: <0, 0 or >0.
int CompareNoCase(std::string_view a, std::string_view b);
inline bool EqualsNoCase(std::string_view a, std::string_view b) {
  return CompareNoCase(a, b) == 0;
}
// Plain ASCII case-insensitive equality (other bytes must match exactly).
bool EqualsNoCaseAscii(std::string_view a, std::string_view b);

// Appends the UTF-8 form of a code point (any value up to U+10FFFF, lone
// surrogates included, which the registry and file names can hold).
void AppendUtf8(char32_t cp, std::string& out);

// True when `s` is well-formed UTF-8.
bool IsValidUtf8(std::string_view s);
// Length of `s` in UTF-16 code units (invalid bytes count one each).
size_t Utf16Length(std::string_view s);

// Two lower-case hexadecimal digits for each byte.
std::string HexDigits(std::span<const uint8_t> bytes);

}  // namespace cvn::text

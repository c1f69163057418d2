#include "platform/win32/wide_text.h"

#include <cstdint>

#include "platform/text.h"

namespace cvn::platform::win32 {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsContinuation(uint8_t b) {
  return (b & 0xC0) == 0x80;
}

// Length of the sequence that begins with `b0`; 0 when it begins none.
size_t SequenceLength(uint8_t b0) {
  if (b0 < 0x80) return 1;
  if ((b0 & 0xE0) == 0xC0) return 2;
  if ((b0 & 0xF0) == 0xE0) return 3;
  if ((b0 & 0xF8) == 0xF0) return 4;
  return 0;
}

// Decodes the sequence at utf8[i], advancing i past it. Surrogate code points
// are accepted (they stand for lone surrogates); overlong forms, values past
// U+10FFFF and broken sequences give U+FFFD for their first byte alone.
char32_t DecodeAt(std::string_view utf8, size_t& i) {
  static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  const auto b0 = static_cast<uint8_t>(utf8[i]);
  const size_t length = SequenceLength(b0);
  if (length == 0 || i + length > utf8.size()) {
    ++i;
    return kReplacement;
  }
  char32_t cp = b0 & (0x7F >> (length == 1 ? 0 : length));
  for (size_t k = 1; k < length; ++k) {
    const auto b = static_cast<uint8_t>(utf8[i + k]);
    if (!IsContinuation(b)) {
      ++i;
      return kReplacement;
    }
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < kSmallest[length] || cp > 0x10FFFF) {
    ++i;
    return kReplacement;
  }
  i += length;
  return cp;
}


bool IsHighSurrogate(char32_t u) {
  return u >= 0xD800 && u <= 0xDBFF;
}
bool IsLowSurrogate(char32_t u) {
  return u >= 0xDC00 && u <= 0xDFFF;
}

}  // namespace

std::wstring ToWide(std::string_view utf8) {
  std::wstring out;
  out.reserve(utf8.size());
  size_t i = 0;
  while (i < utf8.size()) {
    const char32_t cp = DecodeAt(utf8, i);
    if (cp >= 0x10000) {
      out += static_cast<wchar_t>(0xD800 + ((cp - 0x10000) >> 10));
      out += static_cast<wchar_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      out += static_cast<wchar_t>(cp);
    }
  }
  return out;
}

std::string ToUtf8(std::wstring_view utf16) {
  std::string out;
  out.reserve(utf16.size());
  for (size_t i = 0; i < utf16.size(); ++i) {
    const char32_t unit = static_cast<uint16_t>(utf16[i]);
    if (IsHighSurrogate(unit) && i + 1 < utf16.size() &&
        IsLowSurrogate(static_cast<uint16_t>(utf16[i + 1]))) {
      const char32_t low = static_cast<uint16_t>(utf16[++i]);
      text::AppendUtf8(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00), out);
    } else {
      text::AppendUtf8(unit, out);  // a lone surrogate keeps its own three bytes
    }
  }
  return out;
}

}  // namespace cvn::platform::win32

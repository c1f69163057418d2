#include "platform/text.h"

#include <cstdint>

namespace cvn::text {
namespace {

// Decodes one code point at s[i]; returns false (and leaves i alone) on an
// invalid or truncated sequence.
bool DecodeAt(std::string_view s, size_t& i, char32_t& cp) {
  const auto b0 = static_cast<uint8_t>(s[i]);
  int len = 0;
  if (b0 < 0x80) {
    cp = b0;
    len = 1;
  } else if ((b0 & 0xE0) == 0xC0 && b0 >= 0xC2) {
    cp = b0 & 0x1F;
    len = 2;
  } else if ((b0 & 0xF0) == 0xE0) {
    cp = b0 & 0x0F;
    len = 3;
  } else if ((b0 & 0xF8) == 0xF0 && b0 <= 0xF4) {
    cp = b0 & 0x07;
    len = 4;
  } else {
    return false;
  }
  if (i + len > s.size()) return false;
  for (int k = 1; k < len; ++k) {
    const auto b = static_cast<uint8_t>(s[i + k]);
    if ((b & 0xC0) != 0x80) return false;
    cp = (cp << 6) | (b & 0x3F);
  }
  // Reject overlong forms, surrogates and values past U+10FFFF.
  if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
      (cp >= 0xD800 && cp <= 0xDFFF)) {
    return false;
  }
  i += len;
  return true;
}

}  // namespace

void AppendUtf8(char32_t cp, std::string& out) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

namespace {

char32_t UpperOf(char32_t c) {
  if (c < 0x80) return (c >= 'a' && c <= 'z') ? c - 0x20 : c;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 0x20;
  if (c == 0xFF) return 0x178;
  if (c >= 0x100 && c <= 0x17F) {
    // Latin Extended-A pairs: upper on even code points, except in the two
    // runs where the pairs start on odd ones.
    const bool odd_pairs = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if (c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F || c == 0x130) return c;
    if (odd_pairs) return (c % 2 == 0) ? c - 1 : c;
    return (c % 2 == 1) ? c - 1 : c;
  }
  if (c >= 0x3B1 && c <= 0x3C9) return c == 0x3C2 ? 0x3A3 : c - 0x20;
  if (c >= 0x430 && c <= 0x44F) return c - 0x20;
  if (c >= 0x450 && c <= 0x45F) return c - 0x50;
  return c;
}

}  // namespace

std::string ToUpper(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    const auto b = static_cast<uint8_t>(s[i]);
    if (b < 0x80) {  // fast path
      out += static_cast<char>((b >= 'a' && b <= 'z') ? b - 0x20 : b);
      ++i;
      continue;
    }
    char32_t cp;
    if (DecodeAt(s, i, cp)) {
      AppendUtf8(UpperOf(cp), out);
    } else {
      out += s[i++];
    }
  }
  return out;
}

char32_t UpperCodePointAt(std::string_view s, size_t& i) {
  char32_t c;
  if (!DecodeAt(s, i, c)) return 0x110000 + static_cast<uint8_t>(s[i++]);
  return UpperOf(c);
}

int CompareNoCase(std::string_view a, std::string_view b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    const char32_t ca = UpperCodePointAt(a, i);
    const char32_t cb = UpperCodePointAt(b, j);
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return 0;
}

bool EqualsNoCaseAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x -= 0x20;
    if (y >= 'a' && y <= 'z') y -= 0x20;
    if (x != y) return false;
  }
  return true;
}

bool IsValidUtf8(std::string_view s) {
  size_t i = 0;
  char32_t cp;
  while (i < s.size()) {
    if (!DecodeAt(s, i, cp)) return false;
  }
  return true;
}

size_t Utf16Length(std::string_view s) {
  size_t i = 0, n = 0;
  while (i < s.size()) {
    char32_t cp;
    if (DecodeAt(s, i, cp)) {
      n += cp >= 0x10000 ? 2 : 1;
    } else {
      ++i;
      ++n;
    }
  }
  return n;
}

std::string HexDigits(std::span<const uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(bytes.size() * 2);
  for (uint8_t byte : bytes) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 15];
  }
  return text;
}

}  // namespace cvn::text

#include "platform/locale.h"

#include "platform/text.h"

namespace cvn::platform {

DateTimeSeparators UserDateTimeSeparators() {
  return DateTimeSeparators();
}

const DateTimeFormat& UserDateTimeFormat() {
  static const PatternDateTimeFormat format(UserDateTimeSeparators());
  return format;
}

int CompareNamesForDisplay(std::string_view a, std::string_view b) {
  return text::CompareNoCase(a, b);
}

std::string DisplaySortKey(std::string_view name) {
  // Each character as the comparison sees it: upper-cased, an invalid byte
  // after every code point; four bytes, most significant first.
  std::string key;
  key.reserve(name.size() * 4);
  for (size_t i = 0; i < name.size();) {
    const char32_t c = text::UpperCodePointAt(name, i);
    for (int shift = 24; shift >= 0; shift -= 8) key += static_cast<char>((c >> shift) & 0xFF);
  }
  return key;
}

}  // namespace cvn::platform

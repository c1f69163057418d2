#include "platform/locale.h"

#include "platform/text.h"

namespace cvn::platform {

DateTimeSeparators UserDateTimeSeparators() { return DateTimeSeparators(); }

const DateTimeFormat& UserDateTimeFormat() {
  static const PatternDateTimeFormat format(UserDateTimeSeparators());
  return format;
}

int CompareNamesForDisplay(std::string_view a, std::string_view b) { return text::CompareNoCase(a, b); }

}  // namespace cvn::platform

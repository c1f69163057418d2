// The user's regional formats, as far as Corvane's texts use them.
#pragma once

#include <string>
#include <string_view>

namespace cvn::platform {

struct DateTimeSeparators {
  std::string time = ":";  // between hours and minutes
  std::string date = "/";  // between day, month and year
};

// The separators of the user's locale. On Windows (and under Wine) they come
// from the user's regional settings; elsewhere they are ":" and "/".
// Safe on any thread.
DateTimeSeparators UserDateTimeSeparators();

// Compares two names for display order as the user's locale sorts them,
// without regard to case: negative, zero or positive. Elsewhere than on
// Windows it is the system's case-insensitive name comparison.
// Safe on any thread.
int CompareNamesForDisplay(std::string_view a, std::string_view b);

}  // namespace cvn::platform

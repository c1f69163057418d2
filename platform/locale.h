// The user's regional formats, as far as Corvane's texts use them.
#pragma once

#include <string>

namespace cvn::platform {

struct DateTimeSeparators {
  std::string time = ":";  // between hours and minutes
  std::string date = "/";  // between day, month and year
};

// The separators of the user's locale. On Windows (and under Wine) they come
// from the user's regional settings; elsewhere they are ":" and "/".
// Safe on any thread.
DateTimeSeparators UserDateTimeSeparators();

}  // namespace cvn::platform

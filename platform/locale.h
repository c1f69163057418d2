// The user's regional formats, as far as Corvane's texts use them.
#pragma once

#include <string>
#include <string_view>
#include <utility>

namespace cvn::platform {

struct DateTimeSeparators {
  std::string time = ":";  // between hours and minutes
  std::string date = "/";  // between day, month and year
};

// The separators of the user's locale. On Windows (and under Wine) they come
// from the user's regional settings; elsewhere they are ":" and "/".
// Safe on any thread.
DateTimeSeparators UserDateTimeSeparators();

// A local calendar date and time.
struct CivilDateTime {
  int year = 1899, month = 12, day = 30;
  int hour = 0, minute = 0, second = 0;
};

// How dates and times are written for the user.
class DateTimeFormat {
 public:
  virtual ~DateTimeFormat() = default;
  virtual std::string ShortDate(const CivilDateTime& when) const = 0;
  virtual std::string LongTime(const CivilDateTime& when) const = 0;
};

// Day, month and four-digit year, and hours, minutes and seconds, each of
// two digits, with the given separators: "05/03/2024", "09:04:03".
class PatternDateTimeFormat final : public DateTimeFormat {
 public:
  explicit PatternDateTimeFormat(DateTimeSeparators separators = {})
      : separators_(std::move(separators)) {}
  std::string ShortDate(const CivilDateTime& when) const override;
  std::string LongTime(const CivilDateTime& when) const override;

 private:
  DateTimeSeparators separators_;
};

// The user's short date and long time formats: the system's on Windows (and
// under Wine); elsewhere the pattern above with the user's separators.
// Safe on any thread.
const DateTimeFormat& UserDateTimeFormat();

// Compares two names for display order as the user's locale sorts them,
// without regard to case: negative, zero or positive. Elsewhere than on
// Windows it is the system's case-insensitive name comparison.
// Safe on any thread.
int CompareNamesForDisplay(std::string_view a, std::string_view b);

// A key of a name whose bytes compare (as std::string does) in the order of
// CompareNamesForDisplay, equal where it finds the names equal: a list
// sorted by keys made once is sorted as by that comparison, much faster.
// Safe on any thread.
std::string DisplaySortKey(std::string_view name);

}  // namespace cvn::platform

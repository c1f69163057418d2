#include "platform/locale.h"

namespace cvn::platform {

namespace {

std::string TwoDigits(int n) {
  return std::string(1, static_cast<char>('0' + n / 10 % 10)) + static_cast<char>('0' + n % 10);
}

}  // namespace

std::string PatternDateTimeFormat::ShortDate(const CivilDateTime& when) const {
  return TwoDigits(when.day) + separators_.date + TwoDigits(when.month) + separators_.date +
         std::to_string(when.year);
}

std::string PatternDateTimeFormat::LongTime(const CivilDateTime& when) const {
  return TwoDigits(when.hour) + separators_.time + TwoDigits(when.minute) + separators_.time +
         TwoDigits(when.second);
}

}  // namespace cvn::platform

#include <windows.h>

#include "platform/locale.h"

namespace cvn::platform {

namespace {

// One locale text as UTF-8; `fallback` when the system has none.
std::string LocaleText(LCTYPE type, const char* fallback) {
  wchar_t buffer[16];
  const int length = GetLocaleInfoW(LOCALE_USER_DEFAULT, type, buffer, 16);
  if (length <= 1) return fallback;
  char utf8[64];
  const int size = WideCharToMultiByte(CP_UTF8, 0, buffer, length - 1, utf8, sizeof utf8, nullptr, nullptr);
  return size > 0 ? std::string(utf8, static_cast<size_t>(size)) : std::string(fallback);
}

}  // namespace

DateTimeSeparators UserDateTimeSeparators() {
  return DateTimeSeparators{LocaleText(LOCALE_STIME, ":"), LocaleText(LOCALE_SDATE, "/")};
}

}  // namespace cvn::platform

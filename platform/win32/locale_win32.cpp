#include <windows.h>

#include <algorithm>
#include <string>
#include <string_view>

#include "platform/locale.h"

namespace cvn::platform {

namespace {

// One locale text as UTF-8; `fallback` when the system has none.
std::string LocaleText(LCTYPE type, const char* fallback) {
  wchar_t buffer[16];
  const int length = GetLocaleInfoW(LOCALE_USER_DEFAULT, type, buffer, 16);
  if (length <= 1) return fallback;
  char utf8[64];
  const int size =
      WideCharToMultiByte(CP_UTF8, 0, buffer, length - 1, utf8, sizeof utf8, nullptr, nullptr);
  return size > 0 ? std::string(utf8, static_cast<size_t>(size)) : std::string(fallback);
}

}  // namespace

namespace {

std::wstring Wide(std::string_view text) {
  if (text.empty()) return {};
  const int size =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
  return wide;
}

}  // namespace

int CompareNamesForDisplay(std::string_view a, std::string_view b) {
  const std::wstring wa = Wide(a), wb = Wide(b);
  const int result =
      CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, wa.data(), static_cast<int>(wa.size()),
                     wb.data(), static_cast<int>(wb.size()));
  return result == 0 ? wa.compare(wb) : result - CSTR_EQUAL;
}

std::string DisplaySortKey(std::string_view name) {
  // The system's sort key with the comparison's flags: its bytes compare as
  // CompareStringW does.
  const std::wstring wide = Wide(name);
  const int size = LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | NORM_IGNORECASE, wide.data(),
                                static_cast<int>(wide.size()), nullptr, 0);
  std::string key(static_cast<size_t>(std::max(size, 0)), '\0');
  if (size > 0 && LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | NORM_IGNORECASE, wide.data(),
                               static_cast<int>(wide.size()),
                               reinterpret_cast<wchar_t*>(key.data()), size) > 0) {
    key.pop_back();  // the terminating zero byte
    return key;
  }
  return std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * sizeof(wchar_t));
}

namespace {

// The system's formats of the user's locale.
class SystemDateTimeFormat final : public DateTimeFormat {
 public:
  std::string ShortDate(const CivilDateTime& when) const override {
    const SYSTEMTIME time = SystemTimeOf(when);
    wchar_t buffer[128];
    const int length =
        GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, buffer, 128);
    return length > 1 ? Narrow(buffer, length - 1)
                      : PatternDateTimeFormat(UserDateTimeSeparators()).ShortDate(when);
  }
  std::string LongTime(const CivilDateTime& when) const override {
    const SYSTEMTIME time = SystemTimeOf(when);
    wchar_t buffer[128];
    const int length = GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &time, nullptr, buffer, 128);
    return length > 1 ? Narrow(buffer, length - 1)
                      : PatternDateTimeFormat(UserDateTimeSeparators()).LongTime(when);
  }

 private:
  static SYSTEMTIME SystemTimeOf(const CivilDateTime& when) {
    SYSTEMTIME time = {};
    time.wYear = static_cast<WORD>(when.year);
    time.wMonth = static_cast<WORD>(when.month);
    time.wDay = static_cast<WORD>(when.day);
    time.wHour = static_cast<WORD>(when.hour);
    time.wMinute = static_cast<WORD>(when.minute);
    time.wSecond = static_cast<WORD>(when.second);
    return time;
  }
  static std::string Narrow(const wchar_t* text, int length) {
    char utf8[512];
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text, length, utf8, sizeof utf8, nullptr, nullptr);
    return std::string(utf8, static_cast<size_t>(size > 0 ? size : 0));
  }
};

}  // namespace

const DateTimeFormat& UserDateTimeFormat() {
  static const SystemDateTimeFormat format;
  return format;
}

DateTimeSeparators UserDateTimeSeparators() {
  return DateTimeSeparators{LocaleText(LOCALE_STIME, ":"), LocaleText(LOCALE_SDATE, "/")};
}

}  // namespace cvn::platform

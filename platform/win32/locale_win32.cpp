#include <windows.h>

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
  const int size = WideCharToMultiByte(CP_UTF8, 0, buffer, length - 1, utf8, sizeof utf8, nullptr, nullptr);
  return size > 0 ? std::string(utf8, static_cast<size_t>(size)) : std::string(fallback);
}

}  // namespace

namespace {

std::wstring Wide(std::string_view text) {
  if (text.empty()) return {};
  const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
  return wide;
}

}  // namespace

int CompareNamesForDisplay(std::string_view a, std::string_view b) {
  const std::wstring wa = Wide(a), wb = Wide(b);
  const int result = CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, wa.data(), static_cast<int>(wa.size()),
                                    wb.data(), static_cast<int>(wb.size()));
  return result == 0 ? wa.compare(wb) : result - CSTR_EQUAL;
}

DateTimeSeparators UserDateTimeSeparators() {
  return DateTimeSeparators{LocaleText(LOCALE_STIME, ":"), LocaleText(LOCALE_SDATE, "/")};
}

}  // namespace cvn::platform

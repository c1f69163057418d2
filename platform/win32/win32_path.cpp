#include "platform/win32/win32_path.h"

#include "platform/win32/wide_text.h"
#include "platform/win32/windows_api.h"

namespace cvn::platform::win32 {
namespace {

// CreateDirectoryW refuses plain paths from MAX_PATH - 12 characters on (the
// room for an 8.3 name), the other functions from MAX_PATH.
constexpr size_t kLongestPlainPath = MAX_PATH - 12 - 1;

constexpr std::wstring_view kLongPrefix = L"\\\\?\\";
constexpr std::wstring_view kLongUncPrefix = L"\\\\?\\UNC\\";

bool IsDrivePath(std::wstring_view path) {
  return path.size() >= 3 && path[1] == L':' && path[2] == L'\\';
}

}  // namespace

std::wstring FullPath(const std::wstring& path) {
  std::wstring full;
  DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  while (size > full.size()) {
    full.resize(size);
    size = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  }
  full.resize(size);  // the length without the terminator, or 0 on failure
  return full;
}

std::wstring SystemPath(std::string_view path) {
  std::wstring wide = ToWide(path);
  if (wide.size() <= kLongestPlainPath || wide.starts_with(kLongPrefix)) return wide;
  const std::wstring full = FullPath(wide);
  if (IsDrivePath(full)) return std::wstring(kLongPrefix) + full;
  if (full.starts_with(L"\\\\")) return std::wstring(kLongUncPrefix) + full.substr(2);
  return wide;
}

std::wstring NtPath(std::string_view path) {
  constexpr std::wstring_view kNtPrefix = L"\\??\\";
  const std::wstring wide = ToWide(path);
  // The long forms ("\\?\C:\..." and "\\?\UNC\...") differ only in their prefix.
  if (wide.starts_with(kLongPrefix))
    return std::wstring(kNtPrefix) + wide.substr(kLongPrefix.size());
  const std::wstring full = FullPath(wide);
  if (IsDrivePath(full)) return std::wstring(kNtPrefix) + full;
  if (full.starts_with(L"\\\\")) return std::wstring(kNtPrefix) + L"UNC\\" + full.substr(2);
  return {};
}

std::wstring WithoutLongPathPrefix(std::wstring path) {
  if (path.starts_with(kLongUncPrefix)) return L"\\\\" + path.substr(kLongUncPrefix.size());
  if (path.starts_with(kLongPrefix)) return path.substr(kLongPrefix.size());
  return path;
}

std::string ExecutablePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      return ToUtf8(path);
    }
    path.resize(path.size() * 2);
  }
}

}  // namespace cvn::platform::win32

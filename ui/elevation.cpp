#include "ui/elevation.h"

#include <shellapi.h>
#include <shlobj.h>

#include "platform/win32/wide_text.h"
#include "platform/win32/win32_path.h"

namespace cvn::ui {

bool RunsElevated() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return true;
  TOKEN_ELEVATION elevation = {};
  DWORD size = 0;
  const bool known =
      GetTokenInformation(token, TokenElevation, &elevation, sizeof(elevation), &size) != FALSE;
  CloseHandle(token);
  return !known || elevation.TokenIsElevated != 0;
}

std::string UserProfileFolder() {
  PWSTR folder = nullptr;
  std::string result;
  if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Profile, 0, nullptr, &folder)))
    result = platform::win32::ToUtf8(folder);
  CoTaskMemFree(folder);
  return result;
}

std::wstring UninstallArguments(std::string_view identifier) {
  // An identifier holds no double quote: the typing rules refuse it.
  return L"--uninstall \"" + platform::win32::ToWide(identifier) + L"\"";
}

bool StartElevated(HWND owner, const std::wstring& arguments) {
  const std::wstring executable = platform::win32::ToWide(platform::win32::ExecutablePath());
  SHELLEXECUTEINFOW start = {};
  start.cbSize = sizeof(start);
  start.fMask = SEE_MASK_FLAG_NO_UI;
  start.hwnd = owner;
  start.lpVerb = L"runas";
  start.lpFile = executable.c_str();
  start.lpParameters = arguments.c_str();
  start.nShow = SW_SHOWNORMAL;
  return ShellExecuteExW(&start) != FALSE;
}

}  // namespace cvn::ui

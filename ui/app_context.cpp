#include "ui/app_context.h"

#include "platform/win32/windows_api.h"

#include "platform/win32/wide_text.h"
#include "platform/win32/win32_path.h"

namespace cvn::ui {

namespace {

std::wstring CurrentDirectory() {
  const DWORD size = GetCurrentDirectoryW(0, nullptr);
  std::wstring folder(size, L'\0');
  folder.resize(GetCurrentDirectoryW(size, folder.data()));
  return folder;
}

std::wstring WindowsDirectory() {
  const UINT size = GetWindowsDirectoryW(nullptr, 0);
  std::wstring folder(size, L'\0');
  folder.resize(GetWindowsDirectoryW(folder.data(), size));
  return folder;
}

}  // namespace

std::string FolderOfPath(std::string_view path) {
  const size_t last = path.rfind('\\');
  if (last == std::string_view::npos) return {};
  const bool drive_root = last == 2 && path[1] == ':';
  return std::string(path.substr(0, drive_root ? last + 1 : last));
}

std::string DriveRootOf(std::string_view path) {
  if (path.size() >= 2 && path[1] == ':') return std::string(path.substr(0, 2)) + "\\";
  if (path.starts_with("\\\\")) {
    // \\server\share: the root ends after the share name.
    const size_t server_end = path.find('\\', 2);
    if (server_end == std::string_view::npos) return {};
    const size_t share_end = path.find('\\', server_end + 1);
    return std::string(path.substr(0, share_end)) + "\\";
  }
  return {};
}

void FixStartupFolders(AppContext& context) {
  SetCurrentDirectoryW(
      platform::win32::ToWide(FolderOfPath(platform::win32::ExecutablePath())).c_str());
  context.program_folder = platform::win32::ToUtf8(CurrentDirectory());
  context.windows_folder = platform::win32::ToUtf8(WindowsDirectory());
  context.system_drive_root = DriveRootOf(context.windows_folder);
}

void EnterProgramFolder(const AppContext& context) {
  SetCurrentDirectoryW(platform::win32::ToWide(context.program_folder).c_str());
}

}  // namespace cvn::ui

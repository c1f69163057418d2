#include "ui/app_context.h"

#include "platform/win32/windows_api.h"

#include "ui/utf16.h"

namespace cvn::ui {

namespace {

// The full path of the running executable, however long.
std::wstring ExecutablePathW() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

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

std::string ExecutablePath() { return ToUtf8(ExecutablePathW()); }

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
  SetCurrentDirectoryW(ToUtf16(FolderOfPath(ExecutablePath())).c_str());
  context.program_folder = ToUtf8(CurrentDirectory());
  context.windows_folder = ToUtf8(WindowsDirectory());
  context.system_drive_root = DriveRootOf(context.windows_folder);
}

void EnterProgramFolder(const AppContext& context) {
  SetCurrentDirectoryW(ToUtf16(context.program_folder).c_str());
}

}  // namespace cvn::ui

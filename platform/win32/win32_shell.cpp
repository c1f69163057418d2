#include "platform/win32/win32_shell.h"

#include "platform/win32/wide_text.h"
#include "platform/win32/win32_path.h"
#include "platform/win32/windows_api.h"

#include <shellapi.h>

namespace cvn::platform::win32 {

namespace {

// The shell works on absolute paths.
std::wstring ShellPath(std::string_view path) {
  std::wstring wide = ToWide(path);
  std::wstring full = FullPath(wide);
  return full.empty() ? wide : full;
}

bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The shell's delete with undo over `list`: paths one after the other, each
// ended by a zero, the list by one more. Asks nothing and shows nothing.
Status SendToBin(const std::wstring& list) {
  SHFILEOPSTRUCTW operation = {};
  operation.wFunc = FO_DELETE;
  operation.pFrom = list.c_str();
  operation.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
  const int result = SHFileOperationW(&operation);
  if (result == 0 && !operation.fAnyOperationsAborted) return Status::Ok();
  if (result == ERROR_SHARING_VIOLATION || result == ERROR_ACCESS_DENIED ||
      result == 0x78 /*DE_ACCESSDENIEDSRC*/)
    return Status(StatusCode::kAccessDenied, static_cast<uint32_t>(result));
  return Status(StatusCode::kIoError, static_cast<uint32_t>(result));
}

}  // namespace

Status Win32Shell::RecycleFile(std::string_view path) {
  std::wstring from = ShellPath(path);
  if (!Exists(from)) return Status(StatusCode::kNotFound, GetLastError());
  from.push_back(L'\0');
  const Status sent = SendToBin(from);
  // Some shells report success for an item they could not move.
  if (sent.ok() && Exists(from)) return Status(StatusCode::kAccessDenied, ERROR_SHARING_VIOLATION);
  return sent;
}

std::vector<Status> Win32Shell::RecycleFiles(std::span<const std::string> paths) {
  std::vector<std::wstring> full;
  std::vector<bool> existed;
  full.reserve(paths.size());
  std::wstring list;
  for (const std::string& path : paths) {
    full.push_back(ShellPath(path));
    existed.push_back(Exists(full.back()));
    if (!existed.back()) continue;
    list += full.back();
    list.push_back(L'\0');
  }
  if (!list.empty()) SendToBin(list);
  // The operation may stop at the first item it cannot move, so what it
  // left is tried once more, alone.
  std::vector<Status> results;
  results.reserve(paths.size());
  for (size_t i = 0; i < paths.size(); ++i) {
    if (!existed[i]) {
      results.push_back(Status(StatusCode::kNotFound, ERROR_FILE_NOT_FOUND));
    } else {
      results.push_back(Exists(full[i]) ? RecycleFile(paths[i]) : Status::Ok());
    }
  }
  return results;
}

}  // namespace cvn::platform::win32

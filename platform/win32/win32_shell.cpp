#include "platform/win32/win32_shell.h"

#include "platform/win32/wide_text.h"
#include "platform/win32/windows_api.h"

#include <shellapi.h>

namespace cvn::platform::win32 {

Status Win32Shell::RecycleFile(std::string_view path) {
  // The shell works on absolute paths, listed one after the other, the list
  // ended by an empty one.
  std::wstring from = ToWide(path);
  wchar_t full[MAX_PATH * 4];
  const DWORD length = GetFullPathNameW(from.c_str(), MAX_PATH * 4, full, nullptr);
  if (length > 0 && length < MAX_PATH * 4) from.assign(full, length);
  const DWORD attributes = GetFileAttributesW(from.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return Status(StatusCode::kNotFound, GetLastError());
  from.push_back(L'\0');
  from.push_back(L'\0');

  SHFILEOPSTRUCTW operation = {};
  operation.wFunc = FO_DELETE;
  operation.pFrom = from.c_str();
  operation.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
  const int result = SHFileOperationW(&operation);
  if (result == 0 && !operation.fAnyOperationsAborted) {
    // Some shells report success for an item they could not move.
    if (GetFileAttributesW(from.c_str()) == INVALID_FILE_ATTRIBUTES) return Status::Ok();
    return Status(StatusCode::kAccessDenied, ERROR_SHARING_VIOLATION);
  }
  if (result == ERROR_SHARING_VIOLATION || result == ERROR_ACCESS_DENIED || result == 0x78 /*DE_ACCESSDENIEDSRC*/)
    return Status(StatusCode::kAccessDenied, static_cast<uint32_t>(result));
  return Status(StatusCode::kIoError, static_cast<uint32_t>(result));
}

}  // namespace cvn::platform::win32

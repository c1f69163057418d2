#include "platform/win32/win32_error.h"

#include "platform/win32/windows_api.h"

namespace cvn::platform::win32 {
namespace {

StatusCode CodeOf(DWORD error) {
  switch (error) {
    case ERROR_SUCCESS:
      return StatusCode::kOk;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
      return StatusCode::kNotFound;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
      return StatusCode::kAccessDenied;
    case ERROR_NO_MORE_ITEMS:
    case ERROR_NO_MORE_FILES:
      return StatusCode::kNoMoreItems;
    case ERROR_MORE_DATA:
      return StatusCode::kMoreData;
    case ERROR_DIR_NOT_EMPTY:
      return StatusCode::kNotEmpty;
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS:
      return StatusCode::kAlreadyExists;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_DIRECTORY:
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_INVALID_PARAMETER:
    case ERROR_INVALID_HANDLE:
      return StatusCode::kInvalid;
    default:
      return StatusCode::kIoError;
  }
}

}  // namespace

Status StatusFromWin32Error(uint32_t error) {
  if (error == ERROR_SUCCESS) return Status::Ok();
  return Status(CodeOf(error), error);
}

Status LastErrorStatus() {
  const DWORD error = GetLastError();
  return error == ERROR_SUCCESS ? Status(StatusCode::kIoError) : StatusFromWin32Error(error);
}

}  // namespace cvn::platform::win32

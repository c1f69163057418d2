// The one mapping from Win32 error codes to platform statuses.
#pragma once

#include <cstdint>

#include "platform/status.h"

namespace cvn::platform::win32 {

// The status for a Win32 error code (a GetLastError value or an LSTATUS),
// keeping the code as the status's system_error. ERROR_SUCCESS is Ok.
Status StatusFromWin32Error(uint32_t error);
// The status for the calling thread's last error, for use right after a call
// failed: never Ok, even if the call left no error code behind.
Status LastErrorStatus();

}  // namespace cvn::platform::win32

// <windows.h> for the Win32 platform, without the macros that would rename
// the FileSystem interface's methods (DeleteFile, MoveFile,
// SetCurrentDirectory) in any file that sees both. Call the W functions by
// their full names.
#pragma once

#include <windows.h>

#undef DeleteFile
#undef MoveFile
#undef SetCurrentDirectory

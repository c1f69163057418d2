// Paths for the W file functions.
#pragma once

#include <string>
#include <string_view>

namespace cvn::platform::win32 {

// The absolute form of `path` (resolving "." and ".." the way the system
// would); empty when the system cannot make one.
std::wstring FullPath(const std::wstring& path);

// The UTF-16 form of `path` to hand to a W file function. A path too long
// for the plain form is made absolute (resolving "." and ".." the way the
// system would) and given the "\\?\" prefix ("\\?\UNC\" for a share), which
// lifts the MAX_PATH limit. Shorter paths are only converted.
std::wstring SystemPath(std::string_view path);

// The system's own form of the absolute path of `path`, as the native calls
// take it ("\??\C:\..." or "\??\UNC\server\..."); empty when there is none.
std::wstring NtPath(std::string_view path);

// `path` without a "\\?\" or "\\?\UNC\" prefix, as the rest of the program
// writes paths.
std::wstring WithoutLongPathPrefix(std::wstring path);

// The full path of the running executable, however long, in UTF-8.
std::string ExecutablePath();

}  // namespace cvn::platform::win32

// Administrator rights: whether this process runs with them, and starting
// corvane.exe again with them. On Windows, undoing changes under
// HKEY_LOCAL_MACHINE or in Program Files needs them; the manifest asks for
// none, so that monitoring a per-user installation needs no prompt.
#pragma once

#include "platform/win32/windows_api.h"

#include <string>
#include <string_view>

namespace cvn::ui {

// True when the process token is elevated (or the system has no such notion).
bool RunsElevated();

// The user's profile folder ("C:\Users\Ada"); empty when unknown.
std::string UserProfileFolder();

// The command line that asks a new start to load `identifier` on the
// uninstall path: --uninstall "<identifier>".
std::wstring UninstallArguments(std::string_view identifier);

// Starts the running executable elevated with `arguments` (the system asks
// the user). False when the user refused or the start failed.
bool StartElevated(HWND owner, const std::wstring& arguments);

}  // namespace cvn::ui

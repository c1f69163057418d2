// The values of the running program that many parts share: the folders fixed
// at start-up and the settings. One object lives for the whole run; the main
// window and, later, the workers receive it by reference.
#pragma once

#include <string>
#include <string_view>

#include "settings/settings.h"

namespace cvn::ui {

struct AppContext {
  // The folder of the executable, without a trailing backslash except for a
  // drive root. Snapshots, archives and logs live there.
  std::string program_folder;
  // The Windows folder, as the system reports it.
  std::string windows_folder;
  // The drive of the Windows folder followed by a backslash ("C:\").
  std::string system_drive_root;
  settings::Settings settings;
};

// The folder part of a path: the text up to its last backslash, keeping the
// backslash of a drive root ("C:\corvane.exe" gives "C:\"). Empty when the
// path has no backslash.
std::string FolderOfPath(std::string_view path);

// The root of the drive a path lies on, with a trailing backslash: "C:\" for
// "C:\Windows", "\\server\share\" for a UNC path; empty when it has none.
std::string DriveRootOf(std::string_view path);

// Fixes the three folders: the program folder is made the current directory
// and read back from it.
void FixStartupFolders(AppContext& context);

// Makes the program folder the current directory again.
void EnterProgramFolder(const AppContext& context);

}  // namespace cvn::ui

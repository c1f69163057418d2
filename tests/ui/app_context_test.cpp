// The folders fixed at start-up, from the real executable and Windows folder.
#include "ui/app_context.h"

#include "platform/win32/windows_api.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/win32/wide_text.h"

namespace cvn::ui {
namespace {

std::string CurrentFolder() {
  wchar_t folder[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, folder);
  return platform::win32::ToUtf8(folder);
}

TEST(FixStartupFolders, MakesTheExecutablesFolderCurrentAndTakesTheWindowsFolder) {
  SetCurrentDirectoryW(L"C:\\");
  AppContext context;
  FixStartupFolders(context);
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  EXPECT_EQ(lstrcmpiW(platform::win32::ToWide(context.program_folder).c_str(),
                      platform::win32::ToWide(FolderOfPath(platform::win32::ToUtf8(path))).c_str()),
            0)
      << context.program_folder << " for " << platform::win32::ToUtf8(path);
  EXPECT_EQ(CurrentFolder(), context.program_folder);
  GetWindowsDirectoryW(path, MAX_PATH);
  EXPECT_EQ(context.windows_folder, platform::win32::ToUtf8(path));
  EXPECT_EQ(context.system_drive_root, DriveRootOf(context.windows_folder));

  SetCurrentDirectoryW(L"C:\\");
  EnterProgramFolder(context);
  EXPECT_EQ(CurrentFolder(), context.program_folder);
}

}  // namespace
}  // namespace cvn::ui

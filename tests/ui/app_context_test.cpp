// The folders fixed at start-up.
#include "ui/app_context.h"

#include "platform/win32/windows_api.h"

#include <gtest/gtest.h>

#include <string>

#include "ui/utf16.h"

namespace cvn::ui {
namespace {

TEST(FolderOfPath, IsTheTextBeforeTheLastBackslash) {
  EXPECT_EQ(FolderOfPath("C:\\Tools\\Corvane\\corvane.exe"), "C:\\Tools\\Corvane");
  EXPECT_EQ(FolderOfPath("\\\\server\\share\\corvane.exe"), "\\\\server\\share");
  EXPECT_EQ(FolderOfPath("corvane.exe"), "");
}

TEST(FolderOfPath, KeepsTheBackslashOfADriveRoot) {
  EXPECT_EQ(FolderOfPath("C:\\corvane.exe"), "C:\\");
}

TEST(DriveRootOf, IsTheDriveFollowedByABackslash) {
  EXPECT_EQ(DriveRootOf("C:\\Windows"), "C:\\");
  EXPECT_EQ(DriveRootOf("d:\\WINNT"), "d:\\");
  EXPECT_EQ(DriveRootOf("\\\\server\\share\\Windows"), "\\\\server\\share\\");
  EXPECT_EQ(DriveRootOf("Windows"), "");
}

std::string ExecutableFolder() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  return FolderOfPath(ToUtf8(path));
}

std::string CurrentFolder() {
  wchar_t folder[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, folder);
  return ToUtf8(folder);
}

TEST(FixStartupFolders, MakesTheExecutablesFolderCurrentAndKeepsIt) {
  SetCurrentDirectoryW(L"C:\\");
  AppContext context;
  FixStartupFolders(context);

  EXPECT_TRUE(CompareStringOrdinal(ToUtf16(context.program_folder).c_str(), -1,
                                   ToUtf16(ExecutableFolder()).c_str(), -1, TRUE) == CSTR_EQUAL)
      << context.program_folder << " vs " << ExecutableFolder();
  EXPECT_FALSE(context.program_folder.ends_with('\\'));
  EXPECT_EQ(CurrentFolder(), context.program_folder);
}

TEST(FixStartupFolders, TakesTheWindowsFolderAndItsDriveRoot) {
  AppContext context;
  FixStartupFolders(context);

  wchar_t windows[MAX_PATH] = {};
  GetWindowsDirectoryW(windows, MAX_PATH);
  EXPECT_EQ(context.windows_folder, ToUtf8(windows));
  ASSERT_EQ(context.system_drive_root.size(), 3u);
  EXPECT_EQ(context.system_drive_root.substr(0, 2), context.windows_folder.substr(0, 2));
  EXPECT_EQ(context.system_drive_root[2], '\\');
}

TEST(EnterProgramFolder, MakesTheProgramFolderCurrentAgain) {
  AppContext context;
  FixStartupFolders(context);
  SetCurrentDirectoryW(L"C:\\");
  EnterProgramFolder(context);
  EXPECT_EQ(CurrentFolder(), context.program_folder);
}

}  // namespace
}  // namespace cvn::ui

// A key HKEY_CURRENT_USER\Software\CorvaneTest\<suite>.<test> and a folder
// C:\CorvaneTest\<suite>.<test> of the running test, removed before and
// after it with the bare API, so that the clean-up depends on none of the
// code under test. Read-only files are removed too.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace cvn::test {

inline std::wstring AsciiToWide(const std::string& ascii) {
  return {ascii.begin(), ascii.end()};
}

inline void RemoveFolderTree(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  const HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &found);
  for (bool more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileW(find, &found)) {
    const std::wstring name = found.cFileName, path = folder + L"\\" + name;
    if (name == L"." || name == L"..") continue;
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveFolderTree(path);
    DeleteFileW(path.c_str());  // fails harmlessly on a folder, which is gone by now
  }
  if (find != INVALID_HANDLE_VALUE) FindClose(find);
  RemoveDirectoryW(folder.c_str());
}

class Win32Sandbox {
 public:
  Win32Sandbox() {
    Remove();
    CreateDirectoryW(L"C:\\CorvaneTest", nullptr);
    EXPECT_TRUE(CreateDirectoryW(AsciiToWide(folder).c_str(), nullptr)) << folder;
    HKEY created = nullptr;
    EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, AsciiToWide(key).c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &created, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(created);
  }
  ~Win32Sandbox() { Remove(); }
  Win32Sandbox(const Win32Sandbox&) = delete;
  Win32Sandbox& operator=(const Win32Sandbox&) = delete;

  const std::string name = std::string(Info()->test_suite_name()) + "." + Info()->name();
  const std::string key = "Software\\CorvaneTest\\" + name;  // below HKEY_CURRENT_USER
  const std::string folder = "C:\\CorvaneTest\\" + name;

 private:
  static const ::testing::TestInfo* Info() {
    return ::testing::UnitTest::GetInstance()->current_test_info();
  }
  void Remove() const {
    RegDeleteTreeW(HKEY_CURRENT_USER, AsciiToWide(key).c_str());
    RemoveFolderTree(AsciiToWide(folder));
  }
};

}  // namespace cvn::test

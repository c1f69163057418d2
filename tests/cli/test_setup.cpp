// A tiny setup program for the corvane-cli test under Wine:
//   test_setup.exe FOLDER KEY
// starts a copy of itself and ends at once; the copy creates the folder
// FOLDER\App, the file FOLDER\App\setup.txt and the value "Installed" under
// HKEY_CURRENT_USER\KEY. So a monitor that waits only for the first process
// misses everything.
#include <windows.h>

#include <string>

int wmain(int argc, wchar_t** argv) {
  if (argc == 3) {
    std::wstring line =
        L"\"" + std::wstring(argv[0]) + L"\" \"" + argv[1] + L"\" \"" + argv[2] + L"\" child";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
      return 1;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 0;
  }
  if (argc != 4) return 2;
  // The child: the installation itself, a moment after its parent has gone.
  Sleep(500);
  const std::wstring folder = std::wstring(argv[1]) + L"\\App";
  if (!CreateDirectoryW(folder.c_str(), nullptr)) return 3;
  HANDLE file = CreateFileW((folder + L"\\setup.txt").c_str(), GENERIC_WRITE, 0, nullptr,
                            CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 4;
  DWORD written = 0;
  WriteFile(file, "installed", 9, &written, nullptr);
  CloseHandle(file);
  const wchar_t value[] = L"yes";
  return RegSetKeyValueW(HKEY_CURRENT_USER, argv[2], L"Installed", REG_SZ, value, sizeof(value))
             ? 5
             : 0;
}

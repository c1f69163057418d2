// A tiny setup program for the corvane-cli test under Wine:
//   test_setup.exe FOLDER KEY [linger]
// starts a copy of itself and ends at once; the copy creates the folder
// FOLDER\App, the file FOLDER\App\setup.txt and the value "Installed" under
// HKEY_CURRENT_USER\KEY. So a monitor that waits only for the first process
// misses everything. With "linger" the copy then runs on, as an application
// started at the end of an installation does, until the event
// "CorvaneTestLinger" is set (a minute at most).
#include <windows.h>

#include <string>

int wmain(int argc, wchar_t** argv) {
  const bool linger = argc == 4 && std::wstring(argv[3]) == L"linger";
  if (argc == 3 || linger) {
    std::wstring line = L"\"" + std::wstring(argv[0]) + L"\" \"" + argv[1] + L"\" \"" + argv[2] +
                        (linger ? L"\" child-linger" : L"\" child");
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
  const bool lingers = std::wstring(argv[3]) == L"child-linger";
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
  if (RegSetKeyValueW(HKEY_CURRENT_USER, argv[2], L"Installed", REG_SZ, value, sizeof(value)))
    return 5;
  if (lingers) {
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, L"CorvaneTestLinger");
    WaitForSingleObject(release, 60000);
    CloseHandle(release);
  }
  return 0;
}

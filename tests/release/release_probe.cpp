// release_probe.exe: what the release round trip needs of Windows besides
// corvane-cli.
//
//   release_probe wait PROGRAM [ARGS...]   runs PROGRAM and waits for it and every
//                                          process it starts (an NSIS uninstaller
//                                          goes on in a copy of itself); its exit code
//   release_probe window PROGRAM CLASS     starts PROGRAM, waits for its visible window
//                                          of CLASS, prints the title, closes the window
//                                          and waits for PROGRAM to end; 0 when all did
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

constexpr ULONGLONG kTimeoutMilliseconds = 120000;

std::wstring CommandLine(int argc, wchar_t** argv, int first) {
  std::wstring line;
  for (int i = first; i < argc; ++i) {
    if (!line.empty()) line += L' ';
    const std::wstring arg = argv[i];
    line += arg.find(L' ') == std::wstring::npos ? arg : L'"' + arg + L'"';
  }
  return line;
}

bool Start(std::wstring line, HANDLE job, PROCESS_INFORMATION* process) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                      nullptr, &startup, process)) {
    std::fwprintf(stderr, L"release_probe: cannot start %ls (error %lu)\n", line.c_str(),
                  GetLastError());
    return false;
  }
  if (job != nullptr) AssignProcessToJobObject(job, process->hProcess);
  ResumeThread(process->hThread);
  CloseHandle(process->hThread);
  return true;
}

int Wait(const std::wstring& line) {
  HANDLE job = CreateJobObjectW(nullptr, nullptr);
  PROCESS_INFORMATION process = {};
  if (job == nullptr || !Start(line, job, &process)) return 100;
  const ULONGLONG started = GetTickCount64();
  JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info = {};
  do {
    Sleep(100);
    if (!QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &info, sizeof(info),
                                   nullptr))
      return 101;
  } while (info.ActiveProcesses > 0 && GetTickCount64() - started < kTimeoutMilliseconds);
  if (info.ActiveProcesses > 0) {
    std::fwprintf(stderr, L"release_probe: %ls still runs\n", line.c_str());
    return 102;
  }
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  return static_cast<int>(code);
}

struct Search {
  DWORD process_id;
  const wchar_t* window_class;
  HWND found;
};

BOOL CALLBACK FindWindowOf(HWND window, LPARAM context) {
  Search& search = *reinterpret_cast<Search*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  if (owner == search.process_id && IsWindowVisible(window) &&
      lstrcmpW(name, search.window_class) == 0) {
    search.found = window;
    return FALSE;
  }
  return TRUE;
}

int Window(const std::wstring& program, const wchar_t* window_class) {
  PROCESS_INFORMATION process = {};
  if (!Start(L'"' + program + L'"', nullptr, &process)) return 100;
  Search search = {process.dwProcessId, window_class, nullptr};
  const ULONGLONG started = GetTickCount64();
  while (search.found == nullptr && GetTickCount64() - started < kTimeoutMilliseconds &&
         WaitForSingleObject(process.hProcess, 100) == WAIT_TIMEOUT)
    EnumWindows(FindWindowOf, reinterpret_cast<LPARAM>(&search));
  if (search.found == nullptr) {
    std::fwprintf(stderr, L"release_probe: no window of class %ls\n", window_class);
    TerminateProcess(process.hProcess, 99);
    return 1;
  }
  wchar_t title[256] = {};
  GetWindowTextW(search.found, title, 256);
  std::wprintf(L"%ls\n", title);
  std::fflush(stdout);
  PostMessageW(search.found, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(process.hProcess, kTimeoutMilliseconds) != WAIT_OBJECT_0) {
    std::fwprintf(stderr, L"release_probe: the program did not end when its window closed\n");
    TerminateProcess(process.hProcess, 99);
    return 1;
  }
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring command = argc > 1 ? argv[1] : L"";
  if (command == L"wait" && argc > 2) return Wait(CommandLine(argc, argv, 2));
  if (command == L"window" && argc == 4) return Window(argv[2], argv[3]);
  std::fwprintf(stderr, L"usage: release_probe wait PROGRAM [ARGS...] | window PROGRAM CLASS\n");
  return 2;
}

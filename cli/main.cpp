// corvane-cli.exe: the console front end. It wires the real platform, the
// Ctrl+C handler and the setup program's job object to the commands.
#include "platform/win32/windows_api.h"

#include <fcntl.h>
#include <io.h>

#include <atomic>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "changes/changes_archive.h"
#include "cli/cli_commands.h"
#include "i18n/translator.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/win32_filesystem.h"
#include "platform/win32/win32_path.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_shell.h"

namespace {

std::atomic<bool> g_interrupted{false};

BOOL WINAPI OnConsoleControl(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  g_interrupted = true;
  return TRUE;
}

// One argument quoted for CreateProcess as the C runtime parses it.
std::wstring QuoteArgument(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
  std::wstring quoted = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, L'\\');
  return quoted + L"\"";
}

// Runs the setup program in a job object and waits until every process of
// the job has ended, or until Ctrl+C.
bool RunSetup(const std::vector<std::string>& command) {
  std::wstring line;
  for (const std::string& arg : command) {
    if (!line.empty()) line += L' ';
    line += QuoteArgument(cvn::platform::win32::ToWide(arg));
  }
  HANDLE job = CreateJobObjectW(nullptr, nullptr);
  HANDLE port = CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1);
  if (!job || !port) return false;
  JOBOBJECT_ASSOCIATE_COMPLETION_PORT association = {job, port};
  SetInformationJobObject(job, JobObjectAssociateCompletionPortInformation, &association,
                          sizeof(association));
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                      nullptr, &startup, &process)) {
    CloseHandle(port);
    CloseHandle(job);
    return false;
  }
  const bool in_job = AssignProcessToJobObject(job, process.hProcess);
  ResumeThread(process.hThread);
  CloseHandle(process.hThread);
  bool done = false;
  while (!done && !g_interrupted) {
    if (!in_job) {
      done = WaitForSingleObject(process.hProcess, 200) == WAIT_OBJECT_0;
      continue;
    }
    DWORD message = 0;
    ULONG_PTR key = 0;
    LPOVERLAPPED overlapped = nullptr;
    if (GetQueuedCompletionStatus(port, &message, &key, &overlapped, 200) &&
        message == JOB_OBJECT_MSG_ACTIVE_PROCESS_ZERO)
      done = true;
  }
  CloseHandle(process.hProcess);
  CloseHandle(port);
  CloseHandle(job);
  return true;
}

// A question answered on the console; no when nobody is there to answer.
bool Confirm(const std::string& question) {
  if (!_isatty(_fileno(stdin))) return false;
  std::cerr << question << " [y/N] " << std::flush;
  std::string answer;
  if (!std::getline(std::cin, answer)) return false;
  return answer == "y" || answer == "Y" || answer == "yes";
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(cvn::platform::win32::ToUtf8(argv[i]));
  const cvn::cli::ParseResult parsed = cvn::cli::ParseArguments(args);
  if (!parsed.options) {
    std::fprintf(stderr, "corvane-cli: %s\n", parsed.error.c_str());
    return static_cast<int>(cvn::cli::ExitCode::kUsage);
  }
  // The export brings its own CR LF line ends.
  _setmode(_fileno(stdout), _O_BINARY);
  SetConsoleOutputCP(CP_UTF8);
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);

  cvn::platform::win32::Win32Registry registry;
  cvn::platform::win32::Win32FileSystem file_system;
  cvn::platform::win32::Win32Shell shell;
  const std::string exe = cvn::platform::win32::ExecutablePath();
  std::string folder = exe.substr(0, exe.rfind('\\'));
  if (folder.size() == 2) folder += '\\';  // a drive root keeps its backslash
  (void)file_system.SetCurrentDirectory(folder);

  cvn::i18n::Translator translator(file_system, exe);
  cvn::i18n::InstallTranslator(&translator);
  cvn::changes::SystemClock clock;
  cvn::cli::Environment env{
      file_system,
      registry,
      shell,
      clock,
      folder,
      file_system.WindowsFolder(),
      std::cout,
      std::cerr,
      _isatty(_fileno(stderr)) != 0,
      [] { return g_interrupted.load(); },
      RunSetup,
      Confirm,
      [&translator](const std::string& name) { translator.SetLanguage(name); }};
  const int code = static_cast<int>(cvn::cli::Execute(*parsed.options, env));
  std::cout.flush();
  cvn::i18n::InstallTranslator(nullptr);
  return code;
}

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

// The file name of a running process's executable; "?" when it cannot be read.
std::string ProcessName(DWORD pid) {
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  wchar_t path[MAX_PATH] = L"?";
  DWORD size = MAX_PATH;
  if (process != nullptr) {
    if (!QueryFullProcessImageNameW(process, 0, path, &size)) wcscpy(path, L"?");
    CloseHandle(process);
  }
  const std::wstring full = path;
  return cvn::platform::win32::ToUtf8(full.substr(full.find_last_of(L"\\/") + 1));
}

// "explorer.exe (32), myapp.exe (48)": the processes of the job but the one
// `except` names (0: none).
std::string OtherProcesses(HANDLE job, DWORD except) {
  struct {
    JOBOBJECT_BASIC_PROCESS_ID_LIST list;
    ULONG_PTR more[255];
  } ids = {};
  ids.list.NumberOfAssignedProcesses = 256;
  if (!QueryInformationJobObject(job, JobObjectBasicProcessIdList, &ids, sizeof(ids), nullptr))
    return "?";
  std::string text;
  for (DWORD i = 0; i < ids.list.NumberOfProcessIdsInList; ++i) {
    const DWORD pid = static_cast<DWORD>(ids.list.ProcessIdList[i]);
    if (pid == except) continue;
    if (!text.empty()) text += ", ";
    text += ProcessName(pid) + " (" + std::to_string(pid) + ")";
  }
  return text;
}

// Processes of the job still running, the setup program's included.
size_t ActiveProcesses(HANDLE job) {
  JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info = {};
  if (!QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &info, sizeof(info),
                                 nullptr))
    return 0;
  return info.ActiveProcesses;
}

// How long processes may run on after the setup program before the user is
// told what is still waited for.
constexpr ULONGLONG kQuietMilliseconds = 3000;

// Runs the setup program in a job object, so that the processes it starts
// are waited for too, and waits as `wait` says.
cvn::cli::SetupOutcome RunSetup(const std::vector<std::string>& command,
                                const cvn::cli::SetupWait& wait) {
  using cvn::cli::SetupOutcome;
  using cvn::cli::WaitStep;
  std::wstring line;
  for (const std::string& arg : command) {
    if (!line.empty()) line += L' ';
    line += QuoteArgument(cvn::platform::win32::ToWide(arg));
  }
  HANDLE job = CreateJobObjectW(nullptr, nullptr);
  if (job == nullptr) return SetupOutcome::kNotStarted;
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                      nullptr, &startup, &process)) {
    CloseHandle(job);
    return SetupOutcome::kNotStarted;
  }
  // Outside a job (a system that refuses nested jobs) only the setup
  // program itself can be waited for.
  const bool in_job = AssignProcessToJobObject(job, process.hProcess);
  ResumeThread(process.hThread);
  CloseHandle(process.hThread);

  const ULONGLONG started = GetTickCount64();
  ULONGLONG setup_ended = started;
  bool told = false;
  WaitStep step = WaitStep::kWait;
  while (step == WaitStep::kWait) {
    const bool setup_running = WaitForSingleObject(process.hProcess, 200) == WAIT_TIMEOUT;
    const size_t active = in_job ? ActiveProcesses(job) : 0;
    const size_t others = active > 0 ? active - (setup_running ? 1 : 0) : 0;
    const bool timed_out =
        wait.timeout_seconds > 0 && GetTickCount64() - started >= wait.timeout_seconds * 1000ull;
    step = cvn::cli::NextWaitStep(wait, setup_running, others, g_interrupted, timed_out);
    if (setup_running) setup_ended = GetTickCount64();
    // Installers often finish their work in a process they start; only what
    // still runs a while after the setup program has ended is named.
    if (step == WaitStep::kWait && !setup_running && !told &&
        GetTickCount64() - setup_ended >= kQuietMilliseconds) {
      std::fprintf(stderr,
                   "corvane-cli: the setup program has ended; waiting for what it started: %s\n"
                   "corvane-cli: press Ctrl+C to stop waiting and finish the monitoring\n",
                   OtherProcesses(job, process.dwProcessId).c_str());
      told = true;
    }
  }
  if (step == WaitStep::kStopWaiting) {
    const std::string still = OtherProcesses(job, 0);
    std::fprintf(stderr, "corvane-cli: stopped waiting%s%s; finishing the monitoring\n",
                 still.empty() ? "" : "; still running: ", still.c_str());
    g_interrupted = false;  // that Ctrl+C ended the wait; the next one stops the scan
  }
  CloseHandle(process.hProcess);
  CloseHandle(job);
  switch (step) {
    case WaitStep::kCancel:
      return SetupOutcome::kCancelled;
    case WaitStep::kStopWaiting:
      return SetupOutcome::kStoppedWaiting;
    default:
      return SetupOutcome::kEnded;
  }
}

// Makes sure the session's desktop process runs. It is started without this
// process's standard handles: it outlives the command, and would keep a file
// that the output goes to open until the session ends.
void StartDesktop() {
  const DWORD kinds[] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
  HANDLE saved[3];
  for (int i = 0; i < 3; ++i) {
    saved[i] = GetStdHandle(kinds[i]);
    SetStdHandle(kinds[i], nullptr);
  }
  GetDesktopWindow();
  for (int i = 0; i < 3; ++i) SetStdHandle(kinds[i], saved[i]);
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
  // Wine starts the session's desktop process for the first program that
  // opens a window, as a child of that program, and the process lives as long
  // as the session. Started here, before the first scan, what it writes at
  // its start is not taken for the installation's, and it runs outside the
  // setup program's job, which would otherwise never empty. On Windows the
  // desktop is always there.
  const cvn::cli::Command command = parsed.options->command;
  if (command == cvn::cli::Command::kStart || command == cvn::cli::Command::kRun) StartDesktop();
  const int code = static_cast<int>(cvn::cli::Execute(*parsed.options, env));
  std::cout.flush();
  cvn::i18n::InstallTranslator(nullptr);
  return code;
}

// corvane.exe as a user starts it, in a process of its own, on the real
// registry: the test finds its window, starts it a second time and presses
// Exit. It starts and ends without HKEY_CURRENT_USER\Software\Helmwick\Corvane.
#include <optional>
#include <string>

#include "tests/ui/ui_test_util.h"

namespace cvn::ui {

namespace {

constexpr wchar_t kSettingsKey[] = L"Software\\Helmwick\\Corvane";

// The visible main windows of the process (of any process when `process_id` is 0).
std::vector<HWND> MainWindowsOf(DWORD process_id) {
  std::vector<HWND> found;
  for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, MainWindow::kClassName, nullptr));) {
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    if (IsWindowVisible(w) && (process_id == 0 || owner == process_id)) found.push_back(w);
  }
  return found;
}

// One run of corvane.exe, started by the constructor; terminated if the
// test did not end it.
class CorvaneProcess {
 public:
  CorvaneProcess() {
    const std::wstring path = testing::WindowsPath(CVN_CORVANE_EXE);
    std::wstring command_line = L"\"" + path + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    EXPECT_TRUE(CreateProcessW(path.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0,
                               nullptr, nullptr, &startup, &process_))
        << "cannot start " << CVN_CORVANE_EXE;
  }
  ~CorvaneProcess() {
    if (process_.hProcess == nullptr) return;
    if (!Ended()) TerminateProcess(process_.hProcess, 99);
    WaitForSingleObject(process_.hProcess, INFINITE);
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
  }

  DWORD id() const { return process_.dwProcessId; }
  // The exit code once the program has ended; empty if it goes on running.
  std::optional<DWORD> ExitCode() const {
    DWORD code = 0;
    if (!testing::PumpMessagesUntil([&] { return Ended(); })) return std::nullopt;
    GetExitCodeProcess(process_.hProcess, &code);
    return code;
  }
  bool Ended() const { return WaitForSingleObject(process_.hProcess, 0) != WAIT_TIMEOUT; }

 private:
  PROCESS_INFORMATION process_ = {};
};

class CorvaneExeTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NO_FATAL_FAILURE(RemoveSettings()); }
  void TearDown() override { RemoveSettings(); }
  static void RemoveSettings() {
    RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
    HKEY key = nullptr;
    ASSERT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key), ERROR_SUCCESS);
  }
};

TEST_F(CorvaneExeTest, SecondStartBringsTheFirstWindowBackAndExitSavesTheSettings) {
  CorvaneProcess first;
  std::vector<HWND> windows;
  ASSERT_TRUE(testing::PumpMessagesUntil([&] {
    windows = MainWindowsOf(first.id());
    return !windows.empty() || first.Ended();
  }));
  ASSERT_EQ(windows.size(), 1u) << "no main window appeared";
  const HWND main_window = windows[0];
  ShowWindow(main_window, SW_MINIMIZE);
  ASSERT_TRUE(testing::PumpMessagesUntil([&] { return IsIconic(main_window) != 0; }));
  {
    CorvaneProcess second;
    EXPECT_EQ(second.ExitCode(), 0u);
  }
  EXPECT_TRUE(testing::PumpMessagesUntil([&] { return !IsIconic(main_window); }));
  EXPECT_EQ(MainWindowsOf(0).size(), 1u);
  EXPECT_FALSE(first.Ended());

  const HWND exit = testing::FindDescendant(main_window, L"Button", L"E&xit");
  ASSERT_NE(exit, nullptr);
  SendMessageW(exit, BM_CLICK, 0, 0);
  EXPECT_EQ(first.ExitCode(), 0u);
  DWORD value = 0, size = sizeof(value);
  EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, L"ScanHKLM", RRF_RT_REG_DWORD, nullptr,
                         &value, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(value, 1u);
}

}  // namespace
}  // namespace cvn::ui

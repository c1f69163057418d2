// corvane.exe as a user starts it: the program runs in a process of its own,
// the test finds its window and presses its buttons, and checks what the
// program leaves in the real registry. Each test starts and ends without the
// settings key HKEY_CURRENT_USER\Software\Helmwick\Corvane.
#include <optional>
#include <string>

#include "tests/ui/ui_test_util.h"

namespace cvn::ui {
namespace {

constexpr wchar_t kSettingsKey[] = L"Software\\Helmwick\\Corvane";
constexpr wchar_t kPlacementKey[] = L"Software\\Helmwick\\Corvane\\CvnMain";

// The visible main windows of the process (of any process when `process_id` is 0).
std::vector<HWND> MainWindowsOf(DWORD process_id) {
  std::vector<HWND> found;
  for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, TfrmCvnMain::kClassName, nullptr));) {
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    if (IsWindowVisible(w) && (process_id == 0 || owner == process_id)) found.push_back(w);
  }
  return found;
}

// One run of corvane.exe, started by the constructor. A run the test did not
// end is terminated.
class CorvaneProcess {
 public:
  CorvaneProcess() {
    const std::wstring path = testing::WindowsPath(CVN_CORVANE_EXE);
    std::wstring command_line = L"\"" + path + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    started_ = CreateProcessW(path.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0,
                              nullptr, nullptr, &startup, &process_) != 0;
    EXPECT_TRUE(started_) << "cannot start " << CVN_CORVANE_EXE;
  }
  ~CorvaneProcess() {
    if (!started_) return;
    if (!Ended()) TerminateProcess(process_.hProcess, 99);
    WaitForSingleObject(process_.hProcess, INFINITE);
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
  }
  CorvaneProcess(const CorvaneProcess&) = delete;
  CorvaneProcess& operator=(const CorvaneProcess&) = delete;

  // The program's main window once it is visible; null if it never shows.
  HWND MainWindow() const {
    std::vector<HWND> found;
    testing::WaitUntil([&] {
      found = MainWindowsOf(process_.dwProcessId);
      return !found.empty() || Ended();
    });
    return started_ && !found.empty() ? found.front() : nullptr;
  }
  // The exit code once the program has ended; empty if it goes on running.
  std::optional<DWORD> ExitCode() const {
    DWORD code = 0;
    if (!started_ || !testing::WaitUntil([&] { return Ended(); })) return std::nullopt;
    GetExitCodeProcess(process_.hProcess, &code);
    return code;
  }
  bool Ended() const { return WaitForSingleObject(process_.hProcess, 0) == WAIT_OBJECT_0; }

 private:
  bool started_ = false;
  PROCESS_INFORMATION process_ = {};
};

// Presses a button of the program's window the way a click does.
void Press(HWND main_window, const wchar_t* caption) {
  const HWND button = testing::FindDescendant(main_window, L"Button", caption);
  ASSERT_NE(button, nullptr);
  SendMessageW(button, BM_CLICK, 0, 0);
}

std::optional<DWORD> ReadDword(const wchar_t* key, const wchar_t* name) {
  DWORD value = 0, size = sizeof(value);
  if (RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_REG_DWORD, nullptr, &value, &size) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  return value;
}

void WriteDword(const wchar_t* key, const wchar_t* name, DWORD number) {
  ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, key, name, REG_DWORD, &number, sizeof(number)),
            ERROR_SUCCESS);
}

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

TEST_F(CorvaneExeTest, ExitSavesTheSettingsWhichTheNextRunReadsBack) {
  {
    CorvaneProcess first;
    const HWND main_window = first.MainWindow();
    ASSERT_NE(main_window, nullptr) << "no main window appeared";
    EXPECT_EQ(testing::WindowTextOf(main_window), L"Corvane");
    ASSERT_NO_FATAL_FAILURE(Press(main_window, L"E&xit"));
    EXPECT_EQ(first.ExitCode(), 0u);
  }
  EXPECT_EQ(ReadDword(kSettingsKey, L"ScanHKLM"), 1u);
  EXPECT_EQ(ReadDword(kSettingsKey, L"LogLevel"), 1u);
  EXPECT_EQ(ReadDword(kPlacementKey, L"Maximized"), 0u);
  ASSERT_TRUE(ReadDword(kPlacementKey, L"Width").has_value());
  WriteDword(kPlacementKey, L"Width",
             500);  // below the minimum size, which holds for the user only
  WriteDword(kPlacementKey, L"Height", 466);
  WriteDword(kPlacementKey, L"Left", 37);
  WriteDword(kPlacementKey, L"Top", 29);
  WriteDword(kSettingsKey, L"ScanHKLM", 0);

  CorvaneProcess second;
  const HWND main_window = second.MainWindow();
  ASSERT_NE(main_window, nullptr);
  RECT bounds = {};
  GetWindowRect(main_window, &bounds);
  EXPECT_EQ(bounds.left, 37);
  EXPECT_EQ(bounds.top, 29);
  EXPECT_EQ(testing::WidthOf(bounds), 500);
  EXPECT_EQ(testing::HeightOf(bounds), 466);
  const HWND hklm = testing::FindDescendant(main_window, L"Button", L"HKEY_LOCAL_MACHINE category");
  EXPECT_EQ(SendMessageW(hklm, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  ASSERT_NO_FATAL_FAILURE(Press(main_window, L"E&xit"));
  EXPECT_EQ(second.ExitCode(), 0u);
  EXPECT_EQ(ReadDword(kSettingsKey, L"ScanHKLM"), 0u);
  EXPECT_EQ(ReadDword(kPlacementKey, L"Width"), 500u);
}

TEST_F(CorvaneExeTest, SecondStartBringsTheFirstWindowBackAndEnds) {
  CorvaneProcess first;
  const HWND main_window = first.MainWindow();
  ASSERT_NE(main_window, nullptr);
  ShowWindow(main_window, SW_MINIMIZE);
  ASSERT_TRUE(testing::WaitUntil([&] { return IsIconic(main_window) != 0; }));
  {
    CorvaneProcess second;
    EXPECT_EQ(second.ExitCode(), 0u);
  }
  EXPECT_TRUE(testing::WaitUntil([&] { return !IsIconic(main_window); }));
  EXPECT_EQ(MainWindowsOf(0).size(), 1u);
  EXPECT_FALSE(first.Ended());
  ASSERT_NO_FATAL_FAILURE(Press(main_window, L"E&xit"));
  EXPECT_EQ(first.ExitCode(), 0u);
}

}  // namespace
}  // namespace cvn::ui

// corvane.exe as a user starts it: the program runs in a process of its own,
// the test finds its window and presses its buttons, and checks what the
// program leaves in the registry. Each test starts and ends without the
// settings key HKEY_CURRENT_USER\Software\Helmwick\Corvane.
#include "platform/win32/windows_api.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>

#include "tests/ui/ui_test_util.h"
#include "ui/utf16.h"

namespace cvn::ui {
namespace {

using testing::ClassNameOf;
using testing::FindDescendant;
using testing::WaitUntil;
using testing::WindowTextOf;

constexpr wchar_t kSettingsKey[] = L"Software\\Helmwick\\Corvane";
constexpr wchar_t kPlacementKey[] = L"Software\\Helmwick\\Corvane\\CvnMain";
constexpr wchar_t kMainWindowClass[] = L"TfrmCvnMain";

// The program's path as Windows sees it: under Wine the build's Linux path
// lies on drive Z:.
std::wstring CorvaneExePath() {
  std::wstring path = ToUtf16(CVN_CORVANE_EXE);
  if (path.starts_with(L"/")) path = L"Z:" + path;
  std::replace(path.begin(), path.end(), L'/', L'\\');
  return path;
}

DWORD ProcessOf(HWND hwnd) {
  DWORD process_id = 0;
  GetWindowThreadProcessId(hwnd, &process_id);
  return process_id;
}

// The first visible top-level window of `window_class` that belongs to the
// process (any process when `process_id` is 0); null when there is none.
HWND FindTopLevel(const wchar_t* window_class, DWORD process_id) {
  struct Search {
    const wchar_t* window_class;
    DWORD process_id;
    HWND found;
  } search = {window_class, process_id, nullptr};
  EnumWindows(
      [](HWND hwnd, LPARAM data) -> BOOL {
        auto* search = reinterpret_cast<Search*>(data);
        if (ClassNameOf(hwnd) == search->window_class && IsWindowVisible(hwnd) &&
            (search->process_id == 0 || ProcessOf(hwnd) == search->process_id)) {
          search->found = hwnd;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

int CountTopLevel(const wchar_t* window_class) {
  struct Count {
    const wchar_t* window_class;
    int count;
  } count = {window_class, 0};
  EnumWindows(
      [](HWND hwnd, LPARAM data) -> BOOL {
        auto* count = reinterpret_cast<Count*>(data);
        if (ClassNameOf(hwnd) == count->window_class) ++count->count;
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&count));
  return count.count;
}

// One run of corvane.exe. A run the test did not end is terminated.
class CorvaneProcess {
 public:
  CorvaneProcess() = default;
  CorvaneProcess(const CorvaneProcess&) = delete;
  CorvaneProcess& operator=(const CorvaneProcess&) = delete;
  ~CorvaneProcess() {
    if (process_.hProcess == nullptr) return;
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
      TerminateProcess(process_.hProcess, 99);
      WaitForSingleObject(process_.hProcess, INFINITE);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
  }

  bool Start() {
    const std::wstring path = CorvaneExePath();
    std::wstring command_line = L"\"" + path + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    return CreateProcessW(path.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          nullptr, &startup, &process_) != 0;
  }

  // The program's main window once it is visible; null if it never shows.
  HWND WaitForMainWindow() const {
    HWND main_window = nullptr;
    WaitUntil([&] {
      main_window = FindTopLevel(kMainWindowClass, process_.dwProcessId);
      return main_window != nullptr || Ended();
    });
    return main_window;
  }

  // The exit code once the program has ended; empty if it goes on running.
  std::optional<DWORD> WaitForExit() const {
    if (!WaitUntil([&] { return Ended(); })) return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    return code;
  }

  bool Ended() const { return WaitForSingleObject(process_.hProcess, 0) == WAIT_OBJECT_0; }
  DWORD id() const { return process_.dwProcessId; }

 private:
  PROCESS_INFORMATION process_ = {};
};

// Presses a button of the program's window the way a click does.
void Press(HWND main_window, const wchar_t* caption) {
  const HWND button = FindDescendant(main_window, L"Button", caption);
  ASSERT_NE(button, nullptr) << "no button " << ToUtf8(caption);
  SendMessageW(button, BM_CLICK, 0, 0);
}

std::optional<bool> CheckBoxState(HWND main_window, const wchar_t* caption) {
  const HWND box = FindDescendant(main_window, L"Button", caption);
  if (box == nullptr) return std::nullopt;
  return SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

struct StoredValue {
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
};

std::optional<StoredValue> ReadValue(const wchar_t* key, const wchar_t* name) {
  DWORD type = 0;
  DWORD size = 0;
  if (RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_ANY, &type, nullptr, &size) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  StoredValue value{type, std::vector<BYTE>(size)};
  if (RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_ANY, nullptr, value.data.data(), &size) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  value.data.resize(size);
  return value;
}

std::optional<DWORD> ReadDword(const wchar_t* key, const wchar_t* name) {
  const auto value = ReadValue(key, name);
  if (!value || value->type != REG_DWORD || value->data.size() != 4) return std::nullopt;
  return *reinterpret_cast<const DWORD*>(value->data.data());
}

void WriteDword(const wchar_t* key, const wchar_t* name, DWORD number) {
  ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, key, name, REG_DWORD, &number, sizeof(number)),
            ERROR_SUCCESS);
}

void WriteString(const wchar_t* key, const wchar_t* name, const std::wstring& text) {
  ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, key, name, REG_SZ, text.c_str(),
                            static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);
}

RECT BoundsOf(HWND hwnd) {
  RECT bounds = {};
  GetWindowRect(hwnd, &bounds);
  return bounds;
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

  // Starts the program and waits for its window; it stays open.
  HWND StartAndWait(CorvaneProcess& corvane) {
    if (!corvane.Start()) {
      ADD_FAILURE() << "cannot start " << ToUtf8(CorvaneExePath());
      return nullptr;
    }
    const HWND main_window = corvane.WaitForMainWindow();
    EXPECT_NE(main_window, nullptr) << "no main window appeared";
    return main_window;
  }

  // Presses Exit and expects the program to end with exit code 0.
  static void ExitWithZero(CorvaneProcess& corvane, HWND main_window) {
    ASSERT_NO_FATAL_FAILURE(Press(main_window, L"E&xit"));
    EXPECT_EQ(corvane.WaitForExit(), 0u);
  }
};

TEST_F(CorvaneExeTest, ExitEndsTheProgramWithZeroAfterSavingTheSettings) {
  CorvaneProcess corvane;
  const HWND main_window = StartAndWait(corvane);
  ASSERT_NE(main_window, nullptr);
  EXPECT_EQ(WindowTextOf(main_window), L"Corvane");
  ASSERT_NO_FATAL_FAILURE(ExitWithZero(corvane, main_window));

  EXPECT_EQ(ReadDword(kSettingsKey, L"ScanHKLM"), 1u);
  EXPECT_EQ(ReadDword(kSettingsKey, L"ScanHKUS"), 0u);
  EXPECT_EQ(ReadDword(kSettingsKey, L"LogLevel"), 1u);
  const auto excluded = ReadValue(kSettingsKey, L"ExcludedFolders");
  ASSERT_TRUE(excluded.has_value());
  EXPECT_EQ(excluded->type, static_cast<DWORD>(REG_BINARY));
  EXPECT_TRUE(excluded->data.empty()) << "the program folder is kept out of the stored list";
  EXPECT_EQ(ReadDword(kSettingsKey, L"ChangeColumn"), 257u);
  EXPECT_EQ(ReadDword(kSettingsKey, L"BeforeColumn"), 152u);
  EXPECT_EQ(ReadDword(kPlacementKey, L"Maximized"), 0u);
  EXPECT_TRUE(ReadDword(kPlacementKey, L"Width").has_value());
  EXPECT_TRUE(ReadDword(kPlacementKey, L"Left").has_value());
}

TEST_F(CorvaneExeTest, SecondRunReadsTheSettingsAndPlacementTheFirstLeft) {
  {
    CorvaneProcess first;
    const HWND main_window = StartAndWait(first);
    ASSERT_NE(main_window, nullptr);
    ASSERT_NO_FATAL_FAILURE(ExitWithZero(first, main_window));
  }
  ASSERT_TRUE(ReadDword(kPlacementKey, L"Width").has_value());
  WriteDword(kPlacementKey, L"Width", 733);
  WriteDword(kPlacementKey, L"Height", 466);
  WriteDword(kPlacementKey, L"Left", 37);
  WriteDword(kPlacementKey, L"Top", 29);
  WriteDword(kSettingsKey, L"ScanHKLM", 0);
  WriteDword(kSettingsKey, L"ScanHKUS", 1);

  CorvaneProcess second;
  const HWND main_window = StartAndWait(second);
  ASSERT_NE(main_window, nullptr);
  const RECT bounds = BoundsOf(main_window);
  EXPECT_EQ(bounds.left, 37);
  EXPECT_EQ(bounds.top, 29);
  EXPECT_EQ(bounds.right - bounds.left, 733);
  EXPECT_EQ(bounds.bottom - bounds.top, 466);
  EXPECT_EQ(CheckBoxState(main_window, L"HKEY_LOCAL_MACHINE category"), false);
  EXPECT_EQ(CheckBoxState(main_window, L"HKEY_USERS category"), true);
  EXPECT_EQ(CheckBoxState(main_window, L"HKEY_CLASSES_ROOT category"), true);
  ASSERT_NO_FATAL_FAILURE(ExitWithZero(second, main_window));

  EXPECT_EQ(ReadDword(kSettingsKey, L"ScanHKLM"), 0u);
  EXPECT_EQ(ReadDword(kSettingsKey, L"ScanHKUS"), 1u);
  EXPECT_EQ(ReadDword(kPlacementKey, L"Width"), 733u);
  EXPECT_EQ(ReadDword(kPlacementKey, L"Left"), 37u);
}

TEST_F(CorvaneExeTest, StoredMaximizedOpensTheWindowMaximized) {
  WriteDword(kPlacementKey, L"Maximized", 1);
  CorvaneProcess corvane;
  const HWND main_window = StartAndWait(corvane);
  ASSERT_NE(main_window, nullptr);
  EXPECT_TRUE(IsZoomed(main_window));
  ASSERT_NO_FATAL_FAILURE(ExitWithZero(corvane, main_window));
  EXPECT_EQ(ReadDword(kPlacementKey, L"Maximized"), 1u);
}

TEST_F(CorvaneExeTest, SecondStartBringsTheFirstWindowBackAndEnds) {
  CorvaneProcess first;
  const HWND main_window = StartAndWait(first);
  ASSERT_NE(main_window, nullptr);
  ShowWindow(main_window, SW_MINIMIZE);
  ASSERT_TRUE(WaitUntil([&] { return IsIconic(main_window) != 0; }));

  CorvaneProcess second;
  ASSERT_TRUE(second.Start());
  EXPECT_EQ(second.WaitForExit(), 0u);
  EXPECT_TRUE(WaitUntil([&] { return !IsIconic(main_window); }));
  EXPECT_EQ(CountTopLevel(kMainWindowClass), 1);
  EXPECT_FALSE(first.Ended());

  ASSERT_NO_FATAL_FAILURE(ExitWithZero(first, main_window));
}

// The texts of a message box's static controls, joined.
std::wstring MessageBoxText(HWND box) {
  std::wstring text;
  EnumChildWindows(
      box,
      [](HWND child, LPARAM data) -> BOOL {
        if (lstrcmpiW(ClassNameOf(child).c_str(), L"Static") == 0) {
          *reinterpret_cast<std::wstring*>(data) += WindowTextOf(child);
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&text));
  return text;
}

TEST_F(CorvaneExeTest, SettingOfAWrongTypeIsReportedAndTheProgramRunsOn) {
  // ScanHKCR is read before ScanHKLM, ScanHKUS after it.
  WriteDword(kSettingsKey, L"ScanHKCR", 0);
  WriteString(kSettingsKey, L"ScanHKLM", L"yes");
  WriteDword(kSettingsKey, L"ScanHKUS", 1);

  CorvaneProcess corvane;
  ASSERT_TRUE(corvane.Start());
  HWND box = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (box = FindTopLevel(L"#32770", corvane.id())) != nullptr; }))
      << "no message box appeared";
  EXPECT_NE(MessageBoxText(box).find(L"ScanHKLM"), std::wstring::npos)
      << ToUtf8(MessageBoxText(box));
  PostMessageW(box, WM_COMMAND, IDOK, 0);

  const HWND main_window = corvane.WaitForMainWindow();
  ASSERT_NE(main_window, nullptr);
  EXPECT_EQ(CheckBoxState(main_window, L"HKEY_CLASSES_ROOT category"), false);  // read before
  EXPECT_EQ(CheckBoxState(main_window, L"HKEY_LOCAL_MACHINE category"), true);  // default
  EXPECT_EQ(CheckBoxState(main_window, L"HKEY_USERS category"), false);         // not read
  ASSERT_NO_FATAL_FAILURE(ExitWithZero(corvane, main_window));
  // The close writes the setting back with its proper type.
  EXPECT_EQ(ReadDword(kSettingsKey, L"ScanHKLM"), 1u);
}

}  // namespace
}  // namespace cvn::ui

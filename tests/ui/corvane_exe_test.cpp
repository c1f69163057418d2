// corvane.exe as a user runs it, in processes of its own, on the real
// registry and disk of a Wine prefix where no other test runs: the test
// types into its window, clicks its buttons and answers its questions, while
// a small setup program installs something outside the window. The program
// runs from a folder of its own (a portable copy beside corvane-cli.exe),
// where its snapshots, archives and "Continue.dat" stay; its settings choose
// HKEY_CURRENT_USER and the test's scratch folder as targets.
#include "platform/win32/windows_api.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "platform/win32/wide_text.h"
#include "platform/win32/win32_registry.h"
#include "settings/settings.h"
#include "tests/support/platform_win32_sandbox.h"
#include "tests/ui/ui_test_util.h"
#include "ui/form.h"
#include "ui/message_box.h"

namespace cvn::ui {

namespace {

using platform::win32::ToWide;
using testing::FindDescendant;
using testing::PumpMessagesUntil;
using testing::WindowsPath;
using testing::WindowTextOf;

constexpr wchar_t kSettingsKey[] = L"Software\\Helmwick\\Corvane";
constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

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

// One run of a program, started by the constructor; terminated if the test
// did not end it.
class Process {
 public:
  explicit Process(const std::wstring& path, const std::wstring& arguments = {}) {
    std::wstring command_line = L"\"" + path + L"\" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    EXPECT_TRUE(CreateProcessW(path.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0,
                               nullptr, nullptr, &startup, &process_))
        << "cannot start " << platform::win32::ToUtf8(path);
  }
  ~Process() {
    if (process_.hProcess == nullptr) return;
    if (!Ended()) TerminateProcess(process_.hProcess, 99);
    WaitForSingleObject(process_.hProcess, INFINITE);
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
  }
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  DWORD id() const { return process_.dwProcessId; }
  // The exit code once the program has ended; empty if it goes on running.
  std::optional<DWORD> ExitCode() const {
    DWORD code = 0;
    if (!PumpMessagesUntil([&] { return Ended(); })) return std::nullopt;
    GetExitCodeProcess(process_.hProcess, &code);
    return code;
  }
  bool Ended() const { return WaitForSingleObject(process_.hProcess, 0) != WAIT_TIMEOUT; }

 private:
  PROCESS_INFORMATION process_ = {};
};

// The installations the tests make, one folder and one key each.
constexpr const char* kLegs[] = {"Leg", "Window", "Cli", "Later", "One", "Two"};

class CorvaneExeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The session's desktop is up before any scan, so that what it writes
    // when it starts is not taken for an installation's.
    GetDesktopWindow();
    RemoveSettings();
    settings::Settings settings;
    settings.scan_hkcr = settings.scan_hklm = settings.scan_hku = settings.scan_hkcc = false;
    settings.scan_hkcu = true;
    settings.scan_windows_folder = settings.scan_program_files = false;
    settings.scan_system_partition = false;
    settings.scan_other_folders = true;
    settings.other_folders = scratch_;
    settings.log_level = 7;  // errors, warnings and what went well
    ASSERT_TRUE(settings::SaveSettings(registry_, settings));
    for (const std::string& folder : {program_, scratch_})
      ASSERT_TRUE(CreateDirectoryW(ToWide(folder).c_str(), nullptr));
    // Each installation goes into a folder of its own that is there before.
    for (const char* leg : kLegs)
      ASSERT_TRUE(CreateDirectoryW(ToWide(scratch_ + "\\" + leg).c_str(), nullptr));
    for (const auto& [from, to] : {std::pair{CVN_CORVANE_EXE, "\\corvane.exe"},
                                   std::pair{CVN_CLI_EXE, "\\corvane-cli.exe"}}) {
      ASSERT_TRUE(CopyFileW(WindowsPath(from).c_str(), ToWide(program_ + to).c_str(), FALSE));
    }
  }
  void TearDown() override {
    RemoveSettings();
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kRunKey, L"Corvane");
  }
  static void RemoveSettings() { RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey); }

  bool Exists(const std::string& path) const {
    return GetFileAttributesW(ToWide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
  }
  bool RunValueExists() const {
    return RegGetValueW(HKEY_LOCAL_MACHINE, kRunKey, L"Corvane", RRF_RT_REG_SZ, nullptr, nullptr,
                        nullptr) == ERROR_SUCCESS;
  }

  // Starts the portable corvane.exe and waits for its window.
  HWND StartWindow(std::optional<Process>& process) {
    process.emplace(ToWide(program_ + "\\corvane.exe"));
    std::vector<HWND> windows;
    EXPECT_TRUE(PumpMessagesUntil([&] {
      windows = MainWindowsOf(process->id());
      return !windows.empty() || process->Ended();
    }));
    return windows.empty() ? nullptr : windows[0];
  }

  // The installation, outside the window: a setup program that leaves its
  // work to a child process, which makes the folder `leg`\App with a file
  // and the value "Installed" under the sandbox's key `leg`.
  void Install(const std::string& leg) {
    const std::string folder = scratch_ + "\\" + leg, key = box_.key + "\\" + leg;
    Process setup(WindowsPath(CVN_TEST_SETUP_EXE),
                  L"\"" + ToWide(folder) + L"\" \"" + ToWide(key) + L"\"");
    ASSERT_EQ(setup.ExitCode(), 0u);
    ASSERT_TRUE(PumpMessagesUntil([&] {
      return Exists(folder + "\\App\\setup.txt") &&
             RegGetValueW(HKEY_CURRENT_USER, ToWide(key).c_str(), L"Installed", RRF_RT_REG_SZ,
                          nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    })) << "the setup's child did not install";
  }

  // The language files beside corvane.exe, as a build puts them.
  void CopyTranslations() {
    const std::wstring translations = ToWide(program_ + "\\Translations");
    ASSERT_TRUE(CreateDirectoryW(translations.c_str(), nullptr));
    for (const wchar_t* file : {L"English.lng", L"German.lng", L"French.lng"}) {
      ASSERT_TRUE(CopyFileW((WindowsPath(CVN_TRANSLATIONS_DIR) + L"\\" + file).c_str(),
                            (translations + L"\\" + file).c_str(), FALSE));
    }
  }
  // `corvane-cli ARGS` in the program folder; its standard output.
  std::string RunCli(const std::wstring& args, DWORD expected_code = 0) {
    const std::string out = box_.folder + "\\out.txt";
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE file = CreateFileW(ToWide(out).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                              CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = file;
    std::wstring line = L"\"" + ToWide(program_) + L"\\corvane-cli.exe\" " + args;
    PROCESS_INFORMATION process = {};
    DWORD code = 0xFFFFFFFF;
    if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                       &process)) {
      WaitForSingleObject(process.hProcess, INFINITE);
      GetExitCodeProcess(process.hProcess, &code);
      CloseHandle(process.hThread);
      CloseHandle(process.hProcess);
    }
    CloseHandle(file);
    std::string text;
    HANDLE read = CreateFileW(ToWide(out).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    char buffer[4096];
    for (DWORD got = 0; ReadFile(read, buffer, sizeof(buffer), &got, nullptr) && got > 0;)
      text.append(buffer, got);
    CloseHandle(read);
    EXPECT_EQ(code, expected_code) << text;
    return text;
  }
  // The archive of `id`, as `corvane-cli show` prints it, holds exactly one
  // leg's installation: its folder with the file, its key with the value.
  void ExpectArchiveOf(const std::string& id, const std::string& leg) {
    ASSERT_TRUE(Exists(program_ + "\\" + id + ".cvn")) << id;
    const std::string shown = RunCli(L"show " + ToWide(id));
    EXPECT_NE(shown.find("\r\n    (+)(FOLDER) " + scratch_ + "\\" + leg +
                         "\\App\r\n      (+)(FILE) setup.txt = "),
              std::string::npos)
        << shown;
    EXPECT_TRUE(shown.ends_with("\r\n    (+)(REG KEY) HKEY_CURRENT_USER\\" + box_.key + "\\" + leg +
                                "\r\n      (+)(REG VAL) Installed = 'yes'\r\n"))
        << shown;
    size_t changes = 0;
    for (size_t at = shown.find(")("); at != std::string::npos; at = shown.find(")(", at + 1))
      ++changes;
    EXPECT_EQ(changes, 4u) << shown;
  }

  test::Win32Sandbox box_;
  const std::string program_ = box_.folder + "\\Program", scratch_ = box_.folder + "\\Scratch";
  platform::win32::Win32Registry registry_;
};

// The window's controls, found as a user finds them: by their captions.
class Window {
 public:
  explicit Window(HWND main) : main_(main) {}

  HWND Button(const wchar_t* caption) const { return FindDescendant(main_, L"Button", caption); }
  void Click(const wchar_t* caption) const {
    const HWND button = Button(caption);
    ASSERT_NE(button, nullptr) << platform::win32::ToUtf8(caption);
    SendMessageW(button, BM_CLICK, 0, 0);
  }
  // A click that opens a question: sent, it would wait for the answer.
  void ClickAndGoOn(const wchar_t* caption) const {
    const HWND button = Button(caption);
    ASSERT_NE(button, nullptr) << platform::win32::ToUtf8(caption);
    PostMessageW(button, BM_CLICK, 0, 0);
  }
  // The edits in the order of the pages: the identifier, the other folders,
  // the setup path.
  // The list view of the page shown: the monitored applications or the tree.
  HWND VisibleList() const {
    for (const HWND list : testing::DescendantsOfClass(main_, WC_LISTVIEWW))
      if (IsWindowVisible(list)) return list;
    return nullptr;
  }
  HWND Edit(size_t index) const { return testing::DescendantsOfClass(main_, L"Edit").at(index); }
  // Another process's edit tells its text only when asked by message.
  std::wstring EditText(size_t index) const {
    wchar_t text[256] = {};
    SendMessageW(Edit(index), WM_GETTEXT, std::size(text), reinterpret_cast<LPARAM>(text));
    return text;
  }
  // Waits until the status line (or another visible label) reads `text`.
  bool StatusBecomes(const std::wstring& text) const {
    return PumpMessagesUntil([&] {
      const HWND label = FindDescendant(main_, L"Static", text);
      return label != nullptr && IsWindowVisible(label);
    });
  }
  // A question box of the program, once it is shown.
  HWND Question() const {
    HWND box = nullptr;
    PumpMessagesUntil([&] {
      box = FindWindowW(kMessageFormClassName, nullptr);
      return box != nullptr && IsWindowVisible(box);
    });
    return box;
  }
  HWND main() const { return main_; }

 private:
  HWND main_;
};

constexpr wchar_t kCompleted[] =
    L"Operations completed. Press <Next> to monitor another application or <Exit>.";

TEST_F(CorvaneExeTest, AMonitoringFromTheKeyboardToTheArchiveThatTheCommandLineShows) {
  std::optional<Process> corvane;
  const Window window(StartWindow(corvane));
  ASSERT_NE(window.main(), nullptr);
  // A colon cannot name a file: it is refused as it is typed.
  for (const wchar_t c : std::wstring(L"Quill:fern")) PostMessageW(window.Edit(0), WM_CHAR, c, 1);
  EXPECT_TRUE(PumpMessagesUntil([&] { return window.EditText(0) == L"Quillfern"; }))
      << platform::win32::ToUtf8(window.EditText(0));
  EXPECT_TRUE(IsWindowEnabled(window.Button(L"&Next  >>")));
  // Enter is Next.
  PostMessageW(window.Edit(0), WM_KEYDOWN, VK_RETURN, 1);
  ASSERT_TRUE(window.StatusBecomes(L"Select the targets. Press <Next> to continue."));
  EXPECT_EQ(WindowTextOf(window.main()), L"Corvane [Quillfern] - installing");
  window.Click(L"&Next  >>");
  ASSERT_TRUE(window.StatusBecomes(L"Enter the setup path."));
  window.Click(L"&Install one or more applications during this screen");
  ASSERT_NO_FATAL_FAILURE(Install("Leg"));
  window.Click(L"&Next  >>");
  ASSERT_TRUE(window.StatusBecomes(kCompleted));
  ExpectArchiveOf("Quillfern", "Leg");
  // The tree shows more than its fixed top.
  const HWND tree = window.VisibleList();
  EXPECT_GT(SendMessageW(tree, LVM_GETITEMCOUNT, 0, 0), 3);
  for (const char* gone : {"\\Continue.dat", "\\FIS1.sns", "\\HKCU.sns"})
    EXPECT_FALSE(Exists(program_ + gone)) << gone;
  EXPECT_FALSE(RunValueExists());

  // Esc does nothing; Next starts over; Exit then closes without a question.
  PostMessageW(tree, WM_KEYDOWN, VK_ESCAPE, 1);
  window.Click(L"&Next  >>");
  ASSERT_TRUE(window.StatusBecomes(L"Enter an identifier for the monitored application."));
  EXPECT_EQ(window.EditText(0), L"");
  window.Click(L"E&xit");
  EXPECT_EQ(corvane->ExitCode(), 0u);
}

TEST_F(CorvaneExeTest, AMonitoringGoesOnAcrossExitsAndBetweenTheWindowAndTheCommandLine) {
  std::optional<Process> corvane;
  // The first scan in the window, then "several applications": the window
  // is left without a question.
  const auto start_in_window = [&](const wchar_t* identifier) {
    const Window window(StartWindow(corvane));
    ASSERT_NE(window.main(), nullptr);
    SetWindowTextW(window.Edit(0), identifier);
    window.Click(L"&Next  >>");
    window.Click(L"&Next  >>");
    ASSERT_TRUE(window.StatusBecomes(L"Enter the setup path."));
    window.Click(L"Install &several applications (Exit)");
    window.Click(L"E&xit");
    EXPECT_EQ(corvane->ExitCode(), 0u);
  };
  // The next start resumes with the second scan, titled with the identifier.
  const auto finish_in_window = [&](const std::wstring& identifier) {
    const Window window(StartWindow(corvane));
    ASSERT_NE(window.main(), nullptr);
    EXPECT_TRUE(window.StatusBecomes(L"Press <Next> to re-scan the targets."));
    EXPECT_EQ(WindowTextOf(window.main()), L"Corvane [" + identifier + L"] - installing");
    window.Click(L"&Next  >>");
    ASSERT_TRUE(window.StatusBecomes(kCompleted));
    window.Click(L"E&xit");
    EXPECT_EQ(corvane->ExitCode(), 0u);
  };
  ASSERT_NO_FATAL_FAILURE(start_in_window(L"Several"));
  EXPECT_TRUE(Exists(program_ + "\\Continue.dat"));
  EXPECT_TRUE(RunValueExists());
  ASSERT_NO_FATAL_FAILURE(Install("Window"));
  ASSERT_NO_FATAL_FAILURE(finish_in_window(L"Several"));
  ExpectArchiveOf("Several", "Window");

  // Started on the command line, finished in the window.
  RunCli(L"start FromCli");
  ASSERT_NO_FATAL_FAILURE(Install("Cli"));
  ASSERT_NO_FATAL_FAILURE(finish_in_window(L"FromCli"));
  ExpectArchiveOf("FromCli", "Cli");

  // Started in the window, finished on the command line.
  ASSERT_NO_FATAL_FAILURE(start_in_window(L"FromWindow"));
  ASSERT_NO_FATAL_FAILURE(Install("Later"));
  RunCli(L"finish");
  ExpectArchiveOf("FromWindow", "Later");
  EXPECT_FALSE(Exists(program_ + "\\Continue.dat"));
  EXPECT_FALSE(RunValueExists());
}

TEST_F(CorvaneExeTest, ClosingDuringAFirstScanAsksAndYesLeavesNothingBehind) {
  // A target big enough that the scan is still running when the questions come.
  settings::Settings settings;
  settings::LoadSettings(registry_, settings);
  settings.other_folders = scratch_ + ";Z:\\usr";
  ASSERT_TRUE(settings::SaveSettings(registry_, settings));
  std::optional<Process> corvane;
  const Window window(StartWindow(corvane));
  ASSERT_NE(window.main(), nullptr);
  SetWindowTextW(window.Edit(0), L"Closed");
  window.Click(L"&Next  >>");
  window.Click(L"&Next  >>");
  EXPECT_EQ(WindowTextOf(window.Button(L"&Stop")).empty(), false);

  PostMessageW(window.main(), WM_CLOSE, 0, 0);
  HWND question = window.Question();
  ASSERT_NE(question, nullptr);
  EXPECT_NE(FindDescendant(question, L"Static", L"Cancel scanning ?"), nullptr);
  SendMessageW(FindDescendant(question, L"Button", L"No"), BM_CLICK, 0, 0);
  ASSERT_TRUE(PumpMessagesUntil([] { return FindWindowW(kMessageFormClassName, nullptr) == nullptr; }));
  EXPECT_FALSE(corvane->Ended());
  EXPECT_NE(window.Button(L"&Stop"), nullptr) << "the scan goes on";

  PostMessageW(window.main(), WM_CLOSE, 0, 0);
  question = window.Question();
  ASSERT_NE(question, nullptr);
  SendMessageW(FindDescendant(question, L"Button", L"Yes"), BM_CLICK, 0, 0);
  EXPECT_EQ(corvane->ExitCode(), 0u);
  for (const char* gone : {"\\Continue.dat", "\\FIS2.sns", "\\HKCU.sns"})
    EXPECT_FALSE(Exists(program_ + gone)) << gone;
  EXPECT_FALSE(RunValueExists());
}

TEST_F(CorvaneExeTest, AnApplicationChosenFromTheListIsUninstalledButForTheBranchLeftUnchecked) {
  for (const char* leg : {"One", "Two"}) {
    RunCli(L"run App" + ToWide(leg) + L" -- \"" + WindowsPath(CVN_TEST_SETUP_EXE) + L"\" \"" +
           ToWide(scratch_ + "\\" + leg) + L"\" \"" + ToWide(box_.key + "\\" + leg) + L"\"");
  }
  std::optional<Process> corvane;
  const Window window(StartWindow(corvane));
  ASSERT_NE(window.main(), nullptr);
  window.Click(L"&Uninstall or view changes of a monitored application");
  const HWND list = window.VisibleList();
  EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 2);
  EXPECT_FALSE(IsWindowEnabled(window.Button(L"&Next  >>"))) << "nothing is selected yet";
  // End, then Home: the first by name, AppOne, is selected. Sent, so that
  // Next is not pressed between the two.
  for (const UINT key : {VK_END, VK_HOME}) SendMessageW(list, WM_KEYDOWN, key, 0);
  ASSERT_TRUE(PumpMessagesUntil([&] { return IsWindowEnabled(window.Button(L"&Next  >>")); }));
  window.Click(L"&Next  >>");
  ASSERT_TRUE(window.StatusBecomes(L"Checked changes will be restored. Press <Next> to uninstall."));
  EXPECT_EQ(WindowTextOf(window.main()), L"Corvane [AppOne] - uninstalling");

  // The registry branch stays: the last row is the value, and a key that
  // still holds a value kept is kept too.
  window.Click(L"Expand all");
  const HWND tree = window.VisibleList();
  // Sent, not posted: each key is handled before the next.
  for (const UINT key : {VK_END, VK_SPACE}) SendMessageW(tree, WM_KEYDOWN, key, 0);
  window.ClickAndGoOn(L"&Next  >>");
  HWND question = nullptr;
  ASSERT_TRUE(PumpMessagesUntil([&] {
    question = FindWindowW(kMessageFormClassName, nullptr);
    return question != nullptr &&
           FindDescendant(question, L"Static", L"Are you sure you want to uninstall 'AppOne' ?");
  }));
  SendMessageW(FindDescendant(question, L"Button", L"Yes"), BM_CLICK, 0, 0);
  ASSERT_TRUE(window.StatusBecomes(L"Uninstall complete."));

  // The log shows each action with its result.
  const HWND log = testing::DescendantsOfClass(window.main(), L"RICHEDIT50W").empty()
                       ? testing::DescendantsOfClass(window.main(), L"RichEdit20W").front()
                       : testing::DescendantsOfClass(window.main(), L"RICHEDIT50W").front();
  std::wstring text(4096, L'\0');
  text.resize(static_cast<size_t>(
      SendMessageW(log, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()))));
  const std::string shown_log = platform::win32::ToUtf8(text);
  EXPECT_NE(text.find(L"DELETING FILE: " + ToWide(scratch_) + L"\\One\\App\\setup.txt ... Ok"),
            std::wstring::npos)
      << shown_log;
  EXPECT_FALSE(Exists(scratch_ + "\\One\\App"));
  EXPECT_TRUE(Exists(scratch_ + "\\Two\\App"));
  EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, ToWide(box_.key + "\\One").c_str(), L"Installed",
                         RRF_RT_REG_SZ, nullptr, nullptr, nullptr),
            ERROR_SUCCESS)
      << shown_log;

  window.Click(L"&Next  >>");
  ASSERT_TRUE(window.StatusBecomes(L"Choose the application identifier to uninstall or view."));
  window.Click(L"E&xit");
  EXPECT_EQ(corvane->ExitCode(), 0u);
  // One more use, and when.
  const std::string listed = RunCli(L"list");
  const size_t row = listed.find("AppOne\t");
  ASSERT_NE(row, std::string::npos) << listed;
  const std::string line = listed.substr(row, listed.find('\n', row) - row);
  EXPECT_TRUE(line.ends_with("\t1")) << line;
  EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 3);
  EXPECT_EQ(line.find("\t\t"), std::string::npos) << "a last-used date: " << line;
}

TEST_F(CorvaneExeTest, OptionsOkAppliesTheLanguageAtOnceAndCancelStoresNothing) {
  ASSERT_NO_FATAL_FAILURE(CopyTranslations());
  std::optional<Process> corvane;
  const Window window(StartWindow(corvane));
  ASSERT_NE(window.main(), nullptr);
  // Chooses `language` in the dialog and presses `button`.
  const auto options = [&](const wchar_t* options_caption, const wchar_t* language,
                           const wchar_t* button) {
    window.ClickAndGoOn(options_caption);
    HWND dialog = nullptr;
    ASSERT_TRUE(PumpMessagesUntil([&] {
      dialog = FindWindowW(L"TdlgCvnOptions", nullptr);
      return dialog != nullptr && IsWindowVisible(dialog);
    }));
    HWND languages = nullptr;
    for (const HWND combo : testing::DescendantsOfClass(dialog, WC_COMBOBOXW)) {
      if (SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                       reinterpret_cast<LPARAM>(L"German")) != CB_ERR)
        languages = combo;
    }
    ASSERT_NE(languages, nullptr);
    const LRESULT index = SendMessageW(languages, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                       reinterpret_cast<LPARAM>(language));
    SendMessageW(languages, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageW(GetParent(languages), WM_COMMAND,
                 MAKEWPARAM(GetDlgCtrlID(languages), CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(languages));
    const HWND pressed = FindDescendant(dialog, L"Button", button);
    ASSERT_NE(pressed, nullptr);
    SendMessageW(pressed, BM_CLICK, 0, 0);
    ASSERT_TRUE(PumpMessagesUntil([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); }));
  };
  ASSERT_NO_FATAL_FAILURE(options(L"&Options", L"German", L"&Ok"));
  EXPECT_TRUE(PumpMessagesUntil([&] { return window.Button(L"&Weiter  >>") != nullptr; }))
      << "the window is in German at once";
  settings::Settings stored;
  settings::LoadSettings(registry_, stored);
  EXPECT_EQ(stored.language, "German");

  // Cancel after a change keeps every stored value.
  ASSERT_NO_FATAL_FAILURE(options(L"&Optionen", L"French", L"&Abbrechen"));
  settings::Settings after;
  settings::LoadSettings(registry_, after);
  EXPECT_EQ(after.language, "German");
  EXPECT_NE(window.Button(L"&Weiter  >>"), nullptr);
  window.Click(L"&Beenden");
  EXPECT_EQ(corvane->ExitCode(), 0u);
}

TEST_F(CorvaneExeTest, ShiftF1ExplainsAControlAndF1WithoutAGuideSaysSoAndGoesOn) {
  ASSERT_NO_FATAL_FAILURE(CopyTranslations());  // the help texts are in them
  std::optional<Process> corvane;
  const Window window(StartWindow(corvane));
  ASSERT_NE(window.main(), nullptr);
  // What the message loop makes of Shift+F1 on the Next button, in front as
  // under the user's hands: a popup of a window in the background closes.
  SetForegroundWindow(window.main());
  ASSERT_TRUE(PumpMessagesUntil([&] { return GetForegroundWindow() == window.main(); }));
  SendMessageW(window.main(), ui::kHelpKeyMessage, 1,
               reinterpret_cast<LPARAM>(window.Button(L"&Next  >>")));
  HWND popup = nullptr;
  ASSERT_TRUE(PumpMessagesUntil([&] {
    popup = FindWindowW(L"CvnHelpPopup", nullptr);
    return popup != nullptr && IsWindowVisible(popup);
  }));
  EXPECT_TRUE(WindowTextOf(popup).starts_with(L"Goes on to the next step")) << WindowTextOf(popup);
  // F1 as the user presses it, in the identifier's edit; no guide was copied.
  PostMessageW(window.Edit(0), WM_KEYDOWN, VK_F1, 1);
  EXPECT_TRUE(window.StatusBecomes(L"The user guide is missing: " + ToWide(program_) +
                                   L"\\corvane_en.html"));
  window.Click(L"E&xit");
  EXPECT_EQ(corvane->ExitCode(), 0u);
}

TEST_F(CorvaneExeTest, ASecondStartBringsTheFirstWindowBack) {
  std::optional<Process> first;
  const HWND main_window = StartWindow(first);
  ASSERT_NE(main_window, nullptr);
  ShowWindow(main_window, SW_MINIMIZE);
  ASSERT_TRUE(PumpMessagesUntil([&] { return IsIconic(main_window) != 0; }));
  {
    Process second(ToWide(program_ + "\\corvane.exe"));
    EXPECT_EQ(second.ExitCode(), 0u);
  }
  EXPECT_TRUE(PumpMessagesUntil([&] { return !IsIconic(main_window); }));
  EXPECT_EQ(MainWindowsOf(0).size(), 1u);
  EXPECT_FALSE(first->Ended());
  Window(main_window).Click(L"E&xit");
  EXPECT_EQ(first->ExitCode(), 0u);
}

}  // namespace
}  // namespace cvn::ui

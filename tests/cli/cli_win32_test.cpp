// corvane-cli.exe under Wine, as a script would use it: `run` around a small
// setup program whose work is done by a second process finds exactly what it
// did, `show` prints it, `uninstall --yes` undoes it, and wrong usage ends
// with exit code 2. Standard error is text, so its lines end with CR LF;
// standard output carries the export's own CR LF, not doubled. The program
// runs from a folder of its own, where its snapshots, archives and log stay.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "platform/win32/wide_text.h"
#include "platform/win32/win32_filesystem.h"
#include "platform/win32/win32_registry.h"
#include "settings/settings.h"
#include "tests/support/platform_win32_sandbox.h"

namespace {

using cvn::platform::win32::ToUtf8;
using cvn::platform::win32::ToWide;

// A path of the build machine as Wine sees it.
std::wstring HostPath(const char* path) {
  std::wstring wide = L"Z:" + ToWide(path);
  std::replace(wide.begin(), wide.end(), L'/', L'\\');
  return wide;
}

struct Result {
  DWORD code = 0xFFFFFFFF;
  std::string out, err;
};

class CliWin32Test : public ::testing::Test {
 protected:
  void SetUp() override {
    // The settings of the window program are the command's too; they come
    // back as they were at the end.
    cvn::settings::LoadSettings(registry_, saved_);
    cvn::settings::Settings settings;
    settings.scan_hkcr = settings.scan_hklm = false;
    settings.scan_windows_folder = settings.scan_program_files = settings.scan_system_partition =
        settings.use_recycle_bin = false;
    settings.scan_other_folders = true;
    settings.other_folders = scratch_;
    ASSERT_TRUE(cvn::settings::SaveSettings(registry_, settings));
    for (const std::string& folder : {program_, scratch_})
      ASSERT_TRUE(fs_.CreateFolder(folder).ok());
    // A target folder that holds something before the installation.
    ASSERT_TRUE(fs_.WriteFile(scratch_ + "\\before.txt", {}).ok());
    ASSERT_TRUE(CopyFileW(HostPath(CVN_CLI_EXE).c_str(),
                          ToWide(program_ + "\\corvane-cli.exe").c_str(), FALSE));
  }
  void TearDown() override { cvn::settings::SaveSettings(registry_, saved_); }

  bool Exists(const std::string& path) { return fs_.GetAttributes(path).has_value(); }

  // Runs the sandbox's corvane-cli.exe with `args`, its output in files.
  Result RunCli(const std::wstring& args) {
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    const std::string paths[] = {box_.folder + "\\out.txt", box_.folder + "\\err.txt"};
    HANDLE files[2];
    for (int i = 0; i < 2; ++i)
      files[i] = CreateFileW(ToWide(paths[i]).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                             CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = files[0];
    startup.hStdError = files[1];
    std::wstring line = L"\"" + ToWide(program_) + L"\\corvane-cli.exe\" " + args;
    PROCESS_INFORMATION process = {};
    Result result;
    if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                       &process)) {
      WaitForSingleObject(process.hProcess, INFINITE);
      GetExitCodeProcess(process.hProcess, &result.code);
      CloseHandle(process.hThread);
      CloseHandle(process.hProcess);
    }
    std::string* texts[] = {&result.out, &result.err};
    for (int i = 0; i < 2; ++i) {
      CloseHandle(files[i]);
      std::vector<uint8_t> data;
      fs_.ReadFile(paths[i], &data);
      texts[i]->assign(data.begin(), data.end());
    }
    return result;
  }

  cvn::test::Win32Sandbox box_;  // the setup's key goes below its key
  const std::string program_ = box_.folder + "\\Program", scratch_ = box_.folder + "\\Scratch";
  cvn::platform::win32::Win32Registry registry_;
  cvn::platform::win32::Win32FileSystem fs_;
  cvn::settings::Settings saved_;
};

TEST_F(CliWin32Test, RunShowAndUninstallASetupProgramAndRefuseWrongUsage) {
  const std::string key = box_.key + "\\Cli";
  Result run = RunCli(L"run CliE2E -- \"" + HostPath(CVN_TEST_SETUP_EXE) + L"\" \"" +
                      ToWide(scratch_) + L"\" \"" + ToWide(key) + L"\"");
  ASSERT_EQ(run.code, 0u) << run.err;
  EXPECT_EQ(run.out,
            "CliE2E: 1 keys created, 1 values created, 1 folders created, 1 files created\n");
  // Nothing but, on a busy machine, the notice that the setup's child is
  // still being waited for.
  std::istringstream lines(run.err);
  for (std::string text; std::getline(lines, text);) {
    EXPECT_TRUE(text.starts_with("corvane-cli: the setup program has ended; waiting for") ||
                text.starts_with("corvane-cli: press Ctrl+C to stop waiting"))
        << run.err;
  }
  ASSERT_TRUE(Exists(program_ + "\\CliE2E.cvn"));

  Result show = RunCli(L"show CliE2E");
  ASSERT_EQ(show.code, 0u) << show.err;
  EXPECT_TRUE(show.out.ends_with("(+)(REG KEY) HKEY_CURRENT_USER\\" + key +
                                 "\r\n      (+)(REG VAL) Installed = 'yes'\r\n"))
      << show.out;

  Result uninstall = RunCli(L"uninstall CliE2E --yes");
  EXPECT_EQ(uninstall.code, 0u) << uninstall.out << uninstall.err;
  EXPECT_NE(uninstall.out.find("Uninstall complete without errors"), std::string::npos)
      << uninstall.out;
  std::unique_ptr<cvn::platform::RegKey> opened;
  EXPECT_FALSE(registry_
                   .OpenKey(cvn::platform::RootKey::kCurrentUser, key,
                            cvn::platform::KeyAccess::kRead, &opened)
                   .ok());
  EXPECT_FALSE(Exists(scratch_ + "\\App"));
  EXPECT_TRUE(Exists(scratch_ + "\\before.txt"));
  EXPECT_TRUE(Exists(program_ + "\\Log.txt"));

  Result wrong = RunCli(L"bogus");
  EXPECT_EQ(wrong.code, 2u);
  EXPECT_EQ(wrong.err, "corvane-cli: unknown command 'bogus' (try --help)\r\n");
}

// A process the setup program leaves running is named, and --timeout ends
// the wait for it; the monitoring then finishes as usual.
TEST_F(CliWin32Test, ATimeLimitEndsTheWaitForWhatTheSetupLeftRunning) {
  HANDLE release = CreateEventW(nullptr, TRUE, FALSE, L"CorvaneTestLinger");
  const ULONGLONG started = GetTickCount64();
  Result run = RunCli(L"run Linger --timeout 10 -- \"" + HostPath(CVN_TEST_SETUP_EXE) + L"\" \"" +
                      ToWide(scratch_) + L"\" \"" + ToWide(box_.key + "\\Cli") + L"\" linger");
  const ULONGLONG waited = GetTickCount64() - started;
  SetEvent(release);
  CloseHandle(release);
  ASSERT_EQ(run.code, 0u) << run.err;
  EXPECT_EQ(run.out,
            "Linger: 1 keys created, 1 values created, 1 folders created, 1 files created\n");
  EXPECT_NE(run.err.find("the setup program has ended; waiting for what it started: "
                         "cli_test_setup.exe ("),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("stopped waiting; still running: cli_test_setup.exe ("), std::string::npos)
      << run.err;
  EXPECT_GE(waited, 10000u);
}

}  // namespace

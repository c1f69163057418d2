// corvane-cli.exe under Wine, as a script would use it: `run` around a small
// setup program finds exactly what it did, `show` prints it, `list` counts
// the uses, `uninstall --yes` undoes it; a missing or damaged archive ends
// with exit code 3 and wrong usage with 2. Standard error is text, so its
// lines end with CR LF; standard output carries the export's own CR LF. The program runs from a folder of
// its own, so its snapshots and archives stay in the sandbox.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32/wide_text.h"
#include "platform/win32/win32_registry.h"
#include "settings/settings.h"

namespace {

using cvn::platform::win32::ToUtf8;
using cvn::platform::win32::ToWide;

constexpr wchar_t kSandbox[] = L"C:\\CvnCliTest";
constexpr wchar_t kProgramFolder[] = L"C:\\CvnCliTest\\Program";
constexpr wchar_t kScratch[] = L"C:\\CvnCliTest\\Scratch";
constexpr wchar_t kTestKey[] = L"Software\\CorvaneTest\\Cli";

// A path of the build machine as Wine sees it.
std::wstring HostPath(const char* path) {
  std::wstring wide = L"Z:" + ToWide(path);
  for (wchar_t& c : wide)
    if (c == L'/') c = L'\\';
  return wide;
}

void RemoveTree(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = folder + L"\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path);
      } else {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
      }
    } while (FindNextFileW(find, &found));
    FindClose(find);
  }
  RemoveDirectoryW(folder.c_str());
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool KeyExists(const wchar_t* path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

std::string ReadWholeFile(const std::wstring& path) {
  std::string text;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return text;
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) text.append(buffer, read);
  CloseHandle(file);
  return text;
}

struct Result {
  DWORD code = 0xFFFFFFFF;
  std::string out;
  std::string err;
};

// Runs the sandbox's corvane-cli.exe with `args`, its output in files.
Result RunCli(const std::wstring& args) {
  SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
  const std::wstring out_path = std::wstring(kSandbox) + L"\\out.txt";
  const std::wstring err_path = std::wstring(kSandbox) + L"\\err.txt";
  HANDLE out = CreateFileW(out_path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
  HANDLE err = CreateFileW(err_path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = out;
  startup.hStdError = err;
  std::wstring line = L"\"" + std::wstring(kProgramFolder) + L"\\corvane-cli.exe\" " + args;
  PROCESS_INFORMATION process = {};
  Result result;
  if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                     &process)) {
    WaitForSingleObject(process.hProcess, INFINITE);
    GetExitCodeProcess(process.hProcess, &result.code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  CloseHandle(out);
  CloseHandle(err);
  result.out = ReadWholeFile(out_path);
  result.err = ReadWholeFile(err_path);
  return result;
}

class CliWin32Test : public ::testing::Test {
 protected:
  void SetUp() override {
    // The settings of the window program are the command's too; they come
    // back as they were at the end.
    cvn::settings::LoadSettings(registry_, saved_);
    cvn::settings::Settings settings;
    settings.ScanHKCR = false;
    settings.ScanHKLM = false;
    settings.ScanHKCU = true;
    settings.ScanHKUS = false;
    settings.ScanHKCC = false;
    settings.ScanWin = false;
    settings.ScanProg = false;
    settings.ScanEntire = false;
    settings.ScanOthers = true;
    settings.ScanOtherPaths = ToUtf8(kScratch);
    settings.UseRecycled = false;
    ASSERT_TRUE(cvn::settings::SaveSettings(registry_, settings));

    RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey);
    HKEY parent = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\CorvaneTest", 0, nullptr, 0, KEY_READ,
                              nullptr, &parent, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(parent);
    RemoveTree(kSandbox);
    ASSERT_TRUE(CreateDirectoryW(kSandbox, nullptr));
    ASSERT_TRUE(CreateDirectoryW(kProgramFolder, nullptr));
    ASSERT_TRUE(CreateDirectoryW(kScratch, nullptr));
    // A target folder that holds something before the installation.
    HANDLE file = CreateFileW((std::wstring(kScratch) + L"\\before.txt").c_str(), GENERIC_WRITE, 0,
                              nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    ASSERT_TRUE(CopyFileW(HostPath(CVN_CLI_EXE).c_str(),
                          (std::wstring(kProgramFolder) + L"\\corvane-cli.exe").c_str(), FALSE));
  }
  void TearDown() override {
    cvn::settings::SaveSettings(registry_, saved_);
    RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey);
    RemoveTree(kSandbox);
  }

  cvn::platform::win32::Win32Registry registry_;
  cvn::settings::Settings saved_;
};

TEST_F(CliWin32Test, RunShowListAndUninstallASetupProgram) {
  const std::wstring setup = L"\"" + HostPath(CVN_TEST_SETUP_EXE) + L"\" \"" + kScratch + L"\" Cli";
  Result run = RunCli(L"run CliE2E -- " + setup);
  ASSERT_EQ(run.code, 0u) << run.err;
  EXPECT_EQ(run.out, "CliE2E: 1 keys created, 1 values created, 1 folders created, 1 files created\n");
  EXPECT_EQ(run.err, "");
  EXPECT_FALSE(Exists(std::wstring(kProgramFolder) + L"\\Continue.dat"));
  ASSERT_TRUE(Exists(std::wstring(kProgramFolder) + L"\\CliE2E.cvn"));

  Result show = RunCli(L"show CliE2E");
  ASSERT_EQ(show.code, 0u) << show.err;
  const std::string& text = show.out;
  EXPECT_EQ(text.rfind("'CliE2E' changes\r\nCorvane,    ", 0), 0u) << text;
  const std::string file_part =
      "\r\n  File System\r\n  ===============\r\n"
      "    (+)(FOLDER) C:\\CvnCliTest\\Scratch\\App\r\n"
      "      (+)(FILE) setup.txt = ";
  EXPECT_NE(text.find(file_part), std::string::npos) << text;
  EXPECT_NE(text.find(" 9 bytes\r\n\r\n  Registry\r\n  ===============\r\n"
                      "    (+)(REG KEY) HKEY_CURRENT_USER\\Software\\CorvaneTest\\Cli\r\n"
                      "      (+)(REG VAL) Installed = 'yes'\r\n"),
            std::string::npos)
      << text;
  EXPECT_TRUE(text.ends_with("(+)(REG VAL) Installed = 'yes'\r\n")) << text;

  Result before = RunCli(L"list");
  ASSERT_EQ(before.code, 0u) << before.err;
  EXPECT_NE(before.out.find("\t\t0\n"), std::string::npos) << before.out;

  Result uninstall = RunCli(L"uninstall CliE2E --yes");
  EXPECT_EQ(uninstall.code, 0u) << uninstall.out << uninstall.err;
  EXPECT_NE(uninstall.out.find("Uninstall complete without errors"), std::string::npos) << uninstall.out;
  EXPECT_FALSE(KeyExists(kTestKey));
  EXPECT_FALSE(Exists(std::wstring(kScratch) + L"\\App\\setup.txt"));
  EXPECT_FALSE(Exists(std::wstring(kScratch) + L"\\App"));
  EXPECT_TRUE(Exists(std::wstring(kScratch) + L"\\before.txt"));
  EXPECT_TRUE(Exists(std::wstring(kProgramFolder) + L"\\Log.txt"));

  Result after = RunCli(L"list");
  ASSERT_EQ(after.code, 0u) << after.err;
  const size_t row = after.out.find("CliE2E\t");
  ASSERT_NE(row, std::string::npos) << after.out;
  const std::string line = after.out.substr(row, after.out.find('\n', row) - row);
  EXPECT_TRUE(line.ends_with("\t1")) << line;
  EXPECT_EQ(line.find("\t\t"), std::string::npos) << "last used is set: " << line;
}

TEST_F(CliWin32Test, MissingOrDamagedArchiveEndsWithThree) {
  Result missing = RunCli(L"show Nothing");
  EXPECT_EQ(missing.code, 3u);
  EXPECT_EQ(missing.out, "");
  EXPECT_EQ(missing.err, "corvane-cli: C:\\CvnCliTest\\Program\\Nothing.cvn does not exist\r\n");

  HANDLE file = CreateFileW((std::wstring(kProgramFolder) + L"\\Bad.cvn").c_str(), GENERIC_WRITE, 0,
                            nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(file, "not an archive", 14, &written, nullptr);
  CloseHandle(file);
  Result damaged = RunCli(L"show Bad");
  EXPECT_EQ(damaged.code, 3u);
  EXPECT_EQ(damaged.err, "corvane-cli: C:\\CvnCliTest\\Program\\Bad.cvn: Invalid file format !\r\n");
  EXPECT_EQ(RunCli(L"uninstall Bad --yes").code, 3u);
  EXPECT_EQ(RunCli(L"finish").code, 3u);
}

TEST_F(CliWin32Test, WrongUsageEndsWithTwo) {
  Result wrong = RunCli(L"bogus");
  EXPECT_EQ(wrong.code, 2u);
  EXPECT_EQ(wrong.err, "corvane-cli: unknown command 'bogus' (try --help)\r\n");
  Result help = RunCli(L"--help");
  EXPECT_EQ(help.code, 0u);
  EXPECT_NE(help.out.find("uninstall ID"), std::string::npos);
}

}  // namespace

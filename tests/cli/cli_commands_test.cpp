// corvane-cli's commands on the in-memory platform: argument parsing and its
// usage errors, a monitoring from start to finish, list, show, uninstall and
// the exit codes of a missing or damaged archive and of a missing monitoring.
#include "cli/cli_commands.h"

#include <gtest/gtest.h>

#include <sstream>

#include "changes/changes_archive.h"
#include "platform/memory/memory_filesystem.h"
#include "platform/memory/memory_registry.h"
#include "platform/memory/memory_shell.h"
#include "settings/settings.h"
#include "tests/support/bytes.h"
#include "tests/support/fixed_clock.h"
#include "uninstall/uninstall_backup.h"

namespace cvn::cli {
namespace {

using cvn::test::Bytes;

constexpr char kTestKey[] = "Software\\CorvaneTest\\Cli";
const std::string kCvn = "C:\\Cvn\\", kMon = "C:\\Scratch\\Mon\\";

// The arguments of a command line split at its spaces.
std::vector<std::string> Args(std::string_view line) {
  std::vector<std::string> out;
  for (size_t at = 0; at < line.size();) {
    const size_t end = std::min(line.find(' ', at), line.size());
    out.emplace_back(line.substr(at, end - at));
    at = end + 1;
  }
  return out;
}

// The other commands and options are parsed by the runs below.
TEST(ParseArgumentsTest, OptionsLandInTheirFields) {
  const Options show = ParseArguments(Args("show App --hex --output out.txt")).options.value();
  EXPECT_TRUE(show.command == Command::kShow && show.hex && show.output == "out.txt");
  EXPECT_EQ(show.identifier, "App");
  const Options run = ParseArguments(Args("run App -- setup.exe /S --hex")).options.value();
  EXPECT_EQ(run.setup, Args("setup.exe /S --hex"));  // not options of the command
  EXPECT_FALSE(run.hex);
  const Options wait =
      ParseArguments(Args("run App --targets hklm,C:\\X --wait setup --timeout 30 -- s.exe"))
          .options.value();
  EXPECT_TRUE(wait.wait.mode == WaitMode::kSetup && wait.wait.timeout_seconds == 30);
  EXPECT_EQ(wait.targets, "hklm,C:\\X");
  EXPECT_EQ(wait.setup, Args("s.exe"));
  EXPECT_TRUE(ParseArguments(Args("run App -- s.exe")).options->wait.mode == WaitMode::kTree);
  const Options un =
      ParseArguments(Args("uninstall App --yes --shared no --verbose")).options.value();
  EXPECT_TRUE(un.yes && un.verbose && un.shared == SharedAnswer::kNo);
  EXPECT_EQ(ParseArguments(Args("uninstall App")).options.value().shared, SharedAnswer::kAsk);
  const Options dry = ParseArguments(Args("uninstall App --dry-run --delete-changed")).options.value();
  EXPECT_TRUE(dry.dry_run && dry.delete_changed);
  const Options back = ParseArguments(Args("resume App --rollback")).options.value();
  EXPECT_TRUE(back.command == Command::kResume && back.resume == ResumeMode::kRollback);
  EXPECT_EQ(ParseArguments(Args("restore App")).options.value().command, Command::kRestore);
  EXPECT_TRUE(ParseArguments(Args("finish --no-bulk")).options.value().no_bulk);
  EXPECT_TRUE(ParseArguments(Args("run App --no-bulk -- s.exe")).options.value().no_bulk);
  EXPECT_FALSE(ParseArguments(Args("start App")).options.value().no_bulk);
}

TEST(ParseArgumentsTest, WrongUsageIsRefusedWithOneLine) {
  for (const char* line : {"",
                           "bogus",
                           "start --hex",
                           "show a\\b",
                           "show App --output",
                           "show App --verbose",
                           "finish extra",
                           "run App setup.exe",
                           "run App --",
                           "uninstall",
                           "uninstall App --shared maybe",
                           "run App --wait all -- s",
                           "run App --timeout 0 -- s",
                           "run App --timeout 1e3 -- s",
                           "run App --wait setup",
                           "start App --targets",
                           "start App --targets HKXX",
                           "start App --targets C:\\A;D:\\B",
                           "start App --targets HKLM,,HKCU",
                           "show App --targets HKLM",
                           "resume App",
                           "resume App --finish --rollback",
                           "restore App --dry-run",
                           "uninstall App --no-bulk"}) {
    const ParseResult result = ParseArguments(Args(line));
    EXPECT_FALSE(result.options) << line;
    EXPECT_FALSE(result.error.empty());
    EXPECT_EQ(result.error.find('\n'), std::string::npos);
  }
}

TEST(NextWaitStepTest, CtrlCCancelsWhileTheSetupRunsAndEndsTheWaitOnceOnlyOthersRemain) {
  const SetupWait tree{WaitMode::kTree, 0}, setup{WaitMode::kSetup, 0};
  const struct {
    const SetupWait& wait;
    bool setup_running;
    size_t others;
    bool interrupted, timed_out;
    WaitStep step;
  } kRows[] = {
      {tree, true, 0, false, false, WaitStep::kWait},
      {tree, false, 2, false, false, WaitStep::kWait},
      {tree, false, 0, false, false, WaitStep::kDone},
      {setup, false, 2, false, false, WaitStep::kDone},
      {setup, true, 0, false, false, WaitStep::kWait},
      {tree, true, 1, true, false, WaitStep::kCancel},
      {tree, false, 1, true, false, WaitStep::kStopWaiting},
      {tree, true, 1, false, true, WaitStep::kStopWaiting},
      {tree, false, 0, false, true, WaitStep::kDone},
  };
  for (const auto& r : kRows)
    EXPECT_EQ(NextWaitStep(r.wait, r.setup_running, r.others, r.interrupted, r.timed_out), r.step)
        << &r - kRows;
}

// Dates in a fixed form, whatever the machine's locale.
const platform::PatternDateTimeFormat kDates({":", "/"});

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fs_.CreateFolders("C:\\Scratch\\Mon").ok() && fs_.CreateFolders("C:\\Cvn").ok());
    settings::Settings s;
    s.scan_hkcr = s.scan_hklm = s.scan_windows_folder = s.scan_program_files =
        s.scan_system_partition = false;
    s.scan_hkcu = s.scan_other_folders = true;
    s.other_folders = "C:\\Scratch\\Mon";
    ASSERT_TRUE(settings::SaveSettings(registry_, s));
    // The scan target and the test's parent key hold something before.
    Write(kMon + "old.txt", "old");
    ASSERT_TRUE(Key(platform::RootKey::kCurrentUser, "Software\\CorvaneTest"));
  }

  std::unique_ptr<platform::RegKey> Key(platform::RootKey root, std::string_view path) {
    std::unique_ptr<platform::RegKey> key;
    EXPECT_TRUE(registry_.CreateKey(root, path, platform::KeyAccess::kReadWrite, &key).ok())
        << path;
    return key;
  }
  void Write(const std::string& path, std::string_view text) {
    ASSERT_TRUE(fs_.WriteFile(path, Bytes(text)).ok()) << path;
  }
  std::string Read(const std::string& path) {
    std::vector<uint8_t> data;
    EXPECT_TRUE(fs_.ReadFile(path, &data).ok()) << path;
    return {data.begin(), data.end()};
  }

  ExitCode Run(std::string_view line) {
    out_.str("");
    err_.str("");
    const ParseResult parsed = ParseArguments(Args(line));
    if (!parsed.options) return ExitCode::kUsage;
    Environment env{fs_,   registry_, shell_, clock_, "C:\\Cvn", "C:\\Windows", out_, err_,
                    false, {},        {},     {},     {}};
    env.date_format = &kDates;
    env.interrupted = [this] { return interrupt_; };
    env.confirm = [this](const std::string& question) {
      questions_.push_back(question);
      return false;
    };
    env.run_setup = [this](const std::vector<std::string>& command, const SetupWait& wait) {
      setup_command_ = command;
      setup_wait_ = wait;
      Install();
      return setup_outcome_;
    };
    return Execute(*parsed.options, env);
  }

  // What the test's setup program does.
  void Install() {
    ASSERT_TRUE(registry_
                    .SetValue(*Key(platform::RootKey::kCurrentUser, kTestKey), "Name", 1,
                              Bytes(std::string_view("it's\0", 5)))
                    .ok());
    ASSERT_TRUE(fs_.CreateFolders(kMon + "App").ok());
    Write(kMon + "App\\app.txt", "hello");
  }

  platform::MemoryRegistry registry_;
  platform::MemoryFileSystem fs_;
  platform::MemoryShell shell_{fs_};
  cvn::test::FixedClock clock_{changes::MakeDateTime(2026, 12, 6, 10, 0, 0)};
  std::vector<std::string> questions_;
  bool interrupt_ = false;
  std::ostringstream out_, err_;
  std::vector<std::string> setup_command_;
  SetupWait setup_wait_;
  SetupOutcome setup_outcome_ = SetupOutcome::kEnded;
};

TEST_F(CliTest, StartThenFinishSavesTheArchiveAndShowPrintsIt) {
  ASSERT_EQ(Run("start App"), ExitCode::kOk) << err_.str();
  EXPECT_EQ(Read(kCvn + "Continue.dat"), "App\r\n");
  Install();
  ASSERT_EQ(Run("finish"), ExitCode::kOk) << err_.str();
  EXPECT_EQ(out_.str(),
            "App: 1 keys created, 1 values created, 1 folders created, 1 files created\n");
  for (const char* gone : {"Continue.dat", "HKCU.sns", "FIS1.sns"})
    EXPECT_FALSE(fs_.Exists(kCvn + gone)) << gone;
  EXPECT_TRUE(fs_.Exists(kCvn + "App.cvn"));

  ASSERT_EQ(Run("show App"), ExitCode::kOk) << err_.str();
  const std::string text = out_.str();
  EXPECT_EQ(
      text.rfind("'App' changes\r\nCorvane,    06/12/2026 10:00:00\r\n\r\nMy Computer\r\n", 0), 0u)
      << text;
  ASSERT_EQ(Run("show App --output C:\\Cvn\\App.txt"), ExitCode::kOk) << err_.str();
  EXPECT_EQ(Read("C:\\Cvn\\App.txt"), text);
  EXPECT_EQ(out_.str(), "");
}

TEST_F(CliTest, MissingOrInvalidDataExitsWithThree) {
  const struct {
    const char* line;
    const char* continue_file;  // null: none
    const char* archive;        // written as Bad.cvn, when not null
    std::string error;          // a part of the message
  } kCases[] = {
      {"finish", nullptr, nullptr, "no monitoring is pending"},
      {"finish", "", nullptr, "Invalid file format !"},
      {"finish", "App\r\n", nullptr, "the second scan failed"},
      {"show Nothing", nullptr, nullptr, "cli: C:\\Cvn\\Nothing.cvn does not exist\n"},
      {"show Bad", nullptr, "\1\2\3", "cli: C:\\Cvn\\Bad.cvn: Invalid file format !\n"},
      {"uninstall Bad --yes", nullptr, "", "Bad.cvn: Invalid file format !\n"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.line);
    fs_.DeleteFile(kCvn + "Continue.dat");
    if (c.continue_file) Write(kCvn + "Continue.dat", c.continue_file);
    if (c.archive) Write(kCvn + "Bad.cvn", c.archive);
    EXPECT_EQ(Run(c.line), ExitCode::kInvalidData);
    EXPECT_NE(err_.str().find(c.error), std::string::npos) << err_.str();
    EXPECT_EQ(out_.str(), "");
  }
}

TEST_F(CliTest, RunThenUninstallAsksFirstUndoesTheChangesAndListCountsTheUse) {
  ASSERT_EQ(Run("run App -- setup.exe /quiet"), ExitCode::kOk) << err_.str();
  EXPECT_EQ(setup_command_, (std::vector<std::string>{"setup.exe", "/quiet"}));
  EXPECT_FALSE(fs_.Exists(kCvn + "Continue.dat"));
  EXPECT_EQ(Run("uninstall App"), ExitCode::kOk);
  EXPECT_EQ(questions_, (std::vector<std::string>{"Are you sure you want to uninstall 'App' ?"}));
  EXPECT_NE(err_.str().find("nothing was changed"), std::string::npos);
  ASSERT_TRUE(fs_.Exists(kMon + "App\\app.txt"));
  clock_.Set(changes::MakeDateTime(2026, 12, 7, 8, 30, 0));
  ASSERT_EQ(Run("uninstall App --yes"), ExitCode::kOk) << err_.str();
  EXPECT_EQ(questions_.size(), 1u);
  EXPECT_NE(Read(kCvn + "Log.txt").find("Uninstall complete without errors\r\n"),
            std::string::npos);
  Write(kCvn + "Broken.cvn", "\t\t");
  ASSERT_EQ(Run("list"), ExitCode::kOk) << err_.str();
  EXPECT_EQ(out_.str(),
            "Name\tCreated\tLast used\tUses\n"
            "App\t06/12/2026 10:00:00\t07/12/2026 08:30:00\t1\nBroken\tdamaged\t\t\n");
}

// Targets given to start are the first scan's and, through the continuation
// file, the second's; the stored ones stay as they were.
TEST_F(CliTest, TargetsOfOneMonitoringReachTheSecondScanWithoutChangingTheSettings) {
  ASSERT_EQ(Run("start App --targets HKLM,hkcu,C:\\Scratch"), ExitCode::kOk) << err_.str();
  EXPECT_EQ(Read(kCvn + "Continue.dat"), "App\r\nTargets=HKLM,hkcu,C:\\Scratch\r\n");
  Install();
  ASSERT_TRUE(Key(platform::RootKey::kLocalMachine, "Software\\Vendor"));
  Write("C:\\Scratch\\top.txt", "t");
  ASSERT_EQ(Run("finish"), ExitCode::kOk) << err_.str();
  EXPECT_EQ(out_.str(),
            "App: 3 keys created, 1 values created, 1 folders created, 2 files created\n");
  settings::Settings stored;
  settings::LoadSettings(registry_, stored);
  EXPECT_TRUE(!stored.scan_hklm && stored.other_folders == "C:\\Scratch\\Mon");
  // A damaged target list ends the finish like a damaged file.
  ASSERT_EQ(Run("start App"), ExitCode::kOk) << err_.str();
  Write(kCvn + "Continue.dat", "App\r\nTargets=HKLM,,\r\n");
  EXPECT_EQ(Run("finish"), ExitCode::kInvalidData);
}

// The wait's end decides: a cancel keeps the monitoring pending, a stopped
// wait goes on to the second scan.
TEST_F(CliTest, RunFinishesUnlessTheWaitWasCancelledOrTheSetupNeverStarted) {
  const struct {
    SetupOutcome outcome;
    ExitCode code;
    bool pending;
  } kRows[] = {
      {SetupOutcome::kStoppedWaiting, ExitCode::kOk, false},
      {SetupOutcome::kCancelled, ExitCode::kStopped, true},
      {SetupOutcome::kNotStarted, ExitCode::kUsage, true},
  };
  for (const auto& r : kRows) {
    setup_outcome_ = r.outcome;
    EXPECT_EQ(Run("run App --timeout 5 -- setup.exe"), r.code) << err_.str();
    EXPECT_EQ(setup_wait_.timeout_seconds, 5);
    EXPECT_EQ(fs_.Exists(kCvn + "Continue.dat"), r.pending);
    EXPECT_EQ(fs_.Exists(kCvn + "App.cvn"), !r.pending);
    fs_.DeleteFile(kCvn + "App.cvn");
  }
}

// The dry run lists what the uninstall then does and changes nothing; the
// uninstall keeps the edited file; restore puts the rest back.
TEST_F(CliTest, DryRunUninstallAndRestore) {
  ASSERT_EQ(Run("run App -- setup.exe"), ExitCode::kOk) << err_.str();
  Write(kMon + "App\\more.txt", "m");  // made after the monitoring: not the installation's
  Write(kMon + "App\\app.txt", "edited");
  ASSERT_EQ(Run("uninstall App --dry-run"), ExitCode::kOk) << err_.str();
  const std::string planned = out_.str();
  EXPECT_EQ(planned,
            "DELETING REGISTRY VALUE: HKEY_CURRENT_USER\\Software\\CorvaneTest\\Cli\\Name\n"
            "DELETING REGISTRY KEY: HKEY_CURRENT_USER\\Software\\CorvaneTest\\Cli\n"
            "DELETING FILE: C:\\Scratch\\Mon\\App\\app.txt\n"
            "DELETING FOLDER: C:\\Scratch\\Mon\\App\n");
  EXPECT_TRUE(questions_.empty());
  ASSERT_EQ(Run("uninstall App --yes --verbose"), ExitCode::kOk) << err_.str();
  EXPECT_NE(out_.str().find("app.txt ... KEPT (changed since installation)\n"), std::string::npos);
  EXPECT_EQ(Read(kMon + "App\\app.txt"), "edited");
  EXPECT_EQ(Run("restore App"), ExitCode::kOk) << err_.str();
  EXPECT_EQ(out_.str(), "App: put back\n");
  EXPECT_EQ(Run("restore App"), ExitCode::kInvalidData);
  EXPECT_EQ(Run("resume App --finish"), ExitCode::kInvalidData);
}

// An uninstall cut short is named by every command until resume rolls it
// back (or finishes it).
TEST_F(CliTest, AnInterruptedUninstallIsNamedUntilResumed) {
  Write(kMon + "gone.txt", "g");
  auto backup = uninstall::UninstallBackup::Create(fs_, "C:\\Cvn", "App", clock_.Now());
  uint32_t number = 0;
  ASSERT_TRUE(backup->SaveFile(kMon + "gone.txt", 0x20, false, &number).ok());
  backup.reset();  // the crash: no "end"
  ASSERT_EQ(Run("list"), ExitCode::kOk);
  EXPECT_EQ(err_.str(),
            "corvane-cli: the uninstall of App was interrupted; finish it with 'resume App "
            "--finish' or put back what it did with 'resume App --rollback'\n");
  EXPECT_EQ(Run("resume App --rollback"), ExitCode::kOk) << err_.str();
  EXPECT_EQ(Read(kMon + "gone.txt"), "g");
  EXPECT_EQ(Run("list"), ExitCode::kOk);
  EXPECT_EQ(err_.str(), "");
}

TEST_F(CliTest, UninstallWithAnErrorExitsWithOne) {
  ASSERT_EQ(Run("run App -- setup.exe"), ExitCode::kOk) << err_.str();
  fs_.LockFile(kMon + "App\\app.txt");
  EXPECT_EQ(Run("uninstall App --yes --verbose"), ExitCode::kUninstallErrors);
  EXPECT_EQ(out_.str().find("Uninstall complete without errors"), std::string::npos) << out_.str();
  // --verbose shows the successes too.
  EXPECT_NE(out_.str().find("Ok"), std::string::npos) << out_.str();
}

TEST_F(CliTest, CtrlCStopsEitherScanAndAFinishWithoutChangesSavesNoArchive) {
  interrupt_ = true;
  EXPECT_EQ(Run("start App"), ExitCode::kStopped);
  for (const char* gone : {"Continue.dat", "HKCU.sns", "FIS2.sns"})
    EXPECT_FALSE(fs_.Exists(kCvn + gone)) << gone;
  interrupt_ = false;
  ASSERT_EQ(Run("start App"), ExitCode::kOk) << err_.str();
  Install();
  interrupt_ = true;
  EXPECT_EQ(Run("finish"), ExitCode::kStopped);
  EXPECT_FALSE(fs_.Exists(kCvn + "Continue.dat"));
  EXPECT_FALSE(fs_.Exists(kCvn + "App.cvn"));
  // Nothing changed since the start: no archive.
  interrupt_ = false;
  ASSERT_EQ(Run("start Quiet"), ExitCode::kOk) << err_.str();
  ASSERT_EQ(Run("finish"), ExitCode::kOk) << err_.str();
  EXPECT_EQ(out_.str(), "Quiet: no changes\n");
  EXPECT_FALSE(fs_.Exists(kCvn + "Quiet.cvn"));
}

TEST_F(CliTest, HelpGoesToStandardOutput) {
  EXPECT_EQ(Run("--help"), ExitCode::kOk);
  EXPECT_EQ(out_.str(), HelpText());
}

TEST_F(CliTest, StartAtLogonOnlyWhenAskedAndFinishRemovesIt) {
  const auto run = Key(platform::RootKey::kLocalMachine, kRunKey);
  platform::RegValue value;
  ASSERT_EQ(Run("start App"), ExitCode::kOk) << err_.str();
  EXPECT_FALSE(registry_.QueryValue(*run, kRunValue, &value).ok());
  ASSERT_EQ(Run("start App --at-logon"), ExitCode::kOk) << err_.str();
  ASSERT_TRUE(registry_.QueryValue(*run, kRunValue, &value).ok());
  EXPECT_EQ(std::string(value.data.begin(), value.data.end()),
            std::string("C:\\Cvn\\corvane.exe\0", 19));
  ASSERT_EQ(Run("finish"), ExitCode::kOk) << err_.str();
  EXPECT_FALSE(registry_.QueryValue(*run, kRunValue, &value).ok());
}

}  // namespace
}  // namespace cvn::cli

// corvane-cli's commands on the in-memory platform: argument parsing and its
// usage errors, a monitoring from start to finish, list, show and the exit
// codes of a missing or damaged archive and of a missing monitoring.
#include "cli/cli_commands.h"

#include <gtest/gtest.h>

#include <sstream>

#include "changes/chg_archive.h"
#include "platform/memory/memory_filesystem.h"
#include "platform/memory/memory_registry.h"
#include "platform/memory/memory_shell.h"
#include "settings/settings.h"

namespace cvn::cli {
namespace {

constexpr char kProgramFolder[] = "C:\\Cvn";
constexpr char kScratch[] = "C:\\Scratch";
constexpr char kTestKey[] = "Software\\CorvaneTest\\Cli";

ParseResult Parse(std::vector<std::string> args) { return ParseArguments(args); }

TEST(ParseArgumentsTest, EachCommandWithItsOptions) {
  ParseResult show = Parse({"show", "App", "--hexa", "--output", "out.txt"});
  ASSERT_TRUE(show.options) << show.error;
  EXPECT_EQ(show.options->command, Command::kShow);
  EXPECT_EQ(show.options->identifier, "App");
  EXPECT_TRUE(show.options->hexa);
  EXPECT_EQ(show.options->output, "out.txt");

  ParseResult run = Parse({"run", "App", "--", "setup.exe", "/S", "--hexa"});
  ASSERT_TRUE(run.options) << run.error;
  EXPECT_EQ(run.options->command, Command::kRun);
  EXPECT_EQ(run.options->setup, (std::vector<std::string>{"setup.exe", "/S", "--hexa"}));

  EXPECT_EQ(Parse({"start", "App"}).options->command, Command::kStart);
  EXPECT_FALSE(Parse({"start", "App"}).options->at_logon);
  EXPECT_TRUE(Parse({"start", "App", "--at-logon"}).options->at_logon);
  ParseResult run_at_logon = Parse({"run", "App", "--at-logon", "--", "setup.exe"});
  ASSERT_TRUE(run_at_logon.options) << run_at_logon.error;
  EXPECT_TRUE(run_at_logon.options->at_logon);
  EXPECT_EQ(run_at_logon.options->setup, (std::vector<std::string>{"setup.exe"}));
  EXPECT_EQ(Parse({"finish"}).options->command, Command::kFinish);
  EXPECT_EQ(Parse({"list"}).options->command, Command::kList);
  EXPECT_EQ(Parse({"--help"}).options->command, Command::kHelp);
}

TEST(ParseArgumentsTest, WrongUsageIsRefusedWithOneLine) {
  const std::vector<std::vector<std::string>> wrong = {
      {},
      {"bogus"},
      {"start"},
      {"start", "--hexa"},
      {"show", "a\\b"},
      {"show", "App", "--output"},
      {"show", "App", "--verbose"},
      {"finish", "extra"},
      {"list", "--hexa"},
      {"run", "App"},
      {"run", "App", "setup.exe"},
      {"run", "App", "--"},
  };
  for (const auto& args : wrong) {
    const ParseResult result = ParseArguments(args);
    EXPECT_FALSE(result.options) << testing::PrintToString(args);
    EXPECT_FALSE(result.error.empty());
    EXPECT_EQ(result.error.find('\n'), std::string::npos);
  }
}

TEST(ParseArgumentsTest, HelpNamesEveryCommand) {
  const std::string help = HelpText();
  for (const char* name : {"start ID", "finish", "run ID [--at-logon] -- SETUP", "list", "show ID", "--help"})
    EXPECT_NE(help.find(name), std::string::npos) << name;
}

// Dates in a fixed form, whatever the machine's locale.
const platform::PatternDateTimeFormat kDates({":", "/"});

TEST(ArchiveDateTest, ShortDateAndLongTimeWithoutMidnight) {
  EXPECT_EQ(changes::FormatDateTime(changes::MakeDateTime(2026, 12, 6, 21, 5, 9), kDates), "06/12/2026 21:05:09");
  EXPECT_EQ(changes::FormatDateTime(changes::MakeDateTime(1999, 2, 28), kDates), "28/02/1999");
  EXPECT_EQ(changes::FormatDateTime(changes::MakeDateTime(2000, 3, 1, 23, 59, 59), kDates), "01/03/2000 23:59:59");
}

class FixedClock final : public changes::Clock {
 public:
  double Now() const override { return now; }
  double now = changes::MakeDateTime(2026, 12, 6, 10, 0, 0);
};

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fs_.CreateFolders(kProgramFolder).ok());
    ASSERT_TRUE(fs_.CreateFolders(std::string(kScratch) + "\\Mon").ok());
    settings::Settings settings;
    settings.ScanHKCR = false;
    settings.ScanHKLM = false;
    settings.ScanHKCU = true;
    settings.ScanWin = false;
    settings.ScanProg = false;
    settings.ScanEntire = false;
    settings.ScanOthers = true;
    settings.ScanOtherPaths = std::string(kScratch) + "\\Mon";
    ASSERT_TRUE(settings::SaveSettings(registry_, settings));
    // The scan target and the test's parent key hold something before.
    const std::string text = "old";
    ASSERT_TRUE(fs_.WriteFile(std::string(kScratch) + "\\Mon\\old.txt",
                              {reinterpret_cast<const uint8_t*>(text.data()), text.size()})
                    .ok());
    std::unique_ptr<platform::RegKey> key;
    ASSERT_TRUE(registry_.CreateKey(platform::RootKey::kCurrentUser, "Software\\CorvaneTest",
                                    platform::KeyAccess::kReadWrite, &key)
                    .ok());
  }

  int Run(std::vector<std::string> args) {
    out_.str("");
    err_.str("");
    const ParseResult parsed = ParseArguments(args);
    if (!parsed.options) return kExitUsage;
    Environment env{fs_, registry_, shell_, clock_, kProgramFolder, "C:\\Windows", out_, err_, false, {}, {}, {}, {}};
    env.date_format = &kDates;
    env.interrupted = [this] { return interrupt_; };
    env.confirm = [this](const std::string& question) {
      questions_.push_back(question);
      return answer_;
    };
    env.run_setup = [this](const std::vector<std::string>& command) {
      setup_command_ = command;
      Install();
      return true;
    };
    return Execute(*parsed.options, env);
  }

  // What the test's setup program does.
  void Install() {
    std::unique_ptr<platform::RegKey> key;
    ASSERT_TRUE(registry_.CreateKey(platform::RootKey::kCurrentUser, kTestKey,
                                    platform::KeyAccess::kReadWrite, &key)
                    .ok());
    const std::string data("it's\0", 5);
    ASSERT_TRUE(registry_
                    .SetValue(*key, "Name", 1,
                              {reinterpret_cast<const uint8_t*>(data.data()), data.size()})
                    .ok());
    ASSERT_TRUE(fs_.CreateFolders(std::string(kScratch) + "\\Mon\\App").ok());
    const std::string text = "hello";
    ASSERT_TRUE(fs_.WriteFile(std::string(kScratch) + "\\Mon\\App\\app.txt",
                              {reinterpret_cast<const uint8_t*>(text.data()), text.size()})
                    .ok());
  }

  bool ContinueFileExists() { return fs_.Exists(std::string(kProgramFolder) + "\\Continue.dat"); }

  void WriteArchiveBytes(std::string_view identifier, const std::vector<uint8_t>& bytes) {
    ASSERT_TRUE(fs_.WriteFile(std::string(kProgramFolder) + "\\" + std::string(identifier) + ".cvn",
                              bytes)
                    .ok());
  }

  platform::MemoryRegistry registry_;
  platform::MemoryFileSystem fs_;
  platform::MemoryShell shell_{fs_};
  FixedClock clock_;
  std::vector<std::string> questions_;
  bool answer_ = false;
  bool interrupt_ = false;
  std::ostringstream out_, err_;
  std::vector<std::string> setup_command_;
};

TEST_F(CliTest, StartThenFinishSavesTheArchiveAndShowPrintsIt) {
  ASSERT_EQ(Run({"start", "App"}), kExitOk) << err_.str();
  ASSERT_TRUE(ContinueFileExists());
  std::vector<uint8_t> line;
  ASSERT_TRUE(fs_.ReadFile(std::string(kProgramFolder) + "\\Continue.dat", &line).ok());
  EXPECT_EQ(std::string(line.begin(), line.end()), "App\r\n");

  Install();
  ASSERT_EQ(Run({"finish"}), kExitOk) << err_.str();
  EXPECT_EQ(out_.str(), "App: 1 keys created, 1 values created, 1 folders created, 1 files created\n");
  EXPECT_FALSE(ContinueFileExists());
  EXPECT_TRUE(fs_.Exists(std::string(kProgramFolder) + "\\App.cvn"));
  EXPECT_FALSE(fs_.Exists(std::string(kProgramFolder) + "\\HKCU.sns"));
  EXPECT_FALSE(fs_.Exists(std::string(kProgramFolder) + "\\FIS1.sns"));

  ASSERT_EQ(Run({"show", "App"}), kExitOk) << err_.str();
  const std::string text = out_.str();
  EXPECT_EQ(text.rfind("'App' changes\r\nCorvane,    06/12/2026 10:00:00\r\n\r\nMy Computer\r\n", 0), 0u)
      << text;
  EXPECT_NE(text.find("    (+)(REG KEY) HKEY_CURRENT_USER\\Software\\CorvaneTest\\Cli\r\n"
                      "      (+)(REG VAL) Name = 'it''s'\r\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("    (+)(FOLDER) C:\\Scratch\\Mon\\App\r\n      (+)(FILE) app.txt = "),
            std::string::npos)
      << text;

  ASSERT_EQ(Run({"show", "App", "--output", "C:\\Cvn\\App.txt"}), kExitOk) << err_.str();
  std::vector<uint8_t> file;
  ASSERT_TRUE(fs_.ReadFile("C:\\Cvn\\App.txt", &file).ok());
  EXPECT_EQ(std::string(file.begin(), file.end()), text);
  EXPECT_EQ(out_.str(), "");
}

TEST_F(CliTest, RunStartsRunsTheSetupAndFinishes) {
  ASSERT_EQ(Run({"run", "App", "--", "setup.exe", "/quiet"}), kExitOk) << err_.str();
  EXPECT_EQ(setup_command_, (std::vector<std::string>{"setup.exe", "/quiet"}));
  EXPECT_EQ(out_.str(), "App: 1 keys created, 1 values created, 1 folders created, 1 files created\n");
  EXPECT_FALSE(ContinueFileExists());
}

TEST_F(CliTest, FinishWithoutChangesSavesNoArchive) {
  ASSERT_EQ(Run({"start", "Quiet"}), kExitOk) << err_.str();
  ASSERT_EQ(Run({"finish"}), kExitOk) << err_.str();
  EXPECT_EQ(out_.str(), "Quiet: no changes\n");
  EXPECT_FALSE(fs_.Exists(std::string(kProgramFolder) + "\\Quiet.cvn"));
}

TEST_F(CliTest, FinishWithoutPendingMonitoringIsInvalidData) {
  EXPECT_EQ(Run({"finish"}), kExitInvalidData);
  EXPECT_NE(err_.str().find("no monitoring is pending"), std::string::npos) << err_.str();
  ASSERT_TRUE(fs_.WriteFile(std::string(kProgramFolder) + "\\Continue.dat", {}).ok());
  EXPECT_EQ(Run({"finish"}), kExitInvalidData);
  EXPECT_NE(err_.str().find("Invalid file format !"), std::string::npos) << err_.str();
}

TEST_F(CliTest, FinishWithoutSnapshotsFails) {
  const std::string line = "App\r\n";
  ASSERT_TRUE(fs_.WriteFile(std::string(kProgramFolder) + "\\Continue.dat",
                            {reinterpret_cast<const uint8_t*>(line.data()), line.size()})
                  .ok());
  EXPECT_EQ(Run({"finish"}), kExitInvalidData);
  EXPECT_NE(err_.str().find("the second scan failed"), std::string::npos) << err_.str();
}

TEST_F(CliTest, ShowOfMissingArchiveIsInvalidData) {
  EXPECT_EQ(Run({"show", "Nothing"}), kExitInvalidData);
  EXPECT_EQ(err_.str(), "corvane-cli: C:\\Cvn\\Nothing.cvn does not exist\n");
  EXPECT_EQ(out_.str(), "");
}

TEST_F(CliTest, ShowOfDamagedArchiveIsInvalidData) {
  WriteArchiveBytes("Short", {1, 2, 3});
  EXPECT_EQ(Run({"show", "Short"}), kExitInvalidData);
  EXPECT_EQ(err_.str(), "corvane-cli: C:\\Cvn\\Short.cvn: Invalid file format !\n");

  // A valid header followed by a record cut short.
  ASSERT_EQ(Run({"run", "App", "--", "setup.exe"}), kExitOk) << err_.str();
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(fs_.ReadFile(std::string(kProgramFolder) + "\\App.cvn", &bytes).ok());
  bytes.resize(bytes.size() - 3);
  WriteArchiveBytes("Cut", bytes);
  EXPECT_EQ(Run({"show", "Cut"}), kExitInvalidData);
  EXPECT_EQ(err_.str(), "corvane-cli: C:\\Cvn\\Cut.cvn: Invalid file format !\n");
  EXPECT_EQ(out_.str(), "");
}

TEST_F(CliTest, ListShowsTheArchivesWithTheirDatesAndUses) {
  ASSERT_EQ(Run({"run", "App", "--", "setup.exe"}), kExitOk) << err_.str();
  clock_.now = changes::MakeDateTime(2026, 12, 7, 8, 30, 0);
  changes::TChgArchive archive(fs_, std::string(kProgramFolder) + "\\App", clock_);
  archive.UpdateUsage();
  WriteArchiveBytes("Broken", {9, 9});
  ASSERT_EQ(Run({"list"}), kExitOk) << err_.str();
  const std::string text = out_.str();
  EXPECT_EQ(text.rfind("Name\tCreated\tLast used\tUses\n", 0), 0u) << text;
  EXPECT_NE(text.find("App\t06/12/2026 10:00:00\t07/12/2026 08:30:00\t1\n"), std::string::npos)
      << text;
  EXPECT_NE(text.find("Broken\t\t\t\n"), std::string::npos) << text;
}

bool RegistryKeyExists(platform::Registry& registry, std::string_view path) {
  std::unique_ptr<platform::RegKey> key;
  return registry.OpenKey(platform::RootKey::kCurrentUser, path, platform::KeyAccess::kRead, &key).ok();
}

TEST_F(CliTest, UninstallUndoesTheMonitoredChangesAndCountsTheUse) {
  ASSERT_EQ(Run({"run", "App", "--", "setup.exe"}), kExitOk) << err_.str();
  ASSERT_TRUE(RegistryKeyExists(registry_, kTestKey));
  ASSERT_EQ(Run({"uninstall", "App", "--yes"}), kExitOk) << err_.str();
  EXPECT_TRUE(questions_.empty());
  EXPECT_NE(out_.str().find("Uninstall complete without errors"), std::string::npos) << out_.str();
  EXPECT_FALSE(RegistryKeyExists(registry_, kTestKey));
  EXPECT_TRUE(RegistryKeyExists(registry_, "Software\\CorvaneTest"));
  EXPECT_FALSE(fs_.Exists(std::string(kScratch) + "\\Mon\\App\\app.txt"));
  EXPECT_FALSE(fs_.Exists(std::string(kScratch) + "\\Mon\\App"));
  EXPECT_TRUE(fs_.Exists(std::string(kScratch) + "\\Mon\\old.txt"));
  std::vector<uint8_t> log;
  ASSERT_TRUE(fs_.ReadFile(std::string(kProgramFolder) + "\\Log.txt", &log).ok()) << err_.str();
  EXPECT_NE(std::string(log.begin(), log.end()).find("Uninstall complete without errors\r\n"),
            std::string::npos);

  ASSERT_EQ(Run({"list"}), kExitOk);
  EXPECT_NE(out_.str().find("\t06/12/2026 10:00:00\t1\n"), std::string::npos) << out_.str();
}

TEST_F(CliTest, UninstallAsksFirstWithoutYes) {
  ASSERT_EQ(Run({"run", "App", "--", "setup.exe"}), kExitOk) << err_.str();
  answer_ = false;
  EXPECT_EQ(Run({"uninstall", "App"}), kExitOk);
  EXPECT_EQ(questions_, (std::vector<std::string>{"Are you sure you want to uninstall 'App' ?"}));
  EXPECT_NE(err_.str().find("nothing was changed"), std::string::npos);
  EXPECT_TRUE(RegistryKeyExists(registry_, kTestKey));

  answer_ = true;
  EXPECT_EQ(Run({"uninstall", "App"}), kExitOk) << err_.str();
  EXPECT_FALSE(RegistryKeyExists(registry_, kTestKey));
}

TEST_F(CliTest, UninstallWithAnErrorExitsWithOne) {
  ASSERT_EQ(Run({"run", "App", "--", "setup.exe"}), kExitOk) << err_.str();
  fs_.LockFile(std::string(kScratch) + "\\Mon\\App\\app.txt");
  EXPECT_EQ(Run({"uninstall", "App", "--yes", "--verbose"}), kExitUninstallErrors);
  EXPECT_EQ(out_.str().find("Uninstall complete without errors"), std::string::npos) << out_.str();
  // --verbose shows the successes too.
  EXPECT_NE(out_.str().find("Ok"), std::string::npos) << out_.str();
}

TEST_F(CliTest, UninstallOfMissingArchiveIsInvalidData) {
  EXPECT_EQ(Run({"uninstall", "Nothing", "--yes"}), kExitInvalidData);
  WriteArchiveBytes("Bad", {0});
  EXPECT_EQ(Run({"uninstall", "Bad", "--yes"}), kExitInvalidData);
  EXPECT_EQ(err_.str(), "corvane-cli: C:\\Cvn\\Bad.cvn: Invalid file format !\n");
}

TEST_F(CliTest, CtrlCStopsTheFirstScanAndLeavesNothingPending) {
  interrupt_ = true;
  EXPECT_EQ(Run({"start", "App"}), kExitStopped);
  EXPECT_FALSE(ContinueFileExists());
  EXPECT_FALSE(fs_.Exists(std::string(kProgramFolder) + "\\HKCU.sns"));
  EXPECT_FALSE(fs_.Exists(std::string(kProgramFolder) + "\\FIS2.sns"));
}

TEST_F(CliTest, CtrlCStopsTheSecondScanAndSavesNoArchive) {
  ASSERT_EQ(Run({"start", "App"}), kExitOk) << err_.str();
  Install();
  interrupt_ = true;
  EXPECT_EQ(Run({"finish"}), kExitStopped);
  EXPECT_FALSE(ContinueFileExists());
  EXPECT_FALSE(fs_.Exists(std::string(kProgramFolder) + "\\App.cvn"));
}

TEST_F(CliTest, StartAtLogonOnlyWhenAskedAndFinishRemovesIt) {
  std::unique_ptr<platform::RegKey> run;
  ASSERT_TRUE(registry_.CreateKey(platform::RootKey::kLocalMachine, kRunKey, platform::KeyAccess::kReadWrite, &run).ok());
  platform::RegValue value;
  ASSERT_EQ(Run({"start", "App"}), kExitOk) << err_.str();
  EXPECT_FALSE(registry_.QueryValue(*run, kRunValue, &value).ok());
  ASSERT_EQ(Run({"start", "App", "--at-logon"}), kExitOk) << err_.str();
  ASSERT_TRUE(registry_.QueryValue(*run, kRunValue, &value).ok());
  EXPECT_EQ(std::string(value.data.begin(), value.data.end()), std::string("C:\\Cvn\\corvane.exe\0", 19));
  ASSERT_EQ(Run({"finish"}), kExitOk) << err_.str();
  EXPECT_FALSE(registry_.QueryValue(*run, kRunValue, &value).ok());
}

TEST_F(CliTest, HelpGoesToStandardOutput) {
  EXPECT_EQ(Run({"--help"}), kExitOk);
  EXPECT_EQ(out_.str(), HelpText());
}

}  // namespace
}  // namespace cvn::cli

namespace cvn::cli {
namespace {

TEST(ParseArgumentsTest, UninstallOptions) {
  ParseResult all = ParseArguments({"uninstall", "App", "--yes", "--shared", "no", "--verbose"});
  ASSERT_TRUE(all.options) << all.error;
  EXPECT_EQ(all.options->command, Command::kUninstall);
  EXPECT_TRUE(all.options->yes);
  EXPECT_TRUE(all.options->verbose);
  EXPECT_EQ(all.options->shared, SharedAnswer::kNo);
  ParseResult plain = ParseArguments({"uninstall", "App"});
  ASSERT_TRUE(plain.options);
  EXPECT_FALSE(plain.options->yes);
  EXPECT_EQ(plain.options->shared, SharedAnswer::kAsk);
  EXPECT_FALSE(ParseArguments({"uninstall", "App", "--shared"}).options);
  EXPECT_FALSE(ParseArguments({"uninstall", "App", "--shared", "maybe"}).options);
  EXPECT_FALSE(ParseArguments({"uninstall"}).options);
}

}  // namespace
}  // namespace cvn::cli

// The uninstall log: the LogLevel filter and the colours of the log box,
// and Log.txt with one block per run, written so that no failure loses it.
#include <gtest/gtest.h>

#include "tests/uninstall/uninstall_test_util.h"

namespace cvn::uninstall::test {
namespace {

const std::string kHeading = "CVN log file\r\n============\r\n\r\n";
const std::string kHyphens = "---------------------------------------\r\n";
const std::string kError =
    "DELETING REGISTRY KEY: HKEY_CURRENT_USER\\Software\\App ... ERROR (has sub-keys)";
const std::string kWarning =
    "DELETING REGISTRY VALUE: HKEY_CURRENT_USER\\Software\\X\\gone ... FAILS (not found)";
const std::string kSuccess = "DELETING FILE: C:\\App\\a.txt ... Ok";

class UninstallLogTest : public UninstallTest {
 protected:
  // A run with a warning (a value that is gone) and a success (a file
  // deleted), and with `error` an error (a key that cannot go) instead of
  // the summary.
  void MakeTree(bool error) {
    if (error) {
      MakeKey(kHkcu, "Software\\App\\Later");
      AddValue(changes::NodeKind::kKeyAdded, kHkcu, "Software", "App");
    }
    AddFile("C:\\App\\a.txt");
    AddValue(changes::NodeKind::kValueAdded, kHkcu, "Software\\X", "gone", kSz, {}, SzData("x"));
    AddItem(changes::NodeKind::kFileAdded, "C:\\App", "a.txt");
    SaveArchive();
  }
  // One run's block as Log.txt keeps it.
  static std::string Block(std::string_view heading, const std::vector<std::string>& lines) {
    std::string block = "\r\n" + std::string(heading) + "\r\n" + kHyphens;
    for (const std::string& line : lines) block += line + "\r\n";
    return block + "\r\n";
  }
};

struct LevelCase {
  int32_t level;
  bool error;       // the run meets an error, so it has no summary
  bool every_line;  // the log box shows every line
  std::vector<std::string> shown, kept;
};

class LogLevelTest : public UninstallLogTest, public ::testing::WithParamInterface<LevelCase> {};

// LogLevel is a set of classes; the summary passes any but 0. What passes
// is shown and kept for Log.txt; at LogLevel 0 Log.txt is not touched.
TEST_P(LogLevelTest, ShowsAndKeepsTheClassesOfTheLevel) {
  const LevelCase& c = GetParam();
  MakeTree(c.error);
  settings.log_level = c.level;
  log.ShowEveryLine(c.every_line);

  Run();

  EXPECT_EQ(view.texts, c.shown);
  EXPECT_EQ(log.Lines(), c.kept);
  EXPECT_EQ(LogText(),
            c.level == 0 ? "(no Log.txt)" : kHeading + Block("App 05/03/2024 14:07:09", c.kept));
}

INSTANTIATE_TEST_SUITE_P(
    Levels, LogLevelTest,
    ::testing::Values(LevelCase{1, true, false, {kError}, {kError}},
                      LevelCase{1, false, false, {kSummary}, {kSummary}},
                      LevelCase{6, true, false, {kWarning, kSuccess}, {kWarning, kSuccess}},
                      LevelCase{1, true, true, {kWarning, kError, kSuccess}, {kError}},
                      LevelCase{0, true, false, {}, {}}));

TEST_F(UninstallLogTest, EveryRunAppendsOneBlockAndStampsTheArchive) {
  MakeTree(true);
  Run();
  clock.Set(changes::MakeDateTime(2024, 12, 31));  // midnight: the time is left out
  Run();
  // The second run finds the file gone and the value still missing.
  EXPECT_EQ(LogText(), kHeading + Block("App 05/03/2024 14:07:09", {kWarning, kError, kSuccess}) +
                           Block("App 31/12/2024", {kWarning, kError,
                                                    "DELETING FILE: C:\\App\\a.txt ... FAILS (not "
                                                    "found)"}));
  EXPECT_EQ(Header().uses, 2u);
}

// The earlier log is kept through a failed write, and its lines, ended in
// any way, end with CR LF once a run is added.
TEST_F(UninstallLogTest, FailedWriteKeepsTheEarlierLog) {
  const std::string earlier = "CVN log file\r\n============\n\nold run\rold line";
  ASSERT_TRUE(fs.AddFile("C:\\Corvane\\Log.txt", earlier).ok());
  context.current_identifier = "App";
  log.AddLogLine(kSuccess, LogClass::kSuccess);

  fs.FailNextWrite(10);
  EXPECT_FALSE(WriteLogFile({context, fs, clock, kLogDateFormat}, log, view).ok());
  EXPECT_EQ(LogText(), earlier);
  fs.FailNextMove();
  EXPECT_FALSE(WriteLogFile({context, fs, clock, kLogDateFormat}, log, view).ok());
  EXPECT_EQ(LogText(), earlier);

  EXPECT_TRUE(WriteLogFile({context, fs, clock, kLogDateFormat}, log, view).ok());
  EXPECT_EQ(LogText(),
            kHeading + "old run\r\nold line\r\n" + Block("App 05/03/2024 14:07:09", {kSuccess}));
}

}  // namespace
}  // namespace cvn::uninstall::test

// The uninstall log: the LogLevel filter and the colours of the log box,
// and Log.txt with one block per run, written so that no failure loses it.
#include <gtest/gtest.h>

#include "tests/uninstall/uninstall_test_util.h"

namespace cvn::uninstall::test {
namespace {

const platform::PatternDateTimeFormat kColonsAndSlashes({":", "/"});
const platform::PatternDateTimeFormat kDotsAndDashes({".", "-"});

using changes::nkFileAdded;
using changes::nkKeyAdded;
using changes::nkValueAdded;
using platform::regtype::kSz;

const char kLogTxt[] = "C:\\Corvane\\Log.txt";
const char kHyphens[] = "---------------------------------------";

class UninstallLogTest : public UninstallTest {
 protected:
  // A run with one line of each class but the summary: a key that cannot
  // go (error), a value that is gone (warning) and a file deleted (success).
  void TreeWithErrorWarningAndSuccess() {
    MakeKey(RootKey::kCurrentUser, "Software\\App\\Later");
    AddFile("C:\\App\\a.txt");
    AddKey(nkKeyAdded, RootKey::kCurrentUser, "Software", "App");
    AddValue(nkValueAdded, RootKey::kCurrentUser, "Software\\X", "gone", kSz, {}, SzData("x"));
    AddItem(nkFileAdded, "C:\\App", "a.txt");
    SaveArchive();
  }
  // A run with a warning, a success and the summary.
  void TreeWithoutErrors() {
    AddFile("C:\\App\\a.txt");
    AddValue(nkValueAdded, RootKey::kCurrentUser, "Software\\X", "gone", kSz, {}, SzData("x"));
    AddItem(nkFileAdded, "C:\\App", "a.txt");
    SaveArchive();
  }
  std::string LogText() {
    std::vector<uint8_t> bytes;
    if (!fs.ReadFile(kLogTxt, &bytes).ok()) return "(no Log.txt)";
    return std::string(bytes.begin(), bytes.end());
  }
  void WriteLogTxt(std::string_view text) { ASSERT_TRUE(fs.AddFile(kLogTxt, text).ok()); }

  const std::string error_line =
      "DELETING REGISTRY KEY: HKEY_CURRENT_USER\\Software\\App ... ERROR (has sub-keys)";
  const std::string warning_line =
      "DELETING REGISTRY VALUE: HKEY_CURRENT_USER\\Software\\X\\gone ... FAILS (not found)";
  const std::string success_line = "DELETING FILE: C:\\App\\a.txt ... Ok";
  const std::string summary_line = "Uninstall complete without errors";
};

TEST(LogClassTest, EachClassHasItsColour) {
  EXPECT_EQ(LogClassColor(lcError), (LogColor{255, 0, 0, false}));
  EXPECT_EQ(LogClassColor(lcWarning), (LogColor{0, 0, 255, false}));
  EXPECT_EQ(LogClassColor(lcSuccess), (LogColor{0, 128, 0, false}));
  EXPECT_TRUE(LogClassColor(lcSummary).window_text);
  EXPECT_TRUE(LogClassColor(3).window_text);
}

TEST(LogClassTest, LogLevelIsASetOfClasses) {
  EXPECT_FALSE(ShownAtLogLevel(0, lcSummary));
  EXPECT_TRUE(ShownAtLogLevel(1, lcSummary));
  EXPECT_TRUE(ShownAtLogLevel(1, lcError));
  EXPECT_FALSE(ShownAtLogLevel(1, lcWarning));
  EXPECT_TRUE(ShownAtLogLevel(6, lcWarning));
  EXPECT_FALSE(ShownAtLogLevel(6, lcError));
  EXPECT_TRUE(ShownAtLogLevel(4, lcSuccess));
}

TEST_F(UninstallLogTest, LogLevelOneShowsErrorsOnly) {
  TreeWithErrorWarningAndSuccess();
  settings.LogLevel = 1;
  Run();
  EXPECT_EQ(view.Texts(), Strings(error_line));
  EXPECT_EQ(view.lines[0].color, (LogColor{255, 0, 0, false}));
}

TEST_F(UninstallLogTest, LogLevelOneShowsTheSummaryOfACleanRun) {
  TreeWithoutErrors();
  settings.LogLevel = 1;
  Run();
  EXPECT_EQ(view.Texts(), Strings(summary_line));
  EXPECT_EQ(LogText(), "CVN log file\r\n============\r\n\r\n\r\nApp 05/03/2024 14:07:09\r\n" +
                           std::string(kHyphens) + "\r\n" + summary_line + "\r\n\r\n");
}

TEST_F(UninstallLogTest, LogLevelFourShowsSuccessesAndTheSummary) {
  TreeWithoutErrors();
  settings.LogLevel = 4;
  Run();
  EXPECT_EQ(view.Texts(), Strings(success_line, summary_line));
  EXPECT_EQ(view.lines[0].color, (LogColor{0, 128, 0, false}));
}

TEST_F(UninstallLogTest, LogLevelFiveShowsErrorsAndSuccesses) {
  TreeWithErrorWarningAndSuccess();
  settings.LogLevel = 5;
  Run();
  EXPECT_EQ(view.Texts(), Strings(error_line, success_line));
  EXPECT_EQ(log.Lines(), view.Texts());
}

TEST_F(UninstallLogTest, ShowingEveryLineKeepsOnlyTheFilteredOnesForLogTxt) {
  TreeWithErrorWarningAndSuccess();
  settings.LogLevel = 1;
  log.ShowEveryLine(true);
  Run();
  EXPECT_EQ(view.Texts(), Strings(warning_line, error_line, success_line));  // values go before keys
  EXPECT_EQ(log.Lines(), Strings(error_line));
  const std::string text = LogText();
  EXPECT_NE(text.find(error_line), std::string::npos);
  EXPECT_EQ(text.find(warning_line), std::string::npos) << text;
  EXPECT_EQ(text.find(success_line), std::string::npos) << text;
}

TEST_F(UninstallLogTest, LogLevelZeroShowsNothingAndLeavesLogTxtAlone) {
  TreeWithErrorWarningAndSuccess();
  settings.LogLevel = 0;
  Run();
  EXPECT_TRUE(view.lines.empty());
  EXPECT_FALSE(fs.Exists(kLogTxt));

  WriteLogTxt("CVN log file\r\nearlier\r\n");
  Run();
  EXPECT_EQ(LogText(), "CVN log file\r\nearlier\r\n");
  EXPECT_EQ(view.statuses.back(), "Uninstall complete.");
  EXPECT_EQ(context.ProgramState, snapshot::psUninstalled);
}

TEST_F(UninstallLogTest, EveryRunAppendsOneBlock) {
  TreeWithErrorWarningAndSuccess();
  Run();
  clock.now = changes::MakeDateTime(2024, 12, 31);  // midnight: the time is left out
  Run();
  const std::string first_block = "\r\nApp 05/03/2024 14:07:09\r\n" + std::string(kHyphens) +
                                  "\r\n" + warning_line + "\r\n" + error_line + "\r\n" +
                                  success_line + "\r\n\r\n";
  // The second run finds the file gone and the value still missing.
  const std::string second_block =
      "\r\nApp 31/12/2024\r\n" + std::string(kHyphens) + "\r\n" + warning_line + "\r\n" +
      error_line + "\r\nDELETING FILE: C:\\App\\a.txt ... FAILS (not found)\r\n\r\n";
  EXPECT_EQ(LogText(), "CVN log file\r\n============\r\n\r\n" + first_block + second_block);
}

TEST_F(UninstallLogTest, DeletedLogTxtStartsAgainWithItsHeading) {
  Run();
  ASSERT_TRUE(fs.DeleteFile(kLogTxt).ok());
  Run();
  EXPECT_EQ(LogText().rfind("CVN log file\r\n============\r\n\r\n\r\nApp ", 0), 0u);
  EXPECT_EQ(LogText().find("CVN log file", 1), std::string::npos);
}

TEST_F(UninstallLogTest, EarlierLinesAreKeptAndEndWithCrLf) {
  WriteLogTxt("CVN log file\n============\n\nold run\nold line");
  Run();
  EXPECT_EQ(
      LogText().rfind("CVN log file\r\n============\r\n\r\nold run\r\nold line\r\n\r\nApp ", 0),
      0u);
}

TEST_F(UninstallLogTest, StoppedRunWritesItsBlockWithoutTheSummary) {
  context.ProgramState = snapshot::psStopRequested;
  context.CurrentIdentifier = "App";
  settings.LogLevel = 5;
  log.AddLogLine(success_line, lcSuccess);
  log.AddLogLine(warning_line, lcWarning);  // filtered out

  EXPECT_TRUE(WriteLogFile({context, fs, clock, kDotsAndDashes}, log, view).ok());

  EXPECT_EQ(view.statuses, Strings("Uninstall stopped."));
  EXPECT_EQ(context.ProgramState, snapshot::psUninstalled);
  EXPECT_EQ(LogText(), "CVN log file\r\n============\r\n\r\n\r\nApp 05-03-2024 14.07.09\r\n" +
                           std::string(kHyphens) + "\r\n" + success_line + "\r\n\r\n");
  EXPECT_EQ(view.ended, 1);
}

TEST_F(UninstallLogTest, RunWithNothingLoggedWritesTheHeadingAlone) {
  context.CurrentIdentifier = "App";
  EXPECT_TRUE(WriteLogFile({context, fs, clock, kColonsAndSlashes}, log, view).ok());
  EXPECT_EQ(LogText(), "CVN log file\r\n============\r\n\r\n\r\nApp 05/03/2024 14:07:09\r\n" +
                           std::string(kHyphens) + "\r\n\r\n");
}

TEST_F(UninstallLogTest, FailedWriteKeepsTheEarlierLog) {
  const std::string earlier = "CVN log file\r\n============\r\n\r\nearlier run\r\n";
  WriteLogTxt(earlier);
  context.CurrentIdentifier = "App";
  log.AddLogLine(success_line, lcSuccess);

  fs.FailNextWrite(10);
  EXPECT_FALSE(WriteLogFile({context, fs, clock, kColonsAndSlashes}, log, view).ok());
  EXPECT_EQ(LogText(), earlier);

  fs.FailNextMove();
  EXPECT_FALSE(WriteLogFile({context, fs, clock, kColonsAndSlashes}, log, view).ok());
  EXPECT_EQ(LogText(), earlier);

  EXPECT_TRUE(WriteLogFile({context, fs, clock, kColonsAndSlashes}, log, view).ok());
  EXPECT_EQ(LogText().rfind(earlier + "\r\nApp ", 0), 0u);
}

TEST_F(UninstallLogTest, LogThatCannotBeReadIsNotStartedAfresh) {
  WriteLogTxt("CVN log file\r\nearlier\r\n");
  fs.LockFile(kLogTxt);
  context.CurrentIdentifier = "App";
  EXPECT_FALSE(AppendRunToLogFile(fs, kLogTxt, "App", {}).ok());
}

TEST(LogDateTest, ShortDateAndLongTimeInTheGivenFormat) {
  const platform::PatternDateTimeFormat& slash = kColonsAndSlashes;
  EXPECT_EQ(changes::FormatDateTime(changes::MakeDateTime(2024, 3, 5, 9, 4, 3), slash),
            "05/03/2024 09:04:03");
  EXPECT_EQ(changes::FormatDateTime(changes::MakeDateTime(2024, 3, 5), slash), "05/03/2024");
  EXPECT_EQ(changes::FormatDateTime(changes::MakeDateTime(2000, 2, 29, 0, 0, 1), kDotsAndDashes),
            "29-02-2000 00.00.01");
  // A hair before midnight rounds to the next day's midnight.
  EXPECT_EQ(changes::FormatDateTime(changes::MakeDateTime(2023, 12, 31, 23, 59, 59) + 0.9 / 86400, slash),
            "01/01/2024");
}

}  // namespace
}  // namespace cvn::uninstall::test

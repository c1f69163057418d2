// The wizard's install path on the in-memory platform with a view that
// records what it is told: a whole monitoring, resuming, the targets page's
// rules, stops and the questions of closing.
#include "wizard/wizard.h"

#include <gtest/gtest.h>

#include "tests/support/bytes.h"
#include "tests/wizard/wizard_test_support.h"
#include "wizard/wizard_input.h"

namespace cvn::wizard {
namespace {

using threads::ProgramState;

using testing::Boxes;
using testing::RecordingView;

class InstallPathTest : public testing::WizardTest {};

TEST_F(InstallPathTest, AMonitoringFromTheFirstPageToTheChangesSavesTheArchive) {
  ScanFirst(wizard_);
  EXPECT_EQ(view_.caption, "Corvane [App] - installing");
  EXPECT_TRUE(settings_.scan_hkcu && settings_.other_folders == "C:\\Box");
  EXPECT_TRUE(Exists("C:\\Cvn\\Continue.dat"));
  view_.mode = RunMode::kDuringThisScreen;
  wizard_.RunModeChanged();
  EXPECT_TRUE(view_.next);
  // The installation.
  ASSERT_TRUE(fs_.WriteFile("C:\\Box\\app.txt", cvn::test::Bytes("app")).ok());
  wizard_.Next();
  PumpUntilEnded(ProgramState::kMonitored);
  EXPECT_EQ(wizard_.page(), Page::kTree);
  EXPECT_EQ(view_.changes_shown, 1);
  EXPECT_EQ(view_.status,
            "Operations completed. Press <Next> to monitor another application or <Exit>.");
  EXPECT_TRUE(Exists("C:\\Cvn\\App.cvn"));
  for (const char* gone : {"C:\\Cvn\\Continue.dat", "C:\\Cvn\\FIS1.sns", "C:\\Cvn\\HKCU.sns"})
    EXPECT_FALSE(Exists(gone)) << gone;
  wizard_.Next();
  EXPECT_EQ(wizard_.page(), Page::kFirst);
  EXPECT_EQ(view_.caption, "Corvane");
}

TEST_F(InstallPathTest, APendingMonitoringResumesOnTheTreePageAndADamagedOneIsReported) {
  ASSERT_TRUE(fs_.WriteFile("C:\\Cvn\\Continue.dat", cvn::test::Bytes("Pending\r\n")).ok());
  wizard_.Resume();
  EXPECT_EQ(wizard_.page(), Page::kTree);
  EXPECT_EQ(view_.status, "Press <Next> to re-scan the targets.");
  EXPECT_EQ(context_.program_state, ProgramState::kContinued);
  EXPECT_TRUE(view_.next);
  // Next scans again; without the first scan's snapshots it reports their loss.
  wizard_.Next();
  PumpUntilEnded(ProgramState::kMonitored);
  EXPECT_FALSE(Exists("C:\\Cvn\\Continue.dat"));
  EXPECT_NE(view_.status.find(".sns\": not found"), std::string::npos) << view_.status;

  ASSERT_TRUE(fs_.WriteFile("C:\\Cvn\\Continue.dat", cvn::test::Bytes("\r\n")).ok());
  RecordingView fresh;
  Wizard other(fresh, settings_, context_, platform_, dispatcher_, tree_, "");
  other.Resume();
  EXPECT_EQ(other.page(), Page::kFirst);
  EXPECT_EQ(fresh.status, "C:\\Cvn\\Continue.dat: Invalid file format !");
  EXPECT_FALSE(Exists("C:\\Cvn\\Continue.dat"));
}

TEST_F(InstallPathTest, TheTargetsDecideNextTheProgressAndTheLockedFolders) {
  const struct {
    TargetBoxes boxes;
    bool next, locked;
    int progress_max;
  } kRows[] = {
      {Boxes(false, false, false, false), false, false, 0},
      {Boxes(true, true, false, false), true, false, 10},
      {Boxes(false, false, true, false), true, false, 5},
      {Boxes(true, false, false, true), true, true, 10},
  };
  wizard_.Next();
  for (const auto& r : kRows) {
    view_.boxes = r.boxes;
    wizard_.TargetsChanged();
    EXPECT_EQ(view_.next, r.next);
    EXPECT_EQ(view_.folders_locked, r.locked);
    EXPECT_EQ(view_.progress_max, r.progress_max);
    EXPECT_EQ(view_.boxes.windows_folder && view_.boxes.program_files, r.locked);
  }
  // An other folder that cannot be entered stops the scan before it starts.
  view_.boxes = Boxes(false, false, true, false);
  view_.boxes.other_folders_text = "C:\\Box;C:\\Missing";
  wizard_.Next();
  EXPECT_EQ(view_.errors, std::vector<std::string>{"Invalid path: C:\\Missing"});
  EXPECT_EQ(wizard_.page(), Page::kTargets);
  EXPECT_EQ(context_.program_state, ProgramState::kIdle);
  // The entire system partition takes in the Windows and program folders.
  view_.boxes = Boxes(false, false, false, true);
  wizard_.Next();
  EXPECT_TRUE(settings_.scan_windows_folder && settings_.scan_program_files);
  PumpUntilEnded(ProgramState::kScanned);
}

TEST_F(InstallPathTest, ClosingAsksByStateAndCancelKeepsTheWindow) {
  const struct {
    RunMode mode;
    Answer answer;
    bool closes, still_pending;
    size_t questions;
  } kRows[] = {
      {RunMode::kOneApplication, Answer::kYes, true, false, 1},
      {RunMode::kOneApplication, Answer::kNo, true, true, 1},
      {RunMode::kOneApplication, Answer::kCancel, false, true, 1},
      {RunMode::kSeveralApplications, Answer::kYes, true, true, 0},
  };
  for (const auto& r : kRows) {
    Wizard wizard(view_, settings_, context_, platform_, dispatcher_, tree_, "");
    view_.page = Page::kFirst;
    ScanFirst(wizard);
    view_.mode = r.mode;
    wizard.RunModeChanged();
    view_.questions.clear();
    view_.answers = {r.answer};
    EXPECT_EQ(wizard.MayClose(), r.closes);
    EXPECT_EQ(view_.questions.size(), r.questions);
    EXPECT_EQ(Exists("C:\\Cvn\\Continue.dat"), r.still_pending);
    EXPECT_EQ(Exists("C:\\Cvn\\FIS2.sns"), r.still_pending);
  }
}

TEST_F(InstallPathTest, AStoppedFirstScanLeavesNoSnapshotAndBackReturnsToTheFirstPage) {
  wizard_.Next();
  ChooseTargets();
  view_.answers = {Answer::kYes};
  wizard_.Next();
  wizard_.Exit();
  PumpUntilEnded(ProgramState::kStopRequested);
  EXPECT_EQ(view_.status, "Scanning canceled. Press <Back> or <Exit>.");
  EXPECT_FALSE(Exists("C:\\Cvn\\FIS2.sns"));
  EXPECT_FALSE(Exists("C:\\Cvn\\Continue.dat"));
  wizard_.Back();
  EXPECT_EQ(wizard_.page(), Page::kFirst);
  wizard_.Exit();
  EXPECT_TRUE(view_.closed);
}

TEST_F(InstallPathTest, ClosingDuringAFirstScanAsksAndYesClosesOnceItStopped) {
  ASSERT_TRUE(fs_.WriteFile("C:\\Box\\a.txt", cvn::test::Bytes("a")).ok());
  wizard_.Next();
  ChooseTargets();
  wizard_.Next();
  // The scan waits for the window with its first status: closing parks it.
  ASSERT_TRUE(dispatcher_.WaitForPending(5000));
  view_.answers = {Answer::kYes};
  EXPECT_FALSE(wizard_.MayClose());
  EXPECT_EQ(view_.questions, std::vector<std::string>{"Cancel scanning ?"});
  EXPECT_FALSE(view_.closed);
  PumpUntilEnded(ProgramState::kStopRequested);
  EXPECT_TRUE(view_.closed);
  EXPECT_FALSE(Exists("C:\\Cvn\\HKCU.sns"));
}

TEST_F(InstallPathTest, AFirstScanThatCannotSaveItsSnapshotsStaysOnTheTargetsPage) {
  wizard_.Next();
  ChooseTargets();
  fs_.FailNextWrite(1);
  wizard_.Next();
  PumpUntilEnded(ProgramState::kFailed);
  EXPECT_EQ(wizard_.page(), Page::kTargets);
  EXPECT_NE(view_.status.find("HKCU.sns"), std::string::npos) << view_.status;
  EXPECT_TRUE(view_.back);
  EXPECT_FALSE(Exists("C:\\Cvn\\Continue.dat"));
}

TEST_F(InstallPathTest, ASecondScanThatFailsSavesNoArchiveAndKeepsItsError) {
  ScanFirst(wizard_);
  view_.mode = RunMode::kDuringThisScreen;
  wizard_.RunModeChanged();
  ASSERT_TRUE(fs_.DeleteFile("C:\\Cvn\\HKCU.sns").ok());
  wizard_.Next();
  PumpUntilEnded(ProgramState::kMonitored);
  EXPECT_NE(view_.status.find("HKCU"), std::string::npos) << view_.status;
  EXPECT_FALSE(Exists("C:\\Cvn\\App.cvn"));
  EXPECT_TRUE(view_.next);
}

TEST_F(InstallPathTest, TheFirstPageTakesADroppedSetupAndNextFollowsTheChoice) {
  const struct {
    const char* dropped;
    const char* identifier;
  } kDrops[] = {
      {"C:\\Editor\\SeTuP.exe", "Editor"},
      {"C:\\Tools\\install.EXE", "Tools"},
      {"C:\\Editor\\tool.exe", "tool.exe"},
  };
  for (const auto& drop : kDrops) {
    wizard_.FileDropped(drop.dropped);
    EXPECT_EQ(view_.identifier, drop.identifier);
    EXPECT_EQ(view_.setup_path, drop.dropped);
  }
  wizard_.FirstPageChanged();
  EXPECT_TRUE(view_.next);
  // Uninstalling is not this path: Next waits for a chosen application.
  view_.install = false;
  wizard_.InstallChoiceChanged();
  EXPECT_FALSE(view_.next);
  EXPECT_EQ(view_.status, "Choose the application identifier to uninstall or view.");
  wizard_.Next();
  EXPECT_EQ(wizard_.page(), Page::kFirst);
}

TEST_F(InstallPathTest, TheSetupPathDecidesNextOnlyWhileOneApplicationWaitsForIt) {
  ScanFirst(wizard_);
  view_.setup_path.clear();
  wizard_.SetupPathChanged();
  EXPECT_FALSE(view_.next);
  wizard_.FileDropped("C:\\Box\\setup.exe");
  wizard_.SetupPathChanged();
  EXPECT_TRUE(view_.next);
  view_.mode = RunMode::kSeveralApplications;
  wizard_.RunModeChanged();
  wizard_.SetupPathChanged();
  EXPECT_FALSE(view_.next);
}

TEST(WizardInputTest, TheEditsRefuseWhatAFileNameOrASetupPathCannotHold) {
  for (const char32_t refused : U"\"*/:<>?\\|") {
    if (refused == 0) continue;
    EXPECT_FALSE(IdentifierAccepts(refused, false)) << static_cast<uint32_t>(refused);
  }
  EXPECT_TRUE(IdentifierAccepts(U'\u00e9', false));
  EXPECT_TRUE(IdentifierAccepts(U'\b', true));
  EXPECT_FALSE(SetupPathAccepts(U'*', false));
  EXPECT_TRUE(SetupPathAccepts(U'\\', false));
  // A space may not start either, but may follow.
  EXPECT_FALSE(IdentifierAccepts(U' ', true));
  EXPECT_TRUE(IdentifierAccepts(U' ', false));
  EXPECT_FALSE(SetupPathAccepts(U' ', true));
}

}  // namespace
}  // namespace cvn::wizard

// The wizard's install path on the in-memory platform with a view that
// records what it is told: a whole monitoring, resuming, the targets page's
// rules, stops and the questions of closing.
#include "wizard/install_wizard.h"

#include <gtest/gtest.h>

#include <deque>

#include "platform/memory/memory_filesystem.h"
#include "platform/memory/memory_registry.h"
#include "tests/support/bytes.h"
#include "wizard/wizard_input.h"

namespace cvn::wizard {
namespace {

using threads::ProgramState;

class RecordingView final : public WizardView {
 public:
  void ShowPage(Page p) override { page = p; }
  void SetStatus(std::string_view text) override { status = text; }
  void SetCaption(std::string_view text) override { caption = text; }
  void EnableNext(bool on) override { next = on; }
  void EnableBack(bool on) override { back = on; }
  void ShowStop(bool on) override { stop = on; }
  void SetProgress(int, int maximum) override { progress_max = maximum; }
  void StepProgress() override {}
  bool InstallChosen() override { return install; }
  std::string Identifier() override { return identifier; }
  bool ApplicationSelected() override { return false; }
  void EnableFirstPage(bool) override {}
  void SetIdentifier(std::string_view text) override { identifier = text; }
  TargetBoxes Targets() override { return boxes; }
  void ShowTargets(const TargetBoxes& shown, bool enabled, bool lock) override {
    boxes = shown;
    targets_enabled = enabled;
    folders_locked = lock;
  }
  void FocusOtherFolders() override {}
  RunMode ChosenRunMode() override { return mode; }
  std::string SetupPath() override { return setup_path; }
  void SetSetupPath(std::string_view text) override { setup_path = text; }
  void EnableRunPage(bool, bool) override {}
  void FocusSetupPath() override {}
  bool StartSetup(std::string_view) override { return setup_starts; }
  void ShowChanges() override { ++changes_shown; }
  void ClearChanges() override {}
  bool ChangesEdited() override { return edited; }
  bool SaveChanges() override { return true; }
  void ClearEdits() override { identifier.clear(); }
  void CloseWindow() override { closed = true; }
  void ShowError(std::string_view text) override { errors.emplace_back(text); }
  Answer Ask(std::string_view question, bool) override {
    questions.emplace_back(question);
    const Answer answer = answers.empty() ? Answer::kNo : answers.front();
    if (!answers.empty()) answers.pop_front();
    return answer;
  }

  Page page = Page::kFirst;
  std::string status, caption, identifier = "App", setup_path;
  bool next = false, back = false, stop = false, targets_enabled = false, folders_locked = false;
  bool install = true, setup_starts = true, edited = false, closed = false;
  int progress_max = 0, changes_shown = 0;
  TargetBoxes boxes;
  RunMode mode = RunMode::kOneApplication;
  std::vector<std::string> errors, questions;
  std::deque<Answer> answers;
};

// Two hive boxes, the other folders and the system partition.
TargetBoxes Boxes(bool hklm, bool hkcu, bool others, bool system_partition) {
  TargetBoxes boxes;
  boxes.hklm = hklm;
  boxes.hkcu = hkcu;
  boxes.other_folders = others;
  boxes.system_partition = system_partition;
  return boxes;
}

class InstallWizardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fs_.CreateFolders("C:\\Cvn").ok() && fs_.CreateFolders("C:\\Box").ok());
  }
  // The targets the tests choose on the targets page: HKEY_CURRENT_USER and
  // the box folder.
  void ChooseTargets() {
    view_.boxes = Boxes(false, true, true, false);
    view_.boxes.other_folders_text = "C:\\Box\\";
  }
  // Runs the workers' calls until the running scan's end handler gave the
  // Exit button back, then checks the state it left.
  void PumpUntilEnded(ProgramState state) {
    for (int i = 0; i < 500 && !view_.stop; ++i) dispatcher_.WaitAndProcess(10);
    for (int i = 0; i < 500 && view_.stop; ++i) dispatcher_.WaitAndProcess(10);
    ASSERT_FALSE(view_.stop) << "the scan did not end";
    ASSERT_EQ(context_.program_state, state) << view_.status;
  }
  bool Exists(const std::string& path) { return fs_.Exists(path); }
  // Through the first scan to the run page.
  void ScanFirst(InstallWizard& wizard) {
    wizard.Next();
    ChooseTargets();
    wizard.Next();
    PumpUntilEnded(ProgramState::kScanned);
    ASSERT_EQ(wizard.page(), Page::kRun);
  }

  // The program's folders, set before the wizard is made.
  bool SetFolders() {
    settings_.program_folder = context_.program_folder = "C:\\Cvn";
    context_.windows_folder = "C:\\Windows";
    return true;
  }

  platform::MemoryFileSystem fs_;
  platform::MemoryRegistry registry_;
  settings::Settings settings_;
  threads::WorkerContext context_{settings_};
  const bool folders_set_ = SetFolders();
  threads::QueueDispatcher dispatcher_;
  changes::ChangeTree tree_{settings_};
  RecordingView view_;
  InstallWizard wizard_{view_,     settings_,   context_, fs_,
                        registry_, dispatcher_, tree_,    "C:\\Cvn\\corvane.exe"};
};

TEST_F(InstallWizardTest, AMonitoringFromTheFirstPageToTheChangesSavesTheArchive) {
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

TEST_F(InstallWizardTest, APendingMonitoringResumesOnTheTreePageAndADamagedOneIsReported) {
  ASSERT_TRUE(fs_.WriteFile("C:\\Cvn\\Continue.dat", cvn::test::Bytes("Pending\r\n")).ok());
  wizard_.Resume();
  EXPECT_EQ(wizard_.page(), Page::kTree);
  EXPECT_EQ(view_.status, "Press <Next> to re-scan the targets.");
  EXPECT_EQ(context_.program_state, ProgramState::kContinued);
  EXPECT_TRUE(view_.next);

  ASSERT_TRUE(fs_.WriteFile("C:\\Cvn\\Continue.dat", cvn::test::Bytes("\r\n")).ok());
  RecordingView fresh;
  InstallWizard other(fresh, settings_, context_, fs_, registry_, dispatcher_, tree_, "");
  other.Resume();
  EXPECT_EQ(other.page(), Page::kFirst);
  EXPECT_EQ(fresh.status, "C:\\Cvn\\Continue.dat: Invalid file format !");
  EXPECT_FALSE(Exists("C:\\Cvn\\Continue.dat"));
}

TEST_F(InstallWizardTest, TheTargetsDecideNextTheProgressAndTheLockedFolders) {
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
}

TEST_F(InstallWizardTest, ClosingAsksByStateAndCancelKeepsTheWindow) {
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
    InstallWizard wizard(view_, settings_, context_, fs_, registry_, dispatcher_, tree_, "");
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

TEST_F(InstallWizardTest, AStoppedFirstScanLeavesNoSnapshotAndBackReturnsToTheFirstPage) {
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

TEST_F(InstallWizardTest, AFirstScanThatCannotSaveItsSnapshotsStaysOnTheTargetsPage) {
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

TEST_F(InstallWizardTest, ASecondScanThatFailsSavesNoArchiveAndKeepsItsError) {
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

TEST_F(InstallWizardTest, TheFirstPageTakesADroppedSetupAndNextFollowsTheChoice) {
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

TEST_F(InstallWizardTest, TheSetupPathDecidesNextOnlyWhileOneApplicationWaitsForIt) {
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

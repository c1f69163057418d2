// The wizard's uninstall path on the in-memory platform: an application
// monitored through the install path is loaded from the list, reviewed and
// uninstalled; a refused archive, Back, a stop answered No, and the offer of
// administrator rights.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/support/bytes.h"
#include "tests/wizard/wizard_test_support.h"
#include "uninstall/uninstall_backup.h"

namespace cvn::wizard {
namespace {

using threads::ProgramState;

class UninstallPathTest : public testing::WizardTest {
 protected:
  // "App" monitored: its archive holds the file C:\Box\app.txt; the wizard
  // is back on its first page with uninstall chosen and "App" selected.
  void SetUp() override {
    WizardTest::SetUp();
    ScanFirst(wizard_);
    view_.mode = RunMode::kDuringThisScreen;
    wizard_.RunModeChanged();
    ASSERT_TRUE(fs_.WriteFile("C:\\Box\\app.txt", test::Bytes("app")).ok());
    wizard_.Next();
    PumpUntilEnded(ProgramState::kMonitored);
    wizard_.Next();
    ASSERT_EQ(wizard_.page(), Page::kFirst);
    view_.install = false;
    view_.selected = "App";
    wizard_.InstallChoiceChanged();
  }
  // Loads "App" onto the tree page.
  void Load(Wizard& wizard) {
    wizard.Next();
    PumpUntilEnded(ProgramState::kIdle);
    ASSERT_EQ(wizard.page(), Page::kTree);
  }
  void Load() { Load(wizard_); }
  // Loads "App" and uninstalls it, then makes the run look cut short by a
  // power cut: its backup's journal loses its last line.
  void UninstallAndInterrupt(Wizard& wizard) {
    view_.selected = "App";
    ASSERT_NO_FATAL_FAILURE(Load(wizard));
    view_.answers = {Answer::kYes};
    wizard.Next();
    PumpUntilEnded(ProgramState::kUninstalled);
    const std::vector<std::string> backups = uninstall::BackupFolders(fs_, "C:\\Cvn", "App");
    ASSERT_FALSE(backups.empty());
    const std::string manifest = backups.back() + "\\" + std::string(uninstall::kManifestName);
    std::vector<uint8_t> data;
    ASSERT_TRUE(fs_.ReadFile(manifest, &data).ok());
    std::string text(data.begin(), data.end());
    ASSERT_TRUE(text.ends_with("\n"));
    text.erase(text.rfind('\n', text.size() - 2) + 1);
    ASSERT_TRUE(fs_.WriteFile(manifest, test::Bytes(text)).ok());
    ASSERT_EQ(uninstall::FindUnfinishedUninstalls(fs_, "C:\\Cvn").size(), 1u);
  }
  // A new start of the window: a wizard on the same program folder.
  std::unique_ptr<Wizard> Restart() {
    context_.program_state = ProgramState::kIdle;
    view_.questions.clear();
    return std::make_unique<Wizard>(view_, settings_, context_, platform_, dispatcher_, tree_,
                                    "C:\\Cvn\\corvane.exe");
  }
};

TEST_F(UninstallPathTest, TheChosenApplicationIsLoadedReviewedAndUninstalled) {
  EXPECT_TRUE(view_.next);
  // While the loader runs only Stop is live.
  const int shown_before = view_.changes_shown;
  wizard_.Next();
  EXPECT_EQ(view_.status, "Loading changes...");
  EXPECT_TRUE(view_.stop);
  EXPECT_FALSE(view_.next || view_.main_panel);
  PumpUntilEnded(ProgramState::kIdle);
  ASSERT_EQ(wizard_.page(), Page::kTree);
  EXPECT_EQ(view_.changes_shown, shown_before + 1);
  EXPECT_FALSE(view_.stop);
  EXPECT_EQ(view_.caption, "Corvane [App] - uninstalling");
  EXPECT_EQ(view_.status, "Checked changes will be restored. Press <Next> to uninstall.");
  EXPECT_TRUE(view_.back && view_.next && view_.main_panel);
  EXPECT_TRUE(tree_.UninstallMode());

  view_.answers = {Answer::kNo};
  wizard_.Next();
  EXPECT_EQ(wizard_.page(), Page::kTree) << "No leaves the tree as it was";
  EXPECT_EQ(view_.questions.back(), "Are you sure you want to uninstall 'App' ?");

  view_.answers = {Answer::kYes};
  wizard_.Next();
  EXPECT_EQ(wizard_.page(), Page::kLog);
  EXPECT_TRUE(view_.stop);
  EXPECT_FALSE(view_.back || view_.next);
  PumpUntilEnded(ProgramState::kUninstalled);
  EXPECT_FALSE(Exists("C:\\Box\\app.txt"));
  ASSERT_FALSE(view_.log.empty());
  EXPECT_EQ(view_.log.back(), "Uninstall complete without errors");
  const int lists_before = view_.lists_filled;
  wizard_.Next();
  EXPECT_EQ(wizard_.page(), Page::kFirst);
  EXPECT_EQ(view_.lists_filled, lists_before + 1);
}

TEST_F(UninstallPathTest, ARefusedArchiveLeavesTheListButStaysOnDisk) {
  ASSERT_TRUE(fs_.WriteFile("C:\\Cvn\\Broken.cvn", test::Bytes("not an archive")).ok());
  view_.selected = "Broken";
  wizard_.Next();
  EXPECT_EQ(view_.errors, std::vector<std::string>{"Invalid file format !"});
  EXPECT_EQ(view_.selected, "");
  EXPECT_FALSE(view_.next);
  EXPECT_EQ(view_.caption, "Corvane");
  EXPECT_TRUE(Exists("C:\\Cvn\\Broken.cvn"));
  EXPECT_EQ(wizard_.page(), Page::kFirst);
}

TEST_F(UninstallPathTest, BackAsksToSaveAnEditedTreeAndCancelStays) {
  ASSERT_NO_FATAL_FAILURE(Load());
  view_.edited = true;
  view_.answers = {Answer::kCancel};
  wizard_.Back();
  EXPECT_EQ(wizard_.page(), Page::kTree);
  view_.answers = {Answer::kNo};
  wizard_.Back();
  EXPECT_EQ(wizard_.page(), Page::kFirst);
  EXPECT_EQ(view_.status, "Choose the application identifier to uninstall or view.");
  EXPECT_FALSE(view_.back);
  EXPECT_TRUE(view_.next) << "App is still selected";
}

TEST_F(UninstallPathTest, StopDuringTheUninstallAnsweredNoGoesOnToTheEnd) {
  ASSERT_NO_FATAL_FAILURE(Load());
  view_.answers = {Answer::kYes, Answer::kNo};
  wizard_.Next();
  // The engine waits for the window with its first call: Stop parks it.
  ASSERT_TRUE(dispatcher_.WaitForPending(5000));
  wizard_.Exit();
  ASSERT_EQ(view_.questions.size(), 2u);
  EXPECT_EQ(view_.questions.back(),
            "It's not recommended to make an incomplete uninstall !\n"
            "Are you sure you want to stop the uninstalling process ?");
  PumpUntilEnded(ProgramState::kUninstalled);
  EXPECT_EQ(view_.log.back(), "Uninstall complete without errors");
  EXPECT_FALSE(Exists("C:\\Box\\app.txt"));
}

TEST_F(UninstallPathTest, ClosingDuringALoadStopsItWithoutAQuestion) {
  gated_fs_.hold_worker_reads = true;
  wizard_.Next();
  gated_fs_.WaitForHeldRead();
  EXPECT_FALSE(wizard_.MayClose()) << "the window waits for the loader";
  gated_fs_.LetReadsGo();
  PumpUntilEnded(ProgramState::kStopRequested);
  EXPECT_TRUE(view_.questions.empty());
  EXPECT_TRUE(view_.closed);
  EXPECT_EQ(wizard_.page(), Page::kFirst);
}

TEST_F(UninstallPathTest, WithoutAdministratorRightsCorvaneOffersToStartAgainWithThem) {
  view_.elevated = false;
  view_.answers = {Answer::kNo};
  ASSERT_NO_FATAL_FAILURE(Load());
  ASSERT_EQ(view_.questions.size(), 1u);
  EXPECT_NE(view_.questions[0].find("administrator rights"), std::string::npos);
  EXPECT_FALSE(view_.closed);
  // Declined: the uninstall question says what will fail.
  view_.answers = {Answer::kNo};
  wizard_.Next();
  EXPECT_TRUE(view_.questions.back().starts_with("Without administrator rights"));
  EXPECT_TRUE(view_.questions.back().ends_with("Are you sure you want to uninstall 'App' ?"));

  view_.answers = {Answer::kYes};
  wizard_.Back();
  wizard_.Next();
  PumpUntilEnded(ProgramState::kIdle);
  EXPECT_EQ(view_.restarted_with, "App");
  EXPECT_TRUE(view_.closed);
}

// "Show what will be done" lists the actions and asks again; after the
// uninstall, "Restore last uninstall" puts everything back.
TEST_F(UninstallPathTest, TheActionsCanBeSeenFirstAndTheUninstallIsPutBackOnRequest) {
  ASSERT_NO_FATAL_FAILURE(Load());
  EXPECT_FALSE(wizard_.CanRestore("App"));
  view_.answers = {Answer::kCancel, Answer::kYes};  // Show what will be done, then Yes
  wizard_.Next();
  EXPECT_EQ(view_.questions.size(), 2u) << "asked again after the list";
  EXPECT_EQ(view_.actions, std::vector<std::string>{"DELETING FILE: C:\\Box\\app.txt"});
  PumpUntilEnded(ProgramState::kUninstalled);
  EXPECT_FALSE(Exists("C:\\Box\\app.txt"));

  ASSERT_TRUE(wizard_.CanRestore("App"));
  view_.answers = {Answer::kNo};
  wizard_.RestoreLastUninstall("App");
  EXPECT_FALSE(Exists("C:\\Box\\app.txt")) << "No puts nothing back";
  view_.answers = {Answer::kYes};
  wizard_.RestoreLastUninstall("App");
  EXPECT_TRUE(Exists("C:\\Box\\app.txt"));
  EXPECT_EQ(view_.status, "Everything the uninstall of 'App' removed or changed is back.");
  EXPECT_FALSE(wizard_.CanRestore("App"));
}

// An uninstall cut short is offered at the next start: No rolls it back,
// Yes finishes it, Cancel leaves it for later.
TEST_F(UninstallPathTest, AnInterruptedUninstallIsRolledBackOrFinishedAtTheNextStart) {
  ASSERT_NO_FATAL_FAILURE(UninstallAndInterrupt(wizard_));
  std::unique_ptr<Wizard> wizard = Restart();
  view_.answers = {Answer::kCancel};
  wizard->Resume();
  ASSERT_EQ(view_.questions.size(), 1u);
  EXPECT_TRUE(view_.questions[0].starts_with("The uninstall of 'App' was interrupted"));
  EXPECT_EQ(uninstall::FindUnfinishedUninstalls(fs_, "C:\\Cvn").size(), 1u);

  wizard = Restart();
  view_.answers = {Answer::kNo};
  wizard->Resume();
  EXPECT_TRUE(Exists("C:\\Box\\app.txt")) << "rolled back";
  EXPECT_TRUE(uninstall::FindUnfinishedUninstalls(fs_, "C:\\Cvn").empty());

  ASSERT_NO_FATAL_FAILURE(UninstallAndInterrupt(*wizard));
  ASSERT_TRUE(fs_.WriteFile("C:\\Box\\app.txt", test::Bytes("app")).ok());  // as if not yet done
  wizard = Restart();
  view_.answers = {Answer::kYes};
  wizard->Resume();
  EXPECT_EQ(view_.questions.size(), 1u) << "finishing asks nothing more";
  PumpUntilEnded(ProgramState::kUninstalled);
  EXPECT_EQ(wizard->page(), Page::kLog);
  EXPECT_FALSE(Exists("C:\\Box\\app.txt"));
  EXPECT_TRUE(uninstall::FindUnfinishedUninstalls(fs_, "C:\\Cvn").empty());
}

TEST(NeedsAdministratorTest, OnlyTheUsersOwnRegistryAndProfileAreHis) {
  settings::Settings settings;
  const struct {
    changes::NodeKind kind;
    uint32_t root_key;
    const char* path;
    bool needs;
  } kRows[] = {
      {changes::NodeKind::kValueAdded, 0x80000001, "HKEY_CURRENT_USER\\Software\\App", false},
      {changes::NodeKind::kKeyAdded, 0x80000002, "HKEY_LOCAL_MACHINE\\Software", true},
      {changes::NodeKind::kFileAdded, 0, "C:\\Users\\Ada\\AppData", false},
      {changes::NodeKind::kFileAdded, 0, "C:\\Users\\Ada", false},
      {changes::NodeKind::kFileAdded, 0, "C:\\Users\\Adam", true},
      {changes::NodeKind::kFileAdded, 0, "C:\\Users", true},
      {changes::NodeKind::kFolderAdded, 0, "C:\\Program Files", true},
  };
  for (const auto& row : kRows) {
    changes::ChangeTree tree(settings);
    tree.Reset();
    changes::ChangeRecord record;
    record.kind = row.kind;
    record.root_key = row.root_key;
    record.path = row.path;
    tree.AddToTree(row.path, "item", record);
    EXPECT_EQ(NeedsAdministrator(tree, "C:\\Users\\Ada\\"), row.needs) << row.path;
  }
}

}  // namespace
}  // namespace cvn::wizard

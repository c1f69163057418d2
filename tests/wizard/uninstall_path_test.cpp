// The wizard's uninstall path on the in-memory platform: an application
// monitored through the install path is loaded from the list, reviewed and
// uninstalled; a refused archive, Back, a stop answered No, and the offer of
// administrator rights.
#include <gtest/gtest.h>

#include "tests/support/bytes.h"
#include "tests/wizard/wizard_test_support.h"

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
  void Load() {
    wizard_.Next();
    PumpUntilEnded(ProgramState::kIdle);
    ASSERT_EQ(wizard_.page(), Page::kTree);
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
  wizard_.Next();
  EXPECT_FALSE(wizard_.MayClose()) << "the window waits for the loader";
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

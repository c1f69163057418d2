// The scan workers on the in-memory platform: their steps, status texts,
// progress steps and ProgramState values, stops and errors, and a whole
// monitoring from the first scan to a reloaded archive.
#include <gtest/gtest.h>

#include "changes/load_check_tree.h"
#include "changes/save_changes_tree.h"
#include "platform/memory/memory_filesystem.h"
#include "platform/memory/memory_registry.h"
#include "tests/engine/threads/monitoring_scenario.h"

namespace cvn::snapshot {
namespace {

using test::RunWorker;
using test::Window;

constexpr char kProgramFolder[] = "C:\\Cvn";

class ScanThreadsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    settings_.ScanHKCR = false;
    settings_.ScanHKLM = true;
    settings_.ScanHKCU = true;
    settings_.ScanWin = false;
    settings_.ScanProg = false;
    settings_.ScanEntire = false;
    settings_.ScanOthers = true;
    settings_.ScanOtherPaths = box_.folder;
    context_.program_folder = kProgramFolder;
    context_.windows_folder = "C:\\Windows";
    context_.CurrentIdentifier = "App";
    ASSERT_TRUE(fs_.CreateFolders(kProgramFolder).ok());
    ASSERT_TRUE(fs_.CreateFolders("C:\\Scratch").ok());
    test::PrepareBefore(registry_, fs_, box_);
  }

  uint8_t FirstScan(const std::function<void(BaseScanThread&)>& while_running = {}) {
    return RunWorker(new ScanThread(context_, fs_, registry_, dispatcher_, window_), context_,
                     dispatcher_, while_running);
  }
  uint8_t SecondScan(const std::function<void(BaseScanThread&)>& while_running = {}) {
    return RunWorker(new ReScanThread(context_, fs_, registry_, dispatcher_, window_, tree_),
                     context_, dispatcher_, while_running);
  }
  bool SnapshotExists(std::string_view name) {
    return fs_.Exists(std::string(kProgramFolder) + "\\" + std::string(name));
  }

  platform::MemoryRegistry registry_;
  platform::MemoryFileSystem fs_;
  settings::Settings settings_;
  WorkerContext context_{settings_};
  QueueDispatcher dispatcher_;
  Window window_;
  changes::ChangeTree tree_{settings_};
  test::Sandbox box_{"Software\\CorvaneTest\\Mon", "C:\\Scratch\\Mon"};
};

TEST_F(ScanThreadsTest, TargetCountSizesTheProgressBar) {
  EXPECT_EQ(EnabledTargetCount(settings_), 3);  // HKLM, HKCU and the file system
  settings_.ScanOthers = false;
  EXPECT_EQ(EnabledTargetCount(settings_), 2);
  settings_.ScanProg = true;
  settings_.ScanHKCC = true;
  EXPECT_EQ(EnabledTargetCount(settings_), 4);
}

TEST_F(ScanThreadsTest, FirstScanWritesOneSnapshotPerTarget) {
  EXPECT_EQ(FirstScan(), psScanned);
  EXPECT_EQ(window_.statuses,
            (std::vector<std::string>{"Scanning registry category: HKEY_LOCAL_MACHINE...",
                                      "Scanning registry category: HKEY_CURRENT_USER...",
                                      "Scanning file system..."}));
  EXPECT_EQ(window_.steps, 3);
  EXPECT_TRUE(SnapshotExists("HKLM.sns"));
  EXPECT_TRUE(SnapshotExists("HKCU.sns"));
  EXPECT_TRUE(SnapshotExists("FIS2.sns"));
  EXPECT_FALSE(SnapshotExists("HKCR.sns"));
}

TEST_F(ScanThreadsTest, WholeMonitoringFindsExactlyTheInstallersChanges) {
  ASSERT_EQ(FirstScan(), psScanned);
  test::MakeInstallerChanges(registry_, fs_, box_);
  window_.statuses.clear();
  EXPECT_EQ(SecondScan(), psIdle);

  EXPECT_EQ(window_.statuses,
            (std::vector<std::string>{
                "Scanning registry category: HKEY_LOCAL_MACHINE...",
                "Searching changes from category: HKEY_LOCAL_MACHINE...",
                "Scanning registry category: HKEY_CURRENT_USER...",
                "Searching changes from category: HKEY_CURRENT_USER...", "Scanning file system...",
                "Searching changes from file system...", "Detecting moved files..."}));
  // Both scans together fill the bar: 5 steps per target.
  EXPECT_EQ(window_.steps, 5 * EnabledTargetCount(settings_));
  EXPECT_EQ(test::SandboxChanges(tree_, box_), test::ExpectedChanges());
  EXPECT_EQ(test::AllChanges(tree_, box_).size(), test::ExpectedChanges().size());
  for (const char* name : {"HKLM.sns", "HKCU.sns", "FIS1.sns", "FIS2.sns"})
    EXPECT_FALSE(SnapshotExists(name)) << name;

  // Saved, the archive loads back into the same tree.
  changes::SaveChangesTree(tree_, fs_, kProgramFolder, "App");
  changes::ChangeTree loaded(settings_);
  bool ended = false;
  changes::LoadProgress* no_progress = nullptr;
  struct NullProgress : changes::LoadProgress {
    void SetProgress(int) override {}
  } progress;
  no_progress = &progress;
  auto* loader = new changes::TLoadCheckTree(context_, fs_, loaded, dispatcher_, *no_progress);
  loader->SetOnTerminate([&](TSafeThread&) { ended = true; });
  loader->Start();
  for (int i = 0; i < 1000 && !ended; ++i) dispatcher_.WaitAndProcess(10);
  ASSERT_TRUE(ended);
  EXPECT_EQ(context_.ProgramState, psIdle);
  EXPECT_EQ(test::AllChanges(loaded, box_), test::AllChanges(tree_, box_));
  const LoadedChangeCounts& counts = context_.loaded_change_counts;
  EXPECT_EQ(counts.Of(changes::nkKeyAdded), 1u);
  EXPECT_EQ(counts.Of(changes::nkKeyDeleted), 2u);
  EXPECT_EQ(counts.Of(changes::nkValueAdded), 2u);
  EXPECT_EQ(counts.Of(changes::nkValueChanged), 2u);
  EXPECT_EQ(counts.Of(changes::nkValueDeleted), 2u);
  EXPECT_EQ(counts.Of(changes::nkCounterIncremented), 2u);
  EXPECT_EQ(counts.Of(changes::nkFolderAdded), 1u);
  EXPECT_EQ(counts.Of(changes::nkFileAdded), 2u);
}

TEST_F(ScanThreadsTest, EmptyTargetFolderIsNotReportedAsCreated) {
  // Only the file system, and a target that holds nothing at the first scan.
  settings_.ScanHKLM = settings_.ScanHKCU = false;
  settings_.ScanOtherPaths = "C:\\Empty\\Target";
  ASSERT_TRUE(fs_.CreateFolders("C:\\Empty\\Target").ok());
  ASSERT_EQ(FirstScan(), psScanned);
  ASSERT_TRUE(fs_.AddFile("C:\\Empty\\Target\\setup.log", "installed").ok());
  EXPECT_EQ(SecondScan(), psIdle);

  // The one change is the new file: the target and the folders above it
  // were there before and must never be offered for deletion.
  std::vector<std::pair<int32_t, std::string>> changes;
  const changes::NodeId top = tree_.Top();
  for (changes::NodeId n = tree_.NextInSubtree(top, top); n != changes::kNoNode;
       n = tree_.NextInSubtree(n, top)) {
    if (changes::IsChangeKind(tree_.Data(n).Kind))
      changes.emplace_back(tree_.Data(n).Kind, std::string(tree_.Data(n).Path) + "\\" +
                                                   std::string(tree_.Data(n).Name));
  }
  EXPECT_EQ(changes, (std::vector<std::pair<int32_t, std::string>>{
                         {changes::nkFileAdded, "C:\\Empty\\Target\\setup.log"}}));
}

TEST_F(ScanThreadsTest, WithoutFileSystemTargetTheFileSnapshotsAreUntouched) {
  settings_.ScanOthers = false;
  ASSERT_TRUE(fs_.AddFile("C:\\Cvn\\FIS2.SNS", "earlier").ok());
  EXPECT_EQ(FirstScan(), psScanned);
  EXPECT_EQ(window_.steps, 2);
  EXPECT_EQ(SecondScan(), psIdle);
  EXPECT_EQ(window_.steps, 10);
  EXPECT_TRUE(SnapshotExists("FIS2.SNS"));
  EXPECT_FALSE(SnapshotExists("FIS1.SNS"));
}

TEST_F(ScanThreadsTest, StopDuringTheFirstScanEndsWithStopRequested) {
  // The window's Stop once the first hive is under way: park the worker at
  // its next pause point, ask, then stop it and let it go. It cannot get past
  // the second hive's keys without reaching a pause point.
  bool stopped = false;
  EXPECT_EQ(FirstScan([&](BaseScanThread& worker) {
              if (stopped || window_.statuses.empty()) return;
              stopped = true;
              ASSERT_TRUE(worker.SafeSuspend());
              worker.RequestStop();
              worker.Resume();
            }),
            psStopRequested);
  EXPECT_TRUE(stopped);
  EXPECT_LE(window_.steps, 1);  // a terminated thread makes no step
  EXPECT_LE(window_.statuses.size(), 2u);
  EXPECT_FALSE(SnapshotExists("FIS2.sns"));
}

TEST_F(ScanThreadsTest, AnsweringNoResumesTheFirstScanWhereItPaused) {
  bool asked = false;
  EXPECT_EQ(FirstScan([&](BaseScanThread& worker) {
              if (asked || window_.statuses.empty()) return;
              asked = true;
              if (worker.SafeSuspend()) worker.Resume();
            }),
            psScanned);
  EXPECT_TRUE(asked);
  EXPECT_EQ(window_.steps, 3);
}

TEST_F(ScanThreadsTest, StopWhileASnapshotLoadsEndsTheLoadAndFreesItsTree) {
  ASSERT_EQ(FirstScan(), psScanned);
  test::MakeInstallerChanges(registry_, fs_, box_);
  window_.steps = 0;
  window_.statuses.clear();
  auto* worker = new ReScanThread(context_, fs_, registry_, dispatcher_, window_, tree_);
  // The stop arrives while the status before the first snapshot's loading
  // is shown: the load ends at its next record.
  window_.on_status = [&](const std::string& text) {
    if (text.find("Scanning registry") != std::string::npos) worker->RequestStop();
  };
  EXPECT_EQ(RunWorker(worker, context_, dispatcher_), psStopRequested);
  EXPECT_EQ(window_.steps, 0);
  EXPECT_EQ(window_.statuses.size(), 1u);
  EXPECT_EQ(tree_.NodeCount(), 3u);          // no change was inserted
  EXPECT_FALSE(SnapshotExists("HKLM.sns"));  // loading deletes the file, even when stopped
  EXPECT_TRUE(SnapshotExists("HKCU.sns"));   // left for the end handler
  EXPECT_TRUE(SnapshotExists("FIS2.sns"));
}

TEST_F(ScanThreadsTest, MissingSnapshotFailsTheSecondScanWithTheErrorAsStatus) {
  ASSERT_EQ(FirstScan(), psScanned);
  ASSERT_TRUE(fs_.DeleteFile("C:\\Cvn\\HKCU.sns").ok());
  window_.statuses.clear();
  EXPECT_EQ(SecondScan(), psFailed);
  ASSERT_FALSE(window_.statuses.empty());
  EXPECT_NE(window_.statuses.back().find("HKCU.sns"), std::string::npos) << window_.statuses.back();
  EXPECT_EQ(window_.statuses.back().rfind("Scanning", 0), std::string::npos);
  EXPECT_EQ(window_.steps, 3 + 4);  // the first scan's and HKLM's
}

// Regression: a first scan that could not write a snapshot used to end as
// finished, sending the user on to install unmonitored.
TEST_F(ScanThreadsTest, FirstScanThatCannotSaveASnapshotFails) {
  fs_.FailNextWrite(3);
  EXPECT_EQ(FirstScan(), psFailed);
  ASSERT_FALSE(window_.statuses.empty());
  EXPECT_NE(window_.statuses.back().find("HKLM.sns"), std::string::npos) << window_.statuses.back();
  EXPECT_EQ(window_.steps, 0);
}

}  // namespace
}  // namespace cvn::snapshot

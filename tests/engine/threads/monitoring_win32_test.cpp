// A whole monitoring on the real registry and file system, under Wine: first
// scan, an installer's changes in a scratch key and folder, second scan with
// comparison and moved files, then the archive saved, parsed back and
// loaded. Each test owns HKEY_CURRENT_USER\Software\CorvaneTest\<test> and
// C:\CorvaneTest\<test>, both removed first and last. Only HKEY_CURRENT_USER
// (and HKEY_LOCAL_MACHINE where the shared-file counters are needed) is
// scanned, since whole-hive scans dominate the time under Wine.
#include <gtest/gtest.h>

#include "changes/load_check_tree.h"
#include "changes/save_changes_tree.h"
#include "platform/win32/win32_filesystem.h"
#include "platform/win32/win32_registry.h"
#include "tests/engine/threads/monitoring_scenario.h"

namespace cvn::snapshot {
namespace {

using test::RunWorker;
using test::Window;

class MonitoringWin32Test : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    box_ = {"Software\\CorvaneTest\\" + name, "C:\\CorvaneTest\\" + name};
    program_folder_ = box_.folder + "-program";
    fs_.CreateFolder("C:\\CorvaneTest");
    test::CleanSandbox(registry_, fs_, box_);
    test::RemoveTree(fs_, program_folder_);
    ASSERT_TRUE(fs_.CreateFolder(program_folder_).ok());

    settings_.ScanHKCR = false;
    settings_.ScanHKLM = false;
    settings_.ScanHKCU = true;
    settings_.ScanHKUS = false;
    settings_.ScanHKCC = false;
    settings_.ScanWin = false;
    settings_.ScanProg = false;
    settings_.ScanEntire = false;
    settings_.ScanOthers = true;
    settings_.ScanOtherPaths = box_.folder;
    context_.program_folder = program_folder_;
    context_.windows_folder = fs_.WindowsFolder();
    context_.CurrentIdentifier = "Monitored";
    test::PrepareBefore(registry_, fs_, box_);
  }
  void TearDown() override {
    test::CleanSandbox(registry_, fs_, box_);
    test::RemoveTree(fs_, program_folder_);
  }

  uint8_t FirstScan(const std::function<void(BaseScanThread&)>& while_running = {}) {
    return RunWorker(new ScanThread(context_, fs_, registry_, dispatcher_, window_), context_,
                     dispatcher_, while_running);
  }
  uint8_t SecondScan(const std::function<void(BaseScanThread&)>& while_running = {}) {
    return RunWorker(new ReScanThread(context_, fs_, registry_, dispatcher_, window_, tree_),
                     context_, dispatcher_, while_running);
  }
  bool InProgramFolder(std::string_view name) {
    return fs_.GetAttributes(program_folder_ + "\\" + std::string(name)).has_value();
  }

  platform::win32::Win32Registry registry_;
  platform::win32::Win32FileSystem fs_;
  settings::Settings settings_;
  WorkerContext context_{settings_};
  QueueDispatcher dispatcher_;
  Window window_;
  changes::ChangeTree tree_{settings_};
  test::Sandbox box_;
  std::string program_folder_;
};

TEST_F(MonitoringWin32Test, InstallersChangesAreFoundSavedAndLoadedBack) {
  settings_.ScanHKLM = true;  // for the shared-file counters
  ASSERT_EQ(FirstScan(), psScanned);
  EXPECT_EQ(window_.steps, 3);
  test::MakeInstallerChanges(registry_, fs_, box_);
  ASSERT_EQ(SecondScan(), psIdle);
  EXPECT_EQ(window_.steps, 15);
  EXPECT_EQ(test::SandboxChanges(tree_, box_), test::ExpectedChanges());
  for (const char* name : {"HKLM.sns", "HKCU.sns", "FIS1.sns", "FIS2.sns"})
    EXPECT_FALSE(InProgramFolder(name)) << name;

  // The archive's bytes parse back into the same changes.
  changes::SaveChangesTree(tree_, fs_, program_folder_, "Monitored");
  changes::TChgArchive archive(fs_, program_folder_ + "\\Monitored");
  ASSERT_TRUE(archive.Open());
  changes::ChangeTree parsed(settings_);
  LoadedChangeCounts parsed_counts;
  RunToEnd run;
  ASSERT_TRUE(changes::LoadChangeRecords(archive, parsed, parsed_counts, run, nullptr));
  EXPECT_EQ(test::AllChanges(parsed, box_), test::AllChanges(tree_, box_));
  // Written again, the parsed tree gives the same records byte for byte.
  changes::TChgArchive again(fs_, program_folder_ + "\\Again");
  again.CreateHeader();
  changes::WriteChangeRecords(parsed, again);
  ASSERT_EQ(again.Size(), archive.Size());
  EXPECT_TRUE(std::equal(archive.Bytes().begin() + changes::kArchiveHeaderSize,
                         archive.Bytes().end(),
                         again.Bytes().begin() + changes::kArchiveHeaderSize));

  // And the loader worker gives the same tree and counts.
  changes::ChangeTree loaded(settings_);
  loaded.SetUninstallMode(true);
  struct NullProgress : changes::LoadProgress {
    void SetProgress(int) override {}
  } progress;
  bool ended = false;
  auto* loader = new changes::TLoadCheckTree(context_, fs_, loaded, dispatcher_, progress);
  loader->SetOnTerminate([&](TSafeThread&) { ended = true; });
  loader->Start();
  for (int i = 0; i < 3000 && !ended; ++i) dispatcher_.WaitAndProcess(10);
  ASSERT_TRUE(ended);
  EXPECT_EQ(context_.ProgramState, psIdle);
  EXPECT_EQ(test::AllChanges(loaded, box_), test::AllChanges(tree_, box_));
  std::array<uint32_t, 14> in_tree{};
  const changes::NodeId top = tree_.Top();
  for (changes::NodeId n = tree_.NextInSubtree(top, top); n != changes::kNoNode;
       n = tree_.NextInSubtree(n, top))
    if (changes::IsChangeKind(tree_.Data(n).Kind))
      ++in_tree[static_cast<size_t>(tree_.Data(n).Kind)];
  for (int32_t kind : {1, 2, 3, 4, 5, 6, 7, 9})
    EXPECT_EQ(context_.loaded_change_counts.Of(kind), in_tree[static_cast<size_t>(kind)]) << kind;
}

TEST_F(MonitoringWin32Test, StopDuringTheFirstScan) {
  bool stopped = false;
  EXPECT_EQ(FirstScan([&](BaseScanThread& worker) {
              if (stopped || window_.statuses.empty()) return;
              stopped = true;
              if (worker.SafeSuspend()) {
                worker.RequestStop();
                worker.Resume();
              }
            }),
            psStopRequested);
  EXPECT_TRUE(stopped);
  EXPECT_EQ(window_.steps, 0);
}

TEST_F(MonitoringWin32Test, StopDuringTheSecondScansSnapshotLoading) {
  ASSERT_EQ(FirstScan(), psScanned);
  test::MakeInstallerChanges(registry_, fs_, box_);
  window_.steps = 0;
  auto* worker = new ReScanThread(context_, fs_, registry_, dispatcher_, window_, tree_);
  window_.on_status = [&](const std::string& text) {
    if (text.find("Scanning registry") != std::string::npos) worker->RequestStop();
  };
  EXPECT_EQ(RunWorker(worker, context_, dispatcher_), psStopRequested);
  EXPECT_EQ(window_.steps, 0);
  EXPECT_EQ(tree_.NodeCount(), 3u);
  EXPECT_FALSE(InProgramFolder("HKCU.sns"));
  EXPECT_TRUE(InProgramFolder("FIS2.sns"));
}

TEST_F(MonitoringWin32Test, MissingSnapshotFileFailsTheSecondScan) {
  ASSERT_EQ(FirstScan(), psScanned);
  ASSERT_TRUE(fs_.DeleteFile(program_folder_ + "\\HKCU.sns").ok());
  EXPECT_EQ(SecondScan(), psFailed);
  ASSERT_FALSE(window_.statuses.empty());
  EXPECT_NE(test::FindNoCase(window_.statuses.back(), "HKCU.sns"), std::string::npos)
      << window_.statuses.back();
}

}  // namespace
}  // namespace cvn::snapshot

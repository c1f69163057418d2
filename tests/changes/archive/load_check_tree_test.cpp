// Loading an archive back into the changes tree: round trips, counts, check
// boxes, damaged record areas, and the loader worker's states.
#include <gtest/gtest.h>

#include "changes/load_check_tree.h"
#include "changes/save_changes_tree.h"
#include "platform/memory/memory_filesystem.h"
#include "tests/changes/archive/archive_test_util.h"
#include "tests/changes/change_tree_test_util.h"

namespace cvn::changes {
namespace {

using namespace std::string_view_literals;
using snapshot::LoadedChangeCounts;
using snapshot::RunToEnd;
using test::Bytes;
using test::HeaderBytes;

class LoadTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(fs_.CreateFolders("C:\\Cvn").ok()); }

  void Save(const ChangeTree& tree) { SaveChangesTree(tree, fs_, "C:\\Cvn", "App", clock_); }
  void Put(const Bytes& bytes) { ASSERT_TRUE(fs_.WriteFile("C:\\Cvn\\App.cvn", bytes.vec()).ok()); }
  // Loads the archive into `tree`; the loader's verdict.
  bool Load(ChangeTree& tree, snapshot::ScanControl& control) {
    TChgArchive archive(fs_, "C:\\Cvn\\App", clock_);
    EXPECT_TRUE(archive.Open());
    return LoadChangeRecords(archive, tree, counts_, control, nullptr);
  }
  bool Load(ChangeTree& tree) {
    RunToEnd control;
    return Load(tree, control);
  }

  platform::MemoryFileSystem fs_;
  test::FixedClock clock_{45000.0};
  settings::Settings settings_;
  LoadedChangeCounts counts_;
};

TEST_F(LoadTest, RoundTripGivesTheSameTree) {
  ChangeTree saved(settings_);
  test::FillEveryKind(saved);
  Save(saved);
  ChangeTree loaded(settings_);
  ASSERT_TRUE(Load(loaded));
  EXPECT_EQ(test::Dump(loaded), test::Dump(saved));
  // And it saves to the same bytes again.
  std::vector<uint8_t> first;
  ASSERT_TRUE(fs_.ReadFile("C:\\Cvn\\App.cvn", &first).ok());
  Save(loaded);
  std::vector<uint8_t> second;
  ASSERT_TRUE(fs_.ReadFile("C:\\Cvn\\App.cvn", &second).ok());
  EXPECT_EQ(first, second);
}

TEST_F(LoadTest, CountsEveryRecordOfTheCountedKinds) {
  ChangeTree saved(settings_);
  test::FillEveryKind(saved);
  Save(saved);
  ChangeTree loaded(settings_);
  counts_.Count(nkKeyAdded);  // a load starts from zero in the worker; here they add up
  counts_.Reset();
  ASSERT_TRUE(Load(loaded));
  EXPECT_EQ(counts_.Of(nkKeyAdded), 2u);
  EXPECT_EQ(counts_.Of(nkKeyDeleted), 1u);
  EXPECT_EQ(counts_.Of(nkValueAdded), 2u);
  EXPECT_EQ(counts_.Of(nkValueChanged), 1u);
  EXPECT_EQ(counts_.Of(nkValueDeleted), 1u);
  EXPECT_EQ(counts_.Of(nkCounterIncremented), 3u);
  EXPECT_EQ(counts_.Of(nkFolderAdded), 1u);
  EXPECT_EQ(counts_.Of(nkFileAdded), 1u);
  EXPECT_EQ(counts_.Of(nkFileDeleted), 0u);  // not counted
}

TEST_F(LoadTest, KeyUnderTheRootKeyLandsUnderItsHive) {
  Put(Bytes(HeaderBytes(1.0)).U32(1).U32(0x80000001).Str("\\NewKey"));
  ChangeTree tree(settings_);
  ASSERT_TRUE(Load(tree));
  const NodeId hive = test::At(tree, tree.RegistryRoot(), {"HKEY_CURRENT_USER"});
  ASSERT_NE(hive, kNoNode);
  EXPECT_EQ(test::ChildList(tree, hive), std::vector<std::string>{"NewKey/1"});
}

TEST_F(LoadTest, UnknownRootKeyGoesUnderError) {
  Put(Bytes(HeaderBytes(1.0)).U32(1).U32(0x12345678).Str("K"));
  ChangeTree tree(settings_);
  ASSERT_TRUE(Load(tree));
  EXPECT_NE(test::At(tree, tree.RegistryRoot(), {"(error)", "K"}), kNoNode);
}

TEST_F(LoadTest, UninstallModeChecksTheKindsWhosePhaseIsOn) {
  ChangeTree saved(settings_);
  test::FillEveryKind(saved);
  Save(saved);
  settings_.DeleteValues = false;
  ChangeTree tree(settings_);
  tree.SetUninstallMode(true);
  ASSERT_TRUE(Load(tree));
  const NodeId root_value = test::At(tree, tree.RegistryRoot(), {"HKEY_CURRENT_USER", "RootValue"});
  ASSERT_NE(root_value, kNoNode);
  EXPECT_FALSE(tree.HasCheckBox(root_value));
  const NodeId key = test::At(tree, tree.RegistryRoot(), {"HKEY_CURRENT_USER", "NewKey"});
  EXPECT_TRUE(tree.HasCheckBox(key));
  EXPECT_TRUE(tree.IsChecked(key));

  settings_.DeleteValues = true;
  ChangeTree again(settings_);
  again.SetUninstallMode(true);
  ASSERT_TRUE(Load(again));
  const NodeId value = test::At(again, again.RegistryRoot(), {"HKEY_CURRENT_USER", "RootValue"});
  EXPECT_TRUE(again.HasCheckBox(value));
  EXPECT_TRUE(again.IsChecked(value));
}

TEST_F(LoadTest, ExcludedFileIsLeftOutButStillCounted) {
  Put(Bytes(HeaderBytes(1.0))
          .U32(9)
          .Str("C:\\Temp\\a.txt")
          .Str("10:00 01/02/24 5")
          .U32(9)
          .Str("C:\\Keep\\b.txt")
          .Str("10:00 01/02/24 6"));
  settings_.ExcludedFolders.Add("C:\\TEMP");
  ChangeTree tree(settings_);
  ASSERT_TRUE(Load(tree));
  EXPECT_EQ(counts_.Of(nkFileAdded), 2u);
  EXPECT_EQ(test::At(tree, tree.FileSystemRoot(), {"C:", "Temp"}), kNoNode);
  EXPECT_NE(test::At(tree, tree.FileSystemRoot(), {"C:", "Keep", "b.txt"}), kNoNode);
}

TEST_F(LoadTest, EmptyStringsAndBlocksAtTheVeryEndAreComplete) {
  Put(Bytes(HeaderBytes(1.0)).U32(3).U32(0x80000001).Str("K").Str("").U32(3).U32(0));
  ChangeTree tree(settings_);
  ASSERT_TRUE(Load(tree));
  const NodeId value = test::At(tree, tree.RegistryRoot(), {"HKEY_CURRENT_USER", "K", ""});
  ASSERT_NE(value, kNoNode);
  EXPECT_EQ(tree.Data(value).AfterSize, 0);
}

// Damaged record areas end the load as failed, keeping what came before.
struct Damage {
  const char* what;
  Bytes tail;  // after one good record
};

class DamagedArchiveTest : public LoadTest, public ::testing::WithParamInterface<int> {};

std::vector<Damage> Damages() {
  std::vector<Damage> d;
  d.push_back({"unknown kind", Bytes().U32(99).Str("C:\\x")});
  d.push_back({"kind zero", Bytes().U32(0)});
  d.push_back({"string beyond the end", Bytes().U32(7).U32(1000).Raw("C:\\x"sv)});
  d.push_back(
      {"absurd block size",
       Bytes().U32(3).U32(0x80000001).Str("K").Str("v").U32(3).U32(0xFFFFFFF0u).Raw("ab"sv)});
  d.push_back({"record cut after its kind", Bytes().U32(9)});
  d.push_back({"record cut inside a string", Bytes().U32(9).Str("C:\\x").U32(10).Raw("12"sv)});
  d.push_back({"second info text missing", Bytes().U32(10).Str("C:\\x").Str("09:00 01/01/24 1")});
  d.push_back({"a stray byte", Bytes().Raw("\x07"sv)});
  d.push_back({"counter amount cut",
               Bytes().U32(6).U32(0x80000002).Str("S").Str("v").U32(4).Raw("\x01\x02"sv)});
  return d;
}

TEST_P(DamagedArchiveTest, EndsAsFailedWithTheRecordsBefore) {
  const Damage damage = Damages()[static_cast<size_t>(GetParam())];
  SCOPED_TRACE(damage.what);
  Bytes file = HeaderBytes(1.0);
  file.U32(7).Str("C:\\Good");
  for (uint8_t b : damage.tail.vec()) file.Raw(std::string_view(reinterpret_cast<char*>(&b), 1));
  Put(file);
  ChangeTree tree(settings_);
  EXPECT_FALSE(Load(tree));
  EXPECT_EQ(test::Dump(tree).size(), 4u);  // the branch roots, the drive and the folder
  EXPECT_NE(test::At(tree, tree.FileSystemRoot(), {"C:", "Good"}), kNoNode);
}

INSTANTIATE_TEST_SUITE_P(EveryDamage, DamagedArchiveTest,
                         ::testing::Range(0, static_cast<int>(Damages().size())));

TEST_F(LoadTest, StopEndsBeforeTheNextRecord) {
  ChangeTree saved(settings_);
  test::FillEveryKind(saved);
  Save(saved);
  ChangeTree tree(settings_);
  test::StopAfter control(3);
  EXPECT_TRUE(Load(tree, control));
  EXPECT_EQ(counts_.Of(nkKeyAdded) + counts_.Of(nkValueAdded) + counts_.Of(nkKeyDeleted), 3u);
}

// ---- The worker ----

class RecordingProgress : public LoadProgress {
 public:
  void SetProgress(int percent) override { seen.push_back(percent); }
  std::vector<int> seen;
};

class LoaderThreadTest : public LoadTest {
 protected:
  // Starts the loader and pumps the main thread until its end notification.
  void RunLoader(ChangeTree& tree, bool stop_at_once = false) {
    bool ended = false;
    auto* loader = new TLoadCheckTree(context_, fs_, tree, dispatcher_, progress_);
    loader->SetOnTerminate([&](snapshot::TSafeThread& t) {
      ended = true;
      state_at_end_ = context_.ProgramState;
      EXPECT_TRUE(t.Finished());
    });
    if (stop_at_once) loader->Terminate();
    loader->Start();
    for (int i = 0; i < 1000 && !ended; ++i) dispatcher_.WaitAndProcess(10);
    ASSERT_TRUE(ended);
  }

  snapshot::WorkerContext context_{settings_};
  snapshot::QueueDispatcher dispatcher_;
  RecordingProgress progress_;
  uint8_t state_at_end_ = 255;

  void SetUp() override {
    LoadTest::SetUp();
    context_.program_folder = "C:\\Cvn";
    context_.CurrentIdentifier = "App";
  }
};

TEST_F(LoaderThreadTest, LoadsTheArchiveOfTheCurrentIdentifier) {
  ChangeTree saved(settings_);
  test::FillEveryKind(saved);
  Save(saved);
  ChangeTree tree(settings_);
  context_.ProgramState = snapshot::psStopRequested;
  context_.loaded_change_counts.Count(nkFileAdded);
  RunLoader(tree);
  EXPECT_EQ(state_at_end_, snapshot::psIdle);
  EXPECT_EQ(test::Dump(tree), test::Dump(saved));
  EXPECT_EQ(context_.loaded_change_counts.Of(nkFileAdded), 1u);  // reset at the start
  ASSERT_FALSE(progress_.seen.empty());
  EXPECT_EQ(progress_.seen.back(), 100);
  EXPECT_TRUE(std::is_sorted(progress_.seen.begin(), progress_.seen.end()));
}

TEST_F(LoaderThreadTest, MissingArchiveFails) {
  ChangeTree tree(settings_);
  RunLoader(tree);
  EXPECT_EQ(state_at_end_, snapshot::psFailed);
}

TEST_F(LoaderThreadTest, DamagedArchiveFailsKeepingWhatWasRead) {
  Put(Bytes(HeaderBytes(1.0)).U32(7).Str("C:\\Good").U32(42));
  ChangeTree tree(settings_);
  RunLoader(tree);
  EXPECT_EQ(state_at_end_, snapshot::psFailed);
  EXPECT_NE(test::At(tree, tree.FileSystemRoot(), {"C:", "Good"}), kNoNode);
}

TEST_F(LoaderThreadTest, StoppedLoadEndsWithStopRequested) {
  ChangeTree saved(settings_);
  test::FillEveryKind(saved);
  Save(saved);
  ChangeTree tree(settings_);
  RunLoader(tree, /*stop_at_once=*/true);
  EXPECT_EQ(state_at_end_, snapshot::psStopRequested);
  EXPECT_EQ(tree.NodeCount(), 3u);
}

TEST_F(LoaderThreadTest, HeaderOnlyArchiveLoadsAsTwoEmptyBranches) {
  ChangeTree empty(settings_);
  Save(empty);
  ChangeTree tree(settings_);
  RunLoader(tree);
  EXPECT_EQ(state_at_end_, snapshot::psIdle);
  EXPECT_EQ(tree.ChildCount(tree.FileSystemRoot()), 0u);
  EXPECT_EQ(tree.ChildCount(tree.RegistryRoot()), 0u);
}

}  // namespace
}  // namespace cvn::changes

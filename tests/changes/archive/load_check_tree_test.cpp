// Loading an archive back into the changes tree: where records land, damaged
// record areas (cut ones are the fuzz test's), and the loader worker: its
// states, a round trip and the counts.
#include <gtest/gtest.h>

#include "changes/load_check_tree.h"
#include "tests/changes/archive/archive_test_util.h"

namespace cvn::changes {
namespace {

using namespace test;

class LoadTest : public ArchiveFixture, public LoadProgress {
 protected:
  // Loads the archive into `tree_`; the loader's verdict.
  bool Load() {
    TChgArchive archive(fs_, "C:\\Cvn\\App", clock_);
    EXPECT_TRUE(archive.Open());
    snapshot::RunToEnd control;
    return LoadChangeRecords(archive, tree_, counts_, control, nullptr);
  }
  void SetProgress(int percent) override { progress_.push_back(percent); }

  // Starts the loader worker and pumps the main thread until its end
  // notification; the program state at the end.
  uint8_t RunLoader(bool stop_at_once = false) {
    context_.program_folder = "C:\\Cvn";
    context_.CurrentIdentifier = "App";
    bool ended = false;
    uint8_t state = 255;
    auto* loader = new TLoadCheckTree(context_, fs_, tree_, dispatcher_, *this);
    loader->SetOnTerminate([&](snapshot::TSafeThread& t) {
      ended = true;
      state = context_.ProgramState;
      EXPECT_TRUE(t.Finished());
    });
    if (stop_at_once) loader->Terminate();
    loader->Start();
    for (int i = 0; i < 1000 && !ended; ++i) dispatcher_.WaitAndProcess(10);
    EXPECT_TRUE(ended);
    return state;
  }
  ChangeTree tree_{settings_}, saved_{settings_};
  snapshot::LoadedChangeCounts counts_;
  snapshot::WorkerContext context_{settings_};
  snapshot::QueueDispatcher dispatcher_;
  std::vector<int> progress_;
};

TEST_F(LoadTest, RecordsLandWhereTheTreeWouldPutThem) {
  // A key under the root key goes under its hive; an unknown root key under
  // "(error)"; an excluded file is left out but still counted; empty strings
  // and blocks at the very end are complete.
  Fields f = HeaderBytes(1.0);
  f.U32(1).U32(0x80000001).Str("\\NewKey");
  f.U32(1).U32(0x12345678).Str("K");
  f.U32(9).Str("C:\\Temp\\a.txt").Str("10:00 01/02/24 5");
  f.U32(9).Str("C:\\Keep\\b.txt").Str("10:00 01/02/24 6");
  f.U32(3).U32(0x80000001).Str("K").Str("").U32(3).U32(0);
  Put(f.vec());
  settings_.ExcludedFolders.Add("C:\\TEMP");
  ASSERT_TRUE(Load());
  EXPECT_EQ(counts_.Of(nkFileAdded), 2u);
  EXPECT_EQ(Shape(tree_, tree_.Top()),
            "File System/15{C:/17{Keep/18{b.txt/9}}},"
            "Registry/16{HKEY_CURRENT_USER/18{NewKey/1,K/18{/3}},(error)/18{K/1}}");
  EXPECT_EQ(tree_.Data(At(tree_, tree_.RegistryRoot(), "HKEY_CURRENT_USER\\K\\")).AfterSize, 0);
}

// An unknown kind is the worker test's.
TEST_F(LoadTest, AbsurdBlockSizeEndsAsFailedKeepingTheRecordsBefore) {
  Fields f = HeaderBytes(1.0).U32(7).Str("C:\\Good");
  Put(f.U32(3).U32(0x80000001).Str("K").Str("v").U32(3).U32(0xFFFFFFF0u).Raw("ab").vec());
  EXPECT_FALSE(Load());
  EXPECT_EQ(Shape(tree_, tree_.Top()), "File System/15{C:/17{Good/7}},Registry/16");
}

TEST_F(LoadTest, WorkerLoadsOrFailsKeepingWhatWasRead) {
  EXPECT_EQ(RunLoader(), snapshot::psFailed);  // no archive
  Put(HeaderBytes(1.0).U32(7).Str("C:\\Good").U32(42).vec());
  EXPECT_EQ(RunLoader(), snapshot::psFailed);
  EXPECT_EQ(Shape(tree_, tree_.FileSystemRoot()), "C:/17{Good/7}");
  tree_.Reset();
  FillEveryKind(saved_);
  Save(saved_);
  EXPECT_EQ(RunLoader(/*stop_at_once=*/true), snapshot::psStopRequested);
  EXPECT_EQ(tree_.NodeCount(), 3u);
  context_.ProgramState = snapshot::psStopRequested;
  context_.loaded_change_counts.Count(nkFileAdded);
  progress_.clear();
  EXPECT_EQ(RunLoader(), snapshot::psIdle);
  // The same tree, which saves the same bytes; the counted kinds counted from zero.
  EXPECT_EQ(Shape(tree_, tree_.Top()), Shape(saved_, saved_.Top()));
  const std::vector<uint8_t> first = FileBytes();
  Save(tree_);
  EXPECT_EQ(FileBytes(), first);
  const std::pair<int32_t, unsigned> kCounts[] = {
      {nkKeyAdded, 2},     {nkKeyDeleted, 1},   {nkValueAdded, 2},
      {nkValueChanged, 1}, {nkValueDeleted, 1}, {nkCounterIncremented, 3},
      {nkFolderAdded, 1},  {nkFileAdded, 1},    {nkFileDeleted, 0}};  // not counted
  for (auto [kind, count] : kCounts) EXPECT_EQ(context_.loaded_change_counts.Of(kind), count);
  ASSERT_FALSE(progress_.empty());
  EXPECT_EQ(progress_.back(), 100);
  EXPECT_TRUE(std::is_sorted(progress_.begin(), progress_.end()));
}

}  // namespace
}  // namespace cvn::changes

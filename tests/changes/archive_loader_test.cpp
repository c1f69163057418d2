// Loading an archive back into the changes tree: where records land, damaged
// record areas (cut ones are the fuzz test's), and the loader worker: its
// states, a round trip and the counts.
#include <gtest/gtest.h>

#include "changes/archive_loader.h"
#include "tests/changes/archive_test_util.h"
#include "tests/support/bytes.h"

namespace cvn::changes {
namespace {

using namespace test;

class LoadTest : public ArchiveFixture, public LoadProgress {
 protected:
  // Loads the archive into `tree_`; the loader's verdict.
  bool Load() {
    ChangesArchive archive(fs_, "C:\\Cvn\\App", clock_);
    EXPECT_TRUE(archive.Open());
    threads::RunToEnd control;
    return LoadChangeRecords(archive, tree_, counts_, control, nullptr);
  }
  void SetProgress(int percent) override { progress_.push_back(percent); }

  // Starts the loader worker and pumps the main thread until its end
  // notification; the program state at the end.
  threads::ProgramState RunLoader(bool stop_at_once = false) {
    context_.program_folder = "C:\\Cvn";
    context_.current_identifier = "App";
    bool ended = false;
    threads::ProgramState state = threads::ProgramState::kIdle;
    auto* loader = new ArchiveLoader(context_, fs_, tree_, dispatcher_, *this);
    loader->SetOnTerminate([&](threads::WorkerThread& t) {
      ended = true;
      state = context_.program_state;
      EXPECT_TRUE(t.Finished());
    });
    if (stop_at_once) loader->Terminate();
    loader->Start();
    for (int i = 0; i < 1000 && !ended; ++i) dispatcher_.WaitAndProcess(10);
    EXPECT_TRUE(ended);
    return state;
  }
  ChangeTree tree_{settings_}, saved_{settings_};
  threads::LoadedChangeCounts counts_;
  threads::WorkerContext context_{settings_};
  threads::QueueDispatcher dispatcher_;
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
  settings_.excluded_folders.Add("C:\\TEMP");
  ASSERT_TRUE(Load());
  EXPECT_EQ(counts_.Of(NodeKind::kFileAdded), 2u);
  EXPECT_EQ(Shape(tree_, tree_.Top()),
            "File System/15{C:/17{Keep/18{b.txt/9}}},"
            "Registry/16{HKEY_CURRENT_USER/18{NewKey/1,K/18{/3}},(error)/18{K/1}}");
  EXPECT_EQ(tree_.Data(At(tree_, tree_.RegistryRoot(), "HKEY_CURRENT_USER\\K\\")).after_size, 0);
}

// An unknown kind is the worker test's.
TEST_F(LoadTest, AbsurdBlockSizeEndsAsFailedKeepingTheRecordsBefore) {
  Fields f = HeaderBytes(1.0).U32(7).Str("C:\\Good");
  Put(f.U32(3).U32(0x80000001).Str("K").Str("v").U32(3).U32(0xFFFFFFF0u).Raw("ab").vec());
  EXPECT_FALSE(Load());
  EXPECT_EQ(Shape(tree_, tree_.Top()), "File System/15{C:/17{Good/7}},Registry/16");
}

TEST_F(LoadTest, WorkerLoadsOrFailsKeepingWhatWasRead) {
  EXPECT_EQ(RunLoader(), threads::ProgramState::kFailed);  // no archive
  Put(HeaderBytes(1.0).U32(7).Str("C:\\Good").U32(42).vec());
  EXPECT_EQ(RunLoader(), threads::ProgramState::kFailed);
  EXPECT_EQ(Shape(tree_, tree_.FileSystemRoot()), "C:/17{Good/7}");
  tree_.Reset();
  FillEveryKind(saved_);
  Save(saved_);
  EXPECT_EQ(RunLoader(/*stop_at_once=*/true), threads::ProgramState::kStopRequested);
  EXPECT_EQ(tree_.NodeCount(), 3u);
  context_.program_state = threads::ProgramState::kStopRequested;
  context_.loaded_change_counts.Count(NodeKind::kFileAdded);
  progress_.clear();
  EXPECT_EQ(RunLoader(), threads::ProgramState::kIdle);
  // The same tree, which saves the same bytes; the counted kinds counted from zero.
  EXPECT_EQ(Shape(tree_, tree_.Top()), Shape(saved_, saved_.Top()));
  const std::vector<uint8_t> first = FileBytes();
  Save(tree_);
  EXPECT_EQ(FileBytes(), first);
  const std::pair<NodeKind, unsigned> kCounts[] = {
      {NodeKind::kKeyAdded, 2},     {NodeKind::kKeyDeleted, 1},
      {NodeKind::kValueAdded, 2},   {NodeKind::kValueChanged, 1},
      {NodeKind::kValueDeleted, 1}, {NodeKind::kCounterIncremented, 3},
      {NodeKind::kFolderAdded, 1},  {NodeKind::kFileAdded, 1},
      {NodeKind::kFileDeleted, 0}};  // not counted
  for (auto [kind, count] : kCounts) EXPECT_EQ(context_.loaded_change_counts.Of(kind), count);
  ASSERT_FALSE(progress_.empty());
  EXPECT_EQ(progress_.back(), 100);
  EXPECT_TRUE(std::is_sorted(progress_.begin(), progress_.end()));
}

// Created and changed files that can be read get a fingerprint after the
// changes (version 201); the loader reads past them to the same tree.
TEST_F(LoadTest, FingerprintsFollowTheChangesAndLoadAsNone) {
  FillEveryKind(saved_);
  ASSERT_TRUE(fs_.AddFile("C:\\NewDir\\a.txt", "hello").ok());
  ASSERT_TRUE(fs_.AddFile("C:\\Data\\chg.txt", "x").ok());
  ASSERT_TRUE(fs_.AddFile("C:\\Data\\old.txt", "gone").ok());  // deleted: none
  Save(saved_);
  EXPECT_EQ(ParseHeader(std::span<const uint8_t, kArchiveHeaderSize>(FileBytes().data(),
                                                                     kArchiveHeaderSize))
                .version,
            kArchiveFingerprintVersion);
  const Fingerprints fingerprints = ReadFingerprints(fs_, "C:\\Cvn\\App");
  ASSERT_EQ(fingerprints.size(), 2u);
  EXPECT_EQ(fingerprints.at("C:\\NEWDIR\\A.TXT"), platform::Sha256Of(cvn::test::Bytes("hello")));
  EXPECT_EQ(fingerprints.at("C:\\DATA\\CHG.TXT"), platform::Sha256Of(cvn::test::Bytes("x")));
  EXPECT_TRUE(Load());
  EXPECT_EQ(Shape(tree_, tree_.Top()), Shape(saved_, saved_.Top()));
  EXPECT_EQ(counts_.Of(NodeKind::kFileAdded), 1u);
  // A fingerprint whose digest is not 32 bytes is damage.
  std::vector<uint8_t> bytes = FileBytes();
  bytes[bytes.size() - 36] = 31;
  Put(bytes);
  EXPECT_FALSE(Load());
}

// A tree saved again after an edit keeps the fingerprints taken when the
// monitoring ended: a file edited since must still show as changed.
TEST_F(LoadTest, SavingAgainKeepsTheFingerprintsOfTheMonitoring) {
  FillEveryKind(saved_);
  ASSERT_TRUE(fs_.AddFile("C:\\NewDir\\a.txt", "hello").ok());
  Save(saved_);
  const Fingerprints first = ReadFingerprints(fs_, "C:\\Cvn\\App");
  ASSERT_EQ(first.size(), 1u);
  ASSERT_TRUE(fs_.WriteFile("C:\\NewDir\\a.txt", cvn::test::Bytes("edited")).ok());
  SaveChangesTree(saved_, fs_, "C:\\Cvn", "App", clock_, &first);
  EXPECT_EQ(ReadFingerprints(fs_, "C:\\Cvn\\App"), first);
}

}  // namespace
}  // namespace cvn::changes

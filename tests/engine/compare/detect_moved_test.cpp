// Moved-file detection on the changes tree: which deleted and created files
// pair, and in which order.
#include "engine/compare/detect_moved.h"

#include <gtest/gtest.h>

#include <string>

#include "changes/change_tree.h"
#include "compare_test_util.h"
#include "engine/compare/compare_fs.h"

namespace cvn::compare {
namespace {

using changes::ChangeTree;
using changes::kNoNode;
using changes::nkFileAdded;
using changes::nkFileDeleted;
using changes::nkFileMovedFrom;
using changes::nkFileMovedTo;
using changes::NodeId;
using changes::TNodeData;

class DetectMovedTest : public ::testing::Test {
 protected:
  NodeId Deleted(std::string_view folder, std::string_view name, std::string_view info) {
    TNodeData record;
    record.Kind = nkFileDeleted;
    record.Path = folder;
    record.Before = changes::TextBuffer(info);
    record.BeforeSize = static_cast<int32_t>(info.size() + 1);
    tree_.AddToTree(folder, name, record);
    return tree_.LastInserted();
  }
  NodeId Created(std::string_view folder, std::string_view name, std::string_view info) {
    TNodeData record;
    record.Kind = nkFileAdded;
    record.Path = folder;
    record.After = changes::TextBuffer(info);
    record.AfterSize = static_cast<int32_t>(info.size() + 1);
    tree_.AddToTree(folder, name, record);
    return tree_.LastInserted();
  }
  int32_t KindOf(NodeId n) const { return tree_.Data(n).Kind; }
  void Detect() {
    snapshot::RunToEnd run;
    DetectMovedFiles(run, tree_);
  }

  settings::Settings settings_;
  ChangeTree tree_{settings_};
};

TEST_F(DetectMovedTest, DeletedAndCreatedFileWithTheSameNameAndInfoPair) {
  const NodeId from = Deleted("C:\\Temp\\Inst", "Setup.dll", "10:15 01/02/06 4096");
  const NodeId to = Created("C:\\Program Files\\App", "Setup.dll", "10:15 01/02/06 4096");
  Detect();
  EXPECT_EQ(KindOf(from), nkFileMovedFrom);
  EXPECT_EQ(KindOf(to), nkFileMovedTo);
  // Nothing else of the two nodes changes.
  EXPECT_EQ(tree_.Data(to).Name, "Setup.dll");
  EXPECT_EQ(tree_.Data(to).Path, "C:\\Program Files\\App");
}

TEST_F(DetectMovedTest, NamesMustMatchInLetterCase) {
  const NodeId from = Deleted("C:\\Temp\\Inst", "Setup.dll", "10:15 01/02/06 4096");
  const NodeId to = Created("C:\\Program Files\\App", "SETUP.DLL", "10:15 01/02/06 4096");
  Detect();
  EXPECT_EQ(KindOf(from), nkFileDeleted);
  EXPECT_EQ(KindOf(to), nkFileAdded);
}

TEST_F(DetectMovedTest, InfoTextsMustMatch) {
  const NodeId from = Deleted("C:\\A", "f", "10:15 01/02/06 4096");
  const NodeId size = Created("C:\\B", "f", "10:15 01/02/06 4097");
  const NodeId time = Created("C:\\C", "f", "10:16 01/02/06 4096");
  Detect();
  EXPECT_EQ(KindOf(from), nkFileDeleted);
  EXPECT_EQ(KindOf(size), nkFileAdded);
  EXPECT_EQ(KindOf(time), nkFileAdded);
}

TEST_F(DetectMovedTest, TheDeletedFileMetFirstInTreeOrderTakesTheOnlyCreatedOne) {
  const NodeId first = Deleted("C:\\A", "f", "info");
  const NodeId second = Deleted("C:\\B", "f", "info");
  const NodeId created = Created("D:\\X", "f", "info");
  Detect();
  EXPECT_EQ(KindOf(first), nkFileMovedFrom);
  EXPECT_EQ(KindOf(second), nkFileDeleted);
  EXPECT_EQ(KindOf(created), nkFileMovedTo);
}

TEST_F(DetectMovedTest, EachDeletedFileTakesTheFirstCreatedOneNotYetTaken) {
  const NodeId d1 = Deleted("C:\\A", "f", "info");
  const NodeId c1 = Created("C:\\B", "f", "info");
  const NodeId d2 = Deleted("C:\\C", "f", "info");
  const NodeId c2 = Created("C:\\D", "f", "info");
  const NodeId c3 = Created("C:\\E", "f", "info");
  Detect();
  EXPECT_EQ(KindOf(d1), nkFileMovedFrom);
  EXPECT_EQ(KindOf(d2), nkFileMovedFrom);
  EXPECT_EQ(KindOf(c1), nkFileMovedTo);
  EXPECT_EQ(KindOf(c2), nkFileMovedTo);
  EXPECT_EQ(KindOf(c3), nkFileAdded);
}

TEST_F(DetectMovedTest, TreeOrderIsTheCurrentOrderOfTheChildren) {
  // Created in folder Z first, then in folder A: in insertion order Z wins;
  // once the drive's children are sorted, A comes first and wins.
  for (bool sorted : {false, true}) {
    SCOPED_TRACE(sorted);
    tree_.Reset();
    const NodeId from = Deleted("D:", "f", "info");
    const NodeId z = Created("C:\\Z", "f", "info");
    const NodeId a = Created("C:\\A", "f", "info");
    if (sorted) tree_.InitNode(tree_.LastChild(tree_.FileSystemRoot()));  // C:
    Detect();
    EXPECT_EQ(KindOf(from), nkFileMovedFrom);
    EXPECT_EQ(KindOf(z), sorted ? nkFileAdded : nkFileMovedTo);
    EXPECT_EQ(KindOf(a), sorted ? nkFileMovedTo : nkFileAdded);
  }
}

TEST_F(DetectMovedTest, ADeletedFileMayPairWithACreatedOneThatComesBeforeIt) {
  const NodeId created = Created("C:\\A", "f", "info");
  const NodeId deleted = Deleted("C:\\B", "f", "info");
  Detect();
  EXPECT_EQ(KindOf(created), nkFileMovedTo);
  EXPECT_EQ(KindOf(deleted), nkFileMovedFrom);
}

TEST_F(DetectMovedTest, FilesLeftOutOfTheTreeNeverPair) {
  settings_.IgnoredFiles.Add("C:\\Temp\\f");
  const NodeId from = Deleted("C:\\Temp", "f", "info");
  const NodeId to = Created("C:\\App", "f", "info");
  EXPECT_EQ(from, kNoNode);
  Detect();
  EXPECT_EQ(KindOf(to), nkFileAdded);
}

TEST_F(DetectMovedTest, ABranchWithoutDeletedFilesIsLeftAlone) {
  const NodeId a = Created("C:\\A", "f", "info");
  const NodeId b = Created("C:\\B", "f", "info");
  Detect();
  EXPECT_EQ(KindOf(a), nkFileAdded);
  EXPECT_EQ(KindOf(b), nkFileAdded);
}

TEST_F(DetectMovedTest, TextsCompareUpToTheirFirstZero) {
  TNodeData record;
  record.Kind = nkFileAdded;
  // Bytes after the terminator, as a loaded archive may carry: not compared.
  record.After = changes::CopyBuffer(std::vector<uint8_t>{'x', 0, 'y'});
  record.AfterSize = 3;
  tree_.AddToTree("C:\\A", "f", record);
  const NodeId to = tree_.LastInserted();
  // No terminator at all: the whole buffer is the text.
  record = TNodeData();
  record.Kind = nkFileDeleted;
  record.Before = changes::CopyBuffer(std::vector<uint8_t>{'x'});
  record.BeforeSize = 1;
  tree_.AddToTree("C:\\B", "f", record);
  const NodeId from = tree_.LastInserted();
  Detect();
  EXPECT_EQ(KindOf(from), nkFileMovedFrom);
  EXPECT_EQ(KindOf(to), nkFileMovedTo);
}

TEST_F(DetectMovedTest, WholeMinuteInfoPairsFilesWrittenSecondsApart) {
  test::TreeBuilder before, after;
  before.File(before.Node(before.Top("C:"), "Old"), "f.dll", test::Dos(2006, 2, 1, 10, 15, 2), 77);
  after.Node(after.Top("C:"), "Old");
  after.File(after.Node(after.Top("D:"), "New"), "f.dll", test::Dos(2006, 2, 1, 10, 15, 40), 77);
  snapshot::RunToEnd run;
  FileSystemComparer(run, tree_).CompareTrees(before.Root(), after.Root());
  Detect();
  // The first pass made D:\New\f.dll, the second C:\Old\f.dll.
  const NodeId new_drive = tree_.FirstChild(tree_.FileSystemRoot());
  const NodeId moved_to = tree_.FirstChild(tree_.FirstChild(new_drive));
  ASSERT_EQ(tree_.Data(moved_to).Name, "f.dll");
  EXPECT_EQ(KindOf(moved_to), nkFileMovedTo);
  const NodeId old = tree_.FirstChild(tree_.LastChild(tree_.FileSystemRoot()));
  ASSERT_EQ(tree_.Data(old).Name, "Old");
  EXPECT_EQ(KindOf(tree_.FirstChild(old)), nkFileMovedFrom);
}

TEST_F(DetectMovedTest, TerminationEndsTheWalkAndKeepsThePairsFound) {
  const NodeId d1 = Deleted("C:\\A", "f", "info");
  const NodeId d2 = Deleted("C:\\B", "g", "info");
  const NodeId c1 = Created("D:", "f", "info");
  const NodeId c2 = Created("D:", "g", "info");
  {
    test::StopAfter stop(0);
    DetectMovedFiles(stop, tree_);
    EXPECT_EQ(KindOf(d1), nkFileDeleted);
    EXPECT_EQ(KindOf(c1), nkFileAdded);
  }
  {
    // Pause points: the branch root, C:, A, f; then the stop shows.
    test::StopAfter stop(4);
    DetectMovedFiles(stop, tree_);
    EXPECT_EQ(KindOf(d1), nkFileMovedFrom);
    EXPECT_EQ(KindOf(c1), nkFileMovedTo);
    EXPECT_EQ(KindOf(d2), nkFileDeleted);
    EXPECT_EQ(KindOf(c2), nkFileAdded);
  }
}

}  // namespace
}  // namespace cvn::compare

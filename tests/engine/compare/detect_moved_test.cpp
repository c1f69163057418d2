// Moved-file detection on the changes tree: which deleted and created files
// pair, and in which order.
#include "engine/compare/detect_moved.h"

#include <gtest/gtest.h>

#include <random>

#include "changes/change_tree.h"
#include "compare_test_util.h"
#include "engine/compare/compare_fs.h"

namespace cvn::compare {
namespace {

using namespace changes;

class DetectMovedTest : public ::testing::Test {
 protected:
  // A deleted (`deleted`) or created file with its info text.
  NodeId Add(bool deleted, std::string_view folder, std::string_view name, std::string_view info) {
    TNodeData record;
    record.Kind = deleted ? nkFileDeleted : nkFileAdded;
    record.Path = folder;
    (deleted ? record.Before : record.After) = TextBuffer(info);
    (deleted ? record.BeforeSize : record.AfterSize) = static_cast<int32_t>(info.size() + 1);
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

TEST_F(DetectMovedTest, PairingRules) {
  constexpr bool D = true, C = false;
  const char* const kInfo = "10:15 01/02/06 4096";
  struct File { bool deleted; const char* folder; const char* name; const char* info; int32_t kind; };
  const struct { const char* what; std::vector<File> files; } kRows[] = {
      {"same name and info",
       {{D, "C:\\Temp\\Inst", "Setup.dll", kInfo, nkFileMovedFrom},
        {C, "C:\\Program Files\\App", "Setup.dll", kInfo, nkFileMovedTo}}},
      {"names must match in letter case",
       {{D, "C:\\Temp", "Setup.dll", kInfo, nkFileDeleted}, {C, "C:\\App", "SETUP.DLL", kInfo, nkFileAdded}}},
      {"info texts must match",
       {{D, "C:\\A", "f", kInfo, nkFileDeleted},
        {C, "C:\\B", "f", "10:15 01/02/06 4097", nkFileAdded},
        {C, "C:\\C", "f", "10:16 01/02/06 4096", nkFileAdded}}},
      {"the first deleted file in tree order takes the only created one",
       {{D, "C:\\A", "f", "i", nkFileMovedFrom}, {D, "C:\\B", "f", "i", nkFileDeleted},
        {C, "D:\\X", "f", "i", nkFileMovedTo}}},
      {"each takes the first created one not yet taken",
       {{D, "C:\\A", "f", "i", nkFileMovedFrom}, {C, "C:\\B", "f", "i", nkFileMovedTo},
        {D, "C:\\C", "f", "i", nkFileMovedFrom}, {C, "C:\\D", "f", "i", nkFileMovedTo},
        {C, "C:\\E", "f", "i", nkFileAdded}}},
      {"the created file may come first",
       {{C, "C:\\A", "f", "i", nkFileMovedTo}, {D, "C:\\B", "f", "i", nkFileMovedFrom}}},
      {"no deleted files", {{C, "C:\\A", "f", "i", nkFileAdded}, {C, "C:\\B", "f", "i", nkFileAdded}}},
  };
  for (const auto& r : kRows) {
    SCOPED_TRACE(r.what);
    tree_.Reset();
    std::vector<NodeId> nodes;
    for (const File& f : r.files) nodes.push_back(Add(f.deleted, f.folder, f.name, f.info));
    Detect();
    for (size_t i = 0; i < nodes.size(); ++i) EXPECT_EQ(KindOf(nodes[i]), r.files[i].kind) << i;
  }
  // Nothing else of a paired node changes.
  tree_.Reset();
  Add(true, "C:\\A", "f", "i");
  const NodeId to = Add(false, "C:\\B", "f", "i");
  Detect();
  EXPECT_EQ(tree_.Data(to).Name, "f");
  EXPECT_EQ(tree_.Data(to).Path, "C:\\B");
}

TEST_F(DetectMovedTest, TreeOrderIsTheCurrentOrderOfTheChildren) {
  // Created in folder Z first, then in A: in insertion order Z wins; once the
  // drive's children are sorted, A comes first and wins.
  for (bool sorted : {false, true}) {
    SCOPED_TRACE(sorted);
    tree_.Reset();
    const NodeId from = Add(true, "D:", "f", "info");
    const NodeId z = Add(false, "C:\\Z", "f", "info");
    const NodeId a = Add(false, "C:\\A", "f", "info");
    if (sorted) tree_.InitNode(tree_.LastChild(tree_.FileSystemRoot()));  // C:
    Detect();
    EXPECT_EQ(KindOf(from), nkFileMovedFrom);
    EXPECT_EQ(KindOf(z), sorted ? nkFileAdded : nkFileMovedTo);
    EXPECT_EQ(KindOf(a), sorted ? nkFileMovedTo : nkFileAdded);
  }
}

TEST_F(DetectMovedTest, FilesLeftOutOfTheTreeNeverPair) {
  settings_.IgnoredFiles.Add("C:\\Temp\\f");
  EXPECT_EQ(Add(true, "C:\\Temp", "f", "info"), kNoNode);
  const NodeId to = Add(false, "C:\\App", "f", "info");
  Detect();
  EXPECT_EQ(KindOf(to), nkFileAdded);
}

TEST_F(DetectMovedTest, TextsCompareUpToTheirFirstZero) {
  TNodeData record;
  record.Kind = nkFileAdded;
  // Bytes after the terminator, as a loaded archive may carry: not compared.
  record.After = CopyBuffer(std::vector<uint8_t>{'x', 0, 'y'});
  record.AfterSize = 3;
  tree_.AddToTree("C:\\A", "f", record);
  const NodeId to = tree_.LastInserted();
  record = TNodeData();  // no terminator at all: the whole buffer is the text
  record.Kind = nkFileDeleted;
  record.Before = CopyBuffer(std::vector<uint8_t>{'x'});
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
  const NodeId moved_to = tree_.FirstChild(tree_.FirstChild(tree_.FirstChild(tree_.FileSystemRoot())));
  ASSERT_EQ(tree_.Data(moved_to).Name, "f.dll");
  EXPECT_EQ(KindOf(moved_to), nkFileMovedTo);
  const NodeId old = tree_.FirstChild(tree_.LastChild(tree_.FileSystemRoot()));
  ASSERT_EQ(tree_.Data(old).Name, "Old");
  EXPECT_EQ(KindOf(tree_.FirstChild(old)), nkFileMovedFrom);
}

TEST_F(DetectMovedTest, TerminationEndsTheWalkAndKeepsThePairsFound) {
  const NodeId d1 = Add(true, "C:\\A", "f", "info"), d2 = Add(true, "C:\\B", "g", "info");
  const NodeId c1 = Add(false, "D:", "f", "info"), c2 = Add(false, "D:", "g", "info");
  test::StopAfter at_once(0);
  DetectMovedFiles(at_once, tree_);
  EXPECT_EQ(KindOf(d1), nkFileDeleted);
  EXPECT_EQ(KindOf(c1), nkFileAdded);
  test::StopAfter after_f(4);  // pause points: the branch root, C:, A, f; then the stop shows
  DetectMovedFiles(after_f, tree_);
  EXPECT_EQ(KindOf(d1), nkFileMovedFrom);
  EXPECT_EQ(KindOf(c1), nkFileMovedTo);
  EXPECT_EQ(KindOf(d2), nkFileDeleted);
  EXPECT_EQ(KindOf(c2), nkFileAdded);
}

// Many files with few names and info texts, so keys collide and repeat: each
// deleted file in tree order pairs with the first created twin not yet taken.
TEST_F(DetectMovedTest, ManyFilesPairAsAScanInTreeOrderPairsThem) {
  std::mt19937 rng(3);
  size_t moved = 0;
  for (int round = 0; round < 20; ++round) {
    tree_.Reset();
    struct Entry { bool deleted; std::string name, info; NodeId node; };
    std::vector<Entry> files(50 + rng() % 300);
    for (size_t i = 0; i < files.size(); ++i) {
      Entry& f = files[i];
      f.deleted = rng() % 2;
      f.name = std::string(1, "aAbBcdef"[rng() % 8]) + std::to_string(rng() % 6);
      f.info = "info " + std::to_string(rng() % 3);
      f.node = Add(f.deleted, "C:\\F" + std::to_string(i), f.name, f.info);  // one folder each: tree order
    }
    std::vector<int32_t> expected;
    for (const Entry& f : files) expected.push_back(f.deleted ? nkFileDeleted : nkFileAdded);
    for (size_t i = 0; i < files.size(); ++i) {
      if (!files[i].deleted) continue;
      for (size_t j = 0; j < files.size(); ++j) {
        if (files[j].deleted || expected[j] == nkFileMovedTo || files[j].name != files[i].name ||
            files[j].info != files[i].info)
          continue;
        expected[i] = nkFileMovedFrom;
        expected[j] = nkFileMovedTo;
        break;
      }
    }
    Detect();
    for (size_t i = 0; i < files.size(); ++i) {
      ASSERT_EQ(KindOf(files[i].node), expected[i]) << "round " << round << ", file " << i;
      moved += expected[i] == nkFileMovedTo;
    }
  }
  EXPECT_GT(moved, 500u);
}

}  // namespace
}  // namespace cvn::compare

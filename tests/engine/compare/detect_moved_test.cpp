// Moved-file detection on the changes tree: which deleted and created files
// pair, and in which order.
#include "engine/compare/detect_moved.h"

#include <gtest/gtest.h>

#include <random>

#include "changes/change_tree.h"
#include "compare_test_util.h"

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

// Only a created file of the same name, in letter case too, and info text
// pairs, and nothing else of it changes; the property test below covers the
// order of pairing.
TEST_F(DetectMovedTest, OnlyTheSameNameAndInfoPair) {
  const char* const kInfo = "10:15 01/02/06 4096";
  const NodeId from = Add(true, "C:\\Temp\\Inst", "Setup.dll", kInfo);
  const NodeId others[] = {Add(false, "C:\\A", "SETUP.DLL", kInfo),
                           Add(false, "C:\\B", "Setup.dll", "10:15 01/02/06 4097"),
                           Add(false, "C:\\C", "Setup.dll", "10:16 01/02/06 4096")};
  const NodeId to = Add(false, "C:\\Program Files\\App", "Setup.dll", kInfo);
  Detect();
  EXPECT_EQ(KindOf(from), nkFileMovedFrom);
  EXPECT_EQ(KindOf(to), nkFileMovedTo);
  for (NodeId n : others) EXPECT_EQ(KindOf(n), nkFileAdded);
  EXPECT_EQ(tree_.Data(to).Name, "Setup.dll");
  EXPECT_EQ(tree_.Data(to).Path, "C:\\Program Files\\App");
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
    struct Entry {
      bool deleted;
      std::string name, info;
      NodeId node;
    };
    std::vector<Entry> files(50 + rng() % 300);
    for (size_t i = 0; i < files.size(); ++i) {
      Entry& f = files[i];
      f.deleted = rng() % 2;
      f.name = std::string(1, "aAbBcdef"[rng() % 8]) + std::to_string(rng() % 6);
      f.info = "info " + std::to_string(rng() % 3);
      f.node = Add(f.deleted, "C:\\F" + std::to_string(i), f.name,
                   f.info);  // one folder each: tree order
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

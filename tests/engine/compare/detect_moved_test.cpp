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

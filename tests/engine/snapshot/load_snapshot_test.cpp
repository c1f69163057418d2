// Loading a snapshot file into a snapshot tree.
#include "engine/snapshot/load_snapshot.h"

#include <gtest/gtest.h>

#include "platform/memory/memory_filesystem.h"
#include "tests/engine/snapshot/snapshot_test_util.h"

namespace cvn::snapshot {
namespace {

using test::ChildNamed;
using test::kKey;
using test::Names;
using test::ValueNamed;
using Strings = std::vector<std::string>;

constexpr char kFolder[] = "C:\\Corvane";
const std::vector<uint8_t> kDword1 = {1, 0, 0, 0};

class LoadSnapshotTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(fs_.CreateFolders(kFolder).ok()); }

  SnapshotTree Load(const std::vector<test::Add>& adds, ScanControl* control = nullptr,
                    std::string_view base_name = "HKLM") {
    test::WriteStore(fs_, kFolder, base_name, adds);
    RunToEnd to_end;
    SnapshotTree tree = LoadSnapshot(fs_, kFolder, base_name, control ? *control : to_end);
    // Loading deletes the file, also when stopped.
    EXPECT_FALSE(fs_.Exists(SnapshotFilePath(kFolder, base_name)));
    return tree;
  }

  platform::MemoryFileSystem fs_;
};

TEST_F(LoadSnapshotTest, EmptyMissingAndDamagedFiles) {
  EXPECT_EQ(Load({}).Root(), nullptr);  // no records: a null tree
  RunToEnd control;
  EXPECT_THROW(LoadSnapshot(fs_, kFolder, "FIS1", control), SnapshotFileError);
  ASSERT_TRUE(
      fs_.AddFile("C:\\Corvane\\HKLM.sns", std::string("\x01\x11\x01\x00\x05\x00", 6)).ok());
  EXPECT_THROW(LoadSnapshot(fs_, kFolder, "HKLM", control), SnapshotFormatError);
}

TEST_F(LoadSnapshotTest, KeyMetAgainAfterADeeperSubtreeIsFoundByNameWithoutRegardToCase) {
  SnapshotTree tree = Load({{"", "", {}, 0, kKey},
                            {"A", "", {}, 0, kKey},
                            {"A\\B", "", {}, 0, kKey},
                            {"A\\B\\C", "", {}, 0, kKey},
                            {"a\\D", "", {}, 0, kKey},  // full path: A is found, D appended
                            {"a\\D", "v", kDword1, 4, 0}});
  EXPECT_EQ(Names(tree.Root()->Child), Strings{"A"});
  const TNode* a = ChildNamed(tree.Root(), "A");
  EXPECT_EQ(Names(a->Child), (Strings{"B", "D"}));
  EXPECT_EQ(Names(ChildNamed(a, "B")->Child), Strings{"C"});
  EXPECT_EQ(Names(ChildNamed(a, "D")->Values), Strings{"v"});
}

TEST_F(LoadSnapshotTest, PausePointAfterEveryRecordAndAStopKeepsThePartialTree) {
  std::vector<test::Add> adds = {{"", "", {}, 0, kKey}};
  for (int i = 0; i < 10; ++i) adds.push_back({"K", "v" + std::to_string(i), kDword1, 4, 0});
  test::StopAfter to_end;
  Load(adds, &to_end);
  EXPECT_EQ(to_end.pauses(), 11);
  test::StopAfter stop(4);
  SnapshotTree tree = Load(adds, &stop);
  // Records 1 to 4 are placed: the root, K with v0, v1, v2.
  ASSERT_NE(tree.Root(), nullptr);
  EXPECT_EQ(Names(ChildNamed(tree.Root(), "K")->Values), (Strings{"v2", "v1", "v0"}));
  EXPECT_EQ(stop.pauses(), 4);
  test::StopAfter at_once(0);
  EXPECT_EQ(Load(adds, &at_once).Root(), nullptr);
}

// Long sibling lists are looked up through an index, which must give the
// same first node a linear search gives, also after relative records put
// same-named nodes at the head.
TEST_F(LoadSnapshotTest, LongSiblingListsFindTheFirstNodeOfTheName) {
  std::vector<test::Add> adds = {{"", "", {}, 0, kKey}, {"K", "", {}, 0, kKey}};
  for (int i = 0; i < 20; ++i) adds.push_back({"K\\S" + std::to_string(i), "", {}, 0, kKey});
  adds.insert(adds.end(),
              {{"K\\S3\\Deep", "", {}, 0, kKey},  // full path: K's children get an index
               {"K", "", {}, 0, kKey},
               {"K\\S3", "", {}, 0, kKey},  // relative: a second S3, now first
               {"K\\S3\\Deeper", "", {}, 0, kKey},
               {"K\\s3", "newest", {}, 1, 0},       // full path: must find the head S3
               {"K\\S3\\Deep", "old", {}, 1, 0}});  // the head S3 has no Deep yet
  SnapshotTree tree = Load(adds);
  const TNode* k = ChildNamed(tree.Root(), "K");
  ASSERT_NE(k, nullptr);
  ASSERT_EQ(Names(k->Child).size(), 21u);  // S0 to S19 and the second S3
  EXPECT_EQ(k->Child->Name, "S3");
  EXPECT_EQ(Names(k->Child->Values), Strings{"newest"});
  EXPECT_EQ(Names(k->Child->Child), (Strings{"Deeper", "Deep"}));
  EXPECT_EQ(Names(ChildNamed(k->Child, "Deep")->Values), Strings{"old"});
}

}  // namespace
}  // namespace cvn::snapshot

// Loading a snapshot file into a snapshot tree.
#include "engine/snapshot/load_snapshot.h"

#include <gtest/gtest.h>

#include "engine/snapshot/db_tree.h"
#include "platform/memory/memory_filesystem.h"
#include "tests/engine/snapshot/snapshot_test_util.h"

namespace cvn::snapshot {
namespace {

using platform::MemoryFileSystem;
using test::ChildNamed;
using test::ChildNames;
using test::CountingControl;
using test::DataOf;
using test::ValueNamed;
using test::ValueNames;

constexpr char kFolder[] = "C:\\Corvane";
const std::vector<uint8_t> kDword1 = {0x01, 0x00, 0x00, 0x00};

class LoadSnapshotTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(fs_.CreateFolders(kFolder).ok()); }

  TDBTree NewStore(std::string_view base_name) {
    return TDBTree::CreateNew(fs_, kFolder, base_name);
  }
  SnapshotTree Load(std::string_view base_name) {
    RunToEnd control;
    return LoadSnapshot(fs_, kFolder, base_name, control);
  }

  MemoryFileSystem fs_;
};

TEST_F(LoadSnapshotTest, FourRecordRegistryExampleBuildsRootKeyAndSubkeys) {
  TDBTree store = NewStore("HKLM");
  store.Add("", "", {}, 0, flags::kContainer);
  store.Add("A", "", {}, 0, flags::kContainer);
  store.Add("A", "x", kDword1, 4, 0);
  store.Add("A\\B", "", {}, 0, flags::kContainer);
  store.Save();

  SnapshotTree tree = Load("HKLM");
  const TNode* root = tree.Root();
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->Name, "");
  EXPECT_EQ(root->Values, nullptr);
  EXPECT_EQ(root->Next, nullptr);
  EXPECT_EQ(ChildNames(root), std::vector<std::string>{"A"});
  const TNode* a = ChildNamed(root, "A");
  EXPECT_EQ(ValueNames(a), std::vector<std::string>{"x"});
  EXPECT_EQ(a->Values->ValueType, 4u);
  EXPECT_EQ(DataOf(a->Values), kDword1);
  EXPECT_EQ(ChildNames(a), std::vector<std::string>{"B"});
  EXPECT_EQ(CountTree(root).nodes, 3u);
}

TEST_F(LoadSnapshotTest, LoadingDeletesTheFile) {
  TDBTree store = NewStore("HKCU");
  store.Add("", "", {}, 0, flags::kContainer);
  store.Save();
  ASSERT_TRUE(fs_.Exists("C:\\Corvane\\HKCU.SNS"));
  Load("HKCU");
  EXPECT_FALSE(fs_.Exists("C:\\Corvane\\HKCU.SNS"));
}

TEST_F(LoadSnapshotTest, FileWithNoRecordsLoadsAsANullTree) {
  ASSERT_TRUE(fs_.AddFile("C:\\Corvane\\HKCC.sns", "").ok());
  SnapshotTree tree = Load("HKCC");
  EXPECT_EQ(tree.Root(), nullptr);
  EXPECT_FALSE(fs_.Exists("C:\\Corvane\\HKCC.sns"));
}

TEST_F(LoadSnapshotTest, MissingFileThrowsTheFileError) {
  RunToEnd control;
  EXPECT_THROW(LoadSnapshot(fs_, kFolder, "FIS1", control), SnapshotFileError);
}

TEST_F(LoadSnapshotTest, DamagedFileThrowsAndLeavesNoTreeBehind) {
  ASSERT_TRUE(fs_.AddFile("C:\\Corvane\\HKLM.sns", std::string("\x01\x11\x01\x00\x05\x00", 6)).ok());
  RunToEnd control;
  EXPECT_THROW(LoadSnapshot(fs_, kFolder, "HKLM", control), SnapshotFormatError);
}

TEST_F(LoadSnapshotTest, KeyMetAgainAfterADeeperSubtreeIsFoundByNameWithoutRegardToCase) {
  TDBTree store = NewStore("HKLM");
  store.Add("", "", {}, 0, flags::kContainer);
  store.Add("A", "", {}, 0, flags::kContainer);
  store.Add("A\\B", "", {}, 0, flags::kContainer);
  store.Add("A\\B\\C", "", {}, 0, flags::kContainer);
  store.Add("a\\D", "", {}, 0, flags::kContainer);  // full path: A is found, D appended
  store.Add("a\\D", "v", kDword1, 4, 0);
  store.Save();

  SnapshotTree tree = Load("HKLM");
  const TNode* root = tree.Root();
  EXPECT_EQ(ChildNames(root), std::vector<std::string>{"A"});
  const TNode* a = ChildNamed(root, "A");
  EXPECT_EQ(ChildNames(a), (std::vector<std::string>{"B", "D"}));
  EXPECT_EQ(ChildNames(ChildNamed(a, "B")), std::vector<std::string>{"C"});
  EXPECT_EQ(ValueNames(ChildNamed(a, "D")), std::vector<std::string>{"v"});
}

TEST_F(LoadSnapshotTest, ValuesAndRelativeChildrenAreLinkedAtTheHead) {
  TDBTree store = NewStore("HKCU");
  store.Add("", "", {}, 0, flags::kContainer);
  store.Add("", "first", kDword1, 4, 0);
  store.Add("", "second", {}, 3, 0);
  store.Add("K", "", {}, 0, flags::kContainer);
  store.Add("K\\One", "", {}, 0, flags::kContainer);
  store.Add("K", "", {}, 0, flags::kContainer);
  store.Add("K\\Two", "", {}, 0, flags::kContainer);
  store.Save();

  SnapshotTree tree = Load("HKCU");
  const TNode* root = tree.Root();
  EXPECT_EQ(ValueNames(root), (std::vector<std::string>{"second", "first"}));
  EXPECT_EQ(ValueNamed(root, "second")->Data, nullptr);
  EXPECT_EQ(ValueNamed(root, "second")->Size, 0u);
  EXPECT_EQ(ChildNames(ChildNamed(root, "K")), (std::vector<std::string>{"Two", "One"}));
}

TEST_F(LoadSnapshotTest, FileSystemCategoryStartsAtTheDrives) {
  TDBTree store = NewStore("FIS2");
  const std::vector<uint8_t> info = {1, 2, 3, 4, 5, 6, 7, 8};
  store.Add("C:\\Data", "a.txt", info, 3, 0);
  store.Add("C:\\Data\\Sub", "", {}, 0, flags::kContainer);
  store.Add("C:\\Data\\Sub", "b.txt", info, 3, 0);
  store.Add("C:", "boot.ini", info, 3, 0);
  store.Add("D:\\Apps", "c.exe", info, 3, 0);
  store.Save();

  SnapshotTree tree = Load("FIS2");
  const TNode* c = tree.Root();
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->Name, "C:");
  EXPECT_EQ(ValueNames(c), std::vector<std::string>{"boot.ini"});
  ASSERT_NE(c->Next, nullptr);
  EXPECT_EQ(c->Next->Name, "D:");
  EXPECT_EQ(c->Next->Next, nullptr);
  const TNode* data = ChildNamed(c, "Data");
  EXPECT_EQ(ValueNames(data), std::vector<std::string>{"a.txt"});
  EXPECT_EQ(DataOf(ValueNamed(data, "a.txt")), info);
  EXPECT_EQ(ValueNamed(data, "a.txt")->ValueType, 3u);
  EXPECT_EQ(ValueNames(ChildNamed(data, "Sub")), std::vector<std::string>{"b.txt"});
  EXPECT_EQ(ValueNames(ChildNamed(c->Next, "Apps")), std::vector<std::string>{"c.exe"});
}

TEST_F(LoadSnapshotTest, StopDuringLoadingReturnsThePartialTreeAndDeletesTheFile) {
  TDBTree store = NewStore("HKLM");
  store.Add("", "", {}, 0, flags::kContainer);
  for (int i = 0; i < 10; ++i) store.Add("K", "v" + std::to_string(i), kDword1, 4, 0);
  store.Save();

  CountingControl control(/*stop_after=*/4);
  SnapshotTree tree = LoadSnapshot(fs_, kFolder, "HKLM", control);
  // Records 1 to 4 are placed: the root, K with v0, v1, v2.
  ASSERT_NE(tree.Root(), nullptr);
  EXPECT_EQ(ValueNames(ChildNamed(tree.Root(), "K")), (std::vector<std::string>{"v2", "v1", "v0"}));
  EXPECT_EQ(control.pauses(), 4);
  EXPECT_FALSE(fs_.Exists("C:\\Corvane\\HKLM.sns"));
}

TEST_F(LoadSnapshotTest, StopBeforeTheFirstRecordGivesANullTree) {
  TDBTree store = NewStore("HKLM");
  store.Add("", "", {}, 0, flags::kContainer);
  store.Save();
  CountingControl control(/*stop_after=*/0);
  EXPECT_EQ(LoadSnapshot(fs_, kFolder, "HKLM", control).Root(), nullptr);
}

TEST_F(LoadSnapshotTest, PausePointAfterEveryRecord) {
  TDBTree store = NewStore("HKLM");
  store.Add("", "", {}, 0, flags::kContainer);
  store.Add("A", "", {}, 0, flags::kContainer);
  store.Add("A", "x", kDword1, 4, 0);
  store.Save();
  CountingControl control;
  LoadSnapshot(fs_, kFolder, "HKLM", control);
  EXPECT_EQ(control.pauses(), 3);
}

// Many top-level keys, each met again by its full path after a subtree: the
// lookups go through an index, which must give the same first node a linear
// search gives, also after relative records put same-named nodes at the head.
TEST_F(LoadSnapshotTest, LongSiblingListsFindTheFirstNodeOfTheName) {
  TDBTree store = NewStore("HKCR");
  store.Add("", "", {}, 0, flags::kContainer);
  for (int i = 0; i < 100; ++i) {
    const std::string key = "Key" + std::to_string(i);
    store.Add(key, "", {}, 0, flags::kContainer);
    store.Add(key + "\\Sub", "", {}, 0, flags::kContainer);
    store.Add(key + "\\Sub\\Deep", "", {}, 0, flags::kContainer);
    store.Add(key + "\\Sub", "", {}, 0, flags::kContainer);  // met again: full path
    store.Add(key + "\\Sub", "n", kDword1, 4, 0);
  }
  store.Add("KEY50", "late", kDword1, 4, 0);  // full path, another case
  store.Save();

  SnapshotTree tree = Load("HKCR");
  const TNode* root = tree.Root();
  EXPECT_EQ(ChildNames(root).size(), 100u);
  for (int i = 0; i < 100; ++i) {
    const TNode* key = ChildNamed(root, "Key" + std::to_string(i));
    ASSERT_NE(key, nullptr) << i;
    EXPECT_EQ(ChildNames(key), std::vector<std::string>{"Sub"});
    const TNode* sub = ChildNamed(key, "Sub");
    EXPECT_EQ(ValueNames(sub), std::vector<std::string>{"n"});
    EXPECT_EQ(ChildNames(sub), std::vector<std::string>{"Deep"});
  }
  EXPECT_EQ(ValueNames(ChildNamed(root, "Key50")), std::vector<std::string>{"late"});
}

TEST_F(LoadSnapshotTest, IndexedListGivesTheNodeARelativeRecordPutAtItsHead) {
  TDBTree store = NewStore("HKCR");
  store.Add("", "", {}, 0, flags::kContainer);
  store.Add("K", "", {}, 0, flags::kContainer);
  for (int i = 0; i < 20; ++i) store.Add("K\\S" + std::to_string(i), "", {}, 0, flags::kContainer);
  store.Add("K\\S3\\Deep", "", {}, 0, flags::kContainer);  // full path: K's children get an index
  store.Add("K", "", {}, 0, flags::kContainer);
  store.Add("K\\S3", "", {}, 0, flags::kContainer);  // relative: a second S3, now first
  store.Add("K\\S3\\Deeper", "", {}, 0, flags::kContainer);
  store.Add("K\\s3", "newest", {}, 1, 0);  // full path: must find the head S3
  store.Add("K\\S3\\Deep", "old", {}, 1, 0);  // full path: the head S3 has no Deep yet
  store.Save();

  SnapshotTree tree = Load("HKCR");
  const TNode* k = ChildNamed(tree.Root(), "K");
  ASSERT_NE(k, nullptr);
  ASSERT_EQ(ChildNames(k).size(), 21u);  // S0 to S19 and the second S3
  const TNode* head = k->Child;
  EXPECT_EQ(head->Name, "S3");
  EXPECT_EQ(ValueNames(head), std::vector<std::string>{"newest"});
  EXPECT_EQ(ChildNames(head), (std::vector<std::string>{"Deeper", "Deep"}));
  EXPECT_EQ(ValueNames(ChildNamed(head, "Deep")), std::vector<std::string>{"old"});
}

TEST_F(LoadSnapshotTest, FreeingTheTreeEmptiesIt) {
  TDBTree store = NewStore("HKLM");
  store.Add("", "", {}, 0, flags::kContainer);
  store.Add("A", "x", kDword1, 4, 0);
  store.Save();
  SnapshotTree tree = Load("HKLM");
  ASSERT_NE(tree.Root(), nullptr);
  EXPECT_GT(tree.BytesReserved(), 0u);
  tree.Free();
  EXPECT_EQ(tree.Root(), nullptr);
  EXPECT_EQ(tree.BytesReserved(), 0u);
  SnapshotTree moved = std::move(tree);
  EXPECT_EQ(moved.Root(), nullptr);
}

}  // namespace
}  // namespace cvn::snapshot

// Check states and how they spread, the branch check commands, and the sort
// of path and root nodes' children.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "change_tree_test_util.h"
#include "changes/change_tree.h"
#include "platform/text.h"

namespace cvn::changes {
namespace {

using test::Add;
using test::At;
using test::Child;
using test::ChildList;

constexpr uint32_t kHklm = 0x80000002;

class CheckTest : public ::testing::Test {
 protected:
  CheckTest() { tree_.SetUninstallMode(true); }
  settings::Settings settings_;
  ChangeTree tree_{settings_};
};

TEST_F(CheckTest, UncheckingACreatedFileUnchecksItsCreatedFolderAndStopsAtThePathNode) {
  const NodeId folder = Add(tree_, "C:\\Apps", "App", nkFolderAdded);
  const NodeId file = Add(tree_, "C:\\Apps\\App", "a.exe", nkFileAdded);
  const NodeId other = Add(tree_, "C:\\Apps\\App", "b.dll", nkFileAdded);
  const NodeId apps = tree_.Parent(folder);
  ASSERT_EQ(tree_.Parent(file), folder);

  tree_.SetCheckState(file, false);
  EXPECT_FALSE(tree_.IsChecked(file));
  EXPECT_FALSE(tree_.IsChecked(folder));
  EXPECT_TRUE(tree_.IsChecked(other));  // an upward spread touches no sibling
  EXPECT_FALSE(tree_.IsChecked(apps));  // never checked; nothing went past it

  // Checking the created folder checks all its contents.
  tree_.SetCheckState(folder, true);
  EXPECT_TRUE(tree_.IsChecked(file));
  EXPECT_TRUE(tree_.IsChecked(other));
}

TEST_F(CheckTest, UpwardSpreadSetsAPathNodeButGoesNoFurther) {
  const NodeId deleted_value = Add(tree_, "HKEY_LOCAL_MACHINE\\K", "v", nkValueDeleted, kHklm);
  const NodeId k = tree_.Parent(deleted_value);
  tree_.SetCheckState(deleted_value, false);
  tree_.SetCheckState(deleted_value, true);
  EXPECT_TRUE(tree_.IsChecked(k));                 // the path node takes the state...
  EXPECT_FALSE(tree_.IsChecked(tree_.Parent(k)));  // ...but has no box to carry it on
}

TEST_F(CheckTest, CheckingADeletedValueChecksItsDeletedKeyAndUncheckingTheKeyUnchecksAll) {
  const NodeId outer = Add(tree_, "HKEY_LOCAL_MACHINE\\Software", "Old", nkKeyDeleted, kHklm);
  const NodeId inner = Add(tree_, "HKEY_LOCAL_MACHINE\\Software\\Old", "Sub", nkKeyDeleted, kHklm);
  const NodeId v1 =
      Add(tree_, "HKEY_LOCAL_MACHINE\\Software\\Old\\Sub", "a", nkValueDeleted, kHklm);
  const NodeId v2 =
      Add(tree_, "HKEY_LOCAL_MACHINE\\Software\\Old\\Sub", "b", nkValueDeleted, kHklm);

  tree_.SetCheckState(outer, false);  // spreads down through everything
  EXPECT_FALSE(tree_.IsChecked(inner));
  EXPECT_FALSE(tree_.IsChecked(v1));
  EXPECT_FALSE(tree_.IsChecked(v2));

  tree_.SetCheckState(v1, true);  // re-creating a value needs its keys
  EXPECT_TRUE(tree_.IsChecked(inner));
  EXPECT_TRUE(tree_.IsChecked(outer));
  EXPECT_FALSE(tree_.IsChecked(v2));  // checking a deleted key does not spread down
}

TEST_F(CheckTest, CreatedKeyCheckedSpreadsDownUncheckedSpreadsUp) {
  const NodeId outer = Add(tree_, "HKEY_LOCAL_MACHINE", "App", nkKeyAdded, kHklm);
  const NodeId inner = Add(tree_, "HKEY_LOCAL_MACHINE\\App", "Sub", nkKeyAdded, kHklm);
  const NodeId value = Add(tree_, "HKEY_LOCAL_MACHINE\\App\\Sub", "v", nkValueAdded, kHklm);
  tree_.SetCheckState(value, false);  // keeping a value keeps its keys
  EXPECT_FALSE(tree_.IsChecked(inner));
  EXPECT_FALSE(tree_.IsChecked(outer));
  tree_.SetCheckState(outer, true);
  EXPECT_TRUE(tree_.IsChecked(inner));
  EXPECT_TRUE(tree_.IsChecked(value));
}

TEST_F(CheckTest, DownwardSpreadSetsChildrenWithoutBoxesButOnlyBoxesCarryItOn) {
  settings_.DeleteFiles = false;
  const NodeId folder = Add(tree_, "C:", "App", nkFolderAdded);
  const NodeId sub = Add(tree_, "C:\\App", "Sub", nkFolderAdded);
  settings_.DeleteFolders = false;
  const NodeId boxless = Add(tree_, "C:\\App", "NoBox", nkFolderAdded);
  const NodeId file = Add(tree_, "C:\\App\\NoBox", "f", nkFileAdded);
  const NodeId deep = Add(tree_, "C:\\App\\Sub", "g", nkFileAdded);
  ASSERT_FALSE(tree_.HasCheckBox(boxless));
  ASSERT_FALSE(tree_.HasCheckBox(deep));

  tree_.SetCheckState(sub, false);  // spreads up to the folder
  ASSERT_FALSE(tree_.IsChecked(folder));
  tree_.SetCheckState(folder, true);
  EXPECT_TRUE(tree_.IsChecked(sub));
  EXPECT_TRUE(tree_.IsChecked(boxless));  // set, though it shows no box
  EXPECT_TRUE(tree_.IsChecked(deep));     // carried on by Sub, which has a box
  EXPECT_FALSE(tree_.IsChecked(file));    // not carried on by NoBox
}

TEST_F(CheckTest, NodeWithoutABoxDoesNotSpread) {
  settings_.DeleteFolders = false;
  const NodeId folder = Add(tree_, "C:", "App", nkFolderAdded);
  const NodeId file = Add(tree_, "C:\\App", "f", nkFileAdded);
  tree_.SetCheckState(folder, true);  // state changes, no spread
  EXPECT_TRUE(tree_.IsChecked(folder));
  tree_.SetCheckState(file, false);
  EXPECT_FALSE(tree_.IsChecked(folder));  // set through the file's own spread
  tree_.PropagateCheck(folder, true);     // a box-less node: nothing happens
  EXPECT_FALSE(tree_.IsChecked(file));
}

TEST_F(CheckTest, KindsWithoutARuleKeepTheirNeighboursAlone) {
  const NodeId key = Add(tree_, "HKEY_LOCAL_MACHINE", "K", nkKeyAdded, kHklm);
  const NodeId changed = Add(tree_, "HKEY_LOCAL_MACHINE\\K", "c", nkValueChanged, kHklm);
  const NodeId counter = Add(tree_, "HKEY_LOCAL_MACHINE\\K", "n", nkCounterIncremented, kHklm);
  tree_.SetCheckState(changed, false);
  tree_.SetCheckState(counter, false);
  EXPECT_TRUE(tree_.IsChecked(key));
  const NodeId file = Add(tree_, "C:", "f", nkFileAdded);
  tree_.SetCheckState(file, false);
  tree_.SetCheckState(file, true);  // checking a created file spreads nowhere
  EXPECT_FALSE(tree_.IsChecked(tree_.Parent(file)));
}

TEST_F(CheckTest, SettingTheSameStateDoesNothing) {
  settings_.DeleteFiles = false;
  const NodeId folder = Add(tree_, "C:", "App", nkFolderAdded);
  const NodeId file = Add(tree_, "C:\\App", "f", nkFileAdded);
  ASSERT_TRUE(tree_.IsChecked(folder));
  ASSERT_FALSE(tree_.IsChecked(file));
  tree_.SetCheckState(folder, true);  // already checked: no downward spread
  EXPECT_FALSE(tree_.IsChecked(file));
  tree_.SetCheckState(folder, false);
  tree_.SetCheckState(folder, true);  // a real change spreads
  EXPECT_TRUE(tree_.IsChecked(file));
}

TEST_F(CheckTest, SetBranchCheckSetsEveryBoxOfTheSubtree) {
  settings_.DeleteFiles = false;
  const NodeId folder = Add(tree_, "C:\\X", "App", nkFolderAdded);
  const NodeId file = Add(tree_, "C:\\X\\App", "f", nkFileAdded);     // no box
  const NodeId deleted = Add(tree_, "C:\\X", "gone", nkFileDeleted);  // never a box
  settings_.DeleteFiles = true;
  const NodeId boxed = Add(tree_, "C:\\X\\App", "g", nkFileAdded);
  const NodeId x = At(tree_, tree_.FileSystemRoot(), {"C:", "X"});

  tree_.SetBranchCheck(x, false);
  EXPECT_FALSE(tree_.IsChecked(folder));
  EXPECT_FALSE(tree_.IsChecked(boxed));
  EXPECT_FALSE(tree_.IsChecked(x));  // no box: left alone
  EXPECT_FALSE(tree_.IsChecked(file));
  EXPECT_FALSE(tree_.IsChecked(deleted));

  tree_.SetBranchCheck(x, true);
  EXPECT_TRUE(tree_.IsChecked(folder));
  EXPECT_TRUE(tree_.IsChecked(boxed));
  EXPECT_TRUE(tree_.IsChecked(file));  // through the folder's downward spread
  EXPECT_FALSE(tree_.IsChecked(deleted));
  EXPECT_FALSE(tree_.IsChecked(x));

  // On a single node with a box it acts on that node.
  tree_.SetBranchCheck(boxed, false);
  EXPECT_FALSE(tree_.IsChecked(boxed));
  EXPECT_FALSE(tree_.IsChecked(folder));  // its upward spread
}

TEST_F(CheckTest, LongChainsSpreadToTheirEnds) {
  std::string path = "C:";
  const NodeId top = Add(tree_, path, "d", nkFolderAdded);
  NodeId last = top;
  for (int i = 0; i < 2000; ++i) {
    path += "\\d";
    last = Add(tree_, path, "d", nkFolderAdded);
  }
  tree_.SetCheckState(last, false);
  EXPECT_FALSE(tree_.IsChecked(top));
  tree_.SetCheckState(top, true);
  EXPECT_TRUE(tree_.IsChecked(last));
}

// ---- Sort ----

class SortTest : public ::testing::Test {
 protected:
  settings::Settings settings_;
  ChangeTree tree_{settings_};
};

TEST_F(SortTest, PathNodeChildrenSortByKindThenNameIgnoringCaseWhenFirstInitialised) {
  Add(tree_, "C:\\P", "b.txt", nkFileDeleted);
  Add(tree_, "C:\\P\\zeta", "x", nkFileAdded);
  Add(tree_, "C:\\P", "B.dll", nkFileAdded);
  Add(tree_, "C:\\P", "a.txt", nkFileAdded);
  Add(tree_, "C:\\P", "New", nkFolderAdded);
  Add(tree_, "C:\\P\\Alpha", "x", nkFileAdded);
  const NodeId p = At(tree_, tree_.FileSystemRoot(), {"C:", "P"});
  EXPECT_FALSE(tree_.IsInitialised(p));
  // Before initialisation: insertion order.
  EXPECT_EQ(ChildList(tree_, p), (std::vector<std::string>{"b.txt/11", "zeta/18", "B.dll/9",
                                                           "a.txt/9", "New/7", "Alpha/18"}));
  tree_.InitNode(p);
  EXPECT_TRUE(tree_.IsInitialised(p));
  EXPECT_EQ(ChildList(tree_, p), (std::vector<std::string>{"New/7", "a.txt/9", "B.dll/9",
                                                           "b.txt/11", "Alpha/18", "zeta/18"}));
  EXPECT_EQ(tree_.Data(tree_.LastChild(p)).Name, "zeta");
  // Sorted once: later insertions are appended.
  Add(tree_, "C:\\P", "0", nkFileAdded);
  tree_.InitNode(p);
  EXPECT_EQ(tree_.Data(tree_.LastChild(p)).Name, "0");
}

TEST_F(SortTest, ChangeNodesAreBornInitialisedAndKeepTheirChildrenInOrder) {
  const NodeId folder = Add(tree_, "C:", "App", nkFolderAdded);
  Add(tree_, "C:\\App", "z", nkFileAdded);
  Add(tree_, "C:\\App", "Sub", nkFolderAdded);
  Add(tree_, "C:\\App", "a", nkFileAdded);
  EXPECT_TRUE(tree_.IsInitialised(folder));
  tree_.InitNode(folder);
  EXPECT_EQ(ChildList(tree_, folder), (std::vector<std::string>{"z/9", "Sub/7", "a/9"}));
}

TEST_F(SortTest, BranchRootsKeepTheirPlaces) {
  tree_.InitNode(tree_.Top());
  EXPECT_EQ(ChildList(tree_, tree_.Top()),
            (std::vector<std::string>{"File System/15", "Registry/16"}));
  EXPECT_EQ(tree_.CompareNodes(tree_.FileSystemRoot(), tree_.RegistryRoot()), 0);
  EXPECT_EQ(tree_.CompareNodes(tree_.RegistryRoot(), tree_.FileSystemRoot()), 0);
  // The branch roots sort their own children too: drives by name.
  Add(tree_, "D:", "x", nkFileAdded);
  Add(tree_, "c:", "x", nkFileAdded);
  tree_.InitNode(tree_.FileSystemRoot());
  EXPECT_EQ(ChildList(tree_, tree_.FileSystemRoot()), (std::vector<std::string>{"c:/17", "D:/17"}));
}

TEST_F(SortTest, EqualNamesKeepTheirOrder) {
  const NodeId first = Add(tree_, "HKEY_USERS", "K", nkKeyAdded, 0x80000003);
  const NodeId second = Add(tree_, "HKEY_USERS", "k", nkKeyAdded, 0x80000003);
  Add(tree_, "HKEY_USERS", "A", nkKeyAdded, 0x80000003);
  const NodeId hive = tree_.Parent(first);
  tree_.InitNode(hive);
  EXPECT_EQ(ChildList(tree_, hive), (std::vector<std::string>{"A/1", "K/1", "k/1"}));
  EXPECT_EQ(tree_.NextSibling(first), second);
}

TEST_F(SortTest, PathLookupFollowsTheSortedOrder) {
  // A path node B first, then a created key b: after the sort the key comes
  // first, so it is the first match for the name from then on.
  const NodeId path_node_child = Add(tree_, "HKEY_USERS\\B", "v", nkValueAdded, 0x80000003);
  const NodeId key = Add(tree_, "HKEY_USERS", "b", nkKeyAdded, 0x80000003);
  const NodeId hive = Child(tree_, tree_.RegistryRoot(), "HKEY_USERS");
  EXPECT_EQ(tree_.Parent(Add(tree_, "HKEY_USERS\\B", "w", nkValueAdded, 0x80000003)),
            tree_.Parent(path_node_child));
  tree_.InitNode(hive);
  EXPECT_EQ(tree_.Parent(Add(tree_, "HKEY_USERS\\B", "x", nkValueAdded, 0x80000003)), key);
}

TEST_F(SortTest, NameOrderComesFromTheGivenComparer) {
  settings::Settings settings;
  // Reverse byte order, to tell it from the default.
  ChangeTree tree(settings, [](std::string_view a, std::string_view b) { return b.compare(a); });
  Add(tree, "C:", "a", nkFileAdded);
  Add(tree, "C:", "c", nkFileAdded);
  Add(tree, "C:", "b", nkFileAdded);
  const NodeId c = Child(tree, tree.FileSystemRoot(), "C:");
  tree.InitNode(c);
  EXPECT_EQ(ChildList(tree, c), (std::vector<std::string>{"c/9", "b/9", "a/9"}));
}

TEST(SortByNameTest, CaseIsIgnoredBeyondAscii) {
  settings::Settings settings;
  ChangeTree tree(settings, text::CompareNoCase);
  Add(tree, "C:", "éb", nkFileAdded);
  Add(tree, "C:", "Éa", nkFileAdded);
  Add(tree, "C:", "z", nkFileAdded);
  const NodeId c = Child(tree, tree.FileSystemRoot(), "C:");
  tree.InitNode(c);
  EXPECT_EQ(ChildList(tree, c), (std::vector<std::string>{"z/9", "Éa/9", "éb/9"}));
}

TEST_F(SortTest, DefaultOrderIsTheUsersWithoutRegardToCase) {
  Add(tree_, "C:", "b", nkFileAdded);
  Add(tree_, "C:", "C", nkFileAdded);
  Add(tree_, "C:", "A", nkFileAdded);
  const NodeId c = Child(tree_, tree_.FileSystemRoot(), "C:");
  tree_.InitNode(c);
  EXPECT_EQ(ChildList(tree_, c), (std::vector<std::string>{"A/9", "b/9", "C/9"}));
}

}  // namespace
}  // namespace cvn::changes

// The changes tree: its fixed top, insertion with the ignore lists, path
// and drive nodes, check boxes in uninstall mode, removal and paths.
#include "changes/change_tree.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "change_tree_test_util.h"
#include "changes/node_data.h"

namespace cvn::changes {
namespace {

using test::Add;
using test::At;
using test::Child;
using test::ChildList;
using test::Record;

constexpr uint32_t kHkcu = 0x80000001;
constexpr uint32_t kHklm = 0x80000002;
constexpr uint32_t kHku = 0x80000003;

class ChangeTreeTest : public ::testing::Test {
 protected:
  settings::Settings settings_;
  ChangeTree tree_{settings_};
};

TEST_F(ChangeTreeTest, FixedTopIsMyComputerWithFileSystemFirstAndRegistryLast) {
  const NodeId top = tree_.Top();
  EXPECT_EQ(tree_.Data(top).Name, "My Computer");
  EXPECT_EQ(tree_.Data(top).Kind, nkMyComputer);
  EXPECT_EQ(tree_.Parent(top), kNoNode);
  EXPECT_EQ(tree_.NextSibling(top), kNoNode);
  EXPECT_EQ(ChildList(tree_, top), (std::vector<std::string>{"File System/15", "Registry/16"}));
  EXPECT_EQ(tree_.FirstChild(top), tree_.FileSystemRoot());
  EXPECT_EQ(tree_.LastChild(top), tree_.RegistryRoot());
  EXPECT_EQ(tree_.Level(top), 0);
  EXPECT_EQ(tree_.Level(tree_.RegistryRoot()), 1);
  EXPECT_EQ(tree_.NodeCount(), 3u);
}

TEST_F(ChangeTreeTest, ResetEmptiesTheTreeAndRebuildsTheTop) {
  Add(tree_, "C:\\A", "f.txt", nkFileAdded);
  tree_.Reset();
  EXPECT_EQ(tree_.NodeCount(), 3u);
  EXPECT_EQ(tree_.ChildCount(tree_.FileSystemRoot()), 0u);
  EXPECT_EQ(ChildList(tree_, tree_.Top()),
            (std::vector<std::string>{"File System/15", "Registry/16"}));
  // Path nodes of the old content are gone from the index too.
  Add(tree_, "C:\\A", "g.txt", nkFileAdded);
  EXPECT_EQ(ChildList(tree_, tree_.FileSystemRoot()), (std::vector<std::string>{"C:/17"}));
}

TEST_F(ChangeTreeTest, FileMakesDriveAndPathNodesThatLaterPathsReuseInAnyCase) {
  const NodeId f = Add(tree_, "C:\\A\\B", "f.txt", nkFileAdded);
  const NodeId c = Child(tree_, tree_.FileSystemRoot(), "C:");
  ASSERT_NE(c, kNoNode);
  EXPECT_EQ(tree_.Data(c).Kind, nkDrive);
  const NodeId b = At(tree_, c, {"A", "B"});
  ASSERT_NE(b, kNoNode);
  EXPECT_EQ(tree_.Data(tree_.Parent(b)).Kind, nkPathNode);
  EXPECT_EQ(tree_.Data(b).Kind, nkPathNode);
  EXPECT_EQ(tree_.Parent(f), b);
  EXPECT_EQ(tree_.Level(f), 5);

  const NodeId g = Add(tree_, "c:\\a\\b\\", "g.txt", nkFileAdded);
  EXPECT_EQ(tree_.Parent(g), b);
  EXPECT_EQ(ChildList(tree_, b), (std::vector<std::string>{"f.txt/9", "g.txt/9"}));
  EXPECT_EQ(tree_.NodeCount(), 3u + 5u);
}

TEST_F(ChangeTreeTest, ChangeRecordIsCopiedAndTheBuffersTakenOver) {
  TNodeData record = Record(nkValueChanged, kHklm);
  record.Before = CopyBuffer(std::vector<uint8_t>{1, 2});
  record.BeforeSize = 2;
  record.After = CopyBuffer(std::vector<uint8_t>{3});
  record.AfterSize = 1;
  record.ValueType = 3;
  record.Name = "not used";
  {
    const std::string path_field = "Software\\X";
    record.Path = path_field;
    tree_.AddToTree("HKEY_LOCAL_MACHINE\\Software\\X", "v", record);
  }
  EXPECT_EQ(record.Before, nullptr);
  EXPECT_EQ(record.After, nullptr);

  const NodeId v = tree_.LastInserted();
  const TNodeData& data = tree_.Data(v);
  EXPECT_EQ(data.Name, "v");
  EXPECT_EQ(data.Kind, nkValueChanged);
  EXPECT_EQ(data.ValueType, 3u);
  EXPECT_EQ(data.RootKey, kHklm);
  EXPECT_EQ(data.Path, "Software\\X");  // outlives the caller's text
  EXPECT_EQ(std::vector<uint8_t>(data.BeforeBytes().begin(), data.BeforeBytes().end()),
            (std::vector<uint8_t>{1, 2}));
  EXPECT_EQ(std::vector<uint8_t>(data.AfterBytes().begin(), data.AfterBytes().end()),
            (std::vector<uint8_t>{3}));
  // Path nodes of the registry branch carry the root key.
  const NodeId hive = Child(tree_, tree_.RegistryRoot(), "HKEY_LOCAL_MACHINE");
  ASSERT_NE(hive, kNoNode);
  EXPECT_EQ(tree_.Data(hive).Kind, nkPathNode);
  EXPECT_EQ(tree_.Data(hive).RootKey, kHklm);
  EXPECT_EQ(tree_.Data(hive).Path, "");
  EXPECT_EQ(tree_.Parent(v), At(tree_, hive, {"Software", "X"}));
}

TEST_F(ChangeTreeTest, RegistryKindsGoToTheRegistryBranchAllOthersToTheFileSystem) {
  for (int32_t kind = nkKeyAdded; kind <= nkCounterIncremented; ++kind) {
    const NodeId n = Add(tree_, "HKEY_USERS\\K", "x", kind, kHku);
    EXPECT_EQ(tree_.Parent(tree_.Parent(tree_.Parent(n))), tree_.RegistryRoot()) << kind;
  }
  for (int32_t kind : {7, 8, 9, 10, 11, 12, 13, 18, 42}) {
    const NodeId n = Add(tree_, "HKEY_USERS\\K", "x", kind);
    EXPECT_EQ(tree_.Parent(tree_.Parent(tree_.Parent(n))), tree_.FileSystemRoot()) << kind;
  }
}

TEST_F(ChangeTreeTest, DriveNodeOnlyForALetterAndAColon) {
  Add(tree_, "C:\\x", "f", nkFileAdded);
  Add(tree_, "CD:\\x", "f", nkFileAdded);
  Add(tree_, "C\\x", "f", nkFileAdded);
  Add(tree_, ":\\x", "f", nkFileAdded);
  EXPECT_EQ(ChildList(tree_, tree_.FileSystemRoot()),
            (std::vector<std::string>{"C:/17", "CD:/18", "C/18", ":/18"}));
}

TEST_F(ChangeTreeTest, EmptyPathElementMakesAnEmptyPathNode) {
  const NodeId f = Add(tree_, "C:\\\\A", "f", nkFileAdded);
  const NodeId empty = At(tree_, tree_.FileSystemRoot(), {"C:", ""});
  ASSERT_NE(empty, kNoNode);
  EXPECT_EQ(tree_.Data(empty).Kind, nkPathNode);
  EXPECT_EQ(tree_.Parent(tree_.Parent(f)), empty);
}

TEST_F(ChangeTreeTest, EmptyPathPutsTheChangeUnderTheBranchRoot) {
  const NodeId drive = Add(tree_, "", "D:", nkFolderAdded);
  EXPECT_EQ(tree_.Parent(drive), tree_.FileSystemRoot());
  // A created folder is a container: a file below it goes inside.
  const NodeId f = Add(tree_, "D:\\", "a.txt", nkFileAdded);
  EXPECT_EQ(tree_.Parent(f), drive);
}

TEST_F(ChangeTreeTest, SameKeyAddedTwiceGivesTwoSiblingsAndLaterValuesGoUnderTheFirst) {
  const NodeId first = Add(tree_, "HKEY_CURRENT_USER\\Software", "App", nkKeyAdded, kHkcu);
  const NodeId second = Add(tree_, "HKEY_CURRENT_USER\\Software", "App", nkKeyAdded, kHkcu);
  EXPECT_NE(first, second);
  EXPECT_EQ(tree_.Parent(first), tree_.Parent(second));
  EXPECT_EQ(tree_.NextSibling(first), second);
  const NodeId value = Add(tree_, "HKEY_CURRENT_USER\\Software\\APP", "v", nkValueAdded, kHkcu);
  EXPECT_EQ(tree_.Parent(value), first);
}

TEST_F(ChangeTreeTest, KeyDirectlyUnderTheRootKeyLandsUnderTheHiveNode) {
  const NodeId key = Add(tree_, "HKEY_USERS\\", "S-1-5-21", nkKeyAdded, kHku);
  const NodeId hive = Child(tree_, tree_.RegistryRoot(), "HKEY_USERS");
  ASSERT_NE(hive, kNoNode);
  EXPECT_EQ(tree_.Parent(key), hive);
  EXPECT_EQ(tree_.ChildCount(hive), 1u);
}

TEST_F(ChangeTreeTest, OnlyContainerKindsAreWalkedThrough) {
  // A created file and a changed value are leaves: a path through a name
  // they carry makes a path node beside them.
  const NodeId file = Add(tree_, "C:", "X", nkFileAdded);
  const NodeId below = Add(tree_, "C:\\X", "y", nkFileAdded);
  EXPECT_NE(tree_.Parent(below), file);
  EXPECT_EQ(ChildList(tree_, tree_.Parent(file)), (std::vector<std::string>{"X/9", "X/18"}));
  // Deleted keys and folders are containers as created ones are.
  const NodeId gone = Add(tree_, "C:", "Old", nkFolderDeleted);
  EXPECT_EQ(tree_.Parent(Add(tree_, "C:\\old", "z", nkFileDeleted)), gone);
  const NodeId gone_key = Add(tree_, "HKEY_USERS", "K", nkKeyDeleted, kHku);
  EXPECT_EQ(tree_.Parent(Add(tree_, "HKEY_USERS\\k", "v", nkValueDeleted, kHku)), gone_key);
}

TEST_F(ChangeTreeTest, PathElementsMatchIgnoringAsciiCaseOnly) {
  Add(tree_, "C:\\Été", "a", nkFileAdded);
  Add(tree_, "C:\\éTÉ", "b", nkFileAdded);  // other letters than ASCII are compared exactly
  Add(tree_, "C:\\étÉ", "c", nkFileAdded);  // ASCII letters ignore case
  EXPECT_EQ(ChildList(tree_, At(tree_, tree_.FileSystemRoot(), {"C:"})),
            (std::vector<std::string>{"Été/18", "éTÉ/18"}));
}

// ---- Ignore lists ----

TEST_F(ChangeTreeTest, ExcludedFolderCoversItsFilesButNotASimilarName) {
  settings_.ExcludedFolders.Add("C:\\Temp");
  TNodeData record = Record(nkFileAdded);
  record.After = TextBuffer("12:00 01/01/06 5");
  record.AfterSize = 17;
  tree_.AddToTree("C:\\Temp\\x", "y.tmp", record);
  EXPECT_EQ(record.After, nullptr);  // freed, not kept
  EXPECT_EQ(tree_.LastInserted(), kNoNode);
  EXPECT_EQ(tree_.NodeCount(), 3u);  // not even a path node

  EXPECT_NE(Add(tree_, "C:\\Temp2", "y.tmp", nkFileAdded), kNoNode);
  EXPECT_EQ(Add(tree_, "c:\\temp", "z.tmp", nkFileDeleted), kNoNode);
  EXPECT_EQ(Add(tree_, "C:\\Temp\\", "z.tmp", nkFileChanged), kNoNode);
}

TEST_F(ChangeTreeTest, FolderKindsAreTestedWithTheirOwnName) {
  settings_.ExcludedFolders.Add("C:\\Temp");
  EXPECT_EQ(Add(tree_, "C:\\", "TEMP", nkFolderAdded), kNoNode);
  EXPECT_EQ(Add(tree_, "C:", "Temp", nkFolderDeleted), kNoNode);
  EXPECT_NE(Add(tree_, "C:\\", "Temp2", nkFolderAdded), kNoNode);
  // The list is not a file list: a file named like it stays.
  EXPECT_NE(Add(tree_, "C:", "Temp", nkFileAdded), kNoNode);
}

TEST_F(ChangeTreeTest, IgnoredFilesCoverTheFileByItsFullPath) {
  settings_.IgnoredFiles.Add("C:\\Windows\\win.ini");
  for (int32_t kind = nkFileAdded; kind <= nkFileMovedTo; ++kind)
    EXPECT_EQ(Add(tree_, "C:\\WINDOWS", "Win.ini", kind), kNoNode) << kind;
  EXPECT_NE(Add(tree_, "C:\\Windows", "win.ini.bak", nkFileAdded), kNoNode);
  // Folders are never tested against the file list.
  EXPECT_NE(Add(tree_, "C:\\Windows", "win.ini", nkFolderAdded), kNoNode);
}

TEST_F(ChangeTreeTest, IgnoredKeysCoverValuesByTheirKeyAndKeysByTheirOwnPath) {
  settings_.IgnoredKeys.Add("hkey_current_user\\software");
  EXPECT_EQ(Add(tree_, "HKEY_CURRENT_USER\\Software\\X", "v", nkValueAdded, kHkcu), kNoNode);
  EXPECT_EQ(Add(tree_, "HKEY_CURRENT_USER\\Software", "v", nkValueChanged, kHkcu), kNoNode);
  EXPECT_NE(Add(tree_, "HKEY_CURRENT_USER\\SoftwareX", "v", nkValueDeleted, kHkcu), kNoNode);
  EXPECT_EQ(Add(tree_, "HKEY_CURRENT_USER", "Software", nkKeyAdded, kHkcu), kNoNode);
  EXPECT_EQ(Add(tree_, "HKEY_CURRENT_USER\\", "SOFTWARE", nkKeyDeleted, kHkcu), kNoNode);
  EXPECT_NE(Add(tree_, "HKEY_CURRENT_USER", "Soft", nkKeyAdded, kHkcu), kNoNode);
  // A value named like the key is tested by its key only.
  EXPECT_NE(Add(tree_, "HKEY_CURRENT_USER", "Software", nkCounterIncremented, kHkcu), kNoNode);
}

TEST_F(ChangeTreeTest, StructureKindsAreNeverIgnored) {
  settings_.ExcludedFolders.Add("C:");
  settings_.IgnoredKeys.Add("C:");
  EXPECT_NE(Add(tree_, "C:\\x", "y", nkPathNode), kNoNode);
  EXPECT_NE(Add(tree_, "C:\\x", "y", 0), kNoNode);
}

// ---- Check boxes in uninstall mode ----

TEST_F(ChangeTreeTest, OutsideUninstallModeNoChangeHasACheckBox) {
  for (int32_t kind = nkKeyAdded; kind <= nkFileMovedTo; ++kind) {
    const NodeId n = Add(tree_, "X", "y", kind);
    EXPECT_FALSE(tree_.HasCheckBox(n)) << kind;
    EXPECT_FALSE(tree_.IsChecked(n)) << kind;
  }
}

TEST_F(ChangeTreeTest, InUninstallModeEachKindFollowsItsPhaseSetting) {
  tree_.SetUninstallMode(true);
  struct Case {
    int32_t kind;
    bool settings::Settings::*setting;
  };
  const Case cases[] = {
      {nkKeyAdded, &settings::Settings::DeleteKey},
      {nkKeyDeleted, &settings::Settings::CreateKey},
      {nkValueAdded, &settings::Settings::DeleteValues},
      {nkValueChanged, &settings::Settings::RestoreValues},
      {nkValueDeleted, &settings::Settings::CreateValues},
      {nkCounterIncremented, &settings::Settings::DecSharedCounter},
      {nkFolderAdded, &settings::Settings::DeleteFolders},
      {nkFileAdded, &settings::Settings::DeleteFiles},
  };
  for (const Case& c : cases) {
    settings_.*c.setting = true;
    const NodeId on = Add(tree_, "X", "y", c.kind);
    EXPECT_TRUE(tree_.HasCheckBox(on)) << c.kind;
    EXPECT_TRUE(tree_.IsChecked(on)) << c.kind;
    settings_.*c.setting = false;
    const NodeId off = Add(tree_, "X", "y", c.kind);
    EXPECT_FALSE(tree_.HasCheckBox(off)) << c.kind;
    EXPECT_FALSE(tree_.IsChecked(off)) << c.kind;
  }
  settings::Settings all_on;
  settings_ = all_on;
  for (int32_t kind :
       {nkFolderDeleted, nkFileChanged, nkFileDeleted, nkFileMovedFrom, nkFileMovedTo})
    EXPECT_FALSE(tree_.HasCheckBox(Add(tree_, "X", "y", kind))) << kind;
  // Path nodes never carry a box.
  EXPECT_FALSE(tree_.HasCheckBox(Child(tree_, tree_.FileSystemRoot(), "X")));
}

// ---- Kinds, captions, removal and paths ----

TEST_F(ChangeTreeTest, SetKindRelabelsAndKeepsTheIndexRight) {
  const NodeId file = Add(tree_, "C:", "A", nkFileAdded);
  tree_.SetKind(file, nkFileMovedTo);
  EXPECT_EQ(tree_.Data(file).Kind, nkFileMovedTo);
  // Turning a leaf into a container makes it the first match of its name.
  tree_.SetKind(file, nkFolderAdded);
  EXPECT_EQ(tree_.Parent(Add(tree_, "C:\\a", "f", nkFileAdded)), file);
  // And back: the next path through that name makes a path node.
  tree_.SetKind(file, nkFileAdded);
  const NodeId g = Add(tree_, "C:\\A", "g", nkFileAdded);
  EXPECT_NE(tree_.Parent(g), file);
  EXPECT_EQ(tree_.Data(tree_.Parent(g)).Kind, nkPathNode);
}

TEST_F(ChangeTreeTest, EmptyBranchesGetTheirNoChangesCaption) {
  tree_.MarkEmptyBranches();
  EXPECT_EQ(tree_.Data(tree_.FileSystemRoot()).Name, "File System (no changes)");
  EXPECT_EQ(tree_.Data(tree_.RegistryRoot()).Name, "Registry (no changes)");

  tree_.Reset();
  Add(tree_, "C:", "f", nkFileAdded);
  tree_.MarkEmptyBranches();
  EXPECT_EQ(tree_.Data(tree_.FileSystemRoot()).Name, "File System");
  EXPECT_EQ(tree_.Data(tree_.RegistryRoot()).Name, "Registry (no changes)");
}

TEST_F(ChangeTreeTest, RemoveBranchDeletesTheSubtreeAndRefusesTheFixedTop) {
  EXPECT_FALSE(tree_.RemoveBranch(tree_.Top()));
  EXPECT_FALSE(tree_.RemoveBranch(tree_.FileSystemRoot()));
  EXPECT_FALSE(tree_.RemoveBranch(tree_.RegistryRoot()));

  Add(tree_, "C:\\A\\B", "f", nkFileAdded);
  Add(tree_, "C:\\A", "g", nkFileAdded);
  const NodeId d = Add(tree_, "D:", "h", nkFileAdded);
  const NodeId a = At(tree_, tree_.FileSystemRoot(), {"C:", "A"});
  EXPECT_TRUE(tree_.RemoveBranch(a));
  EXPECT_EQ(tree_.NodeCount(), 3u + 1u + 2u);  // C:, D: and h
  EXPECT_EQ(tree_.ChildCount(At(tree_, tree_.FileSystemRoot(), {"C:"})), 0u);
  EXPECT_EQ(tree_.Data(d).Name, "h");

  // A path through the removed node makes it again; freed slots are reused.
  const NodeId again = Add(tree_, "C:\\a", "x", nkFileAdded);
  EXPECT_EQ(tree_.Data(tree_.Parent(again)).Name, "a");
  EXPECT_EQ(tree_.NodeCount(), 3u + 1u + 2u + 2u);
}

TEST_F(ChangeTreeTest, RemovingTheFirstOfTwoEqualKeysMakesTheSecondTheMatch) {
  const NodeId first = Add(tree_, "HKEY_USERS", "K", nkKeyAdded, kHku);
  const NodeId second = Add(tree_, "HKEY_USERS", "k", nkKeyDeleted, kHku);
  const NodeId last = Add(tree_, "HKEY_USERS", "v", nkValueAdded, kHku);
  EXPECT_TRUE(tree_.RemoveBranch(first));
  EXPECT_EQ(tree_.Parent(Add(tree_, "HKEY_USERS\\K", "v", nkValueAdded, kHku)), second);
  // Removing the last child keeps the list's end right.
  EXPECT_TRUE(tree_.RemoveBranch(last));
  const NodeId hive = tree_.Parent(second);
  EXPECT_EQ(tree_.LastChild(hive), second);
  EXPECT_EQ(ChildList(tree_, hive), (std::vector<std::string>{"k/2"}));
  const NodeId after = Add(tree_, "HKEY_USERS", "w", nkValueAdded, kHku);
  EXPECT_EQ(tree_.NextSibling(second), after);
}

TEST_F(ChangeTreeTest, PathFromBranchRootJoinsTheNamesBelowTheBranchRoot) {
  const NodeId f = Add(tree_, "C:\\Windows\\Temp", "file.tmp", nkFileAdded);
  EXPECT_EQ(tree_.PathFromBranchRoot(f), "C:\\Windows\\Temp\\file.tmp");
  const NodeId key = Add(tree_, "HKEY_LOCAL_MACHINE\\Software", "Example", nkKeyAdded, kHklm);
  EXPECT_EQ(tree_.PathFromBranchRoot(key), "HKEY_LOCAL_MACHINE\\Software\\Example");
  EXPECT_EQ(tree_.PathFromBranchRoot(tree_.Parent(key)), "HKEY_LOCAL_MACHINE\\Software");
  EXPECT_EQ(tree_.PathFromBranchRoot(tree_.RegistryRoot()), "");
  const NodeId def = Add(tree_, "HKEY_LOCAL_MACHINE\\", "", nkValueAdded, kHklm);
  EXPECT_EQ(tree_.PathFromBranchRoot(def), "HKEY_LOCAL_MACHINE\\");
}

TEST_F(ChangeTreeTest, NextInSubtreeVisitsANodeBeforeItsChildrenAndStaysInside) {
  Add(tree_, "C:\\A", "1", nkFileAdded);
  Add(tree_, "C:\\A\\B", "2", nkFileAdded);
  Add(tree_, "C:\\A", "3", nkFileAdded);
  Add(tree_, "D:", "4", nkFileAdded);
  const NodeId a = At(tree_, tree_.FileSystemRoot(), {"C:", "A"});
  std::vector<std::string> order;
  for (NodeId n = a; n != kNoNode; n = tree_.NextInSubtree(n, a))
    order.push_back(tree_.Data(n).Name);
  EXPECT_EQ(order, (std::vector<std::string>{"A", "1", "B", "2", "3"}));
}

}  // namespace
}  // namespace cvn::changes

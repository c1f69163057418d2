// The rows a view of the changes tree shows: expanding, collapsing, removing
// and finding keep them equal to a walk of the expanded tree. The page's
// commands: the context menu by node, removing, the ignore lists.
#include "changes/tree_rows.h"

#include <gtest/gtest.h>

#include "changes/tree_commands.h"
#include "platform/memory/memory_filesystem.h"
#include "tests/changes/change_tree_test_util.h"

namespace cvn::changes {
namespace {

using test::Add;
using test::At;
using Strings = std::vector<std::string>;

class TreeRowsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tree_.Reset();
    Add(tree_, "C:", "App", NodeKind::kFolderAdded, 0, 0, {}, {}, "C:");
    Add(tree_, "C:\\App", "b.txt", NodeKind::kFileAdded, 0, 0, {}, "1 bytes", "C:\\App");
    Add(tree_, "C:\\App", "a.txt", NodeKind::kFileAdded, 0, 0, {}, {}, "C:\\App");
    Add(tree_, "C:\\App\\Sub", "c.dat", NodeKind::kFileDeleted, 0, 0, {}, {}, "C:\\App\\Sub");
    Add(tree_, "D:\\Data", "Ärger.txt", NodeKind::kFileChanged);
    Add(tree_, "HKEY_CURRENT_USER\\Software\\App", "Theme", NodeKind::kValueAdded, test::kHkcu, 1,
        {}, std::string_view("Dark\0", 5));
    rows_.Reset();
  }

  // Every row as its node's name, indented two spaces a level.
  Strings Shown() const {
    Strings shown;
    for (size_t row = 0; row < rows_.Count(); ++row) {
      const NodeId node = rows_.At(row);
      shown.push_back(std::string(2 * tree_.Level(node), ' ') + tree_.Data(node).name);
    }
    return shown;
  }
  size_t Row(std::string_view path) const { return rows_.RowOf(At(tree_, tree_.Top(), path)); }

  settings::Settings settings_;
  ChangeTree tree_{settings_};
  TreeRows rows_{tree_};
};

TEST_F(TreeRowsTest, ExpandingAndCollapsingShowExactlyTheExpandedNodesInTreeOrder) {
  EXPECT_EQ(Shown(), (Strings{"My Computer", "  File System", "    C:", "    D:", "  Registry",
                              "    HKEY_CURRENT_USER"}));
  rows_.Expand(Row("File System\\C:"));
  rows_.Expand(Row("File System\\C:\\App"));
  rows_.Toggle(Row("Registry\\HKEY_CURRENT_USER"));
  EXPECT_EQ(Shown(), (Strings{"My Computer", "  File System", "    C:", "      App",
                              "        b.txt", "        a.txt", "        Sub",
                              "    D:", "  Registry", "    HKEY_CURRENT_USER", "      Software"}));
  // A collapsed node's descendants keep their state for when it opens again.
  rows_.Collapse(Row("File System\\C:"));
  EXPECT_EQ(Shown()[3], "    D:");
  rows_.Toggle(Row("File System\\C:"));
  EXPECT_EQ(Shown()[6], "        Sub");
  // Expanding what is expanded, or has nothing below it, changes nothing.
  const size_t count = rows_.Count();
  rows_.Expand(Row("File System\\C:\\App"));
  rows_.Expand(Row("File System\\C:\\App\\a.txt"));
  EXPECT_EQ(rows_.Count(), count);

  rows_.ExpandAll();
  EXPECT_EQ(rows_.Count(), tree_.NodeCount());
  EXPECT_EQ(Shown().back(), "          Theme");
  rows_.CollapseAll();
  EXPECT_EQ(Shown(), (Strings{"My Computer", "  File System", "    C:", "    D:", "  Registry",
                              "    HKEY_CURRENT_USER"}));
  rows_.ExpandBranch(Row("File System\\C:"));
  EXPECT_EQ(Shown()[7], "          c.dat");
  EXPECT_EQ(Shown()[8], "    D:");
}

TEST_F(TreeRowsTest, RemovingABranchTakesItsRowsAndNeverAFixedNode) {
  rows_.ExpandAll();
  const size_t count = rows_.Count();
  for (std::string_view fixed : {"", "File System", "Registry"}) {
    EXPECT_FALSE(rows_.RemoveBranch(Row(fixed))) << fixed;
  }
  ASSERT_TRUE(rows_.RemoveBranch(Row("File System\\C:\\App")));
  EXPECT_EQ(rows_.Count(), count - 5);
  EXPECT_EQ(At(tree_, tree_.Top(), "File System\\C:\\App"), kNoNode);
  EXPECT_EQ(Shown()[2], "    C:");
  EXPECT_EQ(Shown()[3], "    D:");
  // Ids of removed nodes come back for new ones, collapsed.
  const NodeId reused = Add(tree_, "C:\\New\\Deep", "n.txt", NodeKind::kFileAdded);
  rows_.Reset();
  EXPECT_FALSE(rows_.IsExpanded(tree_.Parent(reused)));
}

TEST_F(TreeRowsTest, FindLooksInEveryCellWithoutRegardToCaseAndRevealsWhatItFinds) {
  const bool hex = false;
  size_t row = rows_.Find("dark", kNoNode, true, hex);  // the After text 'Dark'
  ASSERT_NE(row, TreeRows::kNoRow);
  EXPECT_EQ(tree_.Data(rows_.At(row)).name, "Theme");
  EXPECT_EQ(rows_.RowOf(rows_.At(row)), row);
  // Forward from a match goes on to the next one, wrapping at the end.
  row = rows_.Find(".TXT", kNoNode, true, hex);  // a created folder keeps its files' order
  EXPECT_EQ(tree_.Data(rows_.At(row)).name, "b.txt");
  row = rows_.Find(".txt", rows_.At(row), true, hex);
  EXPECT_EQ(tree_.Data(rows_.At(row)).name, "a.txt");
  row = rows_.Find(".txt", rows_.At(row), true, hex);
  EXPECT_EQ(tree_.Data(rows_.At(row)).name, "Ärger.txt");
  row = rows_.Find(".txt", rows_.At(row), true, hex);
  EXPECT_EQ(tree_.Data(rows_.At(row)).name, "b.txt");
  // Back from the first match wraps to the last one.
  row = rows_.Find("äRGER", rows_.At(row), false, hex);
  EXPECT_EQ(tree_.Data(rows_.At(row)).name, "Ärger.txt");
  row = rows_.Find(".txt", rows_.At(row), false, hex);
  EXPECT_EQ(tree_.Data(rows_.At(row)).name, "a.txt");
  EXPECT_EQ(rows_.Find("nowhere", kNoNode, true, hex), TreeRows::kNoRow);
  EXPECT_EQ(rows_.Find("", kNoNode, true, hex), TreeRows::kNoRow);
  EXPECT_EQ(Shown()[2], "    C:");
  EXPECT_EQ(Shown()[3], "      App");
}

TEST_F(TreeRowsTest, TheMenuOffersWhatTheSelectedNodeAllows) {
  platform::MemoryFileSystem fs;
  ASSERT_TRUE(fs.AddFile("C:\\App\\a.txt", "a", 0).ok());  // b.txt is gone again
  TreeCommands commands(tree_, settings_, fs);
  const NodeId file = At(tree_, tree_.Top(), "File System\\C:\\App\\a.txt");
  tree_.SetUninstallMode(true);
  const struct {
    std::string_view node;  // "-": none
    TreeMenuState menu;     // check, check on, expand, remove, open, view, ignore
  } kRows[] = {
      {"-", {true, false, true, false, false, false, false}},
      {"", {true, true, true, false, false, false, false}},
      {"Registry", {true, true, true, false, false, false, false}},
      {"Registry\\HKEY_CURRENT_USER", {true, true, true, true, false, false, false}},
      {"Registry\\HKEY_CURRENT_USER\\Software", {true, true, true, true, false, false, true}},
      {"Registry\\HKEY_CURRENT_USER\\Software\\App\\Theme",
       {true, true, true, true, false, false, false}},
      {"File System\\C:\\App", {true, true, true, true, true, false, true}},
      {"File System\\C:\\App\\a.txt", {true, true, true, true, true, true, true}},
      {"File System\\C:\\App\\b.txt", {true, true, true, true, false, false, true}},
      {"File System\\C:\\App\\Sub\\c.dat", {true, true, true, true, false, false, true}},
  };
  for (const auto& r : kRows) {
    const NodeId node = r.node == "-" ? kNoNode : At(tree_, tree_.Top(), r.node);
    const TreeMenuState m = commands.MenuState(node);
    EXPECT_EQ((Strings{std::to_string(m.check_visible), std::to_string(m.check_enabled),
                       std::to_string(m.expand_enabled), std::to_string(m.remove_enabled),
                       std::to_string(m.open_enabled), std::to_string(m.view_enabled),
                       std::to_string(m.ignore_visible)}),
              (Strings{std::to_string(r.menu.check_visible), std::to_string(r.menu.check_enabled),
                       std::to_string(r.menu.expand_enabled), std::to_string(r.menu.remove_enabled),
                       std::to_string(r.menu.open_enabled), std::to_string(r.menu.view_enabled),
                       std::to_string(r.menu.ignore_visible)}))
        << r.node;
  }
  tree_.SetUninstallMode(false);
  EXPECT_FALSE(commands.MenuState(file).check_visible);
  // A folder of a file's name, or a file of a folder's, is not the item.
  ASSERT_TRUE(fs.DeleteFile("C:\\App\\a.txt").ok());
  ASSERT_TRUE(fs.CreateFolders("C:\\App\\a.txt").ok());
  EXPECT_FALSE(commands.MenuState(file).open_enabled);
}

TEST_F(TreeRowsTest, AddToIgnoreListChoosesTheListByKindOnceAndRemoveMarksAnEdit) {
  platform::MemoryFileSystem fs;
  TreeCommands commands(tree_, settings_, fs);
  commands.Reset();
  EXPECT_EQ(commands.rows().Count(), 6u);  // the top, both roots and what they hold
  const NodeId b = At(tree_, tree_.Top(), "File System\\C:\\App\\b.txt");
  EXPECT_TRUE(commands.AddToIgnoreList(b));
  EXPECT_FALSE(commands.AddToIgnoreList(b));  // once
  EXPECT_TRUE(commands.AddToIgnoreList(At(tree_, tree_.Top(), "File System\\C:\\App\\Sub")));
  EXPECT_TRUE(
      commands.AddToIgnoreList(At(tree_, tree_.Top(), "Registry\\HKEY_CURRENT_USER\\Software")));
  EXPECT_EQ(settings_.ignored_files.entries(), Strings{"C:\\App\\b.txt"});
  EXPECT_EQ(settings_.excluded_folders.entries(), Strings{"C:\\App\\Sub"});
  EXPECT_EQ(settings_.ignored_keys.entries(), Strings{"HKEY_CURRENT_USER\\Software"});

  EXPECT_FALSE(commands.edited());
  TreeRows& rows = commands.rows();
  rows.ExpandAll();
  EXPECT_FALSE(commands.RemoveBranch(rows.RowOf(tree_.RegistryRoot())));
  EXPECT_FALSE(commands.edited());
  EXPECT_TRUE(
      commands.RemoveBranch(rows.RowOf(At(tree_, tree_.Top(), "Registry\\HKEY_CURRENT_USER"))));
  EXPECT_TRUE(commands.edited());
  commands.MarkSaved();
  EXPECT_FALSE(commands.edited());
}

}  // namespace
}  // namespace cvn::changes

// Check states and how they spread, the branch check commands, and the sort
// of path and root nodes' children.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "change_tree_test_util.h"
#include "changes/change_tree.h"

namespace cvn::changes {
namespace {

using namespace test;

// The names of the checked nodes, a node before its children.
std::string Checked(const ChangeTree& tree) {
  std::string s;
  const NodeId top = tree.Top();
  for (NodeId n = top; n != kNoNode; n = tree.NextInSubtree(n, top))
    if (tree.IsChecked(n)) s += (s.empty() ? "" : " ") + tree.Data(n).Name;
  return s;
}

NodeId Find(const ChangeTree& tree, std::string_view path) {
  const NodeId n = At(tree, tree.FileSystemRoot(), path);
  return n != kNoNode ? n : At(tree, tree.RegistryRoot(), path);
}

struct CheckCase {
  const char* what;
  const char* tree;  // changes as Inserts() reads them, under HKEY_LOCAL_MACHINE's root key
  const char* checked_first;
  // Steps "OP NODE => CHECKED" with ';' between them: OP is + or - for a check
  // or uncheck, branch+ or branch- for a branch check, spread+ for spreading
  // a check; CHECKED the checked names after the step.
  const char* steps;
};

const CheckCase kChecks[] = {
    {"an unchecked created file unchecks its created folder, not its sibling nor the path node",
     "C:\\Apps|App|7;C:\\Apps\\App|a.exe|9;C:\\Apps\\App|b.dll|9", "App a.exe b.dll",
     "- C:\\Apps\\App\\a.exe => b.dll;+ C:\\Apps\\App => App a.exe b.dll"},
    {"an upward spread sets a path node, which has no box to carry it on", "HK\\K|v|5", "v",
     "- HK\\K\\v => ;+ HK\\K\\v => K v"},
    {"an unchecked deleted key unchecks all below; a checked deleted value checks its keys only",
     "HK\\S|Old|2;HK\\S\\Old|Sub|2;HK\\S\\Old\\Sub|a|5;HK\\S\\Old\\Sub|b|5", "Old Sub a b",
     "- HK\\S\\Old => ;+ HK\\S\\Old\\Sub\\a => S Old Sub a"},
    {"a created key checked spreads down, unchecked spreads up",
     "HK|App|1;HK\\App|Sub|1;HK\\App\\Sub|v|3", "App Sub v",
     "- HK\\App\\Sub\\v => ;+ HK\\App => App Sub v"},
    {"a downward spread sets children without boxes, but only boxes carry it on",
     "C:|App|7;C:\\App|Sub|7;C:\\App|NoBox|7-;C:\\App\\NoBox|f|9-;C:\\App\\Sub|g|9-", "App Sub",
     "- C:\\App\\Sub => ;+ C:\\App => App Sub g NoBox"},
    {"a node without a box does not spread", "C:|App|7-;C:\\App|f|9", "f",
     "+ C:\\App => App f;- C:\\App\\f => ;spread+ C:\\App => "},
    {"kinds without a rule keep their neighbours alone", "HK|K|1;HK\\K|c|4;HK\\K|n|6;C:|f|9",
     "f K c n", "- HK\\K\\c => f K n;- HK\\K\\n => f K;- C:\\f => K;+ C:\\f => f K"},
    {"setting the same state does nothing", "C:|App|7;C:\\App|f|9-", "App",
     "+ C:\\App => App;- C:\\App => ;+ C:\\App => App f"},
    {"a branch check sets every box of the subtree, the node first",
     "C:\\X|App|7;C:\\X\\App|f|9-;C:\\X|gone|11;C:\\X\\App|g|9", "App g",
     "branch- C:\\X => ;branch+ C:\\X => App f g;branch- C:\\X\\App\\g => f"},
};

TEST(CheckTest, StatesSpreadByKindAndBox) {
  for (const CheckCase& c : kChecks) {
    SCOPED_TRACE(c.what);
    settings::Settings settings;
    ChangeTree tree(settings);
    tree.SetUninstallMode(true);
    for (const Insert& i : Inserts(c.tree)) {
      settings.DeleteFiles = settings.DeleteFolders = i.box;
      Add(tree, i.path, i.name, i.kind, kHklm);
    }
    EXPECT_EQ(Checked(tree), c.checked_first);
    for (std::string_view steps = c.steps; !steps.empty();) {
      const std::string_view step = steps.substr(0, steps.find(';'));
      steps.remove_prefix(std::min(steps.size(), step.size() + 1));
      SCOPED_TRACE(step);
      const size_t space = step.find(' '), arrow = step.find(" => ");
      const std::string_view op = step.substr(0, space);
      const NodeId n = Find(tree, step.substr(space + 1, arrow - space - 1));
      ASSERT_NE(n, kNoNode);
      const bool on = op.ends_with('+');
      if (op.size() == 1) tree.SetCheckState(n, on);
      if (op.starts_with("spread")) tree.PropagateCheck(n, on);
      if (op.starts_with("branch")) tree.SetBranchCheck(n, on);
      EXPECT_EQ(Checked(tree), step.substr(arrow + 4));
    }
  }
}

// A long chain: the spread reaches both ends; with the files beside it, more
// nodes than one chunk of the node array holds.
TEST(CheckTest, LongChainsSpreadToTheirEnds) {
  settings::Settings settings;
  ChangeTree tree(settings);
  tree.SetUninstallMode(true);
  std::string path = "C:";
  const NodeId top = Add(tree, path, "d", nkFolderAdded);
  NodeId last = top;
  for (int i = 0; i < 2000; ++i) last = Add(tree, path += "\\d", "d", nkFolderAdded);
  for (int i = 0; i < 2200; ++i) Add(tree, "D:", "f" + std::to_string(i), nkFileAdded);
  tree.SetCheckState(last, false);
  EXPECT_FALSE(tree.IsChecked(top));
  tree.SetCheckState(top, true);
  EXPECT_TRUE(tree.IsChecked(last));
  EXPECT_EQ(tree.PathFromBranchRoot(last).size(), path.size() + 2);
  EXPECT_EQ(tree.PathFromBranchRoot(tree.LastInserted()), "D:\\f2199");
}

// ---- Sort ----

struct SortCase {
  const char* what;
  NameComparer names;  // empty: the default
  const char* inserts;
  const char* node;  // the node initialised: a path, or "" for the file-system root
  const char* sorted;
};

const SortCase kSorts[] = {
    {"a path node's children by kind, then name without regard to case",
     {},
     "C:\\P|b.txt|11;C:\\P\\zeta|x|9;C:\\P|B.dll|9;C:\\P|a.txt|9;C:\\P|New|7;C:\\P\\Alpha|x|9",
     "C:\\P",
     "New/7,a.txt/9,B.dll/9,b.txt/11,Alpha/18{x/9},zeta/18{x/9}"},
    {"change nodes are born initialised and keep their children's order",
     {},
     "C:|App|7;C:\\App|z|9;C:\\App|Sub|7;C:\\App|a|9",
     "C:\\App",
     "z/9,Sub/7,a/9"},
    {"the branch roots sort their children: drives by name",
     {},
     "D:|x|9;c:|x|9",
     "",
     "c:/17{x/9},D:/17{x/9}"},
    {"equal names keep their order",
     {},
     "HKEY_USERS|K|1;HKEY_USERS|k|1;HKEY_USERS|A|1",
     "HKEY_USERS",
     "A/1,K/1,k/1"},
    {"the name order comes from the given comparer",
     [](std::string_view a, std::string_view b) { return b.compare(a); }, "C:|a|9;C:|c|9;C:|b|9",
     "C:", "c/9,b/9,a/9"},
    {"the default order is the user's without regard to case",
     {},
     "C:|b|9;C:|C|9;C:|A|9",
     "C:",
     "A/9,b/9,C/9"},
};

TEST(SortTest, InitialisingANodeSortsItsChildrenOnce) {
  for (const SortCase& c : kSorts) {
    SCOPED_TRACE(c.what);
    settings::Settings settings;
    ChangeTree tree(settings, c.names);
    for (const Insert& i : Inserts(c.inserts)) Add(tree, i.path, i.name, i.kind, kHku);
    const NodeId n = *c.node ? Find(tree, c.node) : tree.FileSystemRoot();
    ASSERT_NE(n, kNoNode);
    tree.InitNode(n);
    EXPECT_TRUE(tree.IsInitialised(n));
    EXPECT_EQ(Shape(tree, n), c.sorted);
    // Sorted once: later insertions are appended.
    const bool files = !*c.node || At(tree, tree.FileSystemRoot(), c.node) != kNoNode;
    Add(tree, *c.node ? std::string(c.node) + "\\" : "", "0", files ? nkFileAdded : nkValueAdded);
    tree.InitNode(n);
    EXPECT_EQ(tree.Data(tree.LastChild(n)).Name, "0");
  }
}

TEST(SortTest, PathLookupFollowsTheSortedOrder) {
  // A path node B first, then a created key b: after the sort the key comes
  // first, so it is the first match for the name from then on.
  settings::Settings settings;
  ChangeTree tree(settings);
  const NodeId path_node = tree.Parent(Add(tree, "HKEY_USERS\\B", "v", nkValueAdded, kHku));
  const NodeId key = Add(tree, "HKEY_USERS", "b", nkKeyAdded, kHku);
  EXPECT_EQ(tree.Parent(Add(tree, "HKEY_USERS\\B", "w", nkValueAdded, kHku)), path_node);
  tree.InitNode(tree.Parent(key));
  EXPECT_EQ(tree.Parent(Add(tree, "HKEY_USERS\\B", "x", nkValueAdded, kHku)), key);
}

}  // namespace
}  // namespace cvn::changes

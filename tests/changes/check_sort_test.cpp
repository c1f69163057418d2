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

struct Boxed {  // a change inserted with its kind's uninstall phase on or off
  std::string_view path, name;
  int32_t kind;
  bool box = true;
};
enum Op { kSet, kPropagate, kBranch };
struct Step { const char* node; Op op; bool state; const char* checked_after; };
struct CheckCase {
  const char* what;
  std::vector<Boxed> tree;
  const char* checked_first;
  std::vector<Step> steps;
};

const CheckCase kChecks[] = {
    {"an unchecked created file unchecks its created folder, not its sibling nor the path node",
     {{"C:\\Apps", "App", 7}, {"C:\\Apps\\App", "a.exe", 9}, {"C:\\Apps\\App", "b.dll", 9}},
     "App a.exe b.dll",
     {{"C:\\Apps\\App\\a.exe", kSet, false, "b.dll"}, {"C:\\Apps\\App", kSet, true, "App a.exe b.dll"}}},
    {"an upward spread sets a path node, which has no box to carry it on",
     {{"HK\\K", "v", 5}}, "v", {{"HK\\K\\v", kSet, false, ""}, {"HK\\K\\v", kSet, true, "K v"}}},
    {"an unchecked deleted key unchecks all below; a checked deleted value checks its keys only",
     {{"HK\\S", "Old", 2}, {"HK\\S\\Old", "Sub", 2}, {"HK\\S\\Old\\Sub", "a", 5},
      {"HK\\S\\Old\\Sub", "b", 5}},
     "Old Sub a b",
     {{"HK\\S\\Old", kSet, false, ""}, {"HK\\S\\Old\\Sub\\a", kSet, true, "S Old Sub a"}}},
    {"a created key checked spreads down, unchecked spreads up",
     {{"HK", "App", 1}, {"HK\\App", "Sub", 1}, {"HK\\App\\Sub", "v", 3}}, "App Sub v",
     {{"HK\\App\\Sub\\v", kSet, false, ""}, {"HK\\App", kSet, true, "App Sub v"}}},
    {"a downward spread sets children without boxes, but only boxes carry it on",
     {{"C:", "App", 7}, {"C:\\App", "Sub", 7}, {"C:\\App", "NoBox", 7, false},
      {"C:\\App\\NoBox", "f", 9, false}, {"C:\\App\\Sub", "g", 9, false}},
     "App Sub", {{"C:\\App\\Sub", kSet, false, ""}, {"C:\\App", kSet, true, "App Sub g NoBox"}}},
    {"a node without a box does not spread", {{"C:", "App", 7, false}, {"C:\\App", "f", 9}}, "f",
     {{"C:\\App", kSet, true, "App f"}, {"C:\\App\\f", kSet, false, ""},
      {"C:\\App", kPropagate, true, ""}}},
    {"kinds without a rule keep their neighbours alone",
     {{"HK", "K", 1}, {"HK\\K", "c", 4}, {"HK\\K", "n", 6}, {"C:", "f", 9}}, "f K c n",
     {{"HK\\K\\c", kSet, false, "f K n"}, {"HK\\K\\n", kSet, false, "f K"},
      {"C:\\f", kSet, false, "K"}, {"C:\\f", kSet, true, "f K"}}},
    {"setting the same state does nothing", {{"C:", "App", 7}, {"C:\\App", "f", 9, false}}, "App",
     {{"C:\\App", kSet, true, "App"}, {"C:\\App", kSet, false, ""}, {"C:\\App", kSet, true, "App f"}}},
    {"a branch check sets every box of the subtree, the node first",
     {{"C:\\X", "App", 7}, {"C:\\X\\App", "f", 9, false}, {"C:\\X", "gone", 11}, {"C:\\X\\App", "g", 9}},
     "App g",
     {{"C:\\X", kBranch, false, ""}, {"C:\\X", kBranch, true, "App f g"},
      {"C:\\X\\App\\g", kBranch, false, "f"}}},
};

TEST(CheckTest, StatesSpreadByKindAndBox) {
  for (const CheckCase& c : kChecks) {
    SCOPED_TRACE(c.what);
    settings::Settings settings;
    ChangeTree tree(settings);
    tree.SetUninstallMode(true);
    for (const Boxed& b : c.tree) {
      settings.DeleteFiles = settings.DeleteFolders = b.box;
      Add(tree, b.path, b.name, b.kind, kHklm);
    }
    EXPECT_EQ(Checked(tree), c.checked_first);
    for (const Step& s : c.steps) {
      SCOPED_TRACE(s.node);
      const NodeId n = Find(tree, s.node);
      ASSERT_NE(n, kNoNode);
      if (s.op == kSet) tree.SetCheckState(n, s.state);
      if (s.op == kPropagate) tree.PropagateCheck(n, s.state);
      if (s.op == kBranch) tree.SetBranchCheck(n, s.state);
      EXPECT_EQ(Checked(tree), s.checked_after);
    }
  }
}

TEST(CheckTest, LongChainsSpreadToTheirEnds) {
  settings::Settings settings;
  ChangeTree tree(settings);
  tree.SetUninstallMode(true);
  std::string path = "C:";
  const NodeId top = Add(tree, path, "d", nkFolderAdded);
  NodeId last = top;
  for (int i = 0; i < 2000; ++i) last = Add(tree, path += "\\d", "d", nkFolderAdded);
  tree.SetCheckState(last, false);
  EXPECT_FALSE(tree.IsChecked(top));
  tree.SetCheckState(top, true);
  EXPECT_TRUE(tree.IsChecked(last));
}

// ---- Sort ----

struct SortCase {
  const char* what;
  NameComparer names;  // empty: the default
  std::vector<Insert> inserts;
  const char* node;  // the node initialised: a path, or "" for the file-system root
  const char* before, *after;
};

const SortCase kSorts[] = {
    {"a path node's children by kind, then name without regard to case", {},
     {{"C:\\P", "b.txt", 11}, {"C:\\P\\zeta", "x", 9}, {"C:\\P", "B.dll", 9}, {"C:\\P", "a.txt", 9},
      {"C:\\P", "New", 7}, {"C:\\P\\Alpha", "x", 9}},
     "C:\\P", "b.txt/11,zeta/18{x/9},B.dll/9,a.txt/9,New/7,Alpha/18{x/9}",
     "New/7,a.txt/9,B.dll/9,b.txt/11,Alpha/18{x/9},zeta/18{x/9}"},
    {"change nodes are born initialised and keep their children's order", {},
     {{"C:", "App", 7}, {"C:\\App", "z", 9}, {"C:\\App", "Sub", 7}, {"C:\\App", "a", 9}},
     "C:\\App", "z/9,Sub/7,a/9", "z/9,Sub/7,a/9"},
    {"the branch roots sort their children: drives by name", {}, {{"D:", "x", 9}, {"c:", "x", 9}},
     "", "D:/17{x/9},c:/17{x/9}", "c:/17{x/9},D:/17{x/9}"},
    {"equal names keep their order", {},
     {{"HKEY_USERS", "K", 1}, {"HKEY_USERS", "k", 1}, {"HKEY_USERS", "A", 1}}, "HKEY_USERS",
     "K/1,k/1,A/1", "A/1,K/1,k/1"},
    {"the name order comes from the given comparer",
     [](std::string_view a, std::string_view b) { return b.compare(a); },
     {{"C:", "a", 9}, {"C:", "c", 9}, {"C:", "b", 9}}, "C:", "a/9,c/9,b/9", "c/9,b/9,a/9"},
    {"the system's comparison ignores case beyond ASCII", text::CompareNoCase,
     {{"C:", "éb", 9}, {"C:", "Éa", 9}, {"C:", "z", 9}}, "C:", "éb/9,Éa/9,z/9", "z/9,Éa/9,éb/9"},
    {"the default order is the user's without regard to case", {},
     {{"C:", "b", 9}, {"C:", "C", 9}, {"C:", "A", 9}}, "C:", "b/9,C/9,A/9", "A/9,b/9,C/9"},
};

TEST(SortTest, InitialisingANodeSortsItsChildrenOnce) {
  for (const SortCase& c : kSorts) {
    SCOPED_TRACE(c.what);
    settings::Settings settings;
    ChangeTree tree(settings, c.names);
    for (const Insert& i : c.inserts) Add(tree, i.path, i.name, i.kind, kHku);
    const NodeId n = *c.node ? Find(tree, c.node) : tree.FileSystemRoot();
    ASSERT_NE(n, kNoNode);
    EXPECT_EQ(Shape(tree, n), c.before);
    tree.InitNode(n);
    EXPECT_TRUE(tree.IsInitialised(n));
    EXPECT_EQ(Shape(tree, n), c.after);
    // Sorted once: later insertions are appended.
    const bool files = !*c.node || At(tree, tree.FileSystemRoot(), c.node) != kNoNode;
    Add(tree, *c.node ? std::string(c.node) + "\\" : "", "0", files ? nkFileAdded : nkValueAdded);
    tree.InitNode(n);
    EXPECT_EQ(tree.Data(tree.LastChild(n)).Name, "0");
  }
}

TEST(SortTest, BranchRootsKeepTheirPlaces) {
  settings::Settings settings;
  ChangeTree tree(settings);
  EXPECT_FALSE(tree.IsInitialised(tree.Top()));
  tree.InitNode(tree.Top());
  EXPECT_EQ(Shape(tree, tree.Top()), "File System/15,Registry/16");
  EXPECT_EQ(tree.CompareNodes(tree.FileSystemRoot(), tree.RegistryRoot()), 0);
  EXPECT_EQ(tree.CompareNodes(tree.RegistryRoot(), tree.FileSystemRoot()), 0);
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

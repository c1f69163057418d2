// The changes tree: its fixed top, insertion with the ignore lists, path
// and drive nodes, check boxes and how check states spread, removal and the
// sort of a node's children.
#include "changes/change_tree.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "change_tree_test_util.h"

namespace cvn::changes {
namespace {

using namespace test;

class ChangeTreeTest : public ::testing::Test {
 protected:
  settings::Settings settings_;
  ChangeTree tree_{settings_};
};

TEST_F(ChangeTreeTest, FixedTopAndReset) {
  Add(tree_, "C:\\A", "f.txt", NodeKind::kFileAdded);
  tree_.Reset();
  EXPECT_EQ(tree_.Data(tree_.Top()).name, "My Computer");
  EXPECT_EQ(Shape(tree_, tree_.Top()), "File System/15,Registry/16");
  EXPECT_EQ(tree_.NodeCount(), 3u);
  // Path nodes of the old content are gone from the index too.
  Add(tree_, "C:\\A", "g.txt", NodeKind::kFileAdded);
  EXPECT_EQ(Shape(tree_, tree_.FileSystemRoot()), "C:/17{A/18{g.txt/9}}");
  // The branch roots keep their places when the top is sorted.
  tree_.InitNode(tree_.Top());
  EXPECT_EQ(tree_.FirstChild(tree_.Top()), tree_.FileSystemRoot());
  EXPECT_EQ(tree_.CompareNodes(tree_.RegistryRoot(), tree_.FileSystemRoot()), 0);
}

struct ShapeCase {
  const char* what;
  const char* inserts;
  std::string file_system, registry;
  const char *excluded = "", *ignored_files = "", *ignored_keys = "";
};

const ShapeCase kShapes[] = {
    {"drive and path nodes are reused whatever the case and a trailing backslash",
     "C:\\A\\B|f.txt|9;c:\\a\\b\\|g.txt|9", "C:/17{A/18{B/18{f.txt/9,g.txt/9}}}", ""},
    {"registry kinds go to the registry branch, all others to the file system",
     "K|x|1;K|x|3;K|x|6;K|x|7;K|x|13;K|x|18;K|x|42", "K/18{x/7,x/13,x/18,x/42}",
     "K/18{x/1,x/3,x/6}"},
    {"a drive node only for a letter and a colon", "C:\\x|f|9;CD:\\x|f|9;C\\x|f|9;:\\x|f|9",
     "C:/17{x/18{f/9}},CD:/18{x/18{f/9}},C/18{x/18{f/9}},:/18{x/18{f/9}}", ""},
    {"an empty path puts the change under the branch root; a created folder holds later files",
     "|D:|7;D:\\|a.txt|9", "D:/7{a.txt/9}", ""},
    {"only container kinds are walked through, deleted ones as created ones",
     "C:|X|9;C:\\X|y|9;C:|Old|8;C:\\old|z|11;HKEY_USERS|K|2;HKEY_USERS\\k|v|5;HKEY_USERS|V|4;"
     "HKEY_USERS\\V|w|5",
     "C:/17{X/9,X/18{y/9},Old/8{z/11}}", "HKEY_USERS/18{K/2{v/5},V/4,V/18{w/5}}"},
    {"path elements match ignoring ASCII case only", "C:\\Été|a|9;C:\\éTÉ|b|9;C:\\étÉ|c|9",
     "C:/17{Été/18{a/9},éTÉ/18{b/9,c/9}}", ""},
    {"an excluded folder covers its files and itself, not a similar name or a file",
     "C:\\Temp\\x|y.tmp|9;C:\\Temp2|y.tmp|9;c:\\temp|z.tmp|11;C:\\Temp\\|z.tmp|10;C:\\|TEMP|7;"
     "C:|Temp|8;C:\\|Temp2|7;C:|Temp|9",
     "C:/17{Temp2/18{y.tmp/9},Temp2/7,Temp/9}", "", "C:\\Temp"},
    {"ignored files cover a file of any kind by its full path, never a folder",
     "C:\\WINDOWS|Win.ini|9;C:\\WINDOWS|Win.ini|11;C:\\WINDOWS|Win.ini|13;"
     "C:\\Windows|win.ini.bak|9;C:\\Windows|win.ini|7",
     "C:/17{Windows/18{win.ini.bak/9,win.ini/7}}", "", "", "C:\\Windows\\win.ini"},
    {"ignored keys cover values by their key and keys by their own path",
     "HKEY_CURRENT_USER\\Software\\X|v|3;HKEY_CURRENT_USER\\Software|v|4;"
     "HKEY_CURRENT_USER\\SoftwareX|v|5;HKEY_CURRENT_USER|Software|1;"
     "HKEY_CURRENT_USER\\|SOFTWARE|2;HKEY_CURRENT_USER|Soft|1;HKEY_CURRENT_USER|Software|6;"
     "HKEY_CURRENT_USER\\Software|n|6",
     "", "HKEY_CURRENT_USER/18{SoftwareX/18{v/5},Soft/1,Software/6}", "", "",
     "hkey_current_user\\software"},
};

TEST_F(ChangeTreeTest, InsertionBuildsTheExpectedShape) {
  for (const ShapeCase& c : kShapes) {
    SCOPED_TRACE(c.what);
    settings_ = {};
    if (*c.excluded) settings_.excluded_folders.Add(c.excluded);
    if (*c.ignored_files) settings_.ignored_files.Add(c.ignored_files);
    if (*c.ignored_keys) settings_.ignored_keys.Add(c.ignored_keys);
    tree_.Reset();
    for (const Insert& i : Inserts(c.inserts)) Add(tree_, i.path, i.name, i.kind);
    EXPECT_EQ(Shape(tree_, tree_.FileSystemRoot()), c.file_system);
    EXPECT_EQ(Shape(tree_, tree_.RegistryRoot()), c.registry);
  }
}

// The buffers are taken over (the sanitizers see a double free or a leak,
// also of an ignored change's); path nodes carry the root key.
TEST_F(ChangeTreeTest, ChangeRecordIsCopied) {
  ChangeRecord record =
      Record(NodeKind::kValueChanged, kHklm, 3, "\x01\x02", "\x03", "Software\\X");
  record.name = "not used";
  tree_.AddToTree("HKEY_LOCAL_MACHINE\\Software\\X", "v", record);
  const NodeId n = tree_.LastInserted();
  const ChangeRecord& v = tree_.Data(n);
  EXPECT_EQ(v.name + "|" + std::string(v.path) + "|" + cvn::test::Hex(v.BeforeBytes()) + "|" +
                cvn::test::Hex(v.AfterBytes()),
            "v|Software\\X|0102|03");
  EXPECT_TRUE(v.kind == NodeKind::kValueChanged && v.root_key == kHklm && v.value_type == 3 &&
              v.before_size == 2 && v.after_size == 1);
  EXPECT_EQ(tree_.Data(tree_.Parent(n)).root_key, kHklm);
}

// With every phase on, the check-state table sees the boxes.
TEST_F(ChangeTreeTest, CheckBoxesOnlyInUninstallModeEachKindByItsPhaseSetting) {
  EXPECT_FALSE(tree_.HasCheckBox(Add(tree_, "X", "y", NodeKind::kFileAdded)));
  tree_.SetUninstallMode(true);
  using S = settings::Settings;
  const std::pair<NodeKind, bool S::*> phases[] = {
      {NodeKind::kKeyAdded, &S::delete_keys},
      {NodeKind::kKeyDeleted, &S::recreate_keys},
      {NodeKind::kValueAdded, &S::delete_values},
      {NodeKind::kValueChanged, &S::restore_values},
      {NodeKind::kValueDeleted, &S::recreate_values},
      {NodeKind::kCounterIncremented, &S::decrement_shared_counters},
      {NodeKind::kFolderAdded, &S::delete_folders},
      {NodeKind::kFileAdded, &S::delete_files}};
  for (auto [kind, phase] : phases) {
    settings_ = {};
    settings_.*phase = false;
    EXPECT_FALSE(tree_.HasCheckBox(Add(tree_, "X", "y", kind))) << static_cast<int>(kind);
  }
  settings_ = {};
  for (NodeKind kind : {NodeKind::kFolderDeleted, NodeKind::kFileChanged, NodeKind::kFileDeleted,
                        NodeKind::kFileMovedFrom, NodeKind::kFileMovedTo, NodeKind::kPathNode})
    EXPECT_FALSE(tree_.HasCheckBox(Add(tree_, "X", "y", kind))) << static_cast<int>(kind);
  EXPECT_FALSE(tree_.HasCheckBox(At(tree_, tree_.FileSystemRoot(), "X")));  // a path node
}

TEST_F(ChangeTreeTest, RemoveBranchDeletesTheSubtreeAndRefusesTheFixedTop) {
  for (NodeId fixed : {tree_.Top(), tree_.FileSystemRoot(), tree_.RegistryRoot()})
    EXPECT_FALSE(tree_.RemoveBranch(fixed));
  for (const Insert& i : Inserts("C:\\A\\B|f|9;C:\\A|g|9;D:|h|9"))
    Add(tree_, i.path, i.name, i.kind);
  EXPECT_TRUE(tree_.RemoveBranch(At(tree_, tree_.FileSystemRoot(), "C:\\A")));
  EXPECT_EQ(Shape(tree_, tree_.FileSystemRoot()), "C:/17,D:/17{h/9}");
  // A path through the removed node makes it again; freed slots are reused.
  Add(tree_, "C:\\a", "x", NodeKind::kFileAdded);
  EXPECT_EQ(Shape(tree_, tree_.FileSystemRoot()), "C:/17{a/18{x/9}},D:/17{h/9}");
  EXPECT_EQ(tree_.NodeCount(), 3u + 1u + 2u + 2u);
  // Removing the last inserted node forgets it.
  EXPECT_TRUE(tree_.RemoveBranch(tree_.LastInserted()));
  EXPECT_EQ(tree_.LastInserted(), kNoNode);
}

TEST_F(ChangeTreeTest, RemovingTheFirstOfTwoEqualKeysMakesTheSecondTheMatch) {
  const NodeId first = Add(tree_, "HKEY_USERS", "K", NodeKind::kKeyAdded);
  const NodeId second = Add(tree_, "HKEY_USERS", "k", NodeKind::kKeyDeleted);
  const NodeId last = Add(tree_, "HKEY_USERS", "v", NodeKind::kValueAdded);
  EXPECT_TRUE(tree_.RemoveBranch(first));
  EXPECT_EQ(tree_.Parent(Add(tree_, "HKEY_USERS\\K", "v", NodeKind::kValueAdded)), second);
  // Removing the last child keeps the list's end right.
  EXPECT_TRUE(tree_.RemoveBranch(last));
  EXPECT_EQ(tree_.LastChild(tree_.Parent(second)), second);
  const NodeId after = Add(tree_, "HKEY_USERS", "w", NodeKind::kValueAdded);
  EXPECT_EQ(tree_.NextSibling(second), after);
  EXPECT_EQ(Shape(tree_, tree_.Parent(second)), "k/2{v/3},w/3");
}

// ---- Check states ----

// The names of the checked nodes, a node before its children.
std::string Checked(const ChangeTree& tree) {
  std::string s;
  const NodeId top = tree.Top();
  for (NodeId n = top; n != kNoNode; n = tree.NextInSubtree(n, top))
    if (tree.IsChecked(n)) s += (s.empty() ? "" : " ") + tree.Data(n).name;
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

TEST_F(ChangeTreeTest, CheckStatesSpreadByKindAndBox) {
  for (const CheckCase& c : kChecks) {
    SCOPED_TRACE(c.what);
    tree_.Reset();
    tree_.SetUninstallMode(true);
    for (const Insert& i : Inserts(c.tree)) {
      settings_.delete_files = settings_.delete_folders = i.box;
      Add(tree_, i.path, i.name, i.kind, kHklm);
    }
    EXPECT_EQ(Checked(tree_), c.checked_first);
    for (std::string_view step : Split(c.steps, ';')) {
      SCOPED_TRACE(step);
      const size_t space = step.find(' '), arrow = step.find(" => ");
      const std::string_view op = step.substr(0, space);
      const NodeId n = Find(tree_, step.substr(space + 1, arrow - space - 1));
      ASSERT_NE(n, kNoNode);
      const bool on = op.ends_with('+');
      if (op.size() == 1) tree_.SetCheckState(n, on);
      if (op.starts_with("spread")) tree_.PropagateCheck(n, on);
      if (op.starts_with("branch")) tree_.SetBranchCheck(n, on);
      EXPECT_EQ(Checked(tree_), step.substr(arrow + 4));
    }
  }
}

// A long chain: the spread reaches both ends; with the files beside it, more
// nodes than one chunk of the node array holds.
TEST_F(ChangeTreeTest, LongChainsSpreadToTheirEnds) {
  tree_.SetUninstallMode(true);
  std::string path = "C:";
  const NodeId top = Add(tree_, path, "d", NodeKind::kFolderAdded);
  NodeId last = top;
  for (int i = 0; i < 2000; ++i) last = Add(tree_, path += "\\d", "d", NodeKind::kFolderAdded);
  for (int i = 0; i < 2200; ++i) Add(tree_, "D:", "f" + std::to_string(i), NodeKind::kFileAdded);
  tree_.SetCheckState(last, false);
  EXPECT_FALSE(tree_.IsChecked(top));
  tree_.SetCheckState(top, true);
  EXPECT_TRUE(tree_.IsChecked(last));
  EXPECT_EQ(tree_.PathFromBranchRoot(last).size(), path.size() + 2);
  EXPECT_EQ(tree_.PathFromBranchRoot(tree_.LastInserted()), "D:\\f2199");
}

// ---- Sort ----

struct SortCase {
  const char* what;
  const char* inserts;
  const char* node;  // the node initialised: a path, or "" for the file-system root
  const char* sorted;
  NameComparer names = {};  // empty: the default
};

const SortCase kSorts[] = {
    {"a path node's children by kind, then name without regard to case",
     "C:\\P|b.txt|11;C:\\P\\zeta|x|9;C:\\P|B.dll|9;C:\\P|a.txt|9;C:\\P|New|7;C:\\P\\Alpha|x|9",
     "C:\\P", "New/7,a.txt/9,B.dll/9,b.txt/11,Alpha/18{x/9},zeta/18{x/9}"},
    {"change nodes are born initialised and keep their children's order",
     "C:|App|7;C:\\App|z|9;C:\\App|Sub|7;C:\\App|a|9", "C:\\App", "z/9,Sub/7,a/9"},
    {"the branch roots sort their children: drives by name", "D:|x|9;c:|x|9", "",
     "c:/17{x/9},D:/17{x/9}"},
    {"equal names keep their order", "C:|K|7;C:|k|7;C:|A|7", "C:", "A/7,K/7,k/7"},
    {"the name order comes from the given comparer", "C:|a|9;C:|c|9;C:|b|9", "C:", "c/9,b/9,a/9",
     [](std::string_view a, std::string_view b) { return b.compare(a); }},
};

TEST(SortTest, InitialisingANodeSortsItsChildrenOnce) {
  for (const SortCase& c : kSorts) {
    SCOPED_TRACE(c.what);
    settings::Settings settings;
    ChangeTree tree(settings, c.names);
    for (const Insert& i : Inserts(c.inserts)) Add(tree, i.path, i.name, i.kind);
    const NodeId n = *c.node ? Find(tree, c.node) : tree.FileSystemRoot();
    ASSERT_NE(n, kNoNode);
    tree.InitNode(n);
    EXPECT_TRUE(tree.IsInitialised(n));
    EXPECT_EQ(Shape(tree, n), c.sorted);
    // Sorted once: later insertions are appended.
    Add(tree, c.node, "0", NodeKind::kFileAdded);
    tree.InitNode(n);
    EXPECT_EQ(tree.Data(tree.LastChild(n)).name, "0");
  }
}

// A path node B first, then a created key b: after the sort the key comes
// first, so it is the first match for the name from then on.
TEST_F(ChangeTreeTest, PathLookupFollowsTheSortedOrder) {
  const NodeId path_node = tree_.Parent(Add(tree_, "HKEY_USERS\\B", "v", NodeKind::kValueAdded));
  const NodeId key = Add(tree_, "HKEY_USERS", "b", NodeKind::kKeyAdded);
  EXPECT_EQ(tree_.Parent(Add(tree_, "HKEY_USERS\\B", "w", NodeKind::kValueAdded)), path_node);
  tree_.InitNode(tree_.Parent(key));
  EXPECT_EQ(tree_.Parent(Add(tree_, "HKEY_USERS\\B", "x", NodeKind::kValueAdded)), key);
}

}  // namespace
}  // namespace cvn::changes

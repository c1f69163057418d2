// The tree's indexed path lookup against a literal model that scans every
// sibling list from its first child: random insertions, sorts and removals
// must leave both trees alike, node for node.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "changes/change_tree.h"
#include "platform/text.h"

namespace cvn::changes {
namespace {

// The literal model: children in vectors, found by scanning.
class LiteralTree {
 public:
  explicit LiteralTree(const settings::Settings& settings) : settings_(settings) {
    nodes_.push_back({"My Computer", nkMyComputer, 0, {}, {1, 2}, -1, false});
    nodes_.push_back({"File System", nkFileSystem, 0, {}, {}, 0, false});
    nodes_.push_back({"Registry", nkRegistry, 0, {}, {}, 0, false});
  }

  void AddToTree(std::string_view path, std::string_view name, const TNodeData& tmpl) {
    if (Ignored(path, name, tmpl.Kind)) return;
    int current =
        IsRegistryChange(tmpl.Kind) ? nodes_[0].children.back() : nodes_[0].children.front();
    std::string rest(path);
    while (!rest.empty()) {
      const size_t cut = rest.find('\\');
      const std::string element = rest.substr(0, cut);
      rest = cut == std::string::npos ? "" : rest.substr(cut + 1);
      int found = -1;
      for (int c : nodes_[current].children) {
        if (IsContainerKind(nodes_[c].kind) && text::EqualsNoCaseAscii(nodes_[c].name, element)) {
          found = c;
          break;
        }
      }
      if (found < 0) {
        const bool drive = element.size() == 2 && element[1] == ':';
        found = NewNode(current,
                        {element, drive ? nkDrive : nkPathNode, tmpl.RootKey, {}, {}, 0, false});
      }
      current = found;
    }
    NewNode(current,
            {std::string(name), tmpl.Kind, tmpl.RootKey, std::string(tmpl.Path), {}, 0, true});
  }

  // The children of an uninitialised node are sorted, stably, by kind, then name.
  void InitNode(int node) {
    if (nodes_[node].initialised) return;
    nodes_[node].initialised = true;
    std::vector<int>& c = nodes_[node].children;
    std::stable_sort(c.begin(), c.end(), [this](int a, int b) {
      const Node& x = nodes_[a];
      const Node& y = nodes_[b];
      if (x.kind == nkFileSystem || x.kind == nkRegistry) return false;
      if (x.kind != y.kind) return x.kind < y.kind;
      return text::CompareNoCase(x.name, y.name) < 0;
    });
  }

  void Remove(int node) {
    std::vector<int>& siblings = nodes_[nodes_[node].parent].children;
    siblings.erase(std::find(siblings.begin(), siblings.end(), node));
  }

  // The nodes in pre-order.
  std::vector<int> PreOrder() const {
    std::vector<int> out;
    Walk(0, out);
    return out;
  }

  std::string Describe(int node) const {
    const Node& n = nodes_[node];
    return n.name + "|" + std::to_string(n.kind) + "|" + std::to_string(n.root) + "|" + n.path +
           "|" + std::to_string(n.children.size()) + (n.initialised ? "|i" : "|-");
  }

 private:
  struct Node {
    std::string name;
    int32_t kind;
    uint32_t root;
    std::string path;
    std::vector<int> children;
    int parent;
    bool initialised;
  };

  int NewNode(int parent, Node node) {
    node.parent = parent;
    nodes_.push_back(std::move(node));
    const int id = static_cast<int>(nodes_.size() - 1);
    nodes_[parent].children.push_back(id);
    return id;
  }

  void Walk(int node, std::vector<int>& out) const {
    out.push_back(node);
    for (int c : nodes_[node].children) Walk(c, out);
  }

  static std::string Joined(std::string_view path, std::string_view name) {
    std::string joined(path);
    if (joined.empty() || joined.back() != '\\') joined += '\\';
    return joined + std::string(name);
  }

  bool Ignored(std::string_view path, std::string_view name, int32_t kind) const {
    using settings::IsPathInList;
    if (kind == 1 || kind == 2) return IsPathInList(Joined(path, name), settings_.IgnoredKeys);
    if (kind >= 3 && kind <= 6) return IsPathInList(path, settings_.IgnoredKeys);
    if (kind == 7 || kind == 8) return IsPathInList(Joined(path, name), settings_.ExcludedFolders);
    if (kind >= 9 && kind <= 13) {
      return IsPathInList(path, settings_.ExcludedFolders) ||
             IsPathInList(Joined(path, name), settings_.IgnoredFiles);
    }
    return false;
  }

  const settings::Settings& settings_;
  std::vector<Node> nodes_;
};

std::vector<NodeId> PreOrder(const ChangeTree& tree) {
  std::vector<NodeId> out;
  for (NodeId n = tree.Top(); n != kNoNode; n = tree.NextInSubtree(n, tree.Top())) out.push_back(n);
  return out;
}

std::string Describe(const ChangeTree& tree, NodeId node) {
  const TNodeData& d = tree.Data(node);
  return d.Name + "|" + std::to_string(d.Kind) + "|" + std::to_string(d.RootKey) + "|" +
         std::string(d.Path) + "|" + std::to_string(tree.ChildCount(node)) +
         (tree.IsInitialised(node) ? "|i" : "|-");
}

std::vector<std::string> Dump(const ChangeTree& tree) {
  std::vector<std::string> out;
  for (NodeId n : PreOrder(tree)) out.push_back(Describe(tree, n));
  return out;
}

std::vector<std::string> Dump(const LiteralTree& tree) {
  std::vector<std::string> out;
  for (int n : tree.PreOrder()) out.push_back(tree.Describe(n));
  return out;
}

TEST(AddToTreeDifferentialTest, IndexedLookupBuildsTheSameTreeAsTheLiteralScan) {
  const std::vector<std::string> elements = {
      "C:", "c:", "D:", "HKEY_USERS", "hkey_users", "a",  "A",
      "b",  "B",  "",   "\xC3\xA9",   "\xC3\x89",   "Ab", "aB"};
  const std::vector<int32_t> kinds = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 17, 18, 0};
  for (uint32_t seed = 1; seed <= 60; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    auto pick = [&](size_t n) { return static_cast<size_t>(rng() % n); };
    settings::Settings settings;
    if (seed % 3 == 0) settings.ExcludedFolders.Add("C:\\a");
    if (seed % 4 == 0) settings.IgnoredKeys.Add("HKEY_USERS\\B");
    if (seed % 5 == 0) settings.IgnoredFiles.Add("D:\\b\\A");
    // Both sort names by the same rule: the system's case-insensitive one.
    ChangeTree indexed(settings, text::CompareNoCase);
    LiteralTree literal(settings);

    for (int step = 0; step < 400; ++step) {
      const size_t action = pick(20);
      if (action == 0 || action == 1) {
        // Sort a random node, the same one in both trees.
        const std::vector<NodeId> a = PreOrder(indexed);
        const std::vector<int> b = literal.PreOrder();
        ASSERT_EQ(a.size(), b.size());
        const size_t k = pick(a.size());
        indexed.InitNode(a[k]);
        literal.InitNode(b[k]);
      } else if (action == 2) {
        const std::vector<NodeId> a = PreOrder(indexed);
        const std::vector<int> b = literal.PreOrder();
        ASSERT_EQ(a.size(), b.size());
        const size_t k = pick(a.size());
        const int32_t kind = indexed.Data(a[k]).Kind;
        const bool fixed_top = kind == nkMyComputer || kind == nkFileSystem || kind == nkRegistry;
        ASSERT_EQ(indexed.RemoveBranch(a[k]), !fixed_top);
        if (!fixed_top) literal.Remove(b[k]);
      } else {
        std::string path;
        const size_t depth = pick(5);
        for (size_t i = 0; i < depth; ++i) {
          if (i > 0) path += '\\';
          path += elements[pick(elements.size())];
        }
        if (pick(4) == 0) path += '\\';
        const std::string name = elements[pick(elements.size())];
        const std::string path_field = "field" + std::to_string(pick(3));
        TNodeData record;
        record.Kind = kinds[pick(kinds.size())];
        record.RootKey = static_cast<uint32_t>(pick(3));
        record.Path = path_field;
        literal.AddToTree(path, name, record);
        indexed.AddToTree(path, name, record);
      }
      if (step % 50 == 49) {
        ASSERT_EQ(Dump(indexed), Dump(literal)) << "after step " << step;
      }
    }
    ASSERT_EQ(Dump(indexed), Dump(literal));
  }
}

}  // namespace
}  // namespace cvn::changes

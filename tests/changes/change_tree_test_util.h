// Helpers for tests that build and inspect a changes tree.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "changes/change_tree.h"

namespace cvn::changes::test {

inline TNodeData Record(int32_t kind, uint32_t root_key = 0) {
  TNodeData record;
  record.Kind = kind;
  record.RootKey = root_key;
  return record;
}

inline NodeId Add(ChangeTree& tree, std::string_view path, std::string_view name, int32_t kind,
                  uint32_t root_key = 0) {
  TNodeData record = Record(kind, root_key);
  tree.AddToTree(path, name, record);
  return tree.LastInserted();
}

// The first child of `parent` named exactly `name`; kNoNode when none.
inline NodeId Child(const ChangeTree& tree, NodeId parent, std::string_view name) {
  for (NodeId c = tree.FirstChild(parent); c != kNoNode; c = tree.NextSibling(c))
    if (tree.Data(c).Name == name) return c;
  return kNoNode;
}

// Follows exact names down from `from`.
inline NodeId At(const ChangeTree& tree, NodeId from,
                 std::initializer_list<std::string_view> names) {
  NodeId n = from;
  for (std::string_view name : names) {
    if (n == kNoNode) return kNoNode;
    n = Child(tree, n, name);
  }
  return n;
}

// "name/kind" for each child, in order.
inline std::vector<std::string> ChildList(const ChangeTree& tree, NodeId parent) {
  std::vector<std::string> out;
  for (NodeId c = tree.FirstChild(parent); c != kNoNode; c = tree.NextSibling(c))
    out.push_back(tree.Data(c).Name + "/" + std::to_string(tree.Data(c).Kind));
  return out;
}

}  // namespace cvn::changes::test

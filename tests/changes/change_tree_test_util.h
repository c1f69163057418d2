// Helpers for tests that build and inspect a changes tree.
#pragma once

#include <ranges>
#include <string>
#include <string_view>
#include <vector>

#include "changes/change_tree.h"
#include "tests/support/bytes.h"

namespace cvn::changes::test {

inline constexpr uint32_t kHkcu = 0x80000001, kHklm = 0x80000002;

// A change record; empty data gives no buffer.
inline ChangeRecord Record(NodeKind kind, uint32_t root_key = 0, uint32_t type = 0,
                           std::string_view before = {}, std::string_view after = {},
                           std::string_view path = {}) {
  ChangeRecord r;
  r.kind = kind;
  r.root_key = root_key;
  r.value_type = type;
  r.path = path;
  r.before = CopyBuffer(cvn::test::Bytes(before));
  r.before_size = static_cast<int32_t>(before.size());
  r.after = CopyBuffer(cvn::test::Bytes(after));
  r.after_size = static_cast<int32_t>(after.size());
  return r;
}

struct Insert {
  std::string_view path, name;
  NodeKind kind;
  bool box = true;
};

// The parts of `text` between the separators.
inline std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> out;
  for (const auto part : std::views::split(text, separator))
    out.emplace_back(part.begin(), part.end());
  return out;
}

// Changes written "path|name|kind" with ';' between them; a kind followed by
// '-' is one inserted without a check box.
inline std::vector<Insert> Inserts(std::string_view list) {
  std::vector<Insert> out;
  for (std::string_view item : Split(list, ';')) {
    const std::vector<std::string_view> f = Split(item, '|');
    out.push_back(
        {f[0], f[1], static_cast<NodeKind>(std::stoi(std::string(f[2]))), !f[2].ends_with('-')});
  }
  return out;
}

// Inserts a change; the node made, or kNoNode when it was ignored.
inline NodeId Add(ChangeTree& tree, std::string_view path, std::string_view name, NodeKind kind,
                  uint32_t root_key = 0, uint32_t type = 0, std::string_view before = {},
                  std::string_view after = {}, std::string_view record_path = {}) {
  ChangeRecord r = Record(kind, root_key, type, before, after, record_path);
  tree.AddToTree(path, name, r);
  return tree.LastInserted();
}

// The node at a backslash path of exact names below `from`; kNoNode when none.
inline NodeId At(const ChangeTree& tree, NodeId n, std::string_view path) {
  for (std::string_view name : Split(path, '\\')) {
    if (n == kNoNode) return n;
    n = tree.FirstChild(n);
    while (n != kNoNode && tree.Data(n).name != name) n = tree.NextSibling(n);
  }
  return n;
}

// The subtree below `node`: "name/kind" for each child, its children in braces.
inline std::string Shape(const ChangeTree& tree, NodeId node) {
  std::string s;
  for (NodeId c = tree.FirstChild(node); c != kNoNode; c = tree.NextSibling(c)) {
    if (!s.empty()) s += ',';
    s += tree.Data(c).name + "/" + std::to_string(static_cast<int>(tree.Data(c).kind));
    if (tree.FirstChild(c) != kNoNode) s += "{" + Shape(tree, c) + "}";
  }
  return s;
}

}  // namespace cvn::changes::test

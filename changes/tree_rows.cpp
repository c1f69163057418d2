#include "changes/tree_rows.h"

#include <algorithm>
#include <string>

#include "changes/changes_view.h"
#include "platform/text.h"

namespace cvn::changes {

void TreeRows::Reset() {
  rows_.clear();
  expanded_.assign(expanded_.size(), 0);
  if (tree_.Top() == kNoNode) return;
  for (NodeId fixed : {tree_.Top(), tree_.FileSystemRoot(), tree_.RegistryRoot()}) {
    tree_.InitNode(fixed);
    SetExpanded(fixed, true);
  }
  rows_.push_back(tree_.Top());
  AppendVisibleBelow(tree_.Top(), rows_);
}

size_t TreeRows::RowOf(NodeId node) const {
  const auto it = std::find(rows_.begin(), rows_.end(), node);
  return it == rows_.end() ? kNoRow : static_cast<size_t>(it - rows_.begin());
}

void TreeRows::SetExpanded(NodeId node, bool expanded) {
  if (node >= expanded_.size()) {
    if (!expanded) return;
    expanded_.resize(node + 1);
  }
  expanded_[node] = expanded ? 1 : 0;
}

void TreeRows::AppendVisibleBelow(NodeId node, std::vector<NodeId>& out) {
  if (!IsExpanded(node)) return;
  // Depth first without recursion: a path can be as deep as the registry.
  std::vector<NodeId> stack = {tree_.FirstChild(node)};
  while (!stack.empty()) {
    const NodeId n = stack.back();
    if (n == kNoNode) {
      stack.pop_back();
      continue;
    }
    out.push_back(n);
    stack.back() = tree_.NextSibling(n);
    if (IsExpanded(n) && HasChildren(n)) {
      tree_.InitNode(n);
      stack.push_back(tree_.FirstChild(n));
    }
  }
}

size_t TreeRows::VisibleBelowCount(size_t row) const {
  const int level = tree_.Level(rows_[row]);
  size_t end = row + 1;
  while (end < rows_.size() && tree_.Level(rows_[end]) > level) ++end;
  return end - row - 1;
}

void TreeRows::Expand(size_t row) {
  const NodeId node = rows_[row];
  if (IsExpanded(node) || !HasChildren(node)) return;
  tree_.InitNode(node);
  SetExpanded(node, true);
  std::vector<NodeId> below;
  AppendVisibleBelow(node, below);
  rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(row) + 1, below.begin(), below.end());
}

void TreeRows::Collapse(size_t row) {
  const NodeId node = rows_[row];
  if (!IsExpanded(node)) return;
  const size_t count = VisibleBelowCount(row);
  const auto first = rows_.begin() + static_cast<std::ptrdiff_t>(row) + 1;
  rows_.erase(first, first + static_cast<std::ptrdiff_t>(count));
  SetExpanded(node, false);
}

void TreeRows::Toggle(size_t row) {
  if (IsExpanded(rows_[row])) {
    Collapse(row);
  } else {
    Expand(row);
  }
}

void TreeRows::ExpandBranch(size_t row) {
  const NodeId node = rows_[row];
  Collapse(row);
  for (NodeId n = node; n != kNoNode; n = tree_.NextInSubtree(n, node)) {
    tree_.InitNode(n);
    if (HasChildren(n)) SetExpanded(n, true);
  }
  std::vector<NodeId> below;
  AppendVisibleBelow(node, below);
  rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(row) + 1, below.begin(), below.end());
}

void TreeRows::ExpandAll() {
  if (tree_.Top() == kNoNode) return;
  rows_.clear();
  rows_.push_back(tree_.Top());
  ExpandBranch(0);
}

void TreeRows::CollapseAll() {
  expanded_.assign(expanded_.size(), 0);
  Reset();
}

bool TreeRows::RemoveBranch(size_t row) {
  const NodeId node = rows_[row];
  if (node == tree_.Top() || node == tree_.FileSystemRoot() || node == tree_.RegistryRoot())
    return false;
  const size_t count = VisibleBelowCount(row);
  // Removed ids are handed out again; they must come back collapsed.
  for (NodeId n = node; n != kNoNode; n = tree_.NextInSubtree(n, node)) SetExpanded(n, false);
  const auto first = rows_.begin() + static_cast<std::ptrdiff_t>(row);
  rows_.erase(first, first + static_cast<std::ptrdiff_t>(count) + 1);
  return tree_.RemoveBranch(node);
}

NodeId TreeRows::NextInOrder(NodeId node) {
  tree_.InitNode(node);
  if (HasChildren(node)) return tree_.FirstChild(node);
  for (; node != tree_.Top(); node = tree_.Parent(node)) {
    if (tree_.NextSibling(node) != kNoNode) return tree_.NextSibling(node);
  }
  return kNoNode;
}

bool TreeRows::Matches(NodeId node, std::string_view upper_needle, bool hex) const {
  const ChangeRecord& data = tree_.Data(node);
  for (ChangeColumn column : {ChangeColumn::kName, ChangeColumn::kBefore, ChangeColumn::kAfter}) {
    const std::string cell = CellText(data, column, hex);
    if (!cell.empty() && text::ToUpper(cell).find(upper_needle) != std::string::npos) return true;
  }
  return false;
}

void TreeRows::Reveal(NodeId node) {
  std::vector<NodeId> ancestors;
  for (NodeId p = tree_.Parent(node); p != kNoNode; p = tree_.Parent(p)) ancestors.push_back(p);
  for (auto it = ancestors.rbegin(); it != ancestors.rend(); ++it) {
    if (!IsExpanded(*it)) Expand(RowOf(*it));
  }
}

size_t TreeRows::Find(std::string_view needle, NodeId from, bool forward, bool hex) {
  if (needle.empty() || tree_.Top() == kNoNode) return kNoRow;
  const std::string upper = text::ToUpper(needle);
  // One walk of the whole order: the first match after `from`, else the
  // first one before it (wrapping around); going back, the last match
  // before `from`, else the last one after it.
  NodeId first = kNoNode, before = kNoNode, after = kNoNode, last = kNoNode;
  bool past_from = from == kNoNode;
  for (NodeId n = tree_.Top(); n != kNoNode; n = NextInOrder(n)) {
    if (n == from) {
      past_from = true;
      continue;
    }
    if (!Matches(n, upper, hex)) continue;
    if (first == kNoNode) first = n;
    last = n;
    if (past_from && after == kNoNode) after = n;
    if (!past_from) before = n;
    if (forward && after != kNoNode) break;
  }
  const NodeId found =
      forward ? (after != kNoNode ? after : first) : (before != kNoNode ? before : last);
  if (found == kNoNode) return kNoRow;
  Reveal(found);
  return RowOf(found);
}

}  // namespace cvn::changes

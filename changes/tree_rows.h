// The rows a view of the changes tree shows: every node whose ancestors are
// all expanded, in the order the tree shows them. A list control in virtual
// mode asks for rows by number; this keeps them in one array, so a page of a
// million-node tree is drawn without walking it.
//
// The view adds the array (one id per visible row) and one byte per node for
// its expanded state to the tree. Check states and the tree's structure stay
// in the tree; selection is the caller's (a node id, which survives expanding
// and collapsing around it).
//
// Threads: the main thread, while no worker fills the tree.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "changes/change_tree.h"

namespace cvn::changes {

class TreeRows {
 public:
  static constexpr size_t kNoRow = static_cast<size_t>(-1);

  explicit TreeRows(ChangeTree& tree) : tree_(tree) {}

  // Starts over from the tree as it is now (filled by a comparison or a
  // load): the top and both branch roots expanded, nothing else.
  void Reset();
  // No rows; the tree is not read until the next Reset.
  void Clear() { rows_.clear(); }

  size_t Count() const { return rows_.size(); }
  NodeId At(size_t row) const { return rows_[row]; }
  // The row of a visible node; kNoRow when it is hidden or gone.
  size_t RowOf(NodeId node) const;

  // The memory the rows and the expanded states hold, in bytes.
  size_t MemoryBytes() const { return rows_.capacity() * sizeof(NodeId) + expanded_.capacity(); }

  bool IsExpanded(NodeId node) const { return node < expanded_.size() && expanded_[node]; }
  bool HasChildren(NodeId node) const { return tree_.FirstChild(node) != kNoNode; }

  // Each acts on the node shown at `row` and keeps the rows above it.
  void Expand(size_t row);
  void Collapse(size_t row);
  void Toggle(size_t row);
  // The node and everything below it expanded (the * key).
  void ExpandBranch(size_t row);

  // Every node expanded.
  void ExpandAll();
  // Every node collapsed but the top and both branch roots.
  void CollapseAll();

  // Deletes the node at `row` with its subtree from the tree and the rows;
  // false (nothing changes) for the top and the branch roots.
  bool RemoveBranch(size_t row);

  // The first node after `from` (or before it, going back) in the order the
  // tree shows them when fully expanded, wrapping around once, whose name or
  // cell texts contain `needle` without regard to case; its ancestors are
  // expanded and its row returned. `from` may be kNoNode: the search starts
  // at the top. kNoRow when no node matches.
  size_t Find(std::string_view needle, NodeId from, bool forward, bool hex);

 private:
  void SetExpanded(NodeId node, bool expanded);
  // Appends the visible nodes below `node` to `out`, in order.
  void AppendVisibleBelow(NodeId node, std::vector<NodeId>& out);
  // The number of rows below `row` that belong to its node's subtree.
  size_t VisibleBelowCount(size_t row) const;
  // The node after (or before) `node` in the fully expanded order; children
  // are sorted on the way, as before they are shown.
  NodeId NextInOrder(NodeId node);
  bool Matches(NodeId node, std::string_view upper_needle, bool hex) const;
  // Expands every collapsed ancestor of `node`.
  void Reveal(NodeId node);

  ChangeTree& tree_;
  std::vector<NodeId> rows_;
  std::vector<uint8_t> expanded_;  // by node id
};

}  // namespace cvn::changes

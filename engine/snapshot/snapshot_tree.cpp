#include "engine/snapshot/snapshot_tree.h"

#include <utility>
#include <vector>

namespace cvn::snapshot {

SnapshotTree::SnapshotTree(SnapshotTree&& other) noexcept
    : arena_(std::move(other.arena_)), root_(std::exchange(other.root_, nullptr)) {}

SnapshotTree& SnapshotTree::operator=(SnapshotTree&& other) noexcept {
  if (this != &other) {
    arena_ = std::move(other.arena_);
    root_ = std::exchange(other.root_, nullptr);
  }
  return *this;
}

TNode* SnapshotTree::NewNode(std::string_view name) {
  TNode* node = arena_.New<TNode>();
  node->Name = arena_.CopyText(name);
  return node;
}

TValori* SnapshotTree::NewValue(std::string_view name, uint32_t type,
                                std::span<const uint8_t> data) {
  TValori* value = arena_.New<TValori>();
  value->Name = arena_.CopyText(name);
  value->ValueType = type;
  value->Size = static_cast<uint32_t>(data.size());
  value->Data = arena_.CopyBytes(data);
  return value;
}

void SnapshotTree::AddValueFirst(TNode& node, TValori& value) {
  value.Next = node.Values;
  node.Values = &value;
}

void SnapshotTree::AddChildFirst(TNode& parent, TNode& child) {
  child.Next = parent.Child;
  parent.Child = &child;
}

void SnapshotTree::Free() {
  arena_.Release();
  root_ = nullptr;
}

TreeCounts CountTree(const TNode* root) {
  TreeCounts counts;
  // An explicit stack: a deep folder tree must not exhaust the thread's stack.
  std::vector<const TNode*> pending;
  if (root != nullptr) pending.push_back(root);
  while (!pending.empty()) {
    const TNode* node = pending.back();
    pending.pop_back();
    ++counts.nodes;
    for (const TValori* v = node->Values; v != nullptr; v = v->Next) ++counts.values;
    if (node->Next != nullptr) pending.push_back(node->Next);
    if (node->Child != nullptr) pending.push_back(node->Child);
  }
  return counts;
}

}  // namespace cvn::snapshot

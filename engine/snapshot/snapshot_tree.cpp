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

SnapshotNode* SnapshotTree::NewNode(std::string_view name) {
  SnapshotNode* node = arena_.New<SnapshotNode>();
  node->name = arena_.CopyText(name);
  return node;
}

SnapshotValue* SnapshotTree::NewValue(std::string_view name, uint32_t type,
                                      std::span<const uint8_t> data) {
  SnapshotValue* value = arena_.New<SnapshotValue>();
  value->name = arena_.CopyText(name);
  value->value_type = type;
  value->size = static_cast<uint32_t>(data.size());
  value->data = arena_.CopyBytes(data);
  return value;
}

void SnapshotTree::AddValueFirst(SnapshotNode& node, SnapshotValue& value) {
  value.next = node.values;
  node.values = &value;
}

void SnapshotTree::AddChildFirst(SnapshotNode& parent, SnapshotNode& child) {
  child.next = parent.child;
  parent.child = &child;
}

void SnapshotTree::Free() {
  arena_.Release();
  root_ = nullptr;
}

TreeCounts CountTree(const SnapshotNode* root) {
  TreeCounts counts;
  // An explicit stack: a deep folder tree must not exhaust the thread's stack.
  std::vector<const SnapshotNode*> pending;
  if (root != nullptr) pending.push_back(root);
  while (!pending.empty()) {
    const SnapshotNode* node = pending.back();
    pending.pop_back();
    ++counts.nodes;
    for (const SnapshotValue* v = node->values; v != nullptr; v = v->next) ++counts.values;
    if (node->next != nullptr) pending.push_back(node->next);
    if (node->child != nullptr) pending.push_back(node->child);
  }
  return counts;
}

}  // namespace cvn::snapshot

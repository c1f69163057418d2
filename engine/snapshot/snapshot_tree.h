// The snapshot tree: the recorded state of one registry hive or of the file
// system, as the comparisons walk it.
//
// A SnapshotNode is a registry key or a folder; a SnapshotValue is a registry value or a
// file. A registry tree's root is the hive root (empty name): its Values are
// the root key's values and its Child list the top-level keys. A file-system
// tree's root is the first drive met ("C:"), further drives are its Next
// siblings, and a folder's Values are the files directly inside it. Sibling
// order carries no meaning: consumers find entries by name.
//
// SnapshotTree owns every node, entry, name and data buffer of one tree and
// releases them all at once when it is freed or destroyed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "engine/snapshot/arena.h"

namespace cvn::snapshot {

struct SnapshotValue {
  std::string_view name;          // value name ("" for a key's default value) or file name
  const uint8_t* data = nullptr;  // `size` bytes; null when size is 0
  uint32_t value_type = 0;        // registry value type; 3 for files
  uint32_t size = 0;
  SnapshotValue* next = nullptr;  // next entry of the same node

  std::span<const uint8_t> Bytes() const { return {data, size}; }
};

struct SnapshotNode {
  std::string_view name;
  SnapshotValue* values = nullptr;  // first value or file
  SnapshotNode* child = nullptr;    // first child key or folder
  SnapshotNode* next = nullptr;     // next sibling
};

class SnapshotTree {
 public:
  SnapshotTree() = default;
  SnapshotTree(SnapshotTree&& other) noexcept;
  SnapshotTree& operator=(SnapshotTree&& other) noexcept;
  SnapshotTree(const SnapshotTree&) = delete;
  SnapshotTree& operator=(const SnapshotTree&) = delete;
  ~SnapshotTree() = default;

  // Null for a tree without any node.
  SnapshotNode* Root() const { return root_; }
  void SetRoot(SnapshotNode* root) { root_ = root; }

  // A node or entry owned by this tree, not yet linked anywhere.
  SnapshotNode* NewNode(std::string_view name);
  SnapshotValue* NewValue(std::string_view name, uint32_t type, std::span<const uint8_t> data);

  // Links at the head of a list, as loading and scanning do.
  static void AddValueFirst(SnapshotNode& node, SnapshotValue& value);
  static void AddChildFirst(SnapshotNode& parent, SnapshotNode& child);

  // Frees every node, entry, name and buffer; the tree is empty afterwards.
  void Free();
  // Memory the tree holds, for measurements.
  size_t BytesReserved() const { return arena_.BytesReserved(); }

 private:
  Arena arena_;
  SnapshotNode* root_ = nullptr;
};

// Number of nodes and of entries of a tree (all siblings of the root included).
struct TreeCounts {
  size_t nodes = 0;
  size_t values = 0;
};
TreeCounts CountTree(const SnapshotNode* root);

}  // namespace cvn::snapshot

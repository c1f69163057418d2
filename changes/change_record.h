// The record of every node of the changes tree, and the node kinds.
//
// The same kind codes are the record kinds of the changes archive, so their
// values never change.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace cvn::changes {

enum class NodeKind : int32_t {
  kNone = 0,
  // Registry changes.
  kKeyAdded = 1,
  kKeyDeleted = 2,
  kValueAdded = 3,
  kValueChanged = 4,
  kValueDeleted = 5,
  kCounterIncremented = 6,  // a SharedDLLs counter created or raised
  // File-system changes.
  kFolderAdded = 7,
  kFolderDeleted = 8,
  kFileAdded = 9,
  kFileChanged = 10,
  kFileDeleted = 11,
  kFileMovedFrom = 12,
  kFileMovedTo = 13,
  // Structure.
  kMyComputer = 14,
  kFileSystem = 15,
  kRegistry = 16,
  kDrive = 17,
  kPathNode = 18,
};

inline bool IsRegistryChange(NodeKind kind) {
  return kind >= NodeKind::kKeyAdded && kind <= NodeKind::kCounterIncremented;
}
inline bool IsFileSystemChange(NodeKind kind) {
  return kind >= NodeKind::kFolderAdded && kind <= NodeKind::kFileMovedTo;
}
inline bool IsChangeKind(NodeKind kind) {
  return kind >= NodeKind::kKeyAdded && kind <= NodeKind::kFileMovedTo;
}
// Kinds under which AddToTree may place further nodes.
inline bool IsContainerKind(NodeKind kind) {
  return kind == NodeKind::kKeyAdded || kind == NodeKind::kKeyDeleted ||
         kind == NodeKind::kFolderAdded || kind == NodeKind::kFolderDeleted ||
         kind == NodeKind::kDrive || kind == NodeKind::kPathNode;
}

// An owned data buffer: the raw value data of a registry change, or the
// zero-terminated file info text of a file change.
using Buffer = std::unique_ptr<uint8_t[]>;

// A new buffer holding a copy of `bytes`; null for no bytes.
Buffer CopyBuffer(std::span<const uint8_t> bytes);
// A new buffer holding `text` and a terminating zero.
Buffer TextBuffer(std::string_view text);
// The text of a buffer up to its first zero byte, never reading past `size`
// bytes; empty for a null buffer.
std::string_view ZeroTerminatedText(const uint8_t* buffer, int32_t size);

struct ChangeRecord {
  std::string name;  // path element, changed item or caption; "" for a default value
  Buffer before;     // state before the installation, or null
  Buffer after;      // state after the installation, or null
  int32_t before_size = 0;
  int32_t after_size = 0;
  uint32_t value_type = 0;  // registry value type of a value change; 0 otherwise
  uint32_t root_key = 0;    // root key handle in the registry branch; 0 in the file system
  NodeKind kind = NodeKind::kNone;
  // Containing path of a change (see AddToTree). Inside the tree it points
  // into the tree's own store of paths and lives as long as the tree's content.
  std::string_view path;

  std::span<const uint8_t> BeforeBytes() const {
    return {before.get(), before ? Size(before_size) : 0};
  }
  std::span<const uint8_t> AfterBytes() const {
    return {after.get(), after ? Size(after_size) : 0};
  }

 private:
  static size_t Size(int32_t size) { return size > 0 ? static_cast<size_t>(size) : 0; }
};

}  // namespace cvn::changes

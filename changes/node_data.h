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

enum NodeKind : int32_t {
  nkNone = 0,
  // Registry changes.
  nkKeyAdded = 1,
  nkKeyDeleted = 2,
  nkValueAdded = 3,
  nkValueChanged = 4,
  nkValueDeleted = 5,
  nkCounterIncremented = 6,  // a SharedDLLs counter created or raised
  // File-system changes.
  nkFolderAdded = 7,
  nkFolderDeleted = 8,
  nkFileAdded = 9,
  nkFileChanged = 10,
  nkFileDeleted = 11,
  nkFileMovedFrom = 12,
  nkFileMovedTo = 13,
  // Structure.
  nkMyComputer = 14,
  nkFileSystem = 15,
  nkRegistry = 16,
  nkDrive = 17,
  nkPathNode = 18,
};

inline bool IsRegistryChange(int32_t kind) {
  return kind >= nkKeyAdded && kind <= nkCounterIncremented;
}
inline bool IsFileSystemChange(int32_t kind) {
  return kind >= nkFolderAdded && kind <= nkFileMovedTo;
}
inline bool IsChangeKind(int32_t kind) {
  return kind >= nkKeyAdded && kind <= nkFileMovedTo;
}
// Kinds under which AddToTree may place further nodes.
inline bool IsContainerKind(int32_t kind) {
  return kind == nkKeyAdded || kind == nkKeyDeleted || kind == nkFolderAdded ||
         kind == nkFolderDeleted || kind == nkDrive || kind == nkPathNode;
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

struct TNodeData {
  std::string Name;  // path element, changed item or caption; "" for a default value
  Buffer Before;     // state before the installation, or null
  Buffer After;      // state after the installation, or null
  int32_t BeforeSize = 0;
  int32_t AfterSize = 0;
  uint32_t ValueType = 0;  // registry value type of a value change; 0 otherwise
  uint32_t RootKey = 0;    // root key handle in the registry branch; 0 in the file system
  int32_t Kind = nkNone;
  // Containing path of a change (see AddToTree). Inside the tree it points
  // into the tree's own store of paths and lives as long as the tree's content.
  std::string_view Path;

  std::span<const uint8_t> BeforeBytes() const {
    return {Before.get(), Before ? Size(BeforeSize) : 0};
  }
  std::span<const uint8_t> AfterBytes() const { return {After.get(), After ? Size(AfterSize) : 0}; }

 private:
  static size_t Size(int32_t size) { return size > 0 ? static_cast<size_t>(size) : 0; }
};

}  // namespace cvn::changes

// Helpers shared by the snapshot engine's tests.
#pragma once

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "engine/snapshot/snapshot_store.h"
#include "engine/snapshot/snapshot_tree.h"
#include "tests/support/bytes.h"
#include "tests/support/stop_after.h"

namespace cvn::snapshot::test {

using cvn::test::StopAfter;

// Expected snapshot bytes, one record a row: the header (flags, path length,
// value), the path text, then the name unless 0x100 is set and the data with
// its size unless 0x1000 is set.
struct Rec {
  uint32_t flags, length, value;
  std::string_view text = {}, name = {};
  std::vector<uint8_t> data = {};
};
inline std::vector<uint8_t> Records(std::initializer_list<Rec> records) {
  std::vector<uint8_t> out;
  const auto u32 = [&](size_t v) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(v >> shift));
  };
  const auto sized = [&](const auto& bytes) {
    u32(bytes.size());
    out.insert(out.end(), bytes.begin(), bytes.end());
  };
  for (const Rec& r : records) {
    u32(r.flags);
    u32(r.length);
    u32(r.value);
    out.insert(out.end(), r.text.begin(), r.text.end());
    if (!(r.flags & 0x100)) sized(r.name);
    if (!(r.flags & 0x1000)) sized(r.data);
  }
  return out;
}

// A child node or a value by exact name; null when absent.
template <class T>
const T* Named(const T* head, std::string_view name) {
  for (; head != nullptr; head = head->next)
    if (head->name == name) return head;
  return nullptr;
}
inline const SnapshotNode* ChildNamed(const SnapshotNode* parent, std::string_view name) {
  return parent ? Named(parent->child, name) : nullptr;
}
inline const SnapshotValue* ValueNamed(const SnapshotNode* node, std::string_view name) {
  return node ? Named(node->values, name) : nullptr;
}
// The names of a list, in list order.
template <class T>
std::vector<std::string> Names(const T* head) {
  std::vector<std::string> names;
  for (; head != nullptr; head = head->next) names.emplace_back(head->name);
  return names;
}
inline std::vector<std::string> ChildNames(const SnapshotNode* parent) {
  return Names(parent->child);
}
inline std::vector<uint8_t> DataOf(const SnapshotValue* v) {
  return {v->data, v->data + v->size};
}

// Every node and entry as sorted lines, "path" for a node and
// "path|name|type|data in hex" for an entry, so that trees built in
// different orders compare equal when they hold the same things.
inline void DumpNode(const SnapshotNode* node, const std::string& parent,
                     std::vector<std::string>& out) {
  for (; node != nullptr; node = node->next) {
    const std::string path = (parent.empty() ? "" : parent + "\\") + std::string(node->name);
    out.push_back(path);
    for (const SnapshotValue* v = node->values; v != nullptr; v = v->next)
      out.push_back(path + "|" + std::string(v->name) + "|" + std::to_string(v->value_type) + "|" +
                    cvn::test::Hex(DataOf(v)));
    DumpNode(node->child, path, out);
  }
}
inline std::vector<std::string> Dump(const SnapshotNode* root) {
  std::vector<std::string> out;
  DumpNode(root, "", out);
  std::sort(out.begin(), out.end());
  return out;
}

// One record for SnapshotStore::Add.
struct Add {
  std::string path, name;
  std::vector<uint8_t> data;
  uint32_t value = 0, flags = 0;
};
inline constexpr uint32_t kKey = flags::kContainer;

// The records of a store in order: the full path of a container, and
// "path|name" of an entry.
inline std::vector<std::string> RecordPaths(SnapshotStore& store) {
  std::vector<std::string> out;
  std::string path;
  SnapshotRecord r;
  while (store.ReadRecord(&r)) {
    if (r.flags & flags::kFullPath) path = std::string(r.path_text);
    if (r.flags & flags::kRelativePath) path += "\\" + std::string(r.path_text);
    out.push_back((r.flags & flags::kContainer) ? path : path + "|" + std::string(r.name));
  }
  return out;
}

}  // namespace cvn::snapshot::test

// Helpers shared by the snapshot engine's tests.
#pragma once

#include <cstdint>
#include <algorithm>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "engine/snapshot/scan_control.h"
#include "engine/snapshot/snapshot_tree.h"

namespace cvn::snapshot::test {

// Expected snapshot bytes, written field by field.
class Bytes {
 public:
  Bytes& U32(uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<uint8_t>(v >> (8 * i)));
    return *this;
  }
  Bytes& Text(std::string_view text) {
    bytes_.insert(bytes_.end(), text.begin(), text.end());
    return *this;
  }
  Bytes& Raw(std::initializer_list<uint8_t> raw) {
    bytes_.insert(bytes_.end(), raw.begin(), raw.end());
    return *this;
  }
  const std::vector<uint8_t>& vec() const { return bytes_; }
  operator const std::vector<uint8_t>&() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

// A control whose stop comes after a given number of pause points (never
// when `stop_after` is negative), and which counts the pause points.
class CountingControl : public ScanControl {
 public:
  explicit CountingControl(long stop_after = -1) : stop_after_(stop_after) {}
  bool Terminated() const override { return stopped(); }
  bool CancelRequested() const override { return stopped(); }
  void CheckPause() override { ++pauses_; }
  long pauses() const { return pauses_; }

 private:
  bool stopped() const { return stop_after_ >= 0 && pauses_ >= stop_after_; }
  long stop_after_;
  long pauses_ = 0;
};

// Finds a child node or a value by exact name; null when absent.
inline const TNode* ChildNamed(const TNode* parent, std::string_view name) {
  for (const TNode* n = parent ? parent->Child : nullptr; n != nullptr; n = n->Next)
    if (n->Name == name) return n;
  return nullptr;
}
inline const TValori* ValueNamed(const TNode* node, std::string_view name) {
  for (const TValori* v = node ? node->Values : nullptr; v != nullptr; v = v->Next)
    if (v->Name == name) return v;
  return nullptr;
}
// Names of a node's children and values, in list order.
inline std::vector<std::string> ChildNames(const TNode* parent) {
  std::vector<std::string> names;
  for (const TNode* n = parent->Child; n != nullptr; n = n->Next) names.emplace_back(n->Name);
  return names;
}
inline std::vector<std::string> ValueNames(const TNode* node) {
  std::vector<std::string> names;
  for (const TValori* v = node->Values; v != nullptr; v = v->Next) names.emplace_back(v->Name);
  return names;
}
inline std::vector<uint8_t> DataOf(const TValori* v) {
  return std::vector<uint8_t>(v->Data, v->Data + v->Size);
}

// Every node and entry of a tree as sorted lines, "path" for a node and
// "path|name|type|data in hex" for an entry, so that trees built in
// different orders compare equal when they hold the same things.
inline void DumpNode(const TNode* node, const std::string& parent, std::vector<std::string>& out) {
  for (; node != nullptr; node = node->Next) {
    const std::string path = parent.empty() ? std::string(node->Name)
                                            : parent + "\\" + std::string(node->Name);
    out.push_back(path);
    for (const TValori* v = node->Values; v != nullptr; v = v->Next) {
      static const char kHex[] = "0123456789abcdef";
      std::string line = path + "|" + std::string(v->Name) + "|" + std::to_string(v->ValueType) + "|";
      for (uint32_t i = 0; i < v->Size; ++i) {
        line += kHex[v->Data[i] >> 4];
        line += kHex[v->Data[i] & 15];
      }
      out.push_back(line);
    }
    DumpNode(node->Child, path, out);
  }
}
inline std::vector<std::string> Dump(const TNode* root) {
  std::vector<std::string> out;
  DumpNode(root, "", out);
  std::sort(out.begin(), out.end());
  return out;
}

}  // namespace cvn::snapshot::test

// Helpers for the comparison tests: building snapshot trees in a chosen
// order, and a sink that records every AddToTree call.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "changes/change_sink.h"
#include "engine/snapshot/scan_control.h"
#include "engine/snapshot/snapshot_tree.h"

namespace cvn::compare::test {

// Builds a snapshot tree, appending every node and entry at the end of its
// list so that lists keep the order of the calls.
class TreeBuilder {
 public:
  snapshot::TNode* Top(std::string_view name) { return Append(nullptr, name); }
  snapshot::TNode* Node(snapshot::TNode* parent, std::string_view name) {
    return Append(parent, name);
  }

  snapshot::TValori* Value(snapshot::TNode* node, std::string_view name, uint32_t type,
                           std::vector<uint8_t> data) {
    snapshot::TValori* value = tree_.NewValue(name, type, data);
    snapshot::TValori*& tail = value_tails_[node];
    (tail == nullptr ? node->Values : tail->Next) = value;
    tail = value;
    return value;
  }
  snapshot::TValori* Text(snapshot::TNode* node, std::string_view name, std::string_view text,
                          uint32_t type = 1) {
    std::vector<uint8_t> data(text.begin(), text.end());
    data.push_back(0);
    return Value(node, name, type, data);
  }
  snapshot::TValori* Dword(snapshot::TNode* node, std::string_view name, uint32_t number) {
    return Value(node, name, 4, LittleEndian(number));
  }
  // A file entry: DOS date-time and size.
  snapshot::TValori* File(snapshot::TNode* folder, std::string_view name, uint32_t dos_time,
                          uint32_t size) {
    std::vector<uint8_t> data = LittleEndian(dos_time);
    const std::vector<uint8_t> s = LittleEndian(size);
    data.insert(data.end(), s.begin(), s.end());
    return Value(folder, name, 3, data);
  }

  const snapshot::TNode* Root() const { return tree_.Root(); }
  snapshot::SnapshotTree& tree() { return tree_; }

  static std::vector<uint8_t> LittleEndian(uint32_t v) {
    return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
            static_cast<uint8_t>(v >> 24)};
  }

 private:
  snapshot::TNode* Append(snapshot::TNode* parent, std::string_view name) {
    snapshot::TNode* node = tree_.NewNode(name);
    snapshot::TNode*& tail = child_tails_[parent];
    if (tail != nullptr) {
      tail->Next = node;
    } else if (parent != nullptr) {
      parent->Child = node;
    } else {
      tree_.SetRoot(node);
    }
    tail = node;
    return node;
  }

  snapshot::SnapshotTree tree_;
  std::unordered_map<snapshot::TNode*, snapshot::TNode*> child_tails_;
  std::unordered_map<snapshot::TNode*, snapshot::TValori*> value_tails_;
};

// DOS date-time of a local time, date in the high half.
constexpr uint32_t Dos(int year, int month, int day, int hour, int minute, int second) {
  const uint32_t date = static_cast<uint32_t>((year - 1980) << 9 | month << 5 | day);
  const uint32_t time = static_cast<uint32_t>(hour << 11 | minute << 5 | second / 2);
  return date << 16 | time;
}

// One AddToTree call as the tree would see it.
struct Call {
  std::string path;
  std::string name;
  int32_t kind = 0;
  std::string path_field;
  uint32_t value_type = 0;
  uint32_t root_key = 0;
  bool has_before = false;
  bool has_after = false;
  std::vector<uint8_t> before;  // BeforeSize bytes when present
  std::vector<uint8_t> after;
  int32_t before_size = 0;
  int32_t after_size = 0;

  friend bool operator==(const Call&, const Call&) = default;
};

inline std::string Printable(const std::vector<uint8_t>& bytes) {
  std::string out;
  for (uint8_t b : bytes) {
    if (b >= 0x20 && b < 0x7F) {
      out += static_cast<char>(b);
    } else {
      static const char kHex[] = "0123456789ABCDEF";
      out += "\\x";
      out += kHex[b >> 4];
      out += kHex[b & 15];
    }
  }
  return out;
}

inline std::ostream& operator<<(std::ostream& os, const Call& c) {
  os << "{" << c.path << " | " << c.name << " | kind " << c.kind << " | Path " << c.path_field
     << " | type " << c.value_type << " | root " << c.root_key;
  if (c.has_before) os << " | before[" << c.before_size << "] " << Printable(c.before);
  if (c.has_after) os << " | after[" << c.after_size << "] " << Printable(c.after);
  return os << "}";
}

class RecordingSink : public changes::ChangeSink {
 public:
  void AddToTree(std::string_view path, std::string_view name, changes::TNodeData& tmpl) override {
    Call call;
    call.path = path;
    call.name = name;
    call.kind = tmpl.Kind;
    call.path_field = tmpl.Path;
    call.value_type = tmpl.ValueType;
    call.root_key = tmpl.RootKey;
    call.has_before = tmpl.Before != nullptr;
    call.has_after = tmpl.After != nullptr;
    call.before_size = tmpl.BeforeSize;
    call.after_size = tmpl.AfterSize;
    const auto before = tmpl.BeforeBytes();
    const auto after = tmpl.AfterBytes();
    call.before.assign(before.begin(), before.end());
    call.after.assign(after.begin(), after.end());
    tmpl.Before.reset();
    tmpl.After.reset();
    calls.push_back(std::move(call));
  }
  std::vector<Call> calls;
};

// Bytes of a text with its terminating zero, as file info buffers hold it.
inline std::vector<uint8_t> Z(std::string_view text) {
  std::vector<uint8_t> bytes(text.begin(), text.end());
  bytes.push_back(0);
  return bytes;
}

// A control whose stop comes after a given number of pause points.
class StopAfter : public snapshot::ScanControl {
 public:
  explicit StopAfter(long pauses) : limit_(pauses) {}
  bool Terminated() const override { return pauses_ >= limit_; }
  bool CancelRequested() const override { return pauses_ >= limit_; }
  void CheckPause() override { ++pauses_; }
  long pauses() const { return pauses_; }

 private:
  long limit_;
  long pauses_ = 0;
};

}  // namespace cvn::compare::test

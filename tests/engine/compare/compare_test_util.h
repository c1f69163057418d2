// Helpers for the comparison tests: snapshot trees built in a chosen order,
// and a sink that records every AddToTree call.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "changes/change_sink.h"
#include "engine/snapshot/snapshot_tree.h"
#include "tests/support/bytes.h"
#include "tests/support/stop_after.h"

namespace cvn::compare::test {

using cvn::test::DwordData;
using cvn::test::StopAfter;
using cvn::test::SzData;

// Appends every node and entry at the end of its list, so lists keep the
// order of the calls.
class TreeBuilder {
 public:
  snapshot::TNode* Node(snapshot::TNode* parent, std::string_view name) {
    snapshot::TNode* node = tree_.NewNode(name);
    snapshot::TNode*& tail = child_tails_[parent];
    if (tail != nullptr)
      tail->Next = node;
    else if (parent != nullptr)
      parent->Child = node;
    else
      tree_.SetRoot(node);
    return tail = node;
  }
  snapshot::TNode* Top(std::string_view name) { return Node(nullptr, name); }
  void Value(snapshot::TNode* node, std::string_view name, uint32_t type,
             const std::vector<uint8_t>& data) {
    snapshot::TValori* value = tree_.NewValue(name, type, data);
    snapshot::TValori*& tail = value_tails_[node];
    (tail == nullptr ? node->Values : tail->Next) = value;
    tail = value;
  }
  void Text(snapshot::TNode* node, std::string_view name, std::string_view text,
            uint32_t type = 1) {
    Value(node, name, type, SzData(text));
  }
  void Dword(snapshot::TNode* node, std::string_view name, uint32_t v) {
    Value(node, name, 4, DwordData(v));
  }
  // A file entry: DOS date-time, then size.
  void File(snapshot::TNode* folder, std::string_view name, uint32_t dos_time, uint32_t size) {
    std::vector<uint8_t> data = DwordData(dos_time), s = DwordData(size);
    data.insert(data.end(), s.begin(), s.end());
    Value(folder, name, 3, data);
  }
  const snapshot::TNode* Root() const { return tree_.Root(); }

 private:
  snapshot::SnapshotTree tree_;
  std::unordered_map<snapshot::TNode*, snapshot::TNode*> child_tails_;
  std::unordered_map<snapshot::TNode*, snapshot::TValori*> value_tails_;
};

// DOS date-time of a local time, date in the high half.
constexpr uint32_t Dos(int year, int month, int day, int hour, int minute, int second) {
  return static_cast<uint32_t>((year - 1980) << 9 | month << 5 | day) << 16 |
         static_cast<uint32_t>(hour << 11 | minute << 5 | second / 2);
}

// One AddToTree call as the tree would see it.
struct Call {
  std::string path, name;
  int32_t kind = 0;
  std::string path_field;
  uint32_t value_type = 0, root_key = 0;
  bool has_before = false, has_after = false;
  std::vector<uint8_t> before, after;
  int32_t before_size = 0, after_size = 0;
  friend bool operator==(const Call&, const Call&) = default;
};

inline std::ostream& operator<<(std::ostream& os, const Call& c) {
  os << "{" << c.path << " | " << c.name << " | kind " << c.kind << " | Path " << c.path_field
     << " | type " << c.value_type << " | root " << c.root_key;
  if (c.has_before) os << " | before[" << c.before_size << "] " << cvn::test::Hex(c.before);
  if (c.has_after) os << " | after[" << c.after_size << "] " << cvn::test::Hex(c.after);
  return os << "}";
}

class RecordingSink : public changes::ChangeSink {
 public:
  void AddToTree(std::string_view path, std::string_view name, changes::TNodeData& t) override {
    const auto before = t.BeforeBytes(), after = t.AfterBytes();
    calls.push_back(Call{std::string(path),
                         std::string(name),
                         t.Kind,
                         std::string(t.Path),
                         t.ValueType,
                         t.RootKey,
                         t.Before != nullptr,
                         t.After != nullptr,
                         {before.begin(), before.end()},
                         {after.begin(), after.end()},
                         t.BeforeSize,
                         t.AfterSize});
    t.Before.reset();
    t.After.reset();
  }
  std::vector<Call> calls;
};

}  // namespace cvn::compare::test

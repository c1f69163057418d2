// Helpers for the comparison tests: snapshot trees built in a chosen order,
// and a sink that records every AddToTree call.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <gtest/gtest.h>

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

// One AddToTree call as the tree sees it: "path|name|kind|Path|type|root|
// before|after", a side as "size:hex", or "-" when it has no buffer.
inline std::string Call(std::string_view path, std::string_view name, int32_t kind,
                        std::string_view field, uint32_t type, uint32_t root,
                        const std::vector<uint8_t>* before, const std::vector<uint8_t>* after) {
  const auto side = [](const std::vector<uint8_t>* d) {
    return d ? std::to_string(d->size()) + ":" + cvn::test::Hex(*d) : std::string("-");
  };
  return std::string(path) + "|" + std::string(name) + "|" + std::to_string(kind) + "|" +
         std::string(field) + "|" + std::to_string(type) + "|" + std::to_string(root) + "|" +
         side(before) + "|" + side(after);
}

class RecordingSink : public changes::ChangeSink {
 public:
  void AddToTree(std::string_view path, std::string_view name, changes::TNodeData& t) override {
    const auto b = t.BeforeBytes(), a = t.AfterBytes();
    const std::vector<uint8_t> before(b.begin(), b.end()), after(a.begin(), a.end());
    EXPECT_EQ(static_cast<int32_t>(before.size()), t.BeforeSize);
    EXPECT_EQ(static_cast<int32_t>(after.size()), t.AfterSize);
    calls.push_back(Call(path, name, t.Kind, t.Path, t.ValueType, t.RootKey,
                         t.Before ? &before : nullptr, t.After ? &after : nullptr));
    t.Before.reset();
    t.After.reset();
  }
  std::vector<std::string> calls;
};

}  // namespace cvn::compare::test

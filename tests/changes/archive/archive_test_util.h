// Helpers for the changes archive's tests: expected bytes, a fixed clock, a
// tree holding one change of every kind, and a dump of a tree's content.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "changes/change_tree.h"
#include "changes/chg_archive.h"
#include "engine/snapshot/scan_control.h"

namespace cvn::changes::test {

// Expected archive bytes, written field by field.
class Bytes {
 public:
  Bytes& U32(uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<uint8_t>(v >> (8 * i)));
    return *this;
  }
  Bytes& Str(std::string_view text) {
    U32(static_cast<uint32_t>(text.size()));
    return Raw(text);
  }
  Bytes& Raw(std::string_view raw) {
    bytes_.insert(bytes_.end(), raw.begin(), raw.end());
    return *this;
  }
  Bytes& Double(double d) {
    uint8_t b[8];
    std::memcpy(b, &d, 8);
    bytes_.insert(bytes_.end(), b, b + 8);
    return *this;
  }
  Bytes& Zeros(size_t n) {
    bytes_.insert(bytes_.end(), n, 0);
    return *this;
  }
  const std::vector<uint8_t>& vec() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

class FixedClock final : public Clock {
 public:
  explicit FixedClock(double now) : now_(now) {}
  double Now() const override { return now_; }
  void Set(double now) { now_ = now; }

 private:
  double now_;
};

// The header CreateHeader writes at `created`.
inline Bytes HeaderBytes(double created, uint32_t version = 200, double last_used = 0.0,
                         uint32_t uses = 0) {
  Bytes b;
  b.Raw(std::string_view("\x0A"
                         "C V N file",
                         11))
      .Zeros(1)
      .U32(version)
      .Double(created);
  b.Double(last_used).U32(uses).Zeros(20);
  return b;
}

inline std::string_view AsText(const std::vector<uint8_t>& bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// Adds a change with the given data.
inline void AddChange(ChangeTree& tree, std::string_view path, std::string_view name, int32_t kind,
                      uint32_t root_key, std::string_view before, std::string_view after,
                      uint32_t value_type = 0, std::string_view record_path = {}) {
  TNodeData record;
  record.Kind = kind;
  record.RootKey = root_key;
  record.ValueType = value_type;
  record.Path = record_path;
  auto bytes = [](std::string_view s) {
    return std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(s.data()), s.size());
  };
  if (!before.empty()) {
    record.Before = CopyBuffer(bytes(before));
    record.BeforeSize = static_cast<int32_t>(before.size());
  }
  if (!after.empty()) {
    record.After = CopyBuffer(bytes(after));
    record.AfterSize = static_cast<int32_t>(after.size());
  }
  tree.AddToTree(path, name, record);
}

inline constexpr uint32_t kHKCU = 0x80000001u;
inline constexpr uint32_t kHKLM = 0x80000002u;

// One change of every kind, as a comparison would insert them (holding
// only what an archive keeps, so that a round trip gives them back). Texts held
// with their terminating zero, as the tree keeps them.
inline void FillEveryKind(ChangeTree& tree) {
  using namespace std::string_view_literals;
  AddChange(tree, "HKEY_CURRENT_USER", "NewKey", nkKeyAdded, kHKCU, {}, {});
  AddChange(tree, "HKEY_CURRENT_USER\\NewKey", "", nkValueAdded, kHKCU, {}, "ab\0"sv, 1, "NewKey");
  AddChange(tree, "HKEY_CURRENT_USER\\NewKey", "Sub", nkKeyAdded, kHKCU, {}, {}, 0, "NewKey");
  AddChange(tree, "HKEY_CURRENT_USER\\Old\\Key", "Gone", nkKeyDeleted, kHKCU, {}, {}, 0,
            "Old\\Key");
  AddChange(tree, "HKEY_CURRENT_USER\\App", "Bin", nkValueChanged, kHKCU, "\x01\x02"sv,
            "\x03\x04\x05"sv, 3, "App");
  AddChange(tree, "HKEY_CURRENT_USER\\App", "Was", nkValueDeleted, kHKCU, "\x07\0\0\0"sv, {}, 4,
            "App");
  AddChange(tree, "HKEY_CURRENT_USER", "RootValue", nkValueAdded, kHKCU, {}, "\x09"sv, 3, "");
  AddChange(tree, "HKEY_LOCAL_MACHINE\\S\\SharedDLLs", "C:\\x.dll", nkCounterIncremented, kHKLM, {},
            "\x01\0\0\0"sv, 4, "S\\SharedDLLs");
  AddChange(tree, "HKEY_LOCAL_MACHINE\\S\\SharedDLLs", "C:\\y.dll", nkCounterIncremented, kHKLM, {},
            "3\0"sv, 1, "S\\SharedDLLs");
  AddChange(tree, "HKEY_LOCAL_MACHINE\\S\\SharedDLLs", "C:\\z.dll", nkCounterIncremented, kHKLM, {},
            {}, 3, "S\\SharedDLLs");
  AddChange(tree, "C:", "NewDir", nkFolderAdded, 0, {}, {}, 0, "C:");
  AddChange(tree, "C:\\NewDir", "a.txt", nkFileAdded, 0, {}, "10:00 01/02/24 5\0"sv, 0,
            "C:\\NewDir");
  AddChange(tree, "C:\\Data", "old.txt", nkFileDeleted, 0, "09:00 01/01/24 7\0"sv, {}, 0,
            "C:\\Data");
  AddChange(tree, "C:\\Data", "chg.txt", nkFileChanged, 0, "09:00 01/01/24 1\0"sv,
            "10:00 01/02/24 2\0"sv, 0, "C:\\Data");
  AddChange(tree, "C:\\Data", "OldSub", nkFolderDeleted, 0, {}, {}, 0, "C:\\Data");
  AddChange(tree, "C:\\Data", "m.bin", nkFileMovedFrom, 0, "08:00 01/01/24 9\0"sv, {}, 0,
            "C:\\Data");
  AddChange(tree, "D:\\Else", "m.bin", nkFileMovedTo, 0, {}, "08:00 01/01/24 9\0"sv, 0, "D:\\Else");
}

inline std::string Hex(std::span<const uint8_t> bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string s;
  for (uint8_t b : bytes) {
    s += kDigits[b >> 4];
    s += kDigits[b & 15];
  }
  return s;
}

// Every node below the top, a node before its children, with its level and
// every field a reader could get wrong.
inline std::vector<std::string> Dump(const ChangeTree& tree) {
  std::vector<std::string> out;
  const NodeId top = tree.Top();
  for (NodeId n = tree.NextInSubtree(top, top); n != kNoNode; n = tree.NextInSubtree(n, top)) {
    const TNodeData& d = tree.Data(n);
    out.push_back(std::to_string(tree.Level(n)) + "|" + d.Name + "|k" + std::to_string(d.Kind) +
                  "|r" + std::to_string(d.RootKey) + "|t" + std::to_string(d.ValueType) + "|p" +
                  std::string(d.Path) + "|b" + Hex(d.BeforeBytes()) + "/" +
                  std::to_string(d.BeforeSize) + "|a" + Hex(d.AfterBytes()) + "/" +
                  std::to_string(d.AfterSize) + (tree.HasCheckBox(n) ? "|box" : "") +
                  (tree.IsChecked(n) ? "|on" : ""));
  }
  return out;
}

// A control that stops after a given number of pause points.
class StopAfter : public snapshot::ScanControl {
 public:
  explicit StopAfter(long pauses) : left_(pauses) {}
  bool Terminated() const override { return left_ <= 0; }
  bool CancelRequested() const override { return Terminated(); }
  void CheckPause() override { --left_; }

 private:
  long left_;
};

}  // namespace cvn::changes::test

#include "engine/compare/compare_reg.h"

#include <algorithm>
#include <limits>

#include "changes/split_path.h"
#include "engine/compare/first_match_index.h"
#include "platform/text.h"

namespace cvn::compare {

using changes::TNodeData;
using snapshot::TNode;
using snapshot::TValori;

namespace {

bool SameValue(const TValori& a, const TValori& b) {
  return a.Size == b.Size && a.ValueType == b.ValueType &&
         std::equal(a.Data, a.Data + a.Size, b.Data);
}

std::string_view TextOf(const TValori& value) {
  const auto* begin = reinterpret_cast<const char*>(value.Data);
  const auto* end = begin + value.Size;
  return std::string_view(begin, std::find(begin, end, '\0') - begin);
}

// The first four bytes, little-endian; missing bytes read as zeros.
uint32_t DwordOf(const TValori& value) {
  uint32_t number = 0;
  for (uint32_t i = 0; i < 4 && i < value.Size; ++i) number |= uint32_t{value.Data[i]} << (8 * i);
  return number;
}

changes::Buffer DwordBuffer(uint32_t number) {
  const uint8_t bytes[4] = {static_cast<uint8_t>(number), static_cast<uint8_t>(number >> 8),
                            static_cast<uint8_t>(number >> 16), static_cast<uint8_t>(number >> 24)};
  return changes::CopyBuffer(bytes);
}

std::string KeyPathOf(std::string_view path, std::string_view name) {
  std::string key(path);
  if (!key.empty()) key += '\\';
  key += name;
  return key;
}

}  // namespace

int32_t CounterTextValue(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == text.size()) return 0;
  int64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return 0;
    magnitude = magnitude * 10 + (text[i] - '0');
    if (magnitude > int64_t{std::numeric_limits<int32_t>::max()} + 1) return 0;
  }
  const int64_t value = negative ? -magnitude : magnitude;
  if (value > std::numeric_limits<int32_t>::max()) return 0;
  return static_cast<int32_t>(value);
}

RegistryComparer::RegistryComparer(snapshot::ScanControl& thread, changes::ChangeSink& sink,
                                   platform::FileSystem& fs, platform::RootKey root)
    : thread_(thread),
      sink_(sink),
      fs_(fs),
      root_(static_cast<uint32_t>(root)),
      root_name_(platform::RootKeyName(root)) {}

void RegistryComparer::CompareHive(const TNode* before, const TNode* after) {
  CompareReg(after, before, "", false);
  CompareReg(before, after, "", true);
}

void RegistryComparer::CompareReg(const TNode* a, const TNode* b, std::string_view path,
                                  bool deleted) {
  const FirstMatchIndex<TNode> others(b);
  for (const TNode* n = a; n != nullptr && !thread_.CancelRequested(); n = n->Next) {
    const TNode* m = others.Find(n->Name);
    const std::string key = KeyPathOf(path, n->Name);
    const std::string key_path = root_name_ + '\\' + key;
    if (m == nullptr) {
      // The whole key is new (or gone), and everything below it; no
      // counter rule applies here.
      ReportKey(key, deleted);
      for (const TValori* v = n->Values; v != nullptr; v = v->Next) {
        ReportValue(deleted ? changes::nkValueDeleted : changes::nkValueAdded, key_path, key, *v);
        thread_.CheckPause();
      }
      CompareReg(n->Child, nullptr, key, deleted);
    } else {
      const bool counter_key = IsCounterKey(key);
      const FirstMatchIndex<TValori> other_values(m->Values);
      for (const TValori* v = n->Values; v != nullptr; v = v->Next) {
        const TValori* w = other_values.Find(v->Name);
        if (w == nullptr && deleted) {
          ReportValue(changes::nkValueDeleted, key_path, key, *v);
        } else if (w == nullptr) {
          const bool counter = counter_key &&
                               (v->ValueType == platform::regtype::kSz ||
                                v->ValueType == platform::regtype::kDword) &&
                               FileExists(v->Name);
          ReportValue(counter ? changes::nkCounterIncremented : changes::nkValueAdded, key_path,
                      key, *v);
        } else if (!deleted && !SameValue(*v, *w)) {
          ReportChangedValue(key_path, key, *v, *w, counter_key);
        }
        thread_.CheckPause();
      }
      CompareReg(n->Child, m->Child, key, deleted);
    }
    thread_.CheckPause();
  }
}

void RegistryComparer::ReportKey(std::string_view key, bool deleted) {
  const std::string full = root_name_ + '\\' + std::string(key);
  const changes::SplitPath where = changes::SplitLastPath(full);
  TNodeData record;
  record.Kind = deleted ? changes::nkKeyDeleted : changes::nkKeyAdded;
  record.RootKey = root_;
  record.Path = changes::SplitLastPath(key).container;
  sink_.AddToTree(where.container, where.name, record);
}

void RegistryComparer::ReportValue(int32_t kind, std::string_view key_path, std::string_view key,
                                   const TValori& value) {
  TNodeData record;
  record.Kind = kind;
  record.RootKey = root_;
  record.Path = key;
  record.ValueType = value.ValueType;
  const auto size = static_cast<int32_t>(value.Size);
  if (kind == changes::nkValueDeleted) {
    record.Before = changes::CopyBuffer(value.Bytes());
    record.BeforeSize = size;
  } else {
    record.After = changes::CopyBuffer(value.Bytes());
    record.AfterSize = size;
  }
  sink_.AddToTree(key_path, value.Name, record);
}

void RegistryComparer::ReportChangedValue(std::string_view key_path, std::string_view key,
                                          const TValori& after, const TValori& before,
                                          bool counter_key) {
  TNodeData record;
  record.Kind = changes::nkValueChanged;
  record.RootKey = root_;
  record.Path = key;
  record.ValueType = before.ValueType;
  record.Before = changes::CopyBuffer(before.Bytes());
  record.BeforeSize = static_cast<int32_t>(before.Size);
  record.After = changes::CopyBuffer(after.Bytes());
  record.AfterSize = static_cast<int32_t>(after.Size);

  // A counter records its increase; the type before decides how to read it.
  if (counter_key && FileExists(after.Name)) {
    uint32_t delta = 0;
    bool counted = true;
    if (before.ValueType == platform::regtype::kSz) {
      // Wrap-around as for the 32-bit counters: no overflow from extreme texts.
      delta = static_cast<uint32_t>(CounterTextValue(TextOf(after))) -
              static_cast<uint32_t>(CounterTextValue(TextOf(before)));
      record.ValueType = platform::regtype::kDword;
    } else if (before.ValueType == platform::regtype::kDword) {
      delta = DwordOf(after) - DwordOf(before);
    } else {
      counted = false;
    }
    if (counted) {
      record.Kind = changes::nkCounterIncremented;
      record.After = DwordBuffer(delta);
      record.AfterSize = 4;
    }
  }
  sink_.AddToTree(key_path, after.Name, record);
}

bool RegistryComparer::IsCounterKey(std::string_view key) const {
  return root_ == static_cast<uint32_t>(platform::RootKey::kLocalMachine) &&
         text::EqualsNoCase(key, kSharedDllsKey);
}

bool RegistryComparer::FileExists(std::string_view path) const {
  const auto attributes = fs_.GetAttributes(path);
  return attributes.has_value() && (*attributes & platform::attr::kDirectory) == 0;
}

}  // namespace cvn::compare

#include "engine/compare/compare_reg.h"

#include <algorithm>
#include <limits>

#include "changes/split_path.h"
#include "engine/compare/first_match_index.h"
#include "platform/text.h"

namespace cvn::compare {

using changes::ChangeRecord;
using snapshot::SnapshotNode;
using snapshot::SnapshotValue;

namespace {

bool SameValue(const SnapshotValue& a, const SnapshotValue& b) {
  return a.size == b.size && a.value_type == b.value_type &&
         std::equal(a.data, a.data + a.size, b.data);
}

std::string_view TextOf(const SnapshotValue& value) {
  const auto* begin = reinterpret_cast<const char*>(value.data);
  const auto* end = begin + value.size;
  return std::string_view(begin, std::find(begin, end, '\0') - begin);
}

// The first four bytes, little-endian; missing bytes read as zeros.
uint32_t DwordOf(const SnapshotValue& value) {
  uint32_t number = 0;
  for (uint32_t i = 0; i < 4 && i < value.size; ++i) number |= uint32_t{value.data[i]} << (8 * i);
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

RegistryComparer::RegistryComparer(threads::ScanControl& thread, changes::ChangeSink& sink,
                                   platform::FileSystem& fs, platform::RootKey root)
    : thread_(thread),
      sink_(sink),
      fs_(fs),
      root_(static_cast<uint32_t>(root)),
      root_name_(platform::RootKeyName(root)) {}

void RegistryComparer::CompareHive(const SnapshotNode* before, const SnapshotNode* after) {
  CompareReg(after, before, "", false);
  CompareReg(before, after, "", true);
}

void RegistryComparer::CompareReg(const SnapshotNode* a, const SnapshotNode* b,
                                  std::string_view path, bool deleted) {
  const FirstMatchIndex<SnapshotNode> others(b);
  for (const SnapshotNode* n = a; n != nullptr && !thread_.CancelRequested(); n = n->next) {
    const SnapshotNode* m = others.Find(n->name);
    const std::string key = KeyPathOf(path, n->name);
    const std::string key_path = root_name_ + '\\' + key;
    if (m == nullptr) {
      // The whole key is new (or gone), and everything below it; no
      // counter rule applies here.
      ReportKey(key, deleted);
      for (const SnapshotValue* v = n->values; v != nullptr; v = v->next) {
        ReportValue(deleted ? changes::NodeKind::kValueDeleted : changes::NodeKind::kValueAdded,
                    key_path, key, *v);
        thread_.CheckPause();
      }
      CompareReg(n->child, nullptr, key, deleted);
    } else {
      const bool counter_key = IsCounterKey(key);
      const FirstMatchIndex<SnapshotValue> other_values(m->values);
      for (const SnapshotValue* v = n->values; v != nullptr; v = v->next) {
        const SnapshotValue* w = other_values.Find(v->name);
        if (w == nullptr && deleted) {
          ReportValue(changes::NodeKind::kValueDeleted, key_path, key, *v);
        } else if (w == nullptr) {
          const bool counter = counter_key &&
                               (v->value_type == platform::regtype::kSz ||
                                v->value_type == platform::regtype::kDword) &&
                               FileExists(v->name);
          ReportValue(
              counter ? changes::NodeKind::kCounterIncremented : changes::NodeKind::kValueAdded,
              key_path, key, *v);
        } else if (!deleted && !SameValue(*v, *w)) {
          ReportChangedValue(key_path, key, *v, *w, counter_key);
        }
        thread_.CheckPause();
      }
      CompareReg(n->child, m->child, key, deleted);
    }
    thread_.CheckPause();
  }
}

void RegistryComparer::ReportKey(std::string_view key, bool deleted) {
  const std::string full = root_name_ + '\\' + std::string(key);
  const changes::SplitPath where = changes::SplitLastPath(full);
  ChangeRecord record;
  record.kind = deleted ? changes::NodeKind::kKeyDeleted : changes::NodeKind::kKeyAdded;
  record.root_key = root_;
  record.path = changes::SplitLastPath(key).container;
  sink_.AddToTree(where.container, where.name, record);
}

void RegistryComparer::ReportValue(changes::NodeKind kind, std::string_view key_path,
                                   std::string_view key, const SnapshotValue& value) {
  ChangeRecord record;
  record.kind = kind;
  record.root_key = root_;
  record.path = key;
  record.value_type = value.value_type;
  const auto size = static_cast<int32_t>(value.size);
  if (kind == changes::NodeKind::kValueDeleted) {
    record.before = changes::CopyBuffer(value.Bytes());
    record.before_size = size;
  } else {
    record.after = changes::CopyBuffer(value.Bytes());
    record.after_size = size;
  }
  sink_.AddToTree(key_path, value.name, record);
}

void RegistryComparer::ReportChangedValue(std::string_view key_path, std::string_view key,
                                          const SnapshotValue& after, const SnapshotValue& before,
                                          bool counter_key) {
  ChangeRecord record;
  record.kind = changes::NodeKind::kValueChanged;
  record.root_key = root_;
  record.path = key;
  record.value_type = before.value_type;
  record.before = changes::CopyBuffer(before.Bytes());
  record.before_size = static_cast<int32_t>(before.size);
  record.after = changes::CopyBuffer(after.Bytes());
  record.after_size = static_cast<int32_t>(after.size);

  // A counter records its increase; the type before decides how to read it.
  if (counter_key && FileExists(after.name)) {
    uint32_t delta = 0;
    bool counted = true;
    if (before.value_type == platform::regtype::kSz) {
      // Wrap-around as for the 32-bit counters: no overflow from extreme texts.
      delta = static_cast<uint32_t>(CounterTextValue(TextOf(after))) -
              static_cast<uint32_t>(CounterTextValue(TextOf(before)));
      record.value_type = platform::regtype::kDword;
    } else if (before.value_type == platform::regtype::kDword) {
      delta = DwordOf(after) - DwordOf(before);
    } else {
      counted = false;
    }
    if (counted) {
      record.kind = changes::NodeKind::kCounterIncremented;
      record.after = DwordBuffer(delta);
      record.after_size = 4;
    }
  }
  sink_.AddToTree(key_path, after.name, record);
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

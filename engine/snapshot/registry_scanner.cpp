#include "engine/snapshot/registry_scanner.h"

#include <memory>

namespace cvn::snapshot {

namespace {

using platform::RootKey;
using platform::StatusCode;

// The first capacity asked for; larger values are asked for again whole.
constexpr size_t kFirstDataCapacity = 8192;
// A value that keeps growing between two calls (an installer writing it) is
// given up after this many tries, which ends the key's value loop.
constexpr int kReadTries = 4;

}  // namespace

std::string SubkeyPath(std::string_view path, std::string_view name) {
  if (path.empty()) return std::string(name);
  std::string result;
  result.reserve(path.size() + 1 + name.size());
  result.append(path).append(1, '\\').append(name);
  return result;
}

// Reads a key's values one index at a time, each whole: a value larger than
// the capacity is asked for again with the size the registry reports.
class RegistryScanner::ValueReader {
 public:
  ValueReader(platform::Registry& registry, platform::RegKey& key)
      : registry_(registry), key_(key) {}

  // False at the end of the list and on any failure.
  bool Read(uint32_t index, platform::RegValue* value) {
    for (int tries = 0; tries < kReadTries; ++tries) {
      size_t needed = 0;
      const platform::Status s = registry_.EnumValue(key_, index, capacity_, value, &needed);
      if (s.ok()) return true;
      if (s.code() != StatusCode::kMoreData || needed <= capacity_) return false;
      capacity_ = needed;
    }
    return false;
  }

 private:
  platform::Registry& registry_;
  platform::RegKey& key_;
  size_t capacity_ = kFirstDataCapacity;
};

RegistryScanner::RegistryScanner(platform::Registry& registry, const settings::Settings& settings,
                                 threads::ScanControl& control)
    : registry_(registry), control_(control), scope_(RegistryScope::Of(registry, settings)) {}

std::unique_ptr<platform::RegKey> RegistryScanner::OpenForScan(RootKey root,
                                                               const std::string& path,
                                                               platform::RegKey* parent,
                                                               std::string_view name) {
  std::unique_ptr<platform::RegKey> key;
  if (parent == nullptr) {
    if (!registry_.OpenKey(root, path, platform::KeyAccess::kRead, &key).ok()) key.reset();
    return key;
  }
  // A subkey opens below its parent's open key: the same key as its full
  // path below the root, without the system parsing that path again.
  bool is_link = false;
  if (!registry_.OpenSubKeyOrLink(*parent, name, &key, &is_link).ok()) return nullptr;
  if (!is_link) return key;
  if (!scope_.FollowsLink(root, path)) return nullptr;
  if (!registry_.OpenSubKey(*parent, name, platform::KeyAccess::kRead, &key).ok()) key.reset();
  return key;
}

void RegistryScanner::ScanRegKey(RootKey root, const std::string& path, SnapshotStore& store) {
  ScanKeyToStore(root, path, nullptr, {}, store);
}

void RegistryScanner::ScanKeyToStore(RootKey root, const std::string& path,
                                     platform::RegKey* parent, std::string_view name,
                                     SnapshotStore& store) {
  store.Add(path, "", {}, 0, flags::kContainer);
  if (scope_.IsClosed(root, path)) return;
  const auto key = OpenForScan(root, path, parent, name);
  if (key == nullptr) return;

  ValueReader values(registry_, *key);
  platform::RegValue value;
  for (uint32_t i = 0; !control_.Terminated() && values.Read(i, &value); ++i) {
    store.Add(path, value.name, value.data, value.type, 0);
    control_.CheckPause();
  }
  std::string subkey;
  for (uint32_t i = 0; !control_.Terminated() && registry_.EnumKey(*key, i, &subkey).ok(); ++i) {
    ScanKeyToStore(root, SubkeyPath(path, subkey), key.get(), subkey, store);
    control_.CheckPause();
  }
}

SnapshotNode* RegistryScanner::ScanRegKeyToTree(RootKey root, std::string_view node_name,
                                                const std::string& path, SnapshotTree& tree) {
  return ScanKeyToTree(root, node_name, path, nullptr, tree);
}

SnapshotNode* RegistryScanner::ScanKeyToTree(RootKey root, std::string_view node_name,
                                             const std::string& path, platform::RegKey* parent,
                                             SnapshotTree& tree) {
  SnapshotNode* node = tree.NewNode(node_name);
  if (scope_.IsClosed(root, path)) return node;
  const auto key = OpenForScan(root, path, parent, node_name);
  if (key == nullptr) return node;

  ValueReader values(registry_, *key);
  platform::RegValue value;
  for (uint32_t i = 0; !control_.Terminated() && values.Read(i, &value); ++i) {
    SnapshotTree::AddValueFirst(*node, *tree.NewValue(value.name, value.type, value.data));
    control_.CheckPause();
  }
  std::string subkey;
  for (uint32_t i = 0; !control_.Terminated() && registry_.EnumKey(*key, i, &subkey).ok(); ++i) {
    SnapshotNode* child = ScanKeyToTree(root, subkey, SubkeyPath(path, subkey), key.get(), tree);
    SnapshotTree::AddChildFirst(*node, *child);
    control_.CheckPause();
  }
  return node;
}

}  // namespace cvn::snapshot

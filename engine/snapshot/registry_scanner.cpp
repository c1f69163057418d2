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

// Where the records go: the store form writes them in order; the tree form
// makes nodes and links values and children at the head of their lists.
class RegistryScanner::Sink {
 public:
  virtual ~Sink() = default;
  // The key's record, or its new node (null in the store form).
  virtual SnapshotNode* Key(const std::string& path, std::string_view name) = 0;
  virtual void Value(SnapshotNode* key, const std::string& path, std::string_view name,
                     uint32_t type, std::span<const uint8_t> data) = 0;
  // A child key whose records are complete.
  virtual void Child(SnapshotNode* parent, SnapshotNode* child) = 0;
  // About `bytes` bytes of records follow.
  virtual void Expect(size_t bytes) { (void)bytes; }
  // Remembers where the records end, and drops those written since. (The
  // tree form drops nothing: a node that is not linked is not in the tree.)
  virtual void MarkEnd() {}
  virtual void CutBackToMark() {}
};

class RegistryScanner::StoreSink final : public Sink {
 public:
  explicit StoreSink(SnapshotStore& store) : store_(store) {}
  SnapshotNode* Key(const std::string& path, std::string_view) override {
    store_.Add(path, "", {}, 0, flags::kContainer);
    return nullptr;
  }
  void Value(SnapshotNode*, const std::string& path, std::string_view name, uint32_t type,
             std::span<const uint8_t> data) override {
    store_.Add(path, name, data, type, 0);
  }
  void Child(SnapshotNode*, SnapshotNode*) override {}
  void Expect(size_t bytes) override { store_.Reserve(bytes); }
  void MarkEnd() override { mark_ = store_.End(); }
  void CutBackToMark() override { store_.CutBackTo(mark_); }

 private:
  SnapshotStore& store_;
  SnapshotStore::Mark mark_;
};

class RegistryScanner::TreeSink final : public Sink {
 public:
  explicit TreeSink(SnapshotTree& tree) : tree_(tree) {}
  SnapshotNode* Key(const std::string&, std::string_view name) override {
    return tree_.NewNode(name);
  }
  void Value(SnapshotNode* key, const std::string&, std::string_view name, uint32_t type,
             std::span<const uint8_t> data) override {
    SnapshotTree::AddValueFirst(*key, *tree_.NewValue(name, type, data));
  }
  void Child(SnapshotNode* parent, SnapshotNode* child) override {
    SnapshotTree::AddChildFirst(*parent, *child);
  }

 private:
  SnapshotTree& tree_;
};

namespace {

uint32_t CountValues(const SavedHive& hive, const SavedKey& key) {
  class Count final : public SavedValueSink {
   public:
    void Value(std::string_view, uint32_t, std::span<const uint8_t>) override { ++count; }
    uint32_t count = 0;
  } count;
  hive.ReadValues(key, count);
  return count.count;
}

// A key that cannot be saved is split into its subkeys this many levels deep
// at most (HKEY_USERS, then a user's hive, on Windows); below, it is walked.
constexpr int kMostSplits = 2;

}  // namespace

// A saved key's values into the sink, with the pause point after each; none
// once the scan is told to stop.
class RegistryScanner::SavedValues final : public SavedValueSink {
 public:
  SavedValues(Sink& sink, SnapshotNode* node, const std::string& path,
              threads::ScanControl& control)
      : sink_(sink), node_(node), path_(path), control_(control) {}
  void Value(std::string_view name, uint32_t type, std::span<const uint8_t> data) override {
    if (control_.Terminated()) return;
    sink_.Value(node_, path_, name, type, data);
    control_.CheckPause();
  }

 private:
  Sink& sink_;
  SnapshotNode* node_;
  const std::string& path_;
  threads::ScanControl& control_;
};

RegistryScanner::RegistryScanner(platform::Registry& registry, const settings::Settings& settings,
                                 threads::ScanControl& control)
    : registry_(registry),
      control_(control),
      scope_(RegistryScope::Of(registry, settings)),
      bulk_(settings.bulk_registry_read) {}

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
  StoreSink sink(store);
  const size_t last = path.rfind('\\');
  Scan(root, path, last == std::string::npos ? path : std::string_view(path).substr(last + 1),
       sink);
}

SnapshotNode* RegistryScanner::ScanRegKeyToTree(RootKey root, std::string_view node_name,
                                                const std::string& path, SnapshotTree& tree) {
  TreeSink sink(tree);
  return Scan(root, path, node_name, sink);
}

SnapshotNode* RegistryScanner::Scan(RootKey root, const std::string& path, std::string_view name,
                                    Sink& sink) {
  // HKEY_CURRENT_CONFIG is a link and HKEY_CLASSES_ROOT merges the user's
  // classes into the machine's: views that no saved file shows as they are,
  // except the classes while the user has none.
  const bool saveable =
      root == RootKey::kClassesRoot ? !UserHasClasses() : root != RootKey::kCurrentConfig;
  if (!bulk_ || !saveable || scope_.IsClosed(root, path)) {
    return Walk(root, path, name, nullptr, sink);
  }
  return ReadInBulk(root, path, name, nullptr, 0, sink);
}

bool RegistryScanner::UserHasClasses() {
  std::unique_ptr<platform::RegKey> classes;
  const platform::Status opened = registry_.OpenKey(RootKey::kCurrentUser, platform::kClassesKey,
                                                    platform::KeyAccess::kRead, &classes);
  if (opened.code() == StatusCode::kNotFound) return false;
  platform::RegKeyInfo info;
  // A key that cannot be read may hold anything.
  if (!opened.ok() || !registry_.QueryInfoKey(*classes, &info).ok()) return true;
  return info.subkey_count > 0 || info.value_count > 0;
}

// ---- The walk ----

SnapshotNode* RegistryScanner::Walk(RootKey root, const std::string& path, std::string_view name,
                                    platform::RegKey* parent, Sink& sink) {
  SnapshotNode* node = sink.Key(path, name);
  if (scope_.IsClosed(root, path)) return node;
  const auto key = OpenForScan(root, path, parent, name);
  if (key == nullptr) return node;

  WalkValues(*key, path, node, sink);
  std::string subkey;
  for (uint32_t i = 0; !control_.Terminated() && registry_.EnumKey(*key, i, &subkey).ok(); ++i) {
    sink.Child(node, Walk(root, SubkeyPath(path, subkey), subkey, key.get(), sink));
    control_.CheckPause();
  }
  return node;
}

void RegistryScanner::WalkValues(platform::RegKey& key, const std::string& path, SnapshotNode* node,
                                 Sink& sink) {
  ValueReader values(registry_, key);
  platform::RegValue value;
  for (uint32_t i = 0; !control_.Terminated() && values.Read(i, &value); ++i) {
    sink.Value(node, path, value.name, value.type, value.data);
    control_.CheckPause();
  }
}

// ---- The bulk read ----

SnapshotNode* RegistryScanner::ReadInBulk(RootKey root, const std::string& path,
                                          std::string_view name, platform::RegKey* parent,
                                          int splits, Sink& sink) {
  std::vector<uint8_t> bytes;
  if (registry_.SaveKey(root, path, &bytes).ok()) {
    // The values are decoded once, as they are written: a damaged one met
    // on the way drops what was written from the file and walks the key.
    sink.MarkEnd();
    try {
      const auto hive = ParseSavedHive(bytes, SavedHiveCheck::kKeysOnly);
      // The records take about as many bytes as the saved file (pages of
      // the room reserved are not touched until used).
      sink.Expect(bytes.size());
      const auto live = OpenForScan(root, path, parent, name);
      platform::RegKeyInfo info;
      const bool counted = live != nullptr && registry_.QueryInfoKey(*live, &info).ok();
      // A volatile key saves as an empty file: its own values are missing.
      if (counted && info.value_count != CountValues(*hive, hive->Root()))
        return Walk(root, path, name, parent, sink);
      return Emit(*hive, hive->Root(), root, path, name, live.get(),
                  counted ? &info.subkey_count : nullptr, sink);
    } catch (const SavedHiveError& e) {
      sink.CutBackToMark();
      if (on_notice) {
        std::string where(platform::RootKeyName(root));
        if (!path.empty()) where += "\\" + path;
        on_notice(where + ": its saved copy cannot be read (" + e.what() +
                  "), so it is read key by key");
      }
      return Walk(root, path, name, parent, sink);
    }
  }
  if (splits == kMostSplits) return Walk(root, path, name, parent, sink);

  SnapshotNode* node = sink.Key(path, name);
  const auto key = OpenForScan(root, path, parent, name);
  if (key == nullptr) return node;
  WalkValues(*key, path, node, sink);
  std::string subkey;
  for (uint32_t i = 0; !control_.Terminated() && registry_.EnumKey(*key, i, &subkey).ok(); ++i) {
    const std::string subkey_path = SubkeyPath(path, subkey);
    SnapshotNode* child;
    if (scope_.IsClosed(root, subkey_path)) {
      child = sink.Key(subkey_path, subkey);
    } else if (OpenForScan(root, subkey_path, key.get(), subkey) == nullptr) {
      // A link that is not followed, or a key that cannot be opened.
      child = sink.Key(subkey_path, subkey);
    } else {
      child = ReadInBulk(root, subkey_path, subkey, key.get(), splits + 1, sink);
    }
    sink.Child(node, child);
    control_.CheckPause();
  }
  return node;
}

SnapshotNode* RegistryScanner::Emit(const SavedHive& hive, const SavedKey& saved, RootKey root,
                                    const std::string& path, std::string_view name,
                                    platform::RegKey* live, const uint32_t* live_count,
                                    Sink& sink) {
  SnapshotNode* node = sink.Key(path, name);
  if (scope_.IsClosed(root, path)) return node;
  SavedValues values(sink, node, path, control_);
  hive.ReadValues(saved, values);

  if (live == nullptr || live_count == nullptr || *live_count == saved.child_count) {
    // The file holds every subkey, in the registry's order.
    uint32_t i = 0;
    for (const SavedKey* child = saved.first_child; child != nullptr && !control_.Terminated();
         child = child->next, ++i) {
      uint32_t count = 0;
      const bool counted = live != nullptr && registry_.EnumKeySubkeyCount(*live, i, &count).ok();
      sink.Child(node, EmitChild(hive, *child, root, path, live, counted ? &count : nullptr, sink));
      control_.CheckPause();
    }
    return node;
  }
  // Subkeys the file lacks (volatile ones, or made since it was saved): the
  // live enumeration gives the keys and their order; those the file has are
  // read from it, the others walked.
  const SavedKey* unmatched = saved.first_child;
  std::string subkey;
  for (uint32_t i = 0; !control_.Terminated() && registry_.EnumKey(*live, i, &subkey).ok(); ++i) {
    const SavedKey* match = unmatched;
    while (match != nullptr && match->name != subkey) match = match->next;
    SnapshotNode* child;
    if (match != nullptr) {
      unmatched = match->next;
      uint32_t count = 0;
      const bool counted = registry_.EnumKeySubkeyCount(*live, i, &count).ok();
      child = EmitChild(hive, *match, root, path, live, counted ? &count : nullptr, sink);
    } else {
      child = Walk(root, SubkeyPath(path, subkey), subkey, live, sink);
    }
    sink.Child(node, child);
    control_.CheckPause();
  }
  return node;
}

SnapshotNode* RegistryScanner::EmitChild(const SavedHive& hive, const SavedKey& child, RootKey root,
                                         const std::string& parent_path,
                                         platform::RegKey* parent_live, const uint32_t* live_count,
                                         Sink& sink) {
  const std::string path = SubkeyPath(parent_path, child.name);
  if (child.link && !scope_.IsClosed(root, path)) {
    if (scope_.FollowsLink(root, path)) return Walk(root, path, child.name, parent_live, sink);
    return sink.Key(path, child.name);
  }
  // The live key is opened only where subkeys are to be counted. The file
  // says it is no link, so it opens as it is.
  std::unique_ptr<platform::RegKey> live;
  if (parent_live != nullptr && live_count != nullptr &&
      (child.child_count > 0 || *live_count > 0)) {
    if (!registry_.OpenSubKey(*parent_live, child.name, platform::KeyAccess::kRead, &live).ok())
      live.reset();
  }
  return Emit(hive, child, root, path, child.name, live.get(),
              live != nullptr ? live_count : nullptr, sink);
}

}  // namespace cvn::snapshot

#include "engine/snapshot/load_snapshot.h"

#include <algorithm>
#include <memory>
#include <string>
#include <unordered_map>

#include "engine/snapshot/snapshot_store.h"
#include "platform/text.h"

namespace cvn::snapshot {

namespace {

// Places the records of one file into a tree. Full-path records look each
// path component up by name among the siblings; a long sibling list gets an
// index (upper-cased name to the first node of that name in list order) so
// that a hive with thousands of top-level keys loads in linear time.
class TreeBuilder {
 public:
  TreeBuilder(SnapshotTree& tree, bool file_system) : tree_(tree), file_system_(file_system) {}

  void Add(const SnapshotRecord& record) {
    if (record.flags & flags::kFullPath) {
      current_ = record.path_text.empty() ? EnsureRoot() : PlaceFullPath(record.path_text);
    } else if (record.flags & flags::kRelativePath) {
      current_ = InsertFirstChild(current_, record.path_text);
    } else if (current_ == nullptr) {
      // A same-path record with no path before it: only a damaged file has
      // one; it belongs to the empty path, the root.
      current_ = EnsureRoot();
    }
    if (!(record.flags & flags::kContainer)) {
      SnapshotValue* value = tree_.NewValue(record.name, record.value, record.data);
      SnapshotTree::AddValueFirst(*current_, *value);
    }
  }

 private:
  // Children lists longer than this get an index on their first lookup.
  static constexpr size_t kIndexFrom = 16;

  struct ChildIndex {
    std::unordered_map<std::string, SnapshotNode*> first;  // upper-cased name -> first such node
    SnapshotNode* last = nullptr;                          // the list's end, for appending
  };

  SnapshotNode* EnsureRoot() {
    if (tree_.Root() == nullptr) tree_.SetRoot(tree_.NewNode(""));
    return tree_.Root();
  }

  // The head of the list that `parent` holds; a null parent stands for the
  // top level (the root and its siblings).
  SnapshotNode* FirstOf(SnapshotNode* parent) const {
    return parent ? parent->child : tree_.Root();
  }

  SnapshotNode* PlaceFullPath(std::string_view path) {
    // A registry path is below the hive root; a file-system path starts at
    // the top level with its drive.
    SnapshotNode* parent = (!file_system_ && tree_.Root() != nullptr) ? tree_.Root() : nullptr;
    size_t start = 0;
    for (;;) {
      const size_t end = std::min(path.find('\\', start), path.size());
      parent = FindOrAppend(parent, path.substr(start, end - start));
      if (end == path.size()) return parent;
      start = end + 1;
    }
  }

  SnapshotNode* FindOrAppend(SnapshotNode* parent, std::string_view name) {
    ChildIndex* index = IndexOf(parent);
    if (index == nullptr) {
      size_t seen = 0;
      SnapshotNode* last = nullptr;
      for (SnapshotNode* n = FirstOf(parent); n != nullptr; n = n->next) {
        if (text::EqualsNoCase(n->name, name)) return n;
        last = n;
        if (++seen == kIndexFrom) break;
      }
      if (seen < kIndexFrom) return Append(parent, last, name);
      index = BuildIndex(parent);
    }
    const auto found = index->first.find(text::ToUpper(name));
    if (found != index->first.end()) return found->second;
    SnapshotNode* node = Append(parent, index->last, name);
    index->first.emplace(text::ToUpper(name), node);
    index->last = node;
    return node;
  }

  SnapshotNode* Append(SnapshotNode* parent, SnapshotNode* last, std::string_view name) {
    SnapshotNode* node = tree_.NewNode(name);
    if (last != nullptr) {
      last->next = node;
    } else if (parent != nullptr) {
      parent->child = node;
    } else {
      tree_.SetRoot(node);
    }
    return node;
  }

  SnapshotNode* InsertFirstChild(SnapshotNode* parent, std::string_view name) {
    SnapshotNode* node = tree_.NewNode(name);
    if (parent == nullptr) {
      // Only a damaged file starts with a relative record.
      if (tree_.Root() == nullptr) {
        tree_.SetRoot(node);
        return node;
      }
      parent = tree_.Root();
    }
    SnapshotTree::AddChildFirst(*parent, *node);
    if (ChildIndex* index = IndexOf(parent)) {
      index->first[text::ToUpper(name)] = node;  // it is now the first of its name
      if (index->last == nullptr) index->last = node;
    }
    return node;
  }

  ChildIndex* IndexOf(SnapshotNode* parent) {
    if (indexes_.empty()) return nullptr;
    const auto it = indexes_.find(parent);
    return it == indexes_.end() ? nullptr : it->second.get();
  }

  ChildIndex* BuildIndex(SnapshotNode* parent) {
    auto index = std::make_unique<ChildIndex>();
    for (SnapshotNode* n = FirstOf(parent); n != nullptr; n = n->next) {
      index->first.emplace(text::ToUpper(n->name), n);  // keeps the first of each name
      index->last = n;
    }
    return (indexes_[parent] = std::move(index)).get();
  }

  SnapshotTree& tree_;
  const bool file_system_;
  SnapshotNode* current_ = nullptr;
  std::unordered_map<SnapshotNode*, std::unique_ptr<ChildIndex>> indexes_;
};

}  // namespace

SnapshotTree LoadSnapshot(platform::FileSystem& fs, std::string_view folder,
                          std::string_view base_name, threads::ScanControl& control) {
  SnapshotTree tree;
  {
    SnapshotStore store = SnapshotStore::Open(fs, folder, base_name);
    TreeBuilder builder(tree, base_name.starts_with('F'));
    SnapshotRecord record;
    bool more = store.ReadRecord(&record);
    while (more && !control.CancelRequested()) {
      builder.Add(record);
      more = store.ReadRecord(&record);
      control.CheckPause();
    }
  }
  fs.DeleteFile(SnapshotFilePath(folder, base_name));
  return tree;
}

}  // namespace cvn::snapshot

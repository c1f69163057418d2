#include "changes/change_tree.h"

#include <algorithm>
#include <utility>

#include "i18n/translator.h"
#include "platform/locale.h"
#include "platform/text.h"

namespace cvn::changes {
namespace {

char FoldAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 0x20) : c;
}

// FNV-1a over the name with ASCII letters upper-cased, mixed with the parent.
size_t HashChild(NodeId parent, std::string_view name) {
  uint64_t h = 1469598103934665603ull ^ parent;
  for (char c : name) {
    h ^= static_cast<uint8_t>(FoldAscii(c));
    h *= 1099511628211ull;
  }
  return static_cast<size_t>(h);
}

// "Path\Name", without a second backslash when the path ends with one.
std::string JoinedPath(std::string_view path, std::string_view name) {
  std::string joined(path);
  if (joined.empty() || joined.back() != '\\') joined += '\\';
  joined += name;
  return joined;
}

bool IsDriveName(std::string_view element) {
  return element.size() == 2 && element[1] == ':';
}

bool SpreadsDown(NodeKind kind, bool checked) {
  if (checked)
    return kind == NodeKind::kKeyAdded || kind == NodeKind::kValueAdded ||
           kind == NodeKind::kFolderAdded;
  return kind == NodeKind::kKeyDeleted || kind == NodeKind::kValueDeleted ||
         kind == NodeKind::kFolderDeleted || kind == NodeKind::kFileDeleted;
}

bool SpreadsUp(NodeKind kind, bool checked) {
  if (checked) {
    return kind == NodeKind::kKeyDeleted || kind == NodeKind::kValueDeleted ||
           kind == NodeKind::kFolderDeleted || kind == NodeKind::kFileDeleted;
  }
  return kind == NodeKind::kKeyAdded || kind == NodeKind::kValueAdded ||
         kind == NodeKind::kFolderAdded || kind == NodeKind::kFileAdded;
}

}  // namespace

uint32_t ChangeTree::ChildHash(NodeId parent, std::string_view name) {
  // FNV-1a spreads poorly into its low bits, which pick the slot: mix them.
  uint64_t h = HashChild(parent, name);
  h ^= h >> 32;
  h *= 0xD6E8FEB86659FD93ull;
  return static_cast<uint32_t>(h >> 32);
}

ChangeTree::ChangeTree(const settings::Settings& settings, NameComparer compare_names)
    : settings_(settings),
      sort_by_keys_(!compare_names),
      compare_names_(compare_names ? std::move(compare_names)
                                   : NameComparer(platform::CompareNamesForDisplay)) {
  Reset();
}

void ChangeTree::Reset() {
  index_.Clear();
  nodes_.Clear();
  free_.clear();
  paths_.clear();
  last_path_ = {};
  last_inserted_ = kNoNode;

  top_ = NewNode(kNoNode);
  nodes_[top_].data.name = i18n::Translate("RS_MY_COMPUTER", "My Computer");
  nodes_[top_].data.kind = NodeKind::kMyComputer;
  file_system_ = NewNode(top_);
  nodes_[file_system_].data.name = i18n::Translate("RS_FILE_SYSTEM", "File System");
  nodes_[file_system_].data.kind = NodeKind::kFileSystem;
  registry_ = NewNode(top_);
  nodes_[registry_].data.name = i18n::Translate("RS_REGISTRY", "Registry");
  nodes_[registry_].data.kind = NodeKind::kRegistry;
}

NodeId ChangeTree::NewNode(NodeId parent) {
  NodeId id;
  if (!free_.empty()) {
    id = free_.back();
    free_.pop_back();
    nodes_[id] = Node();
  } else {
    id = static_cast<NodeId>(nodes_.Append());
  }
  Node& node = nodes_[id];
  node.parent = parent;
  if (parent != kNoNode) {
    Node& p = nodes_[parent];
    if (p.last_child == kNoNode) {
      p.first_child = id;
    } else {
      nodes_[p.last_child].next = id;
    }
    p.last_child = id;
    ++p.child_count;
  }
  return id;
}

// ---- Insertion ----

bool ChangeTree::IsIgnored(std::string_view path, std::string_view name, NodeKind kind) const {
  // An empty list covers nothing: most insertions need no upper-cased copies.
  auto covered = [](std::string_view p, const settings::PathList& list) {
    return !list.empty() && settings::IsPathInList(p, list);
  };
  auto covered_joined = [&](const settings::PathList& list) {
    return !list.empty() && settings::IsPathInList(JoinedPath(path, name), list);
  };
  switch (kind) {
    case NodeKind::kKeyAdded:
    case NodeKind::kKeyDeleted:
      return covered_joined(settings_.ignored_keys);
    case NodeKind::kValueAdded:
    case NodeKind::kValueChanged:
    case NodeKind::kValueDeleted:
    case NodeKind::kCounterIncremented:
      return covered(path, settings_.ignored_keys);
    case NodeKind::kFolderAdded:
    case NodeKind::kFolderDeleted:
      return covered_joined(settings_.excluded_folders);
    case NodeKind::kFileAdded:
    case NodeKind::kFileChanged:
    case NodeKind::kFileDeleted:
    case NodeKind::kFileMovedFrom:
    case NodeKind::kFileMovedTo:
      return covered(path, settings_.excluded_folders) || covered_joined(settings_.ignored_files);
    default:
      return false;
  }
}

bool ChangeTree::CheckedInUninstall(NodeKind kind) const {
  switch (kind) {
    case NodeKind::kKeyAdded:
      return settings_.delete_keys;
    case NodeKind::kKeyDeleted:
      return settings_.recreate_keys;
    case NodeKind::kValueAdded:
      return settings_.delete_values;
    case NodeKind::kValueChanged:
      return settings_.restore_values;
    case NodeKind::kValueDeleted:
      return settings_.recreate_values;
    case NodeKind::kCounterIncremented:
      return settings_.decrement_shared_counters;
    case NodeKind::kFolderAdded:
      return settings_.delete_folders;
    case NodeKind::kFileAdded:
      return settings_.delete_files;
    default:
      return false;
  }
}

std::string_view ChangeTree::StorePath(std::string_view path) {
  if (path.empty()) return {};
  if (path == last_path_) return last_path_;
  auto it = paths_.find(path);
  if (it == paths_.end()) it = paths_.emplace(path).first;
  last_path_ = *it;
  return last_path_;
}

NodeId ChangeTree::FindContainerChild(NodeId parent, std::string_view name) const {
  return index_.Find(ChildHash(parent, name), [&](NodeId id) {
    return nodes_[id].parent == parent && text::EqualsNoCaseAscii(nodes_[id].data.name, name);
  });
}

void ChangeTree::IndexNode(NodeId node) {
  const NodeId parent = nodes_[node].parent;
  const std::string_view name = nodes_[node].data.name;
  index_.Insert(ChildHash(parent, name), node, [&](NodeId id) {
    return nodes_[id].parent == parent && text::EqualsNoCaseAscii(nodes_[id].data.name, name);
  });
}

NodeId ChangeTree::AddPathNode(NodeId parent, std::string_view name, uint32_t root_key) {
  const NodeId id = NewNode(parent);
  ChangeRecord& data = nodes_[id].data;
  data.name = name;
  data.kind = IsDriveName(name) ? NodeKind::kDrive : NodeKind::kPathNode;
  data.root_key = root_key;
  // The caller found no container of this name: the new node is the entry.
  index_.InsertNew(ChildHash(parent, name), id);
  return id;
}

void ChangeTree::AddToTree(std::string_view path, std::string_view name, ChangeRecord& tmpl) {
  // The buffers are ours from here on, whether the change is kept or not.
  Buffer before = std::move(tmpl.before);
  Buffer after = std::move(tmpl.after);
  last_inserted_ = kNoNode;
  if (IsIgnored(path, name, tmpl.kind)) return;

  NodeId current = IsRegistryChange(tmpl.kind) ? registry_ : file_system_;
  std::string_view rest = path;
  while (!rest.empty()) {
    const size_t cut = rest.find('\\');
    const std::string_view element = rest.substr(0, cut);
    rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);
    NodeId child = FindContainerChild(current, element);
    if (child == kNoNode) child = AddPathNode(current, element, tmpl.root_key);
    current = child;
  }

  const NodeId id = NewNode(current);
  Node& node = nodes_[id];
  node.data.name = name;
  node.data.before = std::move(before);
  node.data.after = std::move(after);
  node.data.before_size = tmpl.before_size;
  node.data.after_size = tmpl.after_size;
  node.data.value_type = tmpl.value_type;
  node.data.root_key = tmpl.root_key;
  node.data.kind = tmpl.kind;
  node.data.path = StorePath(tmpl.path);
  node.has_check_box = uninstall_mode_ && CheckedInUninstall(tmpl.kind);
  node.checked = node.has_check_box;
  // The contents of a created or deleted key or folder keep their order.
  node.initialised = true;
  // A container of the same name met earlier keeps the entry: it is the first match.
  if (IsContainerKind(tmpl.kind)) IndexNode(id);
  last_inserted_ = id;
}

// ---- Navigation and records ----

int ChangeTree::Level(NodeId node) const {
  int level = 0;
  for (NodeId p = nodes_[node].parent; p != kNoNode; p = nodes_[p].parent) ++level;
  return level;
}

NodeId ChangeTree::NextInSubtree(NodeId node, NodeId root) const {
  if (nodes_[node].first_child != kNoNode) return nodes_[node].first_child;
  while (node != root) {
    if (nodes_[node].next != kNoNode) return nodes_[node].next;
    node = nodes_[node].parent;
  }
  return kNoNode;
}

void ChangeTree::SetKind(NodeId node, NodeKind kind) {
  ChangeRecord& data = nodes_[node].data;
  const bool was_container = IsContainerKind(data.kind);
  data.kind = kind;
  if (was_container != IsContainerKind(kind)) ReindexName(nodes_[node].parent, data.name);
}

void ChangeTree::MarkEmptyBranches() {
  if (nodes_[file_system_].child_count == 0) {
    nodes_[file_system_].data.name = i18n::Translate("RS_FS_NO_CHG", "File System (no changes)");
  }
  if (nodes_[registry_].child_count == 0) {
    nodes_[registry_].data.name = i18n::Translate("RS_REG_NO_CHG", "Registry (no changes)");
  }
}

void ChangeTree::ReindexName(NodeId parent, std::string_view name) {
  const NodeId entry = FindContainerChild(parent, name);
  if (entry != kNoNode) index_.Erase(ChildHash(parent, name), entry);
  for (NodeId c = nodes_[parent].first_child; c != kNoNode; c = nodes_[c].next) {
    const ChangeRecord& data = nodes_[c].data;
    if (IsContainerKind(data.kind) && text::EqualsNoCaseAscii(data.name, name)) {
      IndexNode(c);
      return;
    }
  }
}

void ChangeTree::UnindexNode(NodeId node) {
  index_.Erase(ChildHash(nodes_[node].parent, nodes_[node].data.name), node);
}

// ---- Sort ----

int ChangeTree::CompareKinds(NodeId a, NodeId b) const {
  const NodeKind x = nodes_[a].data.kind, y = nodes_[b].data.kind;
  if (x == NodeKind::kFileSystem || x == NodeKind::kRegistry) return 0;
  return x == y ? 0 : (x < y ? -1 : 1);
}

int ChangeTree::CompareNodes(NodeId a, NodeId b) const {
  const NodeKind x = nodes_[a].data.kind;
  if (x == NodeKind::kFileSystem || x == NodeKind::kRegistry) return 0;
  if (const int kinds = CompareKinds(a, b); kinds != 0) return kinds;
  return compare_names_(nodes_[a].data.name, nodes_[b].data.name);
}

void ChangeTree::InitNode(NodeId node) {
  if (nodes_[node].initialised) return;
  nodes_[node].initialised = true;
  if (nodes_[node].child_count > 1) SortChildren(node);
}

void ChangeTree::SortChildren(NodeId node) {
  std::vector<NodeId> children;
  children.reserve(nodes_[node].child_count);
  for (NodeId c = nodes_[node].first_child; c != kNoNode; c = nodes_[c].next) {
    children.push_back(c);
    if (IsContainerKind(nodes_[c].data.kind)) UnindexNode(c);
  }
  // Stable, so equal nodes keep their order.
  if (sort_by_keys_) {
    // The platform's order through keys made once per child: comparing a
    // thousand names each with each converts and compares them anew.
    std::vector<std::pair<std::string, NodeId>> keyed;
    keyed.reserve(children.size());
    for (NodeId c : children) keyed.emplace_back(platform::DisplaySortKey(nodes_[c].data.name), c);
    std::stable_sort(keyed.begin(), keyed.end(), [this](const auto& a, const auto& b) {
      const int kinds = CompareKinds(a.second, b.second);
      return kinds != 0 ? kinds < 0 : a.first < b.first;
    });
    for (size_t i = 0; i < keyed.size(); ++i) children[i] = keyed[i].second;
  } else {
    std::stable_sort(children.begin(), children.end(),
                     [this](NodeId a, NodeId b) { return CompareNodes(a, b) < 0; });
  }
  Node& parent = nodes_[node];
  parent.first_child = children.front();
  parent.last_child = children.back();
  for (size_t i = 0; i < children.size(); ++i) {
    nodes_[children[i]].next = i + 1 < children.size() ? children[i + 1] : kNoNode;
    // The first of several equal names in the new order wins the entry.
    if (IsContainerKind(nodes_[children[i]].data.kind)) IndexNode(children[i]);
  }
}

// ---- Check states ----

bool ChangeTree::ApplyCheck(NodeId node, bool checked) {
  if (nodes_[node].checked == checked) return false;
  nodes_[node].checked = checked;
  return true;
}

void ChangeTree::SetCheckState(NodeId node, bool checked) {
  if (ApplyCheck(node, checked)) PropagateCheck(node, checked);
}

void ChangeTree::PropagateCheck(NodeId node, bool checked) {
  // Every node reached takes the same state, so the nodes still to spread
  // from only need their ids. A stack instead of recursion: a deep tree
  // cannot exhaust the thread's stack.
  std::vector<NodeId> changed{node};
  while (!changed.empty()) {
    const NodeId n = changed.back();
    changed.pop_back();
    SpreadCheck(n, checked, changed);
  }
}

void ChangeTree::SpreadCheck(NodeId node, bool checked, std::vector<NodeId>& changed) {
  const Node& n = nodes_[node];
  if (!n.has_check_box) return;
  if (SpreadsDown(n.data.kind, checked)) {
    // First child first, as one nested call after another would.
    const size_t mark = changed.size();
    for (NodeId c = n.first_child; c != kNoNode; c = nodes_[c].next) {
      if (ApplyCheck(c, checked)) changed.push_back(c);
    }
    std::reverse(changed.begin() + static_cast<std::ptrdiff_t>(mark), changed.end());
  } else if (SpreadsUp(n.data.kind, checked) && n.parent != kNoNode) {
    if (ApplyCheck(n.parent, checked)) changed.push_back(n.parent);
  }
}

void ChangeTree::SetBranchCheck(NodeId node, bool checked) {
  for (NodeId n = node; n != kNoNode; n = NextInSubtree(n, node)) {
    if (nodes_[n].has_check_box) SetCheckState(n, checked);
  }
}

// ---- Removal and paths ----

bool ChangeTree::RemoveBranch(NodeId node) {
  if (node == top_ || node == file_system_ || node == registry_) return false;
  const NodeId parent = nodes_[node].parent;
  const bool held_entry = FindContainerChild(parent, nodes_[node].data.name) == node;

  // Unlink from the parent's children.
  Node& p = nodes_[parent];
  NodeId previous = kNoNode;
  for (NodeId c = p.first_child; c != node; c = nodes_[c].next) previous = c;
  if (previous == kNoNode) {
    p.first_child = nodes_[node].next;
  } else {
    nodes_[previous].next = nodes_[node].next;
  }
  if (p.last_child == node) p.last_child = previous;
  --p.child_count;

  // Release the subtree; its nodes' slots are reused by later insertions.
  std::string name = nodes_[node].data.name;
  std::vector<NodeId> doomed;
  for (NodeId n = node; n != kNoNode; n = NextInSubtree(n, node)) doomed.push_back(n);
  for (NodeId n : doomed) {
    if (n != node && IsContainerKind(nodes_[n].data.kind)) UnindexNode(n);
  }
  if (held_entry) {
    UnindexNode(node);
    // A later sibling of the same name is the first match now.
    ReindexName(parent, name);
  }
  for (NodeId n : doomed) {
    if (n == last_inserted_) last_inserted_ = kNoNode;
    nodes_[n] = Node();
    free_.push_back(n);
  }
  return true;
}

std::string ChangeTree::PathFromBranchRoot(NodeId node) const {
  std::vector<std::string_view> names;
  for (NodeId n = node; n != kNoNode; n = nodes_[n].parent) {
    const NodeKind kind = nodes_[n].data.kind;
    if (kind == NodeKind::kFileSystem || kind == NodeKind::kRegistry) break;
    names.push_back(nodes_[n].data.name);
  }
  std::string path;
  for (auto it = names.rbegin(); it != names.rend(); ++it) {
    if (it != names.rbegin()) path += '\\';
    path += *it;
  }
  return path;
}

}  // namespace cvn::changes

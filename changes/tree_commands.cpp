#include "changes/tree_commands.h"

namespace cvn::changes {

namespace {

bool IsOneOf(NodeKind kind, std::initializer_list<NodeKind> kinds) {
  for (NodeKind k : kinds)
    if (k == kind) return true;
  return false;
}

}  // namespace

TreeCommands::TreeCommands(ChangeTree& tree, settings::Settings& settings, platform::FileSystem& fs)
    : tree_(tree), settings_(settings), fs_(fs), rows_(tree) {}

void TreeCommands::Reset() {
  rows_.Reset();
  edited_ = false;
}

void TreeCommands::Clear() {
  rows_.Clear();
  edited_ = false;
}

std::string TreeCommands::ItemPath(NodeId node) const {
  const ChangeRecord& data = tree_.Data(node);
  return std::string(data.path) + "\\" + data.name;
}

TreeMenuState TreeCommands::MenuState(NodeId selected) {
  TreeMenuState state;
  state.check_visible = tree_.UninstallMode();
  state.expand_enabled = tree_.Top() != kNoNode;
  if (selected == kNoNode) return state;
  state.check_enabled = true;
  const int level = tree_.Level(selected);
  const NodeKind kind = tree_.Data(selected).kind;
  state.remove_enabled = level > 1;
  using K = NodeKind;
  const bool file = IsOneOf(kind, {K::kFileAdded, K::kFileChanged, K::kFileMovedTo});
  if (file || kind == K::kFolderAdded) {
    const auto attributes = fs_.GetAttributes(ItemPath(selected));
    const bool is_folder = attributes && (*attributes & platform::attr::kDirectory);
    state.open_enabled = attributes.has_value() && is_folder == (kind == K::kFolderAdded);
    state.view_enabled = state.open_enabled && file;
  }
  state.ignore_visible =
      level > 2 && IsOneOf(kind, {K::kKeyAdded, K::kKeyDeleted, K::kFolderAdded, K::kFolderDeleted,
                                  K::kFileAdded, K::kFileChanged, K::kFileDeleted,
                                  K::kFileMovedFrom, K::kFileMovedTo, K::kPathNode});
  return state;
}

bool TreeCommands::RemoveBranch(size_t row) {
  if (!rows_.RemoveBranch(row)) return false;
  edited_ = true;
  return true;
}

IgnoreList TreeCommands::ListFor(const ChangeRecord& data) {
  if (IsRegistryChange(data.kind) || (data.kind == NodeKind::kPathNode && data.root_key != 0))
    return IgnoreList::kKeys;
  if (IsFileSystemChange(data.kind) && !IsContainerKind(data.kind)) return IgnoreList::kFiles;
  return IgnoreList::kFolders;
}

bool TreeCommands::AddToIgnoreList(NodeId node) {
  settings::PathList* lists[] = {&settings_.ignored_keys, &settings_.excluded_folders,
                                 &settings_.ignored_files};
  settings::PathList& list = *lists[static_cast<int>(ListFor(tree_.Data(node)))];
  const std::string path = tree_.PathFromBranchRoot(node);
  if (settings::IsPathInList(path, list)) return false;
  return list.Add(path);
}

size_t TreeCommands::Find(std::string_view needle, NodeId selected, bool forward) {
  return rows_.Find(needle, selected, forward, settings_.binary_as_hex);
}

}  // namespace cvn::changes

#include "changes/report_walk.h"

namespace cvn::changes {

bool IsKeyOrFolderChange(NodeKind kind) {
  return kind == NodeKind::kKeyAdded || kind == NodeKind::kKeyDeleted ||
         kind == NodeKind::kFolderAdded || kind == NodeKind::kFolderDeleted;
}

void WalkBranch(ChangeTree& tree, NodeId node, const std::string& prefix,
                const std::function<void(NodeId, const std::string&)>& write) {
  write(node, prefix);
  tree.InitNode(node);
  const std::string& name = tree.Data(node).name;
  const std::string inner = prefix.empty() ? name : prefix + "\\" + name;
  for (int pass = 0; pass < 2; ++pass) {
    for (NodeId c = tree.FirstChild(node); c != kNoNode; c = tree.NextSibling(c)) {
      const bool first = tree.ChildCount(c) == 0 && !IsKeyOrFolderChange(tree.Data(c).kind);
      if (first == (pass == 0)) WalkBranch(tree, c, inner, write);
    }
  }
}

std::string ContainerPath(const ChangeTree& tree, NodeId node) {
  const NodeId parent = tree.Parent(node);
  const bool below_root = parent != tree.FileSystemRoot() && parent != tree.RegistryRoot();
  return below_root ? tree.PathFromBranchRoot(parent) : std::string();
}

}  // namespace cvn::changes

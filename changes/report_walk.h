// The order in which the text export and the printout write the changes
// tree, shared so that both show the same things in the same order.
#pragma once

#include <functional>
#include <string>

#include "changes/change_tree.h"

namespace cvn::changes {

// Kinds 1, 2, 7 and 8: a key or folder line of its own.
bool IsKeyOrFolderChange(NodeKind kind);

// Writes `node` (through `write`, with its container path `prefix`), then
// walks its children: first those that have no children and are not keys
// or folders, then the others, each with the node's path as its prefix.
// Nodes are initialised on the way, as a view does before showing them.
void WalkBranch(ChangeTree& tree, NodeId node, const std::string& prefix,
                const std::function<void(NodeId, const std::string&)>& write);

// The container path of a node below a drive or hive: the names from below
// the branch root down to its parent; empty for a drive or hive itself.
std::string ContainerPath(const ChangeTree& tree, NodeId node);

}  // namespace cvn::changes

// The changes tree: every change a comparison found or an archive held, under
// a fixed top ("My Computer" with "File System" first and "Registry" last).
//
// The tree is a model without any window: a view asks it for children, their
// records and check states, and calls InitNode before it shows a node's
// children. Nodes live in a chunked array and refer to each other by index;
// equal paths are stored once, so a million nodes cost one allocation per
// long name and per buffer. Finding a path element among many siblings goes
// through a hash index that gives the same first match as a scan from the
// first child.
//
// Threads: a comparison or the archive loader fills the tree on its worker
// while the main thread leaves it alone; everything else runs on the main
// thread. There is no lock.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "changes/change_record.h"
#include "changes/change_sink.h"
#include "changes/child_index.h"
#include "changes/chunked_vector.h"
#include "settings/settings.h"

namespace cvn::changes {

using NodeId = uint32_t;
inline constexpr NodeId kNoNode = UINT32_MAX;

// Compares two names for sorting: negative, zero or positive.
using NameComparer = std::function<int(std::string_view, std::string_view)>;

class ChangeTree final : public ChangeSink {
 public:
  // `settings` gives the ignore lists and the uninstall phases and must
  // outlive the tree. `compare_names` orders names when children are sorted;
  // by default the user locale's order without regard to case.
  explicit ChangeTree(const settings::Settings& settings, NameComparer compare_names = {});
  ChangeTree(const ChangeTree&) = delete;
  ChangeTree& operator=(const ChangeTree&) = delete;

  // Empties the tree and builds the fixed top with translated captions.
  // Every NodeId handed out before is invalid afterwards.
  void Reset();

  // In uninstall mode a change gets a checked box when its kind's uninstall
  // phase is on; otherwise changes get no box.
  void SetUninstallMode(bool on) { uninstall_mode_ = on; }
  bool UninstallMode() const { return uninstall_mode_; }

  // The only insertion. Drops a change that the ignore lists cover (freeing
  // its buffers); otherwise finds or makes the path nodes of `path` below the
  // branch root and adds the change as a new last child there.
  void AddToTree(std::string_view path, std::string_view name, ChangeRecord& tmpl) override;
  // The change node made by the latest AddToTree; kNoNode when it was ignored.
  NodeId LastInserted() const { return last_inserted_; }

  // Navigation. Ids must be of live nodes; kNoNode where there is none.
  NodeId Top() const { return top_; }
  NodeId FileSystemRoot() const { return file_system_; }
  NodeId RegistryRoot() const { return registry_; }
  NodeId Parent(NodeId node) const { return nodes_[node].parent; }
  NodeId FirstChild(NodeId node) const { return nodes_[node].first_child; }
  NodeId LastChild(NodeId node) const { return nodes_[node].last_child; }
  NodeId NextSibling(NodeId node) const { return nodes_[node].next; }
  uint32_t ChildCount(NodeId node) const { return nodes_[node].child_count; }
  // 0 for the top, 1 for the branch roots, 2 for drives and hives...
  int Level(NodeId node) const;
  // The node after `node` in a walk of the subtree of `root` that visits a
  // node before its children; kNoNode at the end.
  NodeId NextInSubtree(NodeId node, NodeId root) const;
  // Nodes in the tree, the fixed top included.
  size_t NodeCount() const { return nodes_.size() - free_.size(); }

  const ChangeRecord& Data(NodeId node) const { return nodes_[node].data; }
  // Relabels a node (moved files become kinds 12 and 13).
  void SetKind(NodeId node, NodeKind kind);
  // Gives an empty branch root its "(no changes)" caption.
  void MarkEmptyBranches();

  // Children of path and root nodes are sorted the first time the node is
  // initialised (before a view first shows them); change nodes are born
  // initialised, so their children keep the order of insertion.
  bool IsInitialised(NodeId node) const { return nodes_[node].initialised; }
  void InitNode(NodeId node);
  // The order of the sort: the branch roots keep their places; otherwise by
  // kind, then by name.
  int CompareNodes(NodeId a, NodeId b) const;

  // Check boxes. A node without a box still has a state: propagation may set
  // it, and the uninstaller reads states, not boxes.
  bool HasCheckBox(NodeId node) const { return nodes_[node].has_check_box; }
  bool IsChecked(NodeId node) const { return nodes_[node].checked; }
  // Sets a state as a click does: when it differs from the current one, the
  // change spreads through PropagateCheck.
  void SetCheckState(NodeId node, bool checked);
  // Spreads a node's new state: down to the contents of a created key or
  // folder that is checked (or a deleted one that is unchecked), up to the
  // parent otherwise, as far as nodes with a box carry it on.
  void PropagateCheck(NodeId node, bool checked);
  // Sets the state of every node with a box in the subtree of `node`, the
  // node first, then its children from first to last.
  void SetBranchCheck(NodeId node, bool checked);

  // Deletes a node with its subtree; false (and nothing changes) for the
  // top and the branch roots.
  bool RemoveBranch(NodeId node);
  // The names from below the branch root down to the node, joined with
  // backslashes: C:\Windows\Temp\file.tmp, HKEY_LOCAL_MACHINE\Software\X.
  std::string PathFromBranchRoot(NodeId node) const;

 private:
  struct Node {
    ChangeRecord data;
    NodeId parent = kNoNode;
    NodeId first_child = kNoNode;
    NodeId last_child = kNoNode;
    NodeId next = kNoNode;
    uint32_t child_count = 0;
    bool has_check_box = false;
    bool checked = false;
    bool initialised = false;
  };

  // The index holds the container children of every node by parent and
  // name without regard to ASCII case; each entry is the first such child in
  // child order. This is the hash of such a key.
  static uint32_t ChildHash(NodeId parent, std::string_view name);

  struct PathHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
  };
  using PathStore = std::unordered_set<std::string, PathHash, std::equal_to<>>;

  NodeId NewNode(NodeId parent);
  NodeId AddPathNode(NodeId parent, std::string_view name, uint32_t root_key);
  NodeId FindContainerChild(NodeId parent, std::string_view name) const;
  // Makes a container the index entry of its name unless an earlier child has it.
  void IndexNode(NodeId node);
  // Makes the index entry of (parent, name) the first container child with
  // that name, or removes it when there is none.
  void ReindexName(NodeId parent, std::string_view name);
  void UnindexNode(NodeId node);
  bool IsIgnored(std::string_view path, std::string_view name, NodeKind kind) const;
  bool CheckedInUninstall(NodeKind kind) const;
  std::string_view StorePath(std::string_view path);
  // Sets a state without spreading it; true when it changed.
  bool ApplyCheck(NodeId node, bool checked);
  void SpreadCheck(NodeId node, bool checked, std::vector<NodeId>& changed);
  void SortChildren(NodeId node);
  // The order of two nodes by kind alone; 0 for equal kinds and for a branch root.
  int CompareKinds(NodeId a, NodeId b) const;

  const settings::Settings& settings_;
  // The platform's order, through its sort keys, unless a comparer was given.
  bool sort_by_keys_;
  NameComparer compare_names_;
  bool uninstall_mode_ = false;

  ChunkedVector<Node> nodes_;
  std::vector<NodeId> free_;  // slots of removed nodes, for reuse
  ChildIndex index_;          // container children by parent and name
  PathStore paths_;
  std::string_view last_path_;  // the path stored last: most insertions repeat it
  NodeId last_inserted_ = kNoNode;
  NodeId top_ = kNoNode;
  NodeId file_system_ = kNoNode;
  NodeId registry_ = kNoNode;
};

}  // namespace cvn::changes

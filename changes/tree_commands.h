// What the changes tree page does with the selected node, apart from
// drawing: which context-menu items it offers, removing a branch, adding a
// path to an ignore list, finding, and whether there are unsaved edits.
// The window calls these and shows the result; the shell's part of Open,
// View and Properties stays with the window.
//
// Threads: the main thread, while no worker fills the tree.
#pragma once

#include <string>
#include <string_view>

#include "changes/change_tree.h"
#include "changes/tree_rows.h"
#include "platform/filesystem.h"
#include "settings/settings.h"

namespace cvn::changes {

// The context menu's items for the selected node.
struct TreeMenuState {
  bool check_visible = false;   // Check branch and Uncheck branch: in uninstall mode
  bool check_enabled = false;   // a node is selected
  bool expand_enabled = false;  // Expand all and Collapse all: the tree has a top
  bool remove_enabled = false;  // a node below the branch roots
  bool open_enabled = false;    // an item on disk that exists now (Open, Properties)
  bool view_enabled = false;    // as Open, and a file
  bool ignore_visible = false;  // below drives and hives, not a value
};

// The list "Add to ignore list" puts a node's path in.
enum class IgnoreList { kKeys, kFolders, kFiles };

class TreeCommands {
 public:
  TreeCommands(ChangeTree& tree, settings::Settings& settings, platform::FileSystem& fs);

  TreeRows& rows() { return rows_; }

  // After the tree was filled or loaded: rows from the start, nothing to save.
  void Reset();
  // No rows, nothing to save: the tree is not read until the next Reset.
  void Clear();

  TreeMenuState MenuState(NodeId selected);

  // The item's place on disk: its record's path, a backslash and its name.
  std::string ItemPath(NodeId node) const;

  // Removes the branch shown at `row` and marks the tree edited; false for
  // the top and the branch roots.
  bool RemoveBranch(size_t row);
  // True after an edit that Save has not written yet.
  bool edited() const { return edited_; }
  void MarkSaved() { edited_ = false; }

  // The list a node's path belongs in: registry changes and registry path
  // nodes to the ignored keys, folders, drives and folder path nodes to the
  // excluded folders, files to the ignored files.
  static IgnoreList ListFor(const ChangeRecord& data);
  // Adds the path of `node` (from below the branch root) to its list unless
  // the list covers it already; true when it was added. The tree is not
  // filtered again: the entry counts from the next comparison or load.
  bool AddToIgnoreList(NodeId node);

  // The next (or previous) node whose texts contain `needle`, from
  // `selected`; its row, or TreeRows::kNoRow.
  size_t Find(std::string_view needle, NodeId selected, bool forward);

 private:
  ChangeTree& tree_;
  settings::Settings& settings_;
  platform::FileSystem& fs_;
  TreeRows rows_;
  bool edited_ = false;
};

}  // namespace cvn::changes

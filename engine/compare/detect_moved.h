// Moved-file detection: a file reported deleted in one place and created in
// another, with the same name (letter case included) and the same file info
// text, is relabelled in place as moved from (kind 12) and moved to (kind 13).
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "changes/change_tree.h"
#include "engine/snapshot/scan_control.h"

namespace cvn::compare {

class MovedFileDetector {
 public:
  // Works on the file-system branch of `tree`, which must not change except
  // through this object while it is in use.
  MovedFileDetector(snapshot::ScanControl& thread, changes::ChangeTree& tree);

  // Examines `node` and its descendants, a node before its children: each
  // deleted file that finds its created twin becomes kind 12. Ends between
  // two nodes once the thread is terminated; pairs found stay paired.
  void DetectMoved(changes::NodeId node);

  // The created file that pairs with `deleted`: the first one in tree order
  // of the whole file-system branch. Relabels it (kind 13) and returns true
  // when there is one.
  bool FindMovedTarget(const changes::TNodeData& deleted);

 private:
  // Created files by name and info text, each list in tree order; `next`
  // skips those already paired.
  struct Candidates {
    std::vector<changes::NodeId> nodes;
    size_t next = 0;
  };
  static std::string KeyOf(std::string_view name, std::string_view info);

  snapshot::ScanControl& thread_;
  changes::ChangeTree& tree_;
  std::unordered_map<std::string, Candidates> created_;
};

// The second scan's last step: detection over the whole file-system branch.
void DetectMovedFiles(snapshot::ScanControl& thread, changes::ChangeTree& tree);

}  // namespace cvn::compare

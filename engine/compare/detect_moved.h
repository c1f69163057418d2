// Moved-file detection: a file reported deleted in one place and created in
// another, with the same name (letter case included) and the same file info
// text, is relabelled in place as moved from (kind 12) and moved to (kind 13).
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "changes/change_tree.h"
#include "engine/threads/scan_control.h"

namespace cvn::compare {

class MovedFileDetector {
 public:
  // Works on the file-system branch of `tree`, which must not change except
  // through this object while it is in use.
  MovedFileDetector(threads::ScanControl& thread, changes::ChangeTree& tree);

  // Examines `node` and its descendants, a node before its children: each
  // deleted file that finds its created twin becomes kind 12. Ends between
  // two nodes once the thread is terminated; pairs found stay paired.
  void DetectMoved(changes::NodeId node);

  // The created file that pairs with `deleted`: the first one in tree order
  // of the whole file-system branch. Relabels it (kind 13) and returns true
  // when there is one.
  bool FindMovedTarget(const changes::ChangeRecord& deleted);

 private:
  struct Key {
    std::string_view name;
    std::string_view info;
    friend bool operator==(const Key&, const Key&) = default;
  };
  // The created files of one key, chained in tree order; `next` is the first
  // one not yet paired.
  struct Slot {
    uint64_t hash = 0;
    int32_t first = -1;  // -1: the slot is free
    int32_t next = -1;
    int32_t last = -1;
  };

  static uint64_t HashOf(const Key& key);
  Key CreatedKey(int32_t candidate) const;
  // The slot of `key`, or the free slot where it belongs.
  Slot& SlotOf(const Key& key, uint64_t hash);

  threads::ScanControl& thread_;
  changes::ChangeTree& tree_;
  std::vector<changes::NodeId> created_;  // created files in tree order
  std::vector<int32_t> chain_;            // per created file: the next of its key, or -1
  std::vector<Slot> slots_;               // open addressing, at most half full
};

// The second scan's last step: detection over the whole file-system branch.
void DetectMovedFiles(threads::ScanControl& thread, changes::ChangeTree& tree);

}  // namespace cvn::compare

#include "engine/compare/detect_moved.h"

#include <functional>

namespace cvn::compare {

using changes::ChangeRecord;
using changes::NodeId;

MovedFileDetector::MovedFileDetector(threads::ScanControl& thread, changes::ChangeTree& tree)
    : thread_(thread), tree_(tree) {
  const NodeId root = tree_.FileSystemRoot();
  for (NodeId n = root; n != changes::kNoNode; n = tree_.NextInSubtree(n, root)) {
    if (tree_.Data(n).kind == changes::NodeKind::kFileAdded) created_.push_back(n);
  }
  chain_.assign(created_.size(), -1);
  size_t capacity = 16;
  while (capacity < 2 * created_.size()) capacity *= 2;
  slots_.resize(capacity);
  for (size_t i = 0; i < created_.size(); ++i) {
    const auto candidate = static_cast<int32_t>(i);
    const Key key = CreatedKey(candidate);
    Slot& slot = SlotOf(key, HashOf(key));
    if (slot.first < 0) {
      slot = Slot{HashOf(key), candidate, candidate, candidate};
    } else {
      chain_[slot.last] = candidate;
      slot.last = candidate;
    }
  }
}

uint64_t MovedFileDetector::HashOf(const Key& key) {
  const uint64_t name = std::hash<std::string_view>()(key.name);
  const uint64_t info = std::hash<std::string_view>()(key.info);
  return name ^ (info * 0x9E3779B97F4A7C15ull);
}

MovedFileDetector::Key MovedFileDetector::CreatedKey(int32_t candidate) const {
  const ChangeRecord& data = tree_.Data(created_[candidate]);
  return {data.name, changes::ZeroTerminatedText(data.after.get(), data.after_size)};
}

MovedFileDetector::Slot& MovedFileDetector::SlotOf(const Key& key, uint64_t hash) {
  const size_t mask = slots_.size() - 1;
  for (size_t i = hash & mask;; i = (i + 1) & mask) {
    Slot& slot = slots_[i];
    if (slot.first < 0 || (slot.hash == hash && CreatedKey(slot.first) == key)) return slot;
  }
}

bool MovedFileDetector::FindMovedTarget(const ChangeRecord& deleted) {
  const Key key{deleted.name,
                changes::ZeroTerminatedText(deleted.before.get(), deleted.before_size)};
  Slot& slot = SlotOf(key, HashOf(key));
  // Candidates before `next` are paired already; the kind test only guards
  // against a tree changed behind this object's back.
  while (slot.next >= 0) {
    const NodeId target = created_[slot.next];
    slot.next = chain_[slot.next];
    if (tree_.Data(target).kind == changes::NodeKind::kFileAdded) {
      tree_.SetKind(target, changes::NodeKind::kFileMovedTo);
      return true;
    }
  }
  return false;
}

void MovedFileDetector::DetectMoved(NodeId node) {
  for (NodeId n = node; n != changes::kNoNode; n = tree_.NextInSubtree(n, node)) {
    if (n != node && thread_.Terminated()) return;
    if (tree_.Data(n).kind == changes::NodeKind::kFileDeleted && FindMovedTarget(tree_.Data(n))) {
      tree_.SetKind(n, changes::NodeKind::kFileMovedFrom);
    }
    thread_.CheckPause();
  }
}

void DetectMovedFiles(threads::ScanControl& thread, changes::ChangeTree& tree) {
  MovedFileDetector detector(thread, tree);
  detector.DetectMoved(tree.FileSystemRoot());
}

}  // namespace cvn::compare

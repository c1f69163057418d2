#include "engine/compare/detect_moved.h"

namespace cvn::compare {

using changes::NodeId;
using changes::TNodeData;

MovedFileDetector::MovedFileDetector(snapshot::ScanControl& thread, changes::ChangeTree& tree)
    : thread_(thread), tree_(tree) {
  const NodeId root = tree_.FileSystemRoot();
  for (NodeId n = root; n != changes::kNoNode; n = tree_.NextInSubtree(n, root)) {
    const TNodeData& data = tree_.Data(n);
    if (data.Kind != changes::nkFileAdded) continue;
    const auto info = changes::ZeroTerminatedText(data.After.get(), data.AfterSize);
    created_[KeyOf(data.Name, info)].nodes.push_back(n);
  }
}

std::string MovedFileDetector::KeyOf(std::string_view name, std::string_view info) {
  // The name's length first, so that no other name and text give the same key.
  std::string key = std::to_string(name.size());
  key += ':';
  key += name;
  key += info;
  return key;
}

bool MovedFileDetector::FindMovedTarget(const TNodeData& deleted) {
  const auto info = changes::ZeroTerminatedText(deleted.Before.get(), deleted.BeforeSize);
  const auto it = created_.find(KeyOf(deleted.Name, info));
  if (it == created_.end()) return false;
  Candidates& candidates = it->second;
  // Candidates before `next` are paired already; the kind test only guards
  // against a tree changed behind this object's back.
  while (candidates.next < candidates.nodes.size()) {
    const NodeId target = candidates.nodes[candidates.next++];
    if (tree_.Data(target).Kind == changes::nkFileAdded) {
      tree_.SetKind(target, changes::nkFileMovedTo);
      return true;
    }
  }
  return false;
}

void MovedFileDetector::DetectMoved(NodeId node) {
  for (NodeId n = node; n != changes::kNoNode; n = tree_.NextInSubtree(n, node)) {
    if (n != node && thread_.Terminated()) return;
    if (tree_.Data(n).Kind == changes::nkFileDeleted && FindMovedTarget(tree_.Data(n))) {
      tree_.SetKind(n, changes::nkFileMovedFrom);
    }
    thread_.CheckPause();
  }
}

void DetectMovedFiles(snapshot::ScanControl& thread, changes::ChangeTree& tree) {
  MovedFileDetector detector(thread, tree);
  detector.DetectMoved(tree.FileSystemRoot());
}

}  // namespace cvn::compare

// Plain transcriptions of the comparison algorithms: every search is a scan
// of the other side's list from its head, every moved-file search a walk of
// the whole file-system branch. The differential tests hold the indexed
// implementations to exactly what these produce.
#pragma once

#include <cstdint>
#include <string>

#include "changes/change_sink.h"
#include "changes/change_tree.h"
#include "engine/snapshot/scan_control.h"
#include "engine/snapshot/snapshot_tree.h"
#include "platform/filesystem.h"
#include "platform/locale.h"

namespace cvn::compare::literal {

void CompareFS(snapshot::ScanControl& thread, changes::ChangeSink& sink,
               const platform::DateTimeSeparators& separators, const snapshot::TNode* a,
               const snapshot::TNode* b, const std::string& path, bool deleted);

void CompareReg(snapshot::ScanControl& thread, changes::ChangeSink& sink, platform::FileSystem& fs,
                uint32_t root, const snapshot::TNode* a, const snapshot::TNode* b,
                const std::string& path, bool deleted);

void DetectMoved(snapshot::ScanControl& thread, changes::ChangeTree& tree, changes::NodeId node);
bool FindMovedTarget(changes::ChangeTree& tree, changes::NodeId node,
                     const changes::TNodeData& deleted);

}  // namespace cvn::compare::literal

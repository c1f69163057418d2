// The file-system comparison: every folder and file created, deleted or
// changed between two file-system snapshot trees, handed to the changes tree.
#pragma once

#include <string_view>

#include "changes/change_sink.h"
#include "engine/snapshot/snapshot_tree.h"
#include "engine/threads/scan_control.h"
#include "platform/locale.h"

namespace cvn::compare {

class FileSystemComparer {
 public:
  // Runs on the second scan's worker; `thread` gives the stop request and
  // the pause points, `sink` takes every change in the order found.
  FileSystemComparer(threads::ScanControl& thread, changes::ChangeSink& sink,
                     platform::DateTimeSeparators separators = platform::UserDateTimeSeparators());

  // Both passes: created folders and files and changed files, then deleted
  // folders and files.
  void CompareTrees(const snapshot::SnapshotNode* before, const snapshot::SnapshotNode* after);

  // Reports what the sibling list from `a` holds and the list from `b` does
  // not: folders and files created (or, with `deleted`, deleted), and in the
  // first pass files whose time or size changed. `path` is the folder path
  // of the lists' parent with a trailing backslash, "" at the top. Stops at
  // the next folder once a stop is requested.
  void CompareFS(const snapshot::SnapshotNode* a, const snapshot::SnapshotNode* b,
                 std::string_view path, bool deleted);

 private:
  void ReportFolder(std::string_view path, std::string_view name, bool deleted);
  void ReportFile(std::string_view folder, const snapshot::SnapshotValue& file, bool deleted);
  void ReportChangedFile(std::string_view folder, const snapshot::SnapshotValue& after,
                         const snapshot::SnapshotValue& before);

  threads::ScanControl& thread_;
  changes::ChangeSink& sink_;
  platform::DateTimeSeparators separators_;
};

}  // namespace cvn::compare

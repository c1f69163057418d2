// Reading a snapshot file back as a snapshot tree.
#pragma once

#include <string_view>

#include "engine/snapshot/snapshot_tree.h"
#include "engine/threads/scan_control.h"
#include "platform/filesystem.h"

namespace cvn::snapshot {

// Builds the tree of "<folder>\<base name>.sns" and deletes the file. A base
// name beginning with F names a file-system snapshot, any other a registry
// hive. The tree's root is null when the file holds no record. When
// `control` reports a cancel, loading stops and the partial tree is returned
// (the file is deleted all the same). Throws SnapshotFileError when the file
// cannot be read and SnapshotFormatError when it is damaged.
SnapshotTree LoadSnapshot(platform::FileSystem& fs, std::string_view folder,
                          std::string_view base_name, threads::ScanControl& control);

}  // namespace cvn::snapshot

// Writing the changes tree as a changes archive.
#pragma once

#include <string_view>

#include "changes/archive_loader.h"
#include "changes/change_tree.h"
#include "changes/changes_archive.h"
#include "platform/filesystem.h"

namespace cvn::changes {

// Appends the records of every change of `tree` to `archive` at its
// position: the registry branch first, then the file system, each walked
// depth first in the tree's current child order. Structure nodes write
// nothing; registry key paths are written below the root key.
void WriteChangeRecords(const ChangeTree& tree, ChangesArchive& archive);

// Appends a fingerprint record for every created and changed file of
// `tree`: its full path and the SHA-256 of its content as it can be read
// now, or, with `known`, the digest `known` holds for it (none when it holds
// none). Returns how many were written.
size_t WriteFingerprints(const ChangeTree& tree, platform::FileSystem& fs,
                         ChangesArchive& archive, const Fingerprints* known = nullptr);

// Saves `tree` as "<program folder>\<identifier>.cvn", replacing any
// earlier archive of that identifier whole (or not at all). The records
// of the changes are followed by the fingerprints of the files created
// and changed (version 201 then): read from the disk now when the
// monitoring ends, and `known`, those of the earlier archive, when an
// edited tree is saved again, so that a file changed since the
// installation still shows as changed. Throws ArchiveFileError when the
// file cannot be written.
void SaveChangesTree(const ChangeTree& tree, platform::FileSystem& fs,
                     std::string_view program_folder, std::string_view identifier,
                     const Clock& clock = SystemClock(), const Fingerprints* known = nullptr);

}  // namespace cvn::changes

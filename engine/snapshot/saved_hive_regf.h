// The binary hive format ("regf") of a saved registry key, the form
// RegSaveKeyExW writes on Windows. doc/saved_hive_formats.md gives the parts
// this reader uses. See saved_hive.h for what a SavedHive delivers.
#pragma once

#include <memory>
#include <span>

#include "engine/snapshot/saved_hive.h"

namespace cvn::snapshot {

// Throws SavedHiveError when `bytes` is not a readable hive. Every offset is
// checked against the file, a key met twice (a loop) is an error, and the
// hive refers to `bytes`, which must outlive it.
std::unique_ptr<SavedHive> ParseRegfHive(std::span<const uint8_t> bytes,
                                         SavedHiveCheck check = SavedHiveCheck::kWhole);

}  // namespace cvn::snapshot

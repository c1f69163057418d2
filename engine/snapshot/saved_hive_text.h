// Wine's text form of a saved registry key ("WINE REGISTRY Version 2"), the
// form RegSaveKeyExW writes under Wine. doc/saved_hive_formats.md gives its
// grammar. See saved_hive.h for what a SavedHive delivers.
#pragma once

#include <memory>
#include <span>

#include "engine/snapshot/saved_hive.h"

namespace cvn::snapshot {

// Throws SavedHiveError when `bytes` is not a whole, readable file of this
// form. The hive refers to `bytes`, which must outlive it.
std::unique_ptr<SavedHive> ParseWineTextHive(std::span<const uint8_t> bytes,
                                             SavedHiveCheck check = SavedHiveCheck::kWhole);

}  // namespace cvn::snapshot

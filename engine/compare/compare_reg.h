// The registry comparison: every key created or deleted and every value
// created, changed or deleted between two snapshot trees of one hive, handed
// to the changes tree; shared-file counters (SharedDLLs values naming
// existing files) become counter changes carrying the increase.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "changes/change_sink.h"
#include "engine/snapshot/snapshot_tree.h"
#include "engine/threads/scan_control.h"
#include "platform/filesystem.h"
#include "platform/registry.h"

namespace cvn::compare {

// The key of the shared-file counters, below HKEY_LOCAL_MACHINE.
inline constexpr std::string_view kSharedDllsKey =
    "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\SHAREDDLLS";

// A counter's text read as a number the way the counters are written:
// optional blanks, an optional sign and decimal digits fitting 32 bits;
// anything else counts as 0.
int32_t CounterTextValue(std::string_view text);

class RegistryComparer {
 public:
  // Runs on the second scan's worker. `fs` answers whether a counter's file
  // exists now; `root` is the hive compared.
  RegistryComparer(threads::ScanControl& thread, changes::ChangeSink& sink,
                   platform::FileSystem& fs, platform::RootKey root);

  // Both passes: keys and values created, values changed and counters, then
  // keys and values deleted. Each tree's root is the unnamed hive root.
  void CompareHive(const snapshot::SnapshotNode* before, const snapshot::SnapshotNode* after);

  // Reports what the key list from `a` holds and the list from `b` does not
  // (created, or with `deleted`, deleted), and in the first pass the values
  // that differ. `path` is the path of the lists' parent key below the root,
  // "" at the top. Stops at the next key once a stop is requested.
  void CompareReg(const snapshot::SnapshotNode* a, const snapshot::SnapshotNode* b,
                  std::string_view path, bool deleted);

 private:
  void ReportKey(std::string_view key, bool deleted);
  void ReportValue(changes::NodeKind kind, std::string_view key_path, std::string_view key,
                   const snapshot::SnapshotValue& value);
  void ReportChangedValue(std::string_view key_path, std::string_view key,
                          const snapshot::SnapshotValue& after,
                          const snapshot::SnapshotValue& before, bool counter_key);
  bool IsCounterKey(std::string_view key) const;
  bool FileExists(std::string_view path) const;

  threads::ScanControl& thread_;
  changes::ChangeSink& sink_;
  platform::FileSystem& fs_;
  uint32_t root_;
  std::string root_name_;
};

}  // namespace cvn::compare

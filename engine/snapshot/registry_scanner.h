// The registry scanner: records one key and everything below it, either as
// records of a snapshot store (the state before an installation, kept on
// disk) or as a snapshot tree in memory (the state after it). Both forms walk
// the registry identically.
//
// A key that cannot be opened, a closed key (see RegistryScope) and a
// registry link are recorded as keys without contents; the value and subkey
// loops end at the first failing call. Every value is recorded whole,
// whatever the size of its data.
//
// Bulk read: unless the settings turn it off (bulk_registry_read), a hive is
// not walked key by key but saved by the system to a temporary file
// (Registry::SaveKey) and read back from it (saved_hive.h), which gives the
// same records for a fraction of the calls. What a saved file cannot give is
// still read with the API: keys that it leaves out (volatile keys, found by
// comparing each key's subkey count with the live registry's), the one link
// that is followed, HKEY_CURRENT_CONFIG and HKEY_CLASSES_ROOT (views the
// system does not save; the classes are read from the machine's saved
// classes while the user has none of their own), and a key that cannot be
// saved (its values are read and each subkey is saved on its own, two levels
// deep, then walked). A saved file that cannot be read is reported through
// on_notice and its key walked instead.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "engine/snapshot/registry_scope.h"
#include "engine/snapshot/saved_hive.h"
#include "engine/snapshot/snapshot_store.h"
#include "engine/snapshot/snapshot_tree.h"
#include "engine/threads/scan_control.h"
#include "platform/registry.h"
#include "settings/settings.h"

namespace cvn::snapshot {

// A hive the scan threads record, in the order they process them.
struct Hive {
  bool settings::Settings::*setting;  // enables it
  platform::RootKey root;
  std::string_view base_name;      // of its snapshot file
  std::string_view status_suffix;  // appended to the status line
};

inline constexpr std::array<Hive, 5> kHives = {{
    {&settings::Settings::scan_hkcr, platform::RootKey::kClassesRoot, "HKCR",
     " HKEY_CLASSES_ROOT..."},
    {&settings::Settings::scan_hklm, platform::RootKey::kLocalMachine, "HKLM",
     " HKEY_LOCAL_MACHINE..."},
    {&settings::Settings::scan_hku, platform::RootKey::kUsers, "HKUS", " HKEY_USERS..."},
    {&settings::Settings::scan_hkcu, platform::RootKey::kCurrentUser, "HKCU",
     " HKEY_CURRENT_USER..."},
    {&settings::Settings::scan_hkcc, platform::RootKey::kCurrentConfig, "HKCC",
     " HKEY_CURRENT_CONFIG..."},
}};

// "Sub" below "" is "Sub"; below "A\B" it is "A\B\Sub".
std::string SubkeyPath(std::string_view path, std::string_view name);

class RegistryScanner {
 public:
  // `settings` (the hives scanned) and the registry itself decide the scope.
  RegistryScanner(platform::Registry& registry, const settings::Settings& settings,
                  threads::ScanControl& control);

  // Appends the records of the key `path` ("" for the hive root) and of
  // everything below it to `store`.
  void ScanRegKey(platform::RootKey root, const std::string& path, SnapshotStore& store);

  // The node of the key `path`, named `node_name` (its last path component,
  // "" for the hive root), with its values and its subtree, allocated in
  // `tree`; never null. Values and children are linked at the head of their
  // lists, so both end up in reverse enumeration order.
  SnapshotNode* ScanRegKeyToTree(platform::RootKey root, std::string_view node_name,
                                 const std::string& path, SnapshotTree& tree);

  // Told, on the scan thread, when a saved copy of a key could not be read
  // and the key is read with the API instead: a line for the status line.
  std::function<void(const std::string&)> on_notice;

 private:
  class ValueReader;
  class Sink;
  class StoreSink;
  class TreeSink;
  class SavedValues;

  // The key opened for reading (below `parent` by its name when there is a
  // parent, else below the root by its path); null when it cannot be opened
  // or is a link that is not followed.
  std::unique_ptr<platform::RegKey> OpenForScan(platform::RootKey root, const std::string& path,
                                                platform::RegKey* parent, std::string_view name);
  SnapshotNode* Scan(platform::RootKey root, const std::string& path, std::string_view name,
                     Sink& sink);
  // Whether HKEY_CURRENT_USER\Software\Classes holds anything (or cannot be
  // read): then HKEY_CLASSES_ROOT shows more than the machine's classes.
  bool UserHasClasses();
  // The key with its values and subtree, read with the API key by key.
  SnapshotNode* Walk(platform::RootKey root, const std::string& path, std::string_view name,
                     platform::RegKey* parent, Sink& sink);
  void WalkValues(platform::RegKey& key, const std::string& path, SnapshotNode* node, Sink& sink);
  // The key saved and read back; failing that, its values read with the API
  // and each subkey read in bulk on its own (`splits` levels deep at most).
  SnapshotNode* ReadInBulk(platform::RootKey root, const std::string& path, std::string_view name,
                           platform::RegKey* parent, int splits, Sink& sink);
  // The records of a saved key. `live` is the same key in the registry (null
  // when unknown) and `live_count` its number of subkeys there (null when
  // unknown): where that differs from the saved one, the live enumeration
  // decides and subkeys missing from the file are walked.
  SnapshotNode* Emit(const SavedHive& hive, const SavedKey& saved, platform::RootKey root,
                     const std::string& path, std::string_view name, platform::RegKey* live,
                     const uint32_t* live_count, Sink& sink);
  SnapshotNode* EmitChild(const SavedHive& hive, const SavedKey& child, platform::RootKey root,
                          const std::string& parent_path, platform::RegKey* parent_live,
                          const uint32_t* live_count, Sink& sink);

  platform::Registry& registry_;
  threads::ScanControl& control_;
  const RegistryScope scope_;
  const bool bulk_;
};

}  // namespace cvn::snapshot

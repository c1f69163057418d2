// Where a scan reads each registry location. The registry shows some keys
// under more than one name: HKEY_CURRENT_USER is HKEY_USERS\<the user's SID>;
// on Windows HKEY_CLASSES_ROOT merges HKEY_LOCAL_MACHINE\Software\Classes with
// the user's classes, HKEY_CURRENT_USER\Software\Classes, which is
// HKEY_USERS\<SID>_Classes; and a registry link shows the keys of its target.
// A scan records each location once, under the name a user knows; under its
// other names the key is closed: recorded as a key, its contents not read.
// Links are not followed, so their targets are read where they really are.
//
// Both scans of a monitoring build the scope from the same settings on the
// same machine, so a closed key compares equal and never shows as a change.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/registry.h"
#include "settings/settings.h"

namespace cvn::snapshot {

class RegistryScope {
 public:
  // Asks `registry` for the current user's hive name, and whether the user's
  // classes hive exists (where it does, HKEY_CLASSES_ROOT merges it in).
  static RegistryScope Of(platform::Registry& registry, const settings::Settings& settings);

  // `user_hive` is the current user's SID ("" when unknown); `classes_merged`
  // tells that HKEY_CLASSES_ROOT shows the user's classes.
  RegistryScope(const settings::Settings& settings, std::string_view user_hive,
                bool classes_merged);

  // True for a key recorded without its values and subkeys: the program's own
  // settings key and Wine's font state under each of their names, and the
  // keys another scanned hive already shows. Whole paths compare without regard to case.
  bool IsClosed(platform::RootKey root, std::string_view path) const;

  // True for the one link that is followed: HKEY_CURRENT_USER\Software\Classes,
  // which on Windows is a link to the user's classes hive and the name a user
  // knows them by.
  bool FollowsLink(platform::RootKey root, std::string_view path) const;

 private:
  void Close(platform::RootKey root, std::string path);

  std::vector<std::pair<platform::RootKey, std::string>> closed_;
};

}  // namespace cvn::snapshot

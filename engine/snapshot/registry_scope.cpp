#include "engine/snapshot/registry_scope.h"

#include <memory>

#include "platform/text.h"

namespace cvn::snapshot {

namespace {

using platform::RootKey;

constexpr std::string_view kClassesHiveSuffix = "_Classes";

// Wine keeps there the code page of the last program that drew text, and its
// font cache: every program rewrites them, so they are never an
// installation's change (on Windows the key does not exist).
constexpr std::string_view kWineFonts = "Software\\Wine\\Fonts";

bool SamePath(std::string_view a, std::string_view b) {
  return a.size() == b.size() && text::EqualsNoCase(a, b);
}

}  // namespace

RegistryScope RegistryScope::Of(platform::Registry& registry, const settings::Settings& settings) {
  const std::string user_hive = registry.CurrentUserHiveName();
  std::unique_ptr<platform::RegKey> classes_hive;
  const bool classes_merged =
      !user_hive.empty() &&
      registry
          .OpenKey(RootKey::kUsers, user_hive + std::string(kClassesHiveSuffix),
                   platform::KeyAccess::kRead, &classes_hive)
          .ok();
  return RegistryScope(settings, user_hive, classes_merged);
}

RegistryScope::RegistryScope(const settings::Settings& settings, std::string_view user_hive,
                             bool classes_merged) {
  // The program's own settings and Wine's font state, under each user's names.
  const std::string per_user[] = {std::string(settings::kSettingsKey), std::string(kWineFonts)};
  for (const std::string& key : per_user) {
    Close(RootKey::kCurrentUser, key);
    Close(RootKey::kUsers, ".DEFAULT\\" + key);
    if (!user_hive.empty()) Close(RootKey::kUsers, std::string(user_hive) + "\\" + key);
  }
  if (settings.scan_hkcr) Close(RootKey::kLocalMachine, std::string(platform::kClassesKey));
  if (user_hive.empty()) return;

  const std::string user(user_hive);
  const std::string classes_hive = user + std::string(kClassesHiveSuffix);
  if (settings.scan_hkcu) {
    Close(RootKey::kUsers, user);
    Close(RootKey::kUsers, classes_hive);
  }
  if (settings.scan_hkcr && classes_merged) {
    Close(RootKey::kCurrentUser, std::string(platform::kClassesKey));
    Close(RootKey::kUsers, user + "\\" + std::string(platform::kClassesKey));
    Close(RootKey::kUsers, classes_hive);
  }
}

void RegistryScope::Close(RootKey root, std::string path) {
  closed_.emplace_back(root, std::move(path));
}

bool RegistryScope::IsClosed(RootKey root, std::string_view path) const {
  for (const auto& [closed_root, closed_path] : closed_)
    if (closed_root == root && SamePath(path, closed_path)) return true;
  return false;
}

bool RegistryScope::FollowsLink(RootKey root, std::string_view path) const {
  return root == RootKey::kCurrentUser && SamePath(path, platform::kClassesKey);
}

}  // namespace cvn::snapshot

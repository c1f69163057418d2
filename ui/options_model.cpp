#include "ui/options_model.h"

#include <array>

#include "i18n/translator.h"
#include "platform/text.h"

namespace cvn::ui {

namespace {

struct RootKey {
  std::string_view short_name;
  std::string_view full_name;
};
constexpr std::array<RootKey, 5> kRootKeys = {{
    {"HKLM", "HKEY_LOCAL_MACHINE"},
    {"HKCU", "HKEY_CURRENT_USER"},
    {"HKCR", "HKEY_CLASSES_ROOT"},
    {"HKU", "HKEY_USERS"},
    {"HKCC", "HKEY_CURRENT_CONFIG"},
}};

// `key` is `root` alone or `root` followed by a backslash and more.
bool IsUnderRoot(std::string_view key, std::string_view root) {
  if (key.size() < root.size() || !text::EqualsNoCaseAscii(key.substr(0, root.size()), root))
    return false;
  return key.size() == root.size() || key[root.size()] == '\\';
}

// The form folders are compared in: a trailing backslash, no doubled ones,
// upper case.
std::string ComparableFolder(std::string_view folder) {
  std::string out;
  out.reserve(folder.size() + 1);
  for (const char c : std::string(folder) + "\\") {
    if (c == '\\' && !out.empty() && out.back() == '\\') continue;
    out += c;
  }
  return text::ToUpper(out);
}

}  // namespace

std::string ExpandRootKey(std::string_view key) {
  for (const RootKey& root : kRootKeys) {
    if (IsUnderRoot(key, root.short_name))
      return std::string(root.full_name) + std::string(key.substr(root.short_name.size()));
  }
  return std::string(key);
}

bool BeginsWithRootKey(std::string_view key) {
  for (const RootKey& root : kRootKeys) {
    if (IsUnderRoot(key, root.full_name)) return true;
  }
  return false;
}

OptionsModel::OptionsModel(const settings::Settings& settings) : settings_(settings) {
  for (const std::string& folder : settings_.excluded_folders.entries()) {
    if (!text::EqualsNoCase(folder, settings_.program_folder)) excluded_folders_.Add(folder);
  }
  // Keys stored with a short root name are shown written out.
  settings::PathList keys;
  for (const std::string& key : settings_.ignored_keys.entries()) keys.Add(ExpandRootKey(key));
  settings_.ignored_keys = keys;
}

FolderRefusal OptionsModel::CheckExcludedFolder(std::string_view folder) const {
  const std::string candidate = ComparableFolder(folder);
  for (const std::string& entry : excluded_folders_.entries()) {
    const std::string excluded = ComparableFolder(entry);
    if (candidate.starts_with(excluded)) return FolderRefusal::kAlreadyExcluded;
    if (excluded.starts_with(candidate)) return FolderRefusal::kContainsExcluded;
  }
  return FolderRefusal::kNone;
}

std::string OptionsModel::RefusalText(FolderRefusal refusal, std::string_view folder) {
  std::string shown;
  for (const char c : std::string(folder) + "\\") {
    if (c == '\\' && !shown.empty() && shown.back() == '\\') continue;
    shown += c;
  }
  switch (refusal) {
    case FolderRefusal::kAlreadyExcluded:
      return Format(i18n::Translate("RS_FLD_EXCLUDED", "The folder '%s' is already excluded !"),
                    shown);
    case FolderRefusal::kContainsExcluded:
      return Format(i18n::Translate("RS_FLD_CONT_EXCLUDED",
                                    "The folder '%s' contains excluded folders.\nRemove these first."),
                    shown);
    case FolderRefusal::kNone:
      break;
  }
  return {};
}

FolderRefusal OptionsModel::AddExcludedFolder(std::string_view folder) {
  const FolderRefusal refusal = CheckExcludedFolder(folder);
  if (refusal == FolderRefusal::kNone) excluded_folders_.Add(folder);
  return refusal;
}

bool OptionsModel::AddIgnoredFile(std::string_view path) {
  return settings_.ignored_files.Add(path);
}

bool OptionsModel::AddIgnoredKey(std::string_view key) {
  return settings_.ignored_keys.Add(ExpandRootKey(key));
}

std::optional<std::string> OptionsModel::FirstInvalidKey() const {
  for (const std::string& key : settings_.ignored_keys.entries()) {
    if (!BeginsWithRootKey(key)) return key;
  }
  return std::nullopt;
}

std::string OptionsModel::Format(std::string_view pattern, std::string_view value) {
  std::string out(pattern);
  if (const size_t at = out.find("%s"); at != std::string::npos) out.replace(at, 2, value);
  return out;
}

void OptionsModel::set_log_class(int bit, bool on) {
  settings_.log_level = on ? (settings_.log_level | bit) : (settings_.log_level & ~bit);
}

settings::Settings OptionsModel::Result() const {
  settings::Settings result = settings_;
  result.excluded_folders = excluded_folders_;
  if (!settings_.program_folder.empty())
    result.excluded_folders.Add(text::ToUpper(settings_.program_folder));
  return result;
}

}  // namespace cvn::ui

// OptionsModel: the settings while the options dialog is open. It holds a
// copy of the settings, applies the dialog's rules to it (which folders may
// be excluded, which files and keys may be ignored, how the log boxes make
// LogLevel) and hands back the settings to store only when the user
// confirms. Free of windows, so its rules are tested on their own.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "settings/settings.h"

namespace cvn::ui {

// Why a folder cannot be added to the excluded folders.
enum class FolderRefusal {
  kNone,              // it may be added
  kAlreadyExcluded,   // it lies at or below an excluded folder
  kContainsExcluded,  // an excluded folder lies inside it
};

// The log entry classes, as the bits of LogLevel.
inline constexpr int kLogErrors = 1;
inline constexpr int kLogWarnings = 2;
inline constexpr int kLogSuccesses = 4;

// `key` with a short root name written out: "HKLM\Software" gives
// "HKEY_LOCAL_MACHINE\Software" (HKLM, HKCU, HKCR, HKU, HKCC, in any letter
// case). Anything else is returned as it is.
std::string ExpandRootKey(std::string_view key);
// True when `key` is a root key's full name ("HKEY_USERS") or begins with
// one followed by a backslash, in any letter case.
bool BeginsWithRootKey(std::string_view key);

class OptionsModel {
 public:
  explicit OptionsModel(const settings::Settings& settings);

  // The working copy: the dialog reads and writes the check boxes, the font,
  // the viewer and the language here. The three lists are kept apart.
  settings::Settings& settings() { return settings_; }
  const settings::Settings& settings() const { return settings_; }

  // The excluded folders the user sees: every one but the program folder.
  const settings::PathList& excluded_folders() const { return excluded_folders_; }
  const settings::PathList& ignored_files() const { return settings_.ignored_files; }
  const settings::PathList& ignored_keys() const { return settings_.ignored_keys; }

  // Whether `folder` may be excluded: it is compared, with a backslash
  // appended and doubled backslashes made single, without regard to case,
  // with each excluded folder made the same way.
  FolderRefusal CheckExcludedFolder(std::string_view folder) const;
  // The warning for a refused folder, translated, naming the folder as it
  // was compared (with its trailing backslash).
  static std::string RefusalText(FolderRefusal refusal, std::string_view folder);
  // Adds `folder` as given when CheckExcludedFolder allows it.
  FolderRefusal AddExcludedFolder(std::string_view folder);
  // False when the file is listed already, in any letter case.
  bool AddIgnoredFile(std::string_view path);
  // Adds the key with its short root name written out; false when listed.
  bool AddIgnoredKey(std::string_view key);
  bool RemoveExcludedFolder(std::string_view folder) { return excluded_folders_.Remove(folder); }
  bool RemoveIgnoredFile(std::string_view path) { return settings_.ignored_files.Remove(path); }
  bool RemoveIgnoredKey(std::string_view key) { return settings_.ignored_keys.Remove(key); }

  // The first ignored key that does not begin with a root key's full name.
  std::optional<std::string> FirstInvalidKey() const;
  // `pattern` with its "%s" replaced by `value`.
  static std::string Format(std::string_view pattern, std::string_view value);

  // "Use Recycle Bin" can be chosen only while created files are deleted.
  bool recycle_bin_choosable() const { return settings_.delete_files; }
  bool log_class(int bit) const { return (settings_.log_level & bit) != 0; }
  void set_log_class(int bit, bool on);

  // The settings to store: the working copy with the excluded folders and
  // the program folder, in upper case, among them.
  settings::Settings Result() const;

 private:
  settings::Settings settings_;
  settings::PathList excluded_folders_;
};

}  // namespace cvn::ui

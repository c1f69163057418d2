// The settings store: every user preference, held in memory for the whole run
// and kept in HKEY_CURRENT_USER\Software\Helmwick\Corvane.
//
// The store is read once at start-up (after the defaults are in place) and
// written when the user leaves the targets page, confirms the options and
// closes the main window. Load, save and the placement operations run on the
// main thread; workers read the in-memory values while they run, and nothing
// changes them then, so the store has no lock.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace cvn::settings {

inline constexpr std::string_view kSettingsKey = "Software\\Helmwick\\Corvane";
inline constexpr std::string_view kAppTitle = "Corvane";

// A list of paths that stays sorted, compares entries without regard to case
// and silently drops an entry that is already present.
class PathList {
 public:
  // Adds `entry` at its sorted place; false (and no change) when present.
  bool Add(std::string_view entry);
  // Removes the entry equal to `entry` without regard to case; false if absent.
  bool Remove(std::string_view entry);
  bool Contains(std::string_view entry) const;
  void Clear() { entries_.clear(); }
  bool empty() const { return entries_.empty(); }
  size_t size() const { return entries_.size(); }
  const std::vector<std::string>& entries() const { return entries_; }

  // The list as stored: every entry followed by CR LF, in sorted order.
  std::string Text() const;
  friend bool operator==(const PathList&, const PathList&) = default;
  // Replaces the content with the lines of `text` (split at CR LF, CR, LF or
  // a zero byte; empty lines are dropped).
  void SetText(std::string_view text);

 private:
  std::vector<std::string> entries_;
};

// True when `path` lies at or below one of the list's entries: the path,
// upper-cased and followed by a backslash, begins with the entry upper-cased
// and followed by a backslash (so C:\Temp covers C:\Temp\x but not C:\Temp2).
bool IsPathInList(std::string_view path, const PathList& list);

// The in-memory settings. Members start at their defaults; the table in
// settings.cpp names the registry value each is stored in.
struct Settings {
  // Uninstall phases.
  bool delete_values = true;
  bool delete_keys = true;
  bool delete_files = true;
  bool delete_folders = true;
  bool restore_values = true;
  bool decrement_shared_counters = true;
  bool recreate_keys = true;
  bool recreate_values = true;
  bool use_recycle_bin = true;
  // Created files whose content changed since the installation are deleted
  // too (into the uninstall's backup); off: they are kept.
  bool delete_changed = false;
  // Backups of uninstalls older than this many days, or beyond this many
  // megabytes in all, are removed, oldest first; never the newest one.
  int32_t backup_days = 30;
  int32_t backup_max_megabytes = 2048;
  // Scan targets.
  bool scan_hkcr = true;
  bool scan_hklm = true;
  bool scan_hkcu = true;
  bool scan_hku = false;
  bool scan_hkcc = false;
  // Hives are saved by the system and read back from the file rather than
  // walked key by key, where the system can save them. Read when stored
  // ("BulkRegistryRead", a DWORD an administrator sets by hand to turn it
  // off), never written.
  bool bulk_registry_read = true;
  bool scan_windows_folder = true;
  bool scan_program_files = true;
  bool scan_system_partition = true;
  bool scan_other_folders = false;
  std::string other_folders;      // paths separated by ";"
  std::string last_setup_folder;  // folder of the last setup program, with a trailing backslash
  // Log entry classes: 1 errors, 2 warnings, 4 successful actions.
  int32_t log_level = 1;
  bool binary_as_hex = false;
  std::string tree_font_name = "Tahoma";
  int32_t tree_font_size = 8;
  std::string viewer = "notepad.exe";
  std::string language;
  bool delete_archive_after_uninstall = false;
  bool show_background = true;
  PathList excluded_folders;
  PathList ignored_files;
  PathList ignored_keys;

  // The folder of the executable, without a trailing backslash (except for a
  // drive root). Not stored; LoadSettings adds it to excluded_folders and
  // SaveSettings keeps it out of the stored list.
  std::string program_folder;

  friend bool operator==(const Settings&, const Settings&) = default;
};

// A stored value whose type does not fit the setting. The load stops at it:
// values read before keep what was read, later ones keep their defaults.
class SettingsError : public std::runtime_error {
 public:
  explicit SettingsError(const std::string& value_name);
  const std::string& value_name() const { return value_name_; }

 private:
  std::string value_name_;
};

// Reads every stored value into `settings`; a missing value leaves the
// in-memory one alone. Creates the key when it is missing; does nothing when
// it cannot be opened. Throws SettingsError at a value of the wrong type.
void LoadSettings(platform::Registry& registry, Settings& settings);
// Writes every value. Does nothing when the key cannot be opened or created.
// Returns false when the key could not be opened or a write failed.
bool SaveSettings(platform::Registry& registry, const Settings& settings);

// The main window's placement, kept in a subkey of the settings key.
struct WindowPlacement {
  bool maximized = false;
  std::optional<int32_t> width, height, left, top;
};
// "Software\Helmwick" + "\" + title (when not empty) + "\" + the window class
// name from its fifth character on ("TfrmCvnMain" gives "CvnMain").
std::string PlacementKeyPath(std::string_view app_title, std::string_view window_class);
// Reads the placement; empty when the subkey cannot be opened (it is not
// created). When Maximized is stored and true, nothing else is read.
std::optional<WindowPlacement> LoadWindowPlacement(platform::Registry& registry,
                                                   std::string_view key_path);
// Writes Maximized, and the bounds only when the window is not maximized, so
// that a maximized window keeps the last stored normal bounds.
bool SaveWindowPlacement(platform::Registry& registry, std::string_view key_path,
                         const WindowPlacement& placement);

// Widths of the changes tree's first two columns, kept in the settings key
// beside the settings (not part of load and save).
struct ColumnWidths {
  std::optional<int32_t> change;  // "ChangeColumn"; designed width 257
  std::optional<int32_t> before;  // "BeforeColumn"; designed width 152
};
ColumnWidths LoadColumnWidths(platform::Registry& registry);
bool SaveColumnWidths(platform::Registry& registry, int32_t change, int32_t before);

// The list of monitored applications keeps its sort and its column layout in
// subkeys of the settings key: "Sort" (values "SortCol" and "Ascending",
// REG_DWORD) and "Columns" (values "Order" and "Sizes", REG_SZ lists of
// integers separated by commas). Not part of load and save.
struct ListSort {
  int32_t column = 0;
  bool ascending = true;
  friend bool operator==(const ListSort&, const ListSort&) = default;
};
// Empty when either value is missing or not a REG_DWORD. The column is as
// stored: the caller checks it against its columns.
std::optional<ListSort> LoadListSort(platform::Registry& registry);
bool SaveListSort(platform::Registry& registry, const ListSort& sort);

struct ListColumns {
  std::vector<int32_t> order;  // column indexes from left to right
  std::vector<int32_t> sizes;  // widths by column index
  friend bool operator==(const ListColumns&, const ListColumns&) = default;
};
// Each list empty when its value is missing or is not such a list. The
// numbers are as stored: the caller checks them against its columns.
ListColumns LoadListColumns(platform::Registry& registry);
bool SaveListColumns(platform::Registry& registry, const ListColumns& columns);

}  // namespace cvn::settings

#include "settings/settings.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <type_traits>
#include <variant>
#include <vector>

#include "platform/text.h"

namespace cvn::settings {

using platform::KeyAccess;
using platform::Registry;
using platform::RegKey;
using platform::RegValue;
using platform::RootKey;

// ---- PathList ----

bool PathList::Add(std::string_view entry) {
  auto it = std::lower_bound(
      entries_.begin(), entries_.end(), entry,
      [](const std::string& a, std::string_view b) { return text::CompareNoCase(a, b) < 0; });
  if (it != entries_.end() && text::EqualsNoCase(*it, entry)) return false;
  entries_.insert(it, std::string(entry));
  return true;
}

bool PathList::Remove(std::string_view entry) {
  auto it = std::find_if(entries_.begin(), entries_.end(),
                         [&](const std::string& e) { return text::EqualsNoCase(e, entry); });
  if (it == entries_.end()) return false;
  entries_.erase(it);
  return true;
}

bool PathList::Contains(std::string_view entry) const {
  return std::any_of(entries_.begin(), entries_.end(),
                     [&](const std::string& e) { return text::EqualsNoCase(e, entry); });
}

std::string PathList::Text() const {
  std::string text;
  for (const std::string& e : entries_) {
    text += e;
    text += "\r\n";
  }
  return text;
}

void PathList::SetText(std::string_view text) {
  entries_.clear();
  size_t start = 0;
  while (start < text.size()) {
    // A zero byte ends an entry too: it is a string's terminator, never part of a path.
    size_t end = text.find_first_of(std::string_view("\r\n\0", 3), start);
    if (end == std::string_view::npos) end = text.size();
    if (end > start) Add(text.substr(start, end - start));
    start = end + 1;
    if (end < text.size() && text[end] == '\r' && start < text.size() && text[start] == '\n')
      ++start;
  }
}

bool IsPathInList(std::string_view path, const PathList& list) {
  const std::string covered = text::ToUpper(path) + '\\';
  return std::any_of(list.entries().begin(), list.entries().end(), [&](const std::string& e) {
    const std::string prefix = text::ToUpper(e) + '\\';
    return covered.compare(0, prefix.size(), prefix) == 0;
  });
}

// ---- Reading and writing values ----

SettingsError::SettingsError(const std::string& value_name)
    : std::runtime_error("Invalid data type for '" + value_name + "'"), value_name_(value_name) {}

namespace {

// Reads one stored value; false when it does not exist.
bool Query(Registry& registry, RegKey& key, std::string_view name, RegValue* value) {
  return registry.QueryValue(key, name, value).ok();
}

uint32_t DwordOf(const RegValue& value, std::string_view name) {
  if (value.type != platform::regtype::kDword || value.data.size() != 4)
    throw SettingsError(std::string(name));
  uint32_t n;
  std::memcpy(&n, value.data.data(), 4);
  return n;
}

bool WriteList(Registry& registry, RegKey& key, std::string_view name, const PathList& list) {
  const std::string text = list.Text();
  return registry
      .SetValue(key, name, platform::regtype::kBinary,
                std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()))
      .ok();
}

std::unique_ptr<RegKey> OpenOrCreate(Registry& registry, std::string_view path) {
  std::unique_ptr<RegKey> key;
  registry.CreateKey(RootKey::kCurrentUser, path, KeyAccess::kReadWrite, &key);
  return key;
}

using Member = std::variant<bool Settings::*, int32_t Settings::*, std::string Settings::*,
                            PathList Settings::*>;

// One stored value: its name, the member it holds, and its place in the two
// orders the values are read and written in.
struct StoredValue {
  std::string_view name;
  Member member;
  int load_rank;
  int save_rank;
};

constexpr StoredValue kStoredValues[] = {
    {"DeleteValues", &Settings::delete_values, 0, 0},
    {"DeleteKey", &Settings::delete_keys, 1, 1},
    {"DeleteFiles", &Settings::delete_files, 2, 3},
    {"DeleteFolders", &Settings::delete_folders, 3, 2},
    {"RestoreValues", &Settings::restore_values, 4, 4},
    {"DecSharedCounter", &Settings::decrement_shared_counters, 5, 5},
    {"CreateValues", &Settings::recreate_values, 6, 7},
    {"CreateKey", &Settings::recreate_keys, 7, 6},
    {"UseRecycled", &Settings::use_recycle_bin, 8, 8},
    {"ScanHKCR", &Settings::scan_hkcr, 9, 9},
    {"ScanHKLM", &Settings::scan_hklm, 10, 10},
    {"ScanHKCU", &Settings::scan_hkcu, 11, 11},
    {"ScanHKUS", &Settings::scan_hku, 12, 12},
    {"ScanHKCC", &Settings::scan_hkcc, 13, 13},
    {"ScanWin", &Settings::scan_windows_folder, 14, 14},
    {"ScanProg", &Settings::scan_program_files, 15, 15},
    {"ScanEntire", &Settings::scan_system_partition, 16, 16},
    {"ScanOthers", &Settings::scan_other_folders, 17, 17},
    {"ScanOtherPaths", &Settings::other_folders, 18, 18},
    {"LastAppRunPath", &Settings::last_setup_folder, 19, 19},
    {"LogLevel", &Settings::log_level, 20, 20},
    {"BinaryHexa", &Settings::binary_as_hex, 21, 21},
    {"ChangesTreeFont", &Settings::tree_font_name, 22, 22},
    {"ChangesTreeFontSize", &Settings::tree_font_size, 23, 23},
    {"Viewer", &Settings::viewer, 24, 24},
    {"ExcludedFolders", &Settings::excluded_folders, 25, 28},
    {"IgnoredFiles", &Settings::ignored_files, 26, 29},
    {"IgnoredKeys", &Settings::ignored_keys, 27, 30},
    {"Language", &Settings::language, 28, 25},
    {"AutoDelCvn", &Settings::delete_archive_after_uninstall, 29, 26},
    {"ShowBckgrd", &Settings::show_background, 30, 27},
    {"DeleteChanged", &Settings::delete_changed, 31, 31},
    {"BackupDays", &Settings::backup_days, 32, 32},
    {"BackupMaxSize", &Settings::backup_max_megabytes, 33, 33},
};

// Read when stored, never written: a switch set by hand.
constexpr StoredValue kBulkRegistryRead = {"BulkRegistryRead", &Settings::bulk_registry_read, 0, 0};

// The table's rows sorted by one of the two ranks.
std::vector<const StoredValue*> InOrder(int StoredValue::*rank) {
  std::vector<const StoredValue*> rows;
  for (const StoredValue& row : kStoredValues) rows.push_back(&row);
  std::sort(rows.begin(), rows.end(),
            [rank](const StoredValue* a, const StoredValue* b) { return a->*rank < b->*rank; });
  return rows;
}

// Reads one stored value into its member; a missing value leaves it alone.
void ReadValue(Registry& registry, RegKey& key, const StoredValue& row, Settings& s) {
  RegValue value;
  if (!Query(registry, key, row.name, &value)) return;
  const std::string name(row.name);
  std::visit(
      [&](auto member) {
        auto& field = s.*member;
        using Field = std::remove_reference_t<decltype(field)>;
        if constexpr (std::is_same_v<Field, bool>) {
          field = DwordOf(value, name) != 0;
        } else if constexpr (std::is_same_v<Field, int32_t>) {
          field = static_cast<int32_t>(DwordOf(value, name));
        } else if constexpr (std::is_same_v<Field, std::string>) {
          if (!platform::regtype::IsText(value.type) || value.type == platform::regtype::kMultiSz)
            throw SettingsError(name);
          field = platform::DataAsText(value.data);
        } else {
          // Lists accept any type: the bytes are the list's text.
          field.SetText(std::string_view(reinterpret_cast<const char*>(value.data.data()),
                                         value.data.size()));
        }
      },
      row.member);
}

// Writes one member as its stored value; false when the write failed.
bool WriteValue(Registry& registry, RegKey& key, const StoredValue& row, const Settings& s) {
  return std::visit(
      [&](auto member) {
        const auto& field = s.*member;
        using Field = std::remove_cvref_t<decltype(field)>;
        if constexpr (std::is_same_v<Field, bool>) {
          return platform::SetDword(registry, key, row.name, field ? 1 : 0).ok();
        } else if constexpr (std::is_same_v<Field, int32_t>) {
          return platform::SetDword(registry, key, row.name, static_cast<uint32_t>(field)).ok();
        } else if constexpr (std::is_same_v<Field, std::string>) {
          return platform::SetString(registry, key, row.name, field).ok();
        } else {
          // The program folder stays in memory but is never stored.
          PathList stored = field;
          if (row.member == Member(&Settings::excluded_folders) && !s.program_folder.empty())
            stored.Remove(s.program_folder);
          return WriteList(registry, key, row.name, stored);
        }
      },
      row.member);
}

}  // namespace

void LoadSettings(Registry& registry, Settings& s) {
  std::unique_ptr<RegKey> key = OpenOrCreate(registry, kSettingsKey);
  if (!key) return;
  for (const StoredValue* row : InOrder(&StoredValue::load_rank)) {
    ReadValue(registry, *key, *row, s);
    // The program's own folder is never scanned, whatever the stored list says.
    if (row->member == Member(&Settings::excluded_folders) && !s.program_folder.empty())
      s.excluded_folders.Add(s.program_folder);
  }
  ReadValue(registry, *key, kBulkRegistryRead, s);
}

bool SaveSettings(Registry& registry, const Settings& s) {
  std::unique_ptr<RegKey> key = OpenOrCreate(registry, kSettingsKey);
  if (!key) return false;
  bool ok = true;
  for (const StoredValue* row : InOrder(&StoredValue::save_rank))
    ok &= WriteValue(registry, *key, *row, s);
  return ok;
}

// ---- Window placement and column widths ----

std::string PlacementKeyPath(std::string_view app_title, std::string_view window_class) {
  std::string path = "Software\\Helmwick";
  if (!app_title.empty()) path += "\\" + std::string(app_title);
  path += "\\";
  if (window_class.size() > 4) path += window_class.substr(4);
  return path;
}

namespace {

// An integer value when it exists as a REG_DWORD; anything else is skipped.
std::optional<int32_t> QueryInt(Registry& registry, RegKey& key, std::string_view name) {
  RegValue value;
  if (!Query(registry, key, name, &value)) return std::nullopt;
  if (value.type != platform::regtype::kDword || value.data.size() != 4) return std::nullopt;
  int32_t n;
  std::memcpy(&n, value.data.data(), 4);
  return n;
}

}  // namespace

std::optional<WindowPlacement> LoadWindowPlacement(Registry& registry, std::string_view key_path) {
  std::unique_ptr<RegKey> key;
  if (!registry.OpenKey(RootKey::kCurrentUser, key_path, KeyAccess::kRead, &key).ok())
    return std::nullopt;
  WindowPlacement placement;
  if (std::optional<int32_t> maximized = QueryInt(registry, *key, "Maximized");
      maximized && *maximized) {
    placement.maximized = true;
    return placement;
  }
  placement.width = QueryInt(registry, *key, "Width");
  placement.height = QueryInt(registry, *key, "Height");
  placement.left = QueryInt(registry, *key, "Left");
  placement.top = QueryInt(registry, *key, "Top");
  return placement;
}

bool SaveWindowPlacement(Registry& registry, std::string_view key_path,
                         const WindowPlacement& placement) {
  std::unique_ptr<RegKey> key = OpenOrCreate(registry, key_path);
  if (!key) return false;
  bool ok = platform::SetDword(registry, *key, "Maximized", placement.maximized ? 1 : 0).ok();
  if (placement.maximized) return ok;
  auto put = [&](std::string_view name, const std::optional<int32_t>& v) {
    if (v) ok &= platform::SetDword(registry, *key, name, static_cast<uint32_t>(*v)).ok();
  };
  put("Width", placement.width);
  put("Height", placement.height);
  put("Left", placement.left);
  put("Top", placement.top);
  return ok;
}

ColumnWidths LoadColumnWidths(Registry& registry) {
  ColumnWidths widths;
  std::unique_ptr<RegKey> key;
  if (!registry.OpenKey(RootKey::kCurrentUser, kSettingsKey, KeyAccess::kRead, &key).ok())
    return widths;
  widths.change = QueryInt(registry, *key, "ChangeColumn");
  widths.before = QueryInt(registry, *key, "BeforeColumn");
  return widths;
}

bool SaveColumnWidths(Registry& registry, int32_t change, int32_t before) {
  std::unique_ptr<RegKey> key = OpenOrCreate(registry, kSettingsKey);
  if (!key) return false;
  return platform::SetDword(registry, *key, "ChangeColumn", static_cast<uint32_t>(change)).ok() &
         platform::SetDword(registry, *key, "BeforeColumn", static_cast<uint32_t>(before)).ok();
}

// ---- The list of monitored applications ----

namespace {

std::string SubkeyPath(std::string_view subkey) {
  return std::string(kSettingsKey) + "\\" + std::string(subkey);
}

// "1,0,2" for {1, 0, 2}.
std::string JoinNumbers(const std::vector<int32_t>& numbers) {
  std::string text;
  for (const int32_t n : numbers) {
    if (!text.empty()) text += ',';
    text += std::to_string(n);
  }
  return text;
}

// The integers of "1,0,2"; empty when the text is anything else.
std::vector<int32_t> SplitNumbers(std::string_view text) {
  std::vector<int32_t> numbers;
  while (!text.empty()) {
    const size_t comma = std::min(text.find(','), text.size());
    const std::string_view item = text.substr(0, comma);
    int32_t n = 0;
    const auto [end, error] = std::from_chars(item.data(), item.data() + item.size(), n);
    if (item.empty() || error != std::errc() || end != item.data() + item.size()) return {};
    numbers.push_back(n);
    // A trailing comma is a missing number.
    if (comma == text.size()) break;
    text.remove_prefix(comma + 1);
    if (text.empty()) return {};
  }
  return numbers;
}

std::vector<int32_t> QueryNumbers(Registry& registry, RegKey& key, std::string_view name) {
  RegValue value;
  if (!Query(registry, key, name, &value) || !platform::regtype::IsText(value.type)) return {};
  return SplitNumbers(platform::DataAsText(value.data));
}

}  // namespace

std::optional<ListSort> LoadListSort(Registry& registry) {
  std::unique_ptr<RegKey> key;
  if (!registry.OpenKey(RootKey::kCurrentUser, SubkeyPath("Sort"), KeyAccess::kRead, &key).ok())
    return std::nullopt;
  const std::optional<int32_t> column = QueryInt(registry, *key, "SortCol");
  const std::optional<int32_t> ascending = QueryInt(registry, *key, "Ascending");
  if (!column || !ascending) return std::nullopt;
  return ListSort{*column, *ascending != 0};
}

bool SaveListSort(Registry& registry, const ListSort& sort) {
  std::unique_ptr<RegKey> key = OpenOrCreate(registry, SubkeyPath("Sort"));
  if (!key) return false;
  return platform::SetDword(registry, *key, "SortCol", static_cast<uint32_t>(sort.column)).ok() &
         platform::SetDword(registry, *key, "Ascending", sort.ascending ? 1 : 0).ok();
}

ListColumns LoadListColumns(Registry& registry) {
  ListColumns columns;
  std::unique_ptr<RegKey> key;
  if (!registry.OpenKey(RootKey::kCurrentUser, SubkeyPath("Columns"), KeyAccess::kRead, &key).ok())
    return columns;
  columns.order = QueryNumbers(registry, *key, "Order");
  columns.sizes = QueryNumbers(registry, *key, "Sizes");
  return columns;
}

bool SaveListColumns(Registry& registry, const ListColumns& columns) {
  std::unique_ptr<RegKey> key = OpenOrCreate(registry, SubkeyPath("Columns"));
  if (!key) return false;
  return platform::SetString(registry, *key, "Order", JoinNumbers(columns.order)).ok() &
         platform::SetString(registry, *key, "Sizes", JoinNumbers(columns.sizes)).ok();
}

}  // namespace cvn::settings

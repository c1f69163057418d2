#include "settings/settings.h"

#include <algorithm>
#include <cstring>

#include "platform/text.h"

namespace cvn::settings {

using platform::KeyAccess;
using platform::RegKey;
using platform::Registry;
using platform::RegValue;
using platform::RootKey;

// ---- PathList ----

bool PathList::Add(std::string_view entry) {
  auto it = std::lower_bound(entries_.begin(), entries_.end(), entry,
                             [](const std::string& a, std::string_view b) {
                               return text::CompareNoCase(a, b) < 0;
                             });
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

void ReadBool(Registry& registry, RegKey& key, std::string_view name, bool& out) {
  RegValue value;
  if (Query(registry, key, name, &value)) out = DwordOf(value, name) != 0;
}

void ReadInt(Registry& registry, RegKey& key, std::string_view name, int32_t& out) {
  RegValue value;
  if (Query(registry, key, name, &value)) out = static_cast<int32_t>(DwordOf(value, name));
}

void ReadString(Registry& registry, RegKey& key, std::string_view name, std::string& out) {
  RegValue value;
  if (!Query(registry, key, name, &value)) return;
  if (!platform::regtype::IsText(value.type) || value.type == platform::regtype::kMultiSz)
    throw SettingsError(std::string(name));
  out = platform::DataAsText(value.data);
}

// Lists accept any type: the bytes are the list's text.
bool ReadList(Registry& registry, RegKey& key, std::string_view name, PathList& out) {
  RegValue value;
  if (!Query(registry, key, name, &value)) return false;
  out.SetText(std::string_view(reinterpret_cast<const char*>(value.data.data()), value.data.size()));
  return true;
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

}  // namespace

void LoadSettings(Registry& registry, Settings& s) {
  std::unique_ptr<RegKey> key = OpenOrCreate(registry, kSettingsKey);
  if (!key) return;
  RegKey& k = *key;
  ReadBool(registry, k, "DeleteValues", s.DeleteValues);
  ReadBool(registry, k, "DeleteKey", s.DeleteKey);
  ReadBool(registry, k, "DeleteFiles", s.DeleteFiles);
  ReadBool(registry, k, "DeleteFolders", s.DeleteFolders);
  ReadBool(registry, k, "RestoreValues", s.RestoreValues);
  ReadBool(registry, k, "DecSharedCounter", s.DecSharedCounter);
  ReadBool(registry, k, "CreateValues", s.CreateValues);
  ReadBool(registry, k, "CreateKey", s.CreateKey);
  ReadBool(registry, k, "UseRecycled", s.UseRecycled);
  ReadBool(registry, k, "ScanHKCR", s.ScanHKCR);
  ReadBool(registry, k, "ScanHKLM", s.ScanHKLM);
  ReadBool(registry, k, "ScanHKCU", s.ScanHKCU);
  ReadBool(registry, k, "ScanHKUS", s.ScanHKUS);
  ReadBool(registry, k, "ScanHKCC", s.ScanHKCC);
  ReadBool(registry, k, "ScanWin", s.ScanWin);
  ReadBool(registry, k, "ScanProg", s.ScanProg);
  ReadBool(registry, k, "ScanEntire", s.ScanEntire);
  ReadBool(registry, k, "ScanOthers", s.ScanOthers);
  ReadString(registry, k, "ScanOtherPaths", s.ScanOtherPaths);
  ReadString(registry, k, "LastAppRunPath", s.LastAppRunPath);
  ReadInt(registry, k, "LogLevel", s.LogLevel);
  ReadBool(registry, k, "BinaryHexa", s.BinaryHexa);
  ReadString(registry, k, "ChangesTreeFont", s.ChangesTreeFont);
  ReadInt(registry, k, "ChangesTreeFontSize", s.ChangesTreeFontSize);
  ReadString(registry, k, "Viewer", s.Viewer);
  ReadList(registry, k, "ExcludedFolders", s.ExcludedFolders);
  // The program's own folder is never scanned, whatever the stored list says.
  if (!s.ProgramFolder.empty()) s.ExcludedFolders.Add(s.ProgramFolder);
  ReadList(registry, k, "IgnoredFiles", s.IgnoredFiles);
  ReadList(registry, k, "IgnoredKeys", s.IgnoredKeys);
  ReadString(registry, k, "Language", s.Language);
  ReadBool(registry, k, "AutoDelCvn", s.AutoDelCvn);
  ReadBool(registry, k, "ShowBckgrd", s.ShowBckgrd);
}

bool SaveSettings(Registry& registry, const Settings& s) {
  std::unique_ptr<RegKey> key = OpenOrCreate(registry, kSettingsKey);
  if (!key) return false;
  RegKey& k = *key;
  bool ok = true;
  auto put_bool = [&](std::string_view name, bool v) {
    ok &= platform::SetDword(registry, k, name, v ? 1 : 0).ok();
  };
  auto put_int = [&](std::string_view name, int32_t v) {
    ok &= platform::SetDword(registry, k, name, static_cast<uint32_t>(v)).ok();
  };
  auto put_string = [&](std::string_view name, const std::string& v) {
    ok &= platform::SetString(registry, k, name, v).ok();
  };
  put_bool("DeleteValues", s.DeleteValues);
  put_bool("DeleteKey", s.DeleteKey);
  put_bool("DeleteFolders", s.DeleteFolders);
  put_bool("DeleteFiles", s.DeleteFiles);
  put_bool("RestoreValues", s.RestoreValues);
  put_bool("DecSharedCounter", s.DecSharedCounter);
  put_bool("CreateKey", s.CreateKey);
  put_bool("CreateValues", s.CreateValues);
  put_bool("UseRecycled", s.UseRecycled);
  put_bool("ScanHKCR", s.ScanHKCR);
  put_bool("ScanHKLM", s.ScanHKLM);
  put_bool("ScanHKCU", s.ScanHKCU);
  put_bool("ScanHKUS", s.ScanHKUS);
  put_bool("ScanHKCC", s.ScanHKCC);
  put_bool("ScanWin", s.ScanWin);
  put_bool("ScanProg", s.ScanProg);
  put_bool("ScanEntire", s.ScanEntire);
  put_bool("ScanOthers", s.ScanOthers);
  put_string("ScanOtherPaths", s.ScanOtherPaths);
  put_string("LastAppRunPath", s.LastAppRunPath);
  put_int("LogLevel", s.LogLevel);
  put_bool("BinaryHexa", s.BinaryHexa);
  put_string("ChangesTreeFont", s.ChangesTreeFont);
  put_int("ChangesTreeFontSize", s.ChangesTreeFontSize);
  put_string("Viewer", s.Viewer);
  put_string("Language", s.Language);
  put_bool("AutoDelCvn", s.AutoDelCvn);
  put_bool("ShowBckgrd", s.ShowBckgrd);
  // The program folder stays in memory but is never stored.
  PathList stored_excluded = s.ExcludedFolders;
  if (!s.ProgramFolder.empty()) stored_excluded.Remove(s.ProgramFolder);
  ok &= WriteList(registry, k, "ExcludedFolders", stored_excluded);
  ok &= WriteList(registry, k, "IgnoredFiles", s.IgnoredFiles);
  ok &= WriteList(registry, k, "IgnoredKeys", s.IgnoredKeys);
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
  if (std::optional<int32_t> maximized = QueryInt(registry, *key, "Maximized"); maximized && *maximized) {
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

}  // namespace cvn::settings

#include "monitoring/scan_targets.h"

#include <array>

#include "engine/snapshot/registry_scanner.h"
#include "platform/text.h"

namespace cvn::monitoring {

namespace {

constexpr std::string_view kTargetsPrefix = "Targets=";

std::string_view Trim(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

// The setting of the hive named `name`; null when it names none.
bool settings::Settings::*HiveSetting(std::string_view name) {
  for (const snapshot::Hive& hive : snapshot::kHives) {
    const bool short_name = text::EqualsNoCaseAscii(name, hive.base_name) ||
                            (hive.base_name == "HKUS" && text::EqualsNoCaseAscii(name, "HKU"));
    if (short_name || text::EqualsNoCaseAscii(name, platform::RootKeyName(hive.root)))
      return hive.setting;
  }
  return nullptr;
}

// "C:\..." or "\\server\share...".
bool IsAbsoluteFolder(std::string_view path) {
  return (path.size() >= 3 && path[1] == ':' && path[2] == '\\') || path.starts_with("\\\\");
}

}  // namespace

std::string ApplyTargetList(std::string_view list, settings::Settings& settings) {
  settings::Settings chosen = settings;
  for (const snapshot::Hive& hive : snapshot::kHives) chosen.*hive.setting = false;
  chosen.scan_windows_folder = chosen.scan_program_files = chosen.scan_system_partition = false;
  chosen.other_folders.clear();
  for (size_t start = 0;;) {
    const size_t cut = list.find(',', start);
    const std::string_view item = Trim(list.substr(start, cut - start));
    if (item.empty()) return "an empty target in the list '" + std::string(list) + "'";
    if (bool settings::Settings::*setting = HiveSetting(item)) {
      chosen.*setting = true;
    } else if (!IsAbsoluteFolder(item) || item.find(';') != std::string_view::npos) {
      return "'" + std::string(item) + "' is neither a hive nor a full folder path";
    } else {
      if (!chosen.other_folders.empty()) chosen.other_folders += ';';
      chosen.other_folders += item;
    }
    if (cut == std::string_view::npos) break;
    start = cut + 1;
  }
  chosen.scan_other_folders = !chosen.other_folders.empty();
  settings = std::move(chosen);
  return {};
}

std::string FormatContinuation(const Continuation& continuation) {
  std::string text = continuation.identifier + "\r\n";
  if (!continuation.targets.empty())
    text += std::string(kTargetsPrefix) + continuation.targets + "\r\n";
  return text;
}

std::optional<Continuation> ParseContinuation(std::string_view text) {
  const size_t first_end = text.find_first_of("\r\n");
  Continuation continuation{std::string(text.substr(0, first_end)), {}};
  if (continuation.identifier.empty()) return std::nullopt;
  if (first_end != std::string_view::npos) {
    std::string_view rest = text.substr(first_end);
    while (!rest.empty() && (rest.front() == '\r' || rest.front() == '\n')) rest.remove_prefix(1);
    const std::string_view second = rest.substr(0, rest.find_first_of("\r\n"));
    if (second.starts_with(kTargetsPrefix))
      continuation.targets = std::string(second.substr(kTargetsPrefix.size()));
  }
  return continuation;
}

}  // namespace cvn::monitoring

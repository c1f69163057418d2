// Targets given for one monitoring instead of the stored ones, and the
// continuation file that keeps them, with the monitoring's identifier, until
// the second scan: both scans must read exactly the same places, or what one
// of them did not read would show as created or deleted.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "settings/settings.h"

namespace cvn::monitoring {

// Makes the targets of `list` the only ones in `settings`. The list holds
// hives and absolute folder paths separated by commas, such as
// "HKLM,HKCU,C:\Program Files,D:\Tools"; a hive by its short name (HKCR,
// HKLM, HKU, HKCU, HKCC) or its full one (HKEY_LOCAL_MACHINE...), in any
// letter case. Returns what is wrong with the list, or "" when it was applied;
// `settings` is unchanged on an error.
std::string ApplyTargetList(std::string_view list, settings::Settings& settings);

// The pending monitoring, as "Continue.dat" holds it: the identifier on the
// first line, then "Targets=" and the target list when the monitoring has
// targets of its own. Lines end with CR LF.
struct Continuation {
  std::string identifier;
  std::string targets;  // empty: the stored targets
};
std::string FormatContinuation(const Continuation& continuation);
// Empty when the text has no identifier.
std::optional<Continuation> ParseContinuation(std::string_view text);

}  // namespace cvn::monitoring

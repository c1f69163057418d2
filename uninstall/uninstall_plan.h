// The dry run of an uninstall: what it would do, listed and not done.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "changes/change_tree.h"
#include "engine/threads/worker_context.h"
#include "settings/settings.h"
#include "uninstall/uninstaller.h"

namespace cvn::uninstall {

// The actions an uninstall of the checked changes of `tree` would take
// now, in order, as the item texts of the log lines a real run writes
// ("DELETING FILE: C:\App\a.txt"). The engine runs on a read-only view of
// the platform, without a backup and without asking anything, so nothing
// changes. `counts` are the loaded change counts. Main thread: runs the
// engine on a worker and waits for it.
std::vector<std::string> ListUninstallActions(const settings::Settings& settings,
                                              const threads::LoadedChangeCounts& counts,
                                              const changes::ChangeTree& tree,
                                              UninstallPlatform platform,
                                              std::string_view program_folder,
                                              const std::string& identifier);

// The item text of a log line: what comes before its result.
std::string ItemOfLogLine(std::string_view line);

}  // namespace cvn::uninstall

// The text export of the changes tree: the whole tree or one branch, with a
// marker word before every change, one group header per key or folder, and
// CR LF line ends. Every cell text comes from the view (changes_view.h), so
// the file shows what the tree shows.
#pragma once

#include <string>
#include <string_view>

#include "changes/change_tree.h"
#include "platform/filesystem.h"
#include "platform/status.h"

namespace cvn::changes {

struct ExportOptions {
  std::string identifier;  // the monitored application, for the title line
  std::string date_time;   // the current date and time as the user reads them
  bool hex = false;        // binary data as hexadecimal digits
};

// The export text of the branch at `start`; kNoNode (or the top) for the
// whole tree. Nodes are initialised on the way, as a view would before
// showing their children, so the order is the one the tree shows.
std::string ExportChangesText(ChangeTree& tree, NodeId start, const ExportOptions& options);

// Writes the export text to `file_name`, created or replaced. The status is
// the file system's when the file cannot be written.
platform::Status ExportChanges(platform::FileSystem& fs, ChangeTree& tree, NodeId start,
                               std::string_view file_name, const ExportOptions& options);

}  // namespace cvn::changes

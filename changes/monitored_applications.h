// The monitored applications: one per changes archive "<identifier>.cvn" in
// the program folder, with what its header says. The list is read from the
// folder each time; there is no catalogue besides the files.
//
// Everything here runs on the calling thread and keeps no state between
// calls; the window's list (ui/monitored_list_view.h) and corvane-cli's
// `list` show what these functions give.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "changes/changes_archive.h"
#include "platform/filesystem.h"
#include "platform/locale.h"
#include "platform/status.h"

namespace cvn::changes {

struct MonitoredApplication {
  std::string identifier;  // the file name without ".cvn"
  double created = 0.0;
  double last_used = 0.0;  // 0.0 until the first uninstall
  uint32_t uses = 0;
  // False when the archive could not be opened or was refused: the dates
  // and the count are then 0.
  bool readable = true;

  friend bool operator==(const MonitoredApplication&, const MonitoredApplication&) = default;
};

// The list's columns, in their order.
enum MonitoredColumn : int {
  kColumnName = 0,
  kColumnCreated = 1,
  kColumnLastUsed = 2,
  kColumnUses = 3,
};
inline constexpr int kMonitoredColumnCount = 4;

// Every archive in `program_folder`, in the order the folder lists them:
// files whose name ends in ".cvn" (any case) with something before it, that
// are neither folders nor hidden nor system files. An archive that cannot be
// opened is listed all the same, as not readable. A folder that cannot be
// listed gives an empty list, and *listing (when given) says why.
std::vector<MonitoredApplication> ListMonitoredApplications(platform::FileSystem& fs,
                                                            std::string_view program_folder,
                                                            const Clock& clock,
                                                            platform::Status* listing = nullptr);

struct MonitoredSort {
  int column = kColumnName;  // 0 to 3
  bool ascending = true;
  friend bool operator==(const MonitoredSort&, const MonitoredSort&) = default;
};

// `applications` ordered by one column: names as the user's locale orders
// them without regard to case, dates and uses by value. Equal entries keep
// the order they had, in either direction. A column outside 0 to 3 leaves
// the order as it is.
std::vector<MonitoredApplication> SortMonitoredApplications(
    std::vector<MonitoredApplication> applications, MonitoredSort sort);

// The text of one column: the identifier; the dates in the user's short
// date and long time ("Last used" empty when never used); the uses in
// decimal. An archive that is not readable shows only its name, and in the
// "Created" column the translated word for a damaged archive.
std::string ColumnText(const MonitoredApplication& application, int column,
                       const platform::DateTimeFormat& format);

// The archive's file in the program folder.
std::string ArchivePath(std::string_view program_folder, std::string_view identifier);

// Renames "<from>.cvn" to "<to>.cvn" in the program folder. kAlreadyExists
// when another archive has that name (a name differing only in case is the
// same file and may be renamed); kInvalid, with nothing done, for an empty
// name or one holding a character a file name may not hold (so a name
// cannot reach another folder); otherwise what the file system says.
platform::Status RenameMonitoredApplication(platform::FileSystem& fs,
                                            std::string_view program_folder, std::string_view from,
                                            std::string_view to);

// Deletes "<identifier>.cvn" from the program folder; a read-only file or
// one in use fails (kAccessDenied).
platform::Status DeleteMonitoredApplication(platform::FileSystem& fs,
                                            std::string_view program_folder,
                                            std::string_view identifier);

}  // namespace cvn::changes

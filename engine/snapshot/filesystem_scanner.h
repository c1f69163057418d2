// The file-system scanner: records every folder and file below the chosen
// targets into the snapshot store "FIS2". Per file it records the last-write
// time and the size, per folder only its existence.
//
// Folders are listed by their absolute paths; the process's current
// directory is never changed. A folder that cannot be listed is skipped: no
// record, no message. Targets that overlap are walked once: a target inside
// another one (and not cut off from it by an excluded folder) is left out.
// A target that is missing or cannot be listed is recorded by the nearest
// folder on its way that exists, so that it shows as created when the
// installation makes it, and the folders above it never do.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/snapshot/snapshot_store.h"
#include "engine/threads/scan_control.h"
#include "platform/filesystem.h"
#include "platform/registry.h"
#include "settings/settings.h"

namespace cvn::snapshot {

// The registry key and value that name the program-files folder.
inline constexpr std::string_view kCurrentVersionKey =
    "Software\\Microsoft\\Windows\\CurrentVersion";
inline constexpr std::string_view kProgramFilesDirValue = "ProgramFilesDir";

// The program-files folder; empty when the key or the value is missing.
std::string GetProgramFilesDir(platform::Registry& registry);

// The system drive root of a Windows folder: "C:\Windows" gives "C:\".
std::string SystemDriveRoot(std::string_view windows_folder);

// The local last-write time of a file as a DOS date-time. A time the DOS form
// cannot hold is recorded as the nearest one it can: 1980-01-01 00:00:00 or
// 2107-12-31 23:59:58.
platform::DosDateTime FileDosTime(platform::FileSystem& fs, uint64_t filetime);
inline constexpr platform::DosDateTime kEarliestDosTime{0x0021, 0x0000};
inline constexpr platform::DosDateTime kLatestDosTime{0xFF9F, 0xBF7D};

// The 8 data bytes of a file record: the DOS date-time (date in the high 16
// bits) and the low 32 bits of the size, both little-endian.
std::array<uint8_t, 8> FileRecordData(platform::DosDateTime time, uint64_t size);

class FileSystemScanner {
 public:
  FileSystemScanner(platform::FileSystem& fs, platform::Registry& registry,
                    const settings::Settings& settings, threads::ScanControl& control);

  // The targets the settings choose, as absolute paths in scan order, each
  // folder once: the system partition or the Windows and program-files
  // folders, then every non-empty entry of the other folders, whether it
  // exists now or not.
  std::vector<std::string> Targets(std::string_view windows_folder);

  // Scans the targets the settings choose into a new store "FIS2" and saves
  // it in `snapshot_folder`, partial when the scan was stopped. Throws
  // SnapshotFileError when the store cannot be saved.
  void ScanFileSystem(std::string_view windows_folder, std::string_view snapshot_folder);

  // Told each target folder before it is scanned, when set.
  std::function<void(const std::string& folder)> on_target;

  // Records the contents of the folder `folder_path`, whose listing has just
  // been opened, and everything below it. An excluded folder records nothing.
  void ScanFolder(const std::string& folder_path, platform::FolderListing& listing,
                  SnapshotStore& store);

 private:
  // The listing of a folder, or null when it cannot be listed.
  std::unique_ptr<platform::FolderListing> Enter(std::string_view folder_path);
  // Scans one target, an absolute path.
  void ScanTarget(const std::string& path, SnapshotStore& store);
  // True when the walk of `outer` records everything below `inner`.
  bool Reaches(std::string_view outer, std::string_view inner) const;
  // The target as an absolute folder path without a trailing backslash (a
  // drive root keeps its backslash): the form the folder records start from.
  std::string TargetPath(std::string_view target);

  platform::FileSystem& fs_;
  platform::Registry& registry_;
  const settings::Settings& settings_;
  threads::ScanControl& control_;
};

}  // namespace cvn::snapshot

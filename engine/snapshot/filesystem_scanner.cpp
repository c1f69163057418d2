#include "engine/snapshot/filesystem_scanner.h"

#include "platform/text.h"

namespace cvn::snapshot {

namespace {

using platform::attr::kDirectory;

// "C:\" alone: the folder whose files are recorded with the path "C:".
bool IsDriveRoot(std::string_view path) {
  return path.size() == 3 && path[1] == ':' && path[2] == '\\';
}

bool IsAbsolute(std::string_view path) {
  return (path.size() >= 2 && path[1] == ':') || path.starts_with("\\\\");
}

// Midway between the two ends of the DOS range: a time that has no DOS form
// lies before 1980 when it is earlier than this, after 2107 otherwise.
constexpr uint64_t kMiddleOfDosRange = 139'376'160'000'000'000ull;  // 2042-09-01 UTC

}  // namespace

std::string GetProgramFilesDir(platform::Registry& registry) {
  std::unique_ptr<platform::RegKey> key;
  if (!registry
           .OpenKey(platform::RootKey::kLocalMachine, kCurrentVersionKey,
                    platform::KeyAccess::kRead, &key)
           .ok()) {
    return {};
  }
  platform::RegValue value;
  if (!registry.QueryValue(*key, kProgramFilesDirValue, &value).ok() ||
      !platform::regtype::IsText(value.type)) {
    return {};
  }
  return platform::DataAsText(value.data);
}

std::string SystemDriveRoot(std::string_view windows_folder) {
  return std::string(windows_folder.substr(0, 2)) + '\\';
}

platform::DosDateTime FileDosTime(platform::FileSystem& fs, uint64_t filetime) {
  if (const auto dos = fs.ToLocalDosDateTime(filetime)) return *dos;
  return filetime < kMiddleOfDosRange ? kEarliestDosTime : kLatestDosTime;
}

std::array<uint8_t, 8> FileRecordData(platform::DosDateTime time, uint64_t size) {
  const uint32_t when = static_cast<uint32_t>(time.date) << 16 | time.time;
  const uint32_t low_size = static_cast<uint32_t>(size);
  return {static_cast<uint8_t>(when),           static_cast<uint8_t>(when >> 8),
          static_cast<uint8_t>(when >> 16),     static_cast<uint8_t>(when >> 24),
          static_cast<uint8_t>(low_size),       static_cast<uint8_t>(low_size >> 8),
          static_cast<uint8_t>(low_size >> 16), static_cast<uint8_t>(low_size >> 24)};
}

FileSystemScanner::FileSystemScanner(platform::FileSystem& fs, platform::Registry& registry,
                                     const settings::Settings& settings,
                                     threads::ScanControl& control)
    : fs_(fs), registry_(registry), settings_(settings), control_(control) {}

std::unique_ptr<platform::FolderListing> FileSystemScanner::Enter(std::string_view folder_path) {
  std::unique_ptr<platform::FolderListing> listing;
  if (folder_path.empty() || !fs_.ListFolder(folder_path, &listing).ok()) return nullptr;
  return listing;
}

std::string FileSystemScanner::TargetPath(std::string_view target) {
  std::string path = IsAbsolute(target) ? std::string(target)
                     : target.starts_with('\\')
                         ? fs_.CurrentDirectory().substr(0, 2) + std::string(target)
                         : platform::JoinPath(fs_.CurrentDirectory(), target);
  while (path.size() > 3 && path.back() == '\\') path.pop_back();
  if (path.size() == 2 && path[1] == ':') path += '\\';
  return path;
}

void FileSystemScanner::ScanTarget(const std::string& path, SnapshotStore& store) {
  if (settings_.excluded_folders.Contains(path)) return;
  const auto listing = Enter(path);
  const size_t size_before = store.Bytes().size();
  if (listing != nullptr) ScanFolder(path, *listing, store);
  if (store.Bytes().size() != size_before || control_.Terminated()) return;
  // A target's path reaches the snapshot through its first record. One
  // without records (empty, missing, not listable) records the nearest
  // folder on its way that exists: both scans then know the folders leading
  // to it, and when the installation creates the target, the target is
  // what shows as created, never a folder that was there before.
  std::string known = path;
  while (!platform::IsFolder(fs_, known)) {
    const size_t cut = known.rfind('\\');
    // A drive or a share that is not there.
    if (IsDriveRoot(known) || cut == std::string::npos || cut < 2) return;
    known = cut == 2 ? known.substr(0, 3) : known.substr(0, cut);
  }
  // A drive root is recorded as its files are, by the drive alone.
  store.Add(IsDriveRoot(known) ? known.substr(0, 2) : known, "", {}, 0, flags::kContainer);
}

bool FileSystemScanner::Reaches(std::string_view outer, std::string_view inner) const {
  if (inner.size() < outer.size() || !text::EqualsNoCase(inner.substr(0, outer.size()), outer))
    return false;
  if (inner.size() > outer.size() && !outer.ends_with('\\') && inner[outer.size()] != '\\')
    return false;  // C:\Temp2 is not inside C:\Temp
  // An excluded folder on the way, the outer target included, stops its walk.
  if (settings_.excluded_folders.Contains(outer)) return false;
  for (size_t cut = inner.find('\\', outer.size() + 1); cut != std::string_view::npos;
       cut = inner.find('\\', cut + 1)) {
    if (settings_.excluded_folders.Contains(inner.substr(0, cut))) return false;
  }
  return inner.size() == outer.size() || !settings_.excluded_folders.Contains(inner);
}

std::vector<std::string> FileSystemScanner::Targets(std::string_view windows_folder) {
  std::vector<std::string> chosen;
  auto choose = [&](std::string_view target) {
    if (!target.empty()) chosen.push_back(TargetPath(target));
  };
  if (settings_.scan_system_partition) {
    choose(SystemDriveRoot(windows_folder));
  } else {
    if (settings_.scan_windows_folder) choose(windows_folder);
    if (settings_.scan_program_files) choose(GetProgramFilesDir(registry_));
  }
  if (settings_.scan_other_folders) {
    // Every entry is a target, usable or not: a folder missing before the
    // installation may be there after it, and both scans must read the
    // same places.
    std::string_view rest = settings_.other_folders;
    for (;;) {
      const size_t cut = rest.find(';');
      choose(rest.substr(0, cut));
      if (cut == std::string_view::npos) break;
      rest.remove_prefix(cut + 1);
    }
  }
  // A target another one reaches is left out; of two equal ones, the later.
  std::vector<std::string> targets;
  for (size_t i = 0; i < chosen.size(); ++i) {
    bool reached = false;
    for (size_t j = 0; j < chosen.size() && !reached; ++j) {
      const bool equal = chosen[i].size() == chosen[j].size();
      reached = i != j && (!equal || j < i) && Reaches(chosen[j], chosen[i]);
    }
    if (!reached) targets.push_back(chosen[i]);
  }
  return targets;
}

void FileSystemScanner::ScanFileSystem(std::string_view windows_folder,
                                       std::string_view snapshot_folder) {
  SnapshotStore store = SnapshotStore::CreateNew(fs_, snapshot_folder, kFileSystemAfter);
  for (const std::string& target : Targets(windows_folder)) {
    if (control_.Terminated()) break;
    if (on_target) on_target(target);
    ScanTarget(target, store);
  }
  store.Save();
}

void FileSystemScanner::ScanFolder(const std::string& folder_path, platform::FolderListing& listing,
                                   SnapshotStore& store) {
  if (settings_.excluded_folders.Contains(folder_path)) return;
  const std::string file_path = IsDriveRoot(folder_path) ? folder_path.substr(0, 2) : folder_path;

  platform::FindEntry entry;
  bool have = listing.Next(&entry).ok();
  // Only the first two entries can be the folder itself and its parent.
  if (have && entry.name == ".") have = listing.Next(&entry).ok();
  if (have && entry.name == "..") have = listing.Next(&entry).ok();

  while (have && !control_.Terminated()) {
    if (entry.attributes & kDirectory) {
      const std::string child = platform::JoinPath(folder_path, entry.name);
      if (const auto child_listing = Enter(child)) {
        store.Add(child, "", {}, 0, flags::kContainer);
        ScanFolder(child, *child_listing, store);
      }
    } else {
      const auto data = FileRecordData(FileDosTime(fs_, entry.last_write), entry.size);
      store.Add(file_path, entry.name, data, kFileRecordValue, 0);
    }
    control_.CheckPause();
    have = listing.Next(&entry).ok();
  }
}

}  // namespace cvn::snapshot

// The backup of an uninstall run, which is also its journal.
//
// Every run gets a folder "<program folder>\Backups\<identifier>\<time>"
// holding "manifest.txt" and the files the run removed. Before an action
// removes or overwrites anything, one line describing what is there now is
// appended to the manifest and flushed to the disk; the action follows, and
// a "done" line after it (written with the next line, since a lost one only
// makes the action be put back and done again). A file is moved into the folder instead of being
// deleted (a rename on the same volume); registry data is written into the
// line itself. The run ends with an "end" line.
//
// Putting a run back reads the lines from the last to the first and brings
// back what each found, so an uninstall can be undone whole, and a run cut
// short by a crash can be rolled back, or finished: its actions that did
// not report done are rolled back and the uninstall runs again. Every step
// of putting back is harmless when repeated.
//
// Not thread-safe: one run writes its backup from one thread.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/filesystem.h"
#include "platform/registry.h"

namespace cvn::uninstall {

inline constexpr std::string_view kBackupsFolder = "Backups";
inline constexpr std::string_view kManifestName = "manifest.txt";

// What one action found before it ran.
enum class EntryKind : uint8_t {
  kFile,     // a file moved or copied into the backup
  kFolder,   // an empty folder removed
  kValue,    // a value deleted or overwritten: its type and data
  kNoValue,  // a value written where there was none
  kKey,      // a key deleted, with the values it held
  kNewKey,   // a key created, with the first of its keys that did not exist
  kCounter,  // a shared-file counter given back: its old data and the new count
};

struct JournalEntry {
  uint32_t number = 0;
  EntryKind kind = EntryKind::kFile;
  bool done = false;
  std::string path;         // files and folders: the full path
  uint32_t attributes = 0;  // files: the attributes they had
  std::string stored;       // files: the name inside the backup folder
  uint32_t root = 0;        // registry: the root key's handle value
  std::string key;          // below the root
  std::string name;         // the value's name
  uint32_t type = 0;
  std::vector<uint8_t> data;
  std::vector<platform::RegValue> values;  // kKey
  std::string first_new_key;               // kNewKey, below the root
  int64_t count = 0;                       // kCounter: the count written
};

struct Journal {
  std::string identifier;
  std::vector<JournalEntry> entries;
  bool finished = false;  // the run reached its end
};

// "<program folder>\Backups\<identifier>".
std::string BackupsOf(std::string_view program_folder, std::string_view identifier);

// Reads the manifest of the backup in `folder`. A last line cut short (a
// power cut while it was written) is left out. False when there is no
// readable manifest.
bool ReadJournal(platform::FileSystem& fs, std::string_view folder, Journal* journal);

// Writes the backup of one run.
class UninstallBackup {
 public:
  // Makes a new backup folder for `identifier`, named after `now` (an
  // archive date); empty when it cannot be made.
  static std::unique_ptr<UninstallBackup> Create(platform::FileSystem& fs,
                                                 std::string_view program_folder,
                                                 std::string_view identifier, double now);
  // Goes on writing the backup of an interrupted run in `folder`, whose
  // journal is `journal`.
  static std::unique_ptr<UninstallBackup> Continue(platform::FileSystem& fs, std::string folder,
                                                   const Journal& journal);

  const std::string& Folder() const { return folder_; }
  // True once anything has been recorded.
  bool HasEntries() const { return next_ > 1 || continued_; }

  // Each Save* writes its entry ahead of the action and returns its
  // number, or nothing when it could not be written: the action must not
  // run then. Done(number) follows a successful action.

  // Moves the file into the backup: this is its deletion. With `keep`,
  // leaves it in place and gives the backup a second name for it (a hard
  // link), or a copy where there can be none: a file the Recycle Bin then
  // takes. Fails, with the file left where it was, as the move or copy does.
  platform::Status SaveFile(std::string_view path, uint32_t attributes, bool keep,
                            uint32_t* number);
  // SaveFile in two steps, for many files at once: the entries of all of
  // them (within HoldEntries), then each file, stored as SaveFile stores it.
  // With a `fingerprint`, only a file whose content still has that digest
  // is stored: one that differs stays as it is, *changed is set and the
  // call succeeds.
  std::optional<uint32_t> SaveFileEntry(std::string_view path, uint32_t attributes);
  platform::Status StoreFile(uint32_t number, std::string_view path, bool keep,
                             const platform::Sha256Digest* fingerprint = nullptr,
                             bool* changed = nullptr);
  std::optional<uint32_t> SaveFolder(std::string_view path);
  // `current` is the value there now, or null when there is none.
  std::optional<uint32_t> SaveValue(uint32_t root, std::string_view key, std::string_view name,
                                    const platform::RegValue* current);
  std::optional<uint32_t> SaveKey(uint32_t root, std::string_view key,
                                  const std::vector<platform::RegValue>& values);
  std::optional<uint32_t> SaveNewKey(uint32_t root, std::string_view key,
                                     std::string_view first_new_key);
  std::optional<uint32_t> SaveCounter(uint32_t root, std::string_view key, std::string_view name,
                                      const platform::RegValue& current, int64_t count);
  void Done(uint32_t number);
  // Entries saved from HoldEntries on are kept back and written all at
  // once, with one flush, by WriteHeldEntries; they must not be acted on
  // before it returns true. Writing one entry per action would cost a
  // flush each.
  void HoldEntries();
  bool WriteHeldEntries();
  // The run has reached its end.
  void End();

 private:
  UninstallBackup(platform::FileSystem& fs, std::string folder);
  std::optional<uint32_t> Append(std::string line);
  // Appends whole lines to the manifest, flushed to the disk.
  bool AppendToManifest(std::string_view lines);

  platform::FileSystem& fs_;
  std::string folder_;
  std::string manifest_;
  uint32_t next_ = 1;
  bool continued_ = false;
  std::string pending_done_;  // "done" lines not yet written
  std::string made_folder_;  // the folder of stored files made last
  bool holding_ = false;
  std::string held_;  // entries held back, with their line ends
};

// What putting a backup back could not do, one line each; empty when all went back.
struct RestoreReport {
  bool found = false;  // there was a backup to put back
  std::vector<std::string> failures;
  bool ok() const { return found && failures.empty(); }
};

// Puts back every entry of `journal` (the backup in `folder`), last first.
// `only_unfinished` limits it to the entries without "done" (before a run
// is finished).
RestoreReport PutBack(platform::FileSystem& fs, platform::Registry& registry,
                      std::string_view folder, const Journal& journal, bool only_unfinished);

// The folders of the backups of `identifier`, oldest first.
std::vector<std::string> BackupFolders(platform::FileSystem& fs, std::string_view program_folder,
                                       std::string_view identifier);

// True when `identifier` has a backup that "Restore last uninstall" can put back.
bool HasUninstallBackup(platform::FileSystem& fs, std::string_view program_folder,
                        std::string_view identifier);

// Undoes the newest uninstall of `identifier`: files back to their places,
// keys and values with their data and types, counters as they were. A
// backup that went back whole is removed; one with failures stays, so the
// restore can be tried again.
RestoreReport RestoreLastUninstall(platform::FileSystem& fs, platform::Registry& registry,
                                   std::string_view program_folder, std::string_view identifier);

// Puts back every entry of the backup in `folder`, last first; removes the
// backup when all went back (rolling back an interrupted run, or undoing a
// finished one).
RestoreReport PutBackAndRemove(platform::FileSystem& fs, platform::Registry& registry,
                               std::string_view folder);

// An uninstall that a crash or a power cut interrupted.
struct UnfinishedUninstall {
  std::string identifier;
  std::string folder;  // its backup
};

// The interrupted uninstalls, for a front end to offer at start-up.
std::vector<UnfinishedUninstall> FindUnfinishedUninstalls(platform::FileSystem& fs,
                                                          std::string_view program_folder);

// Removes backups older than `days` days before `now`, then the oldest
// while all of them take more than `max_bytes`; never the newest, never
// one whose run is unfinished. Returns how many were removed.
size_t PruneBackups(platform::FileSystem& fs, std::string_view program_folder, double now,
                    int32_t days, uint64_t max_bytes);

// Deletes a folder with everything in it.
platform::Status DeleteTree(platform::FileSystem& fs, std::string_view path);

}  // namespace cvn::uninstall

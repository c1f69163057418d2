// Uninstaller: the worker that undoes the checked changes of one monitored
// application, one phase per kind of change in a fixed order, each switched
// by its setting:
//
//   1 delete created registry values     5 re-create deleted values
//   2 delete created registry keys       6 delete created files
//   3 restore changed registry values    7 give back shared-file counters
//   4 re-create deleted registry keys    7a offer unused shared files
//                                        8 remove created folders
//
// Each phase walks its branch of the changes tree, children before their
// parent, and acts on the nodes of its kind whose check state is checked;
// every other node is left alone. Every item handled makes one log line
// with a result ("Ok", a warning such as "FAILS (not found)", or an error);
// no failure stops the run. At the end the archive is stamped with one more
// use, or, when asked for and the run was complete and without errors, sent
// to the Recycle Bin.
//
// Nothing is lost: before each action that removes or overwrites anything,
// what is there is recorded in the run's backup (uninstall_backup.h), so the
// run can be undone, and a run cut short can be finished or rolled back. A
// created file whose content no longer matches the fingerprint the archive
// holds is kept, with its folders, unless DeleteChanged is on.
//
// Files, values and created keys are acted on in batches, in the tree's
// order: the backup entries of a batch are written ahead of it with one
// flush, and the files of a batch go to the Recycle Bin in one operation.
// A stop ends the run after the item in hand; the rest of its batch stays.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "changes/archive_loader.h"
#include "changes/change_tree.h"
#include "changes/changes_archive.h"
#include "engine/threads/worker_context.h"
#include "engine/threads/worker_thread.h"
#include "platform/filesystem.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "uninstall/uninstall_backup.h"
#include "uninstall/uninstall_log.h"
#include "uninstall/uninstall_view.h"

namespace cvn::uninstall {

// The platform an uninstall works on.
struct UninstallPlatform {
  platform::Registry& registry;
  platform::FileSystem& fs;
  platform::Shell& shell;
};

// The root key of a stored handle; empty for any other value.
std::optional<platform::RootKey> ToRootKey(uint32_t handle);

// Sends an existing file or folder to the Recycle Bin. True when it is gone
// afterwards; false for a path that does not exist.
bool RecycleFile(platform::FileSystem& fs, platform::Shell& shell, std::string_view path);

// `path` with the long name of each of its components; empty when it does
// not exist.
std::string ExpandLongPath(platform::FileSystem& fs, std::string_view path);

class Uninstaller : public threads::WorkerThread {
 public:
  // Main thread. Makes `identifier` the application being uninstalled
  // (CurrentIdentifier). The tree, the log, the view, the clock and the
  // platform must outlive the run; the engine frees itself after its end
  // notification.
  Uninstaller(threads::WorkerContext& context, const changes::ChangeTree& tree,
              UninstallPlatform platform, UninstallLog& log, UninstallView& view,
              const changes::Clock& clock, threads::MainThreadDispatcher& dispatcher,
              std::string identifier);

  // Main thread, before Start: no backup is made (a dry run on a read-only
  // platform, or a measurement's baseline).
  void SetBackupEnabled(bool enabled) { backup_enabled_ = enabled; }
  // Main thread, before Start: this run finishes the interrupted run whose
  // backup is in `folder`. The actions that run did not report done are
  // put back first, counters it gave back are not given back twice, and
  // this run goes on writing the same backup.
  void ContinueBackup(std::string folder) { continue_folder_ = std::move(folder); }

 protected:
  void Execute() override;

 private:
  void RunPhases();
  // The sum of the loaded counts of the kinds whose phase is on.
  uint32_t ProgressMaximum() const;
  // Runs one phase over one branch, when its setting is on and no stop came.
  void RunPhase(bool enabled, const std::string& status, changes::NodeId branch,
                changes::NodeKind kind);
  void ProcessBranch(changes::NodeId node, changes::NodeKind kind);
  // Acts on one checked node; false when it is to be left out of the log.
  bool HandleNode(const changes::ChangeRecord& data, std::string& item);

  // The key that holds the registry items being handled, opened once for
  // all of them: they follow each other, being siblings in the tree. The
  // key stays open until the phase ends.
  platform::Status OpenKeyOfItems(platform::RootKey root, std::string_view path,
                                  std::shared_ptr<platform::RegKey>* key);
  void DeleteFolder(const changes::ChangeRecord& data, std::string& item);
  bool DeleteFile(const changes::ChangeRecord& data, std::string& item);
  void DeleteKey(const changes::ChangeRecord& data, std::string& item);
  void CreateKey(const changes::ChangeRecord& data, std::string& item);
  void DeleteValue(const changes::ChangeRecord& data, std::string& item);
  void RestoreValue(const changes::ChangeRecord& data, std::string& item);
  void CreateValue(const changes::ChangeRecord& data, std::string& item);
  struct PendingChange;
  // Puts off a change of the registry to the batch (ChangeRegistryBatch).
  void PutOff(PendingChange change);
  // Writes the batch's backup entries in one flush, then makes its changes
  // in order; logs the lines held meanwhile.
  void ChangeRegistryBatch();
  void UpdateSharedCounter(const changes::ChangeRecord& data, std::string& item);

  // Shared files (shared_files.cpp).
  void BuildSharedNames();
  bool IsSharedName(std::string_view path) const;
  void RemoveUnusedShared();
  RemoveAnswer AskRemoveShared(const std::string& path);

  // Outcomes of an item: its result text and class.
  void Warn(std::string result);
  void Fail(std::string result);
  void NotFound();
  // The outcome of a platform call that did not succeed: "FAILS (not
  // found)" when the item is not there, "ERROR" otherwise (access denied
  // is a failure, not an absence).
  void NotFoundOrError(const platform::Status& status);
  // Logs `item` with the outcome set, or holds its line while a batch
  // waits, so that the log keeps the tree's order.
  void LogItem(const std::string& item);
  void AddLogLine();
  // Hands the window what it has not been shown yet (log lines and progress
  // steps): now, or once kDeliveryInterval has passed since the last time.
  void Deliver();
  void DeliverSometimes();
  // Removes the files waiting in the batch: their backup entries in one
  // write, then the files (the Recycle Bin takes them in one operation);
  // settles each one's outcome and logs the lines held meanwhile.
  void RemoveFileBatch();
  // Writes the batch's backup entries; false when they could not be
  // written and no file may go.
  bool StoreBatchInBackup();
  struct BatchOutcome;
  // Logs the lines held while a batch waited, each batched item's with
  // its outcome; items a stop kept from being tried are not logged.
  void LogHeldLines(const std::vector<BatchOutcome>& outcomes);
  void SetStatus(const std::string& text);
  void StepProgress();
  // The end of the run: the summary, the archive's deletion or its stamp.
  void Finish();

  // The backup (uninstall_backup.cpp's journal).
  void OpenBackup();
  void CloseBackup();
  // Writes an action's entry ahead of it through `save`; false when a
  // backup is wanted and cannot take it: the action must not run then.
  template <typename Save>
  bool Ahead(Save save, uint32_t* number) {
    if (!backup_enabled_) return true;
    if (!backup_) return false;
    const std::optional<uint32_t> n = save(*backup_);
    if (!n) return false;
    *number = *n;
    return true;
  }
  void Done(uint32_t number);
  // The fingerprint a created file is compared with before it goes; null
  // when it has none or changed files go too.
  const platform::Sha256Digest* FingerprintOf(const std::string& path) const;
  // True when the file's content differs from `fingerprint` (false when it
  // cannot be read: its deletion then fails and says so).
  bool ChangedSince(const std::string& path, const platform::Sha256Digest& fingerprint);
  // Notes a file kept because it changed since installation.
  void KeepChanged(const std::string& path);
  static std::string KeptChangedText();
  // True when a kept file lies in the folder `path`.
  bool HoldsKeptFile(const std::string& path) const;

  threads::WorkerContext& context_;
  const settings::Settings& settings_;
  const changes::ChangeTree& tree_;
  UninstallPlatform platform_;
  UninstallLog& log_;
  UninstallView& view_;
  const changes::Clock& clock_;

  // A hand-over to the main thread costs more than most items, so the
  // window gets the log and the progress in chunks, a few times a second.
  static constexpr std::chrono::milliseconds kDeliveryInterval{50};
  struct LogEntry {
    std::string line;
    LogClass log_class;
  };
  std::vector<LogEntry> undelivered_lines_;
  uint32_t undelivered_steps_ = 0;
  std::chrono::steady_clock::time_point last_delivery_;

  std::shared_ptr<platform::RegKey> items_key_;
  platform::RootKey items_key_root_ = platform::RootKey::kLocalMachine;
  std::string items_key_path_;

  std::string log_line_;
  LogClass log_class_ = LogClass::kSuccess;
  std::string result_;  // the result text of the item being handled
  // The counter key's value names in long-path form, upper-cased so that
  // a file's path is looked up without regard to case.
  std::unordered_set<std::string> shared_names_;
  // False when the counter key could not be read to its end: any created
  // file might then be shared, so none is deleted.
  bool shared_names_complete_ = false;
  std::vector<std::string> unused_shared_;
  int32_t error_count_ = 0;
  RemoveAnswer remove_answer_ = RemoveAnswer::kYes;
  std::string ask_file_name_;
  std::string ask_folder_;

  // Files are removed and values changed a batch at a time: the backup
  // entries of a batch in one write with one flush, and with the Recycle
  // Bin its files in one shell operation. Big enough to spare those costs
  // per item, small enough for a lively log.
  static constexpr size_t kBatchSize = 256;
  struct BatchFile {
    std::string path;
    uint32_t attributes = 0;
    std::optional<uint32_t> backup_number;
    const platform::Sha256Digest* fingerprint = nullptr;  // compared as it is taken
  };
  // A change of the registry waiting in the batch, with what its backup
  // entry needs.
  struct PendingChange {
    enum class Action { kDeleteValue, kSetValue, kDeleteKey };
    PendingChange(std::shared_ptr<platform::RegKey> key, const changes::ChangeRecord& data,
                  Action action)
        : key(std::move(key)), data(&data), action(action) {}
    // The key of the value, or the parent of the key to delete.
    std::shared_ptr<platform::RegKey> key;
    const changes::ChangeRecord* data;
    Action action;
    std::optional<platform::RegValue> current;   // the value there now
    std::vector<platform::RegValue> key_values;  // the values of the key to delete
    bool needs_entry = true;                     // false when the value is already as it will be
    std::optional<uint32_t> backup_number;
  };
  struct BatchOutcome {
    bool tried = false;
    std::string failure;  // empty when it was done
    LogClass log_class = LogClass::kError;
  };
  struct HeldLine {
    std::string item;
    std::string result;
    LogClass log_class = LogClass::kSuccess;
    std::optional<size_t> batched;  // the index of its item in the batch
  };
  std::vector<BatchFile> file_batch_;
  std::vector<PendingChange> registry_batch_;
  std::vector<HeldLine> held_lines_;
  bool item_in_batch_ = false;  // the item being handled joined a batch

  bool backup_enabled_ = true;
  std::string continue_folder_;
  std::unique_ptr<UninstallBackup> backup_;
  changes::Fingerprints fingerprints_;
  std::vector<std::string> kept_;  // upper-cased paths of the files kept
  // When finishing an interrupted run: the counters it gave back (by
  // upper-cased root, key and name) with the count it wrote, and the
  // shared files it removed.
  std::map<std::string, int64_t> counters_done_;
  std::set<std::string> files_done_;
};

}  // namespace cvn::uninstall

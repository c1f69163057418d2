#include "uninstall/uninstaller.h"

#include <algorithm>
#include <optional>

#include "i18n/translator.h"
#include "platform/text.h"
#include "uninstall/shared_counter.h"

namespace cvn::uninstall {

using changes::ChangeRecord;
using changes::NodeId;
using platform::KeyAccess;
using platform::RegKey;
using platform::Status;
using platform::StatusCode;

namespace {

// A key's path below its root: Path, a backslash and Name, or Name alone
// directly under the root.
std::string KeyPath(const ChangeRecord& data) {
  if (data.path.empty()) return data.name;
  return std::string(data.path) + '\\' + data.name;
}

std::string RootAndKey(const ChangeRecord& data) {
  return std::string(platform::RootKeyName(data.root_key)) + '\\' + KeyPath(data);
}

// The root, the owning key and the value's name, "(Default)" for the
// unnamed value.
std::string ValueText(const ChangeRecord& data) {
  std::string text = RootAndKey(data);
  if (data.name.empty()) text += i18n::Translate("RS_DEFAULT", "(Default)");
  return text;
}

// A file or folder name that names an item inside its folder. A scan
// never records anything else; a damaged archive could, and "" or ".."
// would then name the folder itself or one above it.
bool IsItemName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of("\\/") == std::string_view::npos;
}

bool IsFile(const std::optional<uint32_t>& attributes) {
  return attributes && !(*attributes & platform::attr::kDirectory);
}

bool IsFolder(const std::optional<uint32_t>& attributes) {
  return attributes && (*attributes & platform::attr::kDirectory);
}

Status OpenKeyOrRoot(platform::Registry& registry, platform::RootKey root, std::string_view path,
                     KeyAccess access, std::unique_ptr<RegKey>* out) {
  if (path.empty()) return platform::OpenRoot(registry, root, access, out);
  return registry.OpenKey(root, path, access, out);
}

}  // namespace

std::optional<platform::RootKey> ToRootKey(uint32_t handle) {
  switch (static_cast<platform::RootKey>(handle)) {
    case platform::RootKey::kClassesRoot:
    case platform::RootKey::kCurrentUser:
    case platform::RootKey::kLocalMachine:
    case platform::RootKey::kUsers:
    case platform::RootKey::kCurrentConfig:
      return static_cast<platform::RootKey>(handle);
  }
  return std::nullopt;
}

bool RecycleFile(platform::FileSystem& fs, platform::Shell& shell, std::string_view path) {
  if (!fs.GetAttributes(path)) return false;
  if (shell.RecycleFile(path).ok()) return true;
  // The shell may report a failure for an item it did move.
  return !fs.GetAttributes(path);
}

std::string ExpandLongPath(platform::FileSystem& fs, std::string_view path) {
  if (!fs.GetAttributes(path)) return {};
  return fs.LongPathName(path);
}

Uninstaller::Uninstaller(threads::WorkerContext& context, const changes::ChangeTree& tree,
                         UninstallPlatform platform, UninstallLog& log, UninstallView& view,
                         const changes::Clock& clock, threads::MainThreadDispatcher& dispatcher,
                         std::string identifier)
    : WorkerThread(dispatcher),
      context_(context),
      settings_(context.settings),
      tree_(tree),
      platform_(platform),
      log_(log),
      view_(view),
      clock_(clock) {
  context_.current_identifier = std::move(identifier);
}

void Uninstaller::Execute() {
  SetFreeOnTerminate(true);
  context_.program_state = threads::ProgramState::kUninstalling;
  error_count_ = 0;
  try {
    last_delivery_ = std::chrono::steady_clock::now();
    const uint32_t maximum = ProgressMaximum();
    Synchronize([&] { view_.SetProgressMax(maximum); });
    unused_shared_.clear();
    OpenBackup();
    RunPhases();
  } catch (...) {
    // Out of memory, say: the run did not do all it should have, so it
    // must neither claim success nor delete the archive.
    ++error_count_;
  }
  Finish();
}

uint32_t Uninstaller::ProgressMaximum() const {
  const threads::LoadedChangeCounts& counts = context_.loaded_change_counts;
  uint32_t sum = 0;
  if (settings_.delete_values) sum += counts.Of(changes::NodeKind::kValueAdded);
  if (settings_.delete_keys) sum += counts.Of(changes::NodeKind::kKeyAdded);
  if (settings_.restore_values) sum += counts.Of(changes::NodeKind::kValueChanged);
  if (settings_.decrement_shared_counters) sum += counts.Of(changes::NodeKind::kCounterIncremented);
  if (settings_.recreate_keys) sum += counts.Of(changes::NodeKind::kKeyDeleted);
  if (settings_.recreate_values) sum += counts.Of(changes::NodeKind::kValueDeleted);
  if (settings_.delete_files) sum += counts.Of(changes::NodeKind::kFileAdded);
  if (settings_.delete_folders) sum += counts.Of(changes::NodeKind::kFolderAdded);
  return sum;
}

void Uninstaller::RunPhases() {
  const NodeId registry = tree_.RegistryRoot();
  const NodeId file_system = tree_.FileSystemRoot();
  RunPhase(settings_.delete_values,
           i18n::Translate("RS_DEL_REG_VALS", "Deleting registry values..."), registry,
           changes::NodeKind::kValueAdded);
  RunPhase(settings_.delete_keys, i18n::Translate("RS_DEL_REG_KEYS", "Deleting registry keys..."),
           registry, changes::NodeKind::kKeyAdded);
  RunPhase(settings_.restore_values,
           i18n::Translate("RS_RESTORE_REG_VALS", "Restoring registry values..."), registry,
           changes::NodeKind::kValueChanged);
  RunPhase(settings_.recreate_keys,
           i18n::Translate("RS_CREATE_REG_KEYS", "Creating registry keys..."), registry,
           changes::NodeKind::kKeyDeleted);
  RunPhase(settings_.recreate_values,
           i18n::Translate("RS_CREATE_REG_VALS", "Creating registry values..."), registry,
           changes::NodeKind::kValueDeleted);
  if (settings_.delete_files && !Terminated()) {
    SetStatus(i18n::Translate("RS_DEL_FILES", "Deleting files..."));
    BuildSharedNames();
    ProcessBranch(file_system, changes::NodeKind::kFileAdded);
    RemoveFileBatch();
    shared_names_.clear();
  }
  if (settings_.decrement_shared_counters && !Terminated()) {
    SetStatus(i18n::Translate("RS_UPD_SHAREDS", "Updating shared files counters..."));
    ProcessBranch(registry, changes::NodeKind::kCounterIncremented);
    if (settings_.delete_files && !Terminated()) {
      SetStatus(i18n::Translate("RS_REM_SHAREDS", "Deleting unused shared files..."));
      RemoveUnusedShared();
    }
  }
  RunPhase(settings_.delete_folders, i18n::Translate("RS_DEL_FOLDERS", "Deleting folders..."),
           file_system, changes::NodeKind::kFolderAdded);
}

void Uninstaller::RunPhase(bool enabled, const std::string& status, NodeId branch,
                           changes::NodeKind kind) {
  if (!enabled || Terminated()) return;
  SetStatus(status);
  ProcessBranch(branch, kind);
  ChangeRegistryBatch();
  items_key_.reset();
}

Status Uninstaller::OpenKeyOfItems(platform::RootKey root, std::string_view path,
                                   std::shared_ptr<RegKey>* key) {
  if (!items_key_ || items_key_root_ != root || items_key_path_ != path) {
    items_key_.reset();
    std::unique_ptr<RegKey> opened;
    if (Status s = OpenKeyOrRoot(platform_.registry, root, path, KeyAccess::kReadWrite, &opened);
        !s.ok())
      return s;
    items_key_ = std::move(opened);
    items_key_root_ = root;
    items_key_path_ = path;
  }
  *key = items_key_;
  return Status::Ok();
}

void Uninstaller::ProcessBranch(NodeId node, changes::NodeKind kind) {
  CheckPause();
  if (node == changes::kNoNode) return;
  // Children first: the files before the folder that holds them, the
  // subkeys before their key.
  for (NodeId child = tree_.FirstChild(node); child != changes::kNoNode && !Terminated();
       child = tree_.NextSibling(child)) {
    ProcessBranch(child, kind);
  }
  const ChangeRecord& data = tree_.Data(node);
  if (data.kind != kind) return;
  StepProgress();
  if (!tree_.IsChecked(node) || Terminated()) return;
  log_class_ = LogClass::kSuccess;
  result_ = i18n::Translate("RS_OK", "Ok");
  std::string item;
  if (!HandleNode(data, item)) return;
  LogItem(item);
}

bool Uninstaller::HandleNode(const ChangeRecord& data, std::string& item) {
  switch (data.kind) {
    case changes::NodeKind::kFolderAdded:
      DeleteFolder(data, item);
      return true;
    case changes::NodeKind::kFileAdded:
      return DeleteFile(data, item);
    case changes::NodeKind::kKeyAdded:
      DeleteKey(data, item);
      return true;
    case changes::NodeKind::kKeyDeleted:
      CreateKey(data, item);
      return true;
    case changes::NodeKind::kValueAdded:
      DeleteValue(data, item);
      return true;
    case changes::NodeKind::kValueChanged:
      RestoreValue(data, item);
      return true;
    case changes::NodeKind::kValueDeleted:
      CreateValue(data, item);
      return true;
    case changes::NodeKind::kCounterIncremented:
      UpdateSharedCounter(data, item);
      return true;
    default:
      return false;  // no phase acts on the other kinds
  }
}

void Uninstaller::DeleteFolder(const ChangeRecord& data, std::string& item) {
  const std::string full = platform::JoinPath(data.path, data.name);
  item = i18n::Translate("RS_DEL_FOLDER", "DELETING FOLDER: ") + full;
  if (!IsItemName(data.name) || !IsFolder(platform_.fs.GetAttributes(full))) return NotFound();
  if (HoldsKeptFile(full)) {
    return Warn(
        i18n::Translate("RS_KEPT_FOLDER", "KEPT (holds a file changed since installation)"));
  }
  uint32_t number = 0;
  if (!Ahead([&](UninstallBackup& b) { return b.SaveFolder(full); }, &number))
    return Fail(i18n::Translate("RS_ERR", "ERROR"));
  // Only an empty folder goes: whatever is left in it stays with it.
  if (!platform_.fs.RemoveFolder(full).ok()) {
    Fail(i18n::Translate("RS_ERR_NOT_EMPTY", "ERROR (not empty)"));
  } else {
    Done(number);
  }
}

bool Uninstaller::DeleteFile(const ChangeRecord& data, std::string& item) {
  platform::FileSystem& fs = platform_.fs;
  const std::string full = platform::JoinPath(data.path, data.name);
  item = i18n::Translate("RS_DEL_FILE", "DELETING FILE: ") + full;
  // A folder in the file's place now is not the file that was created.
  const std::optional<uint32_t> attributes = fs.GetAttributes(full);
  if (!IsItemName(data.name) || !IsFile(attributes)) {
    NotFound();
    return true;
  }
  // Shared files are left to the counters.
  if (IsSharedName(full)) return false;
  if (!shared_names_complete_) {
    Fail(i18n::Translate("RS_ERR", "ERROR"));
    return true;
  }
  // A file going into the backup is compared as it is taken; one deleted
  // without a backup, now.
  const platform::Sha256Digest* fingerprint = FingerprintOf(full);
  if (fingerprint != nullptr && !backup_) {
    if (ChangedSince(full, *fingerprint)) {
      KeepChanged(full);
      Warn(KeptChangedText());
      return true;
    }
    fingerprint = nullptr;
  }
  if (backup_enabled_ && !backup_) {
    Fail(i18n::Translate("RS_ERR", "ERROR"));  // no backup could be made
    return true;
  }
  // The file goes with others, a batch at a time (RemoveFileBatch).
  file_batch_.push_back({full, *attributes, std::nullopt, fingerprint});
  item_in_batch_ = true;
  return true;
}

void Uninstaller::DeleteKey(const ChangeRecord& data, std::string& item) {
  platform::Registry& registry = platform_.registry;
  item = i18n::Translate("RS_DEL_REG_KEY", "DELETING REGISTRY KEY: ") + RootAndKey(data);
  const std::optional<platform::RootKey> root = ToRootKey(data.root_key);
  if (!root) return NotFound();
  // A key without a name would stand for its parent.
  if (data.name.empty()) return Fail(i18n::Translate("RS_ERR", "ERROR"));
  std::unique_ptr<RegKey> key;
  if (Status s = registry.OpenKey(*root, KeyPath(data), KeyAccess::kRead, &key); !s.ok())
    return NotFoundOrError(s);
  platform::RegKeyInfo info;
  if (!registry.QueryInfoKey(*key, &info).ok()) return Fail(i18n::Translate("RS_ERR", "ERROR"));
  if (info.subkey_count > 0 && !registry_batch_.empty()) {
    // Its subkeys may be waiting in the batch: they go first.
    ChangeRegistryBatch();
    if (!registry.QueryInfoKey(*key, &info).ok()) return Fail(i18n::Translate("RS_ERR", "ERROR"));
  }
  if (info.subkey_count > 0)
    return Fail(i18n::Translate("RS_ERR_HAS_SUBKEY", "ERROR (has sub-keys)"));
  // The values go with the key: the backup keeps them.
  std::vector<platform::RegValue> values;
  for (uint32_t index = 0;; ++index) {
    platform::RegValue value;
    if (!registry.EnumValue(*key, index, platform::Registry::kUnlimited, &value).ok()) break;
    values.push_back(std::move(value));
  }
  key.reset();
  std::shared_ptr<RegKey> parent;
  if (!OpenKeyOfItems(*root, data.path, &parent).ok())
    return Fail(i18n::Translate("RS_ERR", "ERROR"));
  PendingChange change(std::move(parent), data, PendingChange::Action::kDeleteKey);
  change.key_values = std::move(values);
  PutOff(std::move(change));
}

void Uninstaller::CreateKey(const ChangeRecord& data, std::string& item) {
  item = i18n::Translate("RS_CREATE_REG_KEY", "CREATING REGISTRY KEY: ") + RootAndKey(data);
  const std::optional<platform::RootKey> root = ToRootKey(data.root_key);
  if (!root || data.name.empty()) return Fail(i18n::Translate("RS_ERR", "ERROR"));
  // The first key of the path that does not exist: it and those below it
  // are made here, and only those go again on a restore.
  const std::string path = KeyPath(data);
  std::string first_new;
  for (size_t end = 0; first_new.empty();) {
    end = path.find('\\', end + 1);
    const std::string prefix = path.substr(0, end);
    std::unique_ptr<RegKey> probe;
    if (!prefix.empty() &&
        !platform_.registry.OpenKey(*root, prefix, KeyAccess::kRead, &probe).ok())
      first_new = prefix;
    if (end == std::string::npos) break;
  }
  uint32_t number = 0;
  if (!first_new.empty() &&
      !Ahead([&](UninstallBackup& b) { return b.SaveNewKey(data.root_key, path, first_new); },
             &number))
    return Fail(i18n::Translate("RS_ERR", "ERROR"));
  std::unique_ptr<RegKey> key;
  if (!platform_.registry.CreateKey(*root, path, KeyAccess::kReadWrite, &key).ok())
    return Fail(i18n::Translate("RS_ERR", "ERROR"));
  if (!first_new.empty()) Done(number);
}

void Uninstaller::DeleteValue(const ChangeRecord& data, std::string& item) {
  item = i18n::Translate("RS_DEL_REG_VAL", "DELETING REGISTRY VALUE: ") + ValueText(data);
  const std::optional<platform::RootKey> root = ToRootKey(data.root_key);
  if (!root) return NotFound();
  std::shared_ptr<RegKey> key;
  if (Status s = OpenKeyOfItems(*root, data.path, &key); !s.ok()) return NotFoundOrError(s);
  platform::RegValue value;
  if (Status s = platform_.registry.QueryValue(*key, data.name, &value); !s.ok())
    return NotFoundOrError(s);
  PendingChange change(std::move(key), data, PendingChange::Action::kDeleteValue);
  change.current = std::move(value);
  PutOff(std::move(change));
}

void Uninstaller::RestoreValue(const ChangeRecord& data, std::string& item) {
  item = i18n::Translate("RS_RESTORE_REG_VAL", "RESTORING REGISTRY VALUE: ") + ValueText(data);
  const std::optional<platform::RootKey> root = ToRootKey(data.root_key);
  if (!root) return NotFound();
  std::shared_ptr<RegKey> key;
  if (Status s = OpenKeyOfItems(*root, data.path, &key); !s.ok()) return NotFoundOrError(s);
  // A changed value that has been removed since stays removed.
  platform::RegValue value;
  if (Status s = platform_.registry.QueryValue(*key, data.name, &value); !s.ok())
    return NotFoundOrError(s);
  // Writing what is there already overwrites nothing worth keeping.
  const bool same =
      value.type == data.value_type && std::ranges::equal(value.data, data.BeforeBytes());
  PendingChange change(std::move(key), data, PendingChange::Action::kSetValue);
  change.current = std::move(value);
  change.needs_entry = !same;
  PutOff(std::move(change));
}

void Uninstaller::CreateValue(const ChangeRecord& data, std::string& item) {
  item = i18n::Translate("RS_CREATE_REG_VAL", "CREATING REGISTRY VALUE: ") + ValueText(data);
  const std::optional<platform::RootKey> root = ToRootKey(data.root_key);
  if (!root) return NotFound();
  // The key phase has re-created deleted keys; a key still missing is
  // not re-created here.
  std::shared_ptr<RegKey> key;
  if (Status s = OpenKeyOfItems(*root, data.path, &key); !s.ok()) return NotFoundOrError(s);
  PendingChange change(std::move(key), data, PendingChange::Action::kSetValue);
  platform::RegValue current;
  if (platform_.registry.QueryValue(*change.key, data.name, &current).ok()) {
    change.needs_entry =
        current.type != data.value_type || !std::ranges::equal(current.data, data.BeforeBytes());
    change.current = std::move(current);
  }
  PutOff(std::move(change));
}

void Uninstaller::PutOff(PendingChange change) {
  registry_batch_.push_back(std::move(change));
  item_in_batch_ = true;
}

void Uninstaller::ChangeRegistryBatch() {
  if (registry_batch_.empty()) return;
  std::vector<BatchOutcome> outcomes(registry_batch_.size());
  // The entries of the whole batch go ahead of its changes, with one flush.
  bool written = !backup_enabled_;
  if (backup_) {
    backup_->HoldEntries();
    for (PendingChange& c : registry_batch_) {
      if (!c.needs_entry) continue;
      const ChangeRecord& d = *c.data;
      c.backup_number =
          c.action == PendingChange::Action::kDeleteKey
              ? backup_->SaveKey(d.root_key, KeyPath(d), c.key_values)
              : backup_->SaveValue(d.root_key, d.path, d.name, c.current ? &*c.current : nullptr);
    }
    written = backup_->WriteHeldEntries();
  }
  platform::Registry& registry = platform_.registry;
  for (size_t i = 0; i < registry_batch_.size() && !Terminated(); ++i) {
    const PendingChange& c = registry_batch_[i];
    const ChangeRecord& d = *c.data;
    BatchOutcome& outcome = outcomes[i];
    outcome.tried = true;
    if (!written) {
      outcome.failure = i18n::Translate("RS_ERR", "ERROR");
      continue;
    }
    Status s;
    switch (c.action) {
      case PendingChange::Action::kDeleteValue:
        s = registry.DeleteValue(*c.key, d.name);
        break;
      case PendingChange::Action::kSetValue:
        s = registry.SetValue(*c.key, d.name, d.value_type, d.BeforeBytes());
        break;
      case PendingChange::Action::kDeleteKey:
        s = registry.DeleteKey(*c.key, d.name);
        break;
    }
    if (s.ok()) {
      if (c.backup_number) Done(*c.backup_number);
    } else if (c.action == PendingChange::Action::kDeleteValue &&
               s.code() == StatusCode::kNotFound) {
      // The unnamed value of a key without data reports "not found" here.
      outcome.failure = i18n::Translate("RS_FAIL_NOT_FND", "FAILS (not found)");
      outcome.log_class = LogClass::kWarning;
    } else {
      outcome.failure = i18n::Translate("RS_ERR", "ERROR");
    }
  }
  registry_batch_.clear();
  LogHeldLines(outcomes);
}

void Uninstaller::OpenBackup() {
  fingerprints_ = changes::ReadFingerprints(
      platform_.fs, platform::JoinPath(context_.program_folder, context_.current_identifier));
  kept_.clear();
  if (!backup_enabled_) return;
  if (continue_folder_.empty()) {
    backup_ = UninstallBackup::Create(platform_.fs, context_.program_folder,
                                      context_.current_identifier, clock_.Now());
    return;
  }
  Journal journal;
  if (!ReadJournal(platform_.fs, continue_folder_, &journal)) return;
  PutBack(platform_.fs, platform_.registry, continue_folder_, journal, /*only_unfinished=*/true);
  for (const JournalEntry& e : journal.entries) {
    if (!e.done) continue;
    if (e.kind == EntryKind::kCounter) {
      counters_done_[text::ToUpper(std::to_string(e.root) + '\\' + e.key + '\\' + e.name)] =
          e.count;
    }
    if (e.kind == EntryKind::kFile) files_done_.insert(text::ToUpper(e.path));
  }
  backup_ = UninstallBackup::Continue(platform_.fs, continue_folder_, journal);
}

void Uninstaller::CloseBackup() {
  if (!backup_) return;
  backup_->End();
  // A run that removed nothing has nothing to give back.
  if (!backup_->HasEntries()) DeleteTree(platform_.fs, backup_->Folder());
  backup_.reset();
  PruneBackups(platform_.fs, context_.program_folder, clock_.Now(), settings_.backup_days,
               uint64_t(std::max(settings_.backup_max_megabytes, 0)) << 20);
}

void Uninstaller::Done(uint32_t number) {
  if (backup_) backup_->Done(number);
}

const platform::Sha256Digest* Uninstaller::FingerprintOf(const std::string& path) const {
  if (settings_.delete_changed) return nullptr;
  const auto fingerprint = fingerprints_.find(text::ToUpper(path));
  return fingerprint == fingerprints_.end() ? nullptr : &fingerprint->second;
}

bool Uninstaller::ChangedSince(const std::string& path, const platform::Sha256Digest& fingerprint) {
  platform::Sha256Digest now;
  // A file that cannot be read cannot be deleted either: its line says so.
  if (!platform_.fs.HashFile(path, &now).ok()) return false;
  return now != fingerprint;
}

void Uninstaller::KeepChanged(const std::string& path) {
  kept_.push_back(text::ToUpper(path));
}

std::string Uninstaller::KeptChangedText() {
  return i18n::Translate("RS_KEPT_CHANGED", "KEPT (changed since installation)");
}

bool Uninstaller::HoldsKeptFile(const std::string& path) const {
  const std::string prefix = text::ToUpper(path) + '\\';
  for (const std::string& kept : kept_)
    if (kept.starts_with(prefix)) return true;
  return false;
}

void Uninstaller::Warn(std::string result) {
  log_class_ = LogClass::kWarning;
  result_ = std::move(result);
}

void Uninstaller::Fail(std::string result) {
  log_class_ = LogClass::kError;
  result_ = std::move(result);
  ++error_count_;
}

void Uninstaller::NotFound() {
  Warn(i18n::Translate("RS_FAIL_NOT_FND", "FAILS (not found)"));
}

void Uninstaller::NotFoundOrError(const Status& status) {
  if (status.code() == StatusCode::kNotFound) {
    NotFound();
  } else {
    Fail(i18n::Translate("RS_ERR", "ERROR"));
  }
}

void Uninstaller::LogItem(const std::string& item) {
  const size_t batched = file_batch_.size() + registry_batch_.size();
  if (batched == 0) {
    log_line_ = item + " ... " + result_;
    return AddLogLine();
  }
  HeldLine line{item, result_, log_class_, std::nullopt};
  if (item_in_batch_) line.batched = batched - 1;
  item_in_batch_ = false;
  held_lines_.push_back(std::move(line));
  if (file_batch_.size() >= kBatchSize) RemoveFileBatch();
  if (registry_batch_.size() >= kBatchSize) ChangeRegistryBatch();
}

void Uninstaller::RemoveFileBatch() {
  if (file_batch_.empty()) return;
  std::vector<BatchOutcome> outcomes(file_batch_.size());
  std::vector<bool> gone(file_batch_.size(), false);
  if (StoreBatchInBackup()) {
    const bool recycle = settings_.use_recycle_bin;
    std::vector<std::string> to_bin;
    std::vector<size_t> binned;
    for (size_t i = 0; i < file_batch_.size() && !Terminated(); ++i) {
      const BatchFile& file = file_batch_[i];
      outcomes[i].tried = true;
      // A read-only file could not be deleted, nor later its copy in the backup.
      if (file.attributes & platform::attr::kReadOnly)
        platform_.fs.SetAttributes(file.path, platform::attr::kArchive);
      bool changed = false;
      const bool taken =
          !backup_ ||
          backup_->StoreFile(*file.backup_number, file.path, recycle, file.fingerprint, &changed)
              .ok();
      if (changed) {
        KeepChanged(file.path);
        outcomes[i].failure = KeptChangedText();
        outcomes[i].log_class = LogClass::kWarning;
        continue;
      }
      if (recycle) {
        if (taken) {
          to_bin.push_back(file.path);
          binned.push_back(i);
        }
      } else {
        gone[i] = backup_ ? taken : platform_.fs.DeleteFile(file.path).ok();
      }
    }
    const std::vector<Status> results =
        to_bin.empty() ? std::vector<Status>() : platform_.shell.RecycleFiles(to_bin);
    for (size_t k = 0; k < binned.size(); ++k) {
      // The shell may report a failure for an item it did move.
      gone[binned[k]] = results[k].ok() || !platform_.fs.GetAttributes(to_bin[k]);
    }
  } else {
    for (BatchOutcome& outcome : outcomes) outcome.tried = true;
  }
  for (size_t i = 0; i < file_batch_.size(); ++i) {
    const BatchFile& file = file_batch_[i];
    if (!outcomes[i].tried) continue;
    if (gone[i]) {
      if (file.backup_number) Done(*file.backup_number);
      continue;
    }
    // The file stays as it was, read-only or hidden included.
    platform_.fs.SetAttributes(file.path, file.attributes);
    if (outcomes[i].failure.empty())
      outcomes[i].failure = i18n::Translate("RS_ERR_FILE_USED", "ERROR (in use)");
  }
  file_batch_.clear();
  LogHeldLines(outcomes);
}

void Uninstaller::LogHeldLines(const std::vector<BatchOutcome>& outcomes) {
  for (const HeldLine& line : held_lines_) {
    if (!line.batched) {
      undelivered_lines_.push_back({line.item + " ... " + line.result, line.log_class});
      continue;
    }
    const BatchOutcome& outcome = outcomes[*line.batched];
    if (!outcome.tried) continue;  // a stop came first: the item was left as it is
    if (outcome.failure.empty()) {
      undelivered_lines_.push_back({line.item + " ... " + line.result, line.log_class});
      continue;
    }
    if (outcome.log_class == LogClass::kError) ++error_count_;
    undelivered_lines_.push_back({line.item + " ... " + outcome.failure, outcome.log_class});
  }
  held_lines_.clear();
  DeliverSometimes();
}

bool Uninstaller::StoreBatchInBackup() {
  if (!backup_) return true;
  // The entries of the whole batch go ahead of its files, with one flush.
  backup_->HoldEntries();
  for (BatchFile& file : file_batch_)
    file.backup_number = backup_->SaveFileEntry(file.path, file.attributes);
  return backup_->WriteHeldEntries();
}

void Uninstaller::AddLogLine() {
  undelivered_lines_.push_back({log_line_, log_class_});
  DeliverSometimes();
}

void Uninstaller::SetStatus(const std::string& text) {
  Deliver();
  Synchronize([&] { view_.SetStatus(text); });
}

void Uninstaller::StepProgress() {
  ++undelivered_steps_;
  DeliverSometimes();
}

void Uninstaller::DeliverSometimes() {
  if (std::chrono::steady_clock::now() - last_delivery_ >= kDeliveryInterval) Deliver();
}

void Uninstaller::Deliver() {
  last_delivery_ = std::chrono::steady_clock::now();
  if (undelivered_lines_.empty() && undelivered_steps_ == 0) return;
  // Taken out first: a window that fails to take them does not get them twice.
  const std::vector<LogEntry> lines = std::move(undelivered_lines_);
  undelivered_lines_.clear();
  const uint32_t steps = std::exchange(undelivered_steps_, 0);
  Synchronize([&] {
    for (uint32_t i = 0; i < steps; ++i) view_.StepProgress();
    for (const LogEntry& entry : lines) log_.AddLogLine(entry.line, entry.log_class);
  });
}

void Uninstaller::Finish() {
  try {
    // A run cut short by an exception leaves what it had put off as it is:
    // the backup entries written for it are put back harmlessly.
    file_batch_.clear();
    registry_batch_.clear();
    held_lines_.clear();
    Deliver();
  } catch (...) {
    ++error_count_;  // the run or its log is not whole
  }
  try {
    CloseBackup();
  } catch (...) {
    // The backup stays as the journal left it: a later start offers to finish it.
  }
  const std::string archive_base =
      platform::JoinPath(context_.program_folder, context_.current_identifier);
  bool archive_deleted = false;
  try {
    if (context_.program_state != threads::ProgramState::kStopRequested && error_count_ == 0) {
      log_class_ = LogClass::kSummary;
      log_line_ = i18n::Translate("RS_UNINST_NO_ERR", "Uninstall complete without errors");
      if (settings_.delete_archive_after_uninstall) {
        archive_deleted = RecycleFile(platform_.fs, platform_.shell,
                                      archive_base + std::string(changes::kArchiveExtension));
      }
      AddLogLine();
      Deliver();
    }
  } catch (...) {
    // The summary could not be shown; the archive is still stamped below.
  }
  threads::ProgramState uninstalling = threads::ProgramState::kUninstalling;
  context_.program_state.compare_exchange_strong(uninstalling, threads::ProgramState::kIdle);
  if (!archive_deleted) {
    try {
      changes::ChangesArchive(platform_.fs, archive_base, clock_).UpdateUsage();
    } catch (...) {
      // A missing or unwritable archive keeps its old stamp; the uninstall
      // itself is done either way.
    }
  }
  unused_shared_.clear();
}

}  // namespace cvn::uninstall

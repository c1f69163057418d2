#include "uninstall/dezinstaler.h"

#include <optional>

#include "i18n/translator.h"
#include "uninstall/shared_counter.h"

namespace cvn::uninstall {

using changes::NodeId;
using changes::TNodeData;
using platform::KeyAccess;
using platform::RegKey;
using platform::Status;
using platform::StatusCode;

namespace {

// A key's path below its root: Path, a backslash and Name, or Name alone
// directly under the root.
std::string KeyPath(const TNodeData& data) {
  if (data.Path.empty()) return data.Name;
  return std::string(data.Path) + '\\' + data.Name;
}

std::string RootAndKey(const TNodeData& data) {
  return std::string(platform::RootKeyName(data.RootKey)) + '\\' + KeyPath(data);
}

// The root, the owning key and the value's name, "(Default)" for the
// unnamed value.
std::string ValueText(const TNodeData& data) {
  std::string text = RootAndKey(data);
  if (data.Name.empty()) text += i18n::Translate("RS_DEFAULT", "(Default)");
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

TDezinstaler::TDezinstaler(snapshot::WorkerContext& context, const changes::ChangeTree& tree,
                           UninstallPlatform platform, TUninstallLog& log, UninstallView& view,
                           const changes::Clock& clock, snapshot::MainThreadDispatcher& dispatcher,
                           std::string identifier)
    : TSafeThread(dispatcher),
      context_(context),
      settings_(context.settings),
      tree_(tree),
      platform_(platform),
      log_(log),
      view_(view),
      clock_(clock) {
  context_.CurrentIdentifier = std::move(identifier);
}

void TDezinstaler::Execute() {
  SetFreeOnTerminate(true);
  context_.ProgramState = snapshot::psUninstalling;
  FErrorCount = 0;
  try {
    const uint32_t maximum = ProgressMaximum();
    Synchronize([&] { view_.SetProgressMax(maximum); });
    FUnusedShared.clear();
    RunPhases();
  } catch (...) {
    // Out of memory, say: the run did not do all it should have, so it
    // must neither claim success nor delete the archive.
    ++FErrorCount;
  }
  Finish();
}

uint32_t TDezinstaler::ProgressMaximum() const {
  const snapshot::LoadedChangeCounts& counts = context_.loaded_change_counts;
  uint32_t sum = 0;
  if (settings_.DeleteValues) sum += counts.Of(changes::nkValueAdded);
  if (settings_.DeleteKey) sum += counts.Of(changes::nkKeyAdded);
  if (settings_.RestoreValues) sum += counts.Of(changes::nkValueChanged);
  if (settings_.DecSharedCounter) sum += counts.Of(changes::nkCounterIncremented);
  if (settings_.CreateKey) sum += counts.Of(changes::nkKeyDeleted);
  if (settings_.CreateValues) sum += counts.Of(changes::nkValueDeleted);
  if (settings_.DeleteFiles) sum += counts.Of(changes::nkFileAdded);
  if (settings_.DeleteFolders) sum += counts.Of(changes::nkFolderAdded);
  return sum;
}

void TDezinstaler::RunPhases() {
  const NodeId registry = tree_.RegistryRoot();
  const NodeId file_system = tree_.FileSystemRoot();
  RunPhase(settings_.DeleteValues,
           i18n::Translate("RS_DEL_REG_VALS", "Deleting registry values..."), registry,
           changes::nkValueAdded);
  RunPhase(settings_.DeleteKey, i18n::Translate("RS_DEL_REG_KEYS", "Deleting registry keys..."),
           registry, changes::nkKeyAdded);
  RunPhase(settings_.RestoreValues,
           i18n::Translate("RS_RESTORE_REG_VALS", "Restoring registry values..."), registry,
           changes::nkValueChanged);
  RunPhase(settings_.CreateKey, i18n::Translate("RS_CREATE_REG_KEYS", "Creating registry keys..."),
           registry, changes::nkKeyDeleted);
  RunPhase(settings_.CreateValues,
           i18n::Translate("RS_CREATE_REG_VALS", "Creating registry values..."), registry,
           changes::nkValueDeleted);
  if (settings_.DeleteFiles && !Terminated()) {
    SetStatus(i18n::Translate("RS_DEL_FILES", "Deleting files..."));
    BuildSharedNames();
    ProcessBranch(file_system, changes::nkFileAdded);
    FSharedNames.clear();
  }
  if (settings_.DecSharedCounter && !Terminated()) {
    SetStatus(i18n::Translate("RS_UPD_SHAREDS", "Updating shared files counters..."));
    ProcessBranch(registry, changes::nkCounterIncremented);
    if (settings_.DeleteFiles && !Terminated()) {
      SetStatus(i18n::Translate("RS_REM_SHAREDS", "Deleting unused shared files..."));
      RemoveUnusedShared();
    }
  }
  RunPhase(settings_.DeleteFolders, i18n::Translate("RS_DEL_FOLDERS", "Deleting folders..."),
           file_system, changes::nkFolderAdded);
}

void TDezinstaler::RunPhase(bool enabled, const std::string& status, NodeId branch, int32_t kind) {
  if (!enabled || Terminated()) return;
  SetStatus(status);
  ProcessBranch(branch, kind);
}

void TDezinstaler::ProcessBranch(NodeId node, int32_t kind) {
  CheckPause();
  if (node == changes::kNoNode) return;
  // Children first: the files before the folder that holds them, the
  // subkeys before their key.
  for (NodeId child = tree_.FirstChild(node); child != changes::kNoNode && !Terminated();
       child = tree_.NextSibling(child)) {
    ProcessBranch(child, kind);
  }
  const TNodeData& data = tree_.Data(node);
  if (data.Kind != kind) return;
  StepProgress();
  if (!tree_.IsChecked(node) || Terminated()) return;
  FLogClass = lcSuccess;
  result_ = i18n::Translate("RS_OK", "Ok");
  std::string item;
  if (!HandleNode(data, item)) return;
  FLogLine = item + " ... " + result_;
  AddLogLine();
}

bool TDezinstaler::HandleNode(const TNodeData& data, std::string& item) {
  switch (data.Kind) {
    case changes::nkFolderAdded:
      DeleteFolder(data, item);
      return true;
    case changes::nkFileAdded:
      return DeleteFile(data, item);
    case changes::nkKeyAdded:
      DeleteKey(data, item);
      return true;
    case changes::nkKeyDeleted:
      CreateKey(data, item);
      return true;
    case changes::nkValueAdded:
      DeleteValue(data, item);
      return true;
    case changes::nkValueChanged:
      RestoreValue(data, item);
      return true;
    case changes::nkValueDeleted:
      CreateValue(data, item);
      return true;
    case changes::nkCounterIncremented:
      UpdateSharedCounter(data, item);
      return true;
    default:
      return false;  // no phase acts on the other kinds
  }
}

void TDezinstaler::DeleteFolder(const TNodeData& data, std::string& item) {
  const std::string full = platform::JoinPath(data.Path, data.Name);
  item = i18n::Translate("RS_DEL_FOLDER", "DELETING FOLDER: ") + full;
  if (!IsItemName(data.Name) || !IsFolder(platform_.fs.GetAttributes(full))) return NotFound();
  // Only an empty folder goes: whatever is left in it stays with it.
  if (!platform_.fs.RemoveFolder(full).ok())
    Fail(i18n::Translate("RS_ERR_NOT_EMPTY", "ERROR (not empty)"));
}

bool TDezinstaler::DeleteFile(const TNodeData& data, std::string& item) {
  platform::FileSystem& fs = platform_.fs;
  const std::string full = platform::JoinPath(data.Path, data.Name);
  item = i18n::Translate("RS_DEL_FILE", "DELETING FILE: ") + full;
  // A folder in the file's place now is not the file that was created.
  const std::optional<uint32_t> attributes = fs.GetAttributes(full);
  if (!IsItemName(data.Name) || !IsFile(attributes)) {
    NotFound();
    return true;
  }
  // Shared files are left to the counters.
  if (IsSharedName(full)) return false;
  if (!shared_names_complete_) {
    Fail(i18n::Translate("RS_ERR", "ERROR"));
    return true;
  }
  fs.SetAttributes(full, platform::attr::kArchive);
  const bool gone =
      settings_.UseRecycled ? RecycleFile(fs, platform_.shell, full) : fs.DeleteFile(full).ok();
  if (!gone) {
    // The file stays as it was, read-only or hidden included.
    fs.SetAttributes(full, *attributes);
    Fail(i18n::Translate("RS_ERR_FILE_USED", "ERROR (in use)"));
  }
  return true;
}

void TDezinstaler::DeleteKey(const TNodeData& data, std::string& item) {
  platform::Registry& registry = platform_.registry;
  item = i18n::Translate("RS_DEL_REG_KEY", "DELETING REGISTRY KEY: ") + RootAndKey(data);
  const std::optional<platform::RootKey> root = ToRootKey(data.RootKey);
  if (!root) return NotFound();
  // A key without a name would stand for its parent.
  if (data.Name.empty()) return Fail(i18n::Translate("RS_ERR", "ERROR"));
  std::unique_ptr<RegKey> key;
  if (Status s = registry.OpenKey(*root, KeyPath(data), KeyAccess::kRead, &key); !s.ok())
    return NotFoundOrError(s);
  platform::RegKeyInfo info;
  if (!registry.QueryInfoKey(*key, &info).ok()) return Fail(i18n::Translate("RS_ERR", "ERROR"));
  if (info.subkey_count > 0)
    return Fail(i18n::Translate("RS_ERR_HAS_SUBKEY", "ERROR (has sub-keys)"));
  key.reset();
  std::unique_ptr<RegKey> parent;
  Status s = OpenKeyOrRoot(registry, *root, data.Path, KeyAccess::kReadWrite, &parent);
  if (s.ok()) s = registry.DeleteKey(*parent, data.Name);
  if (!s.ok()) Fail(i18n::Translate("RS_ERR", "ERROR"));
}

void TDezinstaler::CreateKey(const TNodeData& data, std::string& item) {
  item = i18n::Translate("RS_CREATE_REG_KEY", "CREATING REGISTRY KEY: ") + RootAndKey(data);
  const std::optional<platform::RootKey> root = ToRootKey(data.RootKey);
  std::unique_ptr<RegKey> key;
  if (!root || data.Name.empty() ||
      !platform_.registry.CreateKey(*root, KeyPath(data), KeyAccess::kReadWrite, &key).ok()) {
    Fail(i18n::Translate("RS_ERR", "ERROR"));
  }
}

void TDezinstaler::DeleteValue(const TNodeData& data, std::string& item) {
  platform::Registry& registry = platform_.registry;
  item = i18n::Translate("RS_DEL_REG_VAL", "DELETING REGISTRY VALUE: ") + ValueText(data);
  const std::optional<platform::RootKey> root = ToRootKey(data.RootKey);
  if (!root) return NotFound();
  std::unique_ptr<RegKey> key;
  if (Status s = OpenKeyOrRoot(registry, *root, data.Path, KeyAccess::kReadWrite, &key); !s.ok())
    return NotFoundOrError(s);
  platform::RegValue value;
  if (Status s = registry.QueryValue(*key, data.Name, &value); !s.ok()) return NotFoundOrError(s);
  // The unnamed value of a key without data reports "not found" here.
  if (Status s = registry.DeleteValue(*key, data.Name); !s.ok()) NotFoundOrError(s);
}

void TDezinstaler::RestoreValue(const TNodeData& data, std::string& item) {
  platform::Registry& registry = platform_.registry;
  item = i18n::Translate("RS_RESTORE_REG_VAL", "RESTORING REGISTRY VALUE: ") + ValueText(data);
  const std::optional<platform::RootKey> root = ToRootKey(data.RootKey);
  if (!root) return NotFound();
  std::unique_ptr<RegKey> key;
  if (Status s = OpenKeyOrRoot(registry, *root, data.Path, KeyAccess::kReadWrite, &key); !s.ok())
    return NotFoundOrError(s);
  // A changed value that has been removed since stays removed.
  platform::RegValue value;
  if (Status s = registry.QueryValue(*key, data.Name, &value); !s.ok()) return NotFoundOrError(s);
  if (!registry.SetValue(*key, data.Name, data.ValueType, data.BeforeBytes()).ok())
    Fail(i18n::Translate("RS_ERR", "ERROR"));
}

void TDezinstaler::CreateValue(const TNodeData& data, std::string& item) {
  platform::Registry& registry = platform_.registry;
  item = i18n::Translate("RS_CREATE_REG_VAL", "CREATING REGISTRY VALUE: ") + ValueText(data);
  const std::optional<platform::RootKey> root = ToRootKey(data.RootKey);
  if (!root) return NotFound();
  // The key phase has re-created deleted keys; a key still missing is
  // not re-created here.
  std::unique_ptr<RegKey> key;
  if (Status s = OpenKeyOrRoot(registry, *root, data.Path, KeyAccess::kReadWrite, &key); !s.ok())
    return NotFoundOrError(s);
  if (!registry.SetValue(*key, data.Name, data.ValueType, data.BeforeBytes()).ok())
    Fail(i18n::Translate("RS_ERR", "ERROR"));
}

void TDezinstaler::Warn(std::string result) {
  FLogClass = lcWarning;
  result_ = std::move(result);
}

void TDezinstaler::Fail(std::string result) {
  FLogClass = lcError;
  result_ = std::move(result);
  ++FErrorCount;
}

void TDezinstaler::NotFound() {
  Warn(i18n::Translate("RS_FAIL_NOT_FND", "FAILS (not found)"));
}

void TDezinstaler::NotFoundOrError(const Status& status) {
  if (status.code() == StatusCode::kNotFound) {
    NotFound();
  } else {
    Fail(i18n::Translate("RS_ERR", "ERROR"));
  }
}

void TDezinstaler::AddLogLine() {
  Synchronize([this] { log_.AddLogLine(FLogLine, FLogClass); });
}

void TDezinstaler::SetStatus(const std::string& text) {
  Synchronize([&] { view_.SetStatus(text); });
}

void TDezinstaler::StepProgress() {
  Synchronize([this] { view_.StepProgress(); });
}

void TDezinstaler::Finish() {
  const std::string archive_base =
      platform::JoinPath(context_.program_folder, context_.CurrentIdentifier);
  bool archive_deleted = false;
  try {
    if (context_.ProgramState != snapshot::psStopRequested && FErrorCount == 0) {
      FLogClass = lcSummary;
      FLogLine = i18n::Translate("RS_UNINST_NO_ERR", "Uninstall complete without errors");
      if (settings_.AutoDelCvn) {
        archive_deleted = RecycleFile(platform_.fs, platform_.shell,
                                      archive_base + std::string(changes::kArchiveExtension));
      }
      AddLogLine();
    }
  } catch (...) {
    // The summary could not be shown; the archive is still stamped below.
  }
  uint8_t uninstalling = snapshot::psUninstalling;
  context_.ProgramState.compare_exchange_strong(uninstalling, snapshot::psIdle);
  if (!archive_deleted) {
    try {
      changes::TChgArchive(platform_.fs, archive_base, clock_).UpdateUsage();
    } catch (...) {
      // A missing or unwritable archive keeps its old stamp; the uninstall
      // itself is done either way.
    }
  }
  FUnusedShared.clear();
}

}  // namespace cvn::uninstall

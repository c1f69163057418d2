#include "engine/snapshot/scan_threads.h"

#include <exception>

#include "engine/compare/compare_fs.h"
#include "engine/compare/compare_reg.h"
#include "engine/compare/detect_moved.h"
#include "engine/snapshot/db_tree.h"
#include "engine/snapshot/filesystem_scanner.h"
#include "engine/snapshot/load_snapshot.h"
#include "engine/snapshot/registry_scanner.h"
#include "i18n/translator.h"

namespace cvn::snapshot {
namespace {

std::string ScanRegText() {
  return i18n::Translate("RS_SCAN_REG", "Scanning registry category:");
}
std::string SearchRegText() {
  return i18n::Translate("RS_SEARCH_REG", "Searching changes from category:");
}
std::string ScanFsText() {
  return i18n::Translate("RS_SCAN_FS", "Scanning file system...");
}
std::string SearchFsText() {
  return i18n::Translate("RS_SEARCH_FS", "Searching changes from file system...");
}
std::string DetectMovedText() {
  return i18n::Translate("RS_DETECT_MOVED", "Detecting moved files...");
}

}  // namespace

bool ScansFileSystem(const settings::Settings& settings) {
  return settings.ScanWin || settings.ScanProg || settings.ScanOthers;
}

int EnabledTargetCount(const settings::Settings& settings) {
  int count = 0;
  for (const Hive& hive : kHives) count += settings.*hive.setting ? 1 : 0;
  return count + (ScansFileSystem(settings) ? 1 : 0);
}

// ---- BaseScanThread ----

BaseScanThread::BaseScanThread(WorkerContext& context, platform::FileSystem& fs,
                               platform::Registry& registry, MainThreadDispatcher& dispatcher,
                               ScanObserver& observer)
    : TSafeThread(dispatcher),
      context_(context),
      fs_(fs),
      registry_(registry),
      observer_(observer) {}

void BaseScanThread::RequestStop() {
  context_.ProgramState = psStopRequested;
  Terminate();
}

bool BaseScanThread::CancelRequested() const {
  return context_.ProgramState == psStopRequested;
}

void BaseScanThread::UpdateStatus() {
  Synchronize([this] { observer_.UpdateStatus(FStatus); });
}

void BaseScanThread::StepProgress() {
  Synchronize([this] {
    if (!Terminated()) observer_.StepProgress();
  });
}

// ---- ScanThread ----

ScanThread::ScanThread(WorkerContext& context, platform::FileSystem& fs,
                       platform::Registry& registry, MainThreadDispatcher& dispatcher,
                       ScanObserver& observer)
    : BaseScanThread(context, fs, registry, dispatcher, observer) {}

void ScanThread::Execute() {
  SetFreeOnTerminate(true);
  context_.ProgramState = psScanning;
  const settings::Settings& settings = context_.settings;
  bool failed = false;
  try {
    RegistryScanner registry_scanner(registry_, settings, *this);
    for (const Hive& hive : kHives) {
      if (Terminated()) break;
      if (!(settings.*hive.setting)) continue;
      FStatus = ScanRegText() + std::string(hive.status_suffix);
      UpdateStatus();
      TDBTree store = TDBTree::CreateNew(fs_, context_.program_folder, hive.base_name);
      registry_scanner.ScanRegKey(hive.root, std::string(), store);
      store.Save();
      StepProgress();
    }
    if (!Terminated() && ScansFileSystem(settings)) {
      FStatus = ScanFsText();
      UpdateStatus();
      FileSystemScanner(fs_, registry_, settings, *this)
          .ScanFileSystem(context_.windows_folder, context_.program_folder);
      StepProgress();
    }
  } catch (const std::exception& e) {
    failed = true;
    FStatus = e.what();
    UpdateStatus();
  }
  // A scan that could not write its snapshots is not a finished one: the
  // window must not go on to the installation as if it were.
  if (Terminated()) return;
  context_.ProgramState = failed ? psFailed : psScanned;
}

// ---- ReScanThread ----

ReScanThread::ReScanThread(WorkerContext& context, platform::FileSystem& fs,
                           platform::Registry& registry, MainThreadDispatcher& dispatcher,
                           ScanObserver& observer, changes::ChangeTree& tree)
    : BaseScanThread(context, fs, registry, dispatcher, observer), tree_(tree) {}

void ReScanThread::Execute() {
  context_.ProgramState = psRescanning;
  SetFreeOnTerminate(true);
  try {
    if (!RescanHives() || Terminated()) return;
    if (!ScansFileSystem(context_.settings)) {
      context_.ProgramState = psIdle;
      return;
    }
    if (RescanFileSystem()) context_.ProgramState = psIdle;
  } catch (const std::exception& e) {
    context_.ProgramState = psFailed;
    FStatus = e.what();
    UpdateStatus();
  }
}

bool ReScanThread::RescanHives() {
  RegistryScanner scanner(registry_, context_.settings, *this);
  for (const Hive& hive : kHives) {
    if (!(context_.settings.*hive.setting)) continue;
    FStatus = ScanRegText() + std::string(hive.status_suffix);
    UpdateStatus();
    SnapshotTree before = LoadSnapshot(fs_, context_.program_folder, hive.base_name, *this);
    if (Terminated()) return false;
    StepProgress();
    SnapshotTree after;
    after.SetRoot(scanner.ScanRegKeyToTree(hive.root, "", std::string(), after));
    if (Terminated()) return false;
    StepProgress();
    FStatus = SearchRegText() + std::string(hive.status_suffix);
    UpdateStatus();
    compare::RegistryComparer comparer(*this, tree_, fs_, hive.root);
    comparer.CompareReg(after.Root(), before.Root(), "", false);
    if (Terminated()) return false;
    StepProgress();
    comparer.CompareReg(before.Root(), after.Root(), "", true);
    if (Terminated()) return false;
    StepProgress();
  }
  return true;
}

bool ReScanThread::RescanFileSystem() {
  const std::string& folder = context_.program_folder;
  FStatus = ScanFsText();
  UpdateStatus();
  // The result is not checked: without an earlier scan there is nothing to
  // rename, and loading "FIS1" then reports the missing file.
  fs_.MoveFile(SnapshotFilePath(folder, kFileSystemAfter),
               SnapshotFilePath(folder, kFileSystemBefore), /*replace=*/true);
  FileSystemScanner(fs_, registry_, context_.settings, *this)
      .ScanFileSystem(context_.windows_folder, folder);
  if (Terminated()) return false;
  StepProgress();

  FStatus = SearchFsText();
  UpdateStatus();
  SnapshotTree before = LoadSnapshot(fs_, folder, kFileSystemBefore, *this);
  if (Terminated()) return false;
  SnapshotTree after = LoadSnapshot(fs_, folder, kFileSystemAfter, *this);
  if (Terminated()) return false;
  StepProgress();
  compare::FileSystemComparer comparer(*this, tree_);
  comparer.CompareFS(after.Root(), before.Root(), "", false);
  if (Terminated()) return false;
  StepProgress();
  comparer.CompareFS(before.Root(), after.Root(), "", true);
  before.Free();
  after.Free();
  if (Terminated()) return false;

  FStatus = DetectMovedText();
  UpdateStatus();
  compare::DetectMovedFiles(*this, tree_);
  if (Terminated()) return false;
  StepProgress();
  return true;
}

}  // namespace cvn::snapshot

#include "monitoring/scan_workers.h"

#include <exception>

#include "engine/compare/compare_fs.h"
#include "engine/compare/compare_reg.h"
#include "engine/compare/detect_moved.h"
#include "engine/snapshot/filesystem_scanner.h"
#include "engine/snapshot/load_snapshot.h"
#include "engine/snapshot/registry_scanner.h"
#include "engine/snapshot/snapshot_store.h"
#include "i18n/translator.h"

namespace cvn::monitoring {

using snapshot::FileSystemScanner;
using snapshot::Hive;
using snapshot::kFileSystemAfter;
using snapshot::kFileSystemBefore;
using snapshot::kHives;
using snapshot::LoadSnapshot;
using snapshot::RegistryScanner;
using snapshot::SnapshotFilePath;
using snapshot::SnapshotStore;
using snapshot::SnapshotTree;
using threads::MainThreadDispatcher;
using threads::ProgramState;
using threads::WorkerContext;
using threads::WorkerThread;

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
  return settings.scan_windows_folder || settings.scan_program_files || settings.scan_other_folders;
}

int EnabledTargetCount(const settings::Settings& settings) {
  int count = 0;
  for (const Hive& hive : kHives) count += settings.*hive.setting ? 1 : 0;
  return count + (ScansFileSystem(settings) ? 1 : 0);
}

// ---- ScanWorker ----

ScanWorker::ScanWorker(WorkerContext& context, platform::FileSystem& fs,
                       platform::Registry& registry, MainThreadDispatcher& dispatcher,
                       ScanObserver& observer)
    : WorkerThread(dispatcher),
      context_(context),
      fs_(fs),
      registry_(registry),
      observer_(observer) {}

void ScanWorker::RequestStop() {
  context_.program_state = ProgramState::kStopRequested;
  Terminate();
}

bool ScanWorker::CancelRequested() const {
  return context_.program_state == ProgramState::kStopRequested;
}

void ScanWorker::ShowNotice(const std::string& text) {
  // It stays while the hive is walked instead, with the count of items.
  status_ = text;
  UpdateStatus();
}

void ScanWorker::UpdateStatus() {
  items_ = 0;
  last_report_ = std::chrono::steady_clock::now();
  Synchronize([this] { observer_.UpdateStatus(status_); });
}

void ScanWorker::CheckPause() {
  // The clock is read once in 256 items; a count shown more often than ten
  // times a second would only cost the main thread.
  if ((++items_ & 0xFF) == 0) ReportItems();
  WorkerThread::CheckPause();
}

void ScanWorker::ReportItems() {
  const auto now = std::chrono::steady_clock::now();
  if (now - last_report_ < std::chrono::milliseconds(100)) return;
  last_report_ = now;
  std::string text = status_ + " (" + std::to_string(items_) + " " +
                     i18n::Translate("RS_ITEMS", "items") + ")";
  Synchronize([this, &text] { observer_.UpdateStatus(text); });
}

void ScanWorker::NameTargets(FileSystemScanner& scanner) {
  scanner.on_target = [this](const std::string& folder) {
    status_ = ScanFsText() + " " + folder;
    UpdateStatus();
  };
}

void ScanWorker::StepProgress() {
  Synchronize([this] {
    if (!Terminated()) observer_.StepProgress();
  });
}

// ---- FirstScanWorker ----

FirstScanWorker::FirstScanWorker(WorkerContext& context, platform::FileSystem& fs,
                                 platform::Registry& registry, MainThreadDispatcher& dispatcher,
                                 ScanObserver& observer)
    : ScanWorker(context, fs, registry, dispatcher, observer) {}

void FirstScanWorker::Execute() {
  SetFreeOnTerminate(true);
  context_.program_state = ProgramState::kScanning;
  const settings::Settings& settings = context_.settings;
  bool failed = false;
  try {
    RegistryScanner registry_scanner(registry_, settings, *this);
    registry_scanner.on_notice = [this](const std::string& text) { ShowNotice(text); };
    for (const Hive& hive : kHives) {
      if (Terminated()) break;
      if (!(settings.*hive.setting)) continue;
      status_ = ScanRegText() + std::string(hive.status_suffix);
      UpdateStatus();
      SnapshotStore store = SnapshotStore::CreateNew(fs_, context_.program_folder, hive.base_name);
      registry_scanner.ScanRegKey(hive.root, std::string(), store);
      store.Save();
      StepProgress();
    }
    if (!Terminated() && ScansFileSystem(settings)) {
      status_ = ScanFsText();
      UpdateStatus();
      FileSystemScanner scanner(fs_, registry_, settings, *this);
      NameTargets(scanner);
      scanner.ScanFileSystem(context_.windows_folder, context_.program_folder);
      StepProgress();
    }
  } catch (const std::exception& e) {
    failed = true;
    status_ = e.what();
    UpdateStatus();
  }
  // A scan that could not write its snapshots is not a finished one: the
  // window must not go on to the installation as if it were.
  if (Terminated()) return;
  context_.program_state = failed ? ProgramState::kFailed : ProgramState::kScanned;
}

// ---- SecondScanWorker ----

SecondScanWorker::SecondScanWorker(WorkerContext& context, platform::FileSystem& fs,
                                   platform::Registry& registry, MainThreadDispatcher& dispatcher,
                                   ScanObserver& observer, changes::ChangeTree& tree)
    : ScanWorker(context, fs, registry, dispatcher, observer), tree_(tree) {}

void SecondScanWorker::Execute() {
  context_.program_state = ProgramState::kRescanning;
  SetFreeOnTerminate(true);
  try {
    if (!RescanHives() || Terminated()) return;
    if (!ScansFileSystem(context_.settings)) {
      context_.program_state = ProgramState::kIdle;
      return;
    }
    if (RescanFileSystem()) context_.program_state = ProgramState::kIdle;
  } catch (const std::exception& e) {
    context_.program_state = ProgramState::kFailed;
    status_ = e.what();
    UpdateStatus();
  }
}

bool SecondScanWorker::RescanHives() {
  RegistryScanner scanner(registry_, context_.settings, *this);
  scanner.on_notice = [this](const std::string& text) { ShowNotice(text); };
  for (const Hive& hive : kHives) {
    if (!(context_.settings.*hive.setting)) continue;
    status_ = ScanRegText() + std::string(hive.status_suffix);
    UpdateStatus();
    SnapshotTree before = LoadSnapshot(fs_, context_.program_folder, hive.base_name, *this);
    if (Terminated()) return false;
    StepProgress();
    SnapshotTree after;
    after.SetRoot(scanner.ScanRegKeyToTree(hive.root, "", std::string(), after));
    if (Terminated()) return false;
    StepProgress();
    status_ = SearchRegText() + std::string(hive.status_suffix);
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

bool SecondScanWorker::RescanFileSystem() {
  const std::string& folder = context_.program_folder;
  status_ = ScanFsText();
  UpdateStatus();
  // The result is not checked: without an earlier scan there is nothing to
  // rename, and loading "FIS1" then reports the missing file.
  fs_.MoveFile(SnapshotFilePath(folder, kFileSystemAfter),
               SnapshotFilePath(folder, kFileSystemBefore), /*replace=*/true);
  FileSystemScanner scanner(fs_, registry_, context_.settings, *this);
  NameTargets(scanner);
  scanner.ScanFileSystem(context_.windows_folder, folder);
  if (Terminated()) return false;
  StepProgress();

  status_ = SearchFsText();
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

  status_ = DetectMovedText();
  UpdateStatus();
  compare::DetectMovedFiles(*this, tree_);
  if (Terminated()) return false;
  StepProgress();
  return true;
}

}  // namespace cvn::monitoring

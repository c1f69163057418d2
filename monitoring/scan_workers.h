// The two scan workers. FirstScanWorker records the state before an installation:
// one snapshot file per enabled hive and one for the file system, in the
// program folder. SecondScanWorker records the state after it and puts every
// difference into the changes tree: per hive it loads the snapshot (deleting
// its file), scans the live hive and compares both ways; then it scans the
// file system again, compares and detects moved files.
//
// The window learns of their progress through ScanObserver, always on the
// main thread: a status text before each step, one progress step per target
// in the first scan and four per target in the second.
#pragma once

#include <chrono>
#include <cstdint>

#include <string>

#include "changes/change_tree.h"
#include "engine/threads/worker_context.h"
#include "engine/threads/worker_thread.h"
#include "platform/filesystem.h"
#include "platform/registry.h"

namespace cvn::snapshot {
class FileSystemScanner;
}

namespace cvn::monitoring {

// The main window's side of a scan; both calls run on the main thread.
class ScanObserver {
 public:
  virtual ~ScanObserver() = default;
  // The status line shows `text`.
  virtual void UpdateStatus(const std::string& text) = 0;
  // The progress bar advances by one step.
  virtual void StepProgress() = 0;
};

// The number of targets the settings enable: each hive, and the file system
// once when any folder target is on. The progress bar's maximum is five
// times this; the first scan makes one step per target, the second four.
int EnabledTargetCount(const settings::Settings& settings);
// True when a folder target is on.
bool ScansFileSystem(const settings::Settings& settings);

class ScanWorker : public threads::WorkerThread {
 public:
  // Main thread: sets ProgramState to 7 and terminates the thread.
  void RequestStop();
  // Loading a snapshot and the comparisons follow the application's stop
  // request.
  bool CancelRequested() const override;
  // The pause point, at every item: at most ten times a second the status
  // line also counts the items of the current step.
  void CheckPause() override;

 protected:
  ScanWorker(threads::WorkerContext& context, platform::FileSystem& fs,
             platform::Registry& registry, threads::MainThreadDispatcher& dispatcher,
             ScanObserver& observer);

  // Shows status_ in the status line (through Synchronize); the item count
  // starts again.
  void UpdateStatus();
  // A notice of the registry scanner (a saved hive it could not read) in
  // the status line.
  void ShowNotice(const std::string& text);
  // The file-system scanner names each target folder in the status line.
  void NameTargets(snapshot::FileSystemScanner& scanner);
  // Advances the progress bar unless the thread is terminated (through Synchronize).
  void StepProgress();

  threads::WorkerContext& context_;
  platform::FileSystem& fs_;
  platform::Registry& registry_;
  ScanObserver& observer_;
  std::string status_;  // the status line's text

 private:
  void ReportItems();

  uint64_t items_ = 0;  // of the current step
  std::chrono::steady_clock::time_point last_report_;
};

// The first scan. Ends with ProgramState 4, or 7 when stopped, or 1 when a
// snapshot could not be written (the error's text is then the status).
class FirstScanWorker final : public ScanWorker {
 public:
  FirstScanWorker(threads::WorkerContext& context, platform::FileSystem& fs,
                  platform::Registry& registry, threads::MainThreadDispatcher& dispatcher,
                  ScanObserver& observer);

 protected:
  void Execute() override;
};

// The second scan and the comparisons, into `tree` (reset to its fixed top
// by the window). Ends with ProgramState 0, or 7 when stopped, or 1 on an
// error such as a missing snapshot file (its text is then the status).
class SecondScanWorker final : public ScanWorker {
 public:
  SecondScanWorker(threads::WorkerContext& context, platform::FileSystem& fs,
                   platform::Registry& registry, threads::MainThreadDispatcher& dispatcher,
                   ScanObserver& observer, changes::ChangeTree& tree);

 protected:
  void Execute() override;

 private:
  // Each returns false when the thread was stopped.
  bool RescanHives();
  bool RescanFileSystem();

  changes::ChangeTree& tree_;
};

}  // namespace cvn::monitoring

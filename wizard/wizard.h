// The wizard's install path without a window: which page shows, what Next,
// Back and Exit do on each, the texts of the status line and the caption,
// the questions, and the two scans with their end handlers. It talks to the
// pages through WizardView, which the main window implements and tests
// record, so every transition is tested on the in-memory platform.
//
// Threads: the main thread. The scans run on workers whose calls and end
// notifications come back through the dispatcher.
#pragma once

#include <string>
#include <string_view>

#include "changes/change_tree.h"
#include "engine/threads/worker_context.h"
#include "engine/threads/worker_thread.h"
#include "monitoring/pending_monitoring.h"
#include "monitoring/scan_workers.h"
#include "platform/filesystem.h"
#include "platform/registry.h"
#include "settings/settings.h"

namespace cvn::wizard {

enum class Page { kFirst, kTargets, kRun, kTree, kLog };
enum class RunMode { kOneApplication, kSeveralApplications, kDuringThisScreen };
enum class Answer { kYes, kNo, kCancel };

// The nine target check boxes and the other folders' text.
struct TargetBoxes {
  bool hkcr = false, hklm = false, hku = false, hkcu = false, hkcc = false;
  bool windows_folder = false, program_files = false, system_partition = false;
  bool other_folders = false;
  std::string other_folders_text;
};

// The pages as the wizard sees them.
class WizardView {
 public:
  virtual ~WizardView() = default;
  virtual void ShowPage(Page page) = 0;
  virtual void SetStatus(std::string_view text) = 0;
  virtual void SetCaption(std::string_view text) = 0;
  virtual void EnableNext(bool on) = 0;
  virtual void EnableBack(bool on) = 0;
  // The Exit button reads "&Stop" while a worker runs.
  virtual void ShowStop(bool stop) = 0;
  virtual void SetProgress(int position, int maximum) = 0;
  virtual void StepProgress() = 0;

  // The first page: install or uninstall chosen, the identifier, a
  // monitored application selected in the list.
  virtual bool InstallChosen() = 0;
  virtual std::string Identifier() = 0;
  virtual bool ApplicationSelected() = 0;
  // The identifier edit is enabled with install, the list with uninstall.
  virtual void EnableFirstPage(bool install) = 0;
  virtual void SetIdentifier(std::string_view text) = 0;

  virtual TargetBoxes Targets() = 0;
  // Shows the boxes' states; `enabled` false disables all of them, and
  // `lock_folders` disables the Windows and program-files boxes alone.
  virtual void ShowTargets(const TargetBoxes& boxes, bool enabled, bool lock_folders) = 0;
  virtual void FocusOtherFolders() = 0;

  virtual RunMode ChosenRunMode() = 0;
  virtual std::string SetupPath() = 0;
  virtual void SetSetupPath(std::string_view text) = 0;
  // The run modes, and the setup path with its Browse button.
  virtual void EnableRunPage(bool modes, bool setup_path) = 0;
  virtual void FocusSetupPath() = 0;
  // Starts the setup program the user named; false when it could not start.
  virtual bool StartSetup(std::string_view path) = 0;

  // The tree page shows the changes tree as it is now; ClearChanges shows
  // nothing, before the tree is emptied and filled by a worker.
  virtual void ShowChanges() = 0;
  virtual void ClearChanges() = 0;
  // True while the tree was edited and not saved (the Save button).
  virtual bool ChangesEdited() = 0;
  virtual bool SaveChanges() = 0;

  // Empties the identifier and the setup path.
  virtual void ClearEdits() = 0;
  // Asks the window to close; MayClose then decides.
  virtual void CloseWindow() = 0;

  virtual void ShowError(std::string_view text) = 0;
  virtual Answer Ask(std::string_view question, bool with_cancel) = 0;
};

class InstallWizard final : public monitoring::ScanObserver {
 public:
  // `settings` is the object `context` reads (the wizard writes the targets
  // into it); `executable` is the window program, which the start-at-logon
  // value starts.
  InstallWizard(WizardView& view, settings::Settings& settings, threads::WorkerContext& context,
                platform::FileSystem& fs, platform::Registry& registry,
                threads::MainThreadDispatcher& dispatcher, changes::ChangeTree& tree,
                std::string executable);

  // At start-up: a pending monitoring resumes on the tree page; a damaged
  // continuation file is reported in the status line and removed.
  void Resume();

  void Next();
  void Back();
  // The Exit button: while a first scan runs it asks, then stops it or not;
  // otherwise it closes the window.
  void Exit();
  // Asked when the window is to close; false refuses the close.
  bool MayClose();

  // Install or uninstall was chosen on the first page.
  void InstallChoiceChanged();
  // The identifier or the list's selection changed: Next follows.
  void FirstPageChanged();
  // The targets page's boxes changed: the dependent boxes and Next follow.
  void TargetsChanged();
  // A run mode was chosen.
  void RunModeChanged();
  // The setup path was edited: with one application chosen, Next follows.
  void SetupPathChanged();
  // A file dropped on the first page names the application and its setup;
  // on the run page it is the setup.
  void FileDropped(std::string_view path);

  Page page() const { return page_; }

  // ScanObserver, from the workers.
  void UpdateStatus(const std::string& text) override { view_.SetStatus(text); }
  void StepProgress() override { view_.StepProgress(); }

 private:
  void StartFirstScan();
  void OnFirstScanEnded();
  void StartSecondScan();
  void OnSecondScanEnded();
  void ReturnToFirstPage();
  // False (with the error shown) when an other folder cannot be entered.
  bool CheckOtherFolders(const TargetBoxes& boxes);
  void CopyTargetsToSettings(const TargetBoxes& boxes);
  void ShowPage(Page page);
  void StopFirstScan();
  // Stops the running scan after asking `question`; true when it was asked to stop.
  bool AskToStop(std::string_view question);
  threads::ProgramState state() const { return context_.program_state; }
  void SetState(threads::ProgramState state) { context_.program_state = state; }

  WizardView& view_;
  settings::Settings& settings_;
  threads::WorkerContext& context_;
  platform::FileSystem& fs_;
  platform::Registry& registry_;
  threads::MainThreadDispatcher& dispatcher_;
  changes::ChangeTree& tree_;
  monitoring::PendingMonitoring pending_;
  std::string executable_;
  monitoring::ScanWorker* running_ = nullptr;  // frees itself when it ends
  Page page_ = Page::kFirst;
  bool close_when_stopped_ = false;
};

}  // namespace cvn::wizard

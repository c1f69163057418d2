// The wizard without a window: which page shows, what Next, Back and Exit do
// on each, the texts of the status line and the caption, the questions, and
// the workers with their end handlers, on both paths: installing (the two
// scans) and uninstalling (loading an archive, the uninstall). It talks to
// the pages through WizardView, which the main window implements and tests
// record, so every transition is tested on the in-memory platform.
//
// Threads: the main thread. The workers' calls and end notifications come
// back through the dispatcher.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "changes/archive_loader.h"
#include "changes/change_tree.h"
#include "changes/changes_archive.h"
#include "engine/threads/worker_context.h"
#include "engine/threads/worker_thread.h"
#include "monitoring/pending_monitoring.h"
#include "monitoring/scan_workers.h"
#include "platform/filesystem.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "settings/settings.h"
#include "uninstall/uninstall_backup.h"
#include "uninstall/uninstall_log.h"
#include "uninstall/uninstall_view.h"

namespace cvn::wizard {

enum class Page { kFirst, kTargets, kRun, kTree, kLog };
enum class RunMode { kOneApplication, kSeveralApplications, kDuringThisScreen };
enum class Answer { kYes, kNo, kCancel };
// The uninstall question's answers; kShowActions: "Show what will be done".
enum class UninstallAnswer { kYes, kNo, kShowActions };

// The nine target check boxes and the other folders' text.
struct TargetBoxes {
  bool hkcr = false, hklm = false, hku = false, hkcu = false, hkcc = false;
  bool windows_folder = false, program_files = false, system_partition = false;
  bool other_folders = false;
  std::string other_folders_text;
};

// The pages as the wizard sees them; the log page, the status line and the
// progress bar are also the uninstall's view.
class WizardView : public uninstall::UninstallView {
 public:
  virtual void ShowPage(Page page) = 0;
  virtual void SetCaption(std::string_view text) = 0;
  virtual void EnableNext(bool on) = 0;
  virtual void EnableBack(bool on) = 0;
  // The Exit button reads "&Stop" while a worker runs.
  virtual void ShowStop(bool stop) = 0;
  virtual void SetProgress(int position, int maximum) = 0;
  // Everything but the buttons below the pages, while an archive loads.
  virtual void EnableMainPanel(bool on) = 0;

  // The first page: install or uninstall chosen, the identifier, a
  // monitored application selected in the list.
  virtual bool InstallChosen() = 0;
  virtual std::string Identifier() = 0;
  // The monitored applications' list: refilled from the program folder; the
  // selected one ("" when none); the selected one taken out of the list only.
  virtual void FillApplications() = 0;
  virtual std::string SelectedApplication() = 0;
  virtual void RemoveSelectedApplication() = 0;
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

  // The log page before an uninstall: empty, disabled, button-face coloured.
  virtual void StartLog() = 0;

  // Administrator rights: whether this process has them, the user's profile
  // folder (what lies outside it, and outside HKEY_CURRENT_USER, needs them),
  // and starting Corvane again with them to load `identifier`; false when
  // that start did not happen (refused or failed).
  virtual bool Elevated() = 0;
  virtual std::string UserProfileFolder() = 0;
  virtual bool RestartElevated(std::string_view identifier) = 0;

  // Empties the identifier and the setup path.
  virtual void ClearEdits() = 0;
  // Asks the window to close; MayClose then decides.
  virtual void CloseWindow() = 0;

  virtual void ShowError(std::string_view text) = 0;
  virtual Answer Ask(std::string_view question, bool with_cancel) = 0;
  // The uninstall question: Yes, No or "Show what will be done".
  virtual UninstallAnswer AskUninstall(std::string_view question) = 0;
  // The actions an uninstall would take, one a line, until the user closes
  // them.
  virtual void ShowActions(const std::vector<std::string>& actions) = 0;
};

// What the wizard's workers work on.
struct WizardPlatform {
  platform::FileSystem& fs;
  platform::Registry& registry;
  platform::Shell& shell;
  const changes::Clock& clock;
};

// True when a change in `tree` lies where only an administrator may undo
// it: a registry change outside HKEY_CURRENT_USER, or a file-system change
// outside `profile_folder`.
bool NeedsAdministrator(const changes::ChangeTree& tree, std::string_view profile_folder);

class Wizard final : public monitoring::ScanObserver, public changes::LoadProgress {
 public:
  // `settings` is the object `context` reads (the wizard writes the targets
  // into it); `executable` is the window program, which the start-at-logon
  // value starts.
  Wizard(WizardView& view, settings::Settings& settings, threads::WorkerContext& context,
         WizardPlatform platform, threads::MainThreadDispatcher& dispatcher,
         changes::ChangeTree& tree, std::string executable);
  ~Wizard() override;

  // At start-up: a pending monitoring resumes on the tree page; a damaged
  // continuation file is reported in the status line and removed. Without
  // one, the list of monitored applications is filled, and an uninstall
  // that a crash or a power cut interrupted is offered to be finished (Yes)
  // or rolled back (No); Cancel leaves it for the next start.
  void Resume();

  void Next();
  void Back();
  // The Exit button, captioned Stop while a worker runs: a load stops at
  // once; a first scan or an uninstall asks first; otherwise the window is
  // asked to close.
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
  // The list's "Restore last uninstall": whether the application has an
  // uninstall to put back, and, after asking, putting it back.
  bool CanRestore(std::string_view identifier) const;
  void RestoreLastUninstall(const std::string& identifier);
  // The setup path was edited: with one application chosen, Next follows.
  void SetupPathChanged();
  // A file dropped on the first page names the application and its setup;
  // on the run page it is the setup.
  void FileDropped(std::string_view path);

  Page page() const { return page_; }

  // ScanObserver, from the workers.
  void UpdateStatus(const std::string& text) override { view_.SetStatus(text); }
  void StepProgress() override { view_.StepProgress(); }
  // LoadProgress, on the loader's thread.
  void SetProgress(int percent) override;

 private:
  // The uninstall path (uninstall_path.cpp).
  void LoadSelectedApplication();
  void LoadApplication(const std::string& identifier);
  void OnLoadEnded();
  void OfferElevation();
  void StartUninstall();
  // Asks the uninstall question until it is answered Yes or No, showing
  // the actions when asked to; true on Yes.
  bool ConfirmUninstall(std::string_view question);
  void RunUninstall();
  void OfferUnfinishedUninstall();
  // Tells how putting back what an uninstall of `identifier` did went.
  void ReportPutBack(const std::string& identifier, const uninstall::RestoreReport& report);
  void OnUninstallEnded();
  void BackToList();
  // Asks "Save the changes ?" when the tree was edited; false on Cancel.
  bool AskSaveChanges();
  std::string ArchivePath(std::string_view identifier) const;

  void StartFirstScan();
  void OnFirstScanEnded();
  void StartSecondScan();
  void OnSecondScanEnded();
  void ReturnToFirstPage();
  // False (with the error shown) when an other folder cannot be entered.
  bool CheckOtherFolders(const TargetBoxes& boxes);
  void CopyTargetsToSettings(const TargetBoxes& boxes);
  void ShowPage(Page page);
  // Parks the running worker and asks `question`; true when the user chose
  // to stop it. A worker that ends meanwhile leaves nothing to ask about:
  // false, and running_ is null.
  bool AskToStop(std::string_view question);
  // Asks the running worker to stop at its next item.
  void StopRunning();
  // Starts `worker` with `on_end` as its end handler.
  void Run(threads::WorkerThread* worker, void (Wizard::*on_end)());
  threads::ProgramState state() const { return context_.program_state; }
  void SetState(threads::ProgramState state) { context_.program_state = state; }

  WizardView& view_;
  settings::Settings& settings_;
  threads::WorkerContext& context_;
  platform::FileSystem& fs_;
  platform::Registry& registry_;
  platform::Shell& shell_;
  const changes::Clock& clock_;
  threads::MainThreadDispatcher& dispatcher_;
  changes::ChangeTree& tree_;
  monitoring::PendingMonitoring pending_;
  std::string executable_;
  threads::WorkerThread* running_ = nullptr;      // frees itself when it ends
  std::unique_ptr<uninstall::UninstallLog> log_;  // of the last uninstall
  Page page_ = Page::kFirst;
  bool uninstalling_path_ = false;  // the tree shows a loaded archive
  bool close_when_stopped_ = false;
  // The backup of an interrupted uninstall that the loading archive finishes.
  std::string unfinished_backup_;
};

}  // namespace cvn::wizard

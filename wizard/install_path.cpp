#include "wizard/wizard.h"

#include "changes/changes_archive.h"
#include "changes/save_changes_tree.h"
#include "engine/snapshot/snapshot_store.h"
#include "platform/filesystem.h"
#include "wizard/wizard_input.h"
#include "wizard/wizard_texts.h"

namespace cvn::wizard {

namespace {

using threads::ProgramState;

// The other folders' text as the settings keep it: entries separated by
// ";", each without a trailing backslash (a drive keeps its own).
std::string StoredFolders(std::string_view text) {
  std::string stored;
  for (size_t start = 0; start <= text.size();) {
    size_t cut = text.find(';', start);
    if (cut == std::string_view::npos) cut = text.size();
    std::string part(text.substr(start, cut - start));
    while (part.size() > 3 && part.back() == '\\') part.pop_back();
    if (!part.empty()) stored += (stored.empty() ? "" : ";") + part;
    start = cut + 1;
  }
  return stored;
}

// The question before a running worker is stopped.
std::string StopQuestion(ProgramState state) {
  switch (state) {
    case ProgramState::kScanning:
      return Text("RS_ABORT_SCANNING", "Cancel scanning ?");
    case ProgramState::kUninstalling:
      return Text("RS_STOP_UNINSTALL",
                  "It's not recommended to make an incomplete uninstall !\n"
                  "Are you sure you want to stop the uninstalling process ?");
    default:
      return Text("RS_ASK_CANCEL_ALL", "Cancel all operations and exit ?");
  }
}

}  // namespace

Wizard::Wizard(WizardView& view, settings::Settings& settings, threads::WorkerContext& context,
               WizardPlatform platform, threads::MainThreadDispatcher& dispatcher,
               changes::ChangeTree& tree, std::string executable)
    : view_(view),
      settings_(settings),
      context_(context),
      fs_(platform.fs),
      registry_(platform.registry),
      shell_(platform.shell),
      clock_(platform.clock),
      dispatcher_(dispatcher),
      tree_(tree),
      pending_(platform.fs, platform.registry, context.program_folder),
      executable_(std::move(executable)) {}

Wizard::~Wizard() = default;

void Wizard::Run(threads::WorkerThread* worker, void (Wizard::*on_end)()) {
  running_ = worker;
  worker->SetOnTerminate([this, on_end](threads::WorkerThread&) {
    running_ = nullptr;
    (this->*on_end)();
  });
  worker->Start();
}

void Wizard::ShowPage(Page page) {
  page_ = page;
  view_.ShowPage(page);
}

void Wizard::Resume() {
  monitoring::Continuation continuation;
  switch (pending_.Read(&continuation)) {
    case monitoring::PendingMonitoring::State::kNone:
      view_.FillApplications();
      OfferUnfinishedUninstall();
      return;
    case monitoring::PendingMonitoring::State::kDamaged:
      // Nothing can be finished from it: it goes, and the user learns why.
      view_.SetStatus(pending_.ContinuePath() + ": " +
                      Text("RS_INV_FILE_FORMAT", "Invalid file format !"));
      pending_.Abandon();
      view_.FillApplications();
      return;
    case monitoring::PendingMonitoring::State::kPending:
      break;
  }
  if (!continuation.targets.empty())
    (void)monitoring::ApplyTargetList(continuation.targets, settings_);
  context_.current_identifier = continuation.identifier;
  view_.SetCaption(PathCaption(continuation.identifier, false));
  ShowPage(Page::kTree);
  view_.SetStatus(Text("RS_NEXT_RESCAN", "Press <Next> to re-scan the targets."));
  const int targets = monitoring::EnabledTargetCount(settings_);
  view_.SetProgress(targets, 5 * targets);
  view_.EnableNext(true);
  SetState(ProgramState::kContinued);
}

void Wizard::Next() {
  switch (page_) {
    case Page::kFirst: {
      if (!view_.InstallChosen()) {
        LoadSelectedApplication();
        return;
      }
      const std::string identifier = view_.Identifier();
      if (identifier.empty()) return;
      context_.current_identifier = identifier;
      view_.SetCaption(PathCaption(identifier, false));
      const settings::Settings& s = settings_;
      view_.ShowTargets(
          {s.scan_hkcr, s.scan_hklm, s.scan_hku, s.scan_hkcu, s.scan_hkcc, s.scan_windows_folder,
           s.scan_program_files, s.scan_system_partition, s.scan_other_folders, s.other_folders},
          true, s.scan_system_partition);
      ShowPage(Page::kTargets);
      view_.EnableBack(true);
      view_.SetStatus(Text("RS_SELECT_TARGETS", "Select the targets. Press <Next> to continue."));
      TargetsChanged();
      return;
    }
    case Page::kTargets: {
      TargetBoxes boxes = view_.Targets();
      if (boxes.other_folders_text.empty()) boxes.other_folders = false;
      if (boxes.other_folders && !CheckOtherFolders(boxes)) return;
      view_.EnableNext(false);
      view_.EnableBack(false);
      view_.ShowTargets(boxes, false, boxes.system_partition);
      view_.ShowStop(true);
      CopyTargetsToSettings(boxes);
      settings::SaveSettings(registry_, settings_);
      StartFirstScan();
      return;
    }
    case Page::kRun:
      if (state() == ProgramState::kAwaitingRescan) {
        StartSecondScan();
        return;
      }
      if (const std::string path = view_.SetupPath(); view_.StartSetup(path)) {
        SetState(ProgramState::kAwaitingRescan);
        view_.SetStatus(Text("RS_NEXT_RESCAN_CONT",
                             "If the installing process is finished press <Next> to continue."));
        view_.EnableBack(false);
        view_.EnableRunPage(false, false);
        settings_.last_setup_folder = path.substr(0, path.find_last_of('\\') + 1);
      } else {
        view_.ShowError(
            WithArgument(Text("RS_CANT_EXECUTE", "Can't start the program '%s'!"), path));
        view_.FocusSetupPath();
      }
      return;
    case Page::kTree:
      if (uninstalling_path_) {
        StartUninstall();
      } else if (state() == ProgramState::kContinued) {
        StartSecondScan();
      } else if (state() == ProgramState::kMonitored && AskSaveChanges()) {
        ReturnToFirstPage();
      }
      return;
    case Page::kLog:
      if (running_ == nullptr) ReturnToFirstPage();
      return;
  }
}

void Wizard::Back() {
  if (running_ != nullptr) return;
  if (page_ == Page::kTree && uninstalling_path_) {
    BackToList();
    return;
  }
  if (page_ != Page::kTargets) return;
  pending_.Abandon();
  SetState(ProgramState::kIdle);
  view_.SetProgress(0, 0);
  view_.EnableNext(true);
  view_.EnableBack(false);
  view_.SetStatus(
      Text("RS_ENTER_IDENTIFIER", "Enter an identifier for the monitored application."));
  view_.SetCaption("Corvane");
  ShowPage(Page::kFirst);
}

bool Wizard::AskSaveChanges() {
  if (!view_.ChangesEdited()) return true;
  switch (view_.Ask(Text("RS_ASK_SAVE", "Save the changes ?"), true)) {
    case Answer::kYes:
      return view_.SaveChanges();
    case Answer::kNo:
      return true;
    case Answer::kCancel:
      break;
  }
  return false;
}

void Wizard::ReturnToFirstPage() {
  SetState(ProgramState::kIdle);
  uninstalling_path_ = false;
  view_.FillApplications();
  view_.EnableBack(false);
  view_.ClearEdits();
  view_.SetCaption("Corvane");
  ShowPage(Page::kFirst);
  InstallChoiceChanged();
}

void Wizard::InstallChoiceChanged() {
  if (view_.InstallChosen()) {
    view_.SetStatus(
        Text("RS_ENTER_IDENTIFIER", "Enter an identifier for the monitored application."));
  } else {
    view_.SetStatus(Text("RS_CHOOSE_IDENTIFIER",
                         "Choose the application identifier to uninstall or view."));
  }
  FirstPageChanged();
}

void Wizard::FirstPageChanged() {
  if (page_ != Page::kFirst) return;
  const bool install = view_.InstallChosen();
  view_.EnableFirstPage(install);
  view_.EnableNext(install ? !view_.Identifier().empty() : !view_.SelectedApplication().empty());
}

void Wizard::SetupPathChanged() {
  if (page_ == Page::kRun && state() == ProgramState::kScanned &&
      view_.ChosenRunMode() == RunMode::kOneApplication) {
    view_.EnableNext(!view_.SetupPath().empty());
  }
}

void Wizard::FileDropped(std::string_view path) {
  if (page_ == Page::kFirst) {
    view_.SetSetupPath(path);
    view_.SetIdentifier(IdentifierFromDroppedFile(path));
  } else if (page_ == Page::kRun) {
    view_.SetSetupPath(path);
  }
}

bool Wizard::CheckOtherFolders(const TargetBoxes& boxes) {
  std::string_view rest = boxes.other_folders_text;
  while (!rest.empty()) {
    const size_t cut = rest.find(';');
    const std::string_view part = rest.substr(0, cut);
    if (part.empty()) break;
    if (!platform::IsFolder(fs_, part)) {
      view_.ShowError(Text("RS_INV_PATH", "Invalid path: ") + std::string(part));
      view_.FocusOtherFolders();
      return false;
    }
    rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);
  }
  return true;
}

void Wizard::CopyTargetsToSettings(const TargetBoxes& boxes) {
  settings::Settings& s = settings_;
  s.scan_hkcr = boxes.hkcr;
  s.scan_hklm = boxes.hklm;
  s.scan_hku = boxes.hku;
  s.scan_hkcu = boxes.hkcu;
  s.scan_hkcc = boxes.hkcc;
  s.scan_windows_folder = boxes.windows_folder || boxes.system_partition;
  s.scan_program_files = boxes.program_files || boxes.system_partition;
  s.scan_system_partition = boxes.system_partition;
  s.scan_other_folders = boxes.other_folders;
  s.other_folders = StoredFolders(boxes.other_folders_text);
}

void Wizard::TargetsChanged() {
  TargetBoxes boxes = view_.Targets();
  if (boxes.system_partition) boxes.windows_folder = boxes.program_files = true;
  view_.ShowTargets(boxes, true, boxes.system_partition);
  int count = boxes.hkcr + boxes.hklm + boxes.hku + boxes.hkcu + boxes.hkcc;
  const bool folders = boxes.windows_folder || boxes.program_files || boxes.other_folders;
  if (folders) ++count;
  view_.EnableNext(count > 0);
  view_.SetProgress(0, 5 * count);
}

void Wizard::RunModeChanged() {
  switch (view_.ChosenRunMode()) {
    case RunMode::kOneApplication:
      view_.EnableNext(!view_.SetupPath().empty());
      view_.EnableRunPage(true, true);
      view_.SetStatus(Text("RS_SETUP_PATH", "Enter the setup path."));
      SetState(ProgramState::kScanned);
      break;
    case RunMode::kSeveralApplications:
      view_.EnableNext(false);
      view_.EnableRunPage(true, false);
      view_.SetStatus(Text("RS_EXIT_MANUAL_RUN",
                           "Press <Exit>. Do not forget to re-run this program after you finish."));
      SetState(ProgramState::kScanned);
      break;
    case RunMode::kDuringThisScreen:
      view_.EnableNext(true);
      view_.EnableRunPage(true, false);
      view_.SetStatus(Text("RS_NEXT_RESCAN_CONT",
                           "If the installing process is finished press <Next> to continue."));
      SetState(ProgramState::kAwaitingRescan);
      break;
  }
}

void Wizard::StartFirstScan() {
  // Stop works from the moment the button reads so, before the worker runs.
  SetState(ProgramState::kScanning);
  Run(new monitoring::FirstScanWorker(context_, fs_, registry_, dispatcher_, *this),
      &Wizard::OnFirstScanEnded);
}

void Wizard::OnFirstScanEnded() {
  view_.ShowStop(false);
  // A scan that could not write its snapshots cannot be compared with: the
  // targets page stays, with the worker's error in the status line.
  const bool failed = state() == ProgramState::kFailed;
  if (state() == ProgramState::kStopRequested || failed) {
    snapshot::DeleteSnapshotFiles(fs_, context_.program_folder);
    if (!failed)
      view_.SetStatus(Text("RS_SCAN_ABORTED", "Scanning canceled. Press <Back> or <Exit>."));
    view_.SetProgress(0, 0);
    view_.EnableBack(true);
    if (close_when_stopped_) view_.CloseWindow();
    return;
  }
  ShowPage(Page::kRun);
  const TargetBoxes boxes = view_.Targets();
  view_.ShowTargets(boxes, true, boxes.system_partition);
  view_.EnableBack(false);
  RunModeChanged();
  if (view_.ChosenRunMode() == RunMode::kOneApplication) view_.FocusSetupPath();
  (void)pending_.Begin({context_.current_identifier, {}}, true, executable_);
}

void Wizard::StartSecondScan() {
  view_.ClearChanges();
  tree_.Reset();
  ShowPage(Page::kTree);
  view_.EnableNext(false);
  view_.EnableBack(false);
  view_.ShowStop(true);
  // A crash during the scan must not resume it at the next start.
  pending_.StartSecondScan();
  SetState(ProgramState::kRescanning);
  Run(new monitoring::SecondScanWorker(context_, fs_, registry_, dispatcher_, *this, tree_),
      &Wizard::OnSecondScanEnded);
}

void Wizard::OnSecondScanEnded() {
  view_.SetProgress(0, 0);
  snapshot::DeleteSnapshotFiles(fs_, context_.program_folder);
  if (state() == ProgramState::kStopRequested) {
    view_.SetStatus(
        Text("RS_RESCAN_ABORTED",
             "Scanning canceled. Press <Next> to monitor another application or <Exit>."));
    if (close_when_stopped_) {
      view_.CloseWindow();
      return;
    }
  } else if (state() == ProgramState::kFailed) {
    // What was compared before the error is shown, with the worker's error
    // in the status line; an archive of part of the changes is not saved.
    tree_.MarkEmptyBranches();
  } else {
    tree_.MarkEmptyBranches();
    // Only the fixed top: nothing to keep.
    if (tree_.NodeCount() > 3) {
      try {
        changes::SaveChangesTree(tree_, fs_, context_.program_folder, context_.current_identifier);
      } catch (const changes::ArchiveFileError&) {
        view_.ShowError(Text("RS_ERR_SAVING", "Error saving changes tree !"));
      }
    }
    view_.SetStatus(Text("RS_COMPLETE",
                         "Operations completed. Press <Next> to monitor another application or "
                         "<Exit>."));
  }
  view_.ShowChanges();
  SetState(ProgramState::kMonitored);
  view_.EnableNext(true);
  view_.ShowStop(false);
}

bool Wizard::AskToStop(std::string_view question) {
  if (!running_->SafeSuspend()) return false;  // it ended meanwhile
  const bool stop = view_.Ask(question, false) == Answer::kYes;
  if (stop) StopRunning();
  running_->Resume();
  return stop;
}

void Wizard::StopRunning() {
  // A load follows its thread's request alone; the others the state too.
  if (state() != ProgramState::kLoading) SetState(ProgramState::kStopRequested);
  running_->Terminate();
}

void Wizard::Exit() {
  if (running_ != nullptr && state() == ProgramState::kStopRequested) return;  // stopping
  if (running_ == nullptr || state() == ProgramState::kRescanning) {
    // A second scan is stopped by closing, with its own question.
    view_.CloseWindow();
  } else if (state() == ProgramState::kLoading) {
    StopRunning();
  } else {
    AskToStop(StopQuestion(state()));
  }
}

bool Wizard::MayClose() {
  if (running_ != nullptr) {
    // The window closes once the worker has stopped, from its end handler.
    if (state() == ProgramState::kLoading) {
      StopRunning();
      close_when_stopped_ = true;
      return false;
    }
    const bool stop = AskToStop(StopQuestion(state()));
    if (running_ == nullptr) return MayClose();  // it ended while the question waited
    if (stop) close_when_stopped_ = true;
    return false;
  }
  const bool pending =
      state() == ProgramState::kContinued || state() == ProgramState::kAwaitingRescan ||
      (state() == ProgramState::kScanned && view_.ChosenRunMode() == RunMode::kOneApplication);
  if (pending) {
    switch (
        view_.Ask(Text("RS_ASK_CANCEL_MONIT", "Cancel monitoring process before exit ?"), true)) {
      case Answer::kYes:
        pending_.Abandon();
        return true;
      case Answer::kNo:
        return true;
      case Answer::kCancel:
        return false;
    }
  }
  return page_ != Page::kTree || AskSaveChanges();
}

}  // namespace cvn::wizard

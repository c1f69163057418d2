#include "wizard/install_wizard.h"

#include "changes/changes_archive.h"
#include "changes/save_changes_tree.h"
#include "engine/snapshot/snapshot_store.h"
#include "i18n/translator.h"
#include "platform/filesystem.h"
#include "wizard/wizard_input.h"

namespace cvn::wizard {

namespace {

using threads::ProgramState;

std::string Text(const char* id, const char* english) {
  return i18n::Translate(id, english);
}

std::string WithArgument(std::string text, std::string_view argument) {
  if (const size_t at = text.find("%s"); at != std::string::npos) text.replace(at, 2, argument);
  return text;
}

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

}  // namespace

InstallWizard::InstallWizard(WizardView& view, settings::Settings& settings,
                             threads::WorkerContext& context, platform::FileSystem& fs,
                             platform::Registry& registry,
                             threads::MainThreadDispatcher& dispatcher, changes::ChangeTree& tree,
                             std::string executable)
    : view_(view),
      settings_(settings),
      context_(context),
      fs_(fs),
      registry_(registry),
      dispatcher_(dispatcher),
      tree_(tree),
      pending_(fs, registry, context.program_folder),
      executable_(std::move(executable)) {}

void InstallWizard::ShowPage(Page page) {
  page_ = page;
  view_.ShowPage(page);
}

void InstallWizard::Resume() {
  monitoring::Continuation continuation;
  switch (pending_.Read(&continuation)) {
    case monitoring::PendingMonitoring::State::kNone:
      return;
    case monitoring::PendingMonitoring::State::kDamaged:
      // Nothing can be finished from it: it goes, and the user learns why.
      view_.SetStatus(pending_.ContinuePath() + ": " +
                      Text("RS_INV_FILE_FORMAT", "Invalid file format !"));
      pending_.Abandon();
      return;
    case monitoring::PendingMonitoring::State::kPending:
      break;
  }
  if (!continuation.targets.empty())
    (void)monitoring::ApplyTargetList(continuation.targets, settings_);
  context_.current_identifier = continuation.identifier;
  view_.SetCaption("Corvane [" + continuation.identifier + "] - " +
                   Text("RS_INSTALLING", "installing"));
  ShowPage(Page::kTree);
  view_.SetStatus(Text("RS_NEXT_RESCAN", "Press <Next> to re-scan the targets."));
  const int targets = monitoring::EnabledTargetCount(settings_);
  view_.SetProgress(targets, 5 * targets);
  view_.EnableNext(true);
  SetState(ProgramState::kContinued);
}

void InstallWizard::Next() {
  switch (page_) {
    case Page::kFirst: {
      // Uninstalling a monitored application is not part of this path.
      if (!view_.InstallChosen()) return;
      const std::string identifier = view_.Identifier();
      if (identifier.empty()) return;
      context_.current_identifier = identifier;
      view_.SetCaption("Corvane [" + identifier + "] - " + Text("RS_INSTALLING", "installing"));
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
      if (state() == ProgramState::kContinued) {
        StartSecondScan();
      } else if (state() == ProgramState::kMonitored) {
        if (view_.ChangesEdited()) {
          const Answer answer = view_.Ask(Text("RS_ASK_SAVE", "Save the changes ?"), true);
          if (answer == Answer::kCancel) return;
          if (answer == Answer::kYes) view_.SaveChanges();
        }
        ReturnToFirstPage();
      }
      return;
    case Page::kLog:
      return;
  }
}

void InstallWizard::Back() {
  if (page_ != Page::kTargets || running_ != nullptr) return;
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

void InstallWizard::ReturnToFirstPage() {
  SetState(ProgramState::kIdle);
  view_.ClearEdits();
  view_.SetCaption("Corvane");
  ShowPage(Page::kFirst);
  InstallChoiceChanged();
}

void InstallWizard::InstallChoiceChanged() {
  if (view_.InstallChosen()) {
    view_.SetStatus(
        Text("RS_ENTER_IDENTIFIER", "Enter an identifier for the monitored application."));
  } else {
    view_.SetStatus(Text("RS_CHOOSE_IDENTIFIER",
                         "Choose the application identifier to uninstall or view."));
  }
  FirstPageChanged();
}

void InstallWizard::FirstPageChanged() {
  if (page_ != Page::kFirst) return;
  const bool install = view_.InstallChosen();
  view_.EnableFirstPage(install);
  view_.EnableNext(install ? !view_.Identifier().empty() : view_.ApplicationSelected());
}

void InstallWizard::SetupPathChanged() {
  if (page_ == Page::kRun && state() == ProgramState::kScanned &&
      view_.ChosenRunMode() == RunMode::kOneApplication) {
    view_.EnableNext(!view_.SetupPath().empty());
  }
}

void InstallWizard::FileDropped(std::string_view path) {
  if (page_ == Page::kFirst) {
    view_.SetSetupPath(path);
    view_.SetIdentifier(IdentifierFromDroppedFile(path));
  } else if (page_ == Page::kRun) {
    view_.SetSetupPath(path);
  }
}

bool InstallWizard::CheckOtherFolders(const TargetBoxes& boxes) {
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

void InstallWizard::CopyTargetsToSettings(const TargetBoxes& boxes) {
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

void InstallWizard::TargetsChanged() {
  TargetBoxes boxes = view_.Targets();
  if (boxes.system_partition) boxes.windows_folder = boxes.program_files = true;
  view_.ShowTargets(boxes, true, boxes.system_partition);
  int count = boxes.hkcr + boxes.hklm + boxes.hku + boxes.hkcu + boxes.hkcc;
  const bool folders = boxes.windows_folder || boxes.program_files || boxes.other_folders;
  if (folders) ++count;
  view_.EnableNext(count > 0);
  view_.SetProgress(0, 5 * count);
}

void InstallWizard::RunModeChanged() {
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

void InstallWizard::StartFirstScan() {
  // Stop works from the moment the button reads so, before the worker runs.
  SetState(ProgramState::kScanning);
  auto* scan = new monitoring::FirstScanWorker(context_, fs_, registry_, dispatcher_, *this);
  running_ = scan;
  scan->SetOnTerminate([this](threads::WorkerThread&) { OnFirstScanEnded(); });
  scan->Start();
}

void InstallWizard::OnFirstScanEnded() {
  running_ = nullptr;
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

void InstallWizard::StartSecondScan() {
  view_.ClearChanges();
  tree_.Reset();
  ShowPage(Page::kTree);
  view_.EnableNext(false);
  view_.EnableBack(false);
  view_.ShowStop(true);
  // A crash during the scan must not resume it at the next start.
  pending_.StartSecondScan();
  SetState(ProgramState::kRescanning);
  auto* scan =
      new monitoring::SecondScanWorker(context_, fs_, registry_, dispatcher_, *this, tree_);
  running_ = scan;
  scan->SetOnTerminate([this](threads::WorkerThread&) { OnSecondScanEnded(); });
  scan->Start();
}

void InstallWizard::OnSecondScanEnded() {
  running_ = nullptr;
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

bool InstallWizard::AskToStop(std::string_view question) {
  const bool parked = running_->SafeSuspend();
  const bool stop = view_.Ask(question, false) == Answer::kYes;
  if (stop) running_->RequestStop();
  if (parked) running_->Resume();
  return stop;
}

void InstallWizard::Exit() {
  if (running_ != nullptr && state() == ProgramState::kScanning) {
    StopFirstScan();
  } else {
    view_.CloseWindow();
  }
}

void InstallWizard::StopFirstScan() {
  if (running_ == nullptr || state() != ProgramState::kScanning) return;
  AskToStop(Text("RS_ABORT_SCANNING", "Cancel scanning ?"));
}

bool InstallWizard::MayClose() {
  if (running_ != nullptr) {
    const bool first = state() == ProgramState::kScanning;
    const std::string question =
        first ? Text("RS_ABORT_SCANNING", "Cancel scanning ?")
              : Text("RS_ASK_CANCEL_ALL", "Cancel all operations and exit ?");
    // The window closes once the scan has stopped, from its end handler.
    if (AskToStop(question)) close_when_stopped_ = true;
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
  if (page_ == Page::kTree && view_.ChangesEdited()) {
    switch (view_.Ask(Text("RS_ASK_SAVE", "Save the changes ?"), true)) {
      case Answer::kYes:
        return view_.SaveChanges();
      case Answer::kNo:
        return true;
      case Answer::kCancel:
        return false;
    }
  }
  return true;
}

}  // namespace cvn::wizard

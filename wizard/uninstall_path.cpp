// The wizard's uninstall path: loading the chosen application's archive, the
// review on the tree page, the uninstall with its log, and their stops.
#include <memory>

#include "platform/text.h"
#include "uninstall/uninstall_backup.h"
#include "uninstall/uninstall_plan.h"
#include "uninstall/uninstaller.h"
#include "wizard/wizard.h"
#include "wizard/wizard_texts.h"

namespace cvn::wizard {

namespace {

using changes::NodeId;
using threads::ProgramState;

constexpr uint32_t kCurrentUserHandle = 0x80000001;

bool InsideFolder(std::string_view path, std::string_view folder) {
  while (!folder.empty() && folder.back() == '\\') folder.remove_suffix(1);
  if (folder.empty() || path.size() < folder.size()) return false;
  if (!text::EqualsNoCase(path.substr(0, folder.size()), folder)) return false;
  return path.size() == folder.size() || path[folder.size()] == '\\';
}

}  // namespace

bool NeedsAdministrator(const changes::ChangeTree& tree, std::string_view profile_folder) {
  for (NodeId node = tree.Top(); node != changes::kNoNode;
       node = tree.NextInSubtree(node, tree.Top())) {
    const changes::ChangeRecord& data = tree.Data(node);
    if (changes::IsRegistryChange(data.kind) && data.root_key != kCurrentUserHandle) return true;
    if (changes::IsFileSystemChange(data.kind) && !InsideFolder(data.path, profile_folder))
      return true;
  }
  return false;
}

std::string Wizard::ArchivePath(std::string_view identifier) const {
  std::string path = context_.program_folder;
  if (!path.empty() && !path.ends_with('\\')) path += '\\';
  return path + std::string(identifier);
}

void Wizard::SetProgress(int percent) {
  dispatcher_.Post([this, percent] { view_.SetProgress(percent, 100); });
}

void Wizard::LoadSelectedApplication() {
  const std::string identifier = view_.SelectedApplication();
  if (!identifier.empty()) LoadApplication(identifier);
}

void Wizard::LoadApplication(const std::string& identifier) {
  view_.SetProgress(0, 100);
  context_.current_identifier = identifier;
  view_.SetCaption(PathCaption(identifier, true));
  changes::ChangesArchive archive(fs_, ArchivePath(identifier), clock_);
  if (!archive.Open()) {
    // The entry goes from the list; the file stays, and is listed again
    // the next time the list is filled.
    view_.ShowError(Text("RS_INV_FILE_FORMAT", "Invalid file format !"));
    view_.SetCaption("Corvane");
    view_.RemoveSelectedApplication();
    FirstPageChanged();
    unfinished_backup_.clear();  // offered again at the next start
    return;
  }
  view_.EnableNext(false);
  view_.ShowStop(true);
  view_.SetStatus(Text("RS_LOADING_CHG", "Loading changes..."));
  view_.ClearChanges();
  tree_.SetUninstallMode(true);
  tree_.Reset();
  view_.EnableMainPanel(false);
  // Stop works from the moment the button reads so, before the loader runs.
  SetState(ProgramState::kLoading);
  Run(new changes::ArchiveLoader(context_, fs_, tree_, dispatcher_, *this), &Wizard::OnLoadEnded);
}

void Wizard::OnLoadEnded() {
  switch (state()) {
    case ProgramState::kFailed:
      // What was read stays in the tree, which is not shown.
      view_.SetStatus(Text("RS_INV_FILE_FORMAT", "Invalid file format !"));
      break;
    case ProgramState::kStopRequested:
      tree_.Reset();
      view_.SetStatus(
          Text("RS_CHOOSE_IDENTIFIER", "Choose the application identifier to uninstall or view."));
      view_.SetCaption("Corvane");
      break;
    default:
      tree_.MarkEmptyBranches();
      uninstalling_path_ = true;
      ShowPage(Page::kTree);
      view_.ShowChanges();
      view_.EnableBack(true);
      view_.SetStatus(Text("RS_NEXT_UNINSTALL",
                           "Checked changes will be restored. Press <Next> to uninstall."));
      break;
  }
  view_.ShowStop(false);
  view_.SetProgress(0, 100);
  view_.EnableMainPanel(true);
  view_.EnableNext(true);
  if (close_when_stopped_) {
    view_.CloseWindow();
  } else if (!unfinished_backup_.empty()) {
    // An interrupted uninstall the user chose to finish: no more questions.
    if (uninstalling_path_) RunUninstall();
    unfinished_backup_.clear();
  } else if (uninstalling_path_ && !view_.Elevated()) {
    OfferElevation();
  }
}

void Wizard::OfferElevation() {
  if (!NeedsAdministrator(tree_, view_.UserProfileFolder())) return;
  // Nothing was edited yet, so a new start loses nothing.
  const std::string question = WithArgument(
      Text("RS_ASK_ELEVATE",
           "Some of these changes are outside your user profile (for example under "
           "HKEY_LOCAL_MACHINE or in Program Files); undoing them needs administrator rights.\n"
           "Start Corvane again as administrator with '%s' ?"),
      context_.current_identifier);
  if (view_.Ask(question, false) == Answer::kYes &&
      view_.RestartElevated(context_.current_identifier)) {
    view_.CloseWindow();
  }
}

void Wizard::StartUninstall() {
  if (!AskSaveChanges()) return;
  std::string question =
      WithArgument(Text("RS_ASK_UNINSTALL", "Are you sure you want to uninstall '%s' ?"),
                   context_.current_identifier);
  if (!view_.Elevated() && NeedsAdministrator(tree_, view_.UserProfileFolder())) {
    question = Text("RS_NOT_ELEVATED",
                    "Without administrator rights the changes outside your user profile will "
                    "fail and stay.") +
               "\n" + question;
  }
  if (ConfirmUninstall(question)) RunUninstall();
}

bool Wizard::ConfirmUninstall(std::string_view question) {
  for (;;) {
    switch (view_.AskUninstall(question)) {
      case UninstallAnswer::kYes:
        return true;
      case UninstallAnswer::kShowActions:
        view_.ShowActions(uninstall::ListUninstallActions(
            settings_, context_.loaded_change_counts, tree_, {registry_, fs_, shell_},
            context_.program_folder, context_.current_identifier));
        break;
      case UninstallAnswer::kNo:
        return false;
    }
  }
}

void Wizard::RunUninstall() {
  view_.StartLog();
  ShowPage(Page::kLog);
  view_.EnableBack(false);
  view_.EnableNext(false);
  view_.ShowStop(true);
  log_ = std::make_unique<uninstall::UninstallLog>(settings_, view_);
  SetState(ProgramState::kUninstalling);
  auto* engine = new uninstall::Uninstaller(context_, tree_, {registry_, fs_, shell_}, *log_, view_,
                                            clock_, dispatcher_, context_.current_identifier);
  if (!unfinished_backup_.empty()) engine->ContinueBackup(unfinished_backup_);
  Run(engine, &Wizard::OnUninstallEnded);
}

void Wizard::OfferUnfinishedUninstall() {
  const std::vector<uninstall::UnfinishedUninstall> unfinished =
      uninstall::FindUnfinishedUninstalls(fs_, context_.program_folder);
  if (unfinished.empty()) return;
  // One at a time: the others are offered at the following starts.
  const uninstall::UnfinishedUninstall& run = unfinished.front();
  const std::string question = WithArgument(
      Text("RS_ASK_UNFINISHED",
           "The uninstall of '%s' was interrupted before its end.\n"
           "Yes finishes it, No puts back what it did; Cancel asks again at the next start."),
      run.identifier);
  switch (view_.Ask(question, true)) {
    case Answer::kYes:
      unfinished_backup_ = run.folder;
      LoadApplication(run.identifier);
      break;
    case Answer::kNo:
      ReportPutBack(run.identifier, uninstall::PutBackAndRemove(fs_, registry_, run.folder));
      break;
    default:
      break;
  }
}

bool Wizard::CanRestore(std::string_view identifier) const {
  return uninstall::HasUninstallBackup(fs_, context_.program_folder, identifier);
}

void Wizard::RestoreLastUninstall(const std::string& identifier) {
  if (identifier.empty() || !CanRestore(identifier)) return;
  const std::string question = WithArgument(
      Text("RS_ASK_RESTORE", "Put back everything the last uninstall of '%s' removed or changed ?"),
      identifier);
  if (view_.Ask(question, false) != Answer::kYes) return;
  ReportPutBack(identifier, uninstall::RestoreLastUninstall(fs_, registry_, context_.program_folder,
                                                            identifier));
}

void Wizard::ReportPutBack(const std::string& identifier, const uninstall::RestoreReport& report) {
  if (report.ok()) {
    view_.SetStatus(WithArgument(
        Text("RS_PUT_BACK", "Everything the uninstall of '%s' removed or changed is back."),
        identifier));
    return;
  }
  std::string text = WithArgument(
      Text("RS_NOT_PUT_BACK",
           "Not everything the uninstall of '%s' removed or changed could be put back:"),
      identifier);
  for (const std::string& failure : report.failures) text += "\n" + failure;
  view_.ShowError(text);
}

void Wizard::OnUninstallEnded() {
  // Reports the end in the log, stamps the state and gives the window its
  // controls back; a Log.txt that cannot be written is said in the status line.
  const platform::Status written = uninstall::WriteLogFile({context_, fs_, clock_}, *log_, view_);
  if (!written.ok())
    view_.SetStatus(uninstall::LogFilePath(context_.program_folder) + ": " + written.ToString());
  if (close_when_stopped_) view_.CloseWindow();
}

void Wizard::BackToList() {
  if (!AskSaveChanges()) return;
  uninstalling_path_ = false;
  view_.EnableBack(false);
  view_.SetStatus(
      Text("RS_CHOOSE_IDENTIFIER", "Choose the application identifier to uninstall or view."));
  view_.SetCaption("Corvane");
  view_.ClearChanges();
  tree_.Reset();
  ShowPage(Page::kFirst);
  FirstPageChanged();
}

}  // namespace cvn::wizard

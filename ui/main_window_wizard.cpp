// The main window as the wizard's view: its events go to the Wizard,
// and what the wizard decides is drawn here.
#include "platform/win32/windows_api.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

#include <string>

#include "i18n/translator.h"
#include "platform/win32/wide_text.h"
#include "ui/actions_dialog.h"
#include "ui/edit_filter.h"
#include "ui/elevation.h"
#include "ui/main_window.h"
#include "ui/message_box.h"
#include "ui/remove_shared_dialog.h"
#include "wizard/wizard_input.h"

namespace cvn::ui {

namespace {

using platform::win32::ToUtf8;
using platform::win32::ToWide;
using wizard::Page;

bool IsChecked(const Component& box) {
  return SendMessageW(box.hwnd(), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void SetCheck(const Component& box, bool checked) {
  SendMessageW(box.hwnd(), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void Enable(const Component& control, bool on) {
  EnableWindow(control.hwnd(), on ? TRUE : FALSE);
}

// "Applications (*.exe)|*.exe|All files (*.*)|*.*" as the file dialog wants
// it: pairs separated by NULs, ending with two.
std::wstring DialogFilter(std::string_view filter) {
  std::wstring wide = ToWide(filter);
  for (wchar_t& c : wide) {
    if (c == L'|') c = L'\0';
  }
  return wide + std::wstring(2, L'\0');
}

}  // namespace

void MainWindow::BindWizardEvents() {
  FilterTypedCharacters(identifier_edit_->hwnd(), wizard::IdentifierAccepts);
  FilterTypedCharacters(setup_path_edit_->hwnd(), wizard::SetupPathAccepts);
  OnClick(*next_button_, [this] { wizard_->Next(); });
  OnClick(*back_button_, [this] { wizard_->Back(); });
  OnClick(*exit_button_, [this] { wizard_->Exit(); });
  OnClick(*install_choice_, [this] { wizard_->InstallChoiceChanged(); });
  OnClick(*uninstall_choice_, [this] { wizard_->InstallChoiceChanged(); });
  OnChange(*identifier_edit_, [this] { wizard_->FirstPageChanged(); });
  for (Component* box :
       {hkcr_check_, hklm_check_, hku_check_, hkcu_check_, hkcc_check_, windows_folder_check_,
        program_files_check_, system_partition_check_, other_folders_check_}) {
    OnClick(*box, [this] { wizard_->TargetsChanged(); });
  }
  for (Component* mode :
       {one_application_choice_, several_applications_choice_, during_this_screen_choice_}) {
    OnClick(*mode, [this] { wizard_->RunModeChanged(); });
  }
  OnChange(*setup_path_edit_, [this] { wizard_->SetupPathChanged(); });
  OnClick(*browse_button_, [this] { OnBrowseClick(); });
}

void MainWindow::OnBrowseClick() {
  wchar_t file[MAX_PATH] = {};
  const std::wstring title = ToWide(i18n::Translate("RS_SEARCH", "Search"));
  const std::wstring filter = DialogFilter(
      i18n::Translate("RS_SETUP_FILTER", "Applications (*.exe)|*.exe|All files (*.*)|*.*"));
  const std::wstring folder = ToWide(context_.settings.last_setup_folder);
  OPENFILENAMEW dialog = {};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = hwnd();
  dialog.lpstrFilter = filter.c_str();
  dialog.lpstrFile = file;
  dialog.nMaxFile = MAX_PATH;
  dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
  dialog.lpstrTitle = title.c_str();
  dialog.lpstrDefExt = L"exe";
  dialog.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
  if (GetOpenFileNameW(&dialog)) SetSetupPath(ToUtf8(file));
}

void MainWindow::OnDropFiles(HANDLE handle) {
  const auto drop = static_cast<HDROP>(handle);
  const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
  std::wstring path(length + 1, L'\0');
  path.resize(DragQueryFileW(drop, 0, path.data(), length + 1));
  DragFinish(drop);
  if (!path.empty()) wizard_->FileDropped(ToUtf8(path));
}

void MainWindow::SettleFocus(bool leave_exit) {
  const HWND focus = GetFocus();
  const bool usable = focus != nullptr && IsWindowVisible(focus) && IsWindowEnabled(focus);
  if (usable && !(leave_exit && focus == exit_button_->hwnd())) return;
  if (IsWindowEnabled(next_button_->hwnd())) {
    SetFocus(next_button_->hwnd());
  } else if (const HWND first = GetNextDlgTabItem(hwnd(), nullptr, FALSE)) {
    SetFocus(first);
  }
}

void MainWindow::ShowPage(Page page) {
  Component* const panels[] = {first_page_, targets_page_, run_page_, tree_page_, log_page_};
  ShowPanel(*panels[static_cast<int>(page)]);
  PostMessageW(hwnd(), kSettleFocusMessage, 0, 0);
}

void MainWindow::EnableNext(bool on) {
  Enable(*next_button_, on);
}

void MainWindow::EnableBack(bool on) {
  Enable(*back_button_, on);
}

void MainWindow::ShowStop(bool stop) {
  exit_button_->SetText(stop ? i18n::Translate("RS_STOP", "&Stop")
                             : i18n::Translate("RS_EXIT", "E&xit"));
  if (stop) {
    SetFocus(exit_button_->hwnd());
  } else {
    // Enter must not press Exit once the work is done.
    PostMessageW(hwnd(), kSettleFocusMessage, /*leave_exit=*/1, 0);
  }
}

void MainWindow::SetProgress(int position, int maximum) {
  SendMessageW(progress_bar_->hwnd(), PBM_SETRANGE32, 0, maximum);
  SendMessageW(progress_bar_->hwnd(), PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void MainWindow::StepProgress() {
  SendMessageW(progress_bar_->hwnd(), PBM_DELTAPOS, 1, 0);
}

bool MainWindow::InstallChosen() {
  return IsChecked(*install_choice_);
}

std::string MainWindow::Identifier() {
  return identifier_edit_->Text();
}

void MainWindow::EnableFirstPage(bool install) {
  Enable(*identifier_edit_, install);
  Enable(*archives_list_, !install);
  ListView_SetBkColor(archives_list_->hwnd(), GetSysColor(install ? COLOR_BTNFACE : COLOR_WINDOW));
  InvalidateRect(archives_list_->hwnd(), nullptr, TRUE);
}

void MainWindow::SetIdentifier(std::string_view text) {
  identifier_edit_->SetText(text);
}

wizard::TargetBoxes MainWindow::Targets() {
  return {IsChecked(*hkcr_check_),          IsChecked(*hklm_check_),
          IsChecked(*hku_check_),           IsChecked(*hkcu_check_),
          IsChecked(*hkcc_check_),          IsChecked(*windows_folder_check_),
          IsChecked(*program_files_check_), IsChecked(*system_partition_check_),
          IsChecked(*other_folders_check_), other_folders_edit_->Text()};
}

void MainWindow::ShowTargets(const wizard::TargetBoxes& boxes, bool enabled, bool lock_folders) {
  const std::pair<Component*, bool> checks[] = {
      {hkcr_check_, boxes.hkcr},
      {hklm_check_, boxes.hklm},
      {hku_check_, boxes.hku},
      {hkcu_check_, boxes.hkcu},
      {hkcc_check_, boxes.hkcc},
      {windows_folder_check_, boxes.windows_folder},
      {program_files_check_, boxes.program_files},
      {system_partition_check_, boxes.system_partition},
      {other_folders_check_, boxes.other_folders},
  };
  for (const auto& [box, checked] : checks) {
    SetCheck(*box, checked);
    Enable(*box, enabled);
  }
  if (lock_folders) {
    Enable(*windows_folder_check_, false);
    Enable(*program_files_check_, false);
  }
  Enable(*other_folders_edit_, enabled && boxes.other_folders);
}

void MainWindow::FocusOtherFolders() {
  SetFocus(other_folders_edit_->hwnd());
}

wizard::RunMode MainWindow::ChosenRunMode() {
  if (IsChecked(*several_applications_choice_)) return wizard::RunMode::kSeveralApplications;
  if (IsChecked(*during_this_screen_choice_)) return wizard::RunMode::kDuringThisScreen;
  return wizard::RunMode::kOneApplication;
}

std::string MainWindow::SetupPath() {
  return setup_path_edit_->Text();
}

void MainWindow::SetSetupPath(std::string_view text) {
  setup_path_edit_->SetText(text);
}

void MainWindow::EnableRunPage(bool modes, bool setup_path) {
  for (Component* mode :
       {one_application_choice_, several_applications_choice_, during_this_screen_choice_})
    Enable(*mode, modes);
  Enable(*setup_path_edit_, setup_path);
  Enable(*browse_button_, setup_path);
}

void MainWindow::FocusSetupPath() {
  SetFocus(setup_path_edit_->hwnd());
}

bool MainWindow::StartSetup(std::string_view path) {
  // The path as typed, its environment variables expanded; the shell shows
  // no error of its own, the wizard reports one.
  const std::wstring file = ToWide(path);
  SHELLEXECUTEINFOW start = {};
  start.cbSize = sizeof(start);
  start.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_DOENVSUBST;
  start.hwnd = hwnd();
  start.lpFile = file.c_str();
  start.nShow = SW_SHOWNORMAL;
  return ShellExecuteExW(&start) != FALSE;
}

void MainWindow::EnableMainPanel(bool on) {
  Enable(*main_panel_, on);
}

void MainWindow::FillApplications() {
  applications_->Refresh();
}

std::string MainWindow::SelectedApplication() {
  return applications_->SelectedIdentifier().value_or("");
}

void MainWindow::RemoveSelectedApplication() {
  applications_->RemoveSelected();
}

void MainWindow::LoadApplication(std::string_view identifier) {
  SetCheck(*install_choice_, false);
  SetCheck(*uninstall_choice_, true);
  wizard_->InstallChoiceChanged();
  if (applications_->Select(identifier)) wizard_->Next();
}

void MainWindow::StartLog() {
  log_box_->Start();
}

bool MainWindow::Elevated() {
  return RunsElevated();
}

std::string MainWindow::UserProfileFolder() {
  return ui::UserProfileFolder();
}

bool MainWindow::RestartElevated(std::string_view identifier) {
  return StartElevated(hwnd(), UninstallArguments(identifier));
}

void MainWindow::SetProgressMax(uint32_t max) {
  SendMessageW(progress_bar_->hwnd(), PBM_SETRANGE32, 0, static_cast<LPARAM>(max));
}

void MainWindow::AppendLogLine(std::string_view text, uninstall::LogColor color) {
  log_box_->Append(text, color);
}

uninstall::RemoveAnswer MainWindow::AskRemoveShared(std::string_view file_name,
                                                    std::string_view folder) {
  return AskRemoveSharedFile(hwnd(), file_name, folder);
}

void MainWindow::ShowUninstallEnded(std::string_view exit_caption) {
  log_box_->Finish();
  exit_button_->SetText(exit_caption);
  SetProgress(0, 0);
  EnableNext(true);
  PostMessageW(hwnd(), kSettleFocusMessage, /*leave_exit=*/1, 0);
}

void MainWindow::ShowChanges() {
  tree_view_page_->SetIdentifier(worker_context_.current_identifier);
  tree_view_page_->ShowTree();
}

void MainWindow::ClearChanges() {
  tree_view_page_->Clear();
}

bool MainWindow::ChangesEdited() {
  return tree_view_page_->edited();
}

bool MainWindow::SaveChanges() {
  return tree_view_page_->Save();
}

void MainWindow::ClearEdits() {
  identifier_edit_->SetText("");
  setup_path_edit_->SetText("");
}

void MainWindow::CloseWindow() {
  PostMessageW(hwnd(), WM_CLOSE, 0, 0);
}

void MainWindow::ShowError(std::string_view text) {
  CustomMessageDlg(text, MessageKind::kError, {MessageButton::kOk});
}

wizard::Answer MainWindow::Ask(std::string_view question, bool with_cancel) {
  const MessageButtons buttons =
      with_cancel ? MessageButtons{MessageButton::kYes, MessageButton::kNo, MessageButton::kCancel}
                  : MessageButtons{MessageButton::kYes, MessageButton::kNo};
  const int result = CustomMessageDlg(question, MessageKind::kConfirmation, buttons);
  if (result == MessageButtonResult(MessageButton::kYes)) return wizard::Answer::kYes;
  if (result == MessageButtonResult(MessageButton::kNo) || !with_cancel) return wizard::Answer::kNo;
  return wizard::Answer::kCancel;
}

wizard::UninstallAnswer MainWindow::AskUninstall(std::string_view question) {
  const int result =
      CustomMessageDlg(question, MessageKind::kConfirmation,
                       {MessageButton::kYes, MessageButton::kNo, MessageButton::kShowActions});
  if (result == kResultYes) return wizard::UninstallAnswer::kYes;
  if (result == kResultShowActions) return wizard::UninstallAnswer::kShowActions;
  return wizard::UninstallAnswer::kNo;
}

void MainWindow::ShowActions(const std::vector<std::string>& actions) {
  ShowActionsDialog(hwnd(), actions);
}

}  // namespace cvn::ui

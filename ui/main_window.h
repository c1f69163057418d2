// MainWindow, Corvane's main window: a wizard of five pages in one panel,
// with the status line, the overall progress and the Back, Next, Exit and
// About buttons below them.
//
// The window fixes the program's folders and loads the settings when it is
// created, restores its placement when it is first shown, and saves the
// placement, the changes tree's column widths and the settings when it
// closes. Closing it ends the message loop.
#pragma once

#include "platform/win32/windows_api.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "changes/change_tree.h"
#include "changes/changes_archive.h"
#include "engine/threads/worker_context.h"
#include "platform/registry.h"
#include "platform/win32/win32_filesystem.h"
#include "platform/win32/win32_shell.h"
#include "ui/app_context.h"
#include "ui/form.h"
#include "ui/log_box.h"
#include "ui/monitored_list_view.h"
#include "ui/notification_icon.h"
#include "ui/tree_page.h"
#include "ui/window_dispatcher.h"
#include "wizard/wizard.h"

namespace cvn::ui {

// The smallest size the user may give the main window at `dpi`.
Size MainWindowMinTrackSize(int dpi);

// The window draws the wizard's pages and forwards their events to the
// Wizard, which decides what each does.
class MainWindow : public Form, private wizard::WizardView {
 public:
  static constexpr wchar_t kClassName[] = L"TfrmCvnMain";

  MainWindow(AppContext& context, platform::Registry& registry);

  // Creates the window and its components, hidden. False when the system
  // refused the window.
  bool Create();
  // Shows the window for the first time (`show_command` as in ShowWindow),
  // after setting its minimum size and restoring its stored placement.
  void Show(int show_command);

  // Makes `page` the one visible page.
  void ShowPanel(const Component& page);

  // The changes tree the tree page shows; the comparison and the archive
  // loader fill it.
  changes::ChangeTree& changes_tree() { return changes_tree_; }
  // Shows the tree page with the tree as it is now, for `identifier`.
  void ShowChangesTree(std::string identifier);
  TreePage& tree_page() { return *tree_view_page_; }
  // The wizard behind the pages; made when the window is created.
  wizard::Wizard& wizard() { return *wizard_; }
  // Chooses uninstall and loads the archive of `identifier`, as a user
  // selecting it and pressing Next would (a start with --uninstall ID).
  void LoadApplication(std::string_view identifier);

 protected:
  void FormCreate() override;
  void FormClose() override;
  void FormDestroy() override;
  void FormResize() override;
  void FormDpiChanged() override;
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  // Posted by the window to itself: the focus settles once a handler is done.
  static constexpr UINT kSettleFocusMessage = WM_APP + 21;

  // Building the window (main_window_layout.cpp).
  void CreateComponents();
  void CreateFirstPage();
  void CreateTargetsPage();
  void CreateRunPage();
  void CreateLogPage();
  void CreateTreePage();
  void CreateBottomRow();
  void SetListColumns();
  void FitListColumns();
  void SetHelpContexts();

  // Language.
  void ChooseEnglish();
  void TranslateWindow();
  void AfterTranslation();
  void SetListColumnCaptions();
  void ReportLanguageDamage();
  // The font of the window's controls.
  HFONT WindowFont() const;

  // Settings and placement.
  void ReadSettings();
  void CopySettingsToControls();
  void ReadColumnWidths();
  void FormShow();
  void RestorePlacement();
  void SavePlacement();

  // The wizard's events and the view it drives (main_window_wizard.cpp).
  void BindWizardEvents();
  void OnBrowseClick();
  void OnDropFiles(HANDLE drop);  // an HDROP
  // Once a handler has run: the focus leaves hidden or disabled controls
  // (and the Exit button, when `leave_exit`) for Next, else for the page's
  // first control.
  void SettleFocus(bool leave_exit);
  void ShowPage(wizard::Page page) override;
  void SetStatus(std::string_view text) override;
  void SetCaption(std::string_view text) override { Form::SetCaption(text); }
  void EnableNext(bool on) override;
  void EnableBack(bool on) override;
  void ShowStop(bool stop) override;
  void SetProgress(int position, int maximum) override;
  void StepProgress() override;
  bool InstallChosen() override;
  std::string Identifier() override;
  void EnableFirstPage(bool install) override;
  void SetIdentifier(std::string_view text) override;
  wizard::TargetBoxes Targets() override;
  void ShowTargets(const wizard::TargetBoxes& boxes, bool enabled, bool lock_folders) override;
  void FocusOtherFolders() override;
  wizard::RunMode ChosenRunMode() override;
  std::string SetupPath() override;
  void SetSetupPath(std::string_view text) override;
  void EnableRunPage(bool modes, bool setup_path) override;
  void FocusSetupPath() override;
  bool StartSetup(std::string_view path) override;
  void EnableMainPanel(bool on) override;
  void FillApplications() override;
  std::string SelectedApplication() override;
  void RemoveSelectedApplication() override;
  void StartLog() override;
  bool Elevated() override;
  std::string UserProfileFolder() override;
  bool RestartElevated(std::string_view identifier) override;
  // The uninstall's view.
  void SetProgressMax(uint32_t max) override;
  void AppendLogLine(std::string_view text, uninstall::LogColor color) override;
  uninstall::RemoveAnswer AskRemoveShared(std::string_view file_name,
                                          std::string_view folder) override;
  void ShowUninstallEnded(std::string_view exit_caption) override;
  void ShowChanges() override;
  void ClearChanges() override;
  bool ChangesEdited() override;
  bool SaveChanges() override;
  void ClearEdits() override;
  void CloseWindow() override;
  void ShowError(std::string_view text) override;
  wizard::Answer Ask(std::string_view question, bool with_cancel) override;
  wizard::UninstallAnswer AskUninstall(std::string_view question) override;
  void ShowActions(const std::vector<std::string>& actions) override;

  // The notification area while minimised.
  void MinimizeToNotificationArea();
  void RestoreFromNotificationArea();
  void OnNotificationIcon(UINT mouse_message);

  // Events.
  void OnAboutClick();
  // After Ok the window takes the new settings at once.
  void OnOptionsClick();
  // F1 opens the user guide (a missing one is named in the status line);
  // Shift+F1 shows the focused control's help text.
  void OnHelpKey(bool shift, HWND focused);
  // Right click on a control with a help text: the "What's This?" menu.
  bool OfferWhatsThis(POINT at);
  void JustOneStartInstance();
  LRESULT GetMinMaxInfo(MINMAXINFO& info);
  LRESULT ColorWarningLabel(HDC dc);

  AppContext& context_;
  platform::Registry& registry_;
  Size min_track_size_;          // set when first shown; zero before
  bool show_maximized_ = false;  // the stored placement asks for it
  int32_t change_column_width_ = 257;
  int32_t before_column_width_ = 152;
  int tree_columns_dpi_ = kDesignDpi;  // the DPI the tree's columns are sized for
  platform::win32::Win32FileSystem file_system_;
  platform::win32::Win32Shell shell_;
  changes::SystemClock clock_;
  changes::ChangeTree changes_tree_{context_.settings};
  std::unique_ptr<TreePage> tree_view_page_;
  threads::WorkerContext worker_context_{context_.settings};
  WindowDispatcher dispatcher_;
  std::unique_ptr<wizard::Wizard> wizard_;
  std::unique_ptr<NotificationIcon> notification_icon_;
  std::unique_ptr<LogBox> log_box_;
  std::unique_ptr<MonitoredListView> applications_;

  // Components; the names that language files use are in doc/glossary.md.
  Component* outer_panel_ = nullptr;
  Component* main_panel_ = nullptr;
  Component* first_page_ = nullptr;
  Component* targets_page_ = nullptr;
  Component* run_page_ = nullptr;
  Component* tree_page_ = nullptr;
  Component* log_page_ = nullptr;
  // First page.
  Component* install_choice_ = nullptr;
  Component* install_info_label_ = nullptr;
  Component* identifier_edit_ = nullptr;
  Component* uninstall_choice_ = nullptr;
  Component* choose_app_label_ = nullptr;
  Component* archives_list_ = nullptr;
  Component* options_button_ = nullptr;
  // Targets page.
  Component* registry_targets_label_ = nullptr;
  Component* hkcr_check_ = nullptr;
  Component* hklm_check_ = nullptr;
  Component* hku_check_ = nullptr;
  Component* hkcu_check_ = nullptr;
  Component* hkcc_check_ = nullptr;
  Component* folder_targets_label_ = nullptr;
  Component* windows_folder_check_ = nullptr;
  Component* program_files_check_ = nullptr;
  Component* system_partition_check_ = nullptr;
  Component* other_folders_check_ = nullptr;
  Component* other_folders_edit_ = nullptr;
  Component* warning_image_ = nullptr;
  Component* warning_label_ = nullptr;
  Component* warning_text_label_ = nullptr;
  // Run page.
  Component* one_application_choice_ = nullptr;
  Component* setup_path_edit_ = nullptr;
  Component* browse_button_ = nullptr;
  Component* several_applications_choice_ = nullptr;
  Component* during_this_screen_choice_ = nullptr;
  // Below the pages.
  Component* status_label_ = nullptr;
  Component* progress_label_ = nullptr;
  Component* progress_bar_ = nullptr;
  Component* back_button_ = nullptr;
  Component* next_button_ = nullptr;
  Component* exit_button_ = nullptr;
  Component* about_button_ = nullptr;
};

}  // namespace cvn::ui

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
#include "platform/registry.h"
#include "platform/win32/win32_filesystem.h"
#include "ui/app_context.h"
#include "ui/form.h"
#include "ui/tree_page.h"

namespace cvn::ui {

// The smallest size the user may give the main window at `dpi`.
Size MainWindowMinTrackSize(int dpi);

class MainWindow : public Form {
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
  void ShowPage(const Component& page);

  // The changes tree the tree page shows; the comparison and the archive
  // loader fill it.
  changes::ChangeTree& changes_tree() { return changes_tree_; }
  // Shows the tree page with the tree as it is now, for `identifier`.
  void ShowChangesTree(std::string identifier);
  TreePage& tree_page() { return *tree_view_page_; }

 protected:
  void FormCreate() override;
  void FormClose() override;
  void FormDestroy() override;
  void FormResize() override;
  void FormDpiChanged() override;
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  // Building the window (main_window_layout.cpp).
  void CreateComponents();
  void CreateFirstPage();
  void CreateTargetsPage();
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
  void SetStatus(std::string_view text);
  // The font of the window's controls.
  HFONT WindowFont() const;

  // Settings and placement.
  void ReadSettings();
  void CopySettingsToControls();
  void ReadColumnWidths();
  void FormShow();
  void RestorePlacement();
  void SavePlacement();

  // Events.
  void OnExitClick();
  void OnAboutClick();
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
  changes::ChangeTree changes_tree_{context_.settings};
  std::unique_ptr<TreePage> tree_view_page_;

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

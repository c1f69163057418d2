// TfrmCvnMain, Corvane's main window: a wizard of five pages in one panel,
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
#include <string_view>

#include "platform/registry.h"
#include "ui/app_context.h"
#include "ui/form.h"

namespace cvn::ui {

// The smallest size the user may give the main window at `dpi`.
Size MainWindowMinTrackSize(int dpi);

class TfrmCvnMain : public Form {
 public:
  static constexpr wchar_t kClassName[] = L"TfrmCvnMain";

  TfrmCvnMain(AppContext& context, platform::Registry& registry);

  // Creates the window and its components, hidden. False when the system
  // refused the window.
  bool Create();
  // Shows the window for the first time (`show_command` as in ShowWindow),
  // after setting its minimum size and restoring its stored placement.
  void Show(int show_command);

  // Makes `page` the one visible page.
  void ShowPage(const Component& page);

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

  // Settings and placement.
  void ReadSettings();
  void CopySettingsToControls();
  void ReadColumnWidths();
  void FormShow();
  void RestorePlacement();
  void SavePlacement();

  // Events.
  void btnExitClick();
  void btnAboutClick();
  void JustOneStartInstance();
  LRESULT GetMinMaxInfo(MINMAXINFO& info);
  LRESULT ColorWarningLabel(HDC dc);

  AppContext& context_;
  platform::Registry& registry_;
  Size min_track_size_;          // set when first shown; zero before
  bool show_maximized_ = false;  // the stored placement asks for it
  int32_t change_column_width_ = 257;
  int32_t before_column_width_ = 152;

  // Components, named as in language files.
  Component* pnlOuter = nullptr;
  Component* pnlMain = nullptr;
  Component* pnlFirst = nullptr;
  Component* pnlTargets = nullptr;
  Component* pnlRun = nullptr;
  Component* pnlTree = nullptr;
  Component* pnlLog = nullptr;
  // First page.
  Component* rbInstall = nullptr;
  Component* lblInstallInfo = nullptr;
  Component* edIdentif = nullptr;
  Component* rbUninstall = nullptr;
  Component* lblChooseApp = nullptr;
  Component* lvCvnFiles = nullptr;
  Component* btnOptions = nullptr;
  // Targets page.
  Component* lblRegTargets = nullptr;
  Component* HKCR = nullptr;
  Component* HKLM = nullptr;
  Component* HKUS = nullptr;
  Component* HKCU = nullptr;
  Component* HKCC = nullptr;
  Component* lblFsTargets = nullptr;
  Component* SWin = nullptr;
  Component* SProg = nullptr;
  Component* SRest = nullptr;
  Component* cbOthers = nullptr;
  Component* edOthers = nullptr;
  Component* imgWarning = nullptr;
  Component* lblWarning = nullptr;
  Component* lblWarningText = nullptr;
  // Below the pages.
  Component* lblStatus = nullptr;
  Component* lblProgress = nullptr;
  Component* pbProgress = nullptr;
  Component* btnBack = nullptr;
  Component* btnNext = nullptr;
  Component* btnExit = nullptr;
  Component* btnAbout = nullptr;
};

}  // namespace cvn::ui

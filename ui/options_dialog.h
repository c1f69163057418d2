// OptionsDialog: the settings that the wizard does not ask for, on three
// pages: General (the changes tree's font, its background picture, the
// viewer, the interface language), Scanner (the excluded folders and the
// ignored files and registry keys) and Uninstaller (the uninstall phases,
// the log classes and the log file). It edits a copy of the settings and
// hands it back only after Ok. It is translated when shown, through the
// installed translator (form "dlgCvnOptions").
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"
#include "settings/settings.h"
#include "ui/modal_dialog.h"
#include "ui/options_model.h"

namespace cvn::ui {

class OptionsDialog : public ModalDialog {
 public:
  static constexpr wchar_t kClassName[] = L"TdlgCvnOptions";

  // `settings.program_folder` names the folder of Log.txt and the excluded
  // folder that is never listed.
  explicit OptionsDialog(const settings::Settings& settings);

  // Creates the dialog, hidden. False when the system refused the window.
  bool Create();

  // The settings to store after Ok (the language as chosen in the list).
  settings::Settings Result() const { return model_.Result(); }

  // How the Add buttons ask for a folder and for files: the system's folder
  // browser and file dialog unless replaced (an empty answer adds nothing).
  std::function<std::optional<std::string>(HWND owner)> choose_folder;
  std::function<std::vector<std::string>(HWND owner)> choose_files;
  // The page shown when the dialog opens: 0 General, 1 Scanner, 2 Uninstaller.
  int first_page = 0;

 protected:
  void FormCreate() override;
  void FormShow() override;
  void FormDpiChanged() override;
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  struct PathListControls {
    Component* list = nullptr;
    Component* add = nullptr;
    Component* remove = nullptr;
  };

  void CreateGeneralPage(Component& page);
  void CreateScannerPage(Component& page);
  void CreateUninstallerPage(Component& page);
  Component& AddPage(std::string name, std::string_view caption);
  Component& AddGroup(std::string name, std::string_view caption, Component& page, Rect bounds);
  PathListControls AddPathList(std::string_view list_name, std::string_view label_name,
                               std::string_view label, std::string_view add_name,
                               std::string_view remove_name, Component& page, int top,
                               int help_context);
  void ShowPage(int index);
  void FillFonts();
  void FillLanguages();
  void DrawLanguage(const DRAWITEMSTRUCT& item) const;
  void DrawFlag(HDC dc, const std::vector<uint8_t>& bmp, int x, int y) const;
  void FillList(const PathListControls& controls, const settings::PathList& entries);
  void FillLists();
  void UpdateLogButtons();

  void btnAddExclFolderClick();
  void btnAddIgnFileClick();
  void btnAddIgnKeyClick();
  void RemoveSelected(const PathListControls& controls,
                      const std::function<void(const std::string&)>& remove);
  void cbStergFisiereClick();
  void cmbLanguagesChange();
  void btnViewLogClick();
  void btnClearLogClick();
  void btnOkClick();

  OptionsModel model_;
  std::vector<Component*> pages_;
  Component* pcOptions_ = nullptr;
  Component* cmbTreeFont_ = nullptr;
  Component* seFontSize_ = nullptr;
  Component* udFontSize_ = nullptr;
  Component* cbShowBckgrd_ = nullptr;
  Component* edViewer_ = nullptr;
  Component* cmbLanguages_ = nullptr;
  PathListControls excluded_folders_;
  PathListControls ignored_files_;
  PathListControls ignored_keys_;
  std::vector<std::pair<Component*, bool settings::Settings::*>> phase_boxes_;
  Component* cbStergFisiere_ = nullptr;
  Component* cbUseRecycled_ = nullptr;
  Component* cbDeleteChanged_ = nullptr;
  std::vector<std::pair<Component*, int>> log_boxes_;
  Component* cbAutoDelCvn_ = nullptr;
  Component* btnViewLog_ = nullptr;
  Component* btnClearLog_ = nullptr;
};

// Shows the options over `owner` (may be null) on a copy of `settings`.
// After Ok the copy becomes `settings`, the translator (when one is
// installed) takes the chosen language, the settings are saved to
// `registry`, and the result is true. Cancel, or a dialog that cannot be
// shown, changes nothing and gives false.
bool ShowOptionsDialog(HWND owner, settings::Settings& settings, platform::Registry& registry);
// The same on a dialog made (and not yet created) by the caller.
bool ShowOptionsDialog(OptionsDialog& dialog, HWND owner, settings::Settings& settings,
                       platform::Registry& registry);

}  // namespace cvn::ui

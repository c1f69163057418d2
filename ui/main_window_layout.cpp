// The components of the main window and where they sit. Bounds are in pixels
// at 96 DPI inside a client area of 672 x 401 (the client of a 688 x 440
// window); the anchors say how each follows a resize.
#include "platform/win32/windows_api.h"

#include <commctrl.h>

#include <algorithm>
#include <utility>

#include "i18n/translator.h"
#include "platform/win32/wide_text.h"
#include "ui/main_window.h"

#include "ui/context_help.h"

namespace cvn::ui {

namespace {

constexpr uint8_t kAnchorTopLeftRight = kAnchorLeft | kAnchorTop | kAnchorRight;
constexpr uint8_t kAnchorBottomLeft = kAnchorLeft | kAnchorBottom;
constexpr uint8_t kAnchorBottomRight = kAnchorRight | kAnchorBottom;
constexpr uint8_t kAnchorBottomLeftRight = kAnchorLeft | kAnchorRight | kAnchorBottom;

// The page area; every page fills it.
constexpr Rect kPageArea = {0, 0, 656, 292};

// The list of monitored applications: the name column takes what the three
// fixed columns leave.
constexpr int kDateColumnWidth = 150;
constexpr int kUsesColumnWidth = 50;
constexpr int kMinNameColumnWidth = 80;

// Help-file topics of the windowed controls.
constexpr std::pair<const char*, int> kHelpContexts[] = {
    {"rbInstall", 19},  {"edIdentif", 20},   {"rbUninstall", 21}, {"btnOptions", 22},
    {"lvCvnFiles", 23}, {"pbProgress", 24},  {"btnBack", 25},     {"btnNext", 26},
    {"btnExit", 27},    {"tvChanges", 29},   {"btnSave", 30},     {"btnPrint", 31},
    {"btnExport", 32},  {"HKCR", 35},        {"HKLM", 36},        {"HKUS", 37},
    {"HKCU", 38},       {"HKCC", 39},        {"SWin", 40},        {"SProg", 41},
    {"SRest", 42},      {"cbOthers", 43},    {"edOthers", 44},    {"rbUna", 45},
    {"pnlFirst", 46},   {"edSetupPath", 46}, {"btnBrowse", 47},   {"rbMulte", 48},
    {"rbStarted", 49},  {"reLog", 50},
};
// The About button is a graphic button: its topic is in its tag.
constexpr int kAboutHelpContext = 28;

void SetChecked(const Component& box, bool checked) {
  SendMessageW(box.hwnd(), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

}  // namespace

void MainWindow::CreateComponents() {
  outer_panel_ = &AddPanel("pnlOuter", nullptr, {{0, 0, 672, 401}, kAnchorAll});
  main_panel_ = &AddPanel("pnlMain", outer_panel_, {{8, 8, 656, 292}, kAnchorAll});
  CreateFirstPage();
  CreateTargetsPage();
  CreateRunPage();
  CreateTreePage();
  CreateLogPage();
  CreateBottomRow();
  SetHelpContexts();
}

void MainWindow::CreateTreePage() {
  tree_page_ = &AddPanel("pnlTree", main_panel_, {kPageArea, kAnchorAll});
  Component& list = AddControl({.name = "tvChanges",
                                .window_class = WC_LISTVIEWW,
                                .style = WS_TABSTOP | WS_GROUP | LVS_REPORT | LVS_OWNERDATA |
                                         LVS_SINGLESEL | LVS_SHOWSELALWAYS,
                                .ex_style = WS_EX_CLIENTEDGE,
                                .properties = kHint,
                                .parent = tree_page_,
                                .placement = {{0, 0, 656, 258}, kAnchorAll}});
  constexpr uint8_t kBottomLeft = kAnchorLeft | kAnchorBottom;
  constexpr uint8_t kBottomRight = kAnchorRight | kAnchorBottom;
  Component& save =
      AddButton("btnSave", "&Save", tree_page_, {{0, 266, 84, 25}, kBottomLeft}, WS_GROUP);
  Component& print = AddButton("btnPrint", "&Print", tree_page_, {{88, 266, 84, 25}, kBottomLeft});
  Component& export_button =
      AddButton("btnExport", "&Export", tree_page_, {{176, 266, 84, 25}, kBottomLeft});
  Component& expand =
      AddButton("btnExpand", "Expand all", tree_page_, {{292, 266, 96, 25}, kBottomRight});
  Component& collapse =
      AddButton("btnCollapse", "Collapse all", tree_page_, {{392, 266, 96, 25}, kBottomRight});
  // Exactly one of the two is down: binary data as text or as hexadecimal digits.
  Component& text_mode = AddRadioButton("sbString", "Text", tree_page_,
                                        {{520, 266, 66, 25}, kBottomRight}, WS_GROUP | BS_PUSHLIKE);
  Component& hex_mode =
      AddRadioButton("sbHexa", "Hex", tree_page_, {{590, 266, 66, 25}, kBottomRight}, BS_PUSHLIKE);
  // The context menu's items: components without windows, for the language files.
  for (const auto& [name, caption] : {std::pair{"pmiCheck", "Check branch"},
                                      {"pmiUncheck", "Uncheck branch"},
                                      {"pmiExpandAll", "Expand all"},
                                      {"pmiCollapseAll", "Collapse all"},
                                      {"pmiRemoveBr", "Remove branch"},
                                      {"pmiOpen", "Open"},
                                      {"pmiView", "View"},
                                      {"pmiProperties", "P&roperties"},
                                      {"pmiAddToIgnore", "Add to ignore list"}}) {
    AddNonWindowed(name, kCaption, caption);
  }
  tree_view_page_ = std::make_unique<TreePage>(
      TreePage::Controls{hwnd(), list.hwnd(), save.hwnd(), print.hwnd(), export_button.hwnd(),
                         expand.hwnd(), collapse.hwnd(), text_mode.hwnd(), hex_mode.hwnd(),
                         [this](std::string_view name) {
                           return GetTextByKey(std::string(name) + ".Caption").value_or("");
                         }},
      changes_tree_, context_, file_system_);
  tree_view_page_->set_status = [this](std::string_view text) { SetStatus(text); };
  OnClick(save, [this] { tree_view_page_->OnSaveClick(); });
  OnClick(print, [this] { tree_view_page_->OnPrintClick(); });
  OnClick(export_button, [this] { tree_view_page_->OnExportClick(); });
  OnClick(expand, [this] { tree_view_page_->OnExpandAllClick(); });
  OnClick(collapse, [this] { tree_view_page_->OnCollapseAllClick(); });
  OnClick(text_mode, [this] { tree_view_page_->OnHexClick(); });
  OnClick(hex_mode, [this] { tree_view_page_->OnHexClick(); });
}

void MainWindow::CreateFirstPage() {
  first_page_ = &AddPanel("pnlFirst", main_panel_, {kPageArea, kAnchorAll});
  // The two radio buttons form one group with the controls between them;
  // the list starts the next group.
  install_choice_ = &AddRadioButton("rbInstall", "&Install a new application", first_page_,
                                    {{8, 8, 420, 18}}, WS_GROUP);
  install_info_label_ = &AddLabel("lblInstallInfo",
                                  "Monitor the installation of this application. Afterwards it is "
                                  "possible to restore any changes detected if needed.",
                                  first_page_, {{26, 30, 520, 28}, kAnchorTopLeftRight});
  identifier_edit_ = &AddEdit("edIdentif", first_page_, {{26, 62, 250, 21}});
  SendMessageW(identifier_edit_->hwnd(), EM_LIMITTEXT, 30, 0);
  uninstall_choice_ =
      &AddRadioButton("rbUninstall", "&Uninstall or view changes of a monitored application",
                      first_page_, {{8, 100, 420, 18}});
  choose_app_label_ = &AddLabel("lblChooseApp", "Choose the name of the application", first_page_,
                                {{26, 124, 400, 15}});
  archives_list_ =
      &AddListView("lvCvnFiles", first_page_, {{26, 142, 622, 142}, kAnchorAll}, WS_GROUP);
  options_button_ = &AddButton("btnOptions", "&Options", first_page_,
                               {{564, 6, 84, 25}, kAnchorRight | kAnchorTop}, WS_GROUP);
  SetListColumns();
  // The list's context menu: components without windows, for the language files.
  AddNonWindowed("pmiDelete", kCaption, "&Delete");
  AddNonWindowed("pmiRename", kCaption, "Rena&me");
  AddNonWindowed("pmiUndoUninstall", kCaption, "Restore &last uninstall");

  // Install is chosen at start: the list waits, greyed, until uninstall is.
  SetChecked(*install_choice_, true);
  EnableWindow(archives_list_->hwnd(), FALSE);
  ListView_SetBkColor(archives_list_->hwnd(), GetSysColor(COLOR_BTNFACE));
}

void MainWindow::CreateTargetsPage() {
  targets_page_ = &AddPanel("pnlTargets", main_panel_, {kPageArea, kAnchorAll});
  registry_targets_label_ =
      &AddLabel("lblRegTargets",
                "To detect the registry changes it is necessary to scan the system "
                "registry before the application is installed. The following "
                "registry categories will be scanned:",
                targets_page_, {{8, 8, 312, 42}});
  hkcr_check_ =
      &AddCheckBox("HKCR", "HKEY_CLASSES_ROOT category", targets_page_, {{16, 56, 296, 18}});
  hklm_check_ =
      &AddCheckBox("HKLM", "HKEY_LOCAL_MACHINE category", targets_page_, {{16, 76, 296, 18}});
  hku_check_ = &AddCheckBox("HKUS", "HKEY_USERS category", targets_page_, {{16, 96, 296, 18}});
  hkcu_check_ =
      &AddCheckBox("HKCU", "HKEY_CURRENT_USER category", targets_page_, {{16, 116, 296, 18}});
  hkcc_check_ =
      &AddCheckBox("HKCC", "HKEY_CURRENT_CONFIG category", targets_page_, {{16, 136, 296, 18}});

  folder_targets_label_ =
      &AddLabel("lblFsTargets",
                "To detect the file system changes it is necessary to scan the "
                "content of the hard disk before the setup program is run. Targets "
                "to scan:",
                targets_page_, {{336, 8, 312, 42}, kAnchorTopLeftRight});
  windows_folder_check_ =
      &AddCheckBox("SWin", "Scan '&Windows' folder", targets_page_, {{344, 56, 296, 18}});
  program_files_check_ =
      &AddCheckBox("SProg", "Scan '&Program Files' folder", targets_page_, {{344, 76, 296, 18}});
  system_partition_check_ = &AddCheckBox("SRest", "Scan the &entire system partition",
                                         targets_page_, {{344, 96, 296, 18}});
  other_folders_check_ = &AddCheckBox("cbOthers", "&Other folders (separated by semicolon)",
                                      targets_page_, {{344, 116, 296, 18}});
  other_folders_edit_ =
      &AddEdit("edOthers", targets_page_, {{362, 136, 286, 21}, kAnchorTopLeftRight});

  warning_image_ = &AddControl({.name = "imgWarning",
                                .window_class = WC_STATICW,
                                .style = SS_ICON | SS_CENTERIMAGE,
                                .parent = targets_page_,
                                .placement = {{8, 230, 32, 32}, kAnchorBottomLeft}});
  SendMessageW(warning_image_->hwnd(), STM_SETICON,
               reinterpret_cast<WPARAM>(LoadIconW(nullptr, IDI_WARNING)), 0);
  warning_label_ =
      &AddLabel("lblWarning", "Warning !", targets_page_, {{48, 228, 300, 15}, kAnchorBottomLeft});
  SetBold(*warning_label_);
  warning_text_label_ = &AddLabel("lblWarningText",
                                  "Don't copy, rename, move or run other applications before this "
                                  "program is finished. All these changes can be restored when the "
                                  "monitored application is uninstalled with this program.",
                                  targets_page_, {{48, 245, 600, 40}, kAnchorBottomLeftRight});
}

void MainWindow::CreateRunPage() {
  run_page_ = &AddPanel("pnlRun", main_panel_, {kPageArea, kAnchorAll});
  // As on the first page, the modes are one group with the setup path's
  // controls between them.
  one_application_choice_ = &AddRadioButton("rbUna", "Install &one application", run_page_,
                                            {{8, 8, 420, 18}}, WS_GROUP);
  setup_path_edit_ = &AddEdit("edSetupPath", run_page_, {{26, 30, 530, 21}, kAnchorTopLeftRight});
  browse_button_ = &AddButton("btnBrowse", "Bro&wse", run_page_,
                              {{564, 28, 84, 25}, kAnchorRight | kAnchorTop});
  AddLabel("lblUnaInfo",
           "If the setup program requires to restart the computer you should accept. This "
           "program is automatically started to complete the monitoring process.",
           run_page_, {{26, 58, 622, 28}, kAnchorTopLeftRight});
  several_applications_choice_ = &AddRadioButton(
      "rbMulte", "Install &several applications (Exit)", run_page_, {{8, 94, 420, 18}});
  AddLabel("lblMulteInfo",
           "After you finish the installations you must run this program manually  to complete "
           "the monitoring process. All these applications will be uninstalled in one step.",
           run_page_, {{26, 116, 622, 28}, kAnchorTopLeftRight});
  during_this_screen_choice_ =
      &AddRadioButton("rbStarted", "&Install one or more applications during this screen",
                      run_page_, {{8, 152, 420, 18}});
  AddLabel("lblStartedInfo",
           "After you finish the installations press <Next>  to complete the monitoring "
           "process. All these applications will be uninstalled in one step.",
           run_page_, {{26, 174, 622, 28}, kAnchorTopLeftRight});
  SetBold(AddLabel("lblReferences", "References:", run_page_, {{8, 226, 300, 15}}));
  AddLabel("lblReferencesText",
           "After installing you should  run the application(s). Most of them make registry "
           "changes at first run. In this case these changes will be detected as well.",
           run_page_, {{8, 244, 640, 40}, kAnchorTopLeftRight});
  SetChecked(*one_application_choice_, true);
}

void MainWindow::CreateLogPage() {
  log_page_ = &AddPanel("pnlLog", main_panel_, {kPageArea, kAnchorAll});
  AddLabel("lblLog", "Uninstallation log", log_page_, {{0, 0, 400, 15}});
  Component& log = AddControl({.name = "reLog",
                               .window_class = LogBox::WindowClass(),
                               .style = LogBox::kStyle,
                               .ex_style = LogBox::kExStyle,
                               .parent = log_page_,
                               .placement = {{0, 18, 656, 274}, kAnchorAll}});
  log_box_ = std::make_unique<LogBox>(log.hwnd());
}

void MainWindow::CreateBottomRow() {
  status_label_ =
      &AddLabel("lblStatus", "Enter an identifier for the monitored application.", outer_panel_,
                {{12, 306, 648, 16}, kAnchorBottomLeftRight}, SS_NOPREFIX | SS_LEFTNOWORDWRAP);
  progress_label_ = &AddLabel("lblProgress", "Overall progress:", outer_panel_,
                              {{12, 332, 108, 15}, kAnchorBottomLeft});
  progress_bar_ =
      &AddProgressBar("pbProgress", outer_panel_, {{124, 330, 536, 17}, kAnchorBottomLeftRight});

  back_button_ =
      &AddButton("btnBack", "<<  B&ack", outer_panel_, {{304, 364, 84, 25}, kAnchorBottomRight});
  next_button_ = &AddButton("btnNext", "&Next  >>", outer_panel_,
                            {{392, 364, 84, 25}, kAnchorBottomRight}, BS_DEFPUSHBUTTON);
  exit_button_ =
      &AddButton("btnExit", "E&xit", outer_panel_, {{484, 364, 84, 25}, kAnchorBottomRight});
  about_button_ =
      &AddButton("btnAbout", "About", outer_panel_, {{580, 364, 84, 25}, kAnchorBottomRight});
  SetDefaultButton(*next_button_);
  EnableWindow(back_button_->hwnd(), FALSE);
  EnableWindow(next_button_->hwnd(), FALSE);
  // The notification-area icon's menu: components without windows, for the language files.
  AddNonWindowed("pmiRestore", kCaption, "&Restore");
  AddNonWindowed("pmiWhatsThis", kCaption, "&What's This?");
  AddNonWindowed("pmiExit", kCaption, "E&xit");
  OnClick(*about_button_, [this] { OnAboutClick(); });
  OnClick(*options_button_, [this] { OnOptionsClick(); });
}

// Name on the left, the other columns centred.
constexpr int kListColumnFormats[] = {LVCFMT_LEFT, LVCFMT_CENTER, LVCFMT_CENTER, LVCFMT_CENTER};

void MainWindow::SetListColumns() {
  const HWND list = archives_list_->hwnd();
  ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
  for (int index = 0; index < 4; ++index) {
    LVCOLUMNW column = {};
    column.mask = LVCF_FMT | LVCF_WIDTH;
    column.fmt = kListColumnFormats[index];
    column.cx = Scale(index == 3 ? kUsesColumnWidth : kDateColumnWidth);
    ListView_InsertColumn(list, index, &column);
  }
  SetListColumnCaptions();
  FitListColumns();
}

void MainWindow::SetListColumnCaptions() {
  const std::string captions[] = {
      i18n::Translate("RS_NAME", "Name"),
      i18n::Translate("RS_CREATED", "Created"),
      i18n::Translate("RS_LAST_USED", "Last used"),
      i18n::Translate("RS_USES", "Uses"),
  };
  for (int index = 0; index < 4; ++index) {
    std::wstring caption = platform::win32::ToWide(captions[index]);
    LVCOLUMNW column = {};
    // The format goes with the text: a header item set without it loses its alignment.
    column.mask = LVCF_TEXT | LVCF_FMT;
    column.fmt = kListColumnFormats[index];
    column.pszText = caption.data();
    ListView_SetColumn(archives_list_->hwnd(), index, &column);
  }
}

void MainWindow::FitListColumns() {
  if (applications_) applications_->FitNameColumn(Scale(kMinNameColumnWidth));
}

void MainWindow::SetHelpContexts() {
  // The table also names controls of pages still to be filled; those are
  // skipped until they exist.
  for (const auto& [name, context] : kHelpContexts) {
    if (Component* component = FindComponent(name)) component->set_help_context(context);
  }
  about_button_->set_tag(kAboutHelpContext);
  ApplyHelpContexts(*this);
  SetWindowContextHelpId(about_button_->hwnd(), kAboutHelpContext);
}

void MainWindow::CopySettingsToControls() {
  const settings::Settings& settings = context_.settings;
  tree_view_page_->CopySettingsToControls();
  // BM_SETCHECK sends no click, so no target handler runs here.
  SetChecked(*hkcr_check_, settings.scan_hkcr);
  SetChecked(*hklm_check_, settings.scan_hklm);
  SetChecked(*hku_check_, settings.scan_hku);
  SetChecked(*hkcu_check_, settings.scan_hkcu);
  SetChecked(*hkcc_check_, settings.scan_hkcc);
  SetChecked(*windows_folder_check_, settings.scan_windows_folder);
  SetChecked(*program_files_check_, settings.scan_program_files);
  SetChecked(*system_partition_check_, settings.scan_system_partition);
  SetChecked(*other_folders_check_, settings.scan_other_folders);
  other_folders_edit_->SetText(settings.other_folders);
}

}  // namespace cvn::ui

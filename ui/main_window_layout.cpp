// The components of the main window and where they sit. Bounds are in pixels
// at 96 DPI inside a client area of 672 x 401 (the client of a 688 x 440
// window); the anchors say how each follows a resize.
#include "platform/win32/windows_api.h"

#include <commctrl.h>

#include <algorithm>
#include <utility>

#include "i18n/translator.h"
#include "ui/main_window.h"
#include "ui/utf16.h"

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

void TfrmCvnMain::CreateComponents() {
  pnlOuter = &AddPanel("pnlOuter", nullptr, {{0, 0, 672, 401}, kAnchorAll});
  pnlMain = &AddPanel("pnlMain", pnlOuter, {{8, 8, 656, 292}, kAnchorAll});
  CreateFirstPage();
  CreateTargetsPage();
  pnlRun = &AddPanel("pnlRun", pnlMain, {kPageArea, kAnchorAll});
  pnlTree = &AddPanel("pnlTree", pnlMain, {kPageArea, kAnchorAll});
  pnlLog = &AddPanel("pnlLog", pnlMain, {kPageArea, kAnchorAll});
  CreateBottomRow();
  SetHelpContexts();
}

void TfrmCvnMain::CreateFirstPage() {
  pnlFirst = &AddPanel("pnlFirst", pnlMain, {kPageArea, kAnchorAll});
  // The two radio buttons form one group with the controls between them;
  // the list starts the next group.
  rbInstall = &AddRadioButton("rbInstall", "&Install a new application", pnlFirst,
                              {{8, 8, 420, 18}}, WS_GROUP);
  lblInstallInfo = &AddLabel("lblInstallInfo",
                             "Monitor the installation of this application. Afterwards it is "
                             "possible to restore any changes detected if needed.",
                             pnlFirst, {{26, 30, 520, 28}, kAnchorTopLeftRight});
  edIdentif = &AddEdit("edIdentif", pnlFirst, {{26, 62, 250, 21}});
  SendMessageW(edIdentif->hwnd(), EM_LIMITTEXT, 30, 0);
  rbUninstall =
      &AddRadioButton("rbUninstall", "&Uninstall or view changes of a monitored application",
                      pnlFirst, {{8, 100, 420, 18}});
  lblChooseApp = &AddLabel("lblChooseApp", "Choose the name of the application", pnlFirst,
                           {{26, 124, 400, 15}});
  lvCvnFiles = &AddListView("lvCvnFiles", pnlFirst, {{26, 142, 622, 142}, kAnchorAll}, WS_GROUP);
  btnOptions = &AddButton("btnOptions", "&Options", pnlFirst,
                          {{564, 6, 84, 25}, kAnchorRight | kAnchorTop}, WS_GROUP);
  SetListColumns();

  // Install is chosen at start: the list waits, greyed, until uninstall is.
  SetChecked(*rbInstall, true);
  EnableWindow(lvCvnFiles->hwnd(), FALSE);
  ListView_SetBkColor(lvCvnFiles->hwnd(), GetSysColor(COLOR_BTNFACE));
}

void TfrmCvnMain::CreateTargetsPage() {
  pnlTargets = &AddPanel("pnlTargets", pnlMain, {kPageArea, kAnchorAll});
  lblRegTargets = &AddLabel("lblRegTargets",
                            "To detect the registry changes it is necessary to scan the system "
                            "registry before the application is installed. The following "
                            "registry categories will be scanned:",
                            pnlTargets, {{8, 8, 312, 42}});
  HKCR = &AddCheckBox("HKCR", "HKEY_CLASSES_ROOT category", pnlTargets, {{16, 56, 296, 18}});
  HKLM = &AddCheckBox("HKLM", "HKEY_LOCAL_MACHINE category", pnlTargets, {{16, 76, 296, 18}});
  HKUS = &AddCheckBox("HKUS", "HKEY_USERS category", pnlTargets, {{16, 96, 296, 18}});
  HKCU = &AddCheckBox("HKCU", "HKEY_CURRENT_USER category", pnlTargets, {{16, 116, 296, 18}});
  HKCC = &AddCheckBox("HKCC", "HKEY_CURRENT_CONFIG category", pnlTargets, {{16, 136, 296, 18}});

  lblFsTargets = &AddLabel("lblFsTargets",
                           "To detect the file system changes it is necessary to scan the "
                           "content of the hard disk before the setup program is run. Targets "
                           "to scan:",
                           pnlTargets, {{336, 8, 312, 42}, kAnchorTopLeftRight});
  SWin = &AddCheckBox("SWin", "Scan '&Windows' folder", pnlTargets, {{344, 56, 296, 18}});
  SProg = &AddCheckBox("SProg", "Scan '&Program Files' folder", pnlTargets, {{344, 76, 296, 18}});
  SRest =
      &AddCheckBox("SRest", "Scan the &entire system partition", pnlTargets, {{344, 96, 296, 18}});
  cbOthers = &AddCheckBox("cbOthers", "&Other folders (separated by semicolon)", pnlTargets,
                          {{344, 116, 296, 18}});
  edOthers = &AddEdit("edOthers", pnlTargets, {{362, 136, 286, 21}, kAnchorTopLeftRight});

  imgWarning = &AddControl({.name = "imgWarning",
                            .window_class = WC_STATICW,
                            .style = SS_ICON | SS_CENTERIMAGE,
                            .parent = pnlTargets,
                            .placement = {{8, 230, 32, 32}, kAnchorBottomLeft}});
  SendMessageW(imgWarning->hwnd(), STM_SETICON,
               reinterpret_cast<WPARAM>(LoadIconW(nullptr, IDI_WARNING)), 0);
  lblWarning =
      &AddLabel("lblWarning", "Warning !", pnlTargets, {{48, 228, 300, 15}, kAnchorBottomLeft});
  SetBold(*lblWarning);
  lblWarningText = &AddLabel("lblWarningText",
                             "Don't copy, rename, move or run other applications before this "
                             "program is finished. All these changes can be restored when the "
                             "monitored application is uninstalled with this program.",
                             pnlTargets, {{48, 245, 600, 40}, kAnchorBottomLeftRight});
}

void TfrmCvnMain::CreateBottomRow() {
  lblStatus =
      &AddLabel("lblStatus", "Enter an identifier for the monitored application.", pnlOuter,
                {{12, 306, 648, 16}, kAnchorBottomLeftRight}, SS_NOPREFIX | SS_LEFTNOWORDWRAP);
  lblProgress = &AddLabel("lblProgress", "Overall progress:", pnlOuter,
                          {{12, 332, 108, 15}, kAnchorBottomLeft});
  pbProgress =
      &AddProgressBar("pbProgress", pnlOuter, {{124, 330, 536, 17}, kAnchorBottomLeftRight});

  btnBack = &AddButton("btnBack", "<<  B&ack", pnlOuter, {{304, 364, 84, 25}, kAnchorBottomRight});
  btnNext = &AddButton("btnNext", "&Next  >>", pnlOuter, {{392, 364, 84, 25}, kAnchorBottomRight},
                       BS_DEFPUSHBUTTON);
  btnExit = &AddButton("btnExit", "E&xit", pnlOuter, {{484, 364, 84, 25}, kAnchorBottomRight});
  btnAbout = &AddButton("btnAbout", "About", pnlOuter, {{580, 364, 84, 25}, kAnchorBottomRight});
  SetDefaultButton(*btnNext);
  EnableWindow(btnBack->hwnd(), FALSE);
  EnableWindow(btnNext->hwnd(), FALSE);
  OnClick(*btnExit, [this] { btnExitClick(); });
  OnClick(*btnAbout, [this] { btnAboutClick(); });
}

// Name on the left, the other columns centred.
constexpr int kListColumnFormats[] = {LVCFMT_LEFT, LVCFMT_CENTER, LVCFMT_CENTER, LVCFMT_CENTER};

void TfrmCvnMain::SetListColumns() {
  const HWND list = lvCvnFiles->hwnd();
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

void TfrmCvnMain::SetListColumnCaptions() {
  const std::string captions[] = {
      i18n::Translate("RS_NAME", "Name"),
      i18n::Translate("RS_CREATED", "Created"),
      i18n::Translate("RS_LAST_USED", "Last used"),
      i18n::Translate("RS_USES", "Uses"),
  };
  for (int index = 0; index < 4; ++index) {
    std::wstring caption = ToUtf16(captions[index]);
    LVCOLUMNW column = {};
    // The format goes with the text: a header item set without it loses its alignment.
    column.mask = LVCF_TEXT | LVCF_FMT;
    column.fmt = kListColumnFormats[index];
    column.pszText = caption.data();
    ListView_SetColumn(lvCvnFiles->hwnd(), index, &column);
  }
}

void TfrmCvnMain::FitListColumns() {
  RECT client = {};
  GetClientRect(lvCvnFiles->hwnd(), &client);
  const int fixed = Scale(2 * kDateColumnWidth + kUsesColumnWidth);
  ListView_SetColumnWidth(lvCvnFiles->hwnd(), 0,
                          std::max(Scale(kMinNameColumnWidth), int(client.right) - fixed));
  ListView_SetColumnWidth(lvCvnFiles->hwnd(), 1, Scale(kDateColumnWidth));
  ListView_SetColumnWidth(lvCvnFiles->hwnd(), 2, Scale(kDateColumnWidth));
  ListView_SetColumnWidth(lvCvnFiles->hwnd(), 3, Scale(kUsesColumnWidth));
}

void TfrmCvnMain::SetHelpContexts() {
  // The table also names controls of pages still to be filled; those are
  // skipped until they exist.
  for (const auto& [name, context] : kHelpContexts) {
    if (Component* component = FindComponent(name)) component->set_help_context(context);
  }
  btnAbout->set_tag(kAboutHelpContext);
}

void TfrmCvnMain::CopySettingsToControls() {
  const settings::Settings& settings = context_.settings;
  // BM_SETCHECK sends no click, so no target handler runs here.
  SetChecked(*HKCR, settings.ScanHKCR);
  SetChecked(*HKLM, settings.ScanHKLM);
  SetChecked(*HKUS, settings.ScanHKUS);
  SetChecked(*HKCU, settings.ScanHKCU);
  SetChecked(*HKCC, settings.ScanHKCC);
  SetChecked(*SWin, settings.ScanWin);
  SetChecked(*SProg, settings.ScanProg);
  SetChecked(*SRest, settings.ScanEntire);
  SetChecked(*cbOthers, settings.ScanOthers);
  edOthers->SetText(settings.ScanOtherPaths);
}

}  // namespace cvn::ui

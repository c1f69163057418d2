#include "ui/options_dialog.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <set>

#include "i18n/translator.h"
#include "platform/win32/wide_text.h"
#include "ui/context_help.h"
#include "ui/form_translation.h"
#include "ui/input_text_dialog.h"
#include "ui/message_box.h"
#include "ui/panel.h"
#include "uninstall/uninstall_log.h"

namespace cvn::ui {

namespace {

using platform::win32::ToUtf8;
using platform::win32::ToWide;

// At 96 DPI. The pages lie over the tab control's display area; the German
// captions are the longest and have room.
constexpr Size kClientSize = {480, 428};
// A row of the language list: a flag and its margin.
constexpr int kLanguageRowHeight = 22;
constexpr Rect kTabBounds = {8, 8, 464, 376};
constexpr Rect kPageBounds = {12, 34, 456, 346};
constexpr int kButtonWidth = 88;
constexpr int kButtonHeight = 25;
constexpr int kPageWidth = kPageBounds.width;
constexpr int kListWidth = 340;
constexpr int kSideButtonLeft = 8 + kListWidth + 8;
constexpr int kSideButtonWidth = kPageWidth - kSideButtonLeft - 8;
constexpr int kMinFontSize = 8;
constexpr int kMaxFontSize = 16;

bool IsChecked(const Component& box) {
  return SendMessageW(box.hwnd(), BM_GETCHECK, 0, 0) == BST_CHECKED;
}
void SetChecked(const Component& box, bool checked) {
  SendMessageW(box.hwnd(), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

std::string ComboText(const Component& combo, LRESULT index) {
  if (index < 0) return {};
  const LRESULT length = SendMessageW(combo.hwnd(), CB_GETLBTEXTLEN, index, 0);
  if (length <= 0) return {};
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  SendMessageW(combo.hwnd(), CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<size_t>(length));
  return ToUtf8(text);
}
std::string SelectedComboText(const Component& combo) {
  return ComboText(combo, SendMessageW(combo.hwnd(), CB_GETCURSEL, 0, 0));
}
void SelectComboText(const Component& combo, std::string_view text) {
  const std::wstring wide = ToWide(text);
  const LRESULT index = text.empty() ? CB_ERR
                                     : SendMessageW(combo.hwnd(), CB_FINDSTRINGEXACT, -1,
                                                    reinterpret_cast<LPARAM>(wide.c_str()));
  SendMessageW(combo.hwnd(), CB_SETCURSEL, index == CB_ERR ? -1 : index, 0);
}

// The caption of the selected row of a list; empty when none is selected.
std::optional<std::string> SelectedRow(const Component& list) {
  const LRESULT row = SendMessageW(list.hwnd(), LVM_GETNEXTITEM, -1, LVNI_SELECTED);
  if (row < 0) return std::nullopt;
  std::wstring text(1024, L'\0');
  LVITEMW item = {};
  item.iSubItem = 0;
  item.pszText = text.data();
  item.cchTextMax = static_cast<int>(text.size());
  const LRESULT length =
      SendMessageW(list.hwnd(), LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
  text.resize(static_cast<size_t>(length));
  return ToUtf8(text);
}

bool FileExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(ToWide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

int CALLBACK BrowseCallback(HWND window, UINT message, LPARAM lparam, LPARAM) {
  // The status line shows the folder under the selection.
  if (message == BFFM_SELCHANGED) {
    wchar_t path[MAX_PATH] = {};
    const bool is_folder = SHGetPathFromIDListW(reinterpret_cast<PCIDLIST_ABSOLUTE>(lparam), path);
    SendMessageW(window, BFFM_SETSTATUSTEXTW, 0, reinterpret_cast<LPARAM>(is_folder ? path : L""));
  }
  return 0;
}

std::optional<std::string> BrowseForFolder(HWND owner) {
  PIDLIST_ABSOLUTE drives = nullptr;
  SHGetSpecialFolderLocation(owner, CSIDL_DRIVES, &drives);
  BROWSEINFOW info = {};
  info.hwndOwner = owner;
  info.pidlRoot = drives;
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT;
  info.lpfn = BrowseCallback;
  const PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
  std::optional<std::string> folder;
  if (chosen != nullptr) {
    wchar_t path[MAX_PATH] = {};
    if (SHGetPathFromIDListW(chosen, path)) folder = ToUtf8(path);
    CoTaskMemFree(chosen);
  }
  if (drives != nullptr) CoTaskMemFree(drives);
  return folder;
}

std::vector<std::string> ChooseFiles(HWND owner) {
  std::wstring buffer(32768, L'\0');
  OPENFILENAMEW dialog = {};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = owner;
  dialog.lpstrFile = buffer.data();
  dialog.nMaxFile = static_cast<DWORD>(buffer.size());
  dialog.Flags = OFN_EXPLORER | OFN_ALLOWMULTISELECT | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST |
                 OFN_NONETWORKBUTTON | OFN_ENABLESIZING | OFN_HIDEREADONLY;
  if (!GetOpenFileNameW(&dialog)) return {};
  // One file comes as its path; several as the folder, then each name,
  // every part ended by a zero.
  std::vector<std::wstring> parts;
  for (const wchar_t* part = buffer.c_str(); *part != L'\0'; part += wcslen(part) + 1)
    parts.emplace_back(part);
  std::vector<std::string> files;
  if (parts.size() == 1) {
    files.push_back(ToUtf8(parts[0]));
  } else {
    std::wstring folder = parts[0];
    if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
    for (size_t i = 1; i < parts.size(); ++i) files.push_back(ToUtf8(folder + parts[i]));
  }
  return files;
}

}  // namespace

OptionsDialog::OptionsDialog(const settings::Settings& settings)
    : ModalDialog(ToUtf8(kClassName), kClientSize),
      choose_folder(BrowseForFolder),
      choose_files(ChooseFiles),
      model_(settings) {}

bool OptionsDialog::Create() {
  if (!CreateDialogWindow("Options")) return false;
  // The title bar's help button asks for a control's help.
  SetWindowLongPtrW(hwnd(), GWL_EXSTYLE,
                    GetWindowLongPtrW(hwnd(), GWL_EXSTYLE) | WS_EX_CONTEXTHELP);
  SetWindowPos(hwnd(), nullptr, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  return true;
}

Component& OptionsDialog::AddPage(std::string name, std::string_view caption) {
  Component& page = AddControl({.name = std::move(name),
                                .window_class = PanelClassName(),
                                .style = WS_CLIPCHILDREN | WS_CLIPSIBLINGS,
                                .ex_style = WS_EX_CONTROLPARENT,
                                .properties = kCaption,
                                .text = std::string(caption),
                                .placement = {kPageBounds}});
  const std::wstring text = ToWide(caption);
  TCITEMW item = {};
  item.mask = TCIF_TEXT;
  item.pszText = const_cast<wchar_t*>(text.c_str());
  SendMessageW(pcOptions_->hwnd(), TCM_INSERTITEMW, pages_.size(), reinterpret_cast<LPARAM>(&item));
  // Above the tab control, which leaves its display area to the page.
  SetWindowPos(page.hwnd(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  pages_.push_back(&page);
  return page;
}

Component& OptionsDialog::AddGroup(std::string name, std::string_view caption, Component& page,
                                   Rect bounds) {
  return AddControl({.name = std::move(name),
                     .window_class = WC_BUTTONW,
                     .style = BS_GROUPBOX,
                     .properties = kCaption,
                     .text = std::string(caption),
                     .parent = &page,
                     .placement = {bounds}});
}

void OptionsDialog::FormCreate() {
  pcOptions_ = &AddControl({.name = "pcOptions",
                            .window_class = WC_TABCONTROLW,
                            .style = WS_TABSTOP | WS_CLIPSIBLINGS,
                            .placement = {kTabBounds}});
  CreateGeneralPage(AddPage("tabGeneral", "General"));
  CreateScannerPage(AddPage("tabScanner", "Scanner"));
  CreateUninstallerPage(AddPage("tabUninstaller", "Uninstaller"));

  const int buttons_top = kClientSize.height - 8 - kButtonHeight - 4;
  Component& ok = AddButton("btnOk", "&Ok", nullptr,
                            {{kClientSize.width - 2 * (kButtonWidth + 8), buttons_top,
                              kButtonWidth, kButtonHeight}},
                            BS_DEFPUSHBUTTON);
  Component& cancel = AddButton(
      "btnCancel", "&Cancel", nullptr,
      {{kClientSize.width - kButtonWidth - 8, buttons_top, kButtonWidth, kButtonHeight}});
  ok.set_help_context(51);
  cancel.set_help_context(52);
  SetDefaultButton(ok);
  OnClick(ok, [this] { btnOkClick(); });
  SetResultButton(cancel, kResultCancel);
  SetCancelButton(cancel);

  ApplyHelpContexts(*this);
  ShowPage(0);
}

void OptionsDialog::CreateGeneralPage(Component& page) {
  AddLabel("lblTreeFont", "Changes Tree font", &page, {{8, 8, 240, 15}}, SS_LEFTNOWORDWRAP);
  cmbTreeFont_ = &AddControl({.name = "cmbTreeFont",
                              .window_class = WC_COMBOBOXW,
                              .style = WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST | CBS_SORT,
                              .parent = &page,
                              .placement = {{8, 25, 240, 220}}});
  cmbTreeFont_->set_help_context(53);
  AddLabel("lblSize", "Size", &page, {{264, 8, 80, 15}}, SS_LEFTNOWORDWRAP);
  seFontSize_ = &AddEdit("seFontSize", &page, {{264, 25, 40, 22}}, ES_NUMBER);
  SendMessageW(seFontSize_->hwnd(), EM_LIMITTEXT, 2, 0);
  seFontSize_->set_help_context(54);
  udFontSize_ = &AddControl({.name = "udFontSize",
                             .window_class = UPDOWN_CLASSW,
                             .style = UDS_SETBUDDYINT | UDS_ARROWKEYS | UDS_NOTHOUSANDS,
                             .parent = &page,
                             .placement = {{304, 25, 17, 22}}});
  SendMessageW(udFontSize_->hwnd(), UDM_SETBUDDY, reinterpret_cast<WPARAM>(seFontSize_->hwnd()), 0);
  SendMessageW(udFontSize_->hwnd(), UDM_SETRANGE32, kMinFontSize, kMaxFontSize);
  udFontSize_->set_help_context(54);

  cbShowBckgrd_ = &AddCheckBox("cbShowBckgrd", "Background image", &page, {{8, 60, 436, 19}});
  AddLabel("lblViewer", "Viewer", &page, {{8, 90, 240, 15}}, SS_LEFTNOWORDWRAP);
  edViewer_ = &AddEdit("edViewer", &page, {{8, 107, 436, 22}});
  edViewer_->SetText("notepad.exe");
  edViewer_->set_help_context(55);

  AddGroup("gbTranslation", "Translation", page, {8, 142, 436, 194});
  AddLabel("lblLanguage", "Language", &page, {{20, 162, 240, 15}}, SS_LEFTNOWORDWRAP);
  cmbLanguages_ = &AddControl({.name = "cmbLanguages",
                               .window_class = WC_COMBOBOXW,
                               .style = WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST | CBS_SORT |
                                        CBS_OWNERDRAWFIXED | CBS_HASSTRINGS,
                               .parent = &page,
                               .placement = {{20, 179, 240, 200}}});
  cmbLanguages_->set_help_context(56);
  // The selected language's file gives these their texts.
  AddLabel("lblTranslatedBy1", "", &page, {{20, 216, 412, 34}});
  AddLabel("lblTranslatedBy2", "", &page, {{20, 254, 412, 34}});
  AddLabel("lblTranslatedBy3", "", &page, {{20, 292, 412, 34}});
}

OptionsDialog::PathListControls OptionsDialog::AddPathList(
    std::string_view list_name, std::string_view label_name, std::string_view label,
    std::string_view add_name, std::string_view remove_name, Component& page, int top,
    int help_context) {
  AddLabel(std::string(label_name), label, &page, {{8, top, kPageWidth - 16, 15}},
           SS_LEFTNOWORDWRAP);
  PathListControls controls;
  controls.list = &AddListView(std::string(list_name), &page, {{8, top + 17, kListWidth, 84}},
                               LVS_NOCOLUMNHEADER | LVS_SORTASCENDING);
  SendMessageW(controls.list->hwnd(), LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT,
               LVS_EX_FULLROWSELECT);
  LVCOLUMNW column = {};
  column.mask = LVCF_WIDTH;
  column.cx = Scale(kListWidth - 24);
  SendMessageW(controls.list->hwnd(), LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
  controls.add = &AddButton(std::string(add_name), "Add", &page,
                            {{kSideButtonLeft, top + 17, kSideButtonWidth, kButtonHeight}});
  controls.remove =
      &AddButton(std::string(remove_name), "Remove", &page,
                 {{kSideButtonLeft, top + 17 + kButtonHeight + 6, kSideButtonWidth, kButtonHeight}});
  EnableWindow(controls.remove->hwnd(), FALSE);
  controls.list->set_help_context(help_context);
  controls.add->set_help_context(help_context + 1);
  controls.remove->set_help_context(help_context + 2);
  return controls;
}

void OptionsDialog::CreateScannerPage(Component& page) {
  excluded_folders_ = AddPathList("lvExFolders", "lblExclFolders", "Exclude folders from scanning",
                                  "btnAddExclFolder", "btnRemExclFolder", page, 8, 57);
  ignored_files_ = AddPathList("lvIgnFiles", "lblIgnoredFiles", "Ignore changes from files",
                               "btnAddIgnFile", "btnRemIgnFile", page, 120, 60);
  ignored_keys_ = AddPathList("lvIgnKeys", "lblIgnoreRegKey", "Ignore changes from registry keys",
                              "btnAddIgnKey", "btnRemIgnKey", page, 232, 63);
  OnClick(*excluded_folders_.add, [this] { btnAddExclFolderClick(); });
  OnClick(*ignored_files_.add, [this] { btnAddIgnFileClick(); });
  OnClick(*ignored_keys_.add, [this] { btnAddIgnKeyClick(); });
  OnClick(*excluded_folders_.remove, [this] {
    RemoveSelected(excluded_folders_, [this](const std::string& row) {
      model_.RemoveExcludedFolder(row);
    });
  });
  OnClick(*ignored_files_.remove, [this] {
    RemoveSelected(ignored_files_,
                   [this](const std::string& row) { model_.RemoveIgnoredFile(row); });
  });
  OnClick(*ignored_keys_.remove, [this] {
    RemoveSelected(ignored_keys_, [this](const std::string& row) { model_.RemoveIgnoredKey(row); });
  });
}

void OptionsDialog::CreateUninstallerPage(Component& page) {
  using S = settings::Settings;
  AddGroup("gbRegistry", "Registry", page, {8, 4, 440, 92});
  const auto phase = [&](const char* name, const char* caption, Rect bounds, bool S::*setting,
                         int help_context) -> Component& {
    Component& box = AddCheckBox(name, caption, &page, {bounds});
    box.set_help_context(help_context);
    phase_boxes_.emplace_back(&box, setting);
    return box;
  };
  constexpr int kLeft = 20, kRight = 232, kColumn = 206;
  phase("cbStergValori", "Delete created values", {kLeft, 24, kColumn, 19}, &S::delete_values, 66);
  phase("cbCreezValori", "Create deleted values", {kLeft, 46, kColumn, 19}, &S::recreate_values,
        67);
  phase("cbRefacValori", "Restore changed values", {kLeft, 68, kColumn, 19}, &S::restore_values,
        68);
  phase("cbStergChei", "Delete created keys", {kRight, 24, kColumn, 19}, &S::delete_keys, 69);
  phase("cbCreezChei", "Create deleted keys", {kRight, 46, kColumn, 19}, &S::recreate_keys, 70);
  phase("cbDecrementez", "Decrease shared dll's counter", {kRight, 68, kColumn, 19},
        &S::decrement_shared_counters, 71);

  AddGroup("gbFileSystem", "File System", page, {8, 100, 440, 114});
  cbStergFisiere_ = &phase("cbStergFisiere",
                           "Delete created files (shared dll's only if counter reach 0)",
                           {kLeft, 120, 420, 19}, &S::delete_files, 72);
  OnClick(*cbStergFisiere_, [this] { cbStergFisiereClick(); });
  cbUseRecycled_ = &phase("cbUseRecycled", "Use Recycle Bin", {kLeft + 18, 142, 402, 19},
                          &S::use_recycle_bin, 73);
  // A file changed since the installation is kept unless this is on; it
  // then goes into the uninstall's backup like any other.
  cbDeleteChanged_ = &phase("cbDeleteChanged", "Delete files changed since installation too",
                            {kLeft + 18, 164, 402, 19}, &S::delete_changed, 72);
  phase("cbStergDirectoare", "Delete created folders", {kLeft, 186, 420, 19}, &S::delete_folders,
        74);

  AddGroup("gbLog", "Log", page, {8, 218, 440, 122});
  const std::pair<const char*, const char*> classes[] = {
      {"cbErrors", "Errors"}, {"cbWarnings", "Warnings"}, {"cbOk", "Successful actions"}};
  const int bits[] = {kLogErrors, kLogWarnings, kLogSuccesses};
  const int lefts[] = {kLeft, 150, 280};
  const int widths[] = {126, 126, 160};
  for (int i = 0; i < 3; ++i) {
    Component& box =
        AddCheckBox(classes[i].first, classes[i].second, &page, {{lefts[i], 238, widths[i], 19}});
    log_boxes_.emplace_back(&box, bits[i]);
  }
  cbAutoDelCvn_ = &AddCheckBox(
      "cbAutoDelCvn", "Automatically delete the monitored changes file if successful uninstall",
      &page, {{kLeft, 260, 420, 34}}, BS_MULTILINE);
  btnViewLog_ = &AddButton("btnViewLog", "View log", &page, {{kLeft, 298, 120, kButtonHeight}});
  btnClearLog_ =
      &AddButton("btnClearLog", "Clear log", &page, {{kLeft + 128, 298, 120, kButtonHeight}});
  OnClick(*btnViewLog_, [this] { btnViewLogClick(); });
  OnClick(*btnClearLog_, [this] { btnClearLogClick(); });
}

void OptionsDialog::ShowPage(int index) {
  SendMessageW(pcOptions_->hwnd(), TCM_SETCURSEL, index, 0);
  for (size_t i = 0; i < pages_.size(); ++i)
    ShowWindow(pages_[i]->hwnd(), static_cast<int>(i) == index ? SW_SHOW : SW_HIDE);
}

void OptionsDialog::FillFonts() {
  std::set<std::wstring> names;
  const HDC screen = GetDC(nullptr);
  EnumFontsW(
      screen, nullptr,
      [](const LOGFONTW* font, const TEXTMETRICW*, DWORD, LPARAM names) -> int {
        reinterpret_cast<std::set<std::wstring>*>(names)->insert(font->lfFaceName);
        return 1;
      },
      reinterpret_cast<LPARAM>(&names));
  ReleaseDC(nullptr, screen);
  SendMessageW(cmbTreeFont_->hwnd(), CB_RESETCONTENT, 0, 0);
  for (const std::wstring& name : names)
    SendMessageW(cmbTreeFont_->hwnd(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
}

void OptionsDialog::FillLanguages() {
  SendMessageW(cmbLanguages_->hwnd(), CB_RESETCONTENT, 0, 0);
  const i18n::Translator* translator = i18n::CurrentTranslator();
  std::vector<std::string> names;
  if (translator != nullptr) {
    for (const i18n::Language& language : translator->Languages()) names.push_back(language.name);
  }
  if (names.empty()) names.push_back("English");
  for (const std::string& name : names) {
    const std::wstring wide = ToWide(name);
    SendMessageW(cmbLanguages_->hwnd(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str()));
  }
  SelectComboText(*cmbLanguages_, translator != nullptr && !translator->CurrentLanguage().empty()
                                      ? translator->CurrentLanguage()
                                      : std::string("English"));
}

void OptionsDialog::DrawLanguage(const DRAWITEMSTRUCT& item) const {
  const bool selected = (item.itemState & ODS_SELECTED) != 0;
  const RECT& row = item.rcItem;
  FillRect(item.hDC, &row, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  if (item.itemID == static_cast<UINT>(-1)) return;
  std::wstring name(
      static_cast<size_t>(SendMessageW(item.hwndItem, CB_GETLBTEXTLEN, item.itemID, 0)) + 1, L'\0');
  name.resize(static_cast<size_t>(SendMessageW(item.hwndItem, CB_GETLBTEXT, item.itemID,
                                                reinterpret_cast<LPARAM>(name.data()))));
  // The flag on the window colour, so that it keeps its own colours when selected.
  const RECT flag_box = {row.left + Scale(1), row.top + Scale(1), row.left + Scale(38),
                         row.top + Scale(kLanguageRowHeight) - Scale(1)};
  FillRect(item.hDC, &flag_box, GetSysColorBrush(COLOR_WINDOW));
  if (const i18n::Translator* translator = i18n::CurrentTranslator())
    DrawFlag(item.hDC, translator->GetFlag(ToUtf8(name)), row.left + Scale(3), row.top + Scale(1));
  SetBkMode(item.hDC, TRANSPARENT);
  SetTextColor(item.hDC, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
  RECT text = row;
  text.left += Scale(40);
  DrawTextW(item.hDC, name.c_str(), static_cast<int>(name.size()), &text,
            DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  if ((item.itemState & ODS_FOCUS) != 0) DrawFocusRect(item.hDC, &row);
}

void OptionsDialog::DrawFlag(HDC dc, const std::vector<uint8_t>& bmp, int x, int y) const {
  // A BMP file: its header, then the picture's header and bits where it says.
  if (bmp.size() < sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)) return;
  BITMAPFILEHEADER file = {};
  std::memcpy(&file, bmp.data(), sizeof(file));
  if (file.bfType != 0x4D42 || file.bfOffBits >= bmp.size()) return;
  const auto* info = reinterpret_cast<const BITMAPINFO*>(bmp.data() + sizeof(BITMAPFILEHEADER));
  const LONG width = info->bmiHeader.biWidth, height = std::abs(info->bmiHeader.biHeight);
  if (width <= 0 || height <= 0) return;
  StretchDIBits(dc, x, y, Scale(static_cast<int>(width)), Scale(static_cast<int>(height)), 0, 0,
                static_cast<int>(width), static_cast<int>(height), bmp.data() + file.bfOffBits,
                info, DIB_RGB_COLORS, SRCCOPY);
}

void OptionsDialog::FillList(const PathListControls& controls, const settings::PathList& entries) {
  const HWND list = controls.list->hwnd();
  SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
  int row = 0;
  for (const std::string& entry : entries.entries()) {
    std::wstring text = ToWide(entry);
    LVITEMW item = {};
    item.mask = LVIF_TEXT;
    item.iItem = row++;
    item.pszText = text.data();
    SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
  }
  // The one column fills the list; long paths make it wider.
  SendMessageW(list, LVM_SETCOLUMNWIDTH, 0, LVSCW_AUTOSIZE);
  RECT client = {};
  GetClientRect(list, &client);
  if (SendMessageW(list, LVM_GETCOLUMNWIDTH, 0, 0) < client.right)
    SendMessageW(list, LVM_SETCOLUMNWIDTH, 0, client.right);
  EnableWindow(controls.remove->hwnd(), FALSE);
}

void OptionsDialog::FillLists() {
  FillList(excluded_folders_, model_.excluded_folders());
  FillList(ignored_files_, model_.ignored_files());
  FillList(ignored_keys_, model_.ignored_keys());
}

void OptionsDialog::UpdateLogButtons() {
  const bool exists = FileExists(uninstall::LogFilePath(model_.settings().program_folder));
  EnableWindow(btnViewLog_->hwnd(), exists);
  EnableWindow(btnClearLog_->hwnd(), exists);
}

void OptionsDialog::FormShow() {
  const settings::Settings& settings = model_.settings();
  FillFonts();
  FillLists();
  for (const auto& [box, setting] : phase_boxes_) SetChecked(*box, settings.*setting);
  for (const auto& [box, bit] : log_boxes_) SetChecked(*box, model_.log_class(bit));
  cbStergFisiereClick();
  SelectComboText(*cmbTreeFont_, settings.tree_font_name);
  SendMessageW(udFontSize_->hwnd(), UDM_SETPOS32, 0, settings.tree_font_size);
  seFontSize_->SetText(std::to_string(settings.tree_font_size));
  edViewer_->SetText(settings.viewer);
  SetChecked(*cbAutoDelCvn_, settings.delete_archive_after_uninstall);
  SetChecked(*cbShowBckgrd_, settings.show_background);
  UpdateLogButtons();
  FillLanguages();
  if (i18n::Translator* translator = i18n::CurrentTranslator()) {
    FormTranslation form(*this);
    translator->TranslateForm(form);
  }
  // The tabs show their pages' captions.
  for (size_t i = 0; i < pages_.size(); ++i) {
    std::wstring text = ToWide(pages_[i]->Text());
    TCITEMW item = {};
    item.mask = TCIF_TEXT;
    item.pszText = text.data();
    SendMessageW(pcOptions_->hwnd(), TCM_SETITEMW, i, reinterpret_cast<LPARAM>(&item));
  }
  ShowPage(std::clamp(first_page, 0, static_cast<int>(pages_.size()) - 1));
}

void OptionsDialog::FormDpiChanged() {
  FillLists();
}

LRESULT OptionsDialog::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_NOTIFY: {
      const NMHDR& header = *reinterpret_cast<const NMHDR*>(lparam);
      // Controls report while the dialog is still being made.
      if (pcOptions_ != nullptr && header.hwndFrom == pcOptions_->hwnd() &&
          header.code == TCN_SELCHANGE) {
        ShowPage(static_cast<int>(SendMessageW(pcOptions_->hwnd(), TCM_GETCURSEL, 0, 0)));
        return 0;
      }
      if (header.code == LVN_ITEMCHANGED) {
        for (const PathListControls* controls : {&excluded_folders_, &ignored_files_,
                                                 &ignored_keys_}) {
          if (controls->list == nullptr || header.hwndFrom != controls->list->hwnd()) continue;
          EnableWindow(controls->remove->hwnd(), SelectedRow(*controls->list).has_value());
        }
      }
      break;
    }
    case WM_COMMAND:
      if (cmbLanguages_ != nullptr && lparam != 0 &&
          reinterpret_cast<HWND>(lparam) == cmbLanguages_->hwnd() &&
          HIWORD(wparam) == CBN_SELCHANGE) {
        cmbLanguagesChange();
        return 0;
      }
      break;
    case WM_MEASUREITEM: {
      auto& item = *reinterpret_cast<MEASUREITEMSTRUCT*>(lparam);
      if (item.CtlType != ODT_COMBOBOX) break;
      // Every language's row, and the box itself, is as high as a flag and its margin.
      item.itemHeight = static_cast<UINT>(Scale(kLanguageRowHeight));
      return TRUE;
    }
    case WM_DRAWITEM: {
      const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
      if (item.CtlType != ODT_COMBOBOX || cmbLanguages_ == nullptr ||
          item.hwndItem != cmbLanguages_->hwnd())
        break;
      DrawLanguage(item);
      return TRUE;
    }
    case WM_HELP: {
      // The title bar's help button, then a click on a control: its short
      // help text in a popup.
      const HELPINFO& help = *reinterpret_cast<const HELPINFO*>(lparam);
      if (help.iContextType == HELPINFO_WINDOW)
        ShowContextHelp(static_cast<HWND>(help.hItemHandle), help.MousePos);
      return TRUE;
    }
    default:
      break;
  }
  return ModalDialog::HandleMessage(message, wparam, lparam);
}

void OptionsDialog::btnAddExclFolderClick() {
  const std::optional<std::string> folder = choose_folder(hwnd());
  if (!folder || folder->empty()) return;
  const FolderRefusal refusal = model_.AddExcludedFolder(*folder);
  if (refusal != FolderRefusal::kNone) {
    CustomMessageDlg(OptionsModel::RefusalText(refusal, *folder), MessageKind::kWarning,
                     {MessageButton::kOk});
    return;
  }
  FillList(excluded_folders_, model_.excluded_folders());
}

void OptionsDialog::btnAddIgnFileClick() {
  bool added = false;
  for (const std::string& file : choose_files(hwnd())) added |= model_.AddIgnoredFile(file);
  if (added) FillList(ignored_files_, model_.ignored_files());
}

void OptionsDialog::btnAddIgnKeyClick() {
  const i18n::Translator* translator = i18n::CurrentTranslator();
  const std::optional<std::string> key =
      InputText(hwnd(), {.caption = i18n::Translate("RS_IGN_REG_KEY", "Ignore registry key"),
                         .label = i18n::Translate("RS_KEY_PATH", "Key path"),
                         .ok_caption = i18n::Translate("RS_OK", "Ok"),
                         .cancel_caption = i18n::Translate("RS_CANCEL", "Cancel"),
                         .font_charset = translator != nullptr
                                             ? translator->Charset()
                                             : static_cast<uint8_t>(DEFAULT_CHARSET)});
  if (key && model_.AddIgnoredKey(*key)) FillList(ignored_keys_, model_.ignored_keys());
}

void OptionsDialog::RemoveSelected(const PathListControls& controls,
                                   const std::function<void(const std::string&)>& remove) {
  const std::optional<std::string> row = SelectedRow(*controls.list);
  if (!row) return;
  remove(*row);
  const LRESULT index = SendMessageW(controls.list->hwnd(), LVM_GETNEXTITEM, -1, LVNI_SELECTED);
  SendMessageW(controls.list->hwnd(), LVM_DELETEITEM, index, 0);
  EnableWindow(controls.remove->hwnd(), SelectedRow(*controls.list).has_value());
}

void OptionsDialog::cbStergFisiereClick() {
  EnableWindow(cbUseRecycled_->hwnd(), IsChecked(*cbStergFisiere_));
  EnableWindow(cbDeleteChanged_->hwnd(), IsChecked(*cbStergFisiere_));
}

void OptionsDialog::cmbLanguagesChange() {
  i18n::Translator* translator = i18n::CurrentTranslator();
  if (translator == nullptr) return;
  const std::string language = SelectedComboText(*cmbLanguages_);
  FormTranslation form(*this);
  for (const char* name : {"lblTranslatedBy1", "lblTranslatedBy2", "lblTranslatedBy3"}) {
    FindComponent(name)->SetText("");
    translator->TranslateForm(form, form.FindComponent(name), language);
  }
}

void OptionsDialog::btnViewLogClick() {
  const std::wstring path = ToWide(uninstall::LogFilePath(model_.settings().program_folder));
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_DOENVSUBST | SEE_MASK_FLAG_NO_UI;
  info.hwnd = hwnd();
  info.lpVerb = L"open";
  info.lpFile = path.c_str();
  info.nShow = SW_SHOWNORMAL;
  ShellExecuteExW(&info);
}

void OptionsDialog::btnClearLogClick() {
  if (CustomMessageDlg(i18n::Translate("RS_CLEAR_LOG", "Clear log ?"), MessageKind::kConfirmation,
                       {MessageButton::kYes, MessageButton::kNo}) != kResultYes)
    return;
  DeleteFileW(ToWide(uninstall::LogFilePath(model_.settings().program_folder)).c_str());
  UpdateLogButtons();
}

void OptionsDialog::btnOkClick() {
  if (const std::optional<std::string> key = model_.FirstInvalidKey()) {
    const std::string warning = i18n::Translate(
        "RS_IGN_KEY_NO_ROOT",
        "The registry key '%s' does not begin with the full name of a root key "
        "(HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_CLASSES_ROOT, HKEY_USERS or "
        "HKEY_CURRENT_CONFIG). Correct or remove it.");
    CustomMessageDlg(OptionsModel::Format(warning, *key), MessageKind::kWarning,
                     {MessageButton::kOk});
    return;
  }
  settings::Settings& settings = model_.settings();
  for (const auto& [box, setting] : phase_boxes_) settings.*setting = IsChecked(*box);
  for (const auto& [box, bit] : log_boxes_) model_.set_log_class(bit, IsChecked(*box));
  settings.tree_font_name = SelectedComboText(*cmbTreeFont_);
  BOOL failed = FALSE;
  const LRESULT size =
      SendMessageW(udFontSize_->hwnd(), UDM_GETPOS32, 0, reinterpret_cast<LPARAM>(&failed));
  settings.tree_font_size = static_cast<int32_t>(
      failed ? std::clamp(std::atoi(seFontSize_->Text().c_str()), kMinFontSize, kMaxFontSize)
             : size);
  settings.viewer = edViewer_->Text();
  settings.delete_archive_after_uninstall = IsChecked(*cbAutoDelCvn_);
  settings.show_background = IsChecked(*cbShowBckgrd_);
  const std::string language = SelectedComboText(*cmbLanguages_);
  settings.language = language.empty() ? "English" : language;
  SetModalResult(kResultOk);
}

bool ShowOptionsDialog(HWND owner, settings::Settings& settings, platform::Registry& registry) {
  OptionsDialog dialog(settings);
  return ShowOptionsDialog(dialog, owner, settings, registry);
}

bool ShowOptionsDialog(OptionsDialog& dialog, HWND owner, settings::Settings& settings,
                       platform::Registry& registry) {
  i18n::Translator* translator = i18n::CurrentTranslator();
  const uint8_t charset = translator != nullptr ? translator->Charset() : 0;
  if (!dialog.Create() || dialog.ShowModal(owner) != kResultOk) {
    // Looking at another language's labels took its character set.
    if (translator != nullptr && translator->Charset() != charset)
      translator->SetLanguage(translator->CurrentLanguage());
    return false;
  }
  settings = dialog.Result();
  if (translator != nullptr) translator->SetLanguage(settings.language);
  settings::SaveSettings(registry, settings);
  return true;
}

}  // namespace cvn::ui

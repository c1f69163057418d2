#include "ui/tree_page.h"

#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

#include <utility>

#include "changes/changes_archive.h"
#include "changes/export_changes.h"
#include "changes/save_changes_tree.h"
#include "i18n/translator.h"
#include "platform/locale.h"
#include "platform/win32/wide_text.h"
#include "ui/anchor_layout.h"
#include "ui/change_pictures.h"
#include "ui/input_text_dialog.h"
#include "ui/message_box.h"
#include "ui/modal_dialog.h"
#include "ui/print_job.h"

namespace cvn::ui {

namespace {

using changes::kNoNode;
using changes::NodeId;
using platform::win32::ToUtf8;
using platform::win32::ToWide;

// The menu's items in their order; an id of 0 is a separator.
struct MenuDesign {
  int id;
  const char* name;
  const char* english;
};
constexpr MenuDesign kMenu[] = {
    {kMenuCheck, "pmiCheck", "Check branch"},
    {kMenuUncheck, "pmiUncheck", "Uncheck branch"},
    {0, nullptr, nullptr},
    {kMenuExpandAll, "pmiExpandAll", "Expand all"},
    {kMenuCollapseAll, "pmiCollapseAll", "Collapse all"},
    {0, nullptr, nullptr},
    {kMenuRemoveBranch, "pmiRemoveBr", "Remove branch\tDel"},
    {0, nullptr, nullptr},
    {kMenuOpen, "pmiOpen", "Open"},
    {kMenuView, "pmiView", "View"},
    {kMenuProperties, "pmiProperties", "P&roperties"},
    {0, nullptr, nullptr},
    {kMenuAddToIgnore, "pmiAddToIgnore", "Add to ignore list"},
};

// A busy window: the hourglass and no input until the end of the scope.
class Busy {
 public:
  explicit Busy(HWND window) : window_(window), cursor_(SetCursor(LoadCursorW(nullptr, IDC_WAIT))) {
    EnableWindow(window_, FALSE);
  }
  ~Busy() {
    EnableWindow(window_, TRUE);
    SetCursor(cursor_);
  }
  Busy(const Busy&) = delete;
  Busy& operator=(const Busy&) = delete;

 private:
  HWND window_;
  HCURSOR cursor_;
};

void ShowError(std::string_view text) {
  CustomMessageDlg(text, MessageKind::kError, {MessageButton::kOk});
}

}  // namespace

TreePage::TreePage(const Controls& controls, changes::ChangeTree& tree, AppContext& context,
                   platform::FileSystem& fs)
    : controls_(controls),
      tree_(tree),
      context_(context),
      fs_(fs),
      commands_(tree, context.settings, fs),
      view_(std::make_unique<ChangesTreeView>(controls.list, tree, commands_.rows())) {
  view_->on_delete = [this] { RemoveSelectedBranch(); };
  view_->on_find = [this] { Find(); };
  view_->on_find_next = [this](bool forward) { FindNext(forward); };
  EnableWindow(controls_.save, FALSE);
}

TreePage::~TreePage() {
  for (HFONT font : {rows_font_, header_font_})
    if (font != nullptr) DeleteObject(font);
}

void TreePage::ShowTree() {
  commands_.Reset();
  view_->Refresh();
  if (commands_.rows().Count() > 0) view_->SelectRow(0);
  EnableWindow(controls_.save, FALSE);
  for (HWND button : {controls_.print, controls_.export_, controls_.expand, controls_.collapse})
    EnableWindow(button, TRUE);
}

void TreePage::Clear() {
  commands_.Clear();
  view_->Refresh();
  for (HWND button :
       {controls_.save, controls_.print, controls_.export_, controls_.expand, controls_.collapse})
    EnableWindow(button, FALSE);
}

void TreePage::SetDpi(int dpi) {
  view_->SetDpi(dpi);
}

void TreePage::SetColumns(int first_width, int second_width) {
  const std::wstring captions[3] = {ToWide(i18n::Translate("RS_DET_CHANGES", "Detected changes")),
                                    ToWide(i18n::Translate("RS_BEFORE", "Before")),
                                    ToWide(i18n::Translate("RS_AFTER", "After"))};
  view_->SetColumns(captions, first_width, second_width);
}

void TreePage::ApplyLook(uint8_t charset, HFONT window_font) {
  const settings::Settings& settings = context_.settings;
  charset_ = charset;
  HFONT old = rows_font_, old_header = header_font_;
  LOGFONTW bold = {};
  if (window_font == nullptr) window_font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  GetObjectW(window_font, sizeof(bold), &bold);
  bold.lfWeight = FW_BOLD;
  header_font_ = CreateFontIndirectW(&bold);
  const int dpi = WindowDpi(controls_.list);
  rows_font_ =
      CreateFontW(-MulDiv(settings.tree_font_size, dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE,
                  FALSE, charset, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                  DEFAULT_PITCH | FF_DONTCARE, ToWide(settings.tree_font_name).c_str());
  view_->SetFonts(rows_font_, header_font_);
  view_->ShowBackground(settings.show_background);
  if (old != nullptr) DeleteObject(old);
  if (old_header != nullptr) DeleteObject(old_header);
}

void TreePage::CopySettingsToControls() {
  const bool hex = context_.settings.binary_as_hex;
  SendMessageW(controls_.text_mode, BM_SETCHECK, hex ? BST_UNCHECKED : BST_CHECKED, 0);
  SendMessageW(controls_.hex_mode, BM_SETCHECK, hex ? BST_CHECKED : BST_UNCHECKED, 0);
  view_->SetHex(hex);
}

bool TreePage::OnNotify(const NMHDR& header, LRESULT* result) {
  return view_->OnNotify(header, result);
}

void TreePage::Status(std::string_view text) const {
  if (set_status) set_status(text);
}

std::string TreePage::NowText() const {
  return changes::FormatDateTime(changes::SystemClock().Now(), platform::UserDateTimeFormat());
}

HMENU TreePage::MakeMenu() {
  const NodeId selected = view_->Selected();
  const changes::TreeMenuState state = commands_.MenuState(selected);
  HMENU menu = CreatePopupMenu();
  for (const MenuDesign& item : kMenu) {
    if (item.id == 0) {
      AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
      continue;
    }
    bool visible = true, enabled = true;
    switch (item.id) {
      case kMenuCheck:
      case kMenuUncheck:
        visible = state.check_visible;
        enabled = state.check_enabled;
        break;
      case kMenuExpandAll:
      case kMenuCollapseAll:
        enabled = state.expand_enabled;
        break;
      case kMenuRemoveBranch:
        enabled = state.remove_enabled;
        break;
      case kMenuOpen:
      case kMenuProperties:
        enabled = state.open_enabled;
        break;
      case kMenuView:
        enabled = state.view_enabled;
        break;
      case kMenuAddToIgnore:
        visible = state.ignore_visible;
        break;
      default:
        break;
    }
    if (!visible) continue;
    std::string caption =
        controls_.menu_caption ? controls_.menu_caption(item.name) : std::string(item.english);
    if (caption.empty()) caption = item.english;
    if (item.id == kMenuRemoveBranch && caption.find('\t') == std::string::npos) caption += "\tDel";
    AppendMenuW(menu, MF_STRING | (enabled ? 0 : MF_GRAYED), static_cast<UINT_PTR>(item.id),
                ToWide(caption).c_str());
  }
  return menu;
}

bool TreePage::OnContextMenu(HWND window, POINT screen) {
  if (window != controls_.list) return false;
  if (screen.x == -1 && screen.y == -1) {
    // From the keyboard: below the selected row.
    RECT row = {};
    const NodeId selected = view_->Selected();
    if (selected != kNoNode) {
      ListView_GetItemRect(controls_.list, static_cast<int>(commands_.rows().RowOf(selected)), &row,
                           LVIR_LABEL);
    }
    screen = {row.left + 8, row.bottom};
    ClientToScreen(controls_.list, &screen);
  } else {
    // A right click selects the row under the mouse.
    LVHITTESTINFO hit = {};
    hit.pt = screen;
    ScreenToClient(controls_.list, &hit.pt);
    const int row = ListView_HitTest(controls_.list, &hit);
    if (row >= 0) view_->SelectRow(static_cast<size_t>(row));
  }
  HMENU menu = MakeMenu();
  const int id = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, screen.x, screen.y, 0,
                                controls_.owner, nullptr);
  DestroyMenu(menu);
  if (id != 0) RunMenuCommand(id);
  return true;
}

void TreePage::RunMenuCommand(int id) {
  switch (id) {
    case kMenuCheck:
    case kMenuUncheck:
      SetBranchCheck(id == kMenuCheck);
      break;
    case kMenuExpandAll:
      OnExpandAllClick();
      break;
    case kMenuCollapseAll:
      OnCollapseAllClick();
      break;
    case kMenuRemoveBranch:
      RemoveSelectedBranch();
      break;
    case kMenuOpen:
      OpenSelected(false);
      break;
    case kMenuView:
      OpenSelected(true);
      break;
    case kMenuProperties:
      ShowProperties();
      break;
    case kMenuAddToIgnore:
      AddSelectedToIgnoreList();
      break;
    default:
      break;
  }
}

void TreePage::SetBranchCheck(bool checked) {
  const NodeId node = view_->Selected();
  if (node == kNoNode) return;
  tree_.SetBranchCheck(node, checked);
  InvalidateRect(controls_.list, nullptr, FALSE);
}

void TreePage::RemoveSelectedBranch() {
  const NodeId node = view_->Selected();
  if (node == kNoNode || !commands_.MenuState(node).remove_enabled) return;
  const std::string question =
      i18n::Translate("RS_ASK_REMOVE_BRANCH", "Remove the selected branch ?");
  const bool yes = confirm
                       ? confirm(question)
                       : CustomMessageDlg(question, MessageKind::kConfirmation,
                                          {MessageButton::kYes, MessageButton::kNo}) == kResultYes;
  if (!yes) return;
  const size_t row = commands_.rows().RowOf(node);
  if (!commands_.RemoveBranch(row)) return;
  view_->Refresh();
  view_->SelectRow(std::min(row, commands_.rows().Count() - 1));
  EnableWindow(controls_.save, TRUE);
}

void TreePage::OpenSelected(bool with_viewer) {
  const NodeId node = view_->Selected();
  const changes::TreeMenuState state = commands_.MenuState(node);
  if (node == kNoNode || !(with_viewer ? state.view_enabled : state.open_enabled)) return;
  const changes::ChangeRecord& data = tree_.Data(node);
  const std::wstring folder = ToWide(data.path);
  const std::wstring name = ToWide(data.name);
  const std::wstring viewer = ToWide(context_.settings.viewer);
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_DOENVSUBST | SEE_MASK_FLAG_NO_UI;
  info.hwnd = controls_.owner;
  info.lpVerb = L"open";
  info.lpFile = with_viewer ? viewer.c_str() : name.c_str();
  info.lpParameters = with_viewer ? name.c_str() : nullptr;
  info.lpDirectory = folder.c_str();
  info.nShow = SW_SHOWNORMAL;
  // The item may have gone since the menu opened: the status line says so.
  if (!ShellExecuteExW(&info)) {
    std::string text = i18n::Translate("RS_CANT_EXECUTE", "Can't start the program '%s'!");
    if (const size_t at = text.find("%s"); at != std::string::npos)
      text.replace(at, 2, with_viewer ? context_.settings.viewer : commands_.ItemPath(node));
    Status(text);
  }
}

void TreePage::ShowProperties() {
  const NodeId node = view_->Selected();
  if (node == kNoNode || !commands_.MenuState(node).open_enabled) return;
  SHObjectProperties(controls_.owner, SHOP_FILEPATH, ToWide(commands_.ItemPath(node)).c_str(),
                     nullptr);
}

void TreePage::AddSelectedToIgnoreList() {
  const NodeId node = view_->Selected();
  if (node == kNoNode || !commands_.MenuState(node).ignore_visible) return;
  commands_.AddToIgnoreList(node);
}

void TreePage::Find() {
  TextRequest request;
  request.caption = i18n::Translate("RS_FIND", "Find");
  request.label = i18n::Translate("RS_FIND_WHAT", "Find what:");
  request.ok_caption = i18n::Translate("RS_DLG_OK", "OK");
  request.cancel_caption = i18n::Translate("RS_DLG_CANCEL", "Cancel");
  request.initial_text = find_text_;
  const std::optional<std::string> text = InputText(controls_.owner, request);
  if (!text || text->empty()) return;
  find_text_ = *text;
  FindNext(true);
}

void TreePage::FindNext(bool forward) {
  // Without rows the tree may be filling: nothing to search.
  if (commands_.rows().Count() == 0) return;
  if (find_text_.empty()) {
    Find();
    return;
  }
  size_t row = changes::TreeRows::kNoRow;
  {
    Busy busy(controls_.owner);
    row = commands_.Find(find_text_, view_->Selected(), forward);
  }
  view_->Refresh();
  if (row == changes::TreeRows::kNoRow) {
    std::string text = i18n::Translate("RS_NOT_FOUND", "'%s' was not found.");
    if (const size_t at = text.find("%s"); at != std::string::npos) text.replace(at, 2, find_text_);
    Status(text);
    return;
  }
  view_->SelectRow(row);
  Status({});
}

void TreePage::OnSaveClick() {
  (void)Save();
}

bool TreePage::Save() {
  try {
    Busy busy(controls_.owner);
    // The fingerprints stay those taken when the monitoring ended.
    const changes::Fingerprints known = changes::ReadFingerprints(
        fs_, platform::JoinPath(context_.program_folder, identifier_));
    changes::SaveChangesTree(tree_, fs_, context_.program_folder, identifier_,
                             changes::SystemClock(), &known);
  } catch (const changes::ArchiveFileError&) {
    ShowError(i18n::Translate("RS_ERR_SAVING", "Error saving changes tree !"));
    return false;
  }
  commands_.MarkSaved();
  EnableWindow(controls_.save, FALSE);
  return true;
}

void TreePage::OnExportClick() {
  wchar_t file[MAX_PATH] = {};
  const std::wstring preset = ToWide(identifier_ + ".txt");
  preset.copy(file, MAX_PATH - 1);
  std::string caption = controls_.menu_caption ? controls_.menu_caption("btnExport") : "";
  std::erase(caption, '&');
  const std::wstring title = ToWide(caption.empty() ? "Export" : caption);
  std::wstring filter = L"Text Documents|*.txt|All files|*.*|";
  for (wchar_t& c : filter)
    if (c == L'|') c = L'\0';
  OPENFILENAMEW dialog = {};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = controls_.owner;
  dialog.lpstrFilter = filter.c_str();
  dialog.lpstrFile = file;
  dialog.nMaxFile = MAX_PATH;
  dialog.lpstrTitle = title.c_str();
  dialog.lpstrDefExt = L"txt";
  dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
  if (!GetSaveFileNameW(&dialog)) return;
  platform::Status status;
  {
    Busy busy(controls_.owner);
    status = changes::ExportChanges(fs_, tree_, view_->Selected(), ToUtf8(file),
                                    {identifier_, NowText(), context_.settings.binary_as_hex});
  }
  if (!status.ok()) ShowError(i18n::Translate("RS_EXPORT_ERROR", "Exporting error !"));
}

void TreePage::OnPrintClick() {
  PrintJobOptions options;
  options.identifier = identifier_;
  options.date_time = NowText();
  options.hex = context_.settings.binary_as_hex;
  options.font_name = context_.settings.tree_font_name;
  options.font_size = context_.settings.tree_font_size;
  options.font_charset = charset_;
  options.make_pictures = CreateChangePictures;
  EnableWindow(controls_.owner, FALSE);
  const PrintResult result =
      PrintChangesWithDialog(controls_.owner, tree_, view_->Selected(), options);
  EnableWindow(controls_.owner, TRUE);
  const std::string message = PrintResultMessage(result);
  if (!message.empty()) ShowError(message);
}

void TreePage::OnExpandAllClick() {
  Busy busy(controls_.owner);
  commands_.rows().ExpandAll();
  view_->Refresh();
}

void TreePage::OnCollapseAllClick() {
  commands_.rows().CollapseAll();
  view_->Refresh();
}

void TreePage::OnHexClick() {
  context_.settings.binary_as_hex =
      SendMessageW(controls_.hex_mode, BM_GETCHECK, 0, 0) == BST_CHECKED;
  view_->SetHex(context_.settings.binary_as_hex);
}

}  // namespace cvn::ui

#include "ui/monitored_list_view.h"

#include <algorithm>
#include <numeric>
#include <utility>

#include "i18n/translator.h"
#include "platform/text.h"
#include "platform/win32/wide_text.h"
#include "settings/settings.h"
#include "ui/anchor_layout.h"
#include "ui/form.h"
#include "ui/input_text_dialog.h"
#include "ui/message_box.h"
#include "ui/modal_dialog.h"

namespace cvn::ui {

namespace {

using changes::MonitoredApplication;
using platform::win32::ToWide;

// A stored width beyond this (at 96 DPI) is not a width anyone chose.
constexpr int kMaxStoredWidth = 10000;

void ShowError(std::string_view text) {
  CustomMessageDlg(text, MessageKind::kError, {MessageButton::kOk});
}

}  // namespace

MonitoredListView::MonitoredListView(const Controls& controls, const Source& source,
                                     platform::Registry& registry)
    : controls_(controls), source_(source), registry_(registry), dpi_(WindowDpi(controls.list)) {
  // The columns may be dragged into another order, which is kept.
  ListView_SetExtendedListViewStyleEx(controls_.list, LVS_EX_HEADERDRAGDROP, LVS_EX_HEADERDRAGDROP);
  ShowSortArrow();
}

void MonitoredListView::Refresh() {
  Fill(changes::ListMonitoredApplications(source_.fs, source_.program_folder, source_.clock));
}

void MonitoredListView::Fill(std::vector<MonitoredApplication> applications) {
  const bool had_selection = SelectedRow() >= 0;
  rows_ = changes::SortMonitoredApplications(std::move(applications), sort_);
  ShowRows(std::nullopt, 0);
  if (had_selection) SelectionChanged();
}

void MonitoredListView::SetSort(changes::MonitoredSort sort) {
  if (sort.column < 0 || sort.column >= changes::kMonitoredColumnCount) return;
  sort_ = sort;
  const int selected = SelectedRow();
  const int focused = ListView_GetNextItem(controls_.list, -1, LVNI_FOCUSED);
  const std::optional<std::string> selected_name =
      selected >= 0 ? std::optional(rows_[static_cast<size_t>(selected)].identifier) : std::nullopt;
  const std::optional<std::string> focused_name =
      focused >= 0 ? std::optional(rows_[static_cast<size_t>(focused)].identifier) : std::nullopt;
  rows_ = changes::SortMonitoredApplications(std::move(rows_), sort_);
  int focus_row = 0;
  for (size_t row = 0; row < rows_.size(); ++row) {
    if (focused_name && rows_[row].identifier == *focused_name) focus_row = static_cast<int>(row);
  }
  ShowRows(selected_name, focus_row);
  ShowSortArrow();
}

void MonitoredListView::SortByColumn(int column) {
  SetSort({column, column == sort_.column ? !sort_.ascending : true});
}

void MonitoredListView::ShowSortArrow() {
  const HWND header = ListView_GetHeader(controls_.list);
  for (int column = 0; column < ColumnCount(); ++column) {
    HDITEMW item = {};
    item.mask = HDI_FORMAT;
    if (!Header_GetItem(header, column, &item)) continue;
    item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
    if (column == sort_.column) item.fmt |= sort_.ascending ? HDF_SORTUP : HDF_SORTDOWN;
    Header_SetItem(header, column, &item);
  }
  FitSortedColumn();
}

void MonitoredListView::FitSortedColumn() {
  const HWND header = ListView_GetHeader(controls_.list);
  wchar_t caption[256] = {};
  HDITEMW item = {};
  item.mask = HDI_TEXT;
  item.pszText = caption;
  item.cchTextMax = 256;
  if (!Header_GetItem(header, sort_.column, &item)) return;
  SIZE text = {};
  const HDC dc = GetDC(header);
  const auto font = reinterpret_cast<HFONT>(SendMessageW(header, WM_GETFONT, 0, 0));
  const HGDIOBJ old_font = font != nullptr ? SelectObject(dc, font) : nullptr;
  GetTextExtentPoint32W(dc, caption, lstrlenW(caption), &text);
  if (old_font != nullptr) SelectObject(dc, old_font);
  ReleaseDC(header, dc);
  // The header leaves a margin on each side of the caption and draws the
  // arrow, about a line high, beside it after another margin.
  const int margin = 3 * GetSystemMetrics(SM_CXEDGE);
  const int needed = text.cx + 3 * margin + text.cy;
  if (ListView_GetColumnWidth(controls_.list, sort_.column) < needed)
    ListView_SetColumnWidth(controls_.list, sort_.column, needed);
}

int MonitoredListView::ColumnCount() const {
  return Header_GetItemCount(ListView_GetHeader(controls_.list));
}

int MonitoredListView::SelectedRow() const {
  const int row = ListView_GetNextItem(controls_.list, -1, LVNI_SELECTED);
  return row >= 0 && static_cast<size_t>(row) < rows_.size() ? row : -1;
}

std::optional<std::string> MonitoredListView::SelectedIdentifier() const {
  const int row = SelectedRow();
  if (row < 0) return std::nullopt;
  return rows_[static_cast<size_t>(row)].identifier;
}

bool MonitoredListView::Select(std::string_view identifier) {
  const auto found = std::find_if(rows_.begin(), rows_.end(), [&](const MonitoredApplication& row) {
    return text::EqualsNoCase(row.identifier, identifier);
  });
  if (found == rows_.end()) return false;
  const int row = static_cast<int>(found - rows_.begin());
  ListView_SetItemState(controls_.list, row, LVIS_SELECTED | LVIS_FOCUSED,
                        LVIS_SELECTED | LVIS_FOCUSED);
  ListView_EnsureVisible(controls_.list, row, FALSE);
  return true;
}

void MonitoredListView::ShowRows(const std::optional<std::string>& selected, int focused) {
  const HWND list = controls_.list;
  filling_ = true;
  SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  ListView_DeleteAllItems(list);
  for (size_t row = 0; row < rows_.size(); ++row) {
    const MonitoredApplication& application = rows_[row];
    for (int column = 0; column < changes::kMonitoredColumnCount; ++column) {
      std::wstring text = ToWide(changes::ColumnText(application, column, source_.format));
      LVITEMW item = {};
      item.mask = LVIF_TEXT;
      item.iItem = static_cast<int>(row);
      item.iSubItem = column;
      item.pszText = text.data();
      if (column == 0) {
        ListView_InsertItem(list, &item);
      } else {
        ListView_SetItem(list, &item);
      }
    }
  }
  if (!rows_.empty()) {
    ListView_SetItemState(list, std::clamp(focused, 0, static_cast<int>(rows_.size()) - 1),
                          LVIS_FOCUSED, LVIS_FOCUSED);
  }
  for (size_t row = 0; selected && row < rows_.size(); ++row) {
    if (rows_[row].identifier != *selected) continue;
    ListView_SetItemState(list, static_cast<int>(row), LVIS_SELECTED, LVIS_SELECTED);
    ListView_EnsureVisible(list, static_cast<int>(row), FALSE);
    break;
  }
  SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
  filling_ = false;
}

void MonitoredListView::SelectionChanged() {
  if (on_selection_changed) on_selection_changed();
}

void MonitoredListView::RemoveSelected() {
  const int row = SelectedRow();
  if (row < 0) return;
  rows_.erase(rows_.begin() + row);
  filling_ = true;
  ListView_DeleteItem(controls_.list, row);
  filling_ = false;
  SelectionChanged();
}

void MonitoredListView::DeleteSelected() {
  const std::optional<std::string> identifier = SelectedIdentifier();
  if (!identifier) return;
  const std::string question =
      i18n::Translate("RS_REMOVE_ITEM",
                      "You will not be able to restore the changes made by selected "
                      "application.\nAre you sure you want to continue ?");
  if (CustomMessageDlg(question, MessageKind::kConfirmation,
                       {MessageButton::kYes, MessageButton::kNo}) != kResultYes)
    return;
  if (!changes::DeleteMonitoredApplication(source_.fs, source_.program_folder, *identifier).ok()) {
    ShowError(i18n::Translate("RS_DELETE_FAILED", "Delete failed !"));
    return;
  }
  RemoveSelected();
}

void MonitoredListView::RenameSelected() {
  const int row = SelectedRow();
  if (row < 0) return;
  MonitoredApplication& application = rows_[static_cast<size_t>(row)];
  TextRequest request;
  request.caption = i18n::Translate("RS_RENAME", "Rename");
  request.label = i18n::Translate("RS_NEW_NAME", "New name");
  request.ok_caption = i18n::Translate("RS_OK", "Ok");
  request.cancel_caption = i18n::Translate("RS_CANCEL", "Cancel");
  request.initial_text = application.identifier;
  if (const i18n::Translator* translator = i18n::CurrentTranslator())
    request.font_charset = translator->Charset();
  const std::optional<std::string> name = InputText(controls_.owner, request);
  if (!name) return;
  if (!changes::RenameMonitoredApplication(source_.fs, source_.program_folder,
                                           application.identifier, *name)
           .ok()) {
    ShowError(i18n::Translate("RS_RENAME_FAILED", "Rename failed !"));
    return;
  }
  application.identifier = *name;
  std::wstring text = ToWide(*name);
  ListView_SetItemText(controls_.list, row, 0, text.data());
}

void MonitoredListView::LoadState() {
  const int count = ColumnCount();
  const settings::ListColumns columns = settings::LoadListColumns(registry_);
  // The order must name each column once.
  if (static_cast<int>(columns.order.size()) == count) {
    std::vector<int> order(columns.order.begin(), columns.order.end());
    std::vector<int> sorted = order;
    std::sort(sorted.begin(), sorted.end());
    std::vector<int> all(static_cast<size_t>(count));
    std::iota(all.begin(), all.end(), 0);
    if (sorted == all) ListView_SetColumnOrderArray(controls_.list, count, order.data());
  }
  if (static_cast<int>(columns.sizes.size()) == count &&
      std::all_of(columns.sizes.begin(), columns.sizes.end(),
                  [](int32_t width) { return width >= 0 && width <= kMaxStoredWidth; })) {
    for (int column = 0; column < count; ++column) {
      ListView_SetColumnWidth(controls_.list, column,
                              ScaleForDpi(columns.sizes[static_cast<size_t>(column)], dpi_));
    }
  }
  if (const std::optional<settings::ListSort> sort = settings::LoadListSort(registry_)) {
    SetSort({sort->column, sort->ascending});
  }
}

bool MonitoredListView::SaveState() const {
  const int count = ColumnCount();
  settings::ListColumns columns;
  std::vector<int> order(static_cast<size_t>(count));
  if (count > 0) ListView_GetColumnOrderArray(controls_.list, count, order.data());
  columns.order.assign(order.begin(), order.end());
  for (int column = 0; column < count; ++column) {
    columns.sizes.push_back(
        MulDiv(ListView_GetColumnWidth(controls_.list, column), kDesignDpi, dpi_));
  }
  const bool sort_saved = settings::SaveListSort(registry_, {sort_.column, sort_.ascending});
  return settings::SaveListColumns(registry_, columns) && sort_saved;
}

void MonitoredListView::SetDpi(int dpi) {
  if (dpi <= 0 || dpi == dpi_) return;
  for (int column = 0; column < ColumnCount(); ++column) {
    ListView_SetColumnWidth(controls_.list, column,
                            MulDiv(ListView_GetColumnWidth(controls_.list, column), dpi, dpi_));
  }
  dpi_ = dpi;
}

void MonitoredListView::FitNameColumn(int min_width) {
  RECT client = {};
  GetClientRect(controls_.list, &client);
  int others = 0;
  for (int column = 1; column < ColumnCount(); ++column)
    others += ListView_GetColumnWidth(controls_.list, column);
  ListView_SetColumnWidth(controls_.list, changes::kColumnName,
                          std::max(min_width, static_cast<int>(client.right) - others));
}

bool MonitoredListView::OnNotify(const NMHDR& header, LRESULT* result) {
  if (header.hwndFrom != controls_.list) return false;
  switch (header.code) {
    case LVN_COLUMNCLICK:
      SortByColumn(reinterpret_cast<const NMLISTVIEW&>(header).iSubItem);
      break;
    case LVN_ITEMCHANGED: {
      const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
      if (filling_ || (change.uChanged & LVIF_STATE) == 0 ||
          ((change.uOldState ^ change.uNewState) & LVIS_SELECTED) == 0)
        return false;
      SelectionChanged();
      break;
    }
    case LVN_KEYDOWN:
      if (reinterpret_cast<const NMLVKEYDOWN&>(header).wVKey != VK_DELETE) return false;
      DeleteSelected();
      break;
    default:
      return false;
  }
  *result = 0;
  return true;
}

HMENU MonitoredListView::MakeMenu() const {
  struct Item {
    int id;
    const char* name;
    const char* english;
    bool enabled;
  };
  const std::optional<std::string> selected = SelectedIdentifier();
  const Item items[] = {{kMonitoredMenuDelete, "pmiDelete", "&Delete", selected.has_value()},
                        {kMonitoredMenuRename, "pmiRename", "Rena&me", selected.has_value()},
                        {kMonitoredMenuRestore, "pmiUndoUninstall", "Restore &last uninstall",
                         selected && can_restore && can_restore(*selected)}};
  HMENU menu = CreatePopupMenu();
  for (const Item& item : items) {
    std::string caption = controls_.menu_caption ? controls_.menu_caption(item.name) : "";
    if (caption.empty()) caption = item.english;
    if (item.id == kMonitoredMenuDelete && caption.find('\t') == std::string::npos)
      caption += "\tDel";
    if (item.id == kMonitoredMenuRestore) AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING | (item.enabled ? 0 : MF_GRAYED), static_cast<UINT_PTR>(item.id),
                ToWide(caption).c_str());
  }
  return menu;
}

bool MonitoredListView::OnContextMenu(HWND window, POINT screen) {
  if (window != controls_.list) return false;
  if (screen.x == -1 && screen.y == -1) {
    // From the keyboard: below the selected row, or at the list's corner.
    RECT row = {};
    const int selected = SelectedRow();
    if (selected >= 0) ListView_GetItemRect(controls_.list, selected, &row, LVIR_LABEL);
    screen = {row.left + 8, row.bottom};
    ClientToScreen(controls_.list, &screen);
  }
  HMENU menu = MakeMenu();
  const int id = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, screen.x, screen.y, 0,
                                controls_.owner, nullptr);
  DestroyMenu(menu);
  if (id != 0) RunMenuCommand(id);
  return true;
}

void MonitoredListView::RunMenuCommand(int id) {
  switch (id) {
    case kMonitoredMenuDelete:
      DeleteSelected();
      break;
    case kMonitoredMenuRename:
      RenameSelected();
      break;
    case kMonitoredMenuRestore:
      if (const std::optional<std::string> selected = SelectedIdentifier(); selected && on_restore)
        on_restore(*selected);
      break;
    default:
      break;
  }
}

}  // namespace cvn::ui

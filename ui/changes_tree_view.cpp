#include "ui/changes_tree_view.h"

#include <windowsx.h>

#include <algorithm>

#include "changes/changes_view.h"
#include "platform/win32/wide_text.h"
#include "ui/anchor_layout.h"
#include "ui/change_pictures.h"
#include "ui/form.h"

namespace cvn::ui {

namespace {

using changes::kNoNode;
using changes::NodeId;

// The background picture's side and its distance from the list's lower
// right corner, at 96 DPI.
constexpr int kBackgroundSize = 128;
constexpr int kBackgroundMargin = 16;

// The most characters the list takes from a text request.
constexpr size_t kLongestCellText = 4096;

COLORREF Blend(COLORREF a, COLORREF b) {
  return RGB((GetRValue(a) + GetRValue(b)) / 2, (GetGValue(a) + GetGValue(b)) / 2,
             (GetBValue(a) + GetBValue(b)) / 2);
}

// A column's width and caption, as the list takes them.
LVCOLUMNW Column(int width, const wchar_t* caption) {
  LVCOLUMNW column = {};
  column.mask = LVCF_WIDTH | LVCF_TEXT;
  column.cx = width;
  column.pszText = const_cast<wchar_t*>(caption);
  return column;
}

bool Contains(const RECT& rect, POINT point) {
  return point.x >= rect.left && point.x < rect.right && point.y >= rect.top &&
         point.y < rect.bottom;
}

}  // namespace

ChangesTreeView::ChangesTreeView(HWND list, changes::ChangeTree& tree, changes::TreeRows& rows)
    : list_(list), tree_(tree), rows_(rows) {
  ListView_SetExtendedListViewStyle(
      list_, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES | LVS_EX_DOUBLEBUFFER | LVS_EX_INFOTIP);
  for (int column = 0; column < 3; ++column) {
    LVCOLUMNW header = Column(100, L"");
    ListView_InsertColumn(list_, column, &header);
  }
  SetDpi(kDesignDpi);
  SetWindowSubclass(list_, ListProc, 0, reinterpret_cast<DWORD_PTR>(this));
}

ChangesTreeView::~ChangesTreeView() {
  RemoveWindowSubclass(list_, ListProc, 0);
  if (pictures_ != nullptr) ImageList_Destroy(pictures_);
  if (background_ != nullptr) ImageList_Destroy(background_);
}

// The list's own selection walks every row each time it changes in virtual
// mode, which a million rows make slow: the selection is the view's, and
// the keys and clicks that move it are handled here. The list only paints.
LRESULT CALLBACK ChangesTreeView::ListProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam,
                                           UINT_PTR, DWORD_PTR self) {
  auto* view = reinterpret_cast<ChangesTreeView*>(self);
  const LRESULT result = view->HandleListMessage(hwnd, message, wparam, lparam);
  if (view->background_ != nullptr && message != WM_PAINT) view->RepaintWhenMoved();
  return result;
}

LRESULT ChangesTreeView::HandleListMessage(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  // The menu key and Shift+F10: the context menu below the selected row. The
  // menu's owner is the top-level window: a panel between would hand the
  // message on as its own.
  const bool menu_key = wparam == VK_APPS || (wparam == VK_F10 && GetKeyState(VK_SHIFT) < 0);
  switch (message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      if (menu_key) {
        SendMessageW(GetAncestor(hwnd, GA_ROOT), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(hwnd),
                     MAKELPARAM(-1, -1));
        return 0;
      }
      if (message == WM_KEYDOWN && OnKeyDown(static_cast<WORD>(wparam))) return 0;
      break;
    case WM_KEYUP:
    case WM_SYSKEYUP:
      if (menu_key) return 0;  // the menu opened on the key's press
      break;
    case WM_CHAR:
      if (wparam == L' ') return 0;  // Space toggled the check box
      break;
    case WM_SETFONT:
      // The window gives all its controls its font; the tree keeps its own.
      if (rows_font_ != nullptr) {
        DefSubclassProc(hwnd, message, reinterpret_cast<WPARAM>(rows_font_), lparam);
        SendMessageW(ListView_GetHeader(hwnd), WM_SETFONT, reinterpret_cast<WPARAM>(header_font_),
                     lparam);
        return 0;
      }
      break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
      OnMouseDown({GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)}, message == WM_LBUTTONDBLCLK,
                  message == WM_RBUTTONDOWN);
      return 0;
    case WM_MOUSEMOVE:
      OnMouseMove({GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)});
      break;
    case WM_MOUSELEAVE:
      SetHotRow(changes::TreeRows::kNoRow);
      break;
    case WM_RBUTTONUP: {
      // The context menu, as the system would bring it up.
      POINT screen = {GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
      ClientToScreen(hwnd, &screen);
      SendMessageW(GetAncestor(hwnd, GA_ROOT), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(hwnd),
                   MAKELPARAM(screen.x, screen.y));
      return 0;
    }
    default:
      break;
  }
  return DefSubclassProc(hwnd, message, wparam, lparam);
}

void ChangesTreeView::SetDpi(int dpi) {
  dpi_ = dpi;
  picture_size_ = ScaleForDpi(16, dpi);
  check_size_ = ScaleForDpi(13, dpi);
  indent_ = picture_size_ + ScaleForDpi(3, dpi);
  HIMAGELIST old = pictures_;
  pictures_ = CreateChangePictures(picture_size_);
  // The small image list only sets the rows' height; the pictures are
  // drawn in the first column's custom draw. The list must not destroy it.
  SetWindowLongPtrW(list_, GWL_STYLE, GetWindowLongPtrW(list_, GWL_STYLE) | LVS_SHAREIMAGELISTS);
  ListView_SetImageList(list_, pictures_, LVSIL_SMALL);
  if (old != nullptr) ImageList_Destroy(old);
  if (background_ != nullptr) ShowBackground(true);  // at the new size
}

void ChangesTreeView::ShowBackground(bool show) {
  if (background_ != nullptr) ImageList_Destroy(background_);
  background_ = nullptr;
  if (show) {
    background_size_ = ScaleForDpi(kBackgroundSize, dpi_);
    background_ = CreateBackgroundPicture(background_size_);
  }
  InvalidateRect(list_, nullptr, TRUE);
}

void ChangesTreeView::DrawBackground(HDC dc, const RECT& area) const {
  RECT client;
  GetClientRect(list_, &client);
  const int margin = ScaleForDpi(kBackgroundMargin, dpi_);
  const int left = client.right - margin - background_size_;
  const int top = client.bottom - margin - background_size_;
  const RECT picture = {left, top, left + background_size_, top + background_size_};
  RECT overlap;
  if (!IntersectRect(&overlap, &picture, &area)) return;
  const int saved = SaveDC(dc);
  IntersectClipRect(dc, overlap.left, overlap.top, overlap.right, overlap.bottom);
  ImageList_Draw(background_, 0, dc, left, top, ILD_TRANSPARENT);
  RestoreDC(dc, saved);
}

void ChangesTreeView::DrawTextCell(HDC dc, size_t row, int column) {
  RECT cell;
  ListView_GetSubItemRect(list_, static_cast<int>(row), column, LVIR_BOUNDS, &cell);
  cell.bottom -= 1;  // the grid line
  FillRect(dc, &cell, GetSysColorBrush(COLOR_WINDOW));
  DrawBackground(dc, cell);
  const std::wstring text = CellText(rows_.At(row), column);
  RECT text_rect = {cell.left + ScaleForDpi(6, dpi_), cell.top, cell.right - 2, cell.bottom};
  SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
  SetBkMode(dc, TRANSPARENT);
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &text_rect,
            DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
}

void ChangesTreeView::RepaintWhenMoved() {
  RECT client;
  GetClientRect(list_, &client);
  const RECT place = {GetScrollPos(list_, SB_HORZ), GetScrollPos(list_, SB_VERT), client.right,
                      client.bottom};
  if (EqualRect(&place, &painted_place_)) return;
  painted_place_ = place;
  InvalidateRect(list_, nullptr, TRUE);
}

void ChangesTreeView::SetFonts(HFONT rows, HFONT header) {
  rows_font_ = rows;
  header_font_ = header;
  SendMessageW(list_, WM_SETFONT, reinterpret_cast<WPARAM>(rows), TRUE);
}

void ChangesTreeView::SetColumns(const std::wstring (&captions)[3], int first_width,
                                 int second_width) {
  const int widths[] = {first_width, second_width, 50};
  for (int column = 0; column < 3; ++column) {
    LVCOLUMNW header = Column(widths[column], captions[column].c_str());
    ListView_SetColumn(list_, column, &header);
  }
  FitLastColumn();
}

int ChangesTreeView::ColumnWidth(int column) const {
  return ListView_GetColumnWidth(list_, column);
}

void ChangesTreeView::FitLastColumn() {
  RECT client;
  GetClientRect(list_, &client);
  const int rest = client.right - ColumnWidth(0) - ColumnWidth(1);
  ListView_SetColumnWidth(list_, 2, std::max(rest, ScaleForDpi(50, WindowDpi(list_))));
}

void ChangesTreeView::SetHex(bool hex) {
  hex_ = hex;
  InvalidateRect(list_, nullptr, FALSE);
}

NodeId ChangesTreeView::Selected() const {
  return selected_;
}

void ChangesTreeView::Refresh() {
  ListView_SetItemCountEx(list_, static_cast<int>(rows_.Count()),
                          LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
  if (selected_ != kNoNode && rows_.RowOf(selected_) == changes::TreeRows::kNoRow)
    selected_ = kNoNode;
  InvalidateRect(list_, nullptr, FALSE);
}

void ChangesTreeView::SelectRow(size_t row) {
  if (row >= rows_.Count()) return;
  selected_ = rows_.At(row);
  InvalidateRect(list_, nullptr, FALSE);
  ScrollIntoView(row);
}

void ChangesTreeView::ScrollIntoView(size_t row) {
  const int top = ListView_GetTopIndex(list_);
  const int page = std::max(1, ListView_GetCountPerPage(list_));
  RECT first = {};
  if (!ListView_GetItemRect(list_, top, &first, LVIR_BOUNDS)) return;
  const int height = first.bottom - first.top;
  const int target = static_cast<int>(row);
  if (target < top) {
    ListView_Scroll(list_, 0, (target - top) * height);
  } else if (target >= top + page) {
    ListView_Scroll(list_, 0, (target - top - page + 1) * height);
  }
}

void ChangesTreeView::OnMouseMove(POINT point) {
  LVHITTESTINFO hit = {};
  hit.pt = point;
  const int row = ListView_HitTest(list_, &hit);
  SetHotRow(row < 0 ? changes::TreeRows::kNoRow : static_cast<size_t>(row));
  // Told when the mouse leaves, to take the highlight away.
  TRACKMOUSEEVENT track = {sizeof(track), TME_LEAVE, list_, 0};
  TrackMouseEvent(&track);
}

void ChangesTreeView::SetHotRow(size_t row) {
  if (row == hot_row_) return;
  hot_row_ = row;
  InvalidateRect(list_, nullptr, FALSE);
}

void ChangesTreeView::OnMouseDown(POINT point, bool double_click, bool right) {
  SetFocus(list_);
  LVHITTESTINFO hit = {};
  hit.pt = point;
  const int row = ListView_HitTest(list_, &hit);
  if (row < 0 || static_cast<size_t>(row) >= rows_.Count()) return;
  selected_ = rows_.At(static_cast<size_t>(row));
  InvalidateRect(list_, nullptr, FALSE);
  if (right) return;
  RECT row_rect;
  ListView_GetItemRect(list_, row, &row_rect, LVIR_BOUNDS);
  const RowLayout layout = LayoutOf(static_cast<size_t>(row), row_rect);
  if (Contains(layout.check, point)) {
    ToggleCheck(static_cast<size_t>(row));
  } else if ((double_click || Contains(layout.button, point)) && rows_.HasChildren(selected_)) {
    ExpandOrCollapse(static_cast<size_t>(row), !rows_.IsExpanded(selected_));
  }
}

std::wstring ChangesTreeView::CellText(NodeId node, int column) const {
  std::wstring text = platform::win32::ToWide(
      changes::CellText(tree_.Data(node), static_cast<changes::ChangeColumn>(column), hex_));
  // A line break or tab would make the row unreadable; very long data is
  // cut, as the list cannot show more.
  for (wchar_t& c : text)
    if (c < L' ') c = L' ';
  if (text.size() > kLongestCellText) text.resize(kLongestCellText);
  return text;
}

ChangesTreeView::RowLayout ChangesTreeView::LayoutOf(size_t row, const RECT& row_rect) const {
  const NodeId node = rows_.At(row);
  RowLayout layout;
  layout.cell = row_rect;
  layout.cell.right = row_rect.left + ColumnWidth(0);
  const int height = row_rect.bottom - row_rect.top;
  const int level = tree_.Level(node);
  const int button_left = row_rect.left + 2 + level * indent_;
  layout.button = {button_left, row_rect.top, button_left + indent_, row_rect.bottom};
  int x = layout.button.right;
  layout.check = {x, x, x, x};
  if (tree_.HasCheckBox(node)) {
    const int top = row_rect.top + (height - check_size_) / 2;
    layout.check = {x, top, x + check_size_, top + check_size_};
    x += check_size_ + 3;
  }
  const int top = row_rect.top + (height - picture_size_) / 2;
  layout.picture = {x, top, x + picture_size_, top + picture_size_};
  layout.text_left = layout.picture.right + 4;
  return layout;
}

void ChangesTreeView::DrawLines(HDC dc, NodeId node, const RowLayout& layout) const {
  const int level = tree_.Level(node);
  if (level == 0) return;
  const int middle = (layout.cell.top + layout.cell.bottom) / 2;
  const auto center_of = [&](int slot) {
    return layout.cell.left + 2 + slot * indent_ + indent_ / 2;
  };
  // The node's own joint: down from above, on when a sibling follows, and
  // across to its picture.
  const int x = center_of(level);
  const int bottom = tree_.NextSibling(node) != kNoNode ? layout.cell.bottom : middle;
  MoveToEx(dc, x, layout.cell.top, nullptr);
  LineTo(dc, x, bottom);
  MoveToEx(dc, x, middle, nullptr);
  LineTo(dc, layout.button.right, middle);
  // Lines of the ancestors that have siblings below.
  NodeId ancestor = tree_.Parent(node);
  for (int slot = level - 1; slot >= 1 && ancestor != kNoNode; --slot) {
    if (tree_.NextSibling(ancestor) != kNoNode) {
      MoveToEx(dc, center_of(slot), layout.cell.top, nullptr);
      LineTo(dc, center_of(slot), layout.cell.bottom);
    }
    ancestor = tree_.Parent(ancestor);
  }
}

void ChangesTreeView::DrawButton(HDC dc, const RECT& slot, bool expanded) const {
  const int side = std::max(9, (indent_ * 9) / 19) | 1;
  const int left = (slot.left + slot.right - side) / 2;
  const int top = (slot.top + slot.bottom - side) / 2;
  const RECT square = {left, top, left + side, top + side};
  FillRect(dc, &square, GetSysColorBrush(COLOR_WINDOW));
  FrameRect(dc, &square, GetSysColorBrush(COLOR_GRAYTEXT));
  const int middle_y = top + side / 2, middle_x = left + side / 2, inset = side / 4 + 1;
  HPEN pen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_WINDOWTEXT));
  HGDIOBJ old = SelectObject(dc, pen);
  MoveToEx(dc, left + inset, middle_y, nullptr);
  LineTo(dc, left + side - inset, middle_y);
  if (!expanded) {
    MoveToEx(dc, middle_x, top + inset, nullptr);
    LineTo(dc, middle_x, top + side - inset);
  }
  SelectObject(dc, old);
  DeleteObject(pen);
}

void ChangesTreeView::DrawFirstColumn(HDC dc, size_t row, const RECT& row_rect, bool selected) {
  const NodeId node = rows_.At(row);
  const RowLayout layout = LayoutOf(row, row_rect);
  RECT cell = layout.cell;
  cell.bottom -= 1;  // the grid line
  FillRect(dc, &cell, GetSysColorBrush(COLOR_WINDOW));
  if (background_ != nullptr) DrawBackground(dc, cell);
  const int saved = SaveDC(dc);
  IntersectClipRect(dc, cell.left, cell.top, cell.right, cell.bottom + 1);

  HPEN line_pen =
      CreatePen(PS_SOLID, 1, Blend(GetSysColor(COLOR_GRAYTEXT), GetSysColor(COLOR_WINDOW)));
  SelectObject(dc, line_pen);
  DrawLines(dc, node, layout);
  if (rows_.HasChildren(node)) DrawButton(dc, layout.button, rows_.IsExpanded(node));
  if (tree_.HasCheckBox(node)) {
    RECT box = layout.check;
    DrawFrameControl(dc, &box, DFC_BUTTON,
                     DFCS_BUTTONCHECK | DFCS_FLAT | (tree_.IsChecked(node) ? DFCS_CHECKED : 0));
  }
  ImageList_Draw(pictures_, changes::ImageIndex(tree_.Data(node)), dc, layout.picture.left,
                 layout.picture.top, ILD_TRANSPARENT);

  const std::wstring text = CellText(node, 0);
  RECT text_rect = {layout.text_left, cell.top, cell.right - 2, cell.bottom};
  SIZE extent = {};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
  RECT back = {text_rect.left - 2, cell.top,
               std::min<LONG>(text_rect.left + extent.cx + 2, cell.right), cell.bottom};
  if (selected) {
    const bool focused = GetFocus() == list_;
    FillRect(dc, &back, GetSysColorBrush(focused ? COLOR_HIGHLIGHT : COLOR_BTNFACE));
    SetTextColor(dc, GetSysColor(focused ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
  } else {
    // Hot tracking: the name under the mouse in the link colour.
    SetTextColor(dc, GetSysColor(row == hot_row_ ? COLOR_HOTLIGHT : COLOR_WINDOWTEXT));
  }
  SetBkMode(dc, TRANSPARENT);
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &text_rect,
            DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
  RestoreDC(dc, saved);
  DeleteObject(line_pen);
}

LRESULT ChangesTreeView::OnCustomDraw(NMLVCUSTOMDRAW& draw) {
  switch (draw.nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
      // Below the last row, where no cell covers it.
      if (background_ != nullptr) {
        RECT client;
        GetClientRect(list_, &client);
        DrawBackground(draw.nmcd.hdc, client);
      }
      return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT:
      return CDRF_NOTIFYSUBITEMDRAW;
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
      const size_t row = draw.nmcd.dwItemSpec;
      if (background_ != nullptr && draw.iSubItem != 0 && row < rows_.Count()) {
        DrawTextCell(draw.nmcd.hdc, row, draw.iSubItem);
        return CDRF_SKIPDEFAULT;
      }
      if (draw.iSubItem != 0 || row >= rows_.Count()) {
        // Columns 1 and 2: the list draws them; the selection shows in the
        // first column only, as in a tree.
        draw.clrText = GetSysColor(COLOR_WINDOWTEXT);
        draw.clrTextBk = GetSysColor(COLOR_WINDOW);
        return CDRF_NEWFONT;
      }
      RECT row_rect;
      ListView_GetItemRect(list_, static_cast<int>(row), &row_rect, LVIR_BOUNDS);
      DrawFirstColumn(draw.nmcd.hdc, row, row_rect, rows_.At(row) == selected_);
      return CDRF_SKIPDEFAULT;
    }
    default:
      return CDRF_DODEFAULT;
  }
}

void ChangesTreeView::OnGetDispInfo(NMLVDISPINFOW& info) {
  LVITEMW& item = info.item;
  if (item.iItem < 0 || static_cast<size_t>(item.iItem) >= rows_.Count()) return;
  const NodeId node = rows_.At(static_cast<size_t>(item.iItem));
  if (item.mask & LVIF_TEXT) {
    // The first column is drawn by hand; its text still serves the list's
    // keyboard search and accessibility.
    text_buffer_ = CellText(node, item.iSubItem);
    item.pszText = text_buffer_.data();
  }
  if (item.mask & LVIF_IMAGE) item.iImage = I_IMAGENONE;
}

void ChangesTreeView::OnGetInfoTip(NMLVGETINFOTIPW& tip) {
  if (tip.iItem < 0 || static_cast<size_t>(tip.iItem) >= rows_.Count() || tip.cchTextMax <= 0)
    return;
  const NodeId node = rows_.At(static_cast<size_t>(tip.iItem));
  // The full texts of the row, each on a line, when any of them is cut.
  HDC dc = GetDC(list_);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(list_, WM_GETFONT, 0, 0)));
  RECT row_rect;
  ListView_GetItemRect(list_, tip.iItem, &row_rect, LVIR_BOUNDS);
  const int room[] = {
      ColumnWidth(0) -
          (LayoutOf(static_cast<size_t>(tip.iItem), row_rect).text_left - row_rect.left),
      ColumnWidth(1) - 12, ColumnWidth(2) - 12};
  std::wstring full;
  bool cut = false;
  for (int column = 0; column < 3; ++column) {
    const std::wstring text = CellText(node, column);
    if (text.empty()) continue;
    SIZE extent = {};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    cut = cut || extent.cx > room[column];
    if (!full.empty()) full += L"\r\n";
    full += text;
  }
  SelectObject(dc, old);
  ReleaseDC(list_, dc);
  if (!cut) return;
  const size_t count = std::min(full.size(), static_cast<size_t>(tip.cchTextMax - 1));
  std::copy_n(full.c_str(), count, tip.pszText);
  tip.pszText[count] = L'\0';
}

void ChangesTreeView::ToggleCheck(size_t row) {
  const NodeId node = rows_.At(row);
  if (!tree_.HasCheckBox(node)) return;
  tree_.SetCheckState(node, !tree_.IsChecked(node));
  // Propagation may change any row on screen.
  InvalidateRect(list_, nullptr, FALSE);
}

void ChangesTreeView::ExpandOrCollapse(size_t row, bool expand) {
  if (expand) {
    rows_.Expand(row);
  } else {
    rows_.Collapse(row);
  }
  Refresh();
  SelectRow(row);
}

bool ChangesTreeView::OnKeyDown(WORD key) {
  const bool control = GetKeyState(VK_CONTROL) < 0;
  const bool shift = GetKeyState(VK_SHIFT) < 0;
  if (key == 'F' && control) {
    if (on_find) on_find();
    return true;
  }
  if (key == VK_F3) {
    if (on_find_next) on_find_next(!shift);
    return true;
  }
  switch (key) {
    case VK_LEFT:
    case VK_RIGHT:
    case VK_MULTIPLY:
    case VK_SPACE:
    case VK_DELETE:
      break;
    default:
      return MoveSelection(key);
  }
  const NodeId node = Selected();
  if (node == kNoNode) return false;
  const size_t row = rows_.RowOf(node);
  switch (key) {
    case VK_LEFT:
      if (rows_.IsExpanded(node) && rows_.HasChildren(node)) {
        ExpandOrCollapse(row, false);
      } else if (tree_.Parent(node) != kNoNode) {
        SelectRow(rows_.RowOf(tree_.Parent(node)));
      }
      return true;
    case VK_RIGHT:
      if (!rows_.HasChildren(node)) return true;
      if (!rows_.IsExpanded(node)) {
        ExpandOrCollapse(row, true);
      } else {
        SelectRow(row + 1);
      }
      return true;
    case VK_MULTIPLY:
      rows_.ExpandBranch(row);
      Refresh();
      SelectRow(row);
      return true;
    case VK_SPACE:
      ToggleCheck(row);
      return true;
    case VK_DELETE:
      if (on_delete) on_delete();
      return true;
    default:
      return false;
  }
}

bool ChangesTreeView::MoveSelection(WORD key) {
  const size_t count = rows_.Count();
  if (count == 0) return false;
  const size_t page = static_cast<size_t>(std::max(1, ListView_GetCountPerPage(list_)));
  const size_t at = selected_ == kNoNode ? changes::TreeRows::kNoRow : rows_.RowOf(selected_);
  const size_t row = at == changes::TreeRows::kNoRow ? 0 : at;
  size_t next;
  switch (key) {
    case VK_UP:
      next = row > 0 ? row - 1 : 0;
      break;
    case VK_DOWN:
      next = std::min(row + 1, count - 1);
      break;
    case VK_PRIOR:
      next = row > page ? row - page : 0;
      break;
    case VK_NEXT:
      next = std::min(row + page, count - 1);
      break;
    case VK_HOME:
      next = 0;
      break;
    case VK_END:
      next = count - 1;
      break;
    default:
      return false;
  }
  SelectRow(next);
  return true;
}

bool ChangesTreeView::OnNotify(const NMHDR& header, LRESULT* result) {
  if (header.hwndFrom != list_) return false;
  *result = 0;
  switch (header.code) {
    case NM_CUSTOMDRAW:
      *result = OnCustomDraw(*reinterpret_cast<NMLVCUSTOMDRAW*>(const_cast<NMHDR*>(&header)));
      return true;
    case LVN_GETDISPINFOW:
      OnGetDispInfo(*reinterpret_cast<NMLVDISPINFOW*>(const_cast<NMHDR*>(&header)));
      return true;
    case LVN_GETINFOTIPW:
      OnGetInfoTip(*reinterpret_cast<NMLVGETINFOTIPW*>(const_cast<NMHDR*>(&header)));
      return true;
    default:
      return false;
  }
}

}  // namespace cvn::ui

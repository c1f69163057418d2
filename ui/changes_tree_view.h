// The changes tree on screen: a list view in virtual report mode that shows
// the rows of a TreeRows model with three columns, drawing the first column
// itself (indentation, tree lines, expand buttons, check boxes, pictures).
// The list holds no items: it asks for the texts of the rows it paints, so a
// million rows cost it nothing. Expansion, checks and the tree stay in the
// model; the view keeps the selected node selected across changes to the rows.
//
// Mouse and keys act as in Explorer's tree: a click on a button expands or
// collapses, on a check box toggles it, a double click toggles expansion,
// Left and Right collapse and expand (or move to the parent and the first
// child), * expands the branch, Space toggles the check box. What belongs to
// the page (Del, the context menu, find) is handed to the callbacks.
#pragma once

#include "platform/win32/windows_api.h"

#include <commctrl.h>

#include <functional>
#include <string>

#include "changes/change_tree.h"
#include "changes/tree_rows.h"

namespace cvn::ui {

class ChangesTreeView {
 public:
  // `list` is a report-style list view with LVS_OWNERDATA, owned by a window
  // that hands its notifications to OnNotify.
  ChangesTreeView(HWND list, changes::ChangeTree& tree, changes::TreeRows& rows);
  ~ChangesTreeView();
  ChangesTreeView(const ChangesTreeView&) = delete;
  ChangesTreeView& operator=(const ChangesTreeView&) = delete;

  HWND hwnd() const { return list_; }

  // Pictures, check boxes and indentation for the window's DPI.
  void SetDpi(int dpi);
  // The fonts of the rows and of the header, which the list keeps whatever
  // font its window gives its controls; the caller keeps them alive.
  void SetFonts(HFONT rows, HFONT header);
  // Captions and widths of the three columns; the last takes the width the
  // first two leave.
  void SetColumns(const std::wstring (&captions)[3], int first_width, int second_width);
  int ColumnWidth(int column) const;
  // Fits the last column to the list's width.
  void FitLastColumn();
  // Binary data in hexadecimal digits or as text.
  void SetHex(bool hex);
  // A faint picture of the program in the lower right corner, behind the
  // rows; it stays there while the rows scroll.
  void ShowBackground(bool show);

  // Shows the rows as the model has them now; the selected node stays
  // selected when it is still shown.
  void Refresh();
  // The selected node; kNoNode when none is.
  changes::NodeId Selected() const;
  // Selects the node at `row` and scrolls it into view.
  void SelectRow(size_t row);

  // Handles a notification of the list; true when handled, with the result
  // the list expects in *result.
  bool OnNotify(const NMHDR& header, LRESULT* result);

  // The page's part.
  std::function<void()> on_delete;                 // Del
  std::function<void(bool forward)> on_find_next;  // F3, Shift+F3
  std::function<void()> on_find;                   // Ctrl+F

 private:
  struct RowLayout {
    RECT cell;      // the first column of the row
    RECT button;    // the expand button's square
    RECT check;     // the check box (empty when the node has none)
    RECT picture;   // the picture
    int text_left;  // where the name starts
  };

  RowLayout LayoutOf(size_t row, const RECT& row_rect) const;
  void DrawFirstColumn(HDC dc, size_t row, const RECT& row_rect, bool selected);
  void DrawLines(HDC dc, changes::NodeId node, const RowLayout& layout) const;
  void DrawButton(HDC dc, const RECT& square, bool expanded) const;
  std::wstring CellText(changes::NodeId node, int column) const;
  // The background picture, as much of it as lies in `area`.
  void DrawBackground(HDC dc, const RECT& area) const;
  // Columns 1 and 2 over the background picture.
  void DrawTextCell(HDC dc, size_t row, int column);
  // Scrolling moves the painted rows and the picture with them, and a new
  // size moves the corner: then the whole list is painted again.
  void RepaintWhenMoved();
  LRESULT OnCustomDraw(NMLVCUSTOMDRAW& draw);
  void OnGetDispInfo(NMLVDISPINFOW& info);
  void OnGetInfoTip(NMLVGETINFOTIPW& tip);
  // A click selects the row under the mouse; on a button it expands or
  // collapses, on a check box it toggles, a double click toggles expansion.
  void OnMouseDown(POINT point, bool double_click, bool right);
  void ScrollIntoView(size_t row);
  void OnMouseMove(POINT point);
  void SetHotRow(size_t row);
  bool OnKeyDown(WORD key);
  // Moves the selection for the arrows, Page Up and Down, Home and End.
  bool MoveSelection(WORD key);
  LRESULT HandleListMessage(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  static LRESULT CALLBACK ListProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam,
                                   UINT_PTR id, DWORD_PTR self);
  void ToggleCheck(size_t row);
  void ExpandOrCollapse(size_t row, bool expand);

  HWND list_;
  changes::ChangeTree& tree_;
  changes::TreeRows& rows_;
  HIMAGELIST pictures_ = nullptr;
  HIMAGELIST background_ = nullptr;  // null when not shown
  int background_size_ = 0;
  int dpi_ = 96;
  RECT painted_place_ = {};  // scroll positions and client size of the last check
  HFONT rows_font_ = nullptr;
  HFONT header_font_ = nullptr;
  int picture_size_ = 16;
  int indent_ = 20;  // one level's step
  int check_size_ = 13;
  bool hex_ = false;
  // The selected node. The list's own selection stays empty: in virtual
  // mode it walks every row whenever it changes.
  changes::NodeId selected_ = changes::kNoNode;
  size_t hot_row_ = changes::TreeRows::kNoRow;  // the row under the mouse
  std::wstring text_buffer_;  // the text handed to the list until its next request
};

}  // namespace cvn::ui

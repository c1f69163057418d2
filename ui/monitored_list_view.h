// The list of monitored applications on the first page (lvCvnFiles): one row
// per changes archive in the program folder, sorted by the column whose
// header was clicked last, with a context menu (pmMonList) to delete or
// rename an archive. The sort and the column layout are kept in the
// registry across runs.
//
// The main window makes the list (report view, whole-row selection, the
// selection always shown, one item at a time) with its four columns and
// hands this its notifications and context-menu messages. The rows follow
// the model of changes/monitored_applications.h; the list holds them in the
// order they are shown. Main thread only.
#pragma once

#include "platform/win32/windows_api.h"

#include <commctrl.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "changes/monitored_applications.h"
#include "platform/filesystem.h"
#include "platform/locale.h"
#include "platform/registry.h"

namespace cvn::ui {

// The context menu's items, by their command ids.
enum MonitoredMenuItem : int {
  kMonitoredMenuDelete = 1,
  kMonitoredMenuRename,
  kMonitoredMenuRestore,
};

class MonitoredListView {
 public:
  struct Controls {
    HWND owner;  // the window the menu and the dialogs belong to
    HWND list;   // lvCvnFiles, its four columns inserted
    // The translated caption of a menu item by its component name
    // ("pmiDelete"); empty or missing gives the English one.
    std::function<std::string(std::string_view)> menu_caption;
  };
  // Where the rows come from; everything given must outlive the view.
  struct Source {
    platform::FileSystem& fs;
    std::string program_folder;
    const changes::Clock& clock;
    const platform::DateTimeFormat& format;
  };

  // The sort and layout are kept in `registry`'s settings key.
  MonitoredListView(const Controls& controls, const Source& source, platform::Registry& registry);
  MonitoredListView(const MonitoredListView&) = delete;
  MonitoredListView& operator=(const MonitoredListView&) = delete;

  // Reads the program folder again and shows its archives.
  void Refresh();
  // Shows `applications` in the current sort; the first row has the focus
  // mark and nothing is selected.
  void Fill(std::vector<changes::MonitoredApplication> applications);
  // The rows in the order shown.
  const std::vector<changes::MonitoredApplication>& rows() const { return rows_; }

  changes::MonitoredSort sort() const { return sort_; }
  // Sorts the rows by `sort` and shows its arrow; the selection stays.
  void SetSort(changes::MonitoredSort sort);
  // A click on a column's header: sorts by it, and the other way round when
  // it is the column sorted by already.
  void SortByColumn(int column);
  // Shows the sort arrow in the header again (setting a column's caption
  // with its format clears it). The sorted column is widened when its
  // caption would not fit beside the arrow.
  void ShowSortArrow();

  // The selected application; empty when none is.
  std::optional<std::string> SelectedIdentifier() const;
  // Selects the row of `identifier` (letter case ignored, as file names
  // are) and scrolls it into view; false, with the selection as it was,
  // when no row has that name.
  bool Select(std::string_view identifier);
  // Removes the selected row and nothing else (for an archive found unusable).
  void RemoveSelected();
  // Asks, then deletes the selected archive and its row; says so when it
  // could not be deleted.
  void DeleteSelected();
  // Asks for a new name and renames the selected archive; the row keeps its
  // other columns and its place. Says so when the name was refused.
  void RenameSelected();

  // The sort, the columns' order and widths (at 96 DPI) as stored; what is
  // not stored or does not fit the columns is left as it is.
  void LoadState();
  // Stores them; false when the registry refused.
  bool SaveState() const;
  // The columns' widths follow a new DPI.
  void SetDpi(int dpi);
  // The name column takes the width the other columns leave (at least
  // `min_width` pixels).
  void FitNameColumn(int min_width);

  // Messages of the main window for the list; true when handled.
  bool OnNotify(const NMHDR& header, LRESULT* result);
  bool OnContextMenu(HWND window, POINT screen);
  // The menu as it would open now; the caller destroys it.
  HMENU MakeMenu() const;
  void RunMenuCommand(int id);

  // The selection changed (lvCvnFilesSelectItem).
  std::function<void()> on_selection_changed;
  // "Restore last uninstall": offered for an application that `can_restore`
  // says has an uninstall to put back; `on_restore` puts it back.
  std::function<bool(const std::string&)> can_restore;
  std::function<void(const std::string&)> on_restore;

 private:
  int ColumnCount() const;
  void FitSortedColumn();
  int SelectedRow() const;
  // Puts the rows into the list; the row of `selected` (when given) is
  // selected, the row `focused` has the focus mark.
  void ShowRows(const std::optional<std::string>& selected, int focused);
  void SelectionChanged();

  Controls controls_;
  Source source_;
  platform::Registry& registry_;
  std::vector<changes::MonitoredApplication> rows_;
  changes::MonitoredSort sort_;
  int dpi_;
  bool filling_ = false;  // the list's own notifications are not the user's
};

}  // namespace cvn::ui

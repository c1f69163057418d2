// The tree page of the main window: the changes tree with its buttons (Save,
// Print, Export, Expand all, Collapse all, text or hexadecimal data), its
// context menu and find. The main window makes the controls and hands this
// their notifications; the logic it does not draw lives in TreeCommands.
#pragma once

#include "platform/win32/windows_api.h"

#include <commctrl.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "changes/change_tree.h"
#include "changes/tree_commands.h"
#include "platform/filesystem.h"
#include "ui/app_context.h"
#include "ui/changes_tree_view.h"

namespace cvn::ui {

// The context menu's items, by their command ids.
enum TreeMenuItem : int {
  kMenuCheck = 1,
  kMenuUncheck,
  kMenuExpandAll,
  kMenuCollapseAll,
  kMenuRemoveBranch,
  kMenuOpen,
  kMenuView,
  kMenuProperties,
  kMenuAddToIgnore,
};

class TreePage {
 public:
  struct Controls {
    HWND owner;  // the main window
    HWND list;   // tvChanges: a report list view with LVS_OWNERDATA
    HWND save, print, export_, expand, collapse, text_mode, hex_mode;
    // The translated caption of a context-menu item by its component name
    // ("pmiCheck"); the language files address the items as components.
    std::function<std::string(std::string_view)> menu_caption;
  };

  TreePage(const Controls& controls, changes::ChangeTree& tree, AppContext& context,
           platform::FileSystem& fs);
  ~TreePage();

  // The monitored application, for Save, Export and Print.
  void SetIdentifier(std::string identifier) { identifier_ = std::move(identifier); }
  // Shows the tree as it is now (after a comparison or a load): the top and
  // both branch roots expanded, nothing to save.
  void ShowTree();
  // Shows no rows and disables Save, Print and Export: the tree is about to
  // be emptied and filled by a worker, and must not be read meanwhile.
  void Clear();
  // Saves the tree as the application's archive; false (reported) when it
  // could not be written.
  bool Save();
  bool edited() const { return commands_.edited(); }

  // Layout and looks.
  void SetDpi(int dpi);
  void SetColumns(int first_width, int second_width);
  int ColumnWidth(int column) const { return view_->ColumnWidth(column); }
  void FitLastColumn() { view_->FitLastColumn(); }
  // The rows' font from the settings in `charset` and the background picture
  // when the settings show it; the header in the bold form of `window_font`.
  void ApplyLook(uint8_t charset, HFONT window_font);
  // The buttons follow the settings' binary display mode.
  void CopySettingsToControls();

  // Messages of the main window for this page; true when handled.
  bool OnNotify(const NMHDR& header, LRESULT* result);
  bool OnContextMenu(HWND window, POINT screen);

  // Button clicks.
  void OnSaveClick();
  void OnPrintClick();
  void OnExportClick();
  void OnExpandAllClick();
  void OnCollapseAllClick();
  void OnHexClick();

  // The status line.
  std::function<void(std::string_view)> set_status;
  // Asks a yes-or-no question; by default in Corvane's message box.
  std::function<bool(std::string_view)> confirm;

  // For tests and tools: the view and the commands.
  ChangesTreeView& view() { return *view_; }
  changes::TreeCommands& commands() { return commands_; }
  // Runs a context-menu command.
  void RunMenuCommand(int id);
  // The menu as it would open now, made for the selected node; the caller
  // destroys it.
  HMENU MakeMenu();

 private:
  void RemoveSelectedBranch();
  void Find();
  void FindNext(bool forward);
  void OpenSelected(bool with_viewer);
  void ShowProperties();
  void AddSelectedToIgnoreList();
  void SetBranchCheck(bool checked);
  void Status(std::string_view text) const;
  std::string NowText() const;

  Controls controls_;
  changes::ChangeTree& tree_;
  AppContext& context_;
  platform::FileSystem& fs_;
  changes::TreeCommands commands_;
  std::unique_ptr<ChangesTreeView> view_;
  HFONT rows_font_ = nullptr;
  HFONT header_font_ = nullptr;
  uint8_t charset_ = DEFAULT_CHARSET;
  std::string identifier_;
  std::string find_text_;
};

}  // namespace cvn::ui

// The list of monitored applications on a real list view with three archives
// (one damaged) in memory: the rows and their order, header clicks with the
// sort arrow, the sort and layout kept in the registry, rename and delete
// through their dialogs, driven from inside the modal loops.
#include "platform/win32/windows_api.h"

#include <commctrl.h>

#include <optional>

#include "changes/changes_archive.h"
#include "platform/win32/wide_text.h"
#include "settings/settings.h"
#include "tests/support/fixed_clock.h"
#include "tests/ui/ui_test_util.h"
#include "ui/input_text_dialog.h"
#include "ui/message_box.h"
#include "ui/monitored_list_view.h"

namespace cvn::ui {
namespace {

using testing::DialogDriver;
using testing::DialogStep;
using testing::WindowTextOf;
using Texts = std::vector<std::wstring>;

const std::string kFolder = "C:\\Cvn";
const std::string kSortKey = "Software\\Helmwick\\Corvane\\Sort";
const std::string kColumnsKey = "Software\\Helmwick\\Corvane\\Columns";
const platform::PatternDateTimeFormat kDates({":", "/"});
constexpr int kWidths[] = {200, 150, 150, 50};
const wchar_t* const kCaptions[] = {L"Name", L"Created", L"Last used", L"Uses"};

// The window the lists sit in hands their notifications to the view under test.
MonitoredListView* g_view = nullptr;

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  LRESULT result = 0;
  if (message == WM_NOTIFY && g_view != nullptr &&
      g_view->OnNotify(*reinterpret_cast<const NMHDR*>(lparam), &result))
    return result;
  return DefWindowProcW(window, message, wparam, lparam);
}

// The text of a message box.
std::wstring MessageText(HWND box) {
  for (HWND child : testing::DescendantsOfClass(box, L"Static")) {
    if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) return WindowTextOf(child);
  }
  return {};
}

DialogStep Click(const wchar_t* button) {
  return [button](HWND box) {
    const HWND found = testing::FindDescendant(box, L"Button", button);
    ASSERT_NE(found, nullptr) << "no button " << platform::win32::ToUtf8(button);
    PostMessageW(found, BM_CLICK, 0, 0);
  };
}

DialogStep Answer(const wchar_t* text) {
  return [text](HWND box) {
    testing::TypeText(box, text);  // over the selected old name
    testing::PressKey(box, VK_RETURN);
  };
}

class MonitoredListViewTest : public testing::WindowTest {
 protected:
  void SetUp() override {
    InstallTranslator();
    ASSERT_TRUE(fs_.CreateFolders(kFolder).ok());
    AddArchive("Gamma", changes::MakeDateTime(2024, 1, 3, 9, 0, 0), 2);
    AddArchive("alpha", changes::MakeDateTime(2024, 1, 5), 0);
    ASSERT_TRUE(fs_.AddFile(kFolder + "\\Broken.cvn", "\nC V N").ok());
    WNDCLASSW host_class = {};
    host_class.lpfnWndProc = HostProc;
    host_class.hInstance = GetModuleHandleW(nullptr);
    host_class.lpszClassName = L"CvnMonitoredListTestHost";
    RegisterClassW(&host_class);  // fails harmlessly when a test before registered it
    host_ = CreateWindowExW(0, host_class.lpszClassName, L"", WS_OVERLAPPEDWINDOW, 0, 0, 640, 300,
                            nullptr, nullptr, host_class.hInstance, nullptr);
    ASSERT_NE(host_, nullptr);
    list_ = MakeList();
    view_ = MakeView(list_);
    view_->on_selection_changed = [this] { ++selection_changes_; };
    g_view = view_.get();
  }
  void TearDown() override {
    g_view = nullptr;
    view_.reset();
    DestroyWindow(host_);
    WindowTest::TearDown();
  }

  // The archive "<name>.cvn", created then, used `uses` times a month later.
  void AddArchive(const std::string& name, double created, int uses) {
    cvn::test::FixedClock clock(created);
    changes::ChangesArchive archive(fs_, kFolder + "\\" + name, clock);
    archive.CreateHeader();
    archive.SaveFile();
    clock.Set(changes::MakeDateTime(2024, 2, 1, 10, 0, 0));
    for (int use = 0; use < uses; ++use) archive.UpdateUsage();
  }
  // A list as the main window makes lvCvnFiles, with its four columns.
  HWND MakeList() {
    const HWND list =
        CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                        WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS, 8,
                        8, 600, 200, host_, nullptr, GetModuleHandleW(nullptr), nullptr);
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT);
    for (int column = 0; column < 4; ++column) {
      LVCOLUMNW design = {};
      design.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
      design.fmt = column == 0 ? LVCFMT_LEFT : LVCFMT_CENTER;
      design.cx = kWidths[column];
      design.pszText = const_cast<wchar_t*>(kCaptions[column]);
      ListView_InsertColumn(list, column, &design);
    }
    return list;
  }
  std::unique_ptr<MonitoredListView> MakeView(HWND list) {
    return std::make_unique<MonitoredListView>(
        MonitoredListView::Controls{host_, list,
                                    [](std::string_view name) {
                                      return name == "pmiDelete" ? "&L\303\266schen"
                                                                 : std::string();
                                    }},
        MonitoredListView::Source{fs_, kFolder, clock_, kDates}, registry_);
  }

  Texts Row(int row) {
    Texts texts;
    for (int column = 0; column < 4; ++column) {
      wchar_t text[128] = {};
      ListView_GetItemText(list_, row, column, text, 128);
      texts.push_back(text);
    }
    return texts;
  }
  Texts Names() {
    Texts names;
    for (int row = 0; row < ListView_GetItemCount(list_); ++row) names.push_back(Row(row)[0]);
    return names;
  }
  void Select(int row) { ListView_SetItemState(list_, row, LVIS_SELECTED, LVIS_SELECTED); }
  int Selected() { return ListView_GetNextItem(list_, -1, LVNI_SELECTED); }
  // A click in the middle of a column's header, as the mouse makes it.
  void ClickHeader(int column) {
    const HWND header = ListView_GetHeader(list_);
    RECT bounds = {};
    Header_GetItemRect(header, column, &bounds);
    const LPARAM at =
        MAKELPARAM((bounds.left + bounds.right) / 2, (bounds.top + bounds.bottom) / 2);
    SendMessageW(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(header, WM_LBUTTONUP, 0, at);
  }
  // The sort arrows of the header, column by column.
  std::vector<int> Arrows(HWND list) {
    std::vector<int> arrows;
    for (int column = 0; column < 4; ++column) {
      HDITEMW item = {};
      item.mask = HDI_FORMAT;
      Header_GetItem(ListView_GetHeader(list), column, &item);
      arrows.push_back(item.fmt & (HDF_SORTUP | HDF_SORTDOWN));
    }
    return arrows;
  }
  std::vector<int> Order(HWND list) {
    std::vector<int> order(4);
    ListView_GetColumnOrderArray(list, 4, order.data());
    return order;
  }
  // The menu's items as "caption" or "caption (grey)".
  std::vector<std::string> Menu() {
    HMENU menu = view_->MakeMenu();
    std::vector<std::string> items;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
      wchar_t text[64] = {};
      GetMenuStringW(menu, i, text, 64, MF_BYPOSITION);
      if (text[0] == 0) continue;  // a separator
      items.push_back(platform::win32::ToUtf8(text) +
                      (GetMenuState(menu, i, MF_BYPOSITION) & MF_GRAYED ? " (grey)" : ""));
    }
    DestroyMenu(menu);
    return items;
  }

  cvn::test::FixedClock clock_;
  HWND host_ = nullptr;
  HWND list_ = nullptr;
  std::unique_ptr<MonitoredListView> view_;
  int selection_changes_ = 0;
};

const Texts kAlpha = {L"alpha", L"05/01/2024", L"", L"0"};
const Texts kBroken = {L"Broken", L"damaged", L"", L""};
const Texts kGamma = {L"Gamma", L"03/01/2024 09:00:00", L"01/02/2024 10:00:00", L"2"};

TEST_F(MonitoredListViewTest, RowsComeInNameOrderAndAHeaderClickSortsByItsColumnThenReverses) {
  view_->Refresh();
  EXPECT_EQ(Row(0), kAlpha);
  EXPECT_EQ(Row(1), kBroken);
  EXPECT_EQ(Row(2), kGamma);
  EXPECT_EQ(ListView_GetNextItem(list_, -1, LVNI_FOCUSED), 0);
  EXPECT_EQ(Selected(), -1);
  EXPECT_EQ(Arrows(list_), (std::vector<int>{HDF_SORTUP, 0, 0, 0}));

  Select(2);
  EXPECT_EQ(selection_changes_, 1);
  ClickHeader(1);
  EXPECT_EQ(Names(), (Texts{L"Broken", L"Gamma", L"alpha"}));
  EXPECT_EQ(Arrows(list_), (std::vector<int>{0, HDF_SORTUP, 0, 0}));
  ClickHeader(1);
  EXPECT_EQ(Names(), (Texts{L"alpha", L"Gamma", L"Broken"}));
  EXPECT_EQ(Arrows(list_), (std::vector<int>{0, HDF_SORTDOWN, 0, 0}));
  // Equal uses keep the order they had.
  ClickHeader(3);
  EXPECT_EQ(Names(), (Texts{L"alpha", L"Broken", L"Gamma"}));
  EXPECT_GT(ListView_GetColumnWidth(list_, 3), kWidths[3]) << "\"Uses\" and the arrow fit";
  EXPECT_EQ(ListView_GetColumnWidth(list_, 1), kWidths[1]);
  EXPECT_EQ(view_->SelectedIdentifier(), "Gamma");
  EXPECT_EQ(Selected(), 2);
  EXPECT_EQ(selection_changes_, 1) << "sorting keeps the selection";
  // A new fill keeps the sort and drops the selection.
  view_->Refresh();
  EXPECT_EQ(Names(), (Texts{L"alpha", L"Broken", L"Gamma"}));
  EXPECT_EQ(view_->SelectedIdentifier(), std::nullopt);
  EXPECT_EQ(selection_changes_, 2);
  // A name given elsewhere (a dropped file) selects its row.
  EXPECT_FALSE(view_->Select("Delta"));
  EXPECT_TRUE(view_->Select("GAMMA"));
  EXPECT_EQ(Selected(), 2);
  EXPECT_EQ(selection_changes_, 3);
}

TEST_F(MonitoredListViewTest, SortAndColumnLayoutAreStoredAndLoadedAgain) {
  ASSERT_EQ(WindowDpi(list_), kDesignDpi) << "the widths below are those of 96 DPI";
  view_->Refresh();
  ClickHeader(2);
  ClickHeader(2);
  int order[] = {2, 0, 1, 3};
  ListView_SetColumnOrderArray(list_, 4, order);
  ListView_SetColumnWidth(list_, 1, 120);
  ASSERT_TRUE(view_->SaveState());
  EXPECT_EQ(StoredDword(kSortKey, "SortCol"), 2u);
  EXPECT_EQ(StoredDword(kSortKey, "Ascending"), 0u);
  EXPECT_EQ(settings::LoadListColumns(registry_),
            (settings::ListColumns{{2, 0, 1, 3}, {200, 120, 150, 50}}));

  const HWND again = MakeList();
  std::unique_ptr<MonitoredListView> loaded = MakeView(again);
  loaded->LoadState();
  loaded->Refresh();
  EXPECT_EQ(loaded->sort(), (changes::MonitoredSort{2, false}));
  EXPECT_EQ(Arrows(again), (std::vector<int>{0, 0, HDF_SORTDOWN, 0}));
  EXPECT_EQ(Order(again), (std::vector<int>{2, 0, 1, 3}));
  EXPECT_EQ(ListView_GetColumnWidth(again, 1), 120);
  EXPECT_EQ(loaded->rows().front().identifier, "Gamma");

  // Values that do not fit the columns leave them as they are.
  Store(kSortKey, "SortCol", 9);
  Store(kColumnsKey, "Order", "0,0,1,2");
  Store(kColumnsKey, "Sizes", "1,2,x,4");
  const HWND damaged = MakeList();
  std::unique_ptr<MonitoredListView> refused = MakeView(damaged);
  refused->LoadState();
  EXPECT_EQ(refused->sort(), changes::MonitoredSort{});
  EXPECT_EQ(Order(damaged), (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(ListView_GetColumnWidth(damaged, 2), kWidths[2]);
}

TEST_F(MonitoredListViewTest, RenameKeepsTheRowAndRefusesTheNameOfAnotherArchive) {
  view_->Refresh();
  Select(2);
  {
    DialogDriver driver(InputTextDialog::kClassName, {Answer(L"Aardvark")});
    view_->RunMenuCommand(kMonitoredMenuRename);
    EXPECT_TRUE(driver.finished());
  }
  EXPECT_EQ(Names(), (Texts{L"alpha", L"Broken", L"Aardvark"})) << "the row stays in its place";
  EXPECT_EQ(Row(2), (Texts{L"Aardvark", kGamma[1], kGamma[2], kGamma[3]}));
  EXPECT_TRUE(fs_.Exists(kFolder + "\\Aardvark.cvn"));
  EXPECT_FALSE(fs_.Exists(kFolder + "\\Gamma.cvn"));

  // The error box comes once the input has closed: a second driver waits for it.
  std::optional<DialogDriver> error_box;
  std::wstring error;
  {
    DialogDriver driver(InputTextDialog::kClassName, {[&](HWND box) {
                          Answer(L"ALPHA")(box);
                          error_box.emplace(kMessageFormClassName,
                                            std::vector<DialogStep>{[&](HWND message) {
                                              error = MessageText(message);
                                              Click(L"OK")(message);
                                            }});
                        }});
    view_->RenameSelected();
  }
  ASSERT_TRUE(error_box);
  EXPECT_TRUE(error_box->finished());
  EXPECT_EQ(error, L"Rename failed !");
  EXPECT_EQ(Names(), (Texts{L"alpha", L"Broken", L"Aardvark"}));
  EXPECT_TRUE(fs_.Exists(kFolder + "\\Aardvark.cvn"));
}

TEST_F(MonitoredListViewTest, DeleteAsksFirstAndRemovesTheArchiveOnlyOnYes) {
  view_->Refresh();
  EXPECT_EQ(Menu(), (std::vector<std::string>{"&L\303\266schen\tDel (grey)", "Rena&me (grey)",
                                              "Restore &last uninstall (grey)"}));
  Select(2);
  EXPECT_EQ(Menu(), (std::vector<std::string>{"&L\303\266schen\tDel", "Rena&me",
                                              "Restore &last uninstall (grey)"}));
  // "Restore last uninstall" for an application with an uninstall to put back.
  std::string restored;
  view_->can_restore = [](const std::string& id) { return id == "Gamma"; };
  view_->on_restore = [&](const std::string& id) { restored = id; };
  EXPECT_EQ(Menu().back(), "Restore &last uninstall");
  view_->RunMenuCommand(kMonitoredMenuRestore);
  EXPECT_EQ(restored, "Gamma");

  // The Del key asks too; No keeps everything.
  std::wstring question;
  {
    DialogDriver driver(kMessageFormClassName, {[&](HWND box) {
                          question = MessageText(box);
                          Click(L"No")(box);
                        }});
    SendMessageW(list_, WM_KEYDOWN, VK_DELETE, 0);
    EXPECT_TRUE(driver.finished());
  }
  EXPECT_EQ(question,
            L"You will not be able to restore the changes made by selected application.\n"
            L"Are you sure you want to continue ?");
  EXPECT_EQ(Names(), (Texts{L"alpha", L"Broken", L"Gamma"}));
  EXPECT_TRUE(fs_.Exists(kFolder + "\\Gamma.cvn"));

  const int changes_before = selection_changes_;
  {
    DialogDriver driver(kMessageFormClassName, {Click(L"Yes")});
    view_->RunMenuCommand(kMonitoredMenuDelete);
    EXPECT_TRUE(driver.finished());
  }
  EXPECT_EQ(Names(), (Texts{L"alpha", L"Broken"}));
  EXPECT_FALSE(fs_.Exists(kFolder + "\\Gamma.cvn"));
  EXPECT_EQ(view_->SelectedIdentifier(), std::nullopt);
  EXPECT_EQ(selection_changes_, changes_before + 1);

  // An archive in use stays, and so does its row.
  fs_.LockFile(kFolder + "\\alpha.cvn");
  Select(0);
  std::wstring error;
  {
    DialogDriver driver(kMessageFormClassName, {Click(L"Yes"), [&](HWND box) {
                                                  error = MessageText(box);
                                                  Click(L"OK")(box);
                                                }});
    view_->DeleteSelected();
    EXPECT_TRUE(driver.finished());
  }
  EXPECT_EQ(error, L"Delete failed !");
  EXPECT_EQ(Names(), (Texts{L"alpha", L"Broken"}));
}

}  // namespace
}  // namespace cvn::ui

// The tree page on the real list control, driven by messages as a user's
// keys and clicks arrive: Space and the arrows, the context menu's items by
// node and the right click that selects, Remove branch and Save, Add to
// ignore list.
#include <windowsx.h>

#include <functional>
#include <numeric>
#include <vector>

#include "changes/change_tree.h"
#include "platform/win32/wide_text.h"
#include "tests/support/platform_win32_sandbox.h"
#include "tests/ui/ui_test_util.h"
#include "ui/main_window.h"

namespace cvn::ui {
namespace {

using changes::NodeId;
using changes::NodeKind;

class TreePageTest : public testing::WindowTest {
 protected:
  void SetUp() override {
    StartMain(true);
    changes::ChangeTree& tree = Tree();
    tree.SetUninstallMode(true);
    tree.Reset();
    // A created folder with a file that is on disk now and one that is gone.
    ASSERT_TRUE(CreateDirectoryW(test::AsciiToWide(app_).c_str(), nullptr) ||
                GetLastError() == ERROR_ALREADY_EXISTS);
    HANDLE file = CreateFileW(test::AsciiToWide(app_ + "\\app.exe").c_str(), GENERIC_WRITE, 0,
                              nullptr, CREATE_ALWAYS, 0, nullptr);
    CloseHandle(file);
    Add(box_.folder, "App", NodeKind::kFolderAdded, box_.folder);
    Add(app_, "app.exe", NodeKind::kFileAdded, app_);
    Add(app_, "gone.txt", NodeKind::kFileAdded, app_);
    Add("HKEY_CURRENT_USER\\Software", "Quill", NodeKind::kKeyAdded, {}, 0x80000001);
    Add("HKEY_CURRENT_USER\\Software\\Quill", "Theme", NodeKind::kValueAdded, {}, 0x80000001);
    window_->ShowChangesTree("App");
    Page().OnExpandAllClick();
  }

  void Add(std::string_view path, std::string_view name, NodeKind kind,
           std::string_view record_path, uint32_t root_key = 0) {
    changes::ChangeRecord record;
    record.kind = kind;
    record.root_key = root_key;
    record.path = record_path;
    Tree().AddToTree(path, name, record);
  }
  changes::ChangeTree& Tree() { return window_->changes_tree(); }
  TreePage& Page() { return window_->tree_page(); }
  HWND List() { return Control("tvChanges"); }
  // The row of the first node named `name`.
  size_t Row(std::string_view name) {
    changes::TreeRows& rows = Page().commands().rows();
    for (size_t row = 0; row < rows.Count(); ++row)
      if (Tree().Data(rows.At(row)).name == name) return row;
    ADD_FAILURE() << name << " is not shown";
    return 0;
  }
  NodeId Node(std::string_view name) { return Page().commands().rows().At(Row(name)); }
  void Key(WORD key) {
    SendMessageW(List(), WM_KEYDOWN, key, 0);
    SendMessageW(List(), WM_KEYUP, key, 0);
  }
  // The menu's items as "caption" or "caption (grey)", in order.
  std::vector<std::string> MenuFor(std::string_view name) {
    Page().view().SelectRow(Row(name));
    HMENU menu = Page().MakeMenu();
    std::vector<std::string> items;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
      wchar_t text[64] = {};
      GetMenuStringW(menu, i, text, 64, MF_BYPOSITION);
      if (text[0] == 0) continue;  // a separator
      std::string item = platform::win32::ToUtf8(text);
      item = item.substr(0, item.find('\t'));
      std::erase(item, '&');
      if (GetMenuState(menu, i, MF_BYPOSITION) & MF_GRAYED) item += " (grey)";
      items.push_back(item);
    }
    DestroyMenu(menu);
    return items;
  }

  test::Win32Sandbox box_;
  const std::string app_ = box_.folder + "\\App";
};

TEST_F(TreePageTest, SpaceTogglesTheCheckBoxAndLeftAndRightCollapseAndExpand) {
  Page().view().SelectRow(Row("Theme"));
  const NodeId theme = Node("Theme");
  ASSERT_TRUE(Tree().HasCheckBox(theme));
  const bool checked = Tree().IsChecked(theme);
  Key(VK_SPACE);
  EXPECT_NE(Tree().IsChecked(theme), checked);

  const size_t rows = Page().commands().rows().Count();
  Page().view().SelectRow(Row("App"));
  Key(VK_LEFT);
  EXPECT_EQ(Page().commands().rows().Count(), rows - 2);
  EXPECT_EQ(Page().view().Selected(), Node("App"));
  Key(VK_RIGHT);
  EXPECT_EQ(Page().commands().rows().Count(), rows);
  EXPECT_EQ(ListView_GetItemCount(List()), static_cast<int>(rows));
}

TEST_F(TreePageTest, TheMenuFollowsTheNodeAndARightClickSelectsTheRowUnderTheMouse) {
  using Items = std::vector<std::string>;
  EXPECT_EQ(MenuFor("app.exe"),
            (Items{"Check branch", "Uncheck branch", "Expand all", "Collapse all", "Remove branch",
                   "Open", "View", "Properties", "Add to ignore list"}));
  EXPECT_EQ(MenuFor("gone.txt"),
            (Items{"Check branch", "Uncheck branch", "Expand all", "Collapse all", "Remove branch",
                   "Open (grey)", "View (grey)", "Properties (grey)", "Add to ignore list"}));
  EXPECT_EQ(MenuFor("Theme"),
            (Items{"Check branch", "Uncheck branch", "Expand all", "Collapse all", "Remove branch",
                   "Open (grey)", "View (grey)", "Properties (grey)"}));
  EXPECT_EQ(MenuFor("Registry")[4], "Remove branch (grey)");

  // A right click selects the row and opens the menu; a timer closes it.
  RECT row = {};
  ListView_GetItemRect(List(), static_cast<int>(Row("gone.txt")), &row, LVIR_LABEL);
  const POINT point = {row.left + 4, (row.top + row.bottom) / 2};
  static bool menu_seen;
  menu_seen = false;
  SetTimer(nullptr, 0, 100, [](HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    menu_seen = FindWindowW(L"#32768", nullptr) != nullptr;
    EndMenu();
  });
  SendMessageW(List(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(point.x, point.y));
  SendMessageW(List(), WM_RBUTTONUP, 0, MAKELPARAM(point.x, point.y));
  EXPECT_TRUE(menu_seen);
  EXPECT_EQ(Page().view().Selected(), Node("gone.txt"));
}

// The menu key and Shift+F10 open the context menu below the selected row.
TEST_F(TreePageTest, TheMenuKeyAndShiftF10OpenTheContextMenu) {
  static bool menu_seen;
  for (const bool shift_f10 : {false, true}) {
    menu_seen = false;
    Page().view().SelectRow(Row("Theme"));
    SetTimer(nullptr, 0, 100, [](HWND, UINT, UINT_PTR id, DWORD) {
      KillTimer(nullptr, id);
      menu_seen = FindWindowW(L"#32768", nullptr) != nullptr;
      EndMenu();
    });
    SetFocus(List());
    if (shift_f10) {
      BYTE keys[256] = {};
      GetKeyboardState(keys);
      keys[VK_SHIFT] = 0x80;
      SetKeyboardState(keys);
      SendMessageW(List(), WM_SYSKEYDOWN, VK_F10, 0);
      SendMessageW(List(), WM_SYSKEYUP, VK_F10, 0);
      keys[VK_SHIFT] = 0;
      SetKeyboardState(keys);
    } else {
      SendMessageW(List(), WM_KEYDOWN, VK_APPS, 0);
      SendMessageW(List(), WM_KEYUP, VK_APPS, 0);
    }
    EXPECT_TRUE(menu_seen) << (shift_f10 ? "Shift+F10" : "the menu key");
    EXPECT_EQ(Page().view().Selected(), Node("Theme"));
  }
}

TEST_F(TreePageTest, RemoveBranchAsksFirstAndThenEnablesSave) {
  HWND save = Control("btnSave");
  EXPECT_FALSE(IsWindowEnabled(save));
  Page().view().SelectRow(Row("App"));
  std::vector<std::string> questions;
  bool answer = false;
  Page().confirm = [&](std::string_view question) {
    questions.emplace_back(question);
    return answer;
  };
  const size_t rows = Page().commands().rows().Count();
  Page().RunMenuCommand(kMenuRemoveBranch);
  EXPECT_EQ(questions, std::vector<std::string>{"Remove the selected branch ?"});
  EXPECT_EQ(Page().commands().rows().Count(), rows);
  EXPECT_FALSE(IsWindowEnabled(save));
  answer = true;
  Key(VK_DELETE);
  EXPECT_EQ(Page().commands().rows().Count(), rows - 3);
  EXPECT_EQ(ListView_GetItemCount(List()), static_cast<int>(rows - 3));
  EXPECT_TRUE(IsWindowEnabled(save));
}

TEST_F(TreePageTest, AddToIgnoreListPutsEachKindInItsList) {
  for (const char* name : {"app.exe", "Quill"}) {
    Page().view().SelectRow(Row(name));
    Page().RunMenuCommand(kMenuAddToIgnore);
  }
  const settings::Settings& settings = context_.settings;
  EXPECT_TRUE(settings.ignored_files.Contains(app_ + "\\app.exe"));
  EXPECT_TRUE(settings.ignored_keys.Contains("HKEY_CURRENT_USER\\Software\\Quill"));
  EXPECT_FALSE(settings.excluded_folders.Contains(app_));
}

// Names no installation should have, and a key with 100,000 values: the
// page paints them, finds in them and gives their tips without hanging.
TEST_F(TreePageTest, OddNamesAndHugeKeysArePaintedAndSearched) {
  const std::string long_name(32000, 'n');
  Add("HKEY_CURRENT_USER\\Software\\Quill", long_name + "end", NodeKind::kValueAdded, {},
      0x80000001);
  Add("HKEY_CURRENT_USER\\Software\\Quill", "tab\there\nnewline\x01", NodeKind::kValueAdded, {},
      0x80000001);
  Add("HKEY_CURRENT_USER\\Software\\Quill", "lone \xED\xA0\x80 surrogate \xFF",
      NodeKind::kValueAdded, {}, 0x80000001);
  for (int i = 0; i < 100000; ++i)
    Add("HKEY_CURRENT_USER\\Software\\Many", "v" + std::to_string(i), NodeKind::kValueAdded, {},
        0x80000001);
  Page().ShowTree();
  Page().OnExpandAllClick();
  EXPECT_EQ(Page().commands().rows().Count(), Tree().NodeCount());
  for (size_t row : {Row(long_name + "end"), Row("tab\there\nnewline\x01"),
                     Page().commands().rows().Count() - 1}) {
    Page().view().SelectRow(row);
    UpdateWindow(List());
    NMLVGETINFOTIPW tip = {};
    wchar_t text[1024] = {};
    tip.hdr = {List(), 0, static_cast<UINT>(LVN_GETINFOTIPW)};
    tip.pszText = text;
    tip.cchTextMax = 1024;
    tip.iItem = static_cast<int>(row);
    LRESULT result = 0;
    EXPECT_TRUE(Page().OnNotify(tip.hdr, &result));
    EXPECT_LT(wcslen(text), 1024u);
  }
  Page().view().SelectRow(0);
  const size_t found = Page().commands().Find("nend", changes::kNoNode, true);
  ASSERT_NE(found, changes::TreeRows::kNoRow);
  EXPECT_EQ(Tree().Data(Page().commands().rows().At(found)).name, long_name + "end");
}

// The background picture lies behind the rows in the lower right corner
// when the settings show it, and is gone when they do not.
TEST_F(TreePageTest, TheBackgroundPictureFollowsTheSetting) {
  for (int i = 0; i < 200; ++i)
    Add("HKEY_CURRENT_USER\\Software\\Many", "v" + std::to_string(i), NodeKind::kValueAdded,
        {}, 0x80000001);
  Page().ShowTree();
  Page().OnExpandAllClick();
  // The pixels of the list's lower right quarter, as the list paints them.
  const auto corner = [this] {
    RECT client;
    GetClientRect(List(), &client);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
    HGDIOBJ old = SelectObject(dc, bitmap);
    SendMessageW(List(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc),
                 PRF_CLIENT | PRF_ERASEBKGND);
    std::vector<COLORREF> pixels;
    for (int y = client.bottom / 2; y < client.bottom; ++y)
      for (int x = client.right / 2; x < client.right; ++x) pixels.push_back(GetPixel(dc, x, y));
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return pixels;
  };
  const auto apply = [this](bool show) {
    context_.settings.show_background = show;
    Page().ApplyLook(DEFAULT_CHARSET, nullptr);
  };
  apply(false);
  const std::vector<COLORREF> plain = corner();
  apply(true);
  const std::vector<COLORREF> pictured = corner();
  ASSERT_EQ(pictured.size(), plain.size());
  const auto changed = std::inner_product(plain.begin(), plain.end(), pictured.begin(), size_t{0},
                                          std::plus<>(), std::not_equal_to<>());
  EXPECT_GT(changed, plain.size() / 20) << "the picture shows";
  apply(false);
  EXPECT_EQ(corner(), plain);
}

}  // namespace
}  // namespace cvn::ui

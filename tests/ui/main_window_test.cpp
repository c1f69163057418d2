// The main window in this process, on the real controls, with its settings in
// an in-memory registry: its components and texts, the page switch, the
// start-up state, the size limit, and the settings and placement it reads at
// start and writes at close.
#include "ui/main_window.h"

#include "platform/win32/windows_api.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/memory/memory_registry.h"
#include "settings/settings.h"
#include "tests/ui/dialog_driver.h"
#include "tests/ui/ui_test_util.h"
#include "ui/about_dialog.h"
#include "ui/single_instance.h"
#include "ui/utf16.h"

namespace cvn::ui {
namespace {

using platform::KeyAccess;
using platform::RegKey;
using platform::RootKey;
using testing::ClassNameOf;
using testing::PumpMessagesUntil;
using testing::WindowTextOf;

const std::string kPlacementKey = std::string(settings::kSettingsKey) + "\\CvnMain";

class MainWindowTest : public ::testing::Test {
 protected:
  void TearDown() override {
    window_.reset();
    PumpMessagesUntil([] { return true; });  // leaves no message for the next test
  }

  void CreateMain() {
    window_ = std::make_unique<TfrmCvnMain>(context_, registry_);
    ASSERT_TRUE(window_->Create());
  }

  void CreateAndShowMain() {
    ASSERT_NO_FATAL_FAILURE(CreateMain());
    window_->Show(SW_SHOWNORMAL);
  }

  // The window of the component `name`; null (and a failure) when missing.
  HWND Control(std::string_view name) {
    const Component* component = window_->FindComponent(name);
    if (component == nullptr) {
      ADD_FAILURE() << "no component " << name;
      return nullptr;
    }
    return component->hwnd();
  }

  bool Checked(std::string_view name) {
    return SendMessageW(Control(name), BM_GETCHECK, 0, 0) == BST_CHECKED;
  }

  void StoreDword(const std::string& key_path, std::string_view name, uint32_t value) {
    std::unique_ptr<RegKey> key;
    ASSERT_TRUE(
        registry_.CreateKey(RootKey::kCurrentUser, key_path, KeyAccess::kReadWrite, &key).ok());
    ASSERT_TRUE(platform::SetDword(registry_, *key, name, value).ok());
  }

  void StoreString(const std::string& key_path, std::string_view name, std::string_view text) {
    std::unique_ptr<RegKey> key;
    ASSERT_TRUE(
        registry_.CreateKey(RootKey::kCurrentUser, key_path, KeyAccess::kReadWrite, &key).ok());
    ASSERT_TRUE(platform::SetString(registry_, *key, name, text).ok());
  }

  std::optional<platform::RegValue> Stored(const std::string& key_path, std::string_view name) {
    std::unique_ptr<RegKey> key;
    platform::RegValue value;
    if (!registry_.OpenKey(RootKey::kCurrentUser, key_path, KeyAccess::kRead, &key).ok() ||
        !registry_.QueryValue(*key, name, &value).ok()) {
      return std::nullopt;
    }
    return value;
  }

  std::optional<uint32_t> StoredDword(const std::string& key_path, std::string_view name) {
    const auto value = Stored(key_path, name);
    if (!value || value->type != platform::regtype::kDword || value->data.size() != 4) {
      return std::nullopt;
    }
    return value->data[0] | value->data[1] << 8 | value->data[2] << 16 | value->data[3] << 24;
  }

  RECT WindowBounds() const {
    RECT bounds = {};
    GetWindowRect(window_->hwnd(), &bounds);
    return bounds;
  }

  int Scaled(int value) const { return ScaleForDpi(value, window_->dpi()); }

  platform::MemoryRegistry registry_;
  AppContext context_;
  std::unique_ptr<TfrmCvnMain> window_;
};

struct ExpectedText {
  const char* component;
  const char* property;
  const char* text;
};

constexpr ExpectedText kDesignedTexts[] = {
    {"rbInstall", "Caption", "&Install a new application"},
    {"lblInstallInfo", "Caption",
     "Monitor the installation of this application. Afterwards it is possible to restore any "
     "changes detected if needed."},
    {"edIdentif", "Text", ""},
    {"rbUninstall", "Caption", "&Uninstall or view changes of a monitored application"},
    {"lblChooseApp", "Caption", "Choose the name of the application"},
    {"btnOptions", "Caption", "&Options"},
    {"HKCR", "Caption", "HKEY_CLASSES_ROOT category"},
    {"HKLM", "Caption", "HKEY_LOCAL_MACHINE category"},
    {"HKUS", "Caption", "HKEY_USERS category"},
    {"HKCU", "Caption", "HKEY_CURRENT_USER category"},
    {"HKCC", "Caption", "HKEY_CURRENT_CONFIG category"},
    {"SWin", "Caption", "Scan '&Windows' folder"},
    {"SProg", "Caption", "Scan '&Program Files' folder"},
    {"SRest", "Caption", "Scan the &entire system partition"},
    {"cbOthers", "Caption", "&Other folders (separated by semicolon)"},
    {"lblRegTargets", "Caption",
     "To detect the registry changes it is necessary to scan the system registry before the "
     "application is installed. The following registry categories will be scanned:"},
    {"lblFsTargets", "Caption",
     "To detect the file system changes it is necessary to scan the content of the hard disk "
     "before the setup program is run. Targets to scan:"},
    {"lblWarning", "Caption", "Warning !"},
    {"lblWarningText", "Caption",
     "Don't copy, rename, move or run other applications before this program is finished. All "
     "these changes can be restored when the monitored application is uninstalled with this "
     "program."},
    {"lblProgress", "Caption", "Overall progress:"},
    {"btnBack", "Caption", "<<  B&ack"},
    {"btnNext", "Caption", "&Next  >>"},
    {"btnExit", "Caption", "E&xit"},
    {"btnAbout", "Caption", "About"},
};

TEST_F(MainWindowTest, EveryNamedComponentShowsItsDesignedText) {
  ASSERT_NO_FATAL_FAILURE(CreateMain());
  for (const ExpectedText& expected : kDesignedTexts) {
    SCOPED_TRACE(expected.component);
    const Component* component = window_->FindComponent(expected.component);
    ASSERT_NE(component, nullptr);
    ASSERT_TRUE(component->windowed());
    EXPECT_EQ(component->GetProperty(expected.property), expected.text);
    EXPECT_EQ(WindowTextOf(component->hwnd()), ToUtf16(expected.text));
  }
}

TEST_F(MainWindowTest, PanelsListStatusAndProgressExist) {
  ASSERT_NO_FATAL_FAILURE(CreateMain());
  for (const char* name : {"pnlOuter", "pnlMain", "pnlFirst", "pnlTargets", "pnlRun", "pnlTree",
                           "pnlLog", "lvCvnFiles", "lblStatus", "pbProgress", "edOthers"}) {
    SCOPED_TRACE(name);
    const Component* component = window_->FindComponent(name);
    ASSERT_NE(component, nullptr);
    EXPECT_TRUE(IsWindow(component->hwnd()));
  }
  EXPECT_EQ(ClassNameOf(Control("lvCvnFiles")), WC_LISTVIEWW);
  EXPECT_EQ(ClassNameOf(Control("pbProgress")), PROGRESS_CLASSW);
  // The pages lie in the main panel.
  for (const char* page : {"pnlFirst", "pnlTargets", "pnlRun", "pnlTree", "pnlLog"}) {
    EXPECT_EQ(GetParent(Control(page)), Control("pnlMain")) << page;
  }
}

TEST_F(MainWindowTest, WindowIsClassTfrmCvnMainCaptionedCorvane) {
  ASSERT_NO_FATAL_FAILURE(CreateMain());
  EXPECT_EQ(ClassNameOf(window_->hwnd()), L"TfrmCvnMain");
  EXPECT_EQ(WindowTextOf(window_->hwnd()), L"Corvane");
  EXPECT_EQ(window_->name(), "frmCvnMain");
}

TEST_F(MainWindowTest, WindowIs688By440ScaledForTheDpi) {
  ASSERT_NO_FATAL_FAILURE(CreateMain());
  const RECT bounds = WindowBounds();
  EXPECT_EQ(bounds.right - bounds.left, Scaled(688));
  EXPECT_EQ(bounds.bottom - bounds.top, Scaled(440));
}

TEST_F(MainWindowTest, ControlsUseTahoma8Point) {
  ASSERT_NO_FATAL_FAILURE(CreateMain());
  for (const char* name : {"btnNext", "rbInstall", "lblStatus", "lvCvnFiles", "HKCR"}) {
    SCOPED_TRACE(name);
    const auto font = reinterpret_cast<HFONT>(SendMessageW(Control(name), WM_GETFONT, 0, 0));
    ASSERT_NE(font, nullptr);
    LOGFONTW description = {};
    ASSERT_TRUE(GetObjectW(font, sizeof(description), &description));
    EXPECT_STREQ(description.lfFaceName, L"Tahoma");
    EXPECT_EQ(description.lfHeight, -MulDiv(8, window_->dpi(), 72));
  }
}

std::vector<std::string> VisiblePages(const TfrmCvnMain& window) {
  std::vector<std::string> visible;
  for (const char* page : {"pnlFirst", "pnlTargets", "pnlRun", "pnlTree", "pnlLog"}) {
    if (GetWindowLongW(window.FindComponent(page)->hwnd(), GWL_STYLE) & WS_VISIBLE) {
      visible.push_back(page);
    }
  }
  return visible;
}

TEST_F(MainWindowTest, StartsOnTheFirstPageAlone) {
  ASSERT_NO_FATAL_FAILURE(CreateMain());
  EXPECT_EQ(VisiblePages(*window_), std::vector<std::string>{"pnlFirst"});
}

TEST_F(MainWindowTest, ShowPageLeavesExactlyThatPageVisible) {
  ASSERT_NO_FATAL_FAILURE(CreateMain());
  for (const char* page : {"pnlTargets", "pnlRun", "pnlTree", "pnlLog", "pnlFirst"}) {
    window_->ShowPage(*window_->FindComponent(page));
    EXPECT_EQ(VisiblePages(*window_), std::vector<std::string>{page});
  }
}

TEST_F(MainWindowTest, BackAndNextStartDisabledAndNextIsTheDefaultButton) {
  ASSERT_NO_FATAL_FAILURE(CreateMain());
  EXPECT_FALSE(IsWindowEnabled(Control("btnBack")));
  EXPECT_FALSE(IsWindowEnabled(Control("btnNext")));
  EXPECT_TRUE(IsWindowEnabled(Control("btnExit")));
  EXPECT_TRUE(IsWindowEnabled(Control("btnAbout")));
  const LRESULT default_id = SendMessageW(window_->hwnd(), DM_GETDEFID, 0, 0);
  EXPECT_EQ(HIWORD(default_id), DC_HASDEFID);
  EXPECT_EQ(LOWORD(default_id), window_->FindComponent("btnNext")->id());
  EXPECT_TRUE(GetWindowLongW(Control("btnNext"), GWL_STYLE) & BS_DEFPUSHBUTTON);
}

TEST_F(MainWindowTest, FirstPageStartsWithInstallChosen) {
  ASSERT_NO_FATAL_FAILURE(CreateMain());
  EXPECT_TRUE(Checked("rbInstall"));
  EXPECT_FALSE(Checked("rbUninstall"));
  EXPECT_EQ(SendMessageW(Control("edIdentif"), EM_GETLIMITTEXT, 0, 0), 30);
  EXPECT_TRUE(IsWindowEnabled(Control("edIdentif")));
  EXPECT_FALSE(IsWindowEnabled(Control("lvCvnFiles")));
}

TEST_F(MainWindowTest, ChoosingUninstallClearsInstall) {
  // The two radio buttons are one group although the identifier edit lies
  // between them.
  ASSERT_NO_FATAL_FAILURE(CreateAndShowMain());
  SendMessageW(Control("rbUninstall"), BM_CLICK, 0, 0);
  EXPECT_TRUE(Checked("rbUninstall"));
  EXPECT_FALSE(Checked("rbInstall"));
  SendMessageW(Control("rbInstall"), BM_CLICK, 0, 0);
  EXPECT_TRUE(Checked("rbInstall"));
  EXPECT_FALSE(Checked("rbUninstall"));
}

// What the message loop does with a key pressed in `control`.
void PressKeyIn(HWND main_window, HWND control, WPARAM key) {
  MSG message = {control, WM_KEYDOWN, key, 0, 0, {0, 0}};
  if (!IsDialogMessageW(main_window, &message)) DispatchMessageW(&message);
}

TEST_F(MainWindowTest, TabMovesThroughTheControlsOfThePanels) {
  ASSERT_NO_FATAL_FAILURE(CreateAndShowMain());
  SetFocus(Control("rbInstall"));
  PressKeyIn(window_->hwnd(), GetFocus(), VK_TAB);
  EXPECT_EQ(GetFocus(), Control("edIdentif"));
  // Back and Next are disabled, so Tab goes from Options on the page to Exit below it.
  SetFocus(Control("btnOptions"));
  PressKeyIn(window_->hwnd(), GetFocus(), VK_TAB);
  EXPECT_EQ(GetFocus(), Control("btnExit"));
}

TEST_F(MainWindowTest, ListOfMonitoredApplicationsHasItsFourColumns) {
  ASSERT_NO_FATAL_FAILURE(CreateMain());
  const HWND list = Control("lvCvnFiles");
  EXPECT_EQ(GetWindowLongW(list, GWL_STYLE) & LVS_TYPEMASK, LVS_REPORT);
  const HWND header = ListView_GetHeader(list);
  ASSERT_EQ(Header_GetItemCount(header), 4);
  const wchar_t* expected[] = {L"Name", L"Created", L"Last used", L"Uses"};
  for (int index = 0; index < 4; ++index) {
    wchar_t text[64] = {};
    LVCOLUMNW column = {};
    column.mask = LVCF_TEXT;
    column.pszText = text;
    column.cchTextMax = 64;
    ASSERT_TRUE(ListView_GetColumn(list, index, &column));
    EXPECT_STREQ(text, expected[index]);
  }
  EXPECT_EQ(ListView_GetColumnWidth(list, 1), Scaled(150));
  EXPECT_EQ(ListView_GetColumnWidth(list, 2), Scaled(150));
}

TEST_F(MainWindowTest, WindowedControlsCarryTheirHelpContexts) {
  ASSERT_NO_FATAL_FAILURE(CreateMain());
  const std::pair<const char*, int> expected[] = {
      {"rbInstall", 19},  {"edIdentif", 20},  {"rbUninstall", 21}, {"btnOptions", 22},
      {"lvCvnFiles", 23}, {"pbProgress", 24}, {"btnBack", 25},     {"btnNext", 26},
      {"btnExit", 27},    {"HKCR", 35},       {"HKLM", 36},        {"HKUS", 37},
      {"HKCU", 38},       {"HKCC", 39},       {"SWin", 40},        {"SProg", 41},
      {"SRest", 42},      {"cbOthers", 43},   {"edOthers", 44},    {"pnlFirst", 46},
  };
  for (const auto& [name, context] : expected) {
    EXPECT_EQ(window_->FindComponent(name)->help_context(), context) << name;
  }
  // A graphic button: the topic is in its tag.
  EXPECT_EQ(window_->FindComponent("btnAbout")->tag(), 28);
  EXPECT_EQ(window_->FindComponent("btnAbout")->help_context(), 0);
  EXPECT_EQ(window_->FindComponent("lblStatus")->help_context(), 0);
}

MINMAXINFO AskMinMaxInfo(HWND hwnd) {
  MINMAXINFO info = {};
  info.ptMinTrackSize = {1, 1};
  SendMessageW(hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
  return info;
}

TEST_F(MainWindowTest, MinimumSizeHoldsOnlyOnceTheWindowIsShown) {
  ASSERT_NO_FATAL_FAILURE(CreateMain());
  const MINMAXINFO hidden = AskMinMaxInfo(window_->hwnd());
  EXPECT_EQ(hidden.ptMinTrackSize.x, 1);
  EXPECT_EQ(hidden.ptMinTrackSize.y, 1);

  window_->Show(SW_SHOWNORMAL);
  const MINMAXINFO shown = AskMinMaxInfo(window_->hwnd());
  const Size expected = MainWindowMinTrackSize(window_->dpi());
  EXPECT_EQ(shown.ptMinTrackSize.x, expected.width);
  EXPECT_EQ(shown.ptMinTrackSize.y, expected.height);
  if (window_->dpi() == 96) {
    EXPECT_EQ(shown.ptMinTrackSize.x, 620);
    EXPECT_EQ(shown.ptMinTrackSize.y, 404);
  }
}

TEST_F(MainWindowTest, ShownWindowCannotBeMadeSmallerThanItsMinimum) {
  ASSERT_NO_FATAL_FAILURE(CreateAndShowMain());
  SetWindowPos(window_->hwnd(), nullptr, 0, 0, 200, 150, SWP_NOMOVE | SWP_NOZORDER);
  const RECT bounds = WindowBounds();
  const Size expected = MainWindowMinTrackSize(window_->dpi());
  EXPECT_EQ(bounds.right - bounds.left, expected.width);
  EXPECT_EQ(bounds.bottom - bounds.top, expected.height);
}

TEST_F(MainWindowTest, MovingToA120DpiScreenRescalesFontsControlsAndMinimumSize) {
  ASSERT_NO_FATAL_FAILURE(CreateAndShowMain());
  RECT suggested = {20, 10, 20 + 860, 10 + 550};
  SendMessageW(window_->hwnd(), WM_DPICHANGED, MAKEWPARAM(120, 120),
               reinterpret_cast<LPARAM>(&suggested));

  EXPECT_EQ(window_->dpi(), 120);
  const RECT bounds = WindowBounds();
  EXPECT_EQ(bounds.left, 20);
  EXPECT_EQ(bounds.right - bounds.left, 860);
  EXPECT_EQ(bounds.bottom - bounds.top, 550);
  LOGFONTW font = {};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(Control("btnNext"), WM_GETFONT, 0, 0)),
             sizeof(font), &font);
  EXPECT_EQ(font.lfHeight, -13);
  RECT next = {};
  GetWindowRect(Control("btnNext"), &next);
  EXPECT_EQ(next.right - next.left, 105);  // 84 at 96 DPI

  // At 120 DPI the window cannot be made smaller than 775 x 505.
  SetWindowPos(window_->hwnd(), nullptr, 0, 0, 300, 200, SWP_NOMOVE | SWP_NOZORDER);
  const RECT smallest = WindowBounds();
  EXPECT_EQ(smallest.right - smallest.left, 775);
  EXPECT_EQ(smallest.bottom - smallest.top, 505);
}

TEST_F(MainWindowTest, BottomRowFollowsTheWindowsLowerRightCorner) {
  ASSERT_NO_FATAL_FAILURE(CreateAndShowMain());
  RECT exit_before = {};
  GetWindowRect(Control("btnExit"), &exit_before);
  const RECT bounds = WindowBounds();
  SetWindowPos(window_->hwnd(), nullptr, 0, 0, bounds.right - bounds.left + 100,
               bounds.bottom - bounds.top + 60, SWP_NOMOVE | SWP_NOZORDER);
  RECT exit_after = {};
  GetWindowRect(Control("btnExit"), &exit_after);
  EXPECT_EQ(exit_after.left - exit_before.left, 100);
  EXPECT_EQ(exit_after.top - exit_before.top, 60);
}

TEST_F(MainWindowTest, FixesTheProgramFolderBeforeLoadingTheSettings) {
  ASSERT_NO_FATAL_FAILURE(CreateMain());
  wchar_t executable[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, executable, MAX_PATH);
  EXPECT_EQ(ToUtf16(context_.program_folder + "\\"),
            std::wstring(executable).substr(0, context_.program_folder.size() + 1));
  EXPECT_EQ(context_.settings.ProgramFolder, context_.program_folder);
  EXPECT_TRUE(context_.settings.ExcludedFolders.Contains(context_.program_folder));
  EXPECT_FALSE(context_.windows_folder.empty());
  EXPECT_EQ(context_.system_drive_root, DriveRootOf(context_.windows_folder));
}

TEST_F(MainWindowTest, StoredScanTargetsReachTheCheckBoxes) {
  const std::string key(settings::kSettingsKey);
  StoreDword(key, "ScanHKLM", 0);
  StoreDword(key, "ScanHKUS", 1);
  StoreDword(key, "ScanEntire", 0);
  StoreDword(key, "ScanOthers", 1);
  StoreString(key, "ScanOtherPaths", "D:\\Data;E:\\");
  ASSERT_NO_FATAL_FAILURE(CreateMain());

  EXPECT_TRUE(Checked("HKCR"));  // default
  EXPECT_FALSE(Checked("HKLM"));
  EXPECT_TRUE(Checked("HKUS"));
  EXPECT_TRUE(Checked("HKCU"));   // default
  EXPECT_FALSE(Checked("HKCC"));  // default
  EXPECT_TRUE(Checked("SWin"));   // default
  EXPECT_TRUE(Checked("SProg"));  // default
  EXPECT_FALSE(Checked("SRest"));
  EXPECT_TRUE(Checked("cbOthers"));
  EXPECT_EQ(WindowTextOf(Control("edOthers")), L"D:\\Data;E:\\");
}

TEST_F(MainWindowTest, StoredBoundsAreAppliedWhenFirstShown) {
  StoreDword(kPlacementKey, "Maximized", 0);
  StoreDword(kPlacementKey, "Width", 700);
  StoreDword(kPlacementKey, "Height", 480);
  StoreDword(kPlacementKey, "Left", 31);
  StoreDword(kPlacementKey, "Top", 27);
  ASSERT_NO_FATAL_FAILURE(CreateAndShowMain());
  const RECT bounds = WindowBounds();
  EXPECT_EQ(bounds.left, 31);
  EXPECT_EQ(bounds.top, 27);
  EXPECT_EQ(bounds.right - bounds.left, 700);
  EXPECT_EQ(bounds.bottom - bounds.top, 480);
  EXPECT_FALSE(IsZoomed(window_->hwnd()));
}

TEST_F(MainWindowTest, StoredBoundsSmallerThanTheMinimumAreStillApplied) {
  // The limit holds for the user, not for the stored placement.
  StoreDword(kPlacementKey, "Width", 500);
  ASSERT_NO_FATAL_FAILURE(CreateAndShowMain());
  const RECT bounds = WindowBounds();
  EXPECT_EQ(bounds.right - bounds.left, 500);
}

TEST_F(MainWindowTest, StoredMaximizedShowsTheWindowMaximized) {
  StoreDword(kPlacementKey, "Maximized", 1);
  StoreDword(kPlacementKey, "Width", 700);
  ASSERT_NO_FATAL_FAILURE(CreateAndShowMain());
  EXPECT_TRUE(IsZoomed(window_->hwnd()));
}

TEST_F(MainWindowTest, CloseSavesPlacementColumnWidthsAndSettings) {
  ASSERT_NO_FATAL_FAILURE(CreateAndShowMain());
  SetWindowPos(window_->hwnd(), nullptr, 40, 30, 720, 500, SWP_NOZORDER);
  context_.settings.ScanHKCC = true;
  SendMessageW(window_->hwnd(), WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(window_->hwnd()));

  EXPECT_EQ(StoredDword(kPlacementKey, "Maximized"), 0u);
  EXPECT_EQ(StoredDword(kPlacementKey, "Width"), 720u);
  EXPECT_EQ(StoredDword(kPlacementKey, "Height"), 500u);
  EXPECT_EQ(StoredDword(kPlacementKey, "Left"), 40u);
  EXPECT_EQ(StoredDword(kPlacementKey, "Top"), 30u);
  const std::string key(settings::kSettingsKey);
  EXPECT_EQ(StoredDword(key, "ChangeColumn"), 257u);
  EXPECT_EQ(StoredDword(key, "BeforeColumn"), 152u);
  EXPECT_EQ(StoredDword(key, "ScanHKCC"), 1u);
  EXPECT_EQ(StoredDword(key, "ScanHKLM"), 1u);
  const auto excluded = Stored(key, "ExcludedFolders");
  ASSERT_TRUE(excluded.has_value());
  EXPECT_EQ(excluded->type, platform::regtype::kBinary);
  EXPECT_TRUE(excluded->data.empty());  // the program folder stays out
}

TEST_F(MainWindowTest, CloseKeepsTheLoadedColumnWidths) {
  const std::string key(settings::kSettingsKey);
  StoreDword(key, "ChangeColumn", 300);
  StoreDword(key, "BeforeColumn", 99);
  ASSERT_NO_FATAL_FAILURE(CreateAndShowMain());
  SendMessageW(window_->hwnd(), WM_CLOSE, 0, 0);
  EXPECT_EQ(StoredDword(key, "ChangeColumn"), 300u);
  EXPECT_EQ(StoredDword(key, "BeforeColumn"), 99u);
}

TEST_F(MainWindowTest, CloseOfAMaximizedWindowKeepsTheStoredNormalBounds) {
  StoreDword(kPlacementKey, "Width", 701);
  ASSERT_NO_FATAL_FAILURE(CreateAndShowMain());
  ShowWindow(window_->hwnd(), SW_MAXIMIZE);
  SendMessageW(window_->hwnd(), WM_CLOSE, 0, 0);
  EXPECT_EQ(StoredDword(kPlacementKey, "Maximized"), 1u);
  EXPECT_EQ(StoredDword(kPlacementKey, "Width"), 701u);
}

TEST_F(MainWindowTest, ExitClosesTheWindowAndEndsTheMessageLoopWithZero) {
  ASSERT_NO_FATAL_FAILURE(CreateAndShowMain());
  const HWND hwnd = window_->hwnd();
  SendMessageW(Control("btnExit"), BM_CLICK, 0, 0);
  int quit_code = -1;
  ASSERT_TRUE(PumpMessagesUntil([&] { return !IsWindow(hwnd) && quit_code != -1; }, &quit_code));
  EXPECT_EQ(quit_code, 0);
  EXPECT_TRUE(Stored(std::string(settings::kSettingsKey), "ScanHKLM").has_value());
}

TEST_F(MainWindowTest, SecondStartRestoresTheMinimisedWindow) {
  ASSERT_NO_FATAL_FAILURE(CreateAndShowMain());
  ShowWindow(window_->hwnd(), SW_MINIMIZE);
  ASSERT_TRUE(IsIconic(window_->hwnd()));
  SendMessageW(window_->hwnd(), StartInstanceMessage(), 0, 0);
  EXPECT_FALSE(IsIconic(window_->hwnd()));
  EXPECT_TRUE(IsWindowVisible(window_->hwnd()));
}

TEST_F(MainWindowTest, LanguageFileKeysRelabelTheWindow) {
  ASSERT_NO_FATAL_FAILURE(CreateMain());
  ASSERT_TRUE(window_->SetTextByKey("btnNext.Caption", "&Weiter  >>"));
  ASSERT_TRUE(window_->SetTextByKey("Caption", "Corvane (Deutsch)"));
  ASSERT_TRUE(window_->SetTextByKey("rbInstall.Caption", "Neue Anwendung &installieren"));
  EXPECT_FALSE(window_->SetTextByKey("btnNext.Font", "Arial"));
  EXPECT_EQ(WindowTextOf(Control("btnNext")), L"&Weiter  >>");
  EXPECT_EQ(WindowTextOf(window_->hwnd()), L"Corvane (Deutsch)");
  EXPECT_EQ(WindowTextOf(Control("rbInstall")), L"Neue Anwendung &installieren");
}

TEST_F(MainWindowTest, AboutButtonShowsTheAboutDialogOverTheWindow) {
  ASSERT_NO_FATAL_FAILURE(CreateAndShowMain());
  HWND owner = nullptr;
  bool main_disabled = false;
  testing::DialogDriver driver(TdlgAboutCvn::kClassName, {[&](HWND box) {
                                 owner = GetWindow(box, GW_OWNER);
                                 main_disabled = !IsWindowEnabled(window_->hwnd());
                                 testing::PressKey(box, VK_ESCAPE);
                               }});
  SendMessageW(Control("btnAbout"), BM_CLICK, 0, 0);
  EXPECT_TRUE(driver.finished());
  EXPECT_EQ(owner, window_->hwnd());
  EXPECT_TRUE(main_disabled);
  EXPECT_TRUE(IsWindowEnabled(window_->hwnd()));
}

}  // namespace
}  // namespace cvn::ui

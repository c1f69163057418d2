// The main window in this process, on the real controls, with its settings in
// an in-memory registry: the page switch, the start-up state, the size limit,
// the settings, placement and language it reads at start and what it writes
// at close.
#include "ui/main_window.h"

#include <commctrl.h>

#include "i18n/language_file_writer.h"
#include "settings/settings.h"
#include "tests/ui/ui_test_util.h"
#include "ui/about_dialog.h"
#include "platform/win32/wide_text.h"

namespace cvn::ui {

namespace {

using testing::WindowTextOf;

const std::string kSettingsKey(settings::kSettingsKey);
const std::string kPlacementKey = kSettingsKey + "\\CvnMain";

class MainWindowTest : public testing::WindowTest {
 protected:
  RECT Bounds() const {
    RECT bounds = {};
    GetWindowRect(window_->hwnd(), &bounds);
    return bounds;
  }
  void Resize(int width, int height) {
    SetWindowPos(window_->hwnd(), nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
  }
  std::vector<std::string> VisiblePages() {
    std::vector<std::string> visible;
    for (const char* page : {"pnlFirst", "pnlTargets", "pnlRun", "pnlTree", "pnlLog"}) {
      if (GetWindowLongW(Control(page), GWL_STYLE) & WS_VISIBLE) visible.push_back(page);
    }
    return visible;
  }
};

TEST_F(MainWindowTest, StartsOnTheFirstPageThenTabsSwitchesTheRadioGroupAndThePages) {
  ASSERT_NO_FATAL_FAILURE(StartMain(true));
  EXPECT_EQ(VisiblePages(), std::vector<std::string>{"pnlFirst"});
  EXPECT_TRUE(Checked("rbInstall"));
  EXPECT_FALSE(Checked("rbUninstall"));
  EXPECT_EQ(SendMessageW(Control("edIdentif"), EM_GETLIMITTEXT, 0, 0), 30);
  EXPECT_TRUE(IsWindowEnabled(Control("edIdentif")));
  EXPECT_FALSE(IsWindowEnabled(Control("lvCvnFiles")));
  EXPECT_FALSE(IsWindowEnabled(Control("btnBack")));
  EXPECT_FALSE(IsWindowEnabled(Control("btnNext")));
  EXPECT_TRUE(IsWindowEnabled(Control("btnExit")));
  EXPECT_EQ(LOWORD(SendMessageW(window_->hwnd(), DM_GETDEFID, 0, 0)),
            window_->FindComponent("btnNext")->id());

  const auto tab_from = [&](const char* name) {
    SetFocus(Control(name));
    MSG message = {GetFocus(), WM_KEYDOWN, VK_TAB, 0, 0, {0, 0}};
    if (!IsDialogMessageW(window_->hwnd(), &message)) DispatchMessageW(&message);
    return GetFocus();
  };
  EXPECT_EQ(tab_from("rbInstall"), Control("edIdentif"));
  // Back and Next are disabled, so Tab goes from Options on the page to Exit below it.
  EXPECT_EQ(tab_from("btnOptions"), Control("btnExit"));

  // The two radio buttons are one group although the edit lies between them.
  for (const auto& [click, other] :
       {std::pair{"rbUninstall", "rbInstall"}, {"rbInstall", "rbUninstall"}}) {
    SendMessageW(Control(click), BM_CLICK, 0, 0);
    EXPECT_TRUE(Checked(click));
    EXPECT_FALSE(Checked(other));
  }
  for (const char* page : {"pnlTargets", "pnlRun", "pnlTree", "pnlLog", "pnlFirst"}) {
    window_->ShowPanel(*window_->FindComponent(page));
    EXPECT_EQ(VisiblePages(), std::vector<std::string>{page});
  }
}

TEST_F(MainWindowTest, MinimumSizeHoldsOnceShownAndAllScalesOnA120DpiScreen) {
  // Stored bounds below the minimum size are the placement case's part.
  ASSERT_NO_FATAL_FAILURE(StartMain(true));
  const int dpi = window_->dpi();
  const int font_before = testing::FontOf(Control("btnNext")).lfHeight;
  const int next_before = testing::WidthOf(testing::BoundsInParent(Control("btnNext")));
  RECT suggested = {20, 10, 20 + 860, 10 + 550};
  SendMessageW(window_->hwnd(), WM_DPICHANGED, MAKEWPARAM(120, 120),
               reinterpret_cast<LPARAM>(&suggested));
  EXPECT_EQ(window_->dpi(), 120);
  EXPECT_EQ(Bounds().left, 20);
  EXPECT_EQ(testing::WidthOf(Bounds()), 860);
  EXPECT_EQ(testing::HeightOf(Bounds()), 550);
  EXPECT_NEAR(testing::FontOf(Control("btnNext")).lfHeight, font_before * 120.0 / dpi, 1.0);
  EXPECT_NEAR(testing::WidthOf(testing::BoundsInParent(Control("btnNext"))),
              next_before * 120.0 / dpi, 1.0);
  Resize(300, 200);
  EXPECT_EQ(testing::WidthOf(Bounds()), MainWindowMinTrackSize(120).width);
  EXPECT_EQ(testing::HeightOf(Bounds()), MainWindowMinTrackSize(120).height);
}

TEST_F(MainWindowTest, StoredSettingsReachTheCheckBoxesWithTheProgramFolder) {
  Store(kSettingsKey, "ScanHKLM", 0);
  Store(kSettingsKey, "ScanHKUS", 1);
  Store(kSettingsKey, "ScanEntire", 0);
  Store(kSettingsKey, "ScanOthers", 1);
  Store(kSettingsKey, "ScanOtherPaths", "D:\\Data;E:\\");
  ASSERT_NO_FATAL_FAILURE(StartMain());
  const std::pair<const char*, bool> boxes[] = {
      {"HKCR", true}, {"HKLM", false}, {"HKUS", true},   {"HKCU", true},     {"HKCC", false},
      {"SWin", true}, {"SProg", true}, {"SRest", false}, {"cbOthers", true},
  };
  for (const auto& [name, checked] : boxes) EXPECT_EQ(Checked(name), checked) << name;
  EXPECT_EQ(Text("edOthers"), L"D:\\Data;E:\\");
  EXPECT_EQ(context_.settings.program_folder, context_.program_folder);
}

TEST_F(MainWindowTest, SettingOfAWrongTypeIsReportedAndTheDefaultShown) {
  Store(kSettingsKey, "ScanHKLM", "yes");
  std::wstring message;
  testing::DialogDriver driver(L"#32770", {[&](HWND box) {
                                 for (HWND text : testing::DescendantsOfClass(box, L"Static"))
                                   message += WindowTextOf(text);
                                 PostMessageW(box, WM_COMMAND, IDOK, 0);
                               }});
  ASSERT_NO_FATAL_FAILURE(StartMain());
  EXPECT_TRUE(driver.finished()) << "no message box";
  EXPECT_NE(message.find(L"ScanHKLM"), std::wstring::npos);
  EXPECT_TRUE(Checked("HKLM"));  // the default
}

TEST_F(MainWindowTest, StoredMaximizedShowsMaximizedAndCloseKeepsTheNormalBounds) {
  Store(kPlacementKey, "Maximized", 1);
  Store(kPlacementKey, "Width", 701);
  ASSERT_NO_FATAL_FAILURE(StartMain(true));
  EXPECT_TRUE(IsZoomed(window_->hwnd()));
  SendMessageW(window_->hwnd(), WM_CLOSE, 0, 0);
  EXPECT_EQ(StoredDword(kPlacementKey, "Maximized"), 1u);
  EXPECT_EQ(StoredDword(kPlacementKey, "Width"), 701u);
}

TEST_F(MainWindowTest, StoredBoundsApplyBelowTheMinimumSizeAndCloseSavesThemAndTheSettings) {
  // The minimum size holds for the user only.
  const std::pair<const char*, int> stored[] = {
      {"Maximized", 0}, {"Left", 37}, {"Top", 29}, {"Width", 500}, {"Height", 466}};
  for (const auto& [name, value] : stored) Store(kPlacementKey, name, value);
  Store(kSettingsKey, "ChangeColumn", 300);
  Store(kSettingsKey, "BeforeColumn", 99);
  ASSERT_NO_FATAL_FAILURE(StartMain(true));
  const RECT bounds = Bounds();
  EXPECT_EQ(bounds.left, 37);
  EXPECT_EQ(bounds.top, 29);
  EXPECT_EQ(testing::WidthOf(bounds), 500);
  EXPECT_EQ(testing::HeightOf(bounds), 466);

  SetWindowPos(window_->hwnd(), nullptr, 40, 30, 720, 500, SWP_NOZORDER);
  context_.settings.scan_hkcc = true;
  SendMessageW(window_->hwnd(), WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(window_->hwnd()));
  const std::pair<const char*, uint32_t> placement[] = {
      {"Maximized", 0}, {"Width", 720}, {"Height", 500}, {"Left", 40}, {"Top", 30}};
  for (const auto& [name, value] : placement) EXPECT_EQ(StoredDword(kPlacementKey, name), value);
  EXPECT_EQ(StoredDword(kSettingsKey, "ChangeColumn"), 300u);
  EXPECT_EQ(StoredDword(kSettingsKey, "BeforeColumn"), 99u);
  EXPECT_EQ(StoredDword(kSettingsKey, "ScanHKCC"), 1u);
}

TEST_F(MainWindowTest, AboutButtonOpensTheAboutDialog) {
  ASSERT_NO_FATAL_FAILURE(StartMain(true));
  testing::DialogDriver driver(AboutDialog::kClassName,
                               {[](HWND box) { testing::PressKey(box, VK_ESCAPE); }});
  SendMessageW(Control("btnAbout"), BM_CLICK, 0, 0);
  EXPECT_TRUE(driver.finished());
}

// A damaged stored language, found before the window is shown.
TEST_F(MainWindowTest, DamagedLanguageFileIsReportedInTheStatusLine) {
  std::vector<uint8_t> bytes =
      i18n::LanguageFileWriter().Section("frmCvnMain").Key("Caption", "Kaputt").Build();
  bytes[1] ^= 0x20;  // the section's magic no longer unscrambles
  ASSERT_NO_FATAL_FAILURE(AddLanguage("Broken", bytes));
  Store(kSettingsKey, "Language", "Broken");
  ASSERT_NO_FATAL_FAILURE(StartMain());
  EXPECT_EQ(WindowTextOf(window_->hwnd()), L"Corvane");
  const std::wstring status = Text("lblStatus");
  EXPECT_TRUE(status.starts_with(L"Invalid file format.")) << platform::win32::ToUtf8(status);
  EXPECT_NE(status.find(L"Broken.lng"), std::wstring::npos);
}

}  // namespace
}  // namespace cvn::ui

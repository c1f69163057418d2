// Context help on real windows: the help context found through a control's
// parents, the shipped language's text in the popup, and the popup closing
// on a key or a click.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "i18n/language_file.h"
#include "platform/codepage.h"
#include "platform/win32/wide_text.h"
#include "tests/ui/ui_test_util.h"
#include "ui/context_help.h"
#include "ui/user_guide.h"

namespace cvn::ui {
namespace {

class ContextHelpTest : public testing::WindowTest {
 protected:
  void SetUp() override {
    std::ifstream in(std::filesystem::path(CVN_TRANSLATIONS_DIR) / "German.lng", std::ios::binary);
    german_ = std::vector<uint8_t>{std::istreambuf_iterator<char>(in), {}};
    ASSERT_FALSE(german_.empty());
    ASSERT_NO_FATAL_FAILURE(AddLanguage("German", german_));
    InstallTranslator("German");
    window_a_ = CreateWindowExW(0, L"STATIC", L"help test", WS_POPUP | WS_VISIBLE, 10, 10, 300, 200,
                                nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window_a_, nullptr);
  }
  void TearDown() override {
    CloseHelpPopup();
    DestroyWindow(window_a_);
    WindowTest::TearDown();
  }
  HWND Child(HWND parent, int x, int y, int context) {
    HWND child = CreateWindowExW(0, L"BUTTON", L"x", WS_CHILD | WS_VISIBLE, x, y, 60, 40, parent,
                                 nullptr, nullptr, nullptr);
    SetWindowContextHelpId(child, static_cast<DWORD>(context));
    return child;
  }
  std::string GermanHelp(int context) const {
    i18n::LanguageFile file("German.lng", german_);
    return platform::CodePageToUtf8(file.ReadString("HELP", std::to_string(context), ""), 1252);
  }

  std::vector<uint8_t> german_;
  HWND window_a_ = nullptr;
};

TEST_F(ContextHelpTest, ShowsTheTextOfTheControlOrItsNearestParentWithAContext) {
  HWND own = Child(window_a_, 0, 0, 19);
  HWND panel = Child(window_a_, 100, 0, 43);
  HWND inner = Child(panel, 5, 5, 0);
  HWND bare = Child(window_a_, 200, 0, 0);
  const auto label = [this](int y) {
    return CreateWindowExW(0, L"STATIC", L"label:", WS_CHILD | WS_VISIBLE | SS_LEFT, 0, y, 60,
                           20, window_a_, nullptr, nullptr, nullptr);
  };
  HWND naming = label(60);
  Child(window_a_, 60, 60, 24);  // the control it names
  HWND before_bare = label(90);
  Child(window_a_, 60, 90, 0);
  const struct {
    HWND control;
    int context;
  } cases[] = {{own, 19}, {inner, 43}, {bare, 0}, {naming, 24}, {before_bare, 0}};
  for (const auto& c : cases) {
    EXPECT_EQ(HelpContextOf(c.control), c.context);
    EXPECT_EQ(ShowContextHelp(c.control, {50, 50}), c.context != 0) << c.context;
    HWND popup = CurrentHelpPopup();
    if (c.context == 0) {
      EXPECT_EQ(popup, nullptr);
      continue;
    }
    ASSERT_NE(popup, nullptr);
    EXPECT_TRUE(IsWindowVisible(popup));
    EXPECT_FALSE(GermanHelp(c.context).empty());
    EXPECT_EQ(platform::win32::ToUtf8(testing::WindowTextOf(popup)), GermanHelp(c.context));
    CloseHelpPopup();
    EXPECT_FALSE(IsWindow(popup));
  }
  // The control under a point, the deepest visible one.
  RECT inner_bounds;
  GetWindowRect(inner, &inner_bounds);
  EXPECT_EQ(ControlAt(window_a_, {inner_bounds.left + 2, inner_bounds.top + 2}), inner);
  EXPECT_EQ(ControlAt(window_a_, {5000, 5000}), nullptr);
}

TEST_F(ContextHelpTest, PopupStaysOnTheMonitorAndClosesOnAKeyOrAClick) {
  const POINT corner = {GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1};
  const UINT closers[] = {WM_KEYDOWN, WM_LBUTTONDOWN, WM_RBUTTONDOWN};
  for (UINT closer : closers) {
    std::string text;
    for (int i = 0; i < 120; ++i) text += "word ";
    HWND popup = ShowHelpPopup(text, corner, window_a_);
    ASSERT_NE(popup, nullptr);
    RECT bounds;
    GetWindowRect(popup, &bounds);
    EXPECT_LE(bounds.right, corner.x + 1);
    EXPECT_LE(bounds.bottom, corner.y + 1);
    EXPECT_GT(bounds.bottom - bounds.top, 0);
    SendMessageW(popup, closer, 0, 0);
    EXPECT_FALSE(IsWindow(popup)) << closer;
    EXPECT_EQ(CurrentHelpPopup(), nullptr);
  }
}

TEST(UserGuideTest, GuideOfTheLanguageElseTheEnglishOne) {
  const auto only = [](std::string present) {
    return [present](const std::string& path) { return path == present; };
  };
  const struct {
    const char* folder;
    const char* code;
    std::string present;
    const char* expected;
  } cases[] = {
      {"C:\\Apps", "de", "C:\\Apps\\corvane_de.html", "C:\\Apps\\corvane_de.html"},
      {"C:\\Apps\\", "fr", "C:\\Apps\\corvane_en.html", "C:\\Apps\\corvane_en.html"},
      {"C:\\Apps", "", "", "C:\\Apps\\corvane_en.html"},
      {"C:\\Apps", "..\\x", "C:\\Apps\\corvane_..\\x.html", "C:\\Apps\\corvane_en.html"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(UserGuidePath(c.folder, c.code, only(c.present)), c.expected);
  std::string tried;
  EXPECT_EQ(OpenUserGuide("C:\\no such folder", "de", &tried).code(),
            platform::StatusCode::kNotFound);
  EXPECT_EQ(tried, "C:\\no such folder\\corvane_en.html");
}

}  // namespace
}  // namespace cvn::ui

// The uninstall log box on the real rich edit: lines in order and in their
// colours whether they arrive in one flush or several, non-ASCII text, the
// start and end of a run, the timer's flush and the box's own font.
#include "ui/log_box.h"

#include <richedit.h>

#include <optional>

#include "platform/win32/wide_text.h"
#include "tests/ui/ui_test_util.h"

namespace cvn::ui {
namespace {

using platform::win32::ToWide;
using uninstall::LogColor;

constexpr LogColor kRed{255, 0, 0}, kBlue{0, 0, 255}, kGreen{0, 128, 0};
constexpr LogColor kWindowText{0, 0, 0, true};

class LogBoxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(LogBox::WindowClass(), nullptr);
    parent_ = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 400, 200, nullptr,
                              nullptr, GetModuleHandleW(nullptr), nullptr);
    const HWND control = CreateWindowExW(LogBox::kExStyle, LogBox::WindowClass(), L"",
                                         WS_CHILD | WS_VISIBLE | LogBox::kStyle, 0, 0, 300, 120,
                                         parent_, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(control, nullptr);
    box_.emplace(control);
  }
  void TearDown() override {
    box_.reset();
    DestroyWindow(parent_);
  }

  HWND Control() { return box_->hwnd(); }
  std::wstring Text() {
    GETTEXTLENGTHEX query = {GTL_NUMCHARS | GTL_PRECISE, 1200};
    std::wstring text(static_cast<size_t>(SendMessageW(Control(), EM_GETTEXTLENGTHEX,
                                                       reinterpret_cast<WPARAM>(&query), 0)) +
                          1,
                      L'\0');
    TEXTRANGEW range = {{0, static_cast<LONG>(text.size() - 1)}, text.data()};
    text.resize(static_cast<size_t>(
        SendMessageW(Control(), EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&range))));
    return text;
  }
  std::vector<std::wstring> Lines() {
    std::vector<std::wstring> lines;
    const std::wstring text = Text();
    if (text.empty()) return lines;
    size_t begin = 0;
    for (size_t end; (end = text.find(L'\r', begin)) != std::wstring::npos; begin = end + 1)
      lines.push_back(text.substr(begin, end - begin));
    lines.push_back(text.substr(begin));
    return lines;
  }
  CHARFORMAT2W FormatAt(LONG position, DWORD which = SCF_SELECTION) {
    CHARRANGE one = {position, position + 1};
    SendMessageW(Control(), EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&one));
    CHARFORMAT2W format = {};
    format.cbSize = sizeof(format);
    SendMessageW(Control(), EM_GETCHARFORMAT, which, reinterpret_cast<LPARAM>(&format));
    return format;
  }
  // The background, read by replacing it: call it last.
  COLORREF Background() {
    return static_cast<COLORREF>(SendMessageW(Control(), EM_SETBKGNDCOLOR, 0, RGB(1, 2, 3)));
  }

  HWND parent_ = nullptr;
  std::optional<LogBox> box_;
};

TEST_F(LogBoxTest, LinesArriveInOrderInTheirColoursHoweverTheyAreFlushed) {
  const struct {
    std::string text;
    LogColor color;
    std::string shown = text;
  } kLines[] = {
      {"DELETING FILE: C:\\App\\app.exe ... ERROR (in use)", kRed},
      {"DELETING FILE: C:\\App\\readme.txt ... ERROR (in use)", kRed},
      {"DELETING KEY: HKEY_CURRENT_USER\\Software\\Quill ... FAILS (not found)", kBlue},
      {"", kGreen},
      {"DELETING VALUE: HKEY_CURRENT_USER\\Quill\\two\r\nlines ... Ok", kGreen,
       "DELETING VALUE: HKEY_CURRENT_USER\\Quill\\two  lines ... Ok"},
      {"DELETING FILE: C:\\Zoë\\Größe\\日本語\\\U0001F3B5.txt ... Ok", kGreen},
      {"Uninstall complete without errors", kWindowText},
  };
  for (const size_t flush_after : {0, 1, 4}) {
    SCOPED_TRACE(flush_after);
    box_->Start();
    for (size_t i = 0; i < std::size(kLines); ++i) {
      box_->Append(kLines[i].text, kLines[i].color);
      if (i + 1 == flush_after) box_->Flush();
    }
    box_->Finish();
    const std::vector<std::wstring> lines = Lines();
    ASSERT_EQ(lines.size(), std::size(kLines));
    LONG start = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
      EXPECT_EQ(lines[i], ToWide(kLines[i].shown)) << i;
      if (!lines[i].empty()) {
        const CHARFORMAT2W format = FormatAt(start);
        const LogColor& color = kLines[i].color;
        EXPECT_EQ((format.dwEffects & CFE_AUTOCOLOR) != 0, color.window_text) << i;
        if (!color.window_text) {
          EXPECT_EQ(format.crTextColor, RGB(color.red, color.green, color.blue)) << i;
        }
      }
      start += static_cast<LONG>(lines[i].size()) + 1;
    }
  }
}

TEST_F(LogBoxTest, StartEmptiesAndDisablesAndDropsWhatWasQueued) {
  ASSERT_NE(GetSysColor(COLOR_BTNFACE), GetSysColor(COLOR_WINDOW));
  box_->Append("shown", kRed);
  box_->Flush();
  box_->Append("queued", kRed);
  box_->Start();
  EXPECT_EQ(Text(), L"");
  EXPECT_FALSE(IsWindowEnabled(Control()));
  EXPECT_EQ(Background(), GetSysColor(COLOR_BTNFACE));
  box_->Append("next run", kGreen);
  box_->Finish();
  EXPECT_EQ(Lines(), std::vector<std::wstring>{L"next run"});
}

TEST_F(LogBoxTest, FinishEnablesAndShowsTheStartOfTheLastLine) {
  box_->Start();
  // More than the 32,767 characters a rich edit takes by default (where
  // Windows cuts the text; Wine does not).
  for (int i = 0; i < 250; ++i) box_->Append("line " + std::string(150, '-'), kGreen);
  const std::string last = "last " + std::string(300, 'x');
  box_->Append(last, kRed);
  box_->Finish();
  EXPECT_TRUE(IsWindowEnabled(Control()));
  const std::wstring text = Text();
  ASSERT_TRUE(text.ends_with(L'\r' + ToWide(last)));
  POINTL at = {};
  SendMessageW(Control(), EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&at),
               static_cast<LPARAM>(text.size() - last.size()));
  RECT client = {};
  GetClientRect(Control(), &client);
  EXPECT_GE(at.y, 0);
  EXPECT_LT(at.y, client.bottom);
  EXPECT_GE(at.x, 0);
  EXPECT_LT(at.x, 10);
  EXPECT_EQ(Background(), GetSysColor(COLOR_WINDOW));
}

TEST_F(LogBoxTest, QueuedLinesReachTheBoxWhileTheMessageLoopRuns) {
  box_->Append("one", kRed);
  box_->Flush();
  box_->Append("two", kBlue);  // within the interval: left to the timer
  EXPECT_TRUE(testing::PumpMessagesUntil([&] { return Lines().size() == 2; }));
  EXPECT_EQ(Lines(), (std::vector<std::wstring>{L"one", L"two"}));
}

TEST_F(LogBoxTest, KeepsCourierNewAtItsDpiAndCharsetForTextPresentAndToCome) {
  box_->SetFont(96, DEFAULT_CHARSET);
  box_->Append("red", kRed);
  box_->Flush();
  const LONG small = FormatAt(0).yHeight;
  box_->SetFont(192, RUSSIAN_CHARSET);
  // The window hands its controls its own font.
  SendMessageW(Control(), WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)),
               TRUE);
  for (const DWORD which : {DWORD{SCF_SELECTION}, DWORD{SCF_DEFAULT}}) {
    const CHARFORMAT2W format = FormatAt(0, which);
    EXPECT_STREQ(format.szFaceName, L"Courier New");
    EXPECT_EQ(format.bCharSet, RUSSIAN_CHARSET);
    EXPECT_NEAR(format.yHeight, 2 * small, 30);
  }
  EXPECT_EQ(FormatAt(0).crTextColor, RGB(255, 0, 0));
}

}  // namespace
}  // namespace cvn::ui

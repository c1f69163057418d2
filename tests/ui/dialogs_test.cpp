// The small dialogs on the real controls, driven from inside their modal
// loops: the message box's keys, results, captions and texts; the text
// input's Ok button and results; the About dialog.
#include <algorithm>
#include <optional>
#include <source_location>
#include <string>
#include <vector>

#include "i18n/language_file_writer.h"
#include "tests/ui/ui_test_util.h"
#include "ui/about_dialog.h"
#include "ui/message_box.h"
#include "ui/input_text_dialog.h"
#include "platform/win32/wide_text.h"

namespace cvn::ui {
namespace {

using testing::BoundsInParent;
using testing::DialogDriver;
using testing::DialogStep;
using testing::PressKey;
using testing::WindowTextOf;
using B = MessageButton;

DialogStep Key(UINT virtual_key) {
  return [virtual_key](HWND box) { PressKey(box, virtual_key); };
}

// The push buttons of a message box from left to right.
std::vector<HWND> ButtonsOf(HWND box) {
  std::vector<HWND> buttons = testing::DescendantsOfClass(box, L"Button");
  std::sort(buttons.begin(), buttons.end(),
            [](HWND a, HWND b) { return BoundsInParent(a).left < BoundsInParent(b).left; });
  return buttons;
}

DialogStep ClickButton(size_t index) {
  return [index](HWND box) { PostMessageW(ButtonsOf(box).at(index), BM_CLICK, 0, 0); };
}

// What a message box showed when it appeared, and the result it ended with.
struct Box {
  int result = -1;
  std::wstring caption, default_button, focus, text;
  std::vector<std::wstring> buttons;
  std::vector<int> widths;
  bool icon = false;
  RECT window = {}, label = {};
  LONG label_style = 0;
  LOGFONTW font = {};
  HWND owner = nullptr;
};

// Shows a message box; on its first tick the driver records what it shows
// and runs the first action, the others on the ticks after.
Box ShowBox(std::string_view text, MessageKind kind, MessageButtons buttons,
            std::vector<DialogStep> actions = {Key(VK_RETURN)},
            std::source_location where = std::source_location::current()) {
  const ::testing::ScopedTrace trace(where.file_name(), static_cast<int>(where.line()), text);
  Box seen;
  const DialogStep act = actions.front();
  actions.front() = [&seen, act](HWND box) {
    seen.caption = WindowTextOf(box);
    seen.focus = WindowTextOf(GetFocus());
    for (HWND button : ButtonsOf(box)) {
      seen.buttons.push_back(WindowTextOf(button));
      seen.widths.push_back(testing::WidthOf(BoundsInParent(button)));
      if ((GetWindowLongW(button, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
        seen.default_button += WindowTextOf(button);
    }
    for (HWND child : testing::DescendantsOfClass(box, L"Static")) {
      const LONG style = GetWindowLongW(child, GWL_STYLE);
      if ((style & SS_TYPEMASK) == SS_ICON) {
        seen.icon = SendMessageW(child, STM_GETICON, 0, 0) != 0;
      } else {
        seen.text = WindowTextOf(child);
        seen.label = BoundsInParent(child);
        seen.label_style = style;
        seen.font = testing::FontOf(child);
      }
    }
    GetWindowRect(box, &seen.window);
    seen.owner = GetWindow(box, GW_OWNER);
    act(box);
  };
  DialogDriver driver(kMessageFormClassName, std::move(actions));
  seen.result = CustomMessageDlg(text, kind, buttons);
  EXPECT_TRUE(driver.finished()) << "the box closed before every step ran";
  EXPECT_FALSE(driver.closed_by_driver()) << "the steps did not close the box";
  return seen;
}

class DialogsTest : public testing::WindowTest {};

TEST_F(DialogsTest, MessageBoxKeysAndTheirResults) {
  struct Case {
    const char* what;
    MessageButtons buttons;
    std::vector<DialogStep> actions;
    int result;
    std::wstring default_button;  // which also has the focus at first
  };
  const DialogStep close_by_border = [](HWND box) {
    PostMessageW(box, WM_SYSCOMMAND, SC_CLOSE, 0);
  };
  const Case cases[] = {
      {"Enter on Yes", {B::kCancel, B::kYes, B::kNo}, {Key(VK_RETURN)}, kResultYes, L"Yes"},
      {"Esc gives Cancel", {B::kYes, B::kNo, B::kCancel}, {Key(VK_ESCAPE)}, kResultCancel, L"Yes"},
      {"Enter on the focus",
       {B::kYes, B::kNo, B::kCancel},
       {Key(VK_TAB), Key(VK_RETURN)},
       kResultNo,
       L"Yes"},
      {"Esc without Cancel", {B::kYes, B::kNo}, {Key(VK_ESCAPE)}, kResultNo, L"Yes"},
      {"border", {B::kYes, B::kNo}, {close_by_border}, kResultCancel, L"Yes"},
      {"Esc on OK alone", {B::kOk}, {Key(VK_ESCAPE)}, kResultOk, L"OK"},
      {"OK before Yes", {B::kYes, B::kOk}, {Key(VK_RETURN)}, kResultOk, L"OK"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Box box = ShowBox("Save the changes?", MessageKind::kConfirmation, c.buttons, c.actions);
    EXPECT_EQ(box.result, c.result);
    EXPECT_EQ(box.default_button, c.default_button);
    EXPECT_EQ(box.focus, c.default_button);
  }
}

TEST_F(DialogsTest, ButtonsStandInTableOrderAndGiveTheirResults) {
  const MessageButtons all = {B::kYes,   B::kNo,     B::kOk,  B::kCancel,  B::kAbort,
                              B::kRetry, B::kIgnore, B::kAll, B::kNoToAll, B::kYesToAll};
  const Box box = ShowBox("All of them", MessageKind::kInformation, all, {ClickButton(8)});
  EXPECT_EQ(box.buttons,
            (std::vector<std::wstring>{L"Yes", L"No", L"OK", L"Cancel", L"Abort", L"Retry",
                                       L"Ignore", L"All", L"NoToAll", L"YesToAll"}));
  EXPECT_EQ(box.result, kResultNoToAll);
  EXPECT_EQ(box.caption, L"Information");
  EXPECT_TRUE(box.icon);
}

TEST_F(DialogsTest, TextIsShownAsWrittenAndWrapsAtHalfTheScreen) {
  const Box one = ShowBox("Copy & paste", MessageKind::kCustom, {B::kOk});
  EXPECT_EQ(one.text, L"Copy & paste");
  EXPECT_EQ(one.caption, L"Corvane");
  EXPECT_FALSE(one.icon) << "a custom box has no icon";
  EXPECT_NE(one.label_style & SS_NOPREFIX, 0) << "the & is shown, not an access key";
  const int line = testing::HeightOf(one.label);
  EXPECT_GT(line, 0);
  EXPECT_NEAR((one.window.left + one.window.right) / 2.0, GetSystemMetrics(SM_CXSCREEN) / 2.0, 1);
  EXPECT_NEAR((one.window.top + one.window.bottom) / 2.0, GetSystemMetrics(SM_CYSCREEN) / 2.0, 1);

  std::string text;
  for (int i = 0; i < 60; ++i) text += "Corvane records the changes of a setup program. ";
  const Box long_text = ShowBox(text, MessageKind::kWarning, {B::kOk});
  const int half_screen = GetSystemMetrics(SM_CXSCREEN) / 2;
  EXPECT_LE(testing::WidthOf(long_text.label), half_screen);
  EXPECT_GT(testing::WidthOf(long_text.label), half_screen * 3 / 4);
  EXPECT_GT(testing::HeightOf(long_text.label), 4 * line);
  EXPECT_EQ(long_text.caption, L"Warning");
  EXPECT_TRUE(long_text.icon);
}

TEST_F(DialogsTest, TheActiveWindowOwnsTheBoxLendsItsFontAndIsDisabledMeanwhile) {
  ASSERT_NO_FATAL_FAILURE(StartMain(true));
  SetActiveWindow(window_->hwnd());
  ASSERT_EQ(GetActiveWindow(), window_->hwnd());
  bool owner_enabled = true;
  const Box box = ShowBox("Owned", MessageKind::kError, {B::kOk}, {[&](HWND box) {
                            owner_enabled = IsWindowEnabled(window_->hwnd());
                            PressKey(box, VK_RETURN);
                          }});
  EXPECT_EQ(box.owner, window_->hwnd());
  EXPECT_EQ(box.caption, L"Error");
  EXPECT_FALSE(owner_enabled);
  EXPECT_TRUE(IsWindowEnabled(window_->hwnd()));
  const LOGFONTW owner_font = testing::FontOf(Control("btnNext"));
  EXPECT_STREQ(box.font.lfFaceName, owner_font.lfFaceName);
  EXPECT_EQ(box.font.lfHeight, owner_font.lfHeight);
}

// A language chosen while the program runs must not leave the buttons as
// wide as the captions of the language before.
TEST_F(DialogsTest, ButtonsAreAsWideAsTheWidestCaptionOfTheCurrentLanguage) {
  i18n::LanguageFileWriter writer;
  writer.Section("RESOURCESTRING")
      .Key("RS_DLG_CNF", "Best\344tigen")
      .Key("RS_DLG_YES", "Ja, alle \304nderungen jetzt speichern")
      .Key("RS_DLG_NO", "Nein");
  ASSERT_NO_FATAL_FAILURE(AddLanguage("Deutsch", writer.Build()));
  InstallTranslator("Deutsch");
  const Box german = ShowBox("Save?", MessageKind::kConfirmation, {B::kYes, B::kNo});
  i18n::InstallTranslator(nullptr);
  const Box english = ShowBox("Save?", MessageKind::kConfirmation, {B::kYes, B::kNo});

  EXPECT_EQ(german.caption, L"Best\u00E4tigen");
  EXPECT_EQ(german.buttons,
            (std::vector<std::wstring>{L"Ja, alle \u00C4nderungen jetzt speichern", L"Nein"}));
  EXPECT_EQ(english.caption, L"Confirm");
  EXPECT_EQ(english.buttons, (std::vector<std::wstring>{L"Yes", L"No"}));
  ASSERT_EQ(german.widths.size(), 2u);
  ASSERT_EQ(english.widths.size(), 2u);
  EXPECT_EQ(german.widths[0], german.widths[1]);
  EXPECT_EQ(english.widths[0], english.widths[1]);
  EXPECT_LT(english.widths[0], german.widths[0]);
}

// ---------------------------------------------------------------------------
// InputTextDialog and AboutDialog

TEST_F(DialogsTest, InputTextGivesTheTextTypedCentredOverItsOwner) {
  ASSERT_NO_FATAL_FAILURE(StartMain(true));
  const HWND owner = window_->hwnd();
  SetWindowPos(owner, nullptr, 40, 30, 700, 500, SWP_NOZORDER);
  const auto ask = [&] {
    return InputText(owner, {.caption = "Rename",
                             .label = "New name",
                             .ok_caption = "Ok",
                             .cancel_caption = "Cancel",
                             .initial_text = "Editor"});
  };
  std::vector<bool> ok_enabled;
  std::wstring focus_class;
  RECT bounds = {};
  const auto look = [&](HWND box) {
    ok_enabled.push_back(IsWindowEnabled(testing::FindDescendant(box, L"Button", L"Ok")));
  };
  {
    // The initial text is selected, so a backspace empties the edit.
    DialogDriver driver(InputTextDialog::kClassName,
                        {[&](HWND box) {
                           look(box);
                           focus_class = testing::ClassNameOf(GetFocus());
                           GetWindowRect(box, &bounds);
                           testing::TypeText(box, L"\b");
                         },
                         [&](HWND box) {
                           look(box);
                           PressKey(box, VK_RETURN);  // Ok is disabled
                           testing::TypeText(box, L"Gr\u00F6\u00DFe \u65E5");
                         },
                         [&](HWND box) {
                           look(box);
                           PressKey(box, VK_RETURN);
                         }});
    EXPECT_EQ(ask(), "Gr\303\266\303\237e \346\227\245");
    EXPECT_TRUE(driver.finished());
  }
  EXPECT_EQ(ok_enabled, (std::vector<bool>{true, false, true}));
  EXPECT_EQ(focus_class, L"Edit");
  EXPECT_NEAR((bounds.left + bounds.right) / 2.0, 40 + 350, 1.0);
  EXPECT_NEAR((bounds.top + bounds.bottom) / 2.0, 30 + 250, 1.0);
  DialogDriver driver(InputTextDialog::kClassName, {Key(VK_ESCAPE)});
  EXPECT_EQ(ask(), std::nullopt);
  EXPECT_TRUE(IsWindowEnabled(owner));
}

// Esc on it is the main window's About case.
TEST_F(DialogsTest, AboutIsTranslatedShowsTheIconAndClosesWithOk) {
  i18n::LanguageFileWriter writer;
  writer.Section("dlgAboutCvn").Key("Caption", "\334ber Corvane").Key("btnOk.Caption", "&Gut");
  ASSERT_NO_FATAL_FAILURE(AddLanguage("Deutsch", writer.Build()));
  InstallTranslator("Deutsch");
  bool icon = false;
  std::wstring caption;
  DialogDriver driver(AboutDialog::kClassName, {[&](HWND box) {
                        caption = WindowTextOf(box);
                        for (HWND image : testing::DescendantsOfClass(box, L"Static"))
                          icon = icon || SendMessageW(image, STM_GETICON, 0, 0) != 0;
                        const HWND ok = testing::FindDescendant(box, L"Button", L"&Gut");
                        ASSERT_NE(ok, nullptr);
                        PostMessageW(ok, BM_CLICK, 0, 0);
                      }});
  ShowAboutDialog(nullptr);
  EXPECT_TRUE(driver.finished());
  EXPECT_FALSE(driver.closed_by_driver());
  EXPECT_EQ(caption, L"\u00DCber Corvane");
  EXPECT_TRUE(icon);
}

}  // namespace
}  // namespace cvn::ui

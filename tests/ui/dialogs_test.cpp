// The small dialogs on the real controls, driven from inside their modal
// loops: the message box's buttons, results, keys, layout and translated
// texts; the text input's Ok button and results; the About dialog.
#include "platform/win32/windows_api.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "i18n/language_file_writer.h"
#include "i18n/translator.h"
#include "platform/memory/memory_filesystem.h"
#include "tests/ui/dialog_driver.h"
#include "tests/ui/template_check.h"
#include "tests/ui/ui_test_util.h"
#include "ui/about_dialog.h"
#include "ui/custom_dlg.h"
#include "ui/input_text_dialog.h"
#include "ui/utf16.h"

namespace cvn::ui {
namespace {

using testing::BoundsInParent;
using testing::ChildrenOfClass;
using testing::Click;
using testing::ClientSize;
using testing::DialogDriver;
using testing::DialogStep;
using testing::PressKey;
using testing::PumpMessagesUntil;
using testing::TypeText;
using testing::WindowTextOf;

constexpr char kExecutable[] = "C:\\Apps\\Corvane\\corvane.exe";
constexpr char kLanguageFile[] = "C:\\Apps\\Corvane\\Translations\\Deutsch.lng";

// A plain window to own the dialogs, as the main window does.
class TestOwner : public Form {
 public:
  TestOwner() : Form("TCvnTestOwner", {400, 300}, {384, 261}) {}
  bool Create() { return CreateForm("Owner"); }

 protected:
  void FormCreate() override { AddButton("btnSomething", "Something", nullptr, {{8, 8, 75, 25}}); }
};

// Installs a translator whose only language is built from `writer`, for the
// lifetime of the object.
class InstalledLanguage {
 public:
  explicit InstalledLanguage(const i18n::LanguageFileWriter& writer) {
    const std::vector<uint8_t> bytes = writer.Build();
    EXPECT_TRUE(fs_.AddFile(kLanguageFile, std::string(bytes.begin(), bytes.end())).ok());
    translator_ = std::make_unique<i18n::TTranslator>(fs_, kExecutable);
    translator_->SetLanguage("Deutsch");
    i18n::InstallTranslator(translator_.get());
  }
  ~InstalledLanguage() { i18n::InstallTranslator(nullptr); }

 private:
  platform::MemoryFileSystem fs_;
  std::unique_ptr<i18n::TTranslator> translator_;
};

class DialogsTest : public ::testing::Test {
 protected:
  void TearDown() override {
    owner_.reset();
    PumpMessagesUntil([] { return true; });  // leaves no message for the next test
  }

  // Shows an owner window and makes it the active one.
  HWND ShowOwner() {
    owner_ = std::make_unique<TestOwner>();
    EXPECT_TRUE(owner_->Create());
    ShowWindow(owner_->hwnd(), SW_SHOW);
    SetActiveWindow(owner_->hwnd());
    return owner_->hwnd();
  }

  // Shows a message box while the driver runs `steps` on it.
  static int RunMessageBox(std::string_view text, MessageKind kind, MessageButtons buttons,
                           std::vector<DialogStep> steps) {
    DialogDriver driver(kMessageFormClassName, std::move(steps));
    const int result = CustomMessageDlg(text, kind, buttons);
    EXPECT_TRUE(driver.finished()) << "the box closed before every step ran";
    EXPECT_FALSE(driver.closed_by_driver()) << "the steps did not close the box";
    return result;
  }

  std::unique_ptr<TestOwner> owner_;
};

// The push buttons of a message box from left to right.
std::vector<HWND> ButtonsOf(HWND box) {
  std::vector<HWND> buttons = ChildrenOfClass(box, L"Button");
  std::sort(buttons.begin(), buttons.end(),
            [](HWND a, HWND b) { return BoundsInParent(a).left < BoundsInParent(b).left; });
  return buttons;
}

std::vector<std::wstring> TextsOf(const std::vector<HWND>& windows) {
  std::vector<std::wstring> texts;
  for (HWND window : windows) texts.push_back(WindowTextOf(window));
  return texts;
}

bool IsDefaultButton(HWND button) {
  return (GetWindowLongW(button, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
}

// The text static of a box: the static without an icon style.
HWND MessageTextOf(HWND box) {
  for (HWND child : ChildrenOfClass(box, L"Static")) {
    if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) return child;
  }
  return nullptr;
}

HWND IconOf(HWND box) {
  for (HWND child : ChildrenOfClass(box, L"Static")) {
    if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) return child;
  }
  return nullptr;
}

TEXTMETRICW MetricsOfFont(HWND window) {
  HDC dc = GetDC(window);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)));
  TEXTMETRICW metrics = {};
  GetTextMetricsW(dc, &metrics);
  SelectObject(dc, old);
  ReleaseDC(window, dc);
  return metrics;
}

int DialogUnitX(HWND window) {
  HDC dc = GetDC(window);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)));
  SIZE letters = {};
  GetTextExtentPoint32W(dc, L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", 52, &letters);
  SelectObject(dc, old);
  ReleaseDC(window, dc);
  return letters.cx / 52;
}

// ---------------------------------------------------------------------------
// CustomMessageDlg

TEST_F(DialogsTest, ConfirmationWithYesNoCancelShowsThemInOrderWithYesDefaultAndEscGivesCancel) {
  std::vector<std::wstring> texts;
  bool yes_default = false, others_default = true, yes_focused = false;
  const int result = RunMessageBox(
      "Save the changes?", MessageKind::kConfirmation,
      {MessageButton::kCancel, MessageButton::kYes, MessageButton::kNo}, {[&](HWND box) {
        const std::vector<HWND> buttons = ButtonsOf(box);
        texts = TextsOf(buttons);
        ASSERT_EQ(buttons.size(), 3u);
        yes_default = IsDefaultButton(buttons[0]);
        others_default = IsDefaultButton(buttons[1]) || IsDefaultButton(buttons[2]);
        yes_focused = GetFocus() == buttons[0];
        PressKey(box, VK_ESCAPE);
      }});
  EXPECT_EQ(texts, (std::vector<std::wstring>{L"Yes", L"No", L"Cancel"}));
  EXPECT_TRUE(yes_default);
  EXPECT_FALSE(others_default);
  EXPECT_TRUE(yes_focused);
  EXPECT_EQ(result, kResultCancel);
}

TEST_F(DialogsTest, EnterPressesYesInAConfirmation) {
  EXPECT_EQ(RunMessageBox("Save?", MessageKind::kConfirmation,
                          {MessageButton::kYes, MessageButton::kNo, MessageButton::kCancel},
                          {[](HWND box) { PressKey(box, VK_RETURN); }}),
            kResultYes);
}

TEST_F(DialogsTest, EscGivesNoWhenThereIsNoCancel) {
  EXPECT_EQ(RunMessageBox("Remove?", MessageKind::kConfirmation,
                          {MessageButton::kYes, MessageButton::kNo},
                          {[](HWND box) { PressKey(box, VK_ESCAPE); }}),
            kResultNo);
}

TEST_F(DialogsTest, ErrorWithOkGivesOkForEnterAndForEsc) {
  std::wstring caption;
  EXPECT_EQ(RunMessageBox("Error saving changes tree !", MessageKind::kError, {MessageButton::kOk},
                          {[&](HWND box) {
                            caption = WindowTextOf(box);
                            PressKey(box, VK_RETURN);
                          }}),
            kResultOk);
  EXPECT_EQ(caption, L"Error");
  EXPECT_EQ(RunMessageBox("Error saving changes tree !", MessageKind::kError, {MessageButton::kOk},
                          {[](HWND box) { PressKey(box, VK_ESCAPE); }}),
            kResultOk);
}

TEST_F(DialogsTest, EnterPressesTheButtonThatHasTheFocus) {
  EXPECT_EQ(RunMessageBox("Save?", MessageKind::kConfirmation,
                          {MessageButton::kYes, MessageButton::kNo, MessageButton::kCancel},
                          {[](HWND box) { PressKey(box, VK_TAB); },
                           [](HWND box) {
                             EXPECT_EQ(WindowTextOf(GetFocus()), L"No");
                             PressKey(box, VK_RETURN);
                           }}),
            kResultNo);
}

TEST_F(DialogsTest, EveryButtonGivesItsResultAndTheyStandInTableOrder) {
  const MessageButtons all = {MessageButton::kYes,     MessageButton::kNo,
                              MessageButton::kOk,      MessageButton::kCancel,
                              MessageButton::kAbort,   MessageButton::kRetry,
                              MessageButton::kIgnore,  MessageButton::kAll,
                              MessageButton::kNoToAll, MessageButton::kYesToAll};
  const std::vector<std::wstring> expected_texts = {L"Yes",     L"No",      L"OK",     L"Cancel",
                                                    L"Abort",   L"Retry",   L"Ignore", L"All",
                                                    L"NoToAll", L"YesToAll"};
  const int expected_results[] = {6, 7, 1, 2, 3, 4, 5, 8, 9, 10};
  for (int index = 0; index < kMessageButtonCount; ++index) {
    SCOPED_TRACE(index);
    std::vector<std::wstring> texts;
    const int result = RunMessageBox("All of them", MessageKind::kInformation, all, {[&](HWND box) {
                                       const std::vector<HWND> buttons = ButtonsOf(box);
                                       texts = TextsOf(buttons);
                                       ASSERT_EQ(buttons.size(), 10u);
                                       Click(buttons[static_cast<size_t>(index)]);
                                     }});
    EXPECT_EQ(texts, expected_texts);
    EXPECT_EQ(result, expected_results[index]);
    EXPECT_EQ(MessageButtonResult(static_cast<MessageButton>(index)), expected_results[index]);
  }
}

TEST_F(DialogsTest, RetryIsTheDefaultWithoutOkAndYes) {
  bool retry_default = false;
  EXPECT_EQ(RunMessageBox("The file is in use.", MessageKind::kWarning,
                          {MessageButton::kAbort, MessageButton::kRetry, MessageButton::kIgnore},
                          {[&](HWND box) {
                            const std::vector<HWND> buttons = ButtonsOf(box);
                            ASSERT_EQ(buttons.size(), 3u);
                            retry_default = IsDefaultButton(buttons[1]);
                            PressKey(box, VK_RETURN);
                          }}),
            kResultRetry);
  EXPECT_TRUE(retry_default);
}

TEST_F(DialogsTest, ClosingByTheBorderGivesCancel) {
  EXPECT_EQ(RunMessageBox("Remove?", MessageKind::kConfirmation,
                          {MessageButton::kYes, MessageButton::kNo},
                          {[](HWND box) { PostMessageW(box, WM_SYSCOMMAND, SC_CLOSE, 0); }}),
            kResultCancel);
}

TEST_F(DialogsTest, CaptionAndIconFollowTheKind) {
  struct Case {
    MessageKind kind;
    std::wstring caption;
    bool icon;
  };
  for (const Case& expected :
       {Case{MessageKind::kWarning, L"Warning", true}, Case{MessageKind::kError, L"Error", true},
        Case{MessageKind::kInformation, L"Information", true},
        Case{MessageKind::kConfirmation, L"Confirm", true},
        Case{MessageKind::kCustom, L"Corvane", false}}) {
    SCOPED_TRACE(ToUtf8(expected.caption));
    std::wstring caption;
    HWND icon = nullptr;
    HICON image = nullptr;
    SIZE icon_size = {};
    RunMessageBox("Text", expected.kind, {MessageButton::kOk}, {[&](HWND box) {
                    caption = WindowTextOf(box);
                    icon = IconOf(box);
                    if (icon != nullptr) {
                      image = reinterpret_cast<HICON>(SendMessageW(icon, STM_GETICON, 0, 0));
                      icon_size = ClientSize(icon);
                    }
                    PressKey(box, VK_RETURN);
                  }});
    EXPECT_EQ(caption, expected.caption);
    EXPECT_EQ(icon != nullptr, expected.icon);
    if (expected.icon) {
      EXPECT_NE(image, nullptr);
      EXPECT_EQ(icon_size.cx, 32);
      EXPECT_EQ(icon_size.cy, 32);
    }
  }
}

TEST_F(DialogsTest, LayoutFollowsTheDialogUnitsOfItsFont) {
  RunMessageBox(
      "Short", MessageKind::kError, {MessageButton::kYes, MessageButton::kNo}, {[](HWND box) {
        const int cx = DialogUnitX(MessageTextOf(box));
        const int cy = MetricsOfFont(MessageTextOf(box)).tmHeight;
        const std::vector<HWND> buttons = ButtonsOf(box);
        ASSERT_EQ(buttons.size(), 2u);
        const RECT yes = BoundsInParent(buttons[0]);
        const RECT no = BoundsInParent(buttons[1]);
        EXPECT_EQ(yes.right - yes.left, MulDiv(50, cx, 4));  // "Yes" is narrower
        EXPECT_EQ(yes.bottom - yes.top, MulDiv(14, cy, 8));
        EXPECT_EQ(no.left - yes.right, MulDiv(4, cx, 4));
        // The icon at the margins, the text after it and the spacing, the
        // buttons below the icon (taller than one line of text).
        const RECT icon = BoundsInParent(IconOf(box));
        EXPECT_EQ(icon.left, MulDiv(8, cx, 4));
        EXPECT_EQ(icon.top, MulDiv(8, cy, 8));
        const RECT text = BoundsInParent(MessageTextOf(box));
        EXPECT_EQ(text.left, icon.right + MulDiv(10, cx, 4));
        EXPECT_EQ(yes.top, 32 + MulDiv(8, cy, 8) + MulDiv(10, cy, 8));
        const SIZE client = ClientSize(box);
        EXPECT_EQ(client.cy, 32 + MulDiv(10, cy, 8) + MulDiv(14, cy, 8) + 2 * MulDiv(8, cy, 8));
        // One row, centred.
        EXPECT_NEAR((yes.left + no.right) / 2.0, client.cx / 2.0, 1.0);
        PressKey(box, VK_RETURN);
      }});
}

TEST_F(DialogsTest, ALineFeedMakesTwoLines) {
  int one_line = 0, two_lines = 0, line_height = 0;
  SIZE one_line_box = {}, two_line_box = {};
  const auto measure = [&](int* height, SIZE* box_size) {
    return [=, &line_height](HWND box) {
      const RECT text = BoundsInParent(MessageTextOf(box));
      *height = text.bottom - text.top;
      *box_size = ClientSize(box);
      line_height = MetricsOfFont(MessageTextOf(box)).tmHeight;
      PressKey(box, VK_RETURN);
    };
  };
  RunMessageBox("First line", MessageKind::kCustom, {MessageButton::kOk},
                {measure(&one_line, &one_line_box)});
  RunMessageBox("First line\nSecond line", MessageKind::kCustom, {MessageButton::kOk},
                {measure(&two_lines, &two_line_box)});
  EXPECT_EQ(one_line, line_height);
  EXPECT_EQ(two_lines, 2 * line_height);
  EXPECT_EQ(two_line_box.cy, one_line_box.cy + line_height);
}

TEST_F(DialogsTest, ALongMessageWrapsAtHalfTheScreenWidth) {
  std::string text;
  for (int i = 0; i < 60; ++i) text += "Corvane records the changes of a setup program. ";
  const int half_screen = GetSystemMetrics(SM_CXSCREEN) / 2;
  RunMessageBox(text, MessageKind::kWarning, {MessageButton::kOk}, {[&](HWND box) {
                  HWND label = MessageTextOf(box);
                  const RECT bounds = BoundsInParent(label);
                  const int line_height = MetricsOfFont(MessageTextOf(box)).tmHeight;
                  EXPECT_LE(bounds.right - bounds.left, half_screen);
                  EXPECT_GT(bounds.right - bounds.left, half_screen * 3 / 4);
                  EXPECT_GT(bounds.bottom - bounds.top, 4 * line_height);
                  // Margins, icon and spacing are all the box adds.
                  const RECT icon = BoundsInParent(IconOf(box));
                  EXPECT_EQ(ClientSize(box).cx, bounds.right + icon.left);
                  PressKey(box, VK_RETURN);
                }});
}

TEST_F(DialogsTest, TheBoxIsCentredOnTheScreen) {
  RunMessageBox(
      "Centred", MessageKind::kInformation, {MessageButton::kOk}, {[](HWND box) {
        RECT bounds = {};
        GetWindowRect(box, &bounds);
        EXPECT_NEAR((bounds.left + bounds.right) / 2.0, GetSystemMetrics(SM_CXSCREEN) / 2.0, 1.0);
        EXPECT_NEAR((bounds.top + bounds.bottom) / 2.0, GetSystemMetrics(SM_CYSCREEN) / 2.0, 1.0);
        PressKey(box, VK_RETURN);
      }});
}

TEST_F(DialogsTest, TheActiveWindowOwnsTheBoxLendsItsFontAndIsDisabledMeanwhile) {
  HWND owner = ShowOwner();
  ASSERT_EQ(GetActiveWindow(), owner);
  LOGFONTW owner_font = {};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(GetWindow(owner, GW_CHILD), WM_GETFONT, 0, 0)),
             sizeof(owner_font), &owner_font);

  HWND box_owner = nullptr;
  bool owner_enabled_meanwhile = true;
  LOGFONTW box_font = {};
  RunMessageBox("Owned", MessageKind::kInformation, {MessageButton::kOk}, {[&](HWND box) {
                  box_owner = GetWindow(box, GW_OWNER);
                  owner_enabled_meanwhile = IsWindowEnabled(owner) != FALSE;
                  GetObjectW(
                      reinterpret_cast<HFONT>(SendMessageW(MessageTextOf(box), WM_GETFONT, 0, 0)),
                      sizeof(box_font), &box_font);
                  PressKey(box, VK_RETURN);
                }});
  EXPECT_EQ(box_owner, owner);
  EXPECT_FALSE(owner_enabled_meanwhile);
  EXPECT_TRUE(IsWindowEnabled(owner));
  EXPECT_STREQ(box_font.lfFaceName, owner_font.lfFaceName);
  EXPECT_STREQ(box_font.lfFaceName, L"Tahoma");
  EXPECT_EQ(box_font.lfHeight, owner_font.lfHeight);
}

TEST_F(DialogsTest, TranslatedCaptionsAndALongerYesWidenTheButtons) {
  const auto button_widths = [](std::vector<std::wstring>* texts, std::wstring* caption) {
    std::vector<int> widths;
    RunMessageBox("Save?", MessageKind::kConfirmation, {MessageButton::kYes, MessageButton::kNo},
                  {[&](HWND box) {
                    *caption = WindowTextOf(box);
                    for (HWND button : ButtonsOf(box)) {
                      const RECT bounds = BoundsInParent(button);
                      widths.push_back(bounds.right - bounds.left);
                    }
                    *texts = TextsOf(ButtonsOf(box));
                    PressKey(box, VK_ESCAPE);
                  }});
    return widths;
  };
  std::vector<std::wstring> english_texts, german_texts;
  std::wstring english_caption, german_caption;
  const std::vector<int> english = button_widths(&english_texts, &english_caption);

  i18n::LanguageFileWriter writer;
  writer.Section("RESOURCESTRING")
      .Key("RS_DLG_CNF", "Best\xE4tigen")
      .Key("RS_DLG_YES", "Ja, alle \xC4nderungen jetzt speichern")
      .Key("RS_DLG_NO", "Nein");
  std::vector<int> german;
  {
    InstalledLanguage language(writer);
    german = button_widths(&german_texts, &german_caption);
  }

  EXPECT_EQ(english_caption, L"Confirm");
  EXPECT_EQ(english_texts, (std::vector<std::wstring>{L"Yes", L"No"}));
  EXPECT_EQ(german_caption, L"Best\u00E4tigen");
  EXPECT_EQ(german_texts,
            (std::vector<std::wstring>{L"Ja, alle \u00C4nderungen jetzt speichern", L"Nein"}));
  ASSERT_EQ(english.size(), 2u);
  ASSERT_EQ(german.size(), 2u);
  EXPECT_EQ(english[0], english[1]);
  EXPECT_EQ(german[0], german[1]);  // every button as wide as the widest caption
  EXPECT_GT(german[0], english[0]);
}

// A language chosen while the program runs must not leave the buttons as
// wide as the captions of the language before.
TEST_F(DialogsTest, ButtonWidthsAreMeasuredForTheCurrentCaptions) {
  i18n::LanguageFileWriter writer;
  writer.Section("RESOURCESTRING").Key("RS_DLG_OK", "Verstanden, weiter so");
  int translated_width = 0, english_width = 0;
  const auto measure = [](int* width) {
    return [width](HWND box) {
      const RECT bounds = BoundsInParent(ButtonsOf(box).at(0));
      *width = bounds.right - bounds.left;
      PressKey(box, VK_RETURN);
    };
  };
  {
    InstalledLanguage language(writer);
    RunMessageBox("Done", MessageKind::kInformation, {MessageButton::kOk},
                  {measure(&translated_width)});
  }
  RunMessageBox("Done", MessageKind::kInformation, {MessageButton::kOk}, {measure(&english_width)});
  EXPECT_LT(english_width, translated_width);
}

TEST_F(DialogsTest, AnAmpersandInTheMessageIsShown) {
  std::wstring text;
  RunMessageBox("Copy & paste", MessageKind::kInformation, {MessageButton::kOk}, {[&](HWND box) {
                  text = WindowTextOf(MessageTextOf(box));
                  EXPECT_NE(GetWindowLongW(MessageTextOf(box), GWL_STYLE) & SS_NOPREFIX, 0);
                  PressKey(box, VK_RETURN);
                }});
  EXPECT_EQ(text, L"Copy & paste");
}

// ---------------------------------------------------------------------------
// TdlgInputText

using InputTextTest = DialogsTest;

TEST_F(InputTextTest, HasTheDesignedLayout) {
  TdlgInputText dialog;
  ASSERT_TRUE(dialog.Create());
  const auto scaled = [&](int value) { return ScaleForDpi(value, dialog.dpi()); };
  EXPECT_EQ(dialog.name(), "dlgInputText");
  EXPECT_EQ(ClientSize(dialog.hwnd()).cx, scaled(305));
  EXPECT_EQ(ClientSize(dialog.hwnd()).cy, scaled(92));
  const LONG style = GetWindowLongW(dialog.hwnd(), GWL_STYLE);
  EXPECT_EQ(style & (WS_THICKFRAME | WS_MAXIMIZEBOX | WS_MINIMIZEBOX), 0);
  EXPECT_NE(GetWindowLongW(dialog.hwnd(), GWL_EXSTYLE) & WS_EX_DLGMODALFRAME, 0);

  const RECT label = BoundsInParent(dialog.lblLabel().hwnd());
  EXPECT_EQ(label.left, scaled(8));
  EXPECT_EQ(label.top, scaled(12));
  const RECT edit = BoundsInParent(dialog.edText().hwnd());
  EXPECT_EQ(edit.left, scaled(8));
  EXPECT_EQ(edit.top, scaled(28));
  EXPECT_EQ(edit.right - edit.left, scaled(289));
  const RECT ok = BoundsInParent(dialog.btnOk().hwnd());
  EXPECT_EQ(ok.left, scaled(140));
  EXPECT_EQ(ok.top, scaled(60));
  const RECT cancel = BoundsInParent(dialog.btnCancel().hwnd());
  EXPECT_EQ(cancel.left, scaled(224));
  EXPECT_EQ(cancel.top, scaled(60));
  EXPECT_EQ(dialog.btnOk().Text(), "&Ok");
  EXPECT_EQ(dialog.btnCancel().Text(), "&Cancel");
  EXPECT_TRUE(IsDefaultButton(dialog.btnOk().hwnd()));
  EXPECT_FALSE(IsWindowEnabled(dialog.btnOk().hwnd()));

  LOGFONTW font = {};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(dialog.edText().hwnd(), WM_GETFONT, 0, 0)),
             sizeof(font), &font);
  EXPECT_STREQ(font.lfFaceName, L"Tahoma");
  EXPECT_EQ(font.lfHeight, -MulDiv(8, dialog.dpi(), 72));
}

TEST_F(InputTextTest, OkFollowsTheTextAndEscCancels) {
  TdlgInputText dialog;
  ASSERT_TRUE(dialog.Create());
  HWND ok = dialog.btnOk().hwnd();
  HWND edit = dialog.edText().hwnd();
  std::vector<bool> ok_enabled;
  DialogDriver driver(TdlgInputText::kClassName,
                      {[&](HWND box) {
                         ok_enabled.push_back(IsWindowEnabled(ok) != FALSE);
                         EXPECT_EQ(GetFocus(), edit);
                         PressKey(box, VK_RETURN);  // nothing: Ok is disabled
                         TypeText(box, L"x");
                       },
                       [&](HWND box) {
                         ok_enabled.push_back(IsWindowEnabled(ok) != FALSE);
                         TypeText(box, L"\b");  // backspace clears it again
                       },
                       [&](HWND box) {
                         ok_enabled.push_back(IsWindowEnabled(ok) != FALSE);
                         PressKey(box, VK_ESCAPE);
                       }});
  EXPECT_EQ(dialog.ShowModal(nullptr), kResultCancel);
  EXPECT_TRUE(driver.finished());
  EXPECT_EQ(ok_enabled, (std::vector<bool>{false, true, false}));
}

TEST_F(InputTextTest, EnterWithTextGivesOkAndTheTextTyped) {
  HWND owner = ShowOwner();
  bool owner_enabled_meanwhile = true;
  std::wstring caption;
  DialogDriver driver(TdlgInputText::kClassName, {[&](HWND box) {
                                                    caption = WindowTextOf(box);
                                                    owner_enabled_meanwhile =
                                                        IsWindowEnabled(owner) != FALSE;
                                                    TypeText(box, L"Gr\u00F6\u00DFe \u65E5\u672C");
                                                  },
                                                  [&](HWND box) { PressKey(box, VK_RETURN); }});
  const std::optional<std::string> text = InputText(
      owner,
      {.caption = "Rename", .label = "New name", .ok_caption = "Ok", .cancel_caption = "Cancel"});
  EXPECT_TRUE(driver.finished());
  EXPECT_EQ(caption, L"Rename");
  EXPECT_FALSE(owner_enabled_meanwhile);
  EXPECT_TRUE(IsWindowEnabled(owner));
  EXPECT_EQ(text,
            "Gr\xC3\xB6\xC3\x9F"
            "e \xE6\x97\xA5\xE6\x9C\xAC");
}

TEST_F(InputTextTest, AnInitialTextEnablesOkAndEscGivesNothing) {
  bool ok_enabled = false;
  std::wstring label;
  DialogDriver driver(TdlgInputText::kClassName, {[&](HWND box) {
                        HWND ok = testing::FindDescendant(box, L"Button", L"Ok");
                        ok_enabled = ok != nullptr && IsWindowEnabled(ok);
                        label = WindowTextOf(testing::FindDescendant(box, L"Static", L"New name"));
                        PressKey(box, VK_ESCAPE);
                      }});
  EXPECT_EQ(InputText(nullptr, {.caption = "Rename",
                                .label = "New name",
                                .ok_caption = "Ok",
                                .cancel_caption = "Cancel",
                                .initial_text = "Editor"}),
            std::nullopt);
  EXPECT_TRUE(driver.finished());
  EXPECT_TRUE(ok_enabled);
  EXPECT_EQ(label, L"New name");
}

TEST_F(InputTextTest, IsCentredOnItsOwner) {
  HWND owner = ShowOwner();
  SetWindowPos(owner, nullptr, 40, 30, 500, 400, SWP_NOZORDER);
  RECT dialog_bounds = {};
  DialogDriver driver(TdlgInputText::kClassName, {[&](HWND box) {
                        GetWindowRect(box, &dialog_bounds);
                        PressKey(box, VK_ESCAPE);
                      }});
  InputText(owner, {.caption = "Rename"});
  EXPECT_TRUE(driver.finished());
  EXPECT_NEAR((dialog_bounds.left + dialog_bounds.right) / 2.0, 40 + 250, 1.0);
  EXPECT_NEAR((dialog_bounds.top + dialog_bounds.bottom) / 2.0, 30 + 200, 1.0);
}

// ---------------------------------------------------------------------------
// TdlgAboutCvn

TEST_F(DialogsTest, AboutShowsTheProgramAndOkGivesOk) {
  TdlgAboutCvn dialog;
  ASSERT_TRUE(dialog.Create());
  EXPECT_EQ(dialog.name(), "dlgAboutCvn");
  EXPECT_EQ(ClientSize(dialog.hwnd()).cx, ScaleForDpi(301, dialog.dpi()));
  EXPECT_EQ(ClientSize(dialog.hwnd()).cy, ScaleForDpi(185, dialog.dpi()));
  std::wstring caption;
  HWND version = nullptr;
  HICON icon = nullptr;
  SIZE icon_size = {};
  LOGFONTW version_font = {};
  DialogDriver driver(TdlgAboutCvn::kClassName, {[&](HWND box) {
                        caption = WindowTextOf(box);
                        version = testing::FindDescendant(box, L"Static", L"Corvane 2.35");
                        if (version != nullptr) {
                          GetObjectW(
                              reinterpret_cast<HFONT>(SendMessageW(version, WM_GETFONT, 0, 0)),
                              sizeof(version_font), &version_font);
                        }
                        HWND image = dialog.FindComponent("imgIcon")->hwnd();
                        icon = reinterpret_cast<HICON>(SendMessageW(image, STM_GETICON, 0, 0));
                        ICONINFO info = {};
                        BITMAP bitmap = {};
                        if (icon != nullptr && GetIconInfo(icon, &info)) {
                          GetObjectW(info.hbmColor != nullptr ? info.hbmColor : info.hbmMask,
                                     sizeof(bitmap), &bitmap);
                          icon_size = {bitmap.bmWidth, bitmap.bmWidth};
                          if (info.hbmColor != nullptr) DeleteObject(info.hbmColor);
                          DeleteObject(info.hbmMask);
                        }
                        Click(dialog.FindComponent("btnOk")->hwnd());
                      }});
  EXPECT_EQ(dialog.ShowModal(nullptr), kResultOk);
  EXPECT_TRUE(driver.finished());
  EXPECT_EQ(caption, L"About");
  ASSERT_NE(version, nullptr);
  EXPECT_EQ(GetWindowLongW(version, GWL_STYLE) & SS_TYPEMASK, SS_CENTER);
  EXPECT_EQ(version_font.lfWeight, FW_BOLD);
  EXPECT_NE(icon, nullptr);
  EXPECT_EQ(icon_size.cx, ScaleForDpi(48, dialog.dpi()));
}

TEST_F(DialogsTest, AboutClosesWithEnterAndWithEsc) {
  for (const UINT key : {VK_RETURN, VK_ESCAPE}) {
    SCOPED_TRACE(key);
    TdlgAboutCvn dialog;
    ASSERT_TRUE(dialog.Create());
    DialogDriver driver(TdlgAboutCvn::kClassName, {[key](HWND box) { PressKey(box, key); }});
    EXPECT_EQ(dialog.ShowModal(nullptr), kResultOk);
    EXPECT_TRUE(driver.finished());
  }
}

TEST_F(DialogsTest, AboutIsTranslatedWhenShown) {
  i18n::LanguageFileWriter writer;
  writer.Section("dlgAboutCvn")
      .Key("Caption",
           "\xDC"
           "ber Corvane")
      .Key("btnOk.Caption",
           "&Schlie\xDF"
           "en")
      .Key("lblDescription.Caption", "Installationsmonitor");
  InstalledLanguage language(writer);
  std::wstring caption, ok_text, description;
  DialogDriver driver(TdlgAboutCvn::kClassName, {[&](HWND box) {
                        caption = WindowTextOf(box);
                        ok_text = TextsOf(ChildrenOfClass(box, L"Button")).back();
                        description = WindowTextOf(
                            testing::FindDescendant(box, L"Static", L"Installationsmonitor"));
                        PressKey(box, VK_RETURN);
                      }});
  ShowAboutDialog(nullptr);
  EXPECT_TRUE(driver.finished());
  EXPECT_EQ(caption, L"\u00DCber Corvane");
  EXPECT_EQ(ok_text, L"&Schlie\u00DFen");
  EXPECT_EQ(description, L"Installationsmonitor");
}

// ---------------------------------------------------------------------------
// The English template names every text of the dialogs.

TEST_F(DialogsTest, TheEnglishTemplateNamesEveryTextOfTheInputDialog) {
  TdlgInputText dialog;
  ASSERT_TRUE(dialog.Create());
  ExpectTemplateDescribes(dialog);
}

TEST_F(DialogsTest, TheEnglishTemplateNamesEveryTextOfTheAboutDialog) {
  TdlgAboutCvn dialog;
  ASSERT_TRUE(dialog.Create());
  ExpectTemplateDescribes(dialog);
}

}  // namespace
}  // namespace cvn::ui

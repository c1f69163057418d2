// The named-component layer on real windows: components found by name, text
// properties read and set by name (as language files do), click dispatch to
// the handlers a form binds, and anchored layout.
#include "ui/component.h"

#include "platform/win32/windows_api.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tests/ui/ui_test_util.h"
#include "ui/form.h"
#include "ui/utf16.h"

namespace cvn::ui {
namespace {

using testing::PumpMessagesUntil;
using testing::WindowTextOf;

// A small form with one component of each kind the layer distinguishes.
class TfrmProbe : public Form {
 public:
  TfrmProbe() : Form("TfrmProbe", {320, 240}, {300, 200}) {}

  bool Create() { return CreateForm("Probe"); }

  Component* btnOk = nullptr;
  Component* edName = nullptr;
  Component* pnlBox = nullptr;
  Component* btnInner = nullptr;
  Component* pmiCopy = nullptr;
  int ok_clicks = 0;
  int inner_clicks = 0;
  int closes = 0;

 protected:
  void FormCreate() override {
    btnOk = &AddButton("btnOk", "&OK", nullptr, {{8, 8, 80, 24}});
    edName = &AddEdit("edName", nullptr, {{8, 40, 120, 21}});
    pnlBox = &AddPanel("pnlBox", nullptr, {{8, 70, 280, 120}, kAnchorAll});
    btnInner =
        &AddButton("btnInner", "Inner", pnlBox, {{190, 86, 80, 24}, kAnchorRight | kAnchorBottom});
    pmiCopy = &AddNonWindowed("pmiCopy", kCaption | kHint, "&Copy");
    OnClick(*btnOk, [this] { ++ok_clicks; });
    OnClick(*btnInner, [this] { ++inner_clicks; });
    SetDefaultButton(*btnOk);
  }
  void FormClose() override { ++closes; }
};

class ComponentTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(form_.Create()); }

  TfrmProbe form_;
};

TEST_F(ComponentTest, FormIsNamedAfterItsClassWithoutTheT) {
  EXPECT_EQ(form_.class_name(), "TfrmProbe");
  EXPECT_EQ(form_.name(), "frmProbe");
  EXPECT_EQ(testing::ClassNameOf(form_.hwnd()), L"TfrmProbe");
}

TEST_F(ComponentTest, FindComponentIgnoresLetterCase) {
  EXPECT_EQ(form_.FindComponent("btnOk"), form_.btnOk);
  EXPECT_EQ(form_.FindComponent("BTNOK"), form_.btnOk);
  EXPECT_EQ(form_.FindComponent("pmicopy"), form_.pmiCopy);
  EXPECT_EQ(form_.FindComponent("btnCancel"), nullptr);
}

TEST_F(ComponentTest, ButtonCaptionIsItsWindowText) {
  EXPECT_EQ(form_.btnOk->GetProperty("Caption"), "&OK");
  ASSERT_TRUE(form_.btnOk->SetProperty("Caption", "&Fine"));
  EXPECT_EQ(WindowTextOf(form_.btnOk->hwnd()), L"&Fine");
}

TEST_F(ComponentTest, ButtonHasNoTextProperty) {
  EXPECT_FALSE(form_.btnOk->HasProperty("Text"));
  EXPECT_FALSE(form_.btnOk->SetProperty("Text", "changed"));
  EXPECT_EQ(form_.btnOk->GetProperty("Text"), std::nullopt);
  EXPECT_EQ(WindowTextOf(form_.btnOk->hwnd()), L"&OK");
}

TEST_F(ComponentTest, EditHasTextButNoCaption) {
  ASSERT_TRUE(form_.edName->SetProperty("Text", "Editor"));
  EXPECT_EQ(WindowTextOf(form_.edName->hwnd()), L"Editor");
  EXPECT_EQ(form_.edName->GetProperty("Text"), "Editor");
  EXPECT_FALSE(form_.edName->SetProperty("Caption", "other"));
  EXPECT_EQ(form_.edName->GetProperty("Caption"), std::nullopt);
}

TEST_F(ComponentTest, PropertyNamesIgnoreLetterCase) {
  ASSERT_TRUE(form_.btnOk->SetProperty("CAPTION", "Yes"));
  EXPECT_EQ(form_.btnOk->GetProperty("caption"), "Yes");
  ASSERT_TRUE(form_.btnOk->SetProperty("hint", "Accepts"));
  EXPECT_EQ(form_.btnOk->GetProperty("Hint"), "Accepts");
}

TEST_F(ComponentTest, UnknownPropertiesAreIgnored) {
  EXPECT_FALSE(form_.btnOk->SetProperty("Font", "Arial"));
  EXPECT_FALSE(form_.btnOk->SetProperty("Name", "btnOther"));
  EXPECT_EQ(form_.btnOk->GetProperty("Font"), std::nullopt);
  EXPECT_EQ(form_.btnOk->name(), "btnOk");
  EXPECT_EQ(WindowTextOf(form_.btnOk->hwnd()), L"&OK");
}

TEST_F(ComponentTest, HintIsKeptApartFromTheCaption) {
  ASSERT_TRUE(form_.btnOk->SetProperty("Hint", "Accepts the entry"));
  EXPECT_EQ(form_.btnOk->GetProperty("Hint"), "Accepts the entry");
  EXPECT_EQ(form_.btnOk->GetProperty("Caption"), "&OK");
}

TEST_F(ComponentTest, NonWindowedComponentKeepsItsTexts) {
  EXPECT_FALSE(form_.pmiCopy->windowed());
  EXPECT_EQ(form_.pmiCopy->GetProperty("Caption"), "&Copy");
  ASSERT_TRUE(form_.pmiCopy->SetProperty("Caption", "&Kopieren"));
  ASSERT_TRUE(form_.pmiCopy->SetProperty("Hint", "In die Zwischenablage"));
  EXPECT_EQ(form_.pmiCopy->Text(), "&Kopieren");
  EXPECT_EQ(form_.pmiCopy->GetProperty("Hint"), "In die Zwischenablage");
  EXPECT_FALSE(form_.pmiCopy->SetProperty("Text", "x"));
}

TEST_F(ComponentTest, TextsOutsideTheAnsiCodePageRoundTrip) {
  const std::string japanese = "インストール 😀";
  form_.btnOk->SetText(japanese);
  EXPECT_EQ(WindowTextOf(form_.btnOk->hwnd()),
            L"\u30A4\u30F3\u30B9\u30C8\u30FC\u30EB \xD83D\xDE00");
  EXPECT_EQ(form_.btnOk->Text(), japanese);
  form_.SetCaption(japanese);
  EXPECT_EQ(form_.Caption(), japanese);
}

TEST_F(ComponentTest, LanguageFileKeySetsTheFormCaption) {
  ASSERT_TRUE(form_.SetTextByKey("Caption", "Sonde"));
  EXPECT_EQ(WindowTextOf(form_.hwnd()), L"Sonde");
  EXPECT_EQ(form_.GetTextByKey("caption"), "Sonde");
}

TEST_F(ComponentTest, LanguageFileKeySetsAComponentProperty) {
  ASSERT_TRUE(form_.SetTextByKey("btnOk.Caption", "&Gut"));
  EXPECT_EQ(WindowTextOf(form_.btnOk->hwnd()), L"&Gut");
  ASSERT_TRUE(form_.SetTextByKey("EDNAME.text", "Name"));
  EXPECT_EQ(WindowTextOf(form_.edName->hwnd()), L"Name");
  EXPECT_EQ(form_.GetTextByKey("btnOk.Caption"), "&Gut");
}

TEST_F(ComponentTest, LanguageFileKeyTakesTheComponentBeforeTheFirstDotAndThePropertyAfterTheLast) {
  ASSERT_TRUE(form_.SetTextByKey("btnOk.Glyph.Caption", "Both"));
  EXPECT_EQ(WindowTextOf(form_.btnOk->hwnd()), L"Both");
}

TEST_F(ComponentTest, LanguageFileKeysForMissingComponentsOrPropertiesChangeNothing) {
  EXPECT_FALSE(form_.SetTextByKey("btnCancel.Caption", "Abbrechen"));
  EXPECT_FALSE(form_.SetTextByKey("btnOk.Font", "Arial"));
  EXPECT_FALSE(form_.SetTextByKey("Hint", "x"));
  EXPECT_EQ(form_.GetTextByKey("btnCancel.Caption"), std::nullopt);
  EXPECT_EQ(WindowTextOf(form_.btnOk->hwnd()), L"&OK");
  EXPECT_EQ(WindowTextOf(form_.hwnd()), L"Probe");
}

TEST_F(ComponentTest, ClickReachesTheBoundHandler) {
  SendMessageW(form_.btnOk->hwnd(), BM_CLICK, 0, 0);
  EXPECT_EQ(form_.ok_clicks, 1);
  EXPECT_EQ(form_.inner_clicks, 0);
}

TEST_F(ComponentTest, ClickInsideAPanelReachesTheForm) {
  SendMessageW(form_.btnInner->hwnd(), BM_CLICK, 0, 0);
  EXPECT_EQ(form_.inner_clicks, 1);
  EXPECT_EQ(form_.ok_clicks, 0);
}

TEST_F(ComponentTest, DefaultButtonIsReportedToKeyboardNavigation) {
  const LRESULT default_id = SendMessageW(form_.hwnd(), DM_GETDEFID, 0, 0);
  EXPECT_EQ(HIWORD(default_id), DC_HASDEFID);
  EXPECT_EQ(LOWORD(default_id), form_.btnOk->id());
}

TEST_F(ComponentTest, CommandForADisabledButtonIsNotDispatched) {
  // Enter sends the default button's command even while it is disabled.
  const WPARAM click = MAKEWPARAM(form_.btnOk->id(), BN_CLICKED);
  EnableWindow(form_.btnOk->hwnd(), FALSE);
  SendMessageW(form_.hwnd(), WM_COMMAND, click, 0);
  EXPECT_EQ(form_.ok_clicks, 0);
  EnableWindow(form_.btnOk->hwnd(), TRUE);
  SendMessageW(form_.hwnd(), WM_COMMAND, click, 0);
  EXPECT_EQ(form_.ok_clicks, 1);
}

RECT BoundsInParent(HWND child) {
  RECT bounds = {};
  GetWindowRect(child, &bounds);
  MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&bounds), 2);
  return bounds;
}

TEST_F(ComponentTest, ResizingTheFormMovesAnchoredControls) {
  const RECT inner_before = BoundsInParent(form_.btnInner->hwnd());
  const RECT ok_before = BoundsInParent(form_.btnOk->hwnd());
  RECT window = {};
  GetWindowRect(form_.hwnd(), &window);
  SetWindowPos(form_.hwnd(), nullptr, 0, 0, window.right - window.left + 50,
               window.bottom - window.top + 30, SWP_NOMOVE | SWP_NOZORDER);

  const RECT inner_after = BoundsInParent(form_.btnInner->hwnd());
  EXPECT_EQ(inner_after.left - inner_before.left, 50);
  EXPECT_EQ(inner_after.top - inner_before.top, 30);
  EXPECT_EQ(inner_after.right - inner_after.left, inner_before.right - inner_before.left);
  const RECT ok_after = BoundsInParent(form_.btnOk->hwnd());
  EXPECT_EQ(ok_after.left, ok_before.left);
  EXPECT_EQ(ok_after.top, ok_before.top);
}

TEST_F(ComponentTest, CloseRunsFormCloseAndDestroysTheWindow) {
  const HWND hwnd = form_.hwnd();
  form_.Close();
  ASSERT_TRUE(PumpMessagesUntil([&] { return !IsWindow(hwnd); }));
  EXPECT_EQ(form_.closes, 1);
  EXPECT_EQ(form_.hwnd(), nullptr);
}

}  // namespace
}  // namespace cvn::ui

// The named-component layer on real windows: texts read and set by
// language-file key (component and property found by name), click dispatch
// to the handlers a form binds, anchored layout.
#include "ui/component.h"

#include "tests/ui/ui_test_util.h"
#include "ui/form.h"

namespace cvn::ui {
namespace {

using testing::BoundsInParent;
using testing::WindowTextOf;

// A small form with one component of each kind the layer distinguishes.
class TfrmProbe : public Form {
 public:
  TfrmProbe() : Form("TfrmProbe", {320, 240}, {300, 200}) {}
  bool Create() { return CreateForm("Probe"); }

  Component *btnOk = nullptr, *edName = nullptr, *pnlBox = nullptr, *btnInner = nullptr;
  Component* pmiCopy = nullptr;
  int ok_clicks = 0;

 protected:
  void FormCreate() override {
    btnOk = &AddButton("btnOk", "&OK", nullptr, {{8, 8, 80, 24}});
    edName = &AddEdit("edName", nullptr, {{8, 40, 120, 21}});
    pnlBox = &AddPanel("pnlBox", nullptr, {{8, 70, 280, 120}, kAnchorAll});
    btnInner =
        &AddButton("btnInner", "Inner", pnlBox, {{190, 86, 80, 24}, kAnchorRight | kAnchorBottom});
    pmiCopy = &AddNonWindowed("pmiCopy", kCaption | kHint, "&Copy");
    OnClick(*btnOk, [this] { ++ok_clicks; });
    SetDefaultButton(*btnOk);
  }
};

class ComponentTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(form_.Create()); }
  TfrmProbe form_;
};

TEST(ComponentKeyTest, LanguageFileKeysSetTheTextPropertiesTheComponentsHave) {
  struct Case {
    const char* key;
    const char* value;
    bool set;
    const char* shows;  // the component whose window text is checked; null: the form
    std::wstring text;  // its window text afterwards
  };
  const Case cases[] = {
      {"Caption", "Sonde 😀", true, nullptr, L"Sonde \xD83D\xDE00"},
      {"btnOk.Caption", "&Gut", true, "btnOk", L"&Gut"},
      {"BTNOK.CAPTION", "Yes", true, "btnOk", L"Yes"},          // names ignore letter case
      {"btnOk.Glyph.Caption", "Both", true, "btnOk", L"Both"},  // component.....property
      {"btnOk.hint", "Accepts", true, "btnOk", L"&OK"},         // kept apart from the caption
      {"btnOk.Text", "changed", false, "btnOk", L"&OK"},        // a button has no Text
      {"EDNAME.text", "Editor", true, "edName", L"Editor"},
      {"edName.Caption", "other", false, "edName", L""},  // an edit has no Caption
      {"btnCancel.Caption", "Abbrechen", false, nullptr, L"Probe"},
      {"pmiCopy.Caption", "&Kopieren", true, nullptr, L"Probe"},  // non-windowed
      {"pmiCopy.Hint", "In die Zwischenablage", true, nullptr, L"Probe"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    TfrmProbe form;
    ASSERT_TRUE(form.Create());
    EXPECT_EQ(form.SetTextByKey(c.key, c.value), c.set);
    EXPECT_EQ(form.GetTextByKey(c.key), c.set ? std::optional<std::string>(c.value) : std::nullopt);
    EXPECT_EQ(WindowTextOf(c.shows ? form.FindComponent(c.shows)->hwnd() : form.hwnd()), c.text);
  }
}

// A click inside a panel reaching its handler is the main window's About case.
TEST_F(ComponentTest, EnterReachesTheDefaultButtonsHandlerOnlyWhileItIsEnabled) {
  const WPARAM click = MAKEWPARAM(form_.btnOk->id(), BN_CLICKED);
  EnableWindow(form_.btnOk->hwnd(), FALSE);
  SendMessageW(form_.hwnd(), WM_COMMAND, click, 0);
  EXPECT_EQ(form_.ok_clicks, 0);
  EnableWindow(form_.btnOk->hwnd(), TRUE);
  SendMessageW(form_.hwnd(), WM_COMMAND, click, 0);
  EXPECT_EQ(form_.ok_clicks, 1);
}

TEST_F(ComponentTest, ResizingTheFormMovesAnchoredControls) {
  const RECT inner_before = BoundsInParent(form_.btnInner->hwnd());
  const RECT ok_before = BoundsInParent(form_.btnOk->hwnd());
  RECT window = {};
  GetWindowRect(form_.hwnd(), &window);
  SetWindowPos(form_.hwnd(), nullptr, 0, 0, testing::WidthOf(window) + 50,
               testing::HeightOf(window) + 30, SWP_NOMOVE | SWP_NOZORDER);
  const RECT inner_after = BoundsInParent(form_.btnInner->hwnd());
  EXPECT_EQ(inner_after.left - inner_before.left, 50);
  EXPECT_EQ(inner_after.top - inner_before.top, 30);
  EXPECT_EQ(testing::WidthOf(inner_after), testing::WidthOf(inner_before));
  const RECT ok_after = BoundsInParent(form_.btnOk->hwnd());
  EXPECT_EQ(ok_after.left, ok_before.left);
  EXPECT_EQ(ok_after.top, ok_before.top);
}

}  // namespace
}  // namespace cvn::ui

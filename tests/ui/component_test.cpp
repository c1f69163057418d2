// The named-component layer on real windows: texts read and set by
// language-file key (component and property found by name), click dispatch
// to the handlers a form binds.
#include "ui/component.h"

#include "tests/ui/ui_test_util.h"
#include "ui/form.h"

namespace cvn::ui {
namespace {

using testing::WindowTextOf;

// A small form with one component of each kind the layer distinguishes.
class ProbeForm : public Form {
 public:
  ProbeForm() : Form("TfrmProbe", {320, 240}, {300, 200}) {}
  bool Create() { return CreateForm("Probe"); }

  Component* btnOk = nullptr;
  int ok_clicks = 0;

 protected:
  void FormCreate() override {
    btnOk = &AddButton("btnOk", "&OK", nullptr, {{8, 8, 80, 24}});
    AddEdit("edName", nullptr, {{8, 40, 120, 21}});
    AddNonWindowed("pmiCopy", kCaption | kHint, "&Copy");
    OnClick(*btnOk, [this] { ++ok_clicks; });
    SetDefaultButton(*btnOk);
  }
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
      {"btnOk.Glyph.Caption", "Both", true, "btnOk", L"Both"},  // component.....property
      {"btnOk.hint", "Accepts", true, "btnOk", L"&OK"},         // kept apart from the caption
      {"EDNAME.text", "Editor", true, "edName", L"Editor"},     // names ignore letter case
      {"edName.Caption", "other", false, "edName", L""},        // an edit has no Caption
      {"btnCancel.Caption", "Abbrechen", false, nullptr, L"Probe"},
      {"pmiCopy.Caption", "&Kopieren", true, nullptr, L"Probe"},  // non-windowed
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    ProbeForm form;
    ASSERT_TRUE(form.Create());
    EXPECT_EQ(form.SetTextByKey(c.key, c.value), c.set);
    EXPECT_EQ(form.GetTextByKey(c.key), c.set ? std::optional<std::string>(c.value) : std::nullopt);
    EXPECT_EQ(WindowTextOf(c.shows ? form.FindComponent(c.shows)->hwnd() : form.hwnd()), c.text);
  }
}

// A click inside a panel reaching its handler is the main window's About case.
TEST(ComponentTest, EnterReachesTheDefaultButtonsHandlerOnlyWhileItIsEnabled) {
  ProbeForm form;
  ASSERT_TRUE(form.Create());
  const WPARAM click = MAKEWPARAM(form.btnOk->id(), BN_CLICKED);
  EnableWindow(form.btnOk->hwnd(), FALSE);
  SendMessageW(form.hwnd(), WM_COMMAND, click, 0);
  EXPECT_EQ(form.ok_clicks, 0);
  EnableWindow(form.btnOk->hwnd(), TRUE);
  SendMessageW(form.hwnd(), WM_COMMAND, click, 0);
  EXPECT_EQ(form.ok_clicks, 1);
}

}  // namespace
}  // namespace cvn::ui

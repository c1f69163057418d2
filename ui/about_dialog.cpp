#include "ui/about_dialog.h"

#include "cvn/version.h"
#include "i18n/translator.h"
#include "platform/win32/wide_text.h"
#include "ui/form_translation.h"
#include "ui/program_icon.h"

namespace cvn::ui {

namespace {

constexpr Size kClientSize = {301, 185};
constexpr int kIconSize = 48;
// The program's name and version as the dialog shows them in every language:
// the version is the build's, whatever a language file says.
constexpr char kProgramNameAndVersion[] = "Corvane " CVN_VERSION_STRING;

}  // namespace

AboutDialog::AboutDialog() : ModalDialog(platform::win32::ToUtf8(kClassName), kClientSize) {}

AboutDialog::~AboutDialog() {
  if (icon_ != nullptr) DestroyIcon(icon_);
}

bool AboutDialog::Create() {
  return CreateDialogWindow("About");
}

void AboutDialog::FormCreate() {
  AddControl({.name = "grpAbout",
              .window_class = L"BUTTON",
              .style = BS_GROUPBOX,
              .properties = kCaption | kHint,
              .placement = {{8, 4, 285, 140}}});
  const Component& icon = AddControl({.name = "imgIcon",
                                      .window_class = L"STATIC",
                                      .style = SS_ICON | SS_CENTERIMAGE,
                                      .placement = {{126, 20, kIconSize, kIconSize}}});
  icon_ = LoadProgramIcon(Scale(kIconSize));
  SendMessageW(icon.hwnd(), STM_SETICON, reinterpret_cast<WPARAM>(icon_), 0);
  SetBold(AddLabel("lblVersion", kProgramNameAndVersion, nullptr, {{16, 78, 269, 16}}, SS_CENTER));
  AddControl({.name = "bvlSeparator",
              .window_class = L"STATIC",
              .style = SS_ETCHEDHORZ,
              .placement = {{16, 102, 269, 2}}});
  AddLabel("lblDescription", "Installation monitor and uninstaller", nullptr, {{16, 114, 269, 16}},
           SS_CENTER);
  const Component& ok = AddButton("btnOk", "&Ok", nullptr, {{113, 152, 75, 25}}, BS_DEFPUSHBUTTON);
  SetDefaultButton(ok);
  SetCancelButton(ok);  // Esc closes the dialog too
  SetResultButton(ok, kResultOk);
}

void AboutDialog::FormShow() {
  if (i18n::Translator* translator = i18n::CurrentTranslator()) {
    FormTranslation form(*this);
    translator->TranslateForm(form);
  }
  if (const Component* version = FindComponent("lblVersion"))
    SetWindowTextW(version->hwnd(), platform::win32::ToWide(kProgramNameAndVersion).c_str());
}

void ShowAboutDialog(HWND owner) {
  AboutDialog dialog;
  if (dialog.Create()) dialog.ShowModal(owner);
}

}  // namespace cvn::ui

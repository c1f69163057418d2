#include "ui/remove_shared_dialog.h"

#include "i18n/translator.h"
#include "platform/win32/wide_text.h"
#include "ui/form_translation.h"

namespace cvn::ui {

namespace {

using uninstall::RemoveAnswer;

// At 96 DPI. The texts have room for their longer translations: lblOne five
// lines, lblTwo four.
constexpr Size kClientSize = {420, 245};
constexpr int kMargin = 12;
constexpr int kTextWidth = kClientSize.width - 2 * kMargin;
constexpr int kFieldLeft = 100;
constexpr int kFieldWidth = kClientSize.width - kMargin - kFieldLeft;
constexpr int kButtonWidth = 88;
constexpr int kButtonHeight = 25;
constexpr int kButtonGap = 8;
constexpr int kButtonsTop = 208;
constexpr int kButtonsLeft = (kClientSize.width - 4 * kButtonWidth - 3 * kButtonGap) / 2;

Placement ButtonAt(int index) {
  return {{kButtonsLeft + index * (kButtonWidth + kButtonGap), kButtonsTop, kButtonWidth,
           kButtonHeight}};
}

}  // namespace

RemoveSharedDialog::RemoveSharedDialog()
    : ModalDialog(platform::win32::ToUtf8(kClassName), kClientSize) {}

bool RemoveSharedDialog::Create() {
  if (!CreateDialogWindow("Remove Shared File?")) return false;
  // No close box: the four buttons are the only way out.
  SetWindowLongPtrW(hwnd(), GWL_STYLE, GetWindowLongPtrW(hwnd(), GWL_STYLE) & ~WS_SYSMENU);
  SetWindowPos(hwnd(), nullptr, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  return true;
}

void RemoveSharedDialog::FormCreate() {
  // The buttons come first in tab order, so the focus starts on Yes and Tab
  // reaches the fields after the answers.
  const Component& yes = AddButton("btnYes", "Yes", nullptr, ButtonAt(0), BS_DEFPUSHBUTTON);
  const Component& yes_to_all = AddButton("btnYesToAll", "Yes To All", nullptr, ButtonAt(1));
  const Component& no = AddButton("btnNo", "No", nullptr, ButtonAt(2));
  const Component& no_to_all = AddButton("btnNoToAll", "No To All", nullptr, ButtonAt(3));
  SetDefaultButton(yes);
  SetResultButton(yes, kResultYes);
  SetResultButton(yes_to_all, kResultYesToAll);
  SetResultButton(no, kResultNo);
  SetResultButton(no_to_all, kResultNoToAll);

  AddLabel("lblOne",
           "The system indicates that the following shared file is no longer used by any "
           "programs. If any programs are still using this file and it is removed, those "
           "programs may not function. Are you sure you want to remove the shared file?",
           nullptr, {{kMargin, 12, kTextWidth, 66}});
  AddLabel("lblTwo",
           "Leaving this file will not harm your system. If you are not sure what to do, it is "
           "suggested that you choose to not remove this shared component.",
           nullptr, {{kMargin, 84, kTextWidth, 53}});
  // Each label sits on its field's text line. Read-only fields take the
  // button face as background.
  AddLabel("lblFileName", "File name:", nullptr, {{kMargin, 150, kFieldLeft - kMargin - 4, 13}},
           SS_LEFTNOWORDWRAP);
  edFileName_ = &AddEdit("edFileName", nullptr, {{kFieldLeft, 146, kFieldWidth, 21}}, ES_READONLY);
  AddLabel("lblLocated", "Located in:", nullptr, {{kMargin, 177, kFieldLeft - kMargin - 4, 13}},
           SS_LEFTNOWORDWRAP);
  edLocated_ = &AddEdit("edLocated", nullptr, {{kFieldLeft, 173, kFieldWidth, 21}}, ES_READONLY);
}

void RemoveSharedDialog::SetFile(std::string_view file_name, std::string_view folder) {
  edFileName_->SetText(file_name);
  edLocated_->SetText(folder);
}

void RemoveSharedDialog::FormShow() {
  if (i18n::Translator* translator = i18n::CurrentTranslator()) {
    FormTranslation form(*this);
    translator->TranslateForm(form);
  }
}

LRESULT RemoveSharedDialog::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  // Alt+F4 and the close command end here; the dialog stays. (Esc finds no
  // cancel button and does nothing.)
  if (message == WM_CLOSE) return 0;
  return ModalDialog::HandleMessage(message, wparam, lparam);
}

RemoveAnswer AskRemoveSharedFile(HWND owner, std::string_view file_name, std::string_view folder) {
  RemoveSharedDialog dialog;
  if (!dialog.Create()) return RemoveAnswer::kNo;
  dialog.SetFile(file_name, folder);
  switch (dialog.ShowModal(owner)) {
    case kResultYes:
      return RemoveAnswer::kYes;
    case kResultYesToAll:
      return RemoveAnswer::kYesToAll;
    case kResultNoToAll:
      return RemoveAnswer::kNoToAll;
    default:
      return RemoveAnswer::kNo;
  }
}

}  // namespace cvn::ui

#include "ui/input_text_dialog.h"

#include <commctrl.h>

#include "platform/win32/wide_text.h"

namespace cvn::ui {

namespace {

constexpr Size kClientSize = {305, 92};
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 25;

}  // namespace

InputTextDialog::InputTextDialog()
    : ModalDialog(platform::win32::ToUtf8(kClassName), kClientSize) {}

bool InputTextDialog::Create() {
  return CreateDialogWindow({});
}

void InputTextDialog::FormCreate() {
  lblLabel_ = &AddLabel("lblLabel", {}, nullptr, {{8, 12, 289, 13}});
  edText_ = &AddEdit("edText", nullptr, {{8, 28, 289, 21}});
  btnOk_ = &AddButton("btnOk", "&Ok", nullptr, {{140, 60, kButtonWidth, kButtonHeight}},
                      BS_DEFPUSHBUTTON);
  btnCancel_ =
      &AddButton("btnCancel", "&Cancel", nullptr, {{224, 60, kButtonWidth, kButtonHeight}});
  SetDefaultButton(*btnOk_);
  SetCancelButton(*btnCancel_);
  SetResultButton(*btnOk_, kResultOk);
  SetResultButton(*btnCancel_, kResultCancel);
  EnableWindow(btnOk_->hwnd(), FALSE);
}

void InputTextDialog::FormShow() {
  // The caller may have set the text before the window could tell.
  edTextChange();
  SendMessageW(edText_->hwnd(), EM_SETSEL, 0, -1);
}

LRESULT InputTextDialog::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_COMMAND && HIWORD(wparam) == EN_CHANGE && edText_ != nullptr &&
      LOWORD(wparam) == edText_->id()) {
    edTextChange();
    return 0;
  }
  return ModalDialog::HandleMessage(message, wparam, lparam);
}

void InputTextDialog::edTextChange() {
  EnableWindow(btnOk_->hwnd(), GetWindowTextLengthW(edText_->hwnd()) > 0);
}

std::optional<std::string> InputText(HWND owner, const TextRequest& request) {
  InputTextDialog dialog;
  if (!dialog.Create()) return std::nullopt;
  dialog.SetFontCharset(request.font_charset);
  dialog.SetCaption(request.caption);
  dialog.lblLabel().SetText(request.label);
  dialog.btnOk().SetText(request.ok_caption);
  dialog.btnCancel().SetText(request.cancel_caption);
  dialog.edText().SetText(request.initial_text);
  if (dialog.ShowModal(owner) != kResultOk) return std::nullopt;
  return dialog.edText().Text();
}

}  // namespace cvn::ui

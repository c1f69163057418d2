#include "ui/actions_dialog.h"

#include <algorithm>

#include "i18n/translator.h"
#include "platform/win32/wide_text.h"
#include "ui/form_translation.h"

namespace cvn::ui {

namespace {

constexpr Size kClientSize = {560, 360};

}  // namespace

ActionsDialog::ActionsDialog(const std::vector<std::string>& actions)
    : ModalDialog(platform::win32::ToUtf8(kClassName), kClientSize), actions_(actions) {}

bool ActionsDialog::Create() {
  return CreateDialogWindow("What the uninstall will do");
}

void ActionsDialog::FormCreate() {
  AddLabel("lblActions", "The uninstall will take these actions, in this order:", nullptr,
           {{8, 8, 544, 15}});
  lbActions_ =
      &AddControl({.name = "lbActions",
                   .window_class = L"LISTBOX",
                   .style = WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | LBS_NOINTEGRALHEIGHT | LBS_NOSEL,
                   .ex_style = WS_EX_CLIENTEDGE,
                   .placement = {{8, 28, 544, 288}}});
  const Component& close =
      AddButton("btnClose", "&Close", nullptr, {{477, 326, 75, 25}}, BS_DEFPUSHBUTTON);
  SetDefaultButton(close);
  SetCancelButton(close);
  SetResultButton(close, kResultOk);
}

void ActionsDialog::FormShow() {
  if (i18n::Translator* translator = i18n::CurrentTranslator()) {
    FormTranslation form(*this);
    translator->TranslateForm(form);
  }
  const HWND list = lbActions_->hwnd();
  HDC dc = GetDC(list);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(list, WM_GETFONT, 0, 0)));
  int widest = 0;
  const auto add = [&](const std::string& line) {
    const std::wstring text = platform::win32::ToWide(line);
    SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    SIZE extent = {};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    widest = std::max<int>(widest, extent.cx);
  };
  SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  for (const std::string& action : actions_) add(action);
  if (actions_.empty()) add(i18n::Translate("RS_NO_ACTIONS", "Nothing to do."));
  SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  // Long paths can be scrolled to.
  SendMessageW(list, LB_SETHORIZONTALEXTENT, widest + Scale(8), 0);
  SelectObject(dc, old);
  ReleaseDC(list, dc);
}

void ShowActionsDialog(HWND owner, const std::vector<std::string>& actions) {
  ActionsDialog dialog(actions);
  if (dialog.Create()) dialog.ShowModal(owner);
}

}  // namespace cvn::ui

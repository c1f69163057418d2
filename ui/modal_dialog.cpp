#include "ui/modal_dialog.h"

#include <algorithm>
#include <utility>

namespace cvn::ui {

namespace {

// Without WS_CLIPCHILDREN: a group box paints only its frame, so the dialog
// must paint the background beneath it.
constexpr DWORD kDialogStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kDialogExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

SIZE DialogOuterSize(SIZE client) {
  RECT bounds = {0, 0, client.cx, client.cy};
  AdjustWindowRectEx(&bounds, kDialogStyle, FALSE, kDialogExStyle);
  return {bounds.right - bounds.left, bounds.bottom - bounds.top};
}

MONITORINFO MonitorOf(HWND window) {
  MONITORINFO info = {};
  info.cbSize = sizeof(info);
  GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &info);
  return info;
}

int Clamp(int value, int low, int high) {
  return std::max(low, std::min(value, high));
}

}  // namespace

void RunModalLoop(HWND dialog, HWND owner, HWND focus, const std::function<bool()>& ended) {
  const bool disable_owner = owner != nullptr && IsWindowEnabled(owner);
  if (disable_owner) EnableWindow(owner, FALSE);
  ShowWindow(dialog, SW_SHOW);
  if (focus != nullptr) SetFocus(focus);

  MSG message = {};
  while (IsWindow(dialog) && !ended()) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) {
      PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    if (got < 0) break;
    if (IsDialogMessageW(dialog, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }

  // Enabled before the dialog disappears, so the system activates the owner
  // again rather than some other program's window.
  if (disable_owner) EnableWindow(owner, TRUE);
  if (IsWindow(dialog)) ShowWindow(dialog, SW_HIDE);
}

HWND FocusedPushButton(HWND dialog) {
  HWND focus = GetFocus();
  if (focus == nullptr || !IsChild(dialog, focus)) return nullptr;
  const LRESULT code = SendMessageW(focus, WM_GETDLGCODE, 0, 0);
  return (code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) != 0 ? focus : nullptr;
}

POINT CenteredOver(HWND owner, SIZE size) {
  const MONITORINFO monitor = MonitorOf(owner);
  RECT around = monitor.rcWork;
  if (owner != nullptr) GetWindowRect(owner, &around);
  const RECT& work = monitor.rcWork;
  const int left = around.left + (around.right - around.left - size.cx) / 2;
  const int top = around.top + (around.bottom - around.top - size.cy) / 2;
  return {Clamp(left, work.left, work.right - size.cx),
          Clamp(top, work.top, work.bottom - size.cy)};
}

ModalDialog::ModalDialog(std::string class_name, Size design_client_size)
    : Form(
          std::move(class_name),
          [&] {
            const SIZE outer =
                DialogOuterSize({design_client_size.width, design_client_size.height});
            return Size{outer.cx, outer.cy};
          }(),
          design_client_size),
      design_client_size_(design_client_size) {}

bool ModalDialog::CreateDialogWindow(std::string_view caption) {
  if (!CreateForm(caption)) return false;
  ApplyDialogFrame();
  return true;
}

void ModalDialog::ApplyDialogFrame() {
  SetWindowLongPtrW(hwnd(), GWL_STYLE, kDialogStyle);
  SetWindowLongPtrW(hwnd(), GWL_EXSTYLE, kDialogExStyle);
  // A dialog shows no icon in its caption; the class is the dialog's own.
  SetClassLongPtrW(hwnd(), GCLP_HICON, 0);
  SetClassLongPtrW(hwnd(), GCLP_HICONSM, 0);
  const SIZE outer = OuterSize();
  SetWindowPos(hwnd(), nullptr, 0, 0, outer.cx, outer.cy,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

SIZE ModalDialog::OuterSize() const {
  return DialogOuterSize({Scale(design_client_size_.width), Scale(design_client_size_.height)});
}

int ModalDialog::ShowModal(HWND owner) {
  modal_result_ = kResultNone;
  // A top-level window's "parent" slot holds its owner.
  SetWindowLongPtrW(hwnd(), GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
  const POINT at = CenteredOver(owner, OuterSize());
  SetWindowPos(hwnd(), nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  FormShow();
  RunModalLoop(hwnd(), owner, GetNextDlgTabItem(hwnd(), nullptr, FALSE),
               [this] { return modal_result_ != kResultNone; });
  // A WM_QUIT, or a window destroyed from outside, ends the dialog as a
  // close by the border does.
  if (modal_result_ == kResultNone) modal_result_ = kResultCancel;
  return modal_result_;
}

void ModalDialog::SetResultButton(const Component& button, int result) {
  OnClick(button, [this, result] { SetModalResult(result); });
}

LRESULT ModalDialog::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CLOSE:
      // The dialog ends here; its owner frees it.
      if (modal_result_ == kResultNone) modal_result_ = kResultCancel;
      return 0;
    case WM_COMMAND:
      // IsDialogMessage turns Esc into IDCANCEL; no component has that
      // identifier, as theirs start at 100.
      if (LOWORD(wparam) == IDCANCEL) {
        if (cancel_button_id_ != 0) {
          return Form::HandleMessage(WM_COMMAND, MAKEWPARAM(cancel_button_id_, BN_CLICKED), 0);
        }
        return 0;
      }
      break;
    case DM_GETDEFID:
      if (HWND button = FocusedPushButton(hwnd())) {
        return MAKELRESULT(GetDlgCtrlID(button), DC_HASDEFID);
      }
      break;
    default:
      break;
  }
  return Form::HandleMessage(message, wparam, lparam);
}

}  // namespace cvn::ui

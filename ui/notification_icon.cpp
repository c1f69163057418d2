#include "ui/notification_icon.h"

#include <shellapi.h>

namespace cvn::ui {

namespace {

NOTIFYICONDATAW IconData(HWND owner) {
  NOTIFYICONDATAW data = {};
  data.cbSize = sizeof(data);
  data.hWnd = owner;
  data.uID = 1;
  return data;
}

}  // namespace

bool NotificationIcon::Show(const std::wstring& tip) {
  if (shown_) return true;
  NOTIFYICONDATAW data = IconData(owner_);
  data.uFlags = NIF_ICON | NIF_MESSAGE | NIF_TIP;
  data.uCallbackMessage = kMessage;
  data.hIcon = icon_;
  tip.copy(data.szTip, std::size(data.szTip) - 1);
  shown_ = Shell_NotifyIconW(NIM_ADD, &data) != FALSE;
  return shown_;
}

void NotificationIcon::Hide() {
  if (!shown_) return;
  NOTIFYICONDATAW data = IconData(owner_);
  Shell_NotifyIconW(NIM_DELETE, &data);
  shown_ = false;
}

}  // namespace cvn::ui

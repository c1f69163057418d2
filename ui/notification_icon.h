// The program's icon in the notification area while the main window is
// minimised: it tells the owner of double clicks and of the menu key or
// right button through kMessage (lparam is the mouse message).
#pragma once

#include "platform/win32/windows_api.h"

#include <string>

namespace cvn::ui {

class NotificationIcon {
 public:
  static constexpr UINT kMessage = WM_APP + 20;

  NotificationIcon(HWND owner, HICON icon) : owner_(owner), icon_(icon) {}
  ~NotificationIcon() { Hide(); }
  NotificationIcon(const NotificationIcon&) = delete;
  NotificationIcon& operator=(const NotificationIcon&) = delete;

  // Adds the icon with `tip` as its hint; false when the shell refused it.
  bool Show(const std::wstring& tip);
  void Hide();
  bool shown() const { return shown_; }

 private:
  HWND owner_;
  HICON icon_;
  bool shown_ = false;
};

}  // namespace cvn::ui

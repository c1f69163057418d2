// One Corvane per session: the first start holds a named mutex; a later start
// finds it, tells the running main window and ends.
#pragma once

#include "platform/win32/windows_api.h"

namespace cvn::ui {

class SingleInstance {
 public:
  // Creates or opens the mutex named `name`; held until destruction.
  explicit SingleInstance(const wchar_t* name);
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  // False when another process created the mutex first.
  bool first() const { return first_; }

 private:
  HANDLE mutex_ = nullptr;
  bool first_ = true;
};

// The message a later start posts to the running main window.
UINT StartInstanceMessage();

// Posts StartInstanceMessage to the top-level window of class `window_class`
// and lets it take the foreground. False when no such window exists.
bool NotifyRunningInstance(const wchar_t* window_class);

}  // namespace cvn::ui

#include "ui/single_instance.h"

namespace cvn::ui {

SingleInstance::SingleInstance(const wchar_t* name) {
  mutex_ = CreateMutexW(nullptr, FALSE, name);
  first_ = !(mutex_ != nullptr && GetLastError() == ERROR_ALREADY_EXISTS);
}

SingleInstance::~SingleInstance() {
  if (mutex_ != nullptr) CloseHandle(mutex_);
}

UINT StartInstanceMessage() {
  static const UINT message = RegisterWindowMessageW(L"Corvane.StartInstance");
  return message;
}

bool NotifyRunningInstance(const wchar_t* window_class) {
  const HWND running = FindWindowW(window_class, nullptr);
  if (running == nullptr) return false;
  DWORD process_id = 0;
  GetWindowThreadProcessId(running, &process_id);
  AllowSetForegroundWindow(process_id);
  return PostMessageW(running, StartInstanceMessage(), 0, 0) != 0;
}

}  // namespace cvn::ui

#include "ui/window_dispatcher.h"

#include <utility>

namespace cvn::ui {

namespace {

constexpr wchar_t kClassName[] = L"CvnDispatcher";
constexpr UINT kRunQueued = WM_APP + 1;

}  // namespace

WindowDispatcher::WindowDispatcher() {
  static const bool registered = [] {
    WNDCLASSEXW window_class = {};
    window_class.cbSize = sizeof(window_class);
    window_class.lpfnWndProc = WindowProc;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.lpszClassName = kClassName;
    return RegisterClassExW(&window_class) != 0;
  }();
  (void)registered;  // a failure shows as a missing window below
  window_ = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
  SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

WindowDispatcher::~WindowDispatcher() {
  if (window_ != nullptr) DestroyWindow(window_);
}

void WindowDispatcher::Post(std::function<void()> call) {
  bool wake = false;
  {
    std::lock_guard lock(mutex_);
    // One message wakes the loop for everything queued until it runs.
    wake = queue_.empty();
    queue_.push_back(std::move(call));
  }
  if (wake) PostMessageW(window_, kRunQueued, 0, 0);
}

void WindowDispatcher::ProcessPending() {
  for (;;) {
    std::function<void()> call;
    {
      std::lock_guard lock(mutex_);
      if (queue_.empty()) return;
      call = std::move(queue_.front());
      queue_.pop_front();
    }
    call();
  }
}

LRESULT CALLBACK WindowDispatcher::WindowProc(HWND hwnd, UINT message, WPARAM wparam,
                                              LPARAM lparam) {
  if (message == kRunQueued) {
    if (auto* self = reinterpret_cast<WindowDispatcher*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)))
      self->ProcessPending();
    return 0;
  }
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

}  // namespace cvn::ui

#include "tests/ui/ui_test_util.h"

#include <thread>

namespace cvn::ui::testing {

namespace {

using Clock = std::chrono::steady_clock;

void DispatchPending(int* quit_code) {
  MSG message = {};
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      if (quit_code != nullptr) *quit_code = static_cast<int>(message.wParam);
      continue;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

}  // namespace

bool PumpMessagesUntil(const std::function<bool()>& done, int* quit_code) {
  const auto deadline = Clock::now() + kPatience;
  for (;;) {
    DispatchPending(quit_code);
    if (done()) return true;
    if (Clock::now() > deadline) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
  }
}

bool WaitUntil(const std::function<bool()>& done) {
  const auto deadline = Clock::now() + kPatience;
  for (;;) {
    if (done()) return true;
    if (Clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

std::wstring WindowTextOf(HWND hwnd) {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
  text.resize(
      static_cast<size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
  return text;
}

std::wstring ClassNameOf(HWND hwnd) {
  wchar_t name[256] = {};
  GetClassNameW(hwnd, name, 256);
  return name;
}

HWND FindDescendant(HWND parent, const wchar_t* window_class, const std::wstring& text) {
  struct Search {
    const wchar_t* window_class;
    const std::wstring* text;
    HWND found;
  } search = {window_class, &text, nullptr};
  EnumChildWindows(
      parent,
      [](HWND child, LPARAM data) -> BOOL {
        auto* search = reinterpret_cast<Search*>(data);
        if (lstrcmpiW(ClassNameOf(child).c_str(), search->window_class) == 0 &&
            WindowTextOf(child) == *search->text) {
          search->found = child;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

}  // namespace cvn::ui::testing

#include "tests/ui/dialog_driver.h"

#include <gtest/gtest.h>

#include <utility>

#include "tests/ui/ui_test_util.h"

namespace cvn::ui::testing {

namespace {

constexpr UINT kTickMilliseconds = 20;
// How long the driver waits after its last step before it closes a dialog
// that is still open: generous, it only keeps a broken test from hanging.
constexpr unsigned kTicksBeforeRescue =
    static_cast<unsigned>(std::chrono::milliseconds(kPatience).count() / kTickMilliseconds);

thread_local DialogDriver* g_driver = nullptr;

}  // namespace

DialogDriver::DialogDriver(std::wstring window_class, std::vector<DialogStep> steps)
    : window_class_(std::move(window_class)), steps_(std::move(steps)) {
  g_driver = this;
  timer_ = SetTimer(nullptr, 0, kTickMilliseconds, OnTimer);
}

DialogDriver::~DialogDriver() {
  KillTimer(nullptr, timer_);
  g_driver = nullptr;
}

void CALLBACK DialogDriver::OnTimer(HWND, UINT, UINT_PTR, DWORD) {
  if (g_driver != nullptr) g_driver->Tick();
}

void DialogDriver::Tick() {
  HWND dialog = FindDialog();
  if (dialog == nullptr) return;
  if (!finished() && !::testing::Test::HasFailure()) {
    steps_[next_step_++](dialog);
    return;
  }
  // A failed step leaves the dialog to the driver at once.
  if (::testing::Test::HasFailure() || ++ticks_after_last_step_ > kTicksBeforeRescue) {
    closed_by_driver_ = true;
    PostMessageW(dialog, WM_CLOSE, 0, 0);
  }
}

HWND DialogDriver::FindDialog() const {
  struct Search {
    const std::wstring* window_class;
    HWND found;
  } search = {&window_class_, nullptr};
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM data) -> BOOL {
        auto* search = reinterpret_cast<Search*>(data);
        if (IsWindowVisible(window) && ClassNameOf(window) == *search->window_class) {
          search->found = window;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

namespace {

HWND KeyTarget(HWND dialog) {
  HWND focus = GetFocus();
  return focus != nullptr && (focus == dialog || IsChild(dialog, focus)) ? focus : dialog;
}

}  // namespace

void PressKey(HWND dialog, UINT virtual_key) {
  HWND target = KeyTarget(dialog);
  PostMessageW(target, WM_KEYDOWN, virtual_key, 1);
  PostMessageW(target, WM_KEYUP, virtual_key, 0xC0000001);
}

void TypeText(HWND dialog, const std::wstring& text) {
  HWND target = KeyTarget(dialog);
  for (const wchar_t unit : text) PostMessageW(target, WM_CHAR, unit, 1);
}

void Click(HWND button) {
  PostMessageW(button, BM_CLICK, 0, 0);
}

std::vector<HWND> ChildrenOfClass(HWND parent, const wchar_t* window_class) {
  std::vector<HWND> found;
  for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    if (lstrcmpiW(ClassNameOf(child).c_str(), window_class) == 0) found.push_back(child);
  }
  return found;
}

RECT BoundsInParent(HWND child) {
  RECT bounds = {};
  GetWindowRect(child, &bounds);
  MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&bounds), 2);
  return bounds;
}

SIZE ClientSize(HWND window) {
  RECT client = {};
  GetClientRect(window, &client);
  return {client.right - client.left, client.bottom - client.top};
}

}  // namespace cvn::ui::testing

// Helpers for tests that drive real windows: message pumping with a generous
// limit, window texts, and finding controls by their text.
#pragma once

#include "platform/win32/windows_api.h"

#include <chrono>
#include <functional>
#include <string>

namespace cvn::ui::testing {

// The first window of a Wine session can take ~10 s to appear, so waits for
// a window or a process are generous. They end as soon as the condition holds.
inline constexpr std::chrono::seconds kPatience{60};

// Dispatches this thread's messages until `done` holds or the limit passes.
// Returns whether `done` held. A WM_QUIT met on the way is stored in
// *quit_code (when given) and does not end the pumping.
bool PumpMessagesUntil(const std::function<bool()>& done, int* quit_code = nullptr);

// Waits, without pumping this thread's messages, until `done` holds.
bool WaitUntil(const std::function<bool()>& done);

std::wstring WindowTextOf(HWND hwnd);
std::wstring ClassNameOf(HWND hwnd);

// The first descendant of `parent` of window class `window_class` whose text
// is `text`; null when there is none.
HWND FindDescendant(HWND parent, const wchar_t* window_class, const std::wstring& text);

}  // namespace cvn::ui::testing

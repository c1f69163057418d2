// Drives a modal dialog from inside its own message loop. The test starts a
// driver, then calls the function that shows the dialog; the dialog's loop
// dispatches the driver's thread timer, and on each tick after the dialog
// has appeared the driver runs the next step. A step inspects the dialog and
// posts keys or clicks, which the dialog's loop handles before the next tick.
#pragma once

#include "platform/win32/windows_api.h"

#include <functional>
#include <string>
#include <vector>

namespace cvn::ui::testing {

using DialogStep = std::function<void(HWND dialog)>;

class DialogDriver {
 public:
  // Waits for a visible window of `window_class` owned by this thread.
  DialogDriver(std::wstring window_class, std::vector<DialogStep> steps);
  ~DialogDriver();
  DialogDriver(const DialogDriver&) = delete;
  DialogDriver& operator=(const DialogDriver&) = delete;

  // Every step ran.
  bool finished() const { return next_step_ == steps_.size(); }
  // The dialog was still open long after the last step (or a step failed)
  // and the driver closed it.
  bool closed_by_driver() const { return closed_by_driver_; }

 private:
  static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD);
  void Tick();
  HWND FindDialog() const;

  std::wstring window_class_;
  std::vector<DialogStep> steps_;
  size_t next_step_ = 0;
  UINT_PTR timer_ = 0;
  unsigned ticks_after_last_step_ = 0;
  bool closed_by_driver_ = false;
};

// Keys as the user types them: posted to the window with the focus (the
// dialog when no control of it has the focus), so that they pass through the
// dialog's loop.
void PressKey(HWND dialog, UINT virtual_key);
void TypeText(HWND dialog, const std::wstring& text);
// A click on a button, posted.
void Click(HWND button);

// The child windows of `parent` of class `window_class`, in creation order.
std::vector<HWND> ChildrenOfClass(HWND parent, const wchar_t* window_class);
// The bounds of `child` in its parent's client coordinates.
RECT BoundsInParent(HWND child);
SIZE ClientSize(HWND window);

}  // namespace cvn::ui::testing
